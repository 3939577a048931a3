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
  sampleCount = 0;
  measured = 0;
  active = 0;
  finished = 0;
  peak = 0.0;
  blockSize = std::max(hostBlockSize, 0);
  pulseBlock = blockSize;
}

void LatencyDetector::Start()
{
  thresholdDB = kStartThresholdDB;
  peak = 0.0;
  state = kPulseRequested;
  sampleCount = 0;
  measured = 0;
  active = 1;
  finished = 0;
  windowPosition = 0;
  windowCount = 0;
}

void LatencyDetector::Cancel()
{
  state = kIdle;
  active = 0;
  finished = 0;
}

int LatencyDetector::HandOver(int blockFrames)
{
  if (state == kPulseRequested)
  {
    sampleCount = 0;
    pulseBlock = std::max(blockFrames, 0);
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
  peak = std::max(peak, x);
  double windowPeak = peak;
  int next;

  if (x > DBToAmp(thresholdDB))
  {
    // The impulse left the Sender one host block after it was requested. Anything earlier is what the chain still
    // gives back of the signal before the silence; asking again would put a second impulse on the way, and the
    // first one would then be counted from the second request.
    const int count = sampleCount - pulseBlock;
    if (count >= 0)
    {
      measured = count;
      active = 0;
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
    if (++windowCount >= allowedWindows)
    {
      windowCount = 0;
      active = 0;
    }
    else if (windowPeak > kMinGain)
    {
      // Quiet chain: the impulse came back below the threshold. Ask again and listen 3 dB below the loudest thing
      // this window saw.
      thresholdDB = std::log(windowPeak) * kDBPerNeper - 3.0;
      peak = 0.0;
      state = kPulseRequested;
    }
    else
    {
      // Nothing came back: the impulse is late, or lost. Keep counting from its request and listen for anything.
      thresholdDB = kSilentThresholdDB;
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
