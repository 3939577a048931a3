#pragma once

// Latency measurement and compensation of the Receiver: the impulse detector that times a unit impulse through the
// effects chain, the delay lines that hold the pre-FX signal back by the measured latency, and the linear fade-in
// that follows a measurement.
//
// Plain state records owned by one Receiver and driven from its audio thread under the processing mutex; requests
// from the main thread (start, cancel, a new delay length) are handed over by the owner before a block.

#include <memory>

// ---------------------------------------------------------------------------------------------------------------
// LatencyDetector
// ---------------------------------------------------------------------------------------------------------------

// One measurement: the Receiver silences its Sender (state 1) and both sides, waits until nothing the Sender played
// before can still come back through the chain above the threshold, then asks for a unit impulse (state 2) and
// counts its own samples until the impulse returns on the post-FX input. The count minus the host block in which
// the impulse was requested (it leaves the Sender with the next one) is the latency of the chain.
//
// Settling: the impulse is asked for once the post-FX input has stayed at or below the threshold for a whole
// window since the Sender fell silent. Programme played before the silence comes back within the chain's delay,
// so at every delay a window covers it is gone by then, however loud it was. When the chain was fed programme of
// which nothing at all has come back yet (a chain slower than the window, with its programme still on the way),
// the quiet run only counts once something has come back. Settling that has not ended after three windows (a
// chain that never goes quiet, or one that never gives anything back) ends the measurement without a value: the
// old one stays. When the Sender's output and the chain's output have both been digital silence for a whole window
// before the start (a stopped transport), nothing within a window's reach is on its way: the impulse is asked for
// at once, unless the chain has yet to give back anything of what it was fed last. Programme the Sender plays while the measurement runs (Active off and on) starts settling again, or,
// once an impulse is on its way, ends the measurement without a value.
//
// A detection window lasts 177400 samples plus two host blocks: the Sender's block before the impulse leaves, and
// the rest of the block in which a window ended before the next request goes out. Every latency up to 177399
// samples (the range of "Latency Compensation" and 1000 more) therefore returns inside the window of its request.
// Only one impulse is ever on its way. A window without detection lowers the threshold: to 3 dB below the loudest
// sample seen in it, or, when nothing at all came back, to -147 dB; either way the detector listens on for the
// impulse already asked for. It asks for one more only when the window shows the impulse came back below the
// first threshold (a quiet chain): when what it heard rose through the lowered threshold after the impulse could
// have left, not before. Even then it first waits a whole window in which nothing rises above the new threshold
// (anything that does is the late answer to the first impulse), and the second impulse's answer must cross it
// where the first one's did; one that crosses elsewhere is something older still on its way, and the measurement
// ends without a value. So a detection is always counted from the request of the impulse that can have produced
// it: a late impulse, or programme still coming back from a chain slower than a window, yields a count beyond
// the range (which the lines clamp) or no value, never a shorter count. After three windows of its own impulses
// the measurement ends: with 0 when nothing at all came back, otherwise without a value.
struct LatencyDetector
{
  // Sender states the detector asks for (the values of ESenderState in LinkRegistry.h).
  enum EState : int
  {
    kIdle = 0,           // the Sender plays normally
    kWaiting = 1,        // the Sender is silent while the impulse travels
    kPulseRequested = 2, // the Sender sends a unit impulse in its next block
  };
  static constexpr int kWindowLength = 177400; // samples per detection window, before the two host blocks
  static constexpr int kAllowedWindows = 3;
  static constexpr double kStartThresholdDB = -3.0;
  static constexpr double kSilentThresholdDB = -147.0; // re-arm threshold after a window that saw nothing

  int windowLength = kWindowLength;
  int windowPosition = 0;  // samples since the last pulse request or detection
  int allowedWindows = kAllowedWindows;
  int windowCount = 0;     // windows that passed without a detection
  int state = kIdle;
  double thresholdDB = kStartThresholdDB;
  double threshold = 0.0;  // thresholdDB as a linear level, set with it: every sample is compared with it
  int sampleCount = 0;     // samples fed since the last pulse request was handed to the Sender
  int measured = 0;        // samples
  int active = 0;
  int finished = 0;        // set in the sample in which the detector stops
  double peak = 0.0;       // largest detector input (linear) of the current window
  int blockSize = 0;       // host block size at the last DSP reset
  int pulseBlock = 0;      // frames of the block in which the impulse was asked for: hosts may render shorter ones
  int settling = 0;        // the Sender is kept silent until the chain has gone quiet; no impulse asked for yet
  int quietRun = 0;        // samples in a row at or below the threshold while settling (at most a window)
  int settleTime = 0;      // samples fed while settling
  int owed = 0;            // settling: programme went in of which nothing has come back yet (-1: not decided)
  int gaveUp = 0;          // the measurement ends without a value (the old one stays): at its next sample if active
  int unanswered = -1;     // samples since programme went into a chain whose output has been silent since; -1 none
  int silentRun = 0;       // samples (at most a window) in which neither the Sender's nor the chain's output sounded
  int relistening = 0;     // a window at a lowered threshold, still for the impulse on its way, before asking again
  int heard = 0;           // something came back since the first request (a window peak above the floor)
  // Where the answer to the current request first rose above each level (kRiseStepDB apart from kRiseFloorDB), as
  // counts; a lowered threshold is one of these levels.
  static constexpr double kRiseFloorDB = -150.0;
  static constexpr double kRiseStepDB = 0.25;
  static constexpr int kRiseLevels = 600; // up to 0 dB: a lowered threshold lies below -6 dB
  int rise[kRiseLevels] = {};
  int riseLevels = 0;      // levels risen through so far
  double riseNext = 0.0;   // the next level, linear
  int expectAt = -1;       // the count at which the answer to a second impulse must cross the threshold; -1 none

