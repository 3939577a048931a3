// Foundation stand-in: NSDictionary, with property lists read through CFPropertyList.

#include <CoreFoundation/CFInternal.h>
#include <Foundation/Foundation.h>

#include <fstream>
#include <iterator>

namespace
{

std::string StringOf(CFStringRef s)
{
  if (!s) return {};
  const CFIndex max = CFStringGetMaximumSizeForEncoding(CFStringGetLength(s), kCFStringEncodingUTF8) + 1;
  std::string buf(static_cast<size_t>(max), '\0');
  if (!CFStringGetCString(s, buf.data(), max, kCFStringEncodingUTF8)) return {};
  buf.resize(std::char_traits<char>::length(buf.c_str()));
  return buf;
}

// Autoreleased Foundation object of a CF property list value, or null for kinds not converted.
NSObject* Convert(CFTypeRef value, int depth);

NSDictionary* ConvertDictionary(CFDictionaryRef dict, int depth)
{
  NSMutableDictionary* out = NSMutableDictionary::dictionary();
  const CFIndex n = CFDictionaryGetCount(dict);
  std::vector<const void*> keys(static_cast<size_t>(n)), values(static_cast<size_t>(n));
  CFDictionaryGetKeysAndValues(dict, keys.data(), values.data());
  for (CFIndex i = 0; i < n; ++i)
  {
    if (!keys[i] || CFGetTypeID(keys[i]) != CFStringGetTypeID()) continue;
    NSObject* v = Convert(values[i], depth + 1);
    NSString* k = NSString::stringWithUTF8String(StringOf(static_cast<CFStringRef>(keys[i])).c_str());
    if (v && k) out->setObject_forKey(v, k);
  }
  return out;
}

NSObject* Convert(CFTypeRef value, int depth)
{
  if (!value || depth > 64) return nullptr;
  const CFTypeID type = CFGetTypeID(value);
  if (type == CFStringGetTypeID())
    return NSString::stringWithUTF8String(StringOf(static_cast<CFStringRef>(value)).c_str());
  if (type == CFBooleanGetTypeID())
    return NSNumber::numberWithBool(CFBooleanGetValue(static_cast<CFBooleanRef>(value)) ? YES : NO);
  if (type == CFNumberGetTypeID())
  {
    auto num = static_cast<CFNumberRef>(value);
    if (CFNumberIsFloatType(num))
    {
      double d = 0;
      CFNumberGetValue(num, kCFNumberDoubleType, &d);
      return NSNumber::numberWithDouble(d);
    }
    long long v = 0;
    CFNumberGetValue(num, kCFNumberLongLongType, &v);
    return NSNumber::numberWithInteger(static_cast<NSInteger>(v));
  }
  if (type == CFArrayGetTypeID())
  {
    auto arr = static_cast<CFArrayRef>(value);
    NSMutableArray* out = NSMutableArray::array();
    for (CFIndex i = 0; i < CFArrayGetCount(arr); ++i)
      if (NSObject* v = Convert(CFArrayGetValueAtIndex(arr, i), depth + 1)) out->addObject(v);
    return out;
  }
  if (type == CFDictionaryGetTypeID()) return ConvertDictionary(static_cast<CFDictionaryRef>(value), depth);
  return nullptr;
}

} // namespace

NSDictionary::~NSDictionary()
{
  for (auto& [key, value] : mEntries) value->release();
}

NSDictionary* NSDictionary::dictionary()
{
  return static_cast<NSDictionary*>((new NSDictionary())->autorelease());
}

NSDictionary* NSDictionary::dictionaryWithContentsOfURL(const NSURL* url)
{
  if (!url || !url->isFileURL()) return nullptr;
  return dictionaryWithContentsOfFile(url->path());
}

NSDictionary* NSDictionary::dictionaryWithContentsOfFile(const NSString* path)
{
  if (!path) return nullptr;
  std::ifstream in(zqcf::FileSystemPath(path->UTF8String()), std::ios::binary);
  if (!in) return nullptr;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), static_cast<CFIndex>(bytes.size()));
  if (!data) return nullptr;
  CFPropertyListRef plist = CFPropertyListCreateWithData(nullptr, data, 0, nullptr, nullptr);
  CFRelease(data);
  if (!plist) return nullptr;
  NSDictionary* out = nullptr;
  if (CFGetTypeID(plist) == CFDictionaryGetTypeID()) out = ConvertDictionary(static_cast<CFDictionaryRef>(plist), 0);
  CFRelease(plist);
  return out;
}

NSObject* NSDictionary::objectForKey(const NSString* key) const
{
  if (!key) return nullptr;
  auto it = mEntries.find(key->UTF8String());
  return it != mEntries.end() ? it->second : nullptr;
}

NSArray* NSDictionary::allKeys() const
{
  std::vector<NSObject*> keys;
  for (auto& [key, value] : mEntries) keys.push_back(NSString::stringWithUTF8String(key.c_str()));
  return NSArray::arrayWithObjects_count(keys.data(), keys.size());
}

NSMutableDictionary* NSMutableDictionary::dictionary()
{
  return static_cast<NSMutableDictionary*>((new NSMutableDictionary())->autorelease());
}

void NSMutableDictionary::setObject_forKey(NSObject* object, const NSString* key)
{
  if (!object || !key) return;
  object->retain();
  auto [it, added] = mEntries.emplace(key->UTF8String(), object);
  if (!added)
  {
    it->second->release();
    it->second = object;
  }
}

void NSMutableDictionary::removeObjectForKey(const NSString* key)
{
  if (!key) return;
  auto it = mEntries.find(key->UTF8String());
  if (it == mEntries.end()) return;
  NSObject* old = it->second;
  mEntries.erase(it);
  old->release();
}
