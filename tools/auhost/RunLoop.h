#pragma once

// Keeping the plug-ins' main-thread timers going while the harness renders: the stand-in run loop, pumped either
// on the virtual clock (deterministic: time moves only as audio is rendered) or in real time.

namespace auhost
{

enum class ClockMode
{
  Virtual,  // ZQCFUseVirtualClock: the clock moves only when pumped
  RealTime, // the wall clock; pumping runs the run loop for that long
};

class RunLoopPump
{
public:
  // [main thread] Virtual switches the process to the virtual clock; the destructor restores the clock it found.
  explicit RunLoopPump(ClockMode mode);
  ~RunLoopPump();
  RunLoopPump(const RunLoopPump&) = delete;
  RunLoopPump& operator=(const RunLoopPump&) = delete;

  // [main thread] Virtual: moves the clock forward by `seconds`, firing every timer that comes due, and returns
  // how many callouts were made. RealTime: runs the run loop for `seconds` (0: fires what is due now) and
  // returns 0. Negative or non-finite seconds count as 0.
  int Pump(double seconds);
  ClockMode Mode() const { return mMode; }

private:
  ClockMode mMode;
  bool mWasVirtual;
};

} // namespace auhost
