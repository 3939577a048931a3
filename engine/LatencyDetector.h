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

// One measurement times a unit impulse through the effects chain, counting the Receiver's own samples from the
// host block in which the impulse is asked for (it leaves the Sender with the next one, so the count starts after
// that block). A count is stored only when two more impulses, at two different gaps, come back the same way. What
// else the chain may still bring back (programme of a chain slower than a window, the impulse of a cancelled
// measurement) is not timed by the requests, so a count that is not the impulse's own keeps the old value rather
// than becoming a wrong one.
//
//   kSettling    The Sender is silent; the impulse is asked for once the chain's output has stayed at or below
//                -3 dB for a window, or at once when the Sender has sent nothing for a window before. Three windows
//                without that end the measurement without a value.
//   kListening   The first impulse. Its answer is the first sample above the detector's level since the request was
//                handed over, after the impulse could have left. The level is -3 dB; after each window without an
//                answer it drops to 3 dB under the window's loudest sample, or to -147 dB when the window heard
//                nothing, and the rises recorded since the request say where the answer went through the new level.
//                Three windows without an answer end the measurement: with 0 when nothing at all came back since
//                the start, settling included, and otherwise without a value.
//   kConfirming  The second impulse, asked for at the end of the window in which the first answer was found, then the
//                third, half that gap after the second or later: not before the second answer is in and has rung out
//                above the level for as long as the first did, and never within kGapTolerance of the first gap. Each
//                must be the first answer again within what noise and rounding move: its crossings of the level and
//                of every level below the flat top (kFlatTopLevels under the peak) within kSampleTolerance samples,
//                its peak within kPeakToleranceLevels. And each must rise out of quiet at the level, watched since
//                the first request: the second out of half the gap before it, the third out of kQuietBefore samples.
//                Programme that repeats at a period up to half the first gap shows inside the second's quiet; one
//                that repeats at the first gap itself cannot meet the third. Then the first answer's count is the
//                measured latency (the lines clamp a count beyond their range): where its edge crosses the threshold,
//                read between the rises through the levels under and over it; unless the noise in that quiet could
//                move it by more than a sample on its edge. Otherwise the measurement ends without a value.
//   kEnding      The measurement ends without a value at its next sample.
//
// The count has to run on every sample the chain delivers and nothing but the impulse may go in once it is asked
// for: programme fed into the chain, or a block the detector does not see (Active off, no Sender), restarts
// settling before the impulse is asked for and ends the measurement without a value after.
//
// A window lasts 177400 samples plus two host blocks: every latency up to 177399 samples (the range of "Latency
// Compensation" and 1000 more) rises inside the window of its request, the Sender's block before the impulse
// leaves included. A measurement lasts at most three windows of settling (each restart begins them anew) and nine
// of impulses (three for each, when the first answer came in the third window).
struct LatencyDetector
{
  // Sender states the detector asks for (the values of ESenderState in LinkRegistry.h).
  enum EState : int
  {
    kIdle = 0,           // the Sender plays normally
    kWaiting = 1,        // the Sender is silent while the impulse travels
    kPulseRequested = 2, // the Sender sends a unit impulse in its next block
  };
  // Where a measurement stands (above).
  enum class EPhase : int
  {
    kIdle,
    kSettling,
    kListening,
    kConfirming,
    kEnding,
  };
  // What the Sender's block of a cycle put into the chain.
  enum class EFed : int
  {
    kNothing,   // silence
    kProgramme, // anything else but the impulse
    kImpulse,   // the impulse asked for last block
    kUnknown,   // no Sender
  };

  static constexpr int kWindowLength = 177400; // samples per window, before the two host blocks
  static constexpr int kAllowedWindows = 3;
  static constexpr double kStartThresholdDB = -3.0;
  static constexpr double kSilentThresholdDB = -147.0; // the level after a window that heard nothing
  // The levels the detector listens at and records the answers' rises through: kLevelStepDB apart from
  // kLowestLevelDB up to +48 dB. The start threshold, the silent one and every lowered one are among them.
  static constexpr double kLowestLevelDB = -150.0;
  static constexpr double kLevelStepDB = 0.25;
  static constexpr int kLevels = 792;
  // What noise and rounding in the chain may move between two answers of one impulse: a crossing by a sample, the
  // peak by two levels (peaks less than half a decibel apart always pass, 0.75 dB apart never). Crossings within
  // 3 dB of the peak lie on its flat top and are not compared.
  static constexpr int kSampleTolerance = 1;
  static constexpr int kPeakToleranceLevels = 2;
  static constexpr int kFlatTopLevels = 12;
  // The two gaps differ by more than this, so that no period fits both within the tolerance.
  static constexpr int kGapTolerance = 2 * kSampleTolerance;
  // Samples at or below its level the third answer rises out of, at least.
  static constexpr int kQuietBefore = 1024;
  static constexpr int kHistoryBuckets = 512;

