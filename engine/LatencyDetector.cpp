#include "engine/LatencyDetector.h"

#include "engine/LoudnessMeter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

// ---------------------------------------------------------------------------------------------------------------
// LatencyDetector
// ---------------------------------------------------------------------------------------------------------------

int LatencyDetector::WindowLengthFor(int hostBlockSize)
{
  const long long length = kWindowLength + 2LL * std::max(hostBlockSize, 0);
  return int(std::min<long long>(length, std::numeric_limits<int>::max() / 4));
}

void LatencyDetector::Reset(int hostBlockSize)
{
  windowPosition = 0;
  windowLength = WindowLengthFor(hostBlockSize);
  allowedWindows = kAllowedWindows;
  windowCount = 0;
  state = kIdle;
  thresholdDB = kStartThresholdDB;
  threshold = DBToAmp(thresholdDB);
  sampleCount = 0;
  measured = 0;
  active = 0;
  finished = 0;
  peak = 0.0;
  blockSize = std::max(hostBlockSize, 0);
  pulseBlock = blockSize;
  settling = 0;
  quietRun = 0;
  settleTime = 0;
  owed = 0;
  gaveUp = 0;
  unanswered = -1;
  silentRun = 0;
  relistening = 0;
  heard = 0;
  expectAt = -1;
  riseLevels = 0;
}

void LatencyDetector::Start()
{
  thresholdDB = kStartThresholdDB;
  threshold = DBToAmp(thresholdDB);
  gaveUp = 0;
  measured = 0;
  active = 1;
  finished = 0;
  heard = 0;
  expectAt = -1;
  riseLevels = 0;
  BeginSettling();
}

void LatencyDetector::BeginSettling()
{
  // An impulse sent now would race what the chain still gives back of the programme: settle first.
  state = kWaiting;
  settling = 1;
  quietRun = 0;
  settleTime = 0;
  owed = -1;
  peak = 0.0;
  sampleCount = 0;
  windowPosition = 0;
  windowCount = 0;
  relistening = 0;
}

void LatencyDetector::Cancel()
{
  state = kIdle;
  active = 0;
  finished = 0;
  settling = 0;
}

void LatencyDetector::NoteBlock(bool programme, bool pulse, bool answered, int blockFrames)
{
  const long long frames = std::max(blockFrames, 0);
  const bool fed = programme || pulse;
  silentRun = fed || answered ? 0 : int(std::min<long long>(silentRun + frames, windowLength));
  if (answered)
    unanswered = -1;
  else if (unanswered >= 0)
    unanswered = int(std::min<long long>(unanswered + frames, static_cast<long long>(allowedWindows) * windowLength));
  else if (fed)
    unanswered = 0;

  // Programme played while measuring (Active was off): before the impulse it only delays the request; once an
  // impulse is on its way, either could come back first. The measurement then ends at its next sample.
  if (active && programme)
  {
    if (settling)
      BeginSettling();
    else
      gaveUp = 1;
  }
}

