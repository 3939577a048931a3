// ZANIQ — the Receiver's per-sample chain: latency detector, pre-FX delay, metering, matching, monitoring, over
// protection, gain-reduction display and fade. It runs one sample at a time while a latency measurement is under
// way, and otherwise as passes over short chunks with the same results.

#include "engine/ZANIQ_Process_p.h"

#include <algorithm>
#include <cmath>

using namespace plugin;
using namespace zaniq_process;

namespace
{

// The Auto match gain for one sample (or two, as lanes). With q = post / pre on the floored meter values,
// D = dB(q); the tolerance rules and the clamp of g to [Min, Max Auto Gain] then turn exp(-k g) into q, q / gain(t),
// q * gain(t) or 1, clamped to [exp(-k Max), exp(-k Min)], and 0 where g would reach 144 dB. No logarithm or
// exponential per sample.
template <class T>
inline T AutoMatchGain(T postLevel, T preLevel, double tolerance, double tolGain, double tolGainInv, double low,
                       double high, bool zeroAtFloor)
{
  const T q = Effective(postLevel) / Effective(preLevel);
  T m = q;
  if (!(tolerance <= 0.0))
    m = q >= tolGain ? q * tolGainInv : (q <= tolGainInv ? q * tolGain : Splat<T>(1.0));
  m = m < low ? Splat<T>(low) : (m > high ? Splat<T>(high) : m);
  return zeroAtFloor ? (m <= kFloorGain ? Splat<T>(0.0) : m) : m;
}

constexpr int kPassFrames = 256; // ZANIQ::kChunkFrames

// dst = src with non-finite samples as 0. The whole-chunk case has a fixed length, so that it vectorises.
void CopyFinite(const double* __restrict src, double* __restrict dst, int n)
{
  if (n == kPassFrames)
    for (int i = 0; i < kPassFrames; ++i)
      dst[i] = Finite(src[i]);
  else
    for (int i = 0; i < n; ++i)
      dst[i] = Finite(src[i]);
}

} // namespace

void ZANIQ::ReceiverSamples(ReceiverBlock& b, int start, int count, const double* pre0, const double* pre1)
{
  if (count <= 0)
    return;
  b.ran = true;
  // A measurement changes the chain from one sample to the next (silence, the finish, meter clears): it runs the
  // chain one sample at a time. Otherwise the same chain runs as passes over short chunks.
  if (mDetector.Active() || mPlainSampleChain)
  {
    ReceiverSamplesPlain(b, start, count, pre0, pre1);
    return;
  }
  for (int done = 0; done < count; done += kChunkFrames)
    ReceiverChunk(b, start + done, std::min(kChunkFrames, count - done), pre0 ? pre0 + done : nullptr,
                  pre1 ? pre1 + done : nullptr);
}

