#pragma once

// Internal to the block processing files (ZANIQ_Process.cpp, ZANIQ_ProcessChain.cpp): the per-block state of the
// Receiver's chain and the small numeric helpers both sides use.

#include "engine/Lanes.h"
#include "engine/ZANIQ.h"

#include <cmath>
#include <limits>

namespace zaniq_process
{

// The gain whose decibel value is exactly the floor: dB(x) = -144 for every meter value at or below kMinGain.
inline const double kFloorGain = std::exp(kMinDB * kNeperPerDB);

// The helpers below take a double or two as Lanes (the block passes), with the same operations either way.

// A meter value as the decibel conversion sees it: values at or below the floor count as the floor.
template <class T>
inline T Effective(T level)
{
  return level > kMinGain ? level : Splat<T>(kFloorGain);
}

// Non-finite samples count as silence.
template <class T>
inline T Finite(T x)
{
  return Magnitude(x) <= 1.7976931348623157e308 ? x : Splat<T>(0.0); // NaN and infinities fail the comparison
}

// A divisor of 0 (or one that is not a positive gain) would turn the signal into infinities: such a division gives
// silence instead. The divisor is chosen, not the quotient, so that loops over it need no branch.
template <class T>
inline T SafeDivide(T x, T gain)
{
  return x / (gain > 0.0 ? gain : Splat<T>(std::numeric_limits<double>::infinity()));
}

} // namespace zaniq_process

// Everything the per-sample chain reads or carries within one block, loaded once from the mirrors and gains.
struct ZANIQ::ReceiverBlock
{
  const plugin::sample* inL;
  const plugin::sample* inR;
  plugin::sample* outL;
  plugin::sample* outR;

  int matchMode;
  bool monitorPost; // Pre-Post FX 1
  bool inverse;
  bool delta;
  bool overProtect;
  bool compensate;  // Latency Compensation != 0
  double linkGain;
  double preGain;
  double minAuto, maxAuto, tolerance;

  // Auto match in the ratio domain: with q = post / pre (both floored), D = dB(q), so exp(-k g) reduces to q
  // times a constant inside the tolerance rules, clamped to [autoLow, autoHigh].
  double tolGain, tolGainInv, autoLow, autoHigh;
  bool zeroAtFloor; // Max Auto Gain reaches 144 dB: a gain of 144 dB or more means 0

  double matchGain, autoGain;
  double preLevel, postLevel; // last meter outputs
  double preMax;
  bool ran;                   // at least one sample went through the chain
  bool measuringAtEnd;        // a measurement was active at the last sample
};
