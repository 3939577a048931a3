#include "engine/LatencyDetector.h"

#include "engine/LoudnessMeter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

// ---------------------------------------------------------------------------------------------------------------
// LatencyDetector — levels
// ---------------------------------------------------------------------------------------------------------------

namespace
{
constexpr int LevelIndex(double dB)
{
  return int((dB - LatencyDetector::kLowestLevelDB) / LatencyDetector::kLevelStepDB);
}
constexpr int kStartLevel = LevelIndex(LatencyDetector::kStartThresholdDB);
constexpr int kSilentLevel = LevelIndex(LatencyDetector::kSilentThresholdDB);
static_assert(kStartLevel < LatencyDetector::kLevels && kSilentLevel >= 0);

double LevelGain(int index)
{
  return DBToAmp(LatencyDetector::kLowestLevelDB + index * LatencyDetector::kLevelStepDB);
}

const double kStartGain = LevelGain(kStartLevel);
const double kMinus3dB = DBToAmp(-3.0);

// The highest level 3 dB or more under x (linear, above 0).
int LevelUnder(double x)
{
  const double dB = std::log(x) * kDBPerNeper - 3.0;
  return int(std::floor((dB - LatencyDetector::kLowestLevelDB) / LatencyDetector::kLevelStepDB));
}

// The detector's input: the mean magnitude of the two channels, non-finite samples as 0.
double Magnitude(double left, double right)
{
  return ((std::isfinite(left) ? std::fabs(left) : 0.0) + (std::isfinite(right) ? std::fabs(right) : 0.0)) * 0.5;
}

void Restart(LatencyDetector::Rises& rises)
{
  rises.levels = 0;
  rises.next = LevelGain(0);
}

// A level the output went above before the impulse could leave has no answer of it.
void Note(LatencyDetector::Rises& rises, double x, int count)
{
  for (; rises.levels < LatencyDetector::kLevels && x > rises.next; rises.next = LevelGain(++rises.levels))
  {
    rises.count[rises.levels] = count >= 0 ? count : -1;
    rises.value[rises.levels] = x;
  }
}
} // namespace

// ---------------------------------------------------------------------------------------------------------------
// LatencyDetector — what came out
// ---------------------------------------------------------------------------------------------------------------

void LatencyDetector::History::Clear()
{
  newest = fill = held = 0;
  loudest[0] = 0.0;
}

void LatencyDetector::History::Add(double x)
{
  loudest[newest] = std::max(loudest[newest], x);
  if (++fill < length)
    return;
  newest = (newest + 1) % kHistoryBuckets;
  loudest[newest] = 0.0;
  fill = 0;
  held = std::min(held + 1, kHistoryBuckets - 1);
}

long long LatencyDetector::History::QuietFor(double x) const
{
  if (fill > 0 && loudest[newest] > x)
    return 0;
  long long quiet = fill;
  for (int i = 1; i <= held && loudest[(newest - i + kHistoryBuckets) % kHistoryBuckets] <= x; ++i)
    quiet += length;
  return quiet;
}

double LatencyDetector::History::Loudest(long long n) const
{
  if (n <= 0)
    return 0.0;
  if (n > fill + (long long)held * length)
    return std::numeric_limits<double>::infinity();
  // Whole buckets: a few samples more than asked for are looked at, never fewer.
  double m = fill > 0 ? loudest[newest] : 0.0;
  long long covered = fill;
  for (int i = 1; covered < n; ++i, covered += length)
    m = std::max(m, loudest[(newest - i + kHistoryBuckets) % kHistoryBuckets]);
  return m;
}

// ---------------------------------------------------------------------------------------------------------------
// LatencyDetector — a measurement
// ---------------------------------------------------------------------------------------------------------------

int LatencyDetector::WindowLengthFor(int hostBlockSize)
{
  const long long length = kWindowLength + 2LL * std::max(hostBlockSize, 0);
  return int(std::min<long long>(length, std::numeric_limits<int>::max() / 4));
}

void LatencyDetector::Reset(int hostBlockSize)
{
  windowLength = WindowLengthFor(hostBlockSize);
  allowedWindows = kAllowedWindows;
  blockSize = std::max(hostBlockSize, 0);
  pulseBlock = blockSize;
  measured = 0;
  valid = false;
  silentRun = 0;
  // The second answer's quiet reaches back by half the first gap, which is three windows and a block at the most.
  const long long span = 3LL * windowLength / 2 + 2LL * blockSize + kSampleTolerance + 1;
  history.length = int((span + kHistoryBuckets - 2) / (kHistoryBuckets - 1));
  history.Clear();
  SetLevel(kStartLevel);
  Cancel();
}

