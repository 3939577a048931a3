// IPluginAU — ClassInfo state and factory presets.

#include "au/IPluginAU.h"
#include "au/IPluginAU_p.h"

#include <climits>

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

OSStatus IPluginAU::GetFactoryPresets(CFArrayRef* array) const
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

OSStatus IPluginAU::GetState(CFPropertyListRef* plist)
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

OSStatus IPluginAU::SetState(CFPropertyListRef plist)
{
  // Everything is checked before anything changes.
  if (!plist || CFGetTypeID(plist) != CFDictionaryGetTypeID()) return kAudioUnitErr_InvalidPropertyValue;
  CFDictionaryRef dict = static_cast<CFDictionaryRef>(plist);

  auto getCode = [dict](CFStringRef key, SInt64& value) {
    const void* v = CFDictionaryGetValue(dict, key);
    return v && CFGetTypeID(v) == CFNumberGetTypeID() &&
           CFNumberGetValue(static_cast<CFNumberRef>(v), kCFNumberSInt64Type, &value);
  };
  SInt64 version = 0, type = 0, subtype = 0, manufacturer = 0;
  if (!getCode(CFSTR("version"), version) || !getCode(CFSTR("type"), type) || !getCode(CFSTR("subtype"), subtype) ||
      !getCode(CFSTR("manufacturer"), manufacturer))
    return kAudioUnitErr_InvalidPropertyValue;

  // The whole name: a host may store a longer patch name than any preset field holds.
  Util_String name;
  if (!au_detail::CopyUTF8(CFDictionaryGetValue(dict, CFSTR("name")), name)) return kAudioUnitErr_InvalidPropertyValue;

  // Codes are 32-bit: compare the low 32 bits, whichever integer width the host stored them with.
  if (static_cast<UInt32>(type) != static_cast<UInt32>(GetAUPluginType()) ||
      static_cast<UInt32>(subtype) != static_cast<UInt32>(GetUniqueID()) ||
      static_cast<UInt32>(manufacturer) != static_cast<UInt32>(GetMfrID()))
    return kAudioUnitErr_InvalidPropertyValue;

  const void* dataValue = CFDictionaryGetValue(dict, CFSTR("data"));
  if (!dataValue || CFGetTypeID(dataValue) != CFDataGetTypeID()) return kAudioUnitErr_InvalidPropertyValue;
  CFDataRef data = static_cast<CFDataRef>(dataValue);
  const CFIndex length = CFDataGetLength(data);
  if (length < 0 || length > INT_MAX / 2) return kAudioUnitErr_InvalidPropertyValue;
  IByteChunk chunk;
  if (length > 0 && chunk.PutBytes(CFDataGetBytePtr(data), static_cast<int>(length)) != static_cast<int>(length))
    return kAudioUnitErr_InvalidPropertyValue;

  (void)RestorePresetByName(name.Get());
  if (UnserializeState(chunk, 0) < 1) return kAudioUnitErr_InvalidPropertyValue;
  OnRestoreState();
  return noErr;
}

} // namespace plugin
