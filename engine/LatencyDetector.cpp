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
// LatencyDetector — what was watched
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

void LatencyDetector::Track(double x)
{
  history.Add(x);
  quietRun = x > kStartGain ? 0 : std::min(quietRun + 1, settleLength);
}

void LatencyDetector::Watch(const double* left, const double* right, int frames)
{
  if (Active() || !left || !right)
    return;
  for (int i = 0; i < frames; ++i)
    Track(Magnitude(left[i], right[i]));
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
  quietRun = 0;
  // The first answer's quiet reaches back from its request by at most a window, the random delay, a block and the
  // tolerance.
  const long long span = (long long)windowLength + kGapSpread + blockSize + kSampleTolerance + 1;
  history.length = int((span + kHistoryBuckets - 2) / (kHistoryBuckets - 1));
  history.Clear();
  beforeRequest = history;
  draws = 0x2545F491u;
  settleLength = windowLength + (GapChoices() - 1) * blockSize + kSettleMargin;
  SetLevel(kStartLevel);
  Cancel();
}

int LatencyDetector::GapChoices() const
{
  return std::clamp(kGapSpread / std::max(blockSize, 1), 1, kGapChoices);
}



void LatencyDetector::Start()
{
  finished = 0;
  measured = 0;
  valid = false;
  heard = false;
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
  // An impulse sent now would race what the chain still gives back: wait for quiet, unless it was quiet already.
  phase = EPhase::kSettling;
  state = quietRun >= settleLength ? kPulseRequested : kWaiting;
  SetLevel(kStartLevel);
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

void LatencyDetector::NoteBlock(EFed fed, bool watched)
{
  // The generator runs on every block, so that the gap drawn depends on when the measurement started.
  draws = draws * 1664525u + 1013904223u;
  // What was sent is still to come back, and what came out unwatched may have been anything.
  if (fed != EFed::kNothing || !watched)
    quietRun = 0;
  if (!watched)
    history.Clear();
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
  if (phase == EPhase::kConfirming && gapBlocks >= 0 && gapBlocks-- == 0)
    state = kPulseRequested;
  if (state == kPulseRequested)
  {
    if (phase == EPhase::kSettling)
    {
      phase = EPhase::kListening;
      windowCount = 0;
      answer = -1;
      Restart(first);
      beforeRequest = history;
    }
    else
    {
      // The gap between the requests is known now: the quiet each answer must rise out of is too.
      const double gain = LevelGain(level);
      const long long gap = sampleCount;
      const long long toFirst = (long long)answer + pulseBlock;
      const long long toSecond = (long long)answer + std::max(blockFrames, 0);
      if (beforeRequest.Loudest(gap + kSampleTolerance - toFirst) > gain ||
          history.Loudest(gap / 2 + kSampleTolerance - toSecond) > gain)
        phase = EPhase::kEnding;
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
  Track(x);

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

bool LatencyDetector::Settle(double)
{
  // A request not yet handed to the Sender is taken back when the output rises again.
  state = quietRun >= settleLength ? kPulseRequested : kWaiting;
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
    // The second impulse goes out after the window, whatever the chain gave back in between: a request timed by
    // the output could be timed by programme, and programme's next peak would then confirm its first.
    answer = first.count[level];
    phase = EPhase::kConfirming;
    gapBlocks = int((draws >> 16) % unsigned(GapChoices()));
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
  if (gapBlocks >= 0 || state == kPulseRequested)
    return false; // the second impulse is not asked for yet
  Note(second, x, count);
  // Once the second answer has had the time to go where the first one went, compare.
  if (count < first.count[first.levels - 1] + kSampleTolerance)
    return false;
  return End(Agrees(), AnswerCount());
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
