// CoreFoundation objects: reference counting, strings, numbers, data, arrays and dictionaries.
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

namespace
{

std::string Text(CFStringRef s)
{
  const char* p = CFStringGetCStringPtr(s, kCFStringEncodingUTF8);
  return p ? p : "";
}

CFStringRef Str(const char* text)
{
  return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
}

// A number stored as `from`, read back as `to`: whether the read was exact, and what it gave.
template <typename Out, typename In> std::pair<bool, Out> Convert(CFNumberType from, In in, CFNumberType to)
{
  CFNumberRef n = CFNumberCreate(nullptr, from, &in);
  Out out{};
  const bool exact = CFNumberGetValue(n, to, &out);
  CFRelease(n);
  return {exact, out};
}

TEST(CFObject, RetainReleaseConstantsAndEquality)
{
  CFStringRef s = Str("abc");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(CFGetRetainCount(s), 1);
  EXPECT_EQ(CFRetain(s), s);
  EXPECT_EQ(CFGetRetainCount(s), 2);
  CFRelease(s);
  EXPECT_EQ(CFGetRetainCount(s), 1);
  EXPECT_EQ(CFGetTypeID(s), CFStringGetTypeID());
  CFRelease(s);

  // Constants survive any number of releases and are the same object for the same text.
  CFStringRef k = CFSTR("constant");
  EXPECT_EQ(k, CFSTR("constant"));
  const CFIndex before = CFGetRetainCount(k);
  CFRelease(k);
  CFRelease(k);
  EXPECT_EQ(CFGetRetainCount(k), before);
  EXPECT_EQ(Text(k), "constant");
  CFRelease(kCFBooleanTrue);
  EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
  EXPECT_FALSE(CFBooleanGetValue(kCFBooleanFalse));

  // Equal strings hash alike; different types are never equal.
  CFStringRef a = Str("key");
  EXPECT_TRUE(CFEqual(a, CFSTR("key")));
  EXPECT_EQ(CFHash(a), CFHash(CFSTR("key")));
  EXPECT_FALSE(CFEqual(a, CFSTR("Key")));
  int32_t five = 5;
  CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &five);
  EXPECT_FALSE(CFEqual(a, n));
  CFRelease(n);
  CFRelease(a);
}

TEST(CFObject, AllocatorsKeepContentsAndRefuseNothing)
{
  void* p = CFAllocatorAllocate(kCFAllocatorDefault, 64, 0);
  std::memset(p, 0xAB, 64);
  p = CFAllocatorReallocate(kCFAllocatorDefault, p, 128, 0);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(static_cast<unsigned char*>(p)[63], 0xAB);
  CFAllocatorDeallocate(kCFAllocatorDefault, p);
  EXPECT_EQ(CFAllocatorAllocate(kCFAllocatorNull, 64, 0), nullptr);
  EXPECT_EQ(CFAllocatorAllocate(kCFAllocatorSystemDefault, 0, 0), nullptr);
}