  int windowLength = kWindowLength;
  int windowPosition = 0; // samples into the current window, which starts when a request is handed over
  int allowedWindows = kAllowedWindows;
  int windowCount = 0;    // windows of the first impulse that passed without an answer
  int state = kIdle;      // what the Sender is asked for at the next hand-over
  int sampleCount = 0;    // samples since the last request was handed over
  int measured = 0;       // samples; the result when `valid`
  int finished = 0;       // set in the sample in which the detector stops
  double peak = 0.0;      // loudest sample (linear) of the current window since the impulse could have left
  int blockSize = 0;      // host block size at the last DSP reset

  EPhase phase = EPhase::kIdle;
  bool valid = false;     // the measurement ended with a value: `measured` (0 when nothing at all came back)
  int level = 0;          // the highest of the levels at or below the threshold: its rises are the answers'
  double threshold = 0.0; // linear: -3 dB, 3 dB under a window's loudest sample once lowered, or -147 dB
  int pulseBlock = 0;     // frames of the block in which the impulse was asked for: hosts may render shorter ones
  int quietRun = 0;       // settling: samples in a row at or below -3 dB (at most a window)
  int settleTime = 0;     // settling: samples since it began
  int silentRun = 0;      // samples (at most a window) in which the Sender sent nothing
  bool heard = false;     // anything above kMinGain came back since the start
  int answer = -1;        // count of the first impulse's rise through `level`; -1 while none
  int answerEnd = -1;     // count of its window's last sample that may lie above the level (whole buckets)
  int confirmed = 0;      // answers that agreed with the first so far
  int gap = 0;            // samples from the first request to the second
  int thirdAt = -1;       // samples after the second request from which the third may go; -1 while none waits
  double noise = 0.0;     // the loudest sample of the quiet the second answer rose out of; once its impulse could
                          // have left, only of the quiet's first half (the rest may hold the answer's own edge)
  // Where the output first went above each level since a request was handed over: counts, -1 where that was
  // before the impulse could leave. One record for each impulse.
  struct Rises
  {
    int count[kLevels] = {};
    double value[kLevels] = {}; // the sample that went above it
    int levels = 0;             // levels gone above so far
    double next = 0.0;          // level `levels`, linear
  };
  Rises first, second;
  // The output watched since the start: the loudest sample of each bucket of `length` samples, the newest last.
  struct History
  {
    double loudest[kHistoryBuckets] = {};
    int length = 1; // samples per bucket
    int newest = 0; // the bucket being filled
    int fill = 0;   // samples in it
    int held = 0;   // full buckets before it; what came before them was not watched
    void Clear();
    void Add(double x);
    // The loudest of the last n samples; 0 when n <= 0, infinity when they were not all watched.
    double Loudest(long long n) const;
    // How many of the newest samples were watched at or below x, in whole buckets (never more than there were).
    long long QuietFor(double x) const;
  };
  History history;

  // DSP reset: idle, window WindowLengthFor(block size), 3 windows, threshold -3 dB, nothing measured,
  // the given host block size (frames; a negative size is taken as 0). [audio thread]
  void Reset(int hostBlockSize);
  // Samples per window for a host block size: 177400 + 2 blocks, at most a quarter of the int range (so that
  // three windows of counting never overflow).
  static int WindowLengthFor(int hostBlockSize);
  // A measurement starts: active, not finished, nothing measured or heard, settling. [audio thread]
  void Start();
  // A measurement is cancelled: idle, not finished; the measured value stays. [audio thread]
  void Cancel();
  // A measurement runs. [any thread under the processing mutex]
  bool Active() const { return phase != EPhase::kIdle; }
  // Once per Receiver block, before HandOver and measuring or not: what the Sender's block of this cycle put into
  // the chain, and whether the detector sees this block's samples (Active on, a Sender). [audio thread]
  void NoteBlock(EFed fed, bool watched, int blockFrames);
  // Once per Receiver block that the detector sees, before its samples: returns the Sender state for the Sender's
  // next block (when it is 2 this block is the one the impulse waits out and the count restarts); the Sender then
  // waits (state 1) while active and is idle (state 0) otherwise. [audio thread]
  [[nodiscard]] int HandOver(int blockFrames);

  // One detector step on the post-FX sample (left, right); nothing unless active. Non-finite samples count as 0.
  // Returns true (and sets finished) in the sample in which the detector stops. [audio thread]
  bool Process(double left, double right);

private:
  void BeginSettling();
  void SetLevel(int index);
  bool Settle(double x);
  bool Listen(double x);
  bool EndOfListeningWindow();
  bool Confirm(double x);
  bool Agrees() const;
  bool ClearOfNoise() const;
  int AnswerCount() const;
  bool End(bool withValue, int value = 0);
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