void LatencyDetector::Start()
{
  finished = 0;
  measured = 0;
  valid = false;
  heard = false;
  // What came out before the start went unwatched: nothing of it is taken for quiet.
  history.Clear();
  BeginSettling();
}

void LatencyDetector::Cancel()
{
  phase = EPhase::kIdle;
  state = kIdle;
  finished = 0;
}

void LatencyDetector::BeginSettling()
{
  // An impulse sent now would race what the chain still gives back of the programme: wait for quiet, unless the
  // Sender has sent nothing for a window (a stopped transport).
  phase = EPhase::kSettling;
  state = silentRun >= windowLength ? kPulseRequested : kWaiting;
  SetLevel(kStartLevel);
  quietRun = 0;
  settleTime = 0;
  peak = 0.0;
  sampleCount = 0;
  windowPosition = 0;
  windowCount = 0;
}

void LatencyDetector::SetLevel(int index)
{
  level = std::clamp(index, 0, kLevels - 1);
  threshold = LevelGain(level);
}

void LatencyDetector::NoteBlock(EFed fed, bool watched, int blockFrames)
{
  silentRun = fed == EFed::kNothing ? int(std::min<long long>(silentRun + std::max(blockFrames, 0), windowLength)) : 0;
  if (!Active())
    return;
  // Before the request anything that goes in is still to come back; after it, only the impulse may go in, and
  // the count must run on every sample the chain delivers.
  const bool intruded = phase == EPhase::kSettling ? fed != EFed::kNothing
                                                   : fed == EFed::kProgramme || fed == EFed::kUnknown;
  if (!intruded && watched)
    return;
  if (phase == EPhase::kSettling)
    BeginSettling();
  else
    phase = EPhase::kEnding;
}

int LatencyDetector::HandOver(int blockFrames)
{
  // The third request waits for its time, and never goes out at the first gap again.
  if (phase == EPhase::kConfirming && thirdAt >= 0 && sampleCount >= thirdAt &&
      std::abs((long long)sampleCount - gap) > kGapTolerance)
    state = kPulseRequested;
  if (state == kPulseRequested)
  {
    if (phase == EPhase::kSettling)
    {
      phase = EPhase::kListening;
      windowCount = 0;
      answer = answerEnd = -1;
      confirmed = 0;
      thirdAt = -1;
      Restart(first);
    }
    else
    {
      // The answer to come must rise out of quiet, part of which is behind us now: the second's out of half the
      // gap, the third's out of kQuietBefore samples.
      if (confirmed == 0)
        gap = sampleCount;
      const long long quiet = confirmed == 0 ? gap / 2 : kQuietBefore;
      const long long since = (long long)answer + std::max(blockFrames, 0) - kSampleTolerance;
      const double loudest = history.Loudest(quiet - since);
      if (loudest > LevelGain(level))
        phase = EPhase::kEnding;
      if (confirmed == 0)
        noise = loudest;
      thirdAt = -1;
      Restart(second);
    }
    sampleCount = 0;
    windowPosition = 0;
    pulseBlock = std::max(blockFrames, 0);
    peak = 0.0;
  }
  const int handed = state;
  state = Active() ? kWaiting : kIdle;
  return handed;
}

bool LatencyDetector::Process(double left, double right)
{
  if (!Active())
    return false;

  // A non-finite sample would either fire the detector or leave the next level at ln(inf).
  const double x = Magnitude(left, right);
  heard = heard || x > kMinGain;
  history.Add(x);

  bool stopped = false;
  switch (phase)
  {
  case EPhase::kSettling: stopped = Settle(x); break;
  case EPhase::kListening: stopped = Listen(x); break;
  case EPhase::kConfirming: stopped = Confirm(x); break;
  case EPhase::kIdle:
  case EPhase::kEnding: stopped = End(false); break;
  }
  return stopped;
}

bool LatencyDetector::Settle(double x)
{
  if (x > kStartGain)
  {
    // Still coming back: the quiet run starts again, and a request not yet handed to the Sender is taken back.
    quietRun = 0;
    state = kWaiting;
  }
  else if (quietRun < windowLength && ++quietRun == windowLength)
  {
    state = kPulseRequested;
  }
  // The chain never went quiet: no impulse could be told from what it gives back.
  if (++settleTime >= allowedWindows * windowLength && state != kPulseRequested)
    return End(false);
  return false;
}

bool LatencyDetector::Listen(double x)
{
  const int count = sampleCount++ - pulseBlock;
  Note(first, x, count);
  if (count >= 0)
    peak = std::max(peak, x);
  if (++windowPosition < windowLength)
    return false;
  windowPosition = 0;
  return EndOfListeningWindow();
}

