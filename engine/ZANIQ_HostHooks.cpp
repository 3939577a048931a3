// ZANIQ — what hosts reach through the adapter's private properties: the read-out values and editor commands.

#include "engine/ZANIQ.h"

#include "engine/ZaniqPrivateProperties.h"
#include "engine/LoudnessMeter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

static_assert(ZANIQ::kFirstCommand == kZaniqFirstCommand && ZANIQ::kLastCommand == kZaniqLastCommand);

namespace
{

// Gains and differences: dB clamped to +-144.
double GainDB(double x)
{
  return std::clamp(AmpToDB(x), kMinDB, -kMinDB);
}

} // namespace

bool ZANIQ::GetReadouts(double out[kZaniqNumReadouts]) const
{
  const double levelScale = GetLinkGain();
  const double preGain = GetPreGain();
  const int meterMode = GetMirrorInt(kMeterMode);
  const double levelOffset = meterMode == kMeterEBUML || meterMode == kMeterEBUSL ? -0.7 : 0.0;

  out[kZaniqReadoutPreFxDiff] = GainDB(GetPreRatio());
  out[kZaniqReadoutPreFxGain] = -GainDB(preGain);
  out[kZaniqReadoutPreFxCurrent] = AmpToDB(GetPreFXLevel() * levelScale) + levelOffset;
  out[kZaniqReadoutPreFxMax] = AmpToDB(levelScale * GetPreFXMax()) + levelOffset;
  if (GetMirrorInt(kMatchMode) == kMatchGainStage)
  {
    out[kZaniqReadoutPostFxDiff] = 0.0;
    // A pre gain of 0 (stored at -144 dB or below) would divide by zero: the gain then reads the clamp.
    const double ratioDB = preGain != 0.0 ? AmpToDB(levelScale / preGain) : -kMinDB;
    out[kZaniqReadoutPostFxGain] = -(std::isfinite(ratioDB) ? ratioDB : -kMinDB);
  }
  else
  {
    out[kZaniqReadoutPostFxDiff] = GainDB(GetGainToMatch());
    out[kZaniqReadoutPostFxGain] = -GainDB(GetMatchGain());
  }
  for (int i = 0; i < kZaniqNumReadouts; ++i) out[i] += 0.0; // no -0
  return true;
}

bool ZANIQ::DoCommand(int code, double value)
{
  (void)value; // every editor command acts on its code alone
  if (code < kFirstCommand || code > kLastCommand) return false;
  OnParamChange(code, plugin::kUI, -1);
  return true;
}

OSStatus ZANIQ::GetPrivateProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement,
                                   UInt32* dataSize, Boolean* writable, void* data)
{
  if (propID != kZaniqProperty_Readouts || scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidProperty;
  ZaniqReadouts readouts = {};
  if (!GetReadouts(readouts.values)) return kAudioUnitErr_InvalidProperty;
  if (!data)
  {
    *writable = false;
    *dataSize = sizeof(readouts);
    return noErr;
  }
  if (*dataSize < sizeof(readouts)) return kAudioUnitErr_InvalidPropertyValue;
  std::memcpy(data, &readouts, sizeof(readouts));
  *dataSize = sizeof(readouts);
  return noErr;
}

OSStatus ZANIQ::SetPrivateProperty(AudioUnitPropertyID propID, AudioUnitScope scope, AudioUnitElement,
                                   const void* data, UInt32 dataSize)
{
  if (propID != kZaniqProperty_Command || scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidProperty;
  ZaniqCommand command;
  if (dataSize < sizeof(command)) return kAudioUnitErr_InvalidPropertyValue;
  std::memcpy(&command, data, sizeof(command));
  if (!std::isfinite(command.value)) return kAudioUnitErr_InvalidPropertyValue;
  return DoCommand(command.code, command.value) ? OSStatus{noErr} : OSStatus{kAudioUnitErr_InvalidProperty};
}
