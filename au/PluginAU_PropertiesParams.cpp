// PluginAU — the parameter-description properties (ParameterInfo, ParameterValueStrings, value/name/string
// conversions) and the channel layout tags.

#include "au/PluginAU.h"
#include "au/PluginAU_p.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace plugin
{

using au_detail::MakeCFString;

namespace
{

// The host unit of the same meaning as a parameter's unit code (custom and unknown codes are handled by the
// caller).
AudioUnitParameterUnit HostUnitForParamUnit(int unit)
{
  static constexpr AudioUnitParameterUnit kUnits[] = {
    kAudioUnitParameterUnit_Percent,           kAudioUnitParameterUnit_Seconds,
    kAudioUnitParameterUnit_Milliseconds,      kAudioUnitParameterUnit_SampleFrames,
    kAudioUnitParameterUnit_Decibels,          kAudioUnitParameterUnit_LinearGain,
    kAudioUnitParameterUnit_Pan,               kAudioUnitParameterUnit_Phase,
    kAudioUnitParameterUnit_Degrees,           kAudioUnitParameterUnit_Meters,
    kAudioUnitParameterUnit_Rate,              kAudioUnitParameterUnit_Ratio,
    kAudioUnitParameterUnit_Hertz,             kAudioUnitParameterUnit_Octaves,
    kAudioUnitParameterUnit_Cents,             kAudioUnitParameterUnit_AbsoluteCents,
    kAudioUnitParameterUnit_RelativeSemiTones, kAudioUnitParameterUnit_MIDINoteNumber,
    kAudioUnitParameterUnit_MIDIController,    kAudioUnitParameterUnit_BPM,
    kAudioUnitParameterUnit_Beats,
  };
  if (unit < 0 || unit >= static_cast<int>(std::size(kUnits))) return kAudioUnitParameterUnit_Generic;
  return kUnits[unit];
}

AudioUnitParameterOptions DisplayFlags(IParam::EDisplayType type)
{
  switch (type)
  {
    case IParam::kDisplayLog: return kAudioUnitParameterFlag_DisplayLogarithmic;
    case IParam::kDisplayExp: return kAudioUnitParameterFlag_DisplayExponential;
    case IParam::kDisplaySquared: return kAudioUnitParameterFlag_DisplaySquared;
    case IParam::kDisplaySquareRoot: return kAudioUnitParameterFlag_DisplaySquareRoot;
    case IParam::kDisplayCubed: return kAudioUnitParameterFlag_DisplayCubed;
    case IParam::kDisplayCubeRoot: return kAudioUnitParameterFlag_DisplayCubeRoot;
    default: return 0;
  }
}

// Parameters whose values are the whole numbers 0, 1, 2, ...: value i names the i-th entry of a value-strings
// list. A bool counts (0 and 1), so its ValuesHaveStrings flag is backed by a list; a continuous parameter's
// texts are reached through ParameterStringFromValue only.
bool IsIndexed(const IParam& param)
{
  return param.Type() == IParam::kTypeInt || param.Type() == IParam::kTypeEnum || param.Type() == IParam::kTypeBool;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// ParameterInfo
// ---------------------------------------------------------------------------------------------------------------

OSStatus PluginAU::GetParameterInfoProperty(AudioUnitElement element, AudioUnitParameterInfo& info)
{
  const IParam* param = GetParam(static_cast<int>(element));
  if (!param) return kAudioUnitErr_InvalidElement;

  std::memset(&info, 0, sizeof(info));
  info.flags = kAudioUnitParameterFlag_IsWritable | kAudioUnitParameterFlag_IsReadable |
               kAudioUnitParameterFlag_HasCFNameString | kAudioUnitParameterFlag_IsHighResolution |
               kAudioUnitParameterFlag_CFNameRelease;
  if (param->GetMeta()) info.flags |= kAudioUnitParameterFlag_IsElementMeta;
  if (!param->GetCanAutomate()) info.flags |= kAudioUnitParameterFlag_NonRealTime;
  if (param->NDisplayTexts() > 0) info.flags |= kAudioUnitParameterFlag_ValuesHaveStrings;

  const char* name = param->GetName();
  std::strncpy(info.name, name, sizeof(info.name) - 1);
  info.cfNameString = MakeCFString(name);
  if (!info.cfNameString) info.flags &= ~(kAudioUnitParameterFlag_HasCFNameString | kAudioUnitParameterFlag_CFNameRelease);

  switch (param->Type())
  {
    case IParam::kTypeInt:
    case IParam::kTypeEnum: info.unit = kAudioUnitParameterUnit_Indexed; break;
    case IParam::kTypeBool: info.unit = kAudioUnitParameterUnit_Boolean; break;
    default:
      if (param->GetUnit() == kUnitCustom)
      {
        const char* label = param->GetLabel();
        if (label && *label) info.unitName = MakeCFString(label);
        info.unit = info.unitName ? kAudioUnitParameterUnit_CustomUnit : kAudioUnitParameterUnit_Generic;
      }
      else
        info.unit = HostUnitForParamUnit(param->GetUnit());
      break;
  }

  info.flags |= DisplayFlags(param->GetShape().GetDisplayType());
  info.minValue = static_cast<AudioUnitParameterValue>(param->GetMin());
  info.maxValue = static_cast<AudioUnitParameterValue>(param->GetMax());
  info.defaultValue = static_cast<AudioUnitParameterValue>(param->GetDefault());

  const char* group = param->GetGroup();
  if (group && *group)
  {
    // Clump IDs are 1-based positions in the group list, which grows in the order hosts ask.
    int idx = -1;
    for (int i = 0; i < NParamGroups() && idx < 0; ++i)
      if (std::strcmp(GetParamGroupName(i), group) == 0) idx = i;
    if (idx < 0)
    {
      const int before = NParamGroups();
      if (AddParamGroup(group) > before) idx = before;
    }
    if (idx >= 0)
    {
      info.clumpID = static_cast<UInt32>(idx + 1);
      info.flags |= kAudioUnitParameterFlag_HasClump;
    }
  }
  return noErr;
}

// ---------------------------------------------------------------------------------------------------------------
// ParameterValueStrings — only for indexed parameters (int, enum, bool) that have display texts
// ---------------------------------------------------------------------------------------------------------------

OSStatus PluginAU::GetParameterValueStrings(AudioUnitElement element, UInt32* dataSize, void* data)
{
  const UInt32 room = *dataSize;
  const IParam* param = GetParam(static_cast<int>(element));
  const int n = param ? param->NDisplayTexts() : 0;
  if (!param || n <= 0 || !IsIndexed(*param))
  {
    *dataSize = 0;
    return kAudioUnitErr_InvalidProperty;
  }
  *dataSize = sizeof(CFArrayRef);
  if (!data) return noErr;
  if (room < sizeof(CFArrayRef)) return kAudioUnitErr_InvalidPropertyValue;

  CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, n, &kCFTypeArrayCallBacks);
  if (!array) return coreFoundationUnknownErr;
  Util_String text;
  for (int i = 0; i < n; ++i)
  {
    // The display text of value i, or its number when no text is defined for it: never a missing text.
    param->GetDisplay(static_cast<double>(i), false, text, true);
    CFStringRef str = MakeCFString(text.Get());
    if (!str)
    {
      CFRelease(array);
      return coreFoundationUnknownErr;
    }
    CFArrayAppendValue(array, str);
    CFRelease(str);
  }
  CFArrayRef result = array;
  std::memcpy(data, &result, sizeof(result));
  return noErr;
}

// ---------------------------------------------------------------------------------------------------------------
// ParameterStringFromValue, ParameterValueFromString, ParameterIDName, ParameterClumpName
// (data holds the whole in/out record; the caller checked its size)
// ---------------------------------------------------------------------------------------------------------------

OSStatus PluginAU::GetParameterNameProperty(AudioUnitPropertyID propID, void* data)
{
  auto paramFor = [this](UInt32 id) -> const IParam* {
    return id < static_cast<UInt32>(NParams()) ? GetParam(static_cast<int>(id)) : nullptr;
  };

  switch (propID)
  {
    case kAudioUnitProperty_ParameterStringFromValue:
    {
      AudioUnitParameterStringFromValue rec;
      std::memcpy(&rec, data, sizeof(rec));
      const IParam* param = paramFor(rec.inParamID);
      if (!param) return kAudioUnitErr_InvalidParameter;
      // No value given: the current one, as hosts expect.
      const double value = rec.inValue ? static_cast<double>(*rec.inValue) : param->Value();
      if (!std::isfinite(value)) return kAudioUnitErr_InvalidPropertyValue;
      Util_String& text = GetParamDisplayStr();
      param->GetDisplay(value, false, text, true);
      rec.outString = MakeCFString(text.Get());
      std::memcpy(data, &rec, sizeof(rec));
      return noErr;
    }
    case kAudioUnitProperty_ParameterValueFromString:
    {
      AudioUnitParameterValueFromString rec;
      std::memcpy(&rec, data, sizeof(rec));
      const IParam* param = paramFor(rec.inParamID);
      if (!param) return kAudioUnitErr_InvalidParameter;
      Util_String text;
      if (!rec.inString || !au_detail::CopyUTF8(rec.inString, text)) return kAudioUnitErr_InvalidPropertyValue;
      rec.outValue = static_cast<AudioUnitParameterValue>(param->StringToValue(text.Get()));
      std::memcpy(data, &rec, sizeof(rec));
      return noErr;
    }
    case kAudioUnitProperty_ParameterIDName:
    {
      AudioUnitParameterNameInfo rec;
      std::memcpy(&rec, data, sizeof(rec));
      const IParam* param = paramFor(rec.inID);
      if (!param) return kAudioUnitErr_InvalidParameter;
      Util_String name(param->GetName());
      if (rec.inDesiredLength >= 0)
      {
        const int maxLen = std::min<SInt32>(rec.inDesiredLength, IParam::kTextLen - 1);
        name.SetLen(au_detail::Utf8PrefixLength(name.Get(), maxLen));
      }
      rec.outName = MakeCFString(name.Get());
      std::memcpy(data, &rec, sizeof(rec));
      return noErr;
    }
    case kAudioUnitProperty_ParameterClumpName:
    {
      AudioUnitParameterNameInfo rec;
      std::memcpy(&rec, data, sizeof(rec));
      // Clump IDs count from 1; 0 is the system clump and IDs past the list name no group of ours.
      if (rec.inID == 0 || rec.inID > static_cast<UInt32>(NParamGroups())) return kAudioUnitErr_PropertyNotInUse;
      rec.outName = MakeCFString(GetParamGroupName(static_cast<int>(rec.inID) - 1));
      std::memcpy(data, &rec, sizeof(rec));
      return noErr;
    }
    default:
      return kAudioUnitErr_InvalidProperty;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// SupportedChannelLayoutTags
// ---------------------------------------------------------------------------------------------------------------

int PluginAU::GetChannelLayoutTags(AudioUnitScope scope, AudioUnitElement element, AudioChannelLayoutTag* tags,
                                    int capacity) const
{
  const ERoute dir = scope == kAudioUnitScope_Input ? kInput : kOutput;
  if (element > 0x7fffffffu) return 0;
  std::vector<AudioChannelLayoutTag> found;
  auto add = [&found](AudioChannelLayoutTag tag) {
    if (std::find(found.begin(), found.end(), tag) == found.end()) found.push_back(tag);
  };
  for (int i = 0; i < NIOConfigs(); ++i)
  {
    const IBusInfo* bus = GetIOConfig(i)->GetBusInfo(dir, static_cast<int>(element));
    if (!bus) continue;
    const int n = bus->NChans();
    // A wildcard bus names no particular layout.
    if (n < 0) continue;
    switch (n)
    {
      case 0: add(0); break;
      case 1: add(kAudioChannelLayoutTag_Mono); break;
      case 2: add(kAudioChannelLayoutTag_Stereo); break;
      case 3: add(kAudioChannelLayoutTag_MPEG_3_0_A); break;
      case 4:
        add(kAudioChannelLayoutTag_Quadraphonic);
        add(kAudioChannelLayoutTag_Ambisonic_B_Format);
        add(kAudioChannelLayoutTag_HOA_ACN_SN3D | 4);
        break;
      case 5: add(kAudioChannelLayoutTag_MPEG_5_0_B); break;
      case 6:
        add(kAudioChannelLayoutTag_MPEG_5_1_A);
        add(kAudioChannelLayoutTag_AudioUnit_6_0);
        break;
      case 7:
        add(kAudioChannelLayoutTag_MPEG_6_1_A);
        add(kAudioChannelLayoutTag_AudioUnit_7_0);
        break;
      case 8:
        add(kAudioChannelLayoutTag_MPEG_7_1_C);
        add(kAudioChannelLayoutTag_MPEG_7_1_A);
        break;
      case 9:
      case 16: add(kAudioChannelLayoutTag_HOA_ACN_SN3D | static_cast<UInt32>(n)); break;
      default: add(kAudioChannelLayoutTag_DiscreteInOrder | static_cast<UInt32>(n)); break;
    }
  }
  const int count = static_cast<int>(found.size());
  for (int i = 0; i < std::min(count, capacity); ++i) tags[i] = found[static_cast<size_t>(i)];
  return count;
}

} // namespace plugin
