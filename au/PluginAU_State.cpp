// PluginAU — ClassInfo state and factory presets.

#include "au/PluginAU.h"
#include "au/PluginAU_p.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

namespace plugin
{

using au_detail::MakeCFString;

// ---------------------------------------------------------------------------------------------------------------
// Factory preset records
// ---------------------------------------------------------------------------------------------------------------

CFAUPresetRef CFAUPresetCreate(CFAllocatorRef allocator, CFIndex presetNumber, CFStringRef name)
{
  auto* preset = static_cast<CFAUPreset*>(CFAllocatorAllocate(allocator, sizeof(CFAUPreset), 0));
  if (!preset) return nullptr;
  preset->auPreset.presetNumber = static_cast<SInt32>(presetNumber);
  preset->auPreset.presetName = name ? CFStringCreateCopy(allocator, name) : nullptr;
  preset->version = 0;
  preset->allocator = allocator;
  preset->retainCount = 1;
  return preset;
}

const void* CFAUPresetRetain(CFAllocatorRef, const void* presetPtr)
{
  auto* preset = static_cast<CFAUPreset*>(const_cast<void*>(presetPtr));
  if (preset)
  {
    if (preset->auPreset.presetName) CFRetain(preset->auPreset.presetName);
    ++preset->retainCount;
  }
  return presetPtr;
}

void CFAUPresetRelease(CFAllocatorRef, const void* presetPtr)
{
  auto* preset = static_cast<CFAUPreset*>(const_cast<void*>(presetPtr));
  if (!preset || preset->retainCount < 1) return;
  // The name was retained once per retain of the record (and once by the copy made at creation).
  if (preset->auPreset.presetName) CFRelease(preset->auPreset.presetName);
  if (--preset->retainCount == 0)
  {
    preset->auPreset.presetName = nullptr;
    preset->auPreset.presetNumber = 0;
    CFAllocatorDeallocate(preset->allocator, preset);
  }
}

CFStringRef CFAUPresetCopyDescription(const void* presetPtr)
{
  const auto* preset = static_cast<const CFAUPreset*>(presetPtr);
  if (!preset) return nullptr;
  return CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("AUPreset:\npreset number = %d\npreset name = %@"),
                                  static_cast<int>(preset->auPreset.presetNumber), preset->auPreset.presetName);
}

Boolean CFAUPresetEqual(const void* p1, const void* p2)
{
  const auto* a = static_cast<const CFAUPreset*>(p1);
  const auto* b = static_cast<const CFAUPreset*>(p2);
  if (!a || !b) return a == b;
  if (a->auPreset.presetNumber != b->auPreset.presetNumber) return false;
  CFStringRef na = a->auPreset.presetName, nb = b->auPreset.presetName;
  if (!na || !nb) return na == nb;
  return CFStringCompare(na, nb, 0) == kCFCompareEqualTo;
}

const CFArrayCallBacks kCFAUPresetArrayCallBacks = {0, CFAUPresetRetain, CFAUPresetRelease,
                                                    CFAUPresetCopyDescription, CFAUPresetEqual};

OSStatus PluginAU::GetFactoryPresets(CFArrayRef* array) const
{
  const int n = NPresets();
  CFMutableArrayRef presets = CFArrayCreateMutable(kCFAllocatorDefault, n, &kCFAUPresetArrayCallBacks);
  if (!presets) return coreFoundationUnknownErr;
  for (int i = 0; i < n; ++i)
  {
    CFStringRef name = MakeCFString(GetPresetName(i));
    CFAUPresetRef preset = CFAUPresetCreate(kCFAllocatorDefault, i, name);
    if (preset)
    {
      CFArrayAppendValue(presets, preset);
      CFAUPresetRelease(kCFAllocatorDefault, preset);
    }
    if (name) CFRelease(name);
  }
  *array = presets;
  return noErr;
}

// ---------------------------------------------------------------------------------------------------------------
// ClassInfo
// ---------------------------------------------------------------------------------------------------------------

