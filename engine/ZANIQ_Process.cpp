// ZANIQ — block processing: the Sender's hand-off into its link slot, the Receiver's per-sample chain (latency
// detector, pre-FX delay, metering, matching, monitoring, over protection, gain-reduction display, fade), the
// half-second tick with its peer command, the reset, and the start and end of a latency measurement.

#include "engine/ZANIQ.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace plugin;

namespace
{

// The gain whose decibel value is exactly the floor: dB(x) = -144 for every meter value at or below kMinGain.
const double kFloorGain = std::exp(kMinDB * kNeperPerDB);

constexpr double kEBUReferenceOffsetDB = 0.7; // the meter omits BS.1770's -0.691 dB; the reference takes it

// A meter value as the decibel conversion sees it: values at or below the floor count as the floor.
inline double Effective(double level)
{
  return level > kMinGain ? level : kFloorGain;
}

inline double Finite(double x)
{
  return std::isfinite(x) ? x : 0.0;
}

// A divisor of 0 (or one that is not a positive finite gain) would turn the signal into infinities: such a
// division gives silence instead.
inline double SafeDivide(double x, double gain)
{
  return gain > 0.0 ? x / gain : 0.0;
}

// A gain the Sender divides by: one that is not a usable positive gain divides by 1.0.
inline double UsableDivisor(double gain)
{
  return (std::isfinite(gain) && gain > kMinGain) ? gain : 1.0;
}

void CopyIfApart(const sample* src, sample* dst, int n)
{
  if (src != dst)
    std::memmove(dst, src, size_t(n) * sizeof(sample));
}

// Hosts that want a begin/end gesture around a parameter set by the plug-in: Cakewalk, Logic, GarageBand,
// Bitwig Studio.
bool HostWantsGestures(int host)
{
  return host == 5 || host == 21 || host == 22 || host == 34;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Entry and reset
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::ProcessBlock(sample** inputs, sample** outputs, int nFrames)
{
  std::lock_guard<std::mutex> lock(mProcMutex);
  ApplyDSPRequests();

  if (GetHost() == kHostProTools)
  {
    const int target = GetTargetLatency();
    if (GetLatency() != target)
      ReportLatency(*this, target);
  }

  ProcessBlockImpl(inputs, outputs, nFrames, NChannelsConnected(kInput), NChannelsConnected(kOutput));
}

void ZANIQ::OnReset()
{
  std::lock_guard<std::mutex> lock(mProcMutex);
  ApplyDSPRequests();
  if (GetSampleRate() != mDSPSampleRate || GetBlockSize() != mDSPBlockSize)
  {
    // The rebuild stops a running measurement; it must not stay marked as running with nothing behind it.
    const bool measuring = mDetector.active != 0;
    mDSPSampleRate = GetSampleRate();
    mDSPBlockSize = GetBlockSize();
    ResetDSP();
    if (measuring)
      StopLatencyMeasurement();
    const int target = GetInitialLatency();
    mTargetLatency.store(target, std::memory_order_relaxed);
    if (GetLatency() != target)
      ReportLatency(*this, target);
  }
  LinkRegistry::Instance().Slot(GetLinkID()).ClearQueue();
}

void ZANIQ::ProcessBlockImpl(sample** inputs, sample** outputs, int nFrames, int nInputs, int nOutputs)
{
  if (nFrames <= 0 || !outputs || !outputs[0])
    return;
  sample* outL = outputs[0];
  sample* outR = (nInputs == 2 && nOutputs == 2 && outputs[1]) ? outputs[1] : outL;
  if (!inputs || !inputs[0])
  {
    // Nothing to read: silence rather than whatever the output buffers held.
    std::fill_n(outL, nFrames, 0.0);
    if (nOutputs >= 2 && outputs[1])
      std::fill_n(outputs[1], nFrames, 0.0);
    return;
  }
  sample* inL = inputs[0];
  sample* inR = (outR != outL && inputs[1]) ? inputs[1] : inL;
  if (inR == inL)
    outR = outL;

  mLinkGain.store(1.0, std::memory_order_relaxed);
  mSenderLinked.store(false, std::memory_order_relaxed);
  const int linkID = GetLinkID();
  LinkSlot& slot = LinkRegistry::Instance().Slot(linkID);
  const int mode = GetPluginMode();

  if (mode == kLinkReceiver)
  {
    ProcessReceiver(slot, linkID, inL, inR, outL, outR, nFrames);
  }
  else
  {
    // Only a Receiver can measure: a measurement started in another mode ends here instead of running for ever.
    if (mDetector.active)
      StopLatencyMeasurement();
    if (mode == kLinkSender)
      ProcessSender(slot, linkID, inL, inR, outL, outR, nFrames);
    else
    {
      CopyIfApart(inL, outL, nFrames);
      if (outR != outL)
        CopyIfApart(inR, outR, nFrames);
    }
  }

  // A mono pass with a second connected output: the second output gets the same signal, not stale memory.
  if (outR == outL && nOutputs >= 2 && outputs[1] && outputs[1] != outL)
    std::memcpy(outputs[1], outL, size_t(nFrames) * sizeof(sample));

  // Half-second tick: meter refresh for the editor, and the peer command of a Receiver that heard its Sender.
  if (mHalfSecondPeriod > 0)
  {
    mHalfSecondCounter += nFrames;
    if (mHalfSecondCounter >= mHalfSecondPeriod)
    {
      mHalfSecondCounter %= mHalfSecondPeriod;
      mMeterRefresh.store(true, std::memory_order_relaxed);
      if (mode == kLinkReceiver && IsReceiving() && linkID > 0)
        RunPeerCommand(slot);
    }
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Sender
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::ProcessSender(LinkSlot& slot, int linkID, sample* inL, sample* inR, sample* outL, sample* outR,
                          int nFrames)
{
  const bool stereo = outR != outL;
  const bool room = slot.HasRoom();
  mSenderLinked.store(linkID != 0 && room, std::memory_order_relaxed);

  double linkGain = 1.0, d1 = 1.0, d2 = 1.0;
  const bool exchange = linkID > 0;
  if (exchange && room)
  {
    linkGain = slot.DriveGain();
    d1 = UsableDivisor(slot.PreGain());
    d2 = UsableDivisor(slot.PreDivisor2());
    if (!std::isfinite(linkGain))
      linkGain = 1.0;
  }
  mLinkGain.store(linkGain, std::memory_order_relaxed);
  const int state = slot.SenderState();

  // What enters the chain and the link: in state 0 the input divided by the pre gains, computed into the outputs
  // (the host's input buffers are left as they came).
  const sample* linkL = inL;
  const sample* linkR = inR;
  if (state == kSenderNormal)
  {
    for (int i = 0; i < nFrames; ++i)
      outL[i] = inL[i] / d1 / d2;
    if (stereo)
      for (int i = 0; i < nFrames; ++i)
        outR[i] = inR[i] / d1 / d2;
    linkL = outL;
    linkR = stereo ? outR : outL;
  }

  if (exchange)
  {
    // A block longer than a link buffer goes over in two pieces (the queue holds two); beyond that the Receiver
    // treats the rest as silence.
    int offset = 0;
    for (int piece = 0; piece < kLinkQueueCapacity && offset < nFrames; ++piece)
    {
      const int n = std::min(nFrames - offset, kLinkBufferFrames);
      (void)slot.SenderWrite(linkL + offset, linkR + offset, n);
      offset += n;
    }
  }

  switch (state)
  {
    case kSenderNormal:
      for (int i = 0; i < nFrames; ++i)
        outL[i] *= linkGain;
      if (stereo)
        for (int i = 0; i < nFrames; ++i)
          outR[i] *= linkGain;
      break;
    case kSenderSilence:
      std::fill_n(outL, nFrames, 0.0);
      if (stereo)
        std::fill_n(outR, nFrames, 0.0);
      break;
    case kSenderImpulse:
      std::fill_n(outL, nFrames, 0.0);
      outL[0] = 1.0;
      if (stereo)
      {
        std::fill_n(outR, nFrames, 0.0);
        outR[0] = 1.0;
      }
      break;
    case kSenderBypass:
    default:
      CopyIfApart(inL, outL, nFrames);
      if (stereo)
        CopyIfApart(inR, outR, nFrames);
      break;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Receiver — block set-up and pieces
// ---------------------------------------------------------------------------------------------------------------

// Everything the per-sample chain reads or carries within one block, loaded once from the mirrors and gains.
struct ZANIQ::ReceiverBlock
{
  const sample* inL;
  const sample* inR;
  sample* outL;
  sample* outR;

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

void ZANIQ::ProcessReceiver(LinkSlot& slot, int linkID, sample* inL, sample* inR, sample* outL, sample* outR,
                            int nFrames)
{
  const bool stereo = outR != outL;
  const LinkBuffer* buffer = slot.ReceiverAcquire();
  mReceiving.store(buffer != nullptr, std::memory_order_relaxed);
  mPreFXLevel.store(0.0, std::memory_order_relaxed);
  mPostFXLevel.store(0.0, std::memory_order_relaxed);

  if (!buffer)
  {
    CopyIfApart(inL, outL, nFrames);
    if (stereo)
      CopyIfApart(inR, outR, nFrames);
    // Without a Sender the impulse can never come back: give up after one detection window rather than leave
    // the measurement (and the disabled controls) running for ever.
    if (mDetector.active && GetMirrorInt(kActive) != 0)
    {
      mNoSenderSamples += nFrames;
      if (mNoSenderSamples >= mDetector.windowLength)
        StopLatencyMeasurement();
    }
    else
    {
      mNoSenderSamples = 0;
    }
    return;
  }
  mNoSenderSamples = 0;

  const int active = GetMirrorInt(kActive);
  const double preGain = GetPreGain();
  double linkGain = 1.0;
  if (linkID > 0)
  {
    linkGain = DBToAmp(GetMirror(kDriveFX));
    slot.SetDriveGain(linkGain);
    slot.SetPreGain(preGain);
    slot.SetPreDivisor2(1.0);
    slot.SetSenderState(active == 0 ? kSenderBypass : mDetector.HandOver());
  }
  mLinkGain.store(linkGain, std::memory_order_relaxed);

  if (slot.SenderState() == kSenderBypass)
  {
    // Active off: the chain is bypassed sample by sample; the Sender passes its input from its next block on.
    CopyIfApart(inL, outL, nFrames);
    if (stereo)
      CopyIfApart(inR, outR, nFrames);
    slot.ReceiverRelease(buffer);
    return;
  }

  ReceiverBlock b{};
  b.inL = inL;
  b.inR = inR;
  b.outL = outL;
  b.outR = outR;
  b.matchMode = GetMirrorInt(kMatchMode);
  b.monitorPost = GetMirrorInt(kPrePostFX) != 0;
  b.inverse = GetMirrorInt(kInverseMatch) != 0;
  b.delta = GetMirrorInt(kDeltaMonitor) != 0;
  b.overProtect = GetMirrorInt(kEnableOverProtection) != 0;
  b.compensate = GetMirrorInt(kLatencyCompensation) != 0;
  b.linkGain = linkGain;
  b.preGain = preGain;
  b.minAuto = GetMirror(kMinAutoGain);
  b.maxAuto = GetMirror(kMaxAutoGain);
  b.tolerance = GetMirror(kAutoGainTolerance);
  b.tolGain = b.tolerance > 0.0 ? std::exp(kNeperPerDB * b.tolerance) : 1.0;
  b.tolGainInv = 1.0 / b.tolGain;
  b.autoLow = std::exp(-kNeperPerDB * b.maxAuto);
  b.autoHigh = std::exp(-kNeperPerDB * b.minAuto);
  b.zeroAtFloor = b.maxAuto >= 144.0;
  b.matchGain = GetMatchGain();
  b.autoGain = GetAutoGain();
  const double startMatch = b.matchGain;
  const double startAuto = b.autoGain;
  b.preMax = GetPreFXMax();

  // The Sender's block, then further blocks when this one is longer than what the Sender delivered in one piece.
  int done = 0;
  while (done < nFrames)
  {
    const int frames = buffer ? std::min(buffer->frames, nFrames - done) : 0;
    if (frames <= 0)
    {
      // Nothing (more) from the Sender for these frames: the pre-FX side is silence.
      ReceiverSamples(b, done, nFrames - done, nullptr, nullptr);
      break;
    }
    ReceiverSamples(b, done, frames, buffer->channels[0], buffer->channels[1]);
    done += frames;
    slot.ReceiverRelease(buffer);
    buffer = done < nFrames ? slot.ReceiverAcquire() : nullptr;
  }
  if (buffer)
    slot.ReceiverRelease(buffer);

  // --- block end: what the editor and the match commands read ---
  if (b.ran)
  {
    const double ref = GetMirror(kReferenceLevel) +
                       ((mPreFXMeter.Mode() == kMeterEBUML || mPreFXMeter.Mode() == kMeterEBUSL) ? kEBUReferenceOffsetDB
                                                                                                 : 0.0);
    mPreRatio.store(DBToAmp(AmpToDB(b.preLevel) - ref), std::memory_order_relaxed);
    mPreMaxRatio.store(DBToAmp(AmpToDB(b.preMax) - ref), std::memory_order_relaxed);

    const double D = AmpToDB(b.postLevel) - AmpToDB(b.preLevel);
    double gainToMatch = 1.0;
    switch (b.matchMode)
    {
      case kMatchManual:
        gainToMatch = DBToAmp(D - AmpToDB(b.matchGain));
        break;
      case kMatchGainStage:
        gainToMatch = DBToAmp(D);
        break;
      case kMatchAuto:
      default:
        if (mPostFXMeter.WindowFull() && !(b.inverse && !b.monitorPost))
        {
          // The last sample's gain, from the decibel formulas themselves.
          const double t = b.tolerance;
          double x = D;
          if (t > 0.0)
            x = std::fabs(D) < t ? 0.0 : (D >= t ? D - t : D + t);
          const double g = std::min(b.maxAuto, std::max(b.minAuto, -x));
          b.matchGain = b.autoGain = g < 144.0 ? std::exp(-kNeperPerDB * g) : 0.0;
          gainToMatch = DBToAmp(D + g);
        }
        break;
    }
    mGainToMatch.store(gainToMatch, std::memory_order_relaxed);

    // Write back only what processing changed, and not over a change the main thread made meanwhile.
    double expected = startMatch;
    if (b.matchGain != startMatch)
      (void)mMatchGain.compare_exchange_strong(expected, b.matchGain, std::memory_order_relaxed);
    expected = startAuto;
    if (b.autoGain != startAuto)
      (void)mAutoGain.compare_exchange_strong(expected, b.autoGain, std::memory_order_relaxed);

    mPreFXMax.store(b.preMax, std::memory_order_relaxed);
    mPreFXLevel.store(b.measuringAtEnd ? 0.0 : b.preLevel, std::memory_order_relaxed);
    mPostFXLevel.store(b.measuringAtEnd ? 0.0 : b.postLevel, std::memory_order_relaxed);
  }
  mGainReductionShown.store(mGainReduction.value, std::memory_order_relaxed);
  mGainReductionInvert.store(mGainReduction.invert, std::memory_order_relaxed);
}

// ---------------------------------------------------------------------------------------------------------------
// Receiver — per-sample chain
// ---------------------------------------------------------------------------------------------------------------

namespace
{

// The Auto match gain for one sample. With q = post / pre on the floored meter values, D = dB(q); the tolerance
// rules and the clamp of g to [Min, Max Auto Gain] then turn exp(-k g) into q, q / gain(t), q * gain(t) or 1,
// clamped to [exp(-k Max), exp(-k Min)], and 0 where g would reach 144 dB. No logarithm or exponential per sample.
inline double AutoMatchGain(double postLevel, double preLevel, double tolerance, double tolGain, double tolGainInv,
                            double low, double high, bool zeroAtFloor)
{
  const double q = Effective(postLevel) / Effective(preLevel);
  double m;
  if (tolerance <= 0.0)
    m = q;
  else if (q >= tolGain)
    m = q * tolGainInv;
  else if (q <= tolGainInv)
    m = q * tolGain;
  else
    m = 1.0;
  m = m < low ? low : (m > high ? high : m);
  if (zeroAtFloor && m <= kFloorGain)
    m = 0.0;
  return m;
}

} // namespace

void ZANIQ::ReceiverSamples(ReceiverBlock& b, int start, int count, const double* preIn0, const double* preIn1)
{
  const int end = start + count;
  // The Sender's buffer starts with this piece.
  const double* pre0 = preIn0 ? preIn0 - start : nullptr;
  const double* pre1 = preIn1 ? preIn1 - start : nullptr;

  for (int i = start; i < end; ++i)
  {
    // Non-finite samples count as silence: they would otherwise ride the delay line and the gains.
    double postL = Finite(b.inL[i]);
    double postR = Finite(b.inR[i]);
    double preL = pre0 ? Finite(pre0[i]) : 0.0;
    double preR = pre1 ? Finite(pre1[i]) : 0.0;

    // Latency detector, its finish, the fade.
    if (mDetector.active)
      (void)mDetector.Process(postL, postR);
    if (mDetector.finished)
      FinishLatencyMeasurement(b);
    const double fade = NextFadeFactor(mFadeCounter, mFadeLength);

    if (b.compensate)
    {
      preL = mDelayL.Process(preL);
      preR = mDelayR.Process(preR);
    }
    const bool measuring = mDetector.active != 0;
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
  if (count > 0)
    b.ran = true;
}

// ---------------------------------------------------------------------------------------------------------------
// Latency measurement
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::ToggleLatencyMeasurement()
{
  if (!IsMeasurementRunning())
  {
    mMeasurementRunning.store(true);
    EnableModeControls(true);
    PostDetectorRequest(kDetectorStart);
  }
  else
  {
    mMeasurementRunning.store(false);
    EnableModeControls(false);
    PostDetectorRequest(kDetectorCancel);
  }
}

void ZANIQ::ClearMetersNow()
{
  mPreFXMeter.Clear();
  mPostFXMeter.Clear();
  mPreFXMax.store(0.0, std::memory_order_relaxed);
}

void ZANIQ::StopLatencyMeasurement()
{
  mDetector.Cancel();
  mNoSenderSamples = 0;
  mMeasurementRunning.store(false);
  ClearMetersNow();
  RequestEditorWork(kEditorEnableModeControls);
}

void ZANIQ::FinishLatencyMeasurement(ReceiverBlock& b)
{
  mDetector.state = LatencyDetector::kIdle;
  mDetector.active = 0;
  mDetector.finished = 0;

  const int measured = mDetector.measured;
  SetMirror(kLatencyCompensation, measured);
  for (DelayLine* line : {&mDelayL, &mDelayR})
    if (line->length != measured)
      line->SetLength(measured);
  b.compensate = measured != 0;

  const IParam* param = GetParam(kLatencyCompensation);
  if (param && measured != static_cast<int>(param->Value()))
    SetLatencyParam(measured);

  mMeasurementRunning.store(false);
  ClearMetersNow();
  b.preMax = 0.0;
  mFadeCounter = mFadeLength;
  RequestEditorWork(kEditorEnableModeControls);
}

void ZANIQ::SetLatencyParam(int samples)
{
  IParam* param = GetParam(kLatencyCompensation);
  if (!param)
    return;
  SetParameterValue(kLatencyCompensation, param->ToNormalized(param->Constrain(samples)), true);
  if (OnMainThread())
    SendParameterValueFromDelegate(kLatencyCompensation, samples, false);
  else
    SendParameterValueFromAPI(kLatencyCompensation, samples, false);
}

// ---------------------------------------------------------------------------------------------------------------
// Peer commands
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::SetParamAsEditorChange(int paramIdx, double value)
{
  const IParam* param = GetParam(paramIdx);
  if (!param)
    return;
  const bool gestures = HostWantsGestures(GetHost());
  if (gestures)
    BeginInformHostOfParamChange(paramIdx);
  SendParameterValueFromUI(paramIdx, param->ToNormalized(param->Constrain(value)), false);
  if (gestures)
    EndInformHostOfParamChange(paramIdx);
}

void ZANIQ::RunPeerCommand(LinkSlot& slot)
{
  int code = kNoLinkCommand;
  double value = 0.0;
  if (slot.TakeCommand(code, value))
  {
    const bool manual = GetMirrorInt(kMatchMode) == kMatchManual;
    auto resetGainDiff = [&] {
      if (!manual)
        return;
      mAutoGain.store(1.0, std::memory_order_relaxed);
      mMatchGain.store(1.0, std::memory_order_relaxed);
      if (GetMirror(kGainDiffStore) != 0.0)
      {
        SetMirror(kGainDiffStore, 0.0);
        SetParamAsEditorChange(kGainDiffStore, 0.0);
      }
    };

    switch (code)
    {
      case kActive:
      case kDriveFX:
      case kPrePostFX:
      case kMatchMode:
      case kDeltaMonitor:
      case kDisableStorageGainDiff:
        // A value from another instance: a non-finite one changes nothing.
        if (!std::isfinite(value))
          break;
        SetParamFromProcessor(code, value, false);
        if (const IParam* param = GetParam(code))
          SetMirror(code, code == kDriveFX ? param->Value() : static_cast<double>(static_cast<int>(param->Value())));
        break;

      case kResetPreGainDiff:
        mPreGain.store(1.0, std::memory_order_relaxed);
        if (GetMirror(kPreGainDiffStore) != 0.0)
        {
          SetMirror(kPreGainDiffStore, 0.0);
          SetParamFromProcessor(kPreGainDiffStore, 0.0, false);
        }
        ClearMetersNow();
        break;

      case kResetSenderRMS:
        ClearMetersNow();
        break;

      case kResetGainDiff:
        resetGainDiff();
        break;

      case kReset2:
        ClearMetersNow();
        mPreGain.store(1.0, std::memory_order_relaxed);
        if (GetMirror(kPreGainDiffStore) != 0.0)
        {
          SetMirror(kPreGainDiffStore, 0.0);
          PublishParamFromProcessor(kPreGainDiffStore, 0.0, false);
        }
        resetGainDiff();
        break;

      case kMatchPreFXDiffGain:
      {
        const double preGain = GetPreGain() * GetPreMaxRatio();
        mPreGain.store(preGain, std::memory_order_relaxed);
        const double d = AmpToDB(preGain);
        if (d != GetMirror(kPreGainDiffStore))
        {
          SetMirror(kPreGainDiffStore, d);
          SetParamAsEditorChange(kPreGainDiffStore, d);
        }
        ClearMetersNow();
        break;
      }

      case kMatchPostFXDiffGain:
      case kMatchLoudness:
        if (manual)
        {
          const double matchGain = GetMatchGain() * GetGainToMatch();
          mMatchGain.store(matchGain, std::memory_order_relaxed);
          const double d = AmpToDB(matchGain);
          if (d != GetMirror(kGainDiffStore))
          {
            SetMirror(kGainDiffStore, d);
            SetParamAsEditorChange(kGainDiffStore, d);
          }
        }
        break;

      default:
        break;
    }
  }

  // Automatic storage: in Auto match mode the current match gain goes into "GainDiff Store".
  if (GetMirrorInt(kDisableStorageGainDiff) == 0 && GetMirrorInt(kMatchMode) == kMatchAuto)
  {
    const double d = AmpToDB(GetMatchGain());
    if (d != GetMirror(kGainDiffStore))
    {
      SetMirror(kGainDiffStore, d);
      SetParamAsEditorChange(kGainDiffStore, d);
    }
  }
}