int LatencyDetector::HandOver(int blockFrames)
{
  if (active && settling && owed < 0)
  {
    // Programme the chain has given nothing back of (a chain slower than the window may still bring it) holds the
    // impulse back until something comes back. Programme that old is taken as lost.
    owed = unanswered >= 0 && unanswered < allowedWindows * windowLength;
    // A window of silence on both sides: nothing within a window's reach is on its way, and nothing slower either
    // unless the chain has yet to answer what it was fed last (an impulse of a cancelled measurement, say).
    if (silentRun >= windowLength && !owed)
      state = kPulseRequested;
  }
  if (state == kPulseRequested)
  {
    sampleCount = 0;
    pulseBlock = std::max(blockFrames, 0);
    riseLevels = 0;
    riseNext = DBToAmp(kRiseFloorDB);
    if (settling)
    {
      // The chain is quiet: the first window starts with the request.
      settling = 0;
      windowPosition = 0;
      windowCount = 0;
      peak = 0.0;
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

  if (gaveUp)
    return GiveUp();
  const double x = (std::fabs(left) + std::fabs(right)) * 0.5;
  if (settling)
    return Settle(x);
  peak = std::max(peak, x);
  double windowPeak = peak;
  int next;
  const int count = sampleCount - pulseBlock;
  while (riseLevels < kRiseLevels && x > riseNext)
  {
    rise[riseLevels++] = count;
    riseNext = DBToAmp(kRiseFloorDB + riseLevels * kRiseStepDB);
  }

  if (x > threshold)
  {
    // The impulse left the Sender one host block after it was requested. Anything earlier is what the chain still
    // gives back of the signal before the silence; asking again would put a second impulse on the way, and the
    // first one would then be counted from the second request.
    if (count >= 0)
    {
      measured = count;
      active = 0;
      // A new impulse through the same chain crosses the threshold where the last one did. Anything else is
      // something older still on its way (an impulse slower than the windows, programme): no value.
      if (!relistening && expectAt >= 0 && count != expectAt)
        gaveUp = 1;
    }
    peak = 0.0;
    windowPosition = 0;
    next = 1;
    windowPeak = 0.0;
  }
  else
  {
    next = windowPosition + 1;
  }

  if (next >= windowLength)
  {
    windowPosition = 0;
    heard = heard || windowPeak > kMinGain;
    if (relistening)
    {
      // A whole window at the lowered threshold and nothing above it: nothing sent before can still arrive above
      // it. Ask again. (A window that waits for no impulse of its own is not one of the allowed windows.)
      relistening = 0;
      peak = 0.0;
      state = kPulseRequested;
    }
    else if (++windowCount >= allowedWindows)
    {
      // Nothing found: 0 for a chain that gave nothing back (it mutes), no value when something came back that
      // could not be placed.
      windowCount = 0;
      active = 0;
      gaveUp = heard;
    }
    else if (windowPeak > kMinGain)
    {
      // Quiet chain, or something still on its way from before (programme, or the impulse of a chain slower than
      // the window). Listen 3 dB below the loudest thing this window saw (down to a level of the rise record, so
      // that the record says exactly where this window first rose above it), still for the impulse already asked
      // for.
      const int level = int(std::floor((std::log(windowPeak) * kDBPerNeper - 3.0 - kRiseFloorDB) / kRiseStepDB));
      thresholdDB = kRiseFloorDB + level * kRiseStepDB;
      threshold = DBToAmp(thresholdDB);
      peak = 0.0;
      // Only an answer that rose above the new threshold after the impulse could have left shows that the impulse
      // came back; then, once a whole window has stayed below it, ask once more. Otherwise a new impulse could be
      // overtaken by the one still on its way and be counted from the wrong start.
      if (expectAt < 0 && level < riseLevels && rise[level] >= 0)
      {
        expectAt = rise[level];
        relistening = 1;
      }
    }
    else
    {
      // Nothing came back: the impulse is late, or lost. Keep counting from its request and listen for anything.
      thresholdDB = kSilentThresholdDB;
      threshold = DBToAmp(thresholdDB);
      peak = 0.0;
    }
  }
  else
  {
    windowPosition = next;
  }

  ++sampleCount;

  if (!active)
  {
    finished = 1;
    return true;
  }
  return false;
}

bool LatencyDetector::Settle(double x)
{
  ++settleTime;
  if (x > 0.0)
    owed = 0;
  if (x > threshold)
  {
    // Still coming back: the quiet run starts again, and a request not yet handed to the Sender is taken back.
    quietRun = 0;
    state = kWaiting;
  }
  else if (owed <= 0 && quietRun < windowLength)
  {
    // Only once something came back: quiet programme still on its way would otherwise count as quiet.
    ++quietRun;
  }
  if (quietRun >= windowLength)
  {
    state = kPulseRequested;
    return false;
  }
  if (settleTime < allowedWindows * windowLength)
    return false;

  // The chain never went quiet, or never gave back what it was fed: no value can be trusted.
  return GiveUp();
}

bool LatencyDetector::GiveUp()
{
  state = kIdle;
  settling = 0;
  relistening = 0;
  active = 0;
  gaveUp = 1;
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
