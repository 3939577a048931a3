// libFuzzer target: the ClassInfo restore through the adapter's property call, with dictionaries built from the
// input: each key present or not, of its own type or another, the identity right or random, any name, and the
// rest of the input as "data".
//
// Promises checked: the status is 0, kAudioUnitErr_InvalidPropertyValue or kAudio_MemFullError; a dictionary
// refused before its data is read (a missing key, a wrong type or identity) changes no parameter; whatever was
// restored leaves every parameter finite and in range; the state saved afterwards restores with 0.

#include "fuzz/fuzz_env.h"

#include <CoreFoundation/CoreFoundation.h>

#include <string>

using fuzzenv::Check;

namespace
{

// Reads from the input front to back; past its end every read gives zeros.
struct Reader
{
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  uint8_t Byte() { return pos < size ? data[pos++] : 0; }
  int32_t Int32()
  {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
    return static_cast<int32_t>(v);
  }
};

void SetValue(CFMutableDictionaryRef dict, const char* key, CFTypeRef value)
{
  CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
  if (k && value) CFDictionarySetValue(dict, k, value);
  if (k) CFRelease(k);
  if (value) CFRelease(value);
}

CFTypeRef Number(int32_t v) { return CFNumberCreate(nullptr, kCFNumberSInt32Type, &v); }
CFTypeRef Text(const std::string& s)
{
  return CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(s.data()), static_cast<CFIndex>(s.size()),
                                 kCFStringEncodingUTF8, false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size > (1u << 20)) return 0;
  ZANIQ& plug = fuzzenv::Plug();
  Reader in{data, size};
  const uint8_t present = in.Byte();   // bit k: key k is there
  const uint8_t wrongType = in.Byte(); // bit k: key k holds a value of another type
  const uint8_t identity = in.Byte();  // bits 0-2: type, subtype, manufacturer right (else random)

  CFMutableDictionaryRef dict =
    CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  if (!dict) return 0;
  const int32_t ids[3] = {static_cast<int32_t>(plug.GetAUPluginType()), plug.GetUniqueID(), plug.GetMfrID()};
  const char* idKeys[3] = {"type", "subtype", "manufacturer"};
  bool typesRight = true;
  if (present & 1) SetValue(dict, "version", (wrongType & 1) ? Text("1") : Number(in.Int32()));
  typesRight &= (present & 1) && !(wrongType & 1);
  for (int k = 0; k < 3; ++k)
  {
    const int32_t random = in.Int32();
    const bool here = present & (2 << k), wrong = wrongType & (2 << k);
    typesRight &= here && !wrong && ((identity >> k) & 1);
    if (here) SetValue(dict, idKeys[k], wrong ? Text("aufx") : Number((identity >> k) & 1 ? ids[k] : random));
  }
  const uint8_t nameLength = in.Byte();
  std::string name;
  for (int i = 0; i < nameLength; ++i) name += static_cast<char>(in.Byte());
  if (present & 16) SetValue(dict, "name", (wrongType & 16) ? Number(7) : Text(name));
  typesRight &= (present & 16) && !(wrongType & 16);
  const size_t rest = in.pos < size ? size - in.pos : 0;
  if (present & 32)
    SetValue(dict, "data",
             (wrongType & 32) ? Text("data") : CFDataCreate(nullptr, data + in.pos, static_cast<CFIndex>(rest)));

  const std::vector<double> before = fuzzenv::Values(plug);
  CFPropertyListRef plist = dict;
  const OSStatus status =
    plug.SetProperty(kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &plist, sizeof(plist));
  CFRelease(dict);
  Check(status == noErr || status == kAudioUnitErr_InvalidPropertyValue || status == kAudio_MemFullError);
  if (!typesRight) Check(status != noErr && fuzzenv::Values(plug) == before);
  Check(fuzzenv::ValuesSound(plug));

  CFPropertyListRef saved = nullptr;
  UInt32 savedSize = sizeof(saved);
  Boolean writable = false;
  Check(plug.GetProperty(kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &savedSize, &writable, &saved) ==
        noErr);
  Check(plug.SetProperty(kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &saved, sizeof(saved)) == noErr);
  CFRelease(saved);
  return 0;
}