TEST(CFString, EncodingsAndLengths)
{
  // "é" is one UTF-16 unit, the G clef two.
  CFStringRef s = Str("a\xC3\xA9\xF0\x9D\x84\x9E");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(CFStringGetLength(s), 4);
  EXPECT_EQ(CFStringGetCharacterAtIndex(s, 2), 0xD834);
  char buf[16];
  EXPECT_FALSE(CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingASCII));
  EXPECT_STREQ(buf, "");
  EXPECT_FALSE(CFStringGetCString(s, buf, 7, kCFStringEncodingUTF8)); // 7 bytes + terminator needed
  EXPECT_TRUE(CFStringGetCString(s, buf, 8, kCFStringEncodingUTF8));
  EXPECT_STREQ(buf, "a\xC3\xA9\xF0\x9D\x84\x9E");
  CFRelease(s);

  // Mac Roman: é is 0x8E, the euro sign 0xDB (Apple's table); Latin-1 has no euro.
  CFStringRef roman = CFStringCreateWithCString(nullptr, "\x8E\xDB", kCFStringEncodingMacRoman);
  EXPECT_EQ(Text(roman), "\xC3\xA9\xE2\x82\xAC");
  EXPECT_FALSE(CFStringGetCString(roman, buf, sizeof buf, kCFStringEncodingISOLatin1));
  CFRelease(roman);

  // Malformed UTF-8 (cut, overlong '/', surrogate), non-ASCII bytes claimed as ASCII and null are refused.
  for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", static_cast<const char*>(nullptr)})
    EXPECT_EQ(CFStringCreateWithCString(nullptr, bad, kCFStringEncodingUTF8), nullptr);
  EXPECT_EQ(CFStringCreateWithCString(nullptr, "\x80", kCFStringEncodingASCII), nullptr);
  const UniChar units[] = {'h', 0xD834, 0xDD1E, 'i'};
  CFStringRef fromUnits = CFStringCreateWithCharacters(nullptr, units, 4);
  EXPECT_EQ(Text(fromUnits), "h\xF0\x9D\x84\x9Ei");
  UniChar back[4] = {};
  CFStringGetCharacters(fromUnits, CFRangeMake(0, 4), back);
  EXPECT_EQ(std::memcmp(back, units, sizeof units), 0);
  CFRelease(fromUnits);
}

TEST(CFString, CopyCompareAndFormat)
{
  CFStringRef a = Str("Preset 10");
  CFStringRef copy = CFStringCreateCopy(nullptr, a);
  CFRelease(a);
  EXPECT_EQ(Text(copy), "Preset 10"); // the copy is owned on its own
  EXPECT_EQ(CFStringCompare(copy, CFSTR("preset 10"), kCFCompareCaseInsensitive), kCFCompareEqualTo);
  EXPECT_EQ(CFStringCompare(copy, CFSTR("Preset 9"), kCFCompareNumerically), kCFCompareGreaterThan);
  CFRelease(copy);
  const long long big = -1234567890123LL;
  CFStringRef f = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("[%s|%5.2f|%lld|%x|%%|%@|%@|%-3d]"), "txt", 3.14159,
                                           big, 255u, CFSTR("abc"), nullptr, 7);
  char expected[128];
  std::snprintf(expected, sizeof expected, "[%s|%5.2f|%lld|%x|%%|abc|(null)|%-3d]", "txt", 3.14159, big, 255u, 7);
  EXPECT_EQ(Text(f), expected);
  CFRelease(f);
}