bool LatencyDetector::EndOfListeningWindow()
{
  const auto answered = [this] { return level < first.levels && first.count[level] >= 0; };
  // No rise through the level: listen 3 dB under the loudest sample of the window (the record says where the
  // answer first rose through that), or for anything at all when the window heard nothing.
  if (!answered())
  {
    const int under = peak > kMinGain ? LevelUnder(peak) : kSilentLevel;
    if (under < level)
    {
      SetLevel(under);
      if (peak > kMinGain)
        threshold = std::max(threshold, peak * kMinus3dB);
    }
  }
  peak = 0.0;
  if (answered())
  {
    // The second impulse goes out a window after the first, whatever the chain gave back in between: a request
    // timed by the output could be timed by programme, and programme's next peak would then confirm its first.
    answer = first.count[level];
    // The later answers are compared at the level, so that is where this one's ringing on is measured.
    answerEnd = sampleCount - 1 - pulseBlock - int(history.QuietFor(LevelGain(level)));
    phase = EPhase::kConfirming;
    state = kPulseRequested;
    return false;
  }
  if (++windowCount < allowedWindows)
    return false;
  // Nothing to place: 0 for a chain that never gave anything back (it mutes), otherwise no value.
  return End(!heard, 0);
}

bool LatencyDetector::Confirm(double x)
{
  const int count = sampleCount++ - pulseBlock;
  if (thirdAt >= 0 || state == kPulseRequested)
    return false; // the next impulse is not asked for yet
  if (confirmed == 0)
  {
    // The second answer's quiet after its request: all of it is noise up to where the impulse could have left, and
    // its first half after that, where the answer's own edge has not begun (the edge rides with the answer; noise
    // is what moves it).
    const long long quiet = gap / 2;
    const long long lead = (long long)answer - kSampleTolerance - count; // samples until the quiet ends
    if (lead > 0 && lead <= quiet && (count < 0 || lead > quiet / 2))
      noise = std::max(noise, x);
  }
  Note(second, x, count);
  // Once the answer has had the time to go where the first one went, compare.
  if (count < first.count[first.levels - 1] + kSampleTolerance)
    return false;
  if (!Agrees())
    return End(false);
  if (++confirmed == 2)
    return End(ClearOfNoise(), AnswerCount());
  // Half the first gap after the second request, or once this answer has rung out as long as the first did: what
  // is left of it would come back inside the third's count.
  thirdAt = std::max({gap / 2, sampleCount, answerEnd + pulseBlock + kSampleTolerance + 1});
  return false;
}

bool LatencyDetector::ClearOfNoise() const
{
  // The edge's slope a decibel either side of the threshold: noise moves the crossing by up to noise / slope.
  const int lo = std::max(level - 4, 0);
  const int hi = std::min(level + 4, first.levels - 1);
  const double rise = first.value[hi] - first.value[lo];
  const double samples = first.count[hi] - first.count[lo];
  return noise * samples <= rise;
}

int LatencyDetector::AnswerCount() const
{
  // The first sample above the threshold lies between the rises through the levels under and over it: read it off
  // the edge between them, so that the count does not jump by the samples a whole level spans on a slow edge.
  const int c0 = first.count[level];
  const double x0 = first.value[level];
  if (threshold <= x0 || level + 1 >= first.levels)
    return c0;
  const int c1 = first.count[level + 1];
  const double x1 = first.value[level + 1];
  return std::min(c1, c0 + 1 + int(std::floor((threshold - x0) / (x1 - x0) * (c1 - c0))));
}

bool LatencyDetector::Agrees() const
{
  if (level >= second.levels || std::abs(second.levels - first.levels) > kPeakToleranceLevels)
    return false;
  const int steep = std::max(level + 1, std::min(first.levels, second.levels) - kFlatTopLevels);
  for (int l = level; l < steep; ++l)
    if (second.count[l] < 0 || std::abs(second.count[l] - first.count[l]) > kSampleTolerance)
      return false;
  return true;
}

bool LatencyDetector::End(bool withValue, int value)
{
  valid = withValue;
  if (withValue)
    measured = value;
  phase = EPhase::kIdle;
  state = kIdle;
  finished = 1;
  return true;
}

// ---------------------------------------------------------------------------------------------------------------
// DelayLine
// ---------------------------------------------------------------------------------------------------------------

bool DelayLine::Allocate()
{
  buffer.reset(new (std::nothrow) double[kCapacity]());
  capacity = buffer ? kCapacity : 0;
  length = 0;
  index = 0;
  return buffer != nullptr;
}

void DelayLine::Clear(int newLength)
{
  if (buffer)
    std::fill_n(buffer.get(), capacity, 0.0);
  index = 0;
  SetLength(newLength);
}

void DelayLine::SetLength(int newLength)
{
  length = std::clamp(newLength, 0, capacity);
}