OSStatus PluginAU::GetState(CFPropertyListRef* plist)
{
  if (!plist) return kAudio_ParamError;
  CFMutableDictionaryRef dict =
    CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  if (!dict) return coreFoundationUnknownErr;

  auto putInt = [dict](CFStringRef key, SInt32 value) {
    if (CFNumberRef num = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value))
    {
      CFDictionarySetValue(dict, key, num);
      CFRelease(num);
    }
  };
  putInt(CFSTR("version"), static_cast<SInt32>(GetPluginVersion(false)));
  putInt(CFSTR("type"), static_cast<SInt32>(GetAUPluginType()));
  putInt(CFSTR("subtype"), static_cast<SInt32>(GetUniqueID()));
  putInt(CFSTR("manufacturer"), static_cast<SInt32>(GetMfrID()));
  if (CFStringRef name = MakeCFString(GetPresetName(GetCurrentPresetIdx())))
  {
    CFDictionarySetValue(dict, CFSTR("name"), name);
    CFRelease(name);
  }

  IByteChunk chunk;
  if (SerializeState(chunk))
  {
    if (CFDataRef data = CFDataCreate(kCFAllocatorDefault, chunk.GetData(), chunk.Size()))
    {
      CFDictionarySetValue(dict, CFSTR("data"), data);
      CFRelease(data);
    }
  }
  *plist = dict;
  return noErr;
}