// ---------------------------------------------------------------------------------------------------------------
// Receiver — the chain one sample at a time (during a measurement)
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::ReceiverSamplesPlain(ReceiverBlock& b, int start, int count, const double* preIn0, const double* preIn1)
{
  for (int k = 0; k < count; ++k)
  {
    const int i = start + k; // the Sender's buffer (preIn0, preIn1) starts with this piece
    // Non-finite samples count as silence: they would otherwise ride the delay line and the gains.
    double postL = Finite(b.inL[i]);
    double postR = Finite(b.inR[i]);
    double preL = preIn0 && preIn1 ? Finite(preIn0[k]) : 0.0;
    double preR = preIn0 && preIn1 ? Finite(preIn1[k]) : 0.0;

    // Latency detector, its finish, the fade.
    if (mDetector.Active())
      (void)mDetector.Process(postL, postR);
    if (mDetector.finished)
      FinishLatencyMeasurement(b);
    const double fade = NextFadeFactor(mFadeCounter, mFadeLength);

    if (b.compensate)
    {
      preL = mDelayL.Process(preL);
      preR = mDelayR.Process(preR);
    }
    const bool measuring = mDetector.Active();
    if (measuring)
      postL = postR = preL = preR = 0.0;

    // Meters.
    const double preLevel = mPreFXMeter.ProcessSample(preL, preR);
    b.preMax = std::max(b.preMax, preLevel);
    const double postLevel = mPostFXMeter.ProcessSample(postL, postR);

    // Match gain. Manual keeps the stored gain; the gain to match is worked out from the levels at block end.
    if (b.matchMode == kMatchGainStage)
    {
      b.autoGain = b.matchGain = 1.0;
    }
    else if (b.matchMode != kMatchManual)
    {
      if (!mPostFXMeter.WindowFull())
        b.autoGain = b.matchGain = 1.0;
      else if (b.inverse && !b.monitorPost)
        b.matchGain = b.autoGain; // the match holds while the pre-FX signal is monitored
      else
        b.autoGain = b.matchGain = AutoMatchGain(postLevel, preLevel, b.tolerance, b.tolGain, b.tolGainInv,
                                                 b.autoLow, b.autoHigh, b.zeroAtFloor);
    }

    // Monitor selection.
    double oL, oR;
    if (!b.monitorPost)
    {
      const double g = b.matchMode == kMatchGainStage ? b.preGain : (b.inverse ? b.matchGain : 1.0);
      oL = preL * g;
      oR = preR * g;
    }
    else if (b.matchMode == kMatchGainStage)
    {
      oL = postL / b.linkGain * b.preGain;
      oR = postR / b.linkGain * b.preGain;
      if (b.delta)
      {
        oL = preL * b.preGain - oL;
        oR = preR * b.preGain - oR;
      }
    }
    else
    {
      const double matchedL = SafeDivide(postL, b.matchGain);
      const double matchedR = SafeDivide(postR, b.matchGain);
      if (b.delta)
      {
        oL = preL - matchedL;
        oR = preR - matchedR;
      }
      else if (b.inverse)
      {
        oL = postL;
        oR = postR;
      }
      else
      {
        oL = matchedL;
        oR = matchedR;
      }
    }

    // Over protection (its ratio feeds the display whether or not it is enabled).
    const double clippedL = mOverProtectionL.Process(oL);
    const double clippedR = mOverProtectionR.Process(oR);
    if (b.overProtect)
    {
      oL = clippedL;
      oR = clippedR;
    }
    mGainReduction.Process(mOverProtectionL.ratio, mOverProtectionR.ratio);

    b.outL[i] = fade * oL;
    b.outR[i] = fade * oR;

    b.preLevel = preLevel;
    b.postLevel = postLevel;
    b.measuringAtEnd = measuring;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Receiver — the chain as passes over a chunk (no measurement running)
// ---------------------------------------------------------------------------------------------------------------

// The same steps as ReceiverSamplesPlain, with the same results; only the two meters (and the display) carry state
// from sample to sample, so everything else runs as passes over the chunk, two samples at a time. The passes read
// the host's and the Sender's buffers where they lie (non-finite samples count as silence there, as in the sample
// chain); the over-protection loops that work on the scratch cover the whole of it (kChunkFrames, whatever n is), so
// that their length is known and they vectorise, working on stale values beyond n that are never used.
void ZANIQ::ReceiverChunk(ReceiverBlock& b, int start, int n, const double* pre0, const double* pre1)
{
  constexpr int N = kChunkFrames;
  static_assert(N == kPassFrames);
  double* const preL = mChunk[kChunkPreL];
  double* const preR = mChunk[kChunkPreR];
  double* const preLevel = mChunk[kChunkPreLevel];
  double* const postLevel = mChunk[kChunkPostLevel];
  double* const match = mChunk[kChunkMatch];
  double* const ratioL = mChunk[kChunkRatioL];
  double* const ratioR = mChunk[kChunkRatioR];
  const sample* const inL = b.inL + start;
  const sample* const inR = b.inR + start;
  sample* const outL = b.outL + start;
  sample* const outR = b.outR + start;
  // Where nothing follows the monitor selection but the copy to the outputs (no fade under way, over protection off,
  // a buffer per channel), the selection writes the outputs itself. (Each pass reads sample i before it writes it,
  // so outputs that are the inputs do no harm.)
  const bool direct = mFadeCounter == 0 && !b.overProtect && outL != outR;
  double* const oL = direct ? outL : mChunk[kChunkOutL];
  double* const oR = direct ? outR : mChunk[kChunkOutR];

  // The pre-FX signal: the Sender's samples, silence without them, or the delay lines' output.
  const double* srcL = pre0;
  const double* srcR = pre1;
  if (!pre0 || !pre1 || b.compensate)
  {
    if (pre0 && pre1)
    {
      CopyFinite(pre0, preL, n);
      CopyFinite(pre1, preR, n);
    }
    else
    {
      std::fill_n(preL, n, 0.0);
      std::fill_n(preR, n, 0.0);
    }
    if (b.compensate)
    {
      for (int i = 0; i < n; ++i)
        preL[i] = mDelayL.Process(preL[i]);
      for (int i = 0; i < n; ++i)
        preR[i] = mDelayR.Process(preR[i]);
    }
    srcL = preL;
    srcR = preR;
  }

  // Meters (they take non-finite samples as silence themselves). The post-FX window fills at a known sample: from
  // `full` on, WindowFull() holds.
  const int windowLeft = mPostFXMeter.WindowLength() - mPostFXMeter.WindowCounter() - 1;
  const int full = std::clamp(windowLeft, 0, n);
  LoudnessMeter::ProcessBlocks(mPreFXMeter, srcL, srcR, preLevel, mPostFXMeter, inL, inR, postLevel, n);
  // Four running maxima side by side (the maximum does not depend on the order it is taken in).
  double m0 = b.preMax, m1 = b.preMax, m2 = b.preMax, m3 = b.preMax;
  int k = 0;
  for (; k + 4 <= n; k += 4)
  {
    m0 = std::max(m0, preLevel[k]);
    m1 = std::max(m1, preLevel[k + 1]);
    m2 = std::max(m2, preLevel[k + 2]);
    m3 = std::max(m3, preLevel[k + 3]);
  }
  for (; k < n; ++k)
    m0 = std::max(m0, preLevel[k]);
  b.preMax = std::max(std::max(m0, m1), std::max(m2, m3));
  b.preLevel = preLevel[n - 1];
  b.postLevel = postLevel[n - 1];
  b.measuringAtEnd = false;

  // Match gain per sample.
  switch (b.matchMode)
  {
    case kMatchManual:
      std::fill_n(match, n, b.matchGain);
      break;
    case kMatchGainStage:
      b.autoGain = b.matchGain = 1.0;
      std::fill_n(match, n, 1.0);
      break;
    case kMatchAuto:
    default:
      if (full < n && b.inverse && !b.monitorPost)
      {
        // The match holds while pre-FX is monitored (at 1.0 when the window filled in this chunk).
        const double held = full > 0 ? 1.0 : b.autoGain;
        std::fill_n(match, n, held);
        b.autoGain = b.matchGain = held;
      }
      else if (full < n)
      {
        const double tolerance = b.tolerance, tolGain = b.tolGain, tolGainInv = b.tolGainInv, low = b.autoLow,
                     high = b.autoHigh;
        const bool zeroAtFloor = b.zeroAtFloor;
        ForLanes(n, [&]<class T>(int i) {
          Store(match + i, AutoMatchGain(Load<T>(postLevel + i), Load<T>(preLevel + i), tolerance, tolGain,
                                         tolGainInv, low, high, zeroAtFloor));
        });
        b.autoGain = b.matchGain = match[n - 1];
      }
      else
      {
        b.autoGain = b.matchGain = 1.0;
      }
      std::fill_n(match, full, 1.0);
      break;
  }

  // Monitor selection, and whether any sample lies beyond the over-protection ceiling (NaN counts as beyond).
  const double gainL = mOverProtectionL.inputGain, ceilL = mOverProtectionL.ceiling, negL = mOverProtectionL.negCeiling;
  const double gainR = mOverProtectionR.inputGain, ceilR = mOverProtectionR.ceiling, negR = mOverProtectionR.negCeiling;
  Lanes overs = {0.0, 0.0};
  auto put = [&]<class T>(int i, T l, T r) {
    Store(oL + i, l);
    Store(oR + i, r);
    const T count = (Magnitude(gainL * l) <= ceilL ? Splat<T>(0.0) : Splat<T>(1.0)) +
                    (Magnitude(gainR * r) <= ceilR ? Splat<T>(0.0) : Splat<T>(1.0));
    overs += count; // the odd last sample's count goes into both lanes: only zero or not matters
  };
  if (!b.monitorPost)
  {
    if (b.matchMode != kMatchGainStage && b.inverse)
      ForLanes(n, [&]<class T>(int i) {
        const T m = Load<T>(match + i);
        put(i, Finite(Load<T>(srcL + i)) * m, Finite(Load<T>(srcR + i)) * m);
      });
    else
    {
      const double g = b.matchMode == kMatchGainStage ? b.preGain : 1.0;
      ForLanes(n, [&]<class T>(int i) { put(i, Finite(Load<T>(srcL + i)) * g, Finite(Load<T>(srcR + i)) * g); });
    }
  }
  else if (b.matchMode == kMatchGainStage)
  {
    const double linkGain = b.linkGain, preGain = b.preGain;
    const bool delta = b.delta;
    ForLanes(n, [&]<class T>(int i) {
      T l = Finite(Load<T>(inL + i)) / linkGain * preGain;
      T r = Finite(Load<T>(inR + i)) / linkGain * preGain;
      if (delta)
      {
        l = Finite(Load<T>(srcL + i)) * preGain - l;
        r = Finite(Load<T>(srcR + i)) * preGain - r;
      }
      put(i, l, r);
    });
  }
  else if (b.inverse && !b.delta)
  {
    ForLanes(n, [&]<class T>(int i) { put(i, Finite(Load<T>(inL + i)), Finite(Load<T>(inR + i))); });
  }
  else
  {
    const bool delta = b.delta;
    ForLanes(n, [&]<class T>(int i) {
      const T m = Load<T>(match + i);
      T l = SafeDivide(Finite(Load<T>(inL + i)), m);
      T r = SafeDivide(Finite(Load<T>(inR + i)), m);
      if (delta)
      {
        l = Finite(Load<T>(srcL + i)) - l;
        r = Finite(Load<T>(srcR + i)) - r;
      }
      put(i, l, r);
    });
  }

  // Over protection; its ratios feed the display whether or not it is enabled. A chunk without a sample beyond
  // the ceiling (the usual case) has every ratio at 1.0 and nothing to clip.
  if (overs[0] + overs[1] == 0.0 && negL == -ceilL && negR == -ceilR)
  {
    mOverProtectionL.ratio = mOverProtectionR.ratio = 1.0;
    if (b.overProtect)
      for (int i = 0; i < N; ++i)
      {
        oL[i] *= gainL; // y = x = input gain * o
        oR[i] *= gainR;
      }
    // A display at rest at 0 (idle or released) stays exactly so while nothing is clipped.
    const GainReductionDisplay& d = mGainReduction;
    if (!(d.value == 0.0 && d.phase != GainReductionDisplay::kHolding && d.invert))
      for (int i = 0; i < n; ++i)
        mGainReduction.Process(1.0, 1.0);
  }
  else
  {
    if (b.overProtect)
      for (int i = 0; i < N; ++i)
      {
        oL[i] = OverProtection::Clip(gainL * oL[i], ceilL, negL, ratioL[i]);
        oR[i] = OverProtection::Clip(gainR * oR[i], ceilR, negR, ratioR[i]);
      }
    else
      for (int i = 0; i < n; ++i) // n: oL and oR may be the outputs
      {
        (void)OverProtection::Clip(gainL * oL[i], ceilL, negL, ratioL[i]);
        (void)OverProtection::Clip(gainR * oR[i], ceilR, negR, ratioR[i]);
      }
    mOverProtectionL.ratio = ratioL[n - 1];
    mOverProtectionR.ratio = ratioR[n - 1];
    for (int i = 0; i < n; ++i)
      mGainReduction.Process(ratioL[i], ratioR[i]);
  }

  // Fade and output. Left first, then right: with one buffer for both, the right value is the one that stays.
  if (direct)
    return;
  if (mFadeCounter == 0)
  {
    std::copy_n(oL, n, outL);
    std::copy_n(oR, n, outR);
  }
  else
  {
    for (int i = 0; i < n; ++i)
    {
      const double fade = NextFadeFactor(mFadeCounter, mFadeLength);
      outL[i] = fade * oL[i];
      outR[i] = fade * oR[i];
    }
  }
}