  // DSP reset: idle, window WindowLengthFor(block size), 3 windows, threshold -3 dB, nothing measured, the given
  // host block size (frames; a negative size is taken as 0). [audio thread]
  void Reset(int hostBlockSize);
  // Samples per detection window for a host block size: 177400 + 2 blocks, at most a quarter of the int range (so
  // that three windows of counting never overflow).
  static int WindowLengthFor(int hostBlockSize);
  // A measurement starts: threshold -3 dB, peak 0, settling (the Sender silent, no impulse asked for yet), sample
  // count 0, measured 0, active, not finished, window position and count 0. [audio thread]
  void Start();
  // A measurement is cancelled: idle, not active, not finished; the measured value stays. [audio thread]
  void Cancel();

  // Once per Receiver block of blockFrames frames, before its samples: returns the Sender state for the Sender's
  // next block (the detector's state; when it is 2 the sample count restarts at 0 and this block is the one the
  // impulse waits out before it leaves); the detector then waits (state 1) while active and is idle (state 0)
  // otherwise. [audio thread]
  [[nodiscard]] int HandOver(int blockFrames);

  // Once per Receiver block before HandOver, measuring or not: whether the Sender's block of this cycle put
  // programme (anything but silence, in its normal or bypassed state) or the impulse into the chain, and whether
  // the chain's output of this block had anything but silence (answered). Tells settling whether programme is still
  // on its way; programme during a measurement restarts settling or ends it without a value. [audio thread]
  void NoteBlock(bool programme, bool pulse, bool answered, int blockFrames);
  // A block of which the Sender's output is unknown (no Sender): the silence before a start no longer counts.
  // [audio thread]
  void NoteUnknownBlock() { silentRun = 0; }

  // One detector step on the post-FX sample (left, right); nothing unless active. Non-finite samples count as 0.
  // Something above the threshold before the impulse can have left the Sender (a count below one block) is not the
  // impulse: the window restarts, but the impulse already asked for is still the one awaited.
  // While settling it only watches for the chain to go quiet (see above).
  // Returns true (and sets finished) in the sample in which the detector stops. [audio thread]
  bool Process(double left, double right);

private:
  void BeginSettling();
  bool Settle(double x);
  bool GiveUp();
};

// ---------------------------------------------------------------------------------------------------------------
// DelayLine
// ---------------------------------------------------------------------------------------------------------------

// Delay of the pre-FX signal by the latency compensation (one channel). The buffer is allocated once, for the
// largest delay; changing the length never allocates and never moves the read position outside the buffer.
struct DelayLine
{
  static constexpr int kCapacity = 176400; // samples: 4 s at 44.1 kHz, the range of "Latency Compensation"

  std::unique_ptr<double[]> buffer;
  int capacity = 0;
  int length = 0; // delay in samples, 0 .. capacity
  int index = 0;  // next read/write position, below length while length > 0

  // Allocates kCapacity zeroed samples; length and index 0. False when memory ran out: the line then stays empty
  // (capacity 0 keeps every length at 0, so samples pass undelayed). [main thread]
  bool Allocate();
  // Zeroes the buffer, index 0, length = min(capacity, max(0, newLength)). No allocation. [audio thread]
  void Clear(int newLength);
  // length = min(capacity, max(0, newLength)); the samples stay. [audio thread]
  void SetLength(int newLength);

  // The input of `length` samples ago; with length 0 the input itself. [audio thread]
  double Process(double x)
  {
    if (length <= 0)
      return x;
    // The length may have shrunk since the last sample: restart rather than read past the new end.
    if (index >= length)
      index = 0;
    const double y = buffer[index];
    buffer[index] = x;
    if (++index >= length)
      index = 0;
    return y;
  }
};

// ---------------------------------------------------------------------------------------------------------------
// Fade-in after a measurement
// ---------------------------------------------------------------------------------------------------------------

// The factor of the next output sample of the linear fade-in: c = counter; counter = max(c - 1, 0); 1.0 when c < 2,
// else 1 - (c - 1) / length. Starting the fade sets counter = length, so the output rises from 1/length to full
// level over `length` samples. A length below 1 means no fade. [audio thread]
inline double NextFadeFactor(int& counter, int length)
{
  const int c = counter;
  counter = c > 0 ? c - 1 : 0;
  if (c < 2 || length < 1)
    return 1.0;
  const double f = 1.0 - double(c - 1) / double(length);
  return f > 0.0 ? f : 0.0; // a counter left above a shortened length starts silent
}