TEST(CFNumber, ConversionsReportLossAndClamp)
{
  using L = std::numeric_limits<int64_t>;
  EXPECT_EQ(Convert<double>(kCFNumberSInt32Type, int32_t(-123456), kCFNumberFloat64Type), std::pair(true, -123456.0));
  EXPECT_EQ(Convert<int64_t>(kCFNumberSInt32Type, int32_t(-123456), kCFNumberSInt64Type), std::pair(true, -123456L));
  EXPECT_EQ(Convert<int>(kCFNumberSInt32Type, int32_t(-123456), kCFNumberIntType), std::pair(true, -123456));
  // Out of range: clamped, reported lossy.
  EXPECT_EQ(Convert<int16_t>(kCFNumberSInt32Type, int32_t(-123456), kCFNumberSInt16Type),
            std::pair(false, std::numeric_limits<int16_t>::min()));
  EXPECT_EQ(Convert<int32_t>(kCFNumberDoubleType, 3.75, kCFNumberSInt32Type), std::pair(false, 3)); // fraction dropped
  EXPECT_EQ(Convert<float>(kCFNumberDoubleType, 3.75, kCFNumberFloat32Type),
            std::pair(true, 3.75f)); // exact in 32 bits
  EXPECT_EQ(Convert<float>(kCFNumberFloat64Type, 0.1, kCFNumberFloat32Type), std::pair(false, static_cast<float>(0.1)));
  EXPECT_EQ(Convert<double>(kCFNumberFloat32Type, 0.1f, kCFNumberFloat64Type), std::pair(true, double(0.1f)));
  EXPECT_FALSE((Convert<double>(kCFNumberSInt64Type, L::max(), kCFNumberFloat64Type).first)); // 2^63-1 has no double
  EXPECT_EQ(Convert<int32_t>(kCFNumberSInt64Type, L::max(), kCFNumberSInt32Type),
            std::pair(false, std::numeric_limits<int32_t>::max()));
  EXPECT_EQ(Convert<int32_t>(kCFNumberFloat64Type, std::nan(""), kCFNumberSInt32Type), std::pair(false, 0));
  EXPECT_EQ(Convert<int64_t>(kCFNumberFloat64Type, 1e300, kCFNumberSInt64Type), std::pair(false, L::max()));
  double fiveD = 5.0, fiveHalf = 5.5;
  EXPECT_EQ(CFNumberCreate(nullptr, kCFNumberSInt32Type, nullptr), nullptr);
  EXPECT_EQ(CFNumberCreate(nullptr, 99, &fiveD), nullptr);

  // Equal values compare equal across storage.
  int32_t five = 5;
  CFNumberRef a = CFNumberCreate(nullptr, kCFNumberSInt32Type, &five);
  CFNumberRef b = CFNumberCreate(nullptr, kCFNumberFloat64Type, &fiveD);
  CFNumberRef c = CFNumberCreate(nullptr, kCFNumberFloat64Type, &fiveHalf);
  EXPECT_TRUE(CFNumberIsFloatType(b) && !CFNumberIsFloatType(a));
  EXPECT_EQ(CFNumberGetType(b), kCFNumberFloat64Type);
  EXPECT_TRUE(CFEqual(a, b));
  EXPECT_EQ(CFHash(a), CFHash(b));
  EXPECT_EQ(CFNumberCompare(a, c, nullptr), kCFCompareLessThan);
  EXPECT_EQ(CFNumberCompare(c, b, nullptr), kCFCompareGreaterThan);
  for (CFNumberRef x : {a, b, c})
    CFRelease(x);
}

std::string Bytes(CFDataRef d)
{
  return std::string(reinterpret_cast<const char*>(CFDataGetBytePtr(d)), static_cast<size_t>(CFDataGetLength(d)));
}

TEST(CFData, CreateAppendAndRanges)
{
  const UInt8 bytes[] = {1, 2, 3, 4, 5};
  CFDataRef d = CFDataCreate(nullptr, bytes, 5);
  EXPECT_EQ(Bytes(d), "\1\2\3\4\5");
  UInt8 out[8] = {};
  CFDataGetBytes(d, CFRangeMake(3, 10), out); // clipped to the data
  EXPECT_EQ(std::string(out, out + 3), std::string("\4\5\0", 3));
  CFDataAppendBytes(const_cast<CFMutableDataRef>(d), bytes, 5); // immutable data refuses to change
  EXPECT_EQ(CFDataGetLength(d), 5);
  CFMutableDataRef m = CFDataCreateMutableCopy(nullptr, 0, d);
  CFDataAppendBytes(m, bytes, 2);
  CFDataSetLength(m, 9);
  EXPECT_EQ(Bytes(m), std::string("\1\2\3\4\5\1\2\0\0", 9));
  CFDataReplaceBytes(m, CFRangeMake(0, 2), CFDataGetBytePtr(m) + 2, 3); // source inside the data
  CFDataDeleteBytes(m, CFRangeMake(0, 100));                            // out of range: nothing
  EXPECT_EQ(Bytes(m), std::string("\3\4\5\3\4\5\1\2\0\0", 10));
  EXPECT_FALSE(CFEqual(m, d));
  CFRelease(m);
  CFRelease(d);

  EXPECT_EQ(CFDataCreate(nullptr, nullptr, 3), nullptr);
  EXPECT_EQ(CFDataCreate(nullptr, bytes, -1), nullptr);
  UInt8 stack[3] = {9, 8, 7};
  CFDataRef borrowed = CFDataCreateWithBytesNoCopy(nullptr, stack, 3, kCFAllocatorNull);
  EXPECT_EQ(CFDataGetBytePtr(borrowed), stack);
  CFRelease(borrowed); // must not free the stack buffer
  // Frees the buffer (the leak checker would see it otherwise).
  CFRelease(CFDataCreateWithBytesNoCopy(nullptr, static_cast<UInt8*>(std::malloc(4)), 4, kCFAllocatorDefault));
}