namespace
{

// Reads a ClassInfo number as a 64-bit integer; false for a missing key, a value that is not a number, or one no
// 64-bit integer holds.
bool ReadNumber(CFDictionaryRef dict, CFStringRef key, SInt64& value)
{
  const void* v = CFDictionaryGetValue(dict, key);
  return v && CFGetTypeID(v) == CFNumberGetTypeID() &&
         CFNumberGetValue(static_cast<CFNumberRef>(v), kCFNumberSInt64Type, &value);
}

// An identity code stored by a host, signed or unsigned, equals code. A number outside both 32-bit readings
// names no code of ours, whatever its low bits.
bool IsCode(SInt64 stored, int code)
{
  if (stored < INT32_MIN || stored > static_cast<SInt64>(UINT32_MAX)) return false;
  return static_cast<UInt32>(stored) == static_cast<UInt32>(code);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Rollback of a restore whose data turns out unreadable
// ---------------------------------------------------------------------------------------------------------------

// What a restore may change before its data is found unreadable: the state as the plug-in writes it, the
// parameter values (for when that state cannot be written or read back), the current preset index and the slot
// that a recall by name may fill.
struct PluginAU::StateSnapshot
{
  IByteChunk mState;
  bool mHasState = false;
  std::vector<double> mValues;
  int mPresetIdx = 0;
  int mSlotIdx = -1;
  IPreset mSlot;
};

bool PluginAU::TakeStateSnapshot(const char* presetName, StateSnapshot& snapshot) const
{
  try
  {
    snapshot.mHasState = SerializeState(snapshot.mState);
    snapshot.mValues.resize(static_cast<size_t>(NParams()));
    for (int i = 0; i < NParams(); ++i)
      if (const IParam* param = GetParam(i)) snapshot.mValues[static_cast<size_t>(i)] = param->Value();
    snapshot.mPresetIdx = mCurrentPresetIdx;
    for (int i = 0; presetName && *presetName && i < NPresets(); ++i)
    {
      const IPreset* preset = GetPreset(i);
      if (preset && std::strcmp(preset->mName, presetName) == 0)
      {
        snapshot.mSlotIdx = i;
        snapshot.mSlot = *preset;
        break;
      }
    }
  }
  catch (...)
  {
    return false;
  }
  return true;
}

void PluginAU::RollBackState(const StateSnapshot& snapshot, bool presetRecalled)
{
  if (!snapshot.mHasState || UnserializeState(snapshot.mState, 0) < 1)
  {
    for (int i = 0; i < NParams(); ++i) GetParam(i)->Set(snapshot.mValues[static_cast<size_t>(i)]);
    OnParamReset(kPresetRecall);
  }
  if (snapshot.mSlotIdx >= 0)
    if (IPreset* slot = GetPreset(snapshot.mSlotIdx)) *slot = snapshot.mSlot;
  mCurrentPresetIdx = snapshot.mPresetIdx;
  // The recall already showed the preset's values to the editor: show the restored ones.
  if (presetRecalled) OnRestoreState();
}

// ---------------------------------------------------------------------------------------------------------------
// SetState
// ---------------------------------------------------------------------------------------------------------------

OSStatus PluginAU::SetState(CFPropertyListRef plist)
{
  // Everything that can be checked without reading the data is checked before anything changes.
  if (!plist || CFGetTypeID(plist) != CFDictionaryGetTypeID()) return kAudioUnitErr_InvalidPropertyValue;
  CFDictionaryRef dict = static_cast<CFDictionaryRef>(plist);

  SInt64 version = 0, type = 0, subtype = 0, manufacturer = 0;
  if (!ReadNumber(dict, CFSTR("version"), version) || !ReadNumber(dict, CFSTR("type"), type) ||
      !ReadNumber(dict, CFSTR("subtype"), subtype) || !ReadNumber(dict, CFSTR("manufacturer"), manufacturer))
    return kAudioUnitErr_InvalidPropertyValue;

  // The whole name: a host may store a longer patch name than any preset field holds.
  Util_String name;
  if (!au_detail::CopyUTF8(CFDictionaryGetValue(dict, CFSTR("name")), name)) return kAudioUnitErr_InvalidPropertyValue;

  if (!IsCode(type, GetAUPluginType()) || !IsCode(subtype, GetUniqueID()) || !IsCode(manufacturer, GetMfrID()))
    return kAudioUnitErr_InvalidPropertyValue;

  const void* dataValue = CFDictionaryGetValue(dict, CFSTR("data"));
  if (!dataValue)
  {
    // A state without data still names the preset it was saved with.
    (void)RestorePresetByName(name.Get());
    return kAudioUnitErr_InvalidPropertyValue;
  }
  if (CFGetTypeID(dataValue) != CFDataGetTypeID()) return kAudioUnitErr_InvalidPropertyValue;
  CFDataRef data = static_cast<CFDataRef>(dataValue);
  const CFIndex length = CFDataGetLength(data);
  if (length < 0 || length > INT_MAX / 2) return kAudioUnitErr_InvalidPropertyValue;
  IByteChunk chunk;
  if (length > 0 && chunk.PutBytes(CFDataGetBytePtr(data), static_cast<int>(length)) != static_cast<int>(length))
    return kAudioUnitErr_InvalidPropertyValue;

  // Data the plug-in would refuse changes nothing, not even the preset its name recalls.
  if (CheckState(chunk, 0) < 1) return kAudioUnitErr_InvalidPropertyValue;

  // Should the data still be refused after the recall, keep what both may change, so that the restore leaves the
  // plug-in as it was.
  StateSnapshot snapshot;
  if (!TakeStateSnapshot(name.Get(), snapshot)) return kAudio_MemFullError;

  const bool recalled = RestorePresetByName(name.Get());
  if (UnserializeState(chunk, 0) < 1 || !LastStateApplied())
  {
    RollBackState(snapshot, recalled);
    return kAudioUnitErr_InvalidPropertyValue;
  }
  // The current slot stores what was applied under the name it now has (a state may carry one), as every load
  // does: a host that recalls the slot by that name gets these values back, not the ones it held before.
  if (IPreset* current = GetPreset(mCurrentPresetIdx); current && !StoreNamedState(*current, current->mName))
  {
    RollBackState(snapshot, recalled);
    return kAudio_MemFullError;
  }
  OnRestoreState();
  return noErr;
}

} // namespace plugin
