#pragma once

// The idle timer: a repeating timer on the main run loop, in the common modes, so that it also fires while menus
// and modal loops run.

#include <functional>

namespace plugin
{

class Timer
{
public:
  using ITimerFunction = std::function<void(Timer&)>;

  // [main thread] Starts a repeating timer that first fires now and then every intervalMs milliseconds.
  static Timer* Create(ITimerFunction func, int intervalMs);

  virtual ~Timer() = default;
  // [main thread] Stops the timer; a second call does nothing.
  virtual void Stop() = 0;
};

class Timer_impl final : public Timer
{
public:
  Timer_impl(ITimerFunction func, int intervalMs);
  ~Timer_impl() override;

  void Stop() override;
  bool IsRunning() const { return mTimerRef != nullptr; }
  int GetIntervalMs() const { return mIntervalMs; }

private:
  static void TimerProc(void* timerRef, void* info);

  void* mTimerRef = nullptr; // the run-loop timer, null once stopped
  ITimerFunction mTimerFunc;
  int mIntervalMs;
};

} // namespace plugin