int gRetains = 0, gReleases = 0;
const void* CountRetain(CFAllocatorRef, const void* v)
{
  return ++gRetains, v;
}
void CountRelease(CFAllocatorRef, const void*)
{
  ++gReleases;
}
Boolean SameInt(const void* a, const void* b)
{
  return *static_cast<const int*>(a) == *static_cast<const int*>(b);
}

TEST(CFArray, CustomCallbacksAreBalanced)
{
  gRetains = gReleases = 0;
  const CFArrayCallBacks cb = {0, CountRetain, CountRelease, nullptr, SameInt};
  int v[4] = {10, 20, 30, 20};
  CFMutableArrayRef a = CFArrayCreateMutable(nullptr, 2, &cb); // capacity is only a hint
  for (int k = 0; k < 3; ++k)
    CFArrayAppendValue(a, &v[k]);
  EXPECT_EQ(CFArrayGetCount(a), 3);
  EXPECT_EQ(gRetains, 3);
  CFArraySetValueAtIndex(a, 1, &v[2]);
  EXPECT_EQ(gRetains, 4);
  EXPECT_EQ(gReleases, 1);
  CFArrayInsertValueAtIndex(a, 0, &v[3]);
  EXPECT_EQ(CFArrayGetValueAtIndex(a, 0), &v[3]);
  EXPECT_EQ(CFArrayGetValueAtIndex(a, 9), nullptr);
  // Found by the equal callback, not by identity: v[3] equals v[1]'s value, which is gone.
  EXPECT_EQ(CFArrayGetFirstIndexOfValue(a, CFRangeMake(0, 4), &v[1]), 0);
  CFArrayRemoveValueAtIndex(a, 0);
  CFArrayRef copy = CFArrayCreateCopy(nullptr, a);
  EXPECT_TRUE(CFEqual(copy, a));
  CFRelease(a);
  EXPECT_EQ(CFArrayGetCount(copy), 3);
  CFArrayRemoveValueAtIndex(const_cast<CFMutableArrayRef>(copy), 0); // immutable
  EXPECT_EQ(CFArrayGetCount(copy), 3);
  CFRelease(copy);
  EXPECT_GT(gRetains, 0);
  EXPECT_EQ(gRetains, gReleases);
}

// A record with its own reference count, as preset entries handed to hosts are.
struct Record
{
  int count = 1;
  CFStringRef name;
};
const void* RecordRetain(CFAllocatorRef, const void* v)
{
  auto* r = static_cast<Record*>(const_cast<void*>(v));
  ++r->count;
  CFRetain(r->name);
  return v;
}
void RecordRelease(CFAllocatorRef, const void* v)
{
  auto* r = static_cast<Record*>(const_cast<void*>(v));
  CFRelease(r->name);
  if (--r->count == 0) delete r;
}

TEST(CFArray, ElementsAreRetainedAndFreedOnce)
{
  const CFArrayCallBacks cb = {0, RecordRetain, RecordRelease, nullptr, nullptr};
  CFStringRef name = Str("Default");
  CFMutableArrayRef a = CFArrayCreateMutable(nullptr, 1, &cb);
  auto* r = new Record{1, CFStringCreateCopy(nullptr, name)};
  CFArrayAppendValue(a, r);
  RecordRelease(nullptr, r); // the creator's reference; the array keeps the record
  EXPECT_EQ(r->count, 1);
  EXPECT_EQ(CFGetRetainCount(name), 2); // ours + the record's copy
  CFRelease(a);                         // frees the record (ASan checks it is freed exactly once)
  EXPECT_EQ(CFGetRetainCount(name), 1);

  // The type callbacks retain elements, in copies too.
  const void* values[] = {name, name};
  CFArrayRef t = CFArrayCreate(nullptr, values, 2, &kCFTypeArrayCallBacks);
  EXPECT_EQ(CFGetRetainCount(name), 3);
  CFMutableArrayRef m = CFArrayCreateMutableCopy(nullptr, 0, t);
  EXPECT_EQ(CFGetRetainCount(name), 5);
  CFArrayRemoveAllValues(m);
  EXPECT_EQ(CFGetRetainCount(name), 3);
  CFRelease(m);
  CFRelease(t);
  EXPECT_EQ(CFGetRetainCount(name), 1);
  CFRelease(name);
}

