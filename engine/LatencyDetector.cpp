#include "engine/LatencyDetector.h"

#include "engine/LoudnessMeter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

// ---------------------------------------------------------------------------------------------------------------
// LatencyDetector
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

// The highest level 3 dB or more under x (linear, above 0).
int LevelUnder(double x)
{
  const double dB = std::log(x) * kDBPerNeper - 3.0;
  return int(std::floor((dB - LatencyDetector::kLowestLevelDB) / LatencyDetector::kLevelStepDB));
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
    rises.count[rises.levels] = count >= 0 ? count : -1;
}
} // namespace

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
  before = 0.0;
  SetLevel(kStartLevel);
  Cancel();
}

void LatencyDetector::Start()
{
  active = 1;
  finished = 0;
  measured = 0;
  valid = false;
  heard = false;
  // What came out before the start went unwatched: the quick start takes it for quiet.
  recent[0] = recent[1] = 0.0;
  recentCount = 0;
  BeginSettling();
}

void LatencyDetector::Cancel()
{
  phase = EPhase::kIdle;
  state = kIdle;
  active = 0;
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
  thresholdDB = kLowestLevelDB + level * kLevelStepDB;
  threshold = LevelGain(level);
}

void LatencyDetector::NoteBlock(EFed fed, bool watched, int blockFrames)
{
  silentRun = fed == EFed::kNothing ? int(std::min<long long>(silentRun + std::max(blockFrames, 0), windowLength)) : 0;
  if (!active)
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
  if (state == kPulseRequested)
  {
    sampleCount = 0;
    windowPosition = 0;
    pulseBlock = std::max(blockFrames, 0);
    peak = 0.0;
    before = std::max(recent[0], recent[1]);
    if (phase == EPhase::kSettling)
    {
      phase = EPhase::kListening;
      windowCount = 0;
      answer = -1;
      Restart(first);
    }
    else
    {
      Restart(second);
    }
  }
  const int handed = state;
  state = active ? kWaiting : kIdle;
  return handed;
}

bool LatencyDetector::Process(double left, double right)
{
  if (!active)
    return false;

  // A non-finite sample would either fire the detector or leave the next threshold at ln(inf).
  left = std::isfinite(left) ? left : 0.0;
  right = std::isfinite(right) ? right : 0.0;
  const double x = (std::fabs(left) + std::fabs(right)) * 0.5;
  heard = heard || x > kMinGain;

  if (++recentCount > kQuietBefore)
  {
    recent[1] = recent[0];
    recent[0] = 0.0;
    recentCount = 1;
  }
  recent[0] = std::max(recent[0], x);

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
  if (x > threshold)
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
  const auto answered = [this] {
    return level < first.levels && first.count[level] >= 0 && OutOfQuiet(first.count[level]);
  };
  // No rise through the level: listen 3 dB under the loudest sample of the window (the record says where the
  // answer first rose through that), or for anything at all when the window heard nothing.
  if (!answered())
    SetLevel(std::min(level, peak > kMinGain ? LevelUnder(peak) : kSilentLevel));
  peak = 0.0;
  if (answered())
  {
    // The second impulse goes out a window after the first, whatever the chain gave back in between: a request
    // timed by the output could be timed by programme, and programme's next peak would then confirm its first.
    answer = first.count[level];
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
  if (state == kPulseRequested)
    return false; // the rest of the block before the second impulse is asked for
  const int count = sampleCount++ - pulseBlock;
  Note(second, x, count);
  // Once the second answer has had the time to go where the first one went, compare.
  if (count < first.count[first.levels - 1])
    return false;
  return End(second.levels == first.levels && OutOfQuiet(answer) &&
                 std::equal(first.count + level, first.count + first.levels, second.count + level),
             answer);
}

bool LatencyDetector::OutOfQuiet(int count) const
{
  return count >= 0 && (count + pulseBlock >= kQuietBefore || before <= threshold);
}

bool LatencyDetector::End(bool withValue, int value)
{
  valid = withValue;
  if (withValue)
    measured = value;
  phase = EPhase::kIdle;
  state = kIdle;
  active = 0;
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
