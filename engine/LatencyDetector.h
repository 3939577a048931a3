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
// that block). A count is stored only when a second impulse, asked for a window after the first, comes back the same
// way. What else the chain may still bring back (programme of a chain slower than a window, the impulse of a
// cancelled measurement) is not timed by the requests, so a count that is not the impulse's own keeps the old value
// rather than becoming a wrong one.
//
// The detector watches the chain's output between measurements too (Watch): what came out before a start is known,
// not assumed.
//
//   kSettling    The Sender is silent; the impulse is asked for once the chain's output has stayed at or below
//                -3 dB, with nothing sent into it, for `settleLength` samples (a window, the second request's
//                random delay and kSettleMargin): at once when that was so before the start (a stopped transport).
//                Three windows without it end the measurement without a value.
//   kListening   The first impulse. Its answer is the first sample above the detector's level since the request was
//                handed over, after the impulse could have left. The level is -3 dB; after each window without an
//                answer it drops to 3 dB under the window's loudest sample, or to -147 dB when the window heard
//                nothing, and the rises recorded since the request say where the answer went through the new level.
//                Three windows without an answer end the measurement: with 0 when nothing at all came back since
//                the start, and otherwise without a value.
//   kConfirming  The second impulse, asked for a random number of blocks (GapChoices()) after the end of the
//                window in which the first answer was found. Each answer must rise out of quiet at the level, all of
//                it watched: the first out of a quiet as long as the gap between the two requests, the second out of
//                half of it. Programme that repeats at a period the gap is a multiple of would show inside one of
//                them; one that first comes out after the request and repeats at the gap itself meets a gap it
//                cannot know. The second answer must then be the first one again within what noise and rounding
//                move: its crossings of the level and of every level below the flat top (kFlatTopLevels under the
//                peak) within kSampleTolerance samples, its peak within kPeakToleranceLevels. Then the first
//                answer's count, the one the level was chosen for, is the measured latency (the lines clamp a count
//                beyond their range); otherwise the measurement ends without a value.
//   kEnding      The measurement ends without a value at its next sample.
//
// The count has to run on every sample the chain delivers and nothing but the impulse may go in once it is asked
// for: programme fed into the chain, or a block the detector does not see (Active off, no Sender), restarts
// settling before the impulse is asked for and ends the measurement without a value after.
//
// A window lasts 177400 samples plus two host blocks: every latency up to 177399 samples (the range of "Latency
// Compensation" and 1000 more) rises inside the window of its request, the Sender's block before the impulse
// leaves included. A measurement lasts at most three windows of settling (each restart begins them anew) and six
// of impulses.
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
  // The second request goes out a random number of blocks, below kGapChoices and kGapSpread samples in all, after
  // the end of the answer's window.
  static constexpr int kGapChoices = 8;
  static constexpr int kGapSpread = 32768;
  // Settling waits this much beyond a window and the largest random delay: what the programme leaves ringing in the
  // chain at the answer's level must have died away a whole gap between the requests before the first answer.
  static constexpr int kSettleMargin = 8192;
  // What noise and rounding in the chain may move between two answers of one impulse: a crossing by a sample, the
  // peak by half a decibel. Crossings within 3 dB of the peak lie on its flat top and are not compared.
  static constexpr int kSampleTolerance = 1;
  static constexpr int kPeakToleranceLevels = 2;
  static constexpr int kFlatTopLevels = 12;
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
  // Samples the output must stay quiet before the first impulse goes out: a window, the largest random delay of the
  // second request and kSettleMargin.
  int settleLength = kWindowLength + kSettleMargin;
  int quietRun = 0;   // samples in a row at or below -3 dB with nothing sent into the chain (at most the wait)
  int settleTime = 0; // settling: samples since it began
  bool heard = false; // anything above kMinGain came back since the start
  int answer = -1;    // count of the first impulse's rise through `level`; -1 while none
  int gapBlocks = -1; // hand-overs still to let pass before the second request; -1 once it is asked for
  unsigned draws = 0; // state of the generator the gap is drawn from
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
  // The output watched before now: the loudest sample of each bucket of `length` samples, the newest last.
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
  };
  History history, beforeRequest; // the one at the first request, for the first answer's quiet

  // DSP reset: idle, window WindowLengthFor(block size), 3 windows, threshold -3 dB, nothing measured or watched,
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
  void NoteBlock(EFed fed, bool watched);
  // Once per Receiver block that the detector sees, before its samples: returns the Sender state for the Sender's
  // next block (when it is 2 this block is the one the impulse waits out and the count restarts); the Sender then
  // waits (state 1) while active and is idle (state 0) otherwise. [audio thread]
  [[nodiscard]] int HandOver(int blockFrames);

  // One detector step on the post-FX sample (left, right); nothing unless active. Non-finite samples count as 0.
  // Returns true (and sets finished) in the sample in which the detector stops. [audio thread]
  bool Process(double left, double right);
  // Between measurements: the post-FX samples of a block the detector sees. [audio thread]
  void Watch(const double* left, const double* right, int frames);

private:
  // How many block counts the second request's delay is drawn from: kGapChoices, fewer for blocks so large that
  // they would pass kGapSpread.
  int GapChoices() const;
  void Track(double x);
  void BeginSettling();
  void SetLevel(int index);
  bool Settle(double x);
  bool Listen(double x);
  bool EndOfListeningWindow();
  bool Confirm(double x);
  bool Agrees() const;
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
