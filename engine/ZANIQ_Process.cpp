// ZANIQ — block processing: the Sender's hand-off into its link slot, the Receiver's block set-up and block end
// (the chain itself is in ZANIQ_ProcessChain.cpp), the half-second tick with its peer command, the reset, and the
// start and end of a latency measurement.

#include "engine/ZANIQ_Process_p.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace plugin;

namespace
{

constexpr double kEBUReferenceOffsetDB = 0.7; // the meter omits BS.1770's -0.691 dB; the reference takes it

// A gain the Sender divides by: one that is not a usable positive gain divides by 1.0.
inline double UsableDivisor(double gain)
{
  return (std::isfinite(gain) && gain > kMinGain) ? gain : 1.0;
}

// Anything but silence in the first n samples of a channel (non-finite samples count as something).
bool Sounding(const double* x, int n)
{
  for (int i = 0; i < n; ++i)
    if (x[i] != 0.0)
      return true;
  return false;
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
  return host == kHostCakewalk || host == kHostLogic || host == kHostGarageBand || host == kHostBitwig;
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
    const bool measuring = mDetector.Active();
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

  // Link gain and Sender link flag start each block at 1.0 and false; each mode publishes its final values once,
  // so the editor never reads the reset values in between.
  // Mode and Link ID from one read: a move made meanwhile on another thread shows whole or not at all.
  const LinkPairing link = GetLinkPairing();
  const int linkID = link.linkID;
  LinkSlot& slot = LinkRegistry::Instance().Slot(linkID);
  const int mode = link.mode;

  if (mode == kLinkReceiver)
  {
    mSenderLinked.store(false, std::memory_order_relaxed);
    ProcessReceiver(slot, linkID, inL, inR, outL, outR, nFrames);
  }
  else
  {
    // Only a Receiver can measure: a measurement started in another mode ends here instead of running for ever.
    if (mDetector.Active())
      StopLatencyMeasurement();
    if (mode == kLinkSender)
      ProcessSender(slot, linkID, inL, inR, outL, outR, nFrames);
    else
    {
      mLinkGain.store(1.0, std::memory_order_relaxed);
      mSenderLinked.store(false, std::memory_order_relaxed);
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

void ZANIQ::ProcessReceiver(LinkSlot& slot, int linkID, sample* inL, sample* inR, sample* outL, sample* outR,
                            int nFrames)
{
  const bool stereo = outR != outL;
  const LinkBuffer* buffer = slot.ReceiverAcquire();
  mReceiving.store(buffer != nullptr, std::memory_order_relaxed);
  // Levels read 0 in a block that meters nothing. (Blocks that meter publish theirs at the end only, so the editor
  // never sees a 0 in between.)
  auto showNoLevels = [this] {
    mPreFXLevel.store(0.0, std::memory_order_relaxed);
    mPostFXLevel.store(0.0, std::memory_order_relaxed);
  };

  if (!buffer)
  {
    showNoLevels();
    mLinkGain.store(1.0, std::memory_order_relaxed);
    CopyIfApart(inL, outL, nFrames);
    if (stereo)
      CopyIfApart(inR, outR, nFrames);
    mDetector.NoteBlock(LatencyDetector::EFed::kUnknown, false, nFrames);
    // Without a Sender the impulse can never come back: give up after one detection window rather than leave
    // the measurement (and the disabled controls) running for ever.
    if (mDetector.Active() && GetMirrorInt(kActive) != 0)
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
    // What the Sender's block of this cycle put into the chain (it played by the state handed over last block).
    // With Active off the detector does not see this block.
    using EFed = LatencyDetector::EFed;
    const int played = slot.SenderState();
    const int sent = std::min(buffer->frames, nFrames);
    const EFed fed = played == kSenderImpulse ? EFed::kImpulse
                     : (played == kSenderNormal || played == kSenderBypass) &&
                             (Sounding(buffer->channels[0], sent) || Sounding(buffer->channels[1], sent))
                         ? EFed::kProgramme
                         : EFed::kNothing;
    mDetector.NoteBlock(fed, active != 0, nFrames);
    slot.SetSenderState(active == 0 ? kSenderBypass : mDetector.HandOver(nFrames));
  }
  mLinkGain.store(linkGain, std::memory_order_relaxed);

  if (slot.SenderState() == kSenderBypass)
  {
    // Active off: the chain is bypassed sample by sample; the Sender passes its input from its next block on.
    showNoLevels();
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
  mDetector.Cancel();

  // A measurement that could not be made keeps the compensation it found.
  if (mDetector.valid)
  {
    // A chain slower than the lines can hold is compensated as far as they reach; the mirror, the lines and the
    // parameter all keep that same value.
    const int measured = std::clamp(mDetector.measured, 0, DelayLine::kCapacity);
    SetMirror(kLatencyCompensation, measured);
    for (DelayLine* line : {&mDelayL, &mDelayR})
      if (line->length != measured)
        line->SetLength(measured);
    b.compensate = measured != 0;

    const IParam* param = GetParam(kLatencyCompensation);
    if (param && measured != static_cast<int>(param->Value()))
      SetLatencyParam(measured);
  }

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
        if (AboveFloor(GetPreFXMax()))
        {
          const double preGain = GetPreGain() * GetPreMaxRatio();
          mPreGain.store(preGain, std::memory_order_relaxed);
          const double d = AmpToDB(preGain);
          if (d != GetMirror(kPreGainDiffStore))
          {
            SetMirror(kPreGainDiffStore, d);
            SetParamAsEditorChange(kPreGainDiffStore, d);
          }
        }
        ClearMetersNow();
        break;
      }

      case kMatchPostFXDiffGain:
      case kMatchLoudness:
        if (manual && AboveFloor(GetPreFXLevel()) && AboveFloor(GetPostFXLevel()))
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