TEST(CFDictionary, StringKeysAndOwnership)
{
  CFMutableDictionaryRef d =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  int32_t version = 0x0002020B;
  CFNumberRef v = CFNumberCreate(nullptr, kCFNumberSInt32Type, &version);
  CFStringRef key = Str("version");
  CFDictionarySetValue(d, key, v);
  CFDictionarySetValue(d, CFSTR("name"), CFSTR("Default"));
  EXPECT_EQ(CFGetRetainCount(v), 2);
  EXPECT_EQ(CFGetRetainCount(key), 2);
  // A different but equal key object finds the entry.
  EXPECT_EQ(CFDictionaryGetValue(d, CFSTR("version")), v);
  EXPECT_TRUE(CFDictionaryContainsKey(d, CFSTR("name")));
  EXPECT_FALSE(CFDictionaryContainsKey(d, CFSTR("data")));
  EXPECT_EQ(CFDictionaryGetCount(d), 2);

  // Replacing releases the old value; the same value again keeps it alive.
  CFDictionarySetValue(d, CFSTR("version"), v);
  EXPECT_EQ(CFGetRetainCount(v), 2);
  CFDictionarySetValue(d, CFSTR("version"), kCFBooleanTrue);
  EXPECT_EQ(CFGetRetainCount(v), 1);
  CFDictionaryAddValue(d, CFSTR("version"), v); // present: unchanged
  EXPECT_EQ(CFDictionaryGetValue(d, CFSTR("version")), kCFBooleanTrue);
  CFDictionaryReplaceValue(d, CFSTR("absent"), v); // absent: unchanged
  EXPECT_EQ(CFDictionaryGetCount(d), 2);
  const void* keys[2];
  const void* values[2];
  CFDictionaryGetKeysAndValues(d, keys, values);
  EXPECT_TRUE(CFEqual(keys[0], CFSTR("version"))); // insertion order
  EXPECT_TRUE(CFEqual(values[1], CFSTR("Default")));
  CFDictionaryRef copy = CFDictionaryCreateCopy(nullptr, d);
  EXPECT_TRUE(CFEqual(copy, d));
  CFDictionaryRemoveValue(d, CFSTR("version"));
  EXPECT_EQ(CFGetRetainCount(key), 2); // the copy still holds the key
  EXPECT_FALSE(CFEqual(copy, d));
  CFRelease(copy);
  EXPECT_EQ(CFGetRetainCount(key), 1);
  for (CFTypeRef x : {CFTypeRef(d), CFTypeRef(key), CFTypeRef(v)})
    CFRelease(x);

  // Copied keys outlive the caller's key object.
  CFMutableDictionaryRef c =
      CFDictionaryCreateMutable(nullptr, 0, &kCFCopyStringDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  key = Str("k");
  CFDictionarySetValue(c, key, kCFBooleanFalse);
  CFRelease(key);
  EXPECT_EQ(CFDictionaryGetValue(c, CFSTR("k")), kCFBooleanFalse);
  CFRelease(c);
}

TEST(CFDictionary, RawPointerKeysAndNullValues)
{
  int a = 1, c = 1; // equal values, different pointers: identity keys do not match
  CFMutableDictionaryRef m = CFDictionaryCreateMutable(nullptr, 0, nullptr, nullptr);
  CFDictionarySetValue(m, &a, nullptr);
  const void* out = &c;
  EXPECT_TRUE(CFDictionaryGetValueIfPresent(m, &a, &out));
  EXPECT_EQ(out, nullptr);
  EXPECT_FALSE(CFDictionaryContainsKey(m, &c));
  CFRelease(m);
}

} // namespace
