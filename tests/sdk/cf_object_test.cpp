// CoreFoundation objects: reference counting, strings, numbers, data, arrays and dictionaries.
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace
{

std::string Text(CFStringRef s)
{
  const char* p = CFStringGetCStringPtr(s, kCFStringEncodingUTF8);
  return p ? p : "";
}

// ---- Reference counting and constants ----

TEST(CFObject, CreateRetainReleaseCounts)
{
  CFStringRef s = CFStringCreateWithCString(nullptr, "abc", kCFStringEncodingUTF8);
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
}

TEST(CFObject, EqualityAndHashAcrossTypes)
{
  CFStringRef a = CFStringCreateWithCString(nullptr, "key", kCFStringEncodingUTF8);
  EXPECT_TRUE(CFEqual(a, CFSTR("key")));
  EXPECT_EQ(CFHash(a), CFHash(CFSTR("key")));
  EXPECT_FALSE(CFEqual(a, CFSTR("Key")));
  int32_t five = 5;
  CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &five);
  EXPECT_FALSE(CFEqual(a, n)); // different types are never equal
  CFRelease(n);
  CFRelease(a);
}

TEST(CFObject, AllocatorsAllocateAndFree)
{
  void* p = CFAllocatorAllocate(kCFAllocatorDefault, 64, 0);
  ASSERT_NE(p, nullptr);
  std::memset(p, 0xAB, 64);
  p = CFAllocatorReallocate(kCFAllocatorDefault, p, 128, 0);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(static_cast<unsigned char*>(p)[63], 0xAB);
  CFAllocatorDeallocate(kCFAllocatorDefault, p);
  EXPECT_EQ(CFAllocatorAllocate(kCFAllocatorNull, 64, 0), nullptr);
  EXPECT_EQ(CFAllocatorAllocate(kCFAllocatorSystemDefault, 0, 0), nullptr);
  CFAllocatorDeallocate(kCFAllocatorSystemDefault, nullptr);
}

// ---- Strings ----

TEST(CFString, EncodingsAndLengths)
{
  // "é" is one UTF-16 unit, the G clef two.
  CFStringRef s = CFStringCreateWithCString(nullptr, "a\xC3\xA9\xF0\x9D\x84\x9E", kCFStringEncodingUTF8);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(CFStringGetLength(s), 4);
  EXPECT_EQ(CFStringGetCharacterAtIndex(s, 1), 0xE9);
  EXPECT_EQ(CFStringGetCharacterAtIndex(s, 2), 0xD834);
  EXPECT_EQ(CFStringGetCharacterAtIndex(s, 3), 0xDD1E);
  char buf[16];
  EXPECT_FALSE(CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingASCII));
  EXPECT_STREQ(buf, "");
  EXPECT_FALSE(CFStringGetCString(s, buf, 7, kCFStringEncodingUTF8)); // 7 bytes + terminator needed
  EXPECT_TRUE(CFStringGetCString(s, buf, 8, kCFStringEncodingUTF8));
  EXPECT_STREQ(buf, "a\xC3\xA9\xF0\x9D\x84\x9E");
  EXPECT_EQ(CFStringGetCStringPtr(s, kCFStringEncodingASCII), nullptr);
  CFRelease(s);

  // Mac Roman both ways: é is 0x8E, the euro sign 0xDB (Apple's table).
  CFStringRef roman = CFStringCreateWithCString(nullptr, "\x8E\xDB", kCFStringEncodingMacRoman);
  ASSERT_NE(roman, nullptr);
  EXPECT_EQ(Text(roman), "\xC3\xA9\xE2\x82\xAC");
  EXPECT_TRUE(CFStringGetCString(roman, buf, sizeof buf, kCFStringEncodingMacRoman));
  EXPECT_STREQ(buf, "\x8E\xDB");
  EXPECT_FALSE(CFStringGetCString(roman, buf, sizeof buf, kCFStringEncodingISOLatin1)); // no euro in Latin-1
  CFRelease(roman);

  // Malformed UTF-8 and non-ASCII bytes claimed as ASCII are refused.
  EXPECT_EQ(CFStringCreateWithCString(nullptr, "\xC3", kCFStringEncodingUTF8), nullptr);
  EXPECT_EQ(CFStringCreateWithCString(nullptr, "\xC0\xAF", kCFStringEncodingUTF8), nullptr);     // overlong '/'
  EXPECT_EQ(CFStringCreateWithCString(nullptr, "\xED\xA0\x80", kCFStringEncodingUTF8), nullptr); // surrogate
  EXPECT_EQ(CFStringCreateWithCString(nullptr, "\x80", kCFStringEncodingASCII), nullptr);
  EXPECT_EQ(CFStringCreateWithCString(nullptr, nullptr, kCFStringEncodingUTF8), nullptr);

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
  CFStringRef a = CFStringCreateWithCString(nullptr, "Preset 10", kCFStringEncodingUTF8);
  CFStringRef copy = CFStringCreateCopy(nullptr, a);
  EXPECT_TRUE(CFEqual(copy, a));
  CFRelease(a);
  EXPECT_EQ(Text(copy), "Preset 10"); // the copy is owned on its own
  EXPECT_EQ(CFStringCompare(copy, CFSTR("preset 10"), 0), kCFCompareLessThan);
  EXPECT_EQ(CFStringCompare(copy, CFSTR("preset 10"), kCFCompareCaseInsensitive), kCFCompareEqualTo);
  EXPECT_EQ(CFStringCompare(copy, CFSTR("Preset 9"), 0), kCFCompareLessThan);
  EXPECT_EQ(CFStringCompare(copy, CFSTR("Preset 9"), kCFCompareNumerically), kCFCompareGreaterThan);
  EXPECT_EQ(CFStringCompare(CFSTR("ab"), CFSTR("abc"), 0), kCFCompareLessThan);
  CFRelease(copy);

  CFStringRef name = CFSTR("abc");
  CFStringRef d =
      CFStringCreateWithFormat(nullptr, nullptr, CFSTR("AUPreset:\npreset number = %d\npreset name = %@"), 3, name);
  EXPECT_EQ(Text(d), "AUPreset:\npreset number = 3\npreset name = abc");
  CFRelease(d);
  const long long big = -1234567890123LL;
  CFStringRef f = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("[%s|%5.2f|%lld|%x|%%|%@|%-3d]"), "txt", 3.14159,
                                           big, 255u, nullptr, 7);
  char expected[128];
  std::snprintf(expected, sizeof expected, "[%s|%5.2f|%lld|%x|%%|(null)|%-3d]", "txt", 3.14159, big, 255u, 7);
  EXPECT_EQ(Text(f), expected);
  CFRelease(f);
}

// ---- Numbers ----

TEST(CFNumber, RoundTripsAcrossTypes)
{
  int32_t i32 = -123456;
  CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &i32);
  EXPECT_EQ(CFNumberGetType(n), kCFNumberSInt32Type);
  double d = 0;
  EXPECT_TRUE(CFNumberGetValue(n, kCFNumberFloat64Type, &d));
  EXPECT_EQ(d, -123456.0);
  int16_t i16 = 0;
  EXPECT_FALSE(CFNumberGetValue(n, kCFNumberSInt16Type, &i16)); // out of range: clamped, reported lossy
  EXPECT_EQ(i16, std::numeric_limits<int16_t>::min());
  int64_t i64 = 0;
  EXPECT_TRUE(CFNumberGetValue(n, kCFNumberSInt64Type, &i64));
  EXPECT_EQ(i64, -123456);
  int asInt = 0;
  EXPECT_TRUE(CFNumberGetValue(n, kCFNumberIntType, &asInt));
  EXPECT_EQ(asInt, -123456);
  CFRelease(n);

  double pi = 3.75;
  CFNumberRef f = CFNumberCreate(nullptr, kCFNumberDoubleType, &pi);
  EXPECT_TRUE(CFNumberIsFloatType(f));
  EXPECT_EQ(CFNumberGetType(f), kCFNumberFloat64Type);
  EXPECT_FALSE(CFNumberGetValue(f, kCFNumberSInt32Type, &i32)); // fraction dropped
  EXPECT_EQ(i32, 3);
  float f32 = 0;
  EXPECT_TRUE(CFNumberGetValue(f, kCFNumberFloat32Type, &f32)); // 3.75 is exact in 32 bits
  EXPECT_EQ(f32, 3.75f);
  CFRelease(f);

  double tenth = 0.1;
  CFNumberRef t = CFNumberCreate(nullptr, kCFNumberFloat64Type, &tenth);
  EXPECT_FALSE(CFNumberGetValue(t, kCFNumberFloat32Type, &f32));
  EXPECT_EQ(f32, static_cast<float>(0.1));
  CFRelease(t);

  float tenthF = 0.1f;
  CFNumberRef tf = CFNumberCreate(nullptr, kCFNumberFloat32Type, &tenthF);
  EXPECT_TRUE(CFNumberGetValue(tf, kCFNumberFloat64Type, &d));
  EXPECT_EQ(d, static_cast<double>(0.1f));
  CFRelease(tf);

  int64_t huge = std::numeric_limits<int64_t>::max();
  CFNumberRef h = CFNumberCreate(nullptr, kCFNumberSInt64Type, &huge);
  EXPECT_FALSE(CFNumberGetValue(h, kCFNumberFloat64Type, &d)); // 2^63-1 has no double
  EXPECT_FALSE(CFNumberGetValue(h, kCFNumberSInt32Type, &i32));
  EXPECT_EQ(i32, std::numeric_limits<int32_t>::max());
  CFRelease(h);

  double nan = std::nan("");
  CFNumberRef nn = CFNumberCreate(nullptr, kCFNumberFloat64Type, &nan);
  EXPECT_FALSE(CFNumberGetValue(nn, kCFNumberSInt32Type, &i32));
  EXPECT_EQ(i32, 0);
  CFRelease(nn);

  double big = 1e300;
  CFNumberRef b = CFNumberCreate(nullptr, kCFNumberFloat64Type, &big);
  EXPECT_FALSE(CFNumberGetValue(b, kCFNumberSInt64Type, &i64));
  EXPECT_EQ(i64, std::numeric_limits<int64_t>::max());
  CFRelease(b);

  EXPECT_EQ(CFNumberCreate(nullptr, kCFNumberSInt32Type, nullptr), nullptr);
  EXPECT_EQ(CFNumberCreate(nullptr, 99, &i32), nullptr);
}

TEST(CFNumber, EqualValuesCompareEqualAcrossStorage)
{
  int32_t five = 5;
  double fiveD = 5.0, fiveHalf = 5.5;
  CFNumberRef a = CFNumberCreate(nullptr, kCFNumberSInt32Type, &five);
  CFNumberRef b = CFNumberCreate(nullptr, kCFNumberFloat64Type, &fiveD);
  CFNumberRef c = CFNumberCreate(nullptr, kCFNumberFloat64Type, &fiveHalf);
  EXPECT_TRUE(CFEqual(a, b));
  EXPECT_EQ(CFHash(a), CFHash(b));
  EXPECT_EQ(CFNumberCompare(a, c, nullptr), kCFCompareLessThan);
  EXPECT_EQ(CFNumberCompare(c, b, nullptr), kCFCompareGreaterThan);
  CFRelease(a);
  CFRelease(b);
  CFRelease(c);
}

// ---- Data ----

TEST(CFData, CreateAppendAndRanges)
{
  const UInt8 bytes[] = {1, 2, 3, 4, 5};
  CFDataRef d = CFDataCreate(nullptr, bytes, 5);
  EXPECT_EQ(CFDataGetLength(d), 5);
  EXPECT_EQ(std::memcmp(CFDataGetBytePtr(d), bytes, 5), 0);
  UInt8 out[8] = {};
  CFDataGetBytes(d, CFRangeMake(3, 10), out); // clipped to the data
  EXPECT_EQ(out[0], 4);
  EXPECT_EQ(out[1], 5);
  EXPECT_EQ(out[2], 0);
  // Immutable data refuses to change.
  CFDataAppendBytes(const_cast<CFMutableDataRef>(d), bytes, 5);
  EXPECT_EQ(CFDataGetLength(d), 5);

  CFMutableDataRef m = CFDataCreateMutableCopy(nullptr, 0, d);
  CFDataAppendBytes(m, bytes, 2);
  EXPECT_EQ(CFDataGetLength(m), 7);
  EXPECT_EQ(CFDataGetBytePtr(m)[6], 2);
  CFDataSetLength(m, 9);
  EXPECT_EQ(CFDataGetBytePtr(m)[8], 0);
  CFDataReplaceBytes(m, CFRangeMake(0, 2), CFDataGetBytePtr(m) + 2, 3); // source inside the data
  EXPECT_EQ(CFDataGetLength(m), 10);
  EXPECT_EQ(CFDataGetBytePtr(m)[0], 3);
  EXPECT_EQ(CFDataGetBytePtr(m)[3], 3);
  CFDataDeleteBytes(m, CFRangeMake(0, 100)); // out of range: nothing
  EXPECT_EQ(CFDataGetLength(m), 10);
  EXPECT_FALSE(CFEqual(m, d));
  CFRelease(m);
  CFRelease(d);

  EXPECT_EQ(CFDataCreate(nullptr, nullptr, 3), nullptr);
  EXPECT_EQ(CFDataCreate(nullptr, bytes, -1), nullptr);
  CFDataRef empty = CFDataCreate(nullptr, nullptr, 0);
  EXPECT_EQ(CFDataGetLength(empty), 0);
  EXPECT_NE(CFDataGetBytePtr(empty), nullptr);
  CFRelease(empty);

  UInt8 stack[3] = {9, 8, 7};
  CFDataRef borrowed = CFDataCreateWithBytesNoCopy(nullptr, stack, 3, kCFAllocatorNull);
  EXPECT_EQ(CFDataGetBytePtr(borrowed), stack);
  CFRelease(borrowed); // must not free the stack buffer
  auto* heap = static_cast<UInt8*>(std::malloc(4));
  CFDataRef owned = CFDataCreateWithBytesNoCopy(nullptr, heap, 4, kCFAllocatorDefault);
  CFRelease(owned); // frees the buffer (the leak checker would see it otherwise)
}

// ---- Arrays ----

struct Counts
{
  int retains = 0;
  int releases = 0;
};
Counts gCounts;
const void* CountRetain(CFAllocatorRef, const void* v)
{
  ++gCounts.retains;
  return v;
}
void CountRelease(CFAllocatorRef, const void*)
{
  ++gCounts.releases;
}
Boolean SameInt(const void* a, const void* b)
{
  return *static_cast<const int*>(a) == *static_cast<const int*>(b);
}

TEST(CFArray, CustomCallbacksAreBalanced)
{
  gCounts = {};
  const CFArrayCallBacks cb = {0, CountRetain, CountRelease, nullptr, SameInt};
  int v[4] = {10, 20, 30, 20};
  CFMutableArrayRef a = CFArrayCreateMutable(nullptr, 2, &cb); // capacity is only a hint
  CFArrayAppendValue(a, &v[0]);
  CFArrayAppendValue(a, &v[1]);
  CFArrayAppendValue(a, &v[2]);
  EXPECT_EQ(CFArrayGetCount(a), 3);
  EXPECT_EQ(gCounts.retains, 3);
  CFArraySetValueAtIndex(a, 1, &v[2]);
  EXPECT_EQ(gCounts.retains, 4);
  EXPECT_EQ(gCounts.releases, 1);
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
  EXPECT_GT(gCounts.retains, 0);
  EXPECT_EQ(gCounts.retains, gCounts.releases);
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

TEST(CFArray, RecordsOwnedByTheArrayAreFreedOnce)
{
  const CFArrayCallBacks cb = {0, RecordRetain, RecordRelease, nullptr, nullptr};
  CFStringRef name = CFStringCreateWithCString(nullptr, "Default", kCFStringEncodingUTF8);
  CFMutableArrayRef a = CFArrayCreateMutable(nullptr, 1, &cb);
  auto* r = new Record{1, CFStringCreateCopy(nullptr, name)};
  CFArrayAppendValue(a, r);
  RecordRelease(nullptr, r); // the creator's reference; the array keeps the record
  EXPECT_EQ(r->count, 1);
  EXPECT_EQ(CFGetRetainCount(name), 2); // ours + the record's copy
  CFRelease(a);                         // frees the record (ASan checks it is freed exactly once)
  EXPECT_EQ(CFGetRetainCount(name), 1);
  CFRelease(name);
}

TEST(CFArray, TypeCallbacksRetainElements)
{
  CFStringRef s = CFStringCreateWithCString(nullptr, "x", kCFStringEncodingUTF8);
  const void* values[] = {s, s};
  CFArrayRef a = CFArrayCreate(nullptr, values, 2, &kCFTypeArrayCallBacks);
  EXPECT_EQ(CFGetRetainCount(s), 3);
  CFMutableArrayRef m = CFArrayCreateMutableCopy(nullptr, 0, a);
  EXPECT_EQ(CFGetRetainCount(s), 5);
  CFArrayRemoveAllValues(m);
  EXPECT_EQ(CFGetRetainCount(s), 3);
  CFRelease(m);
  CFRelease(a);
  EXPECT_EQ(CFGetRetainCount(s), 1);
  CFRelease(s);
}

// ---- Dictionaries ----

TEST(CFDictionary, StringKeysAndOwnership)
{
  CFMutableDictionaryRef d =
      CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  int32_t version = 0x0002020B;
  CFNumberRef v = CFNumberCreate(nullptr, kCFNumberSInt32Type, &version);
  CFStringRef key = CFStringCreateWithCString(nullptr, "version", kCFStringEncodingUTF8);
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
  CFRelease(d);
  CFRelease(key);
  CFRelease(v);
}

TEST(CFDictionary, RawPointerCallbacksAndNullValues)
{
  int a = 1, b = 2;
  const void* keys[] = {&a, &b, &a};
  const void* values[] = {nullptr, &b, &b};
  CFDictionaryRef d = CFDictionaryCreate(nullptr, keys, values, 3, nullptr, nullptr);
  EXPECT_EQ(CFDictionaryGetCount(d), 2); // the repeated key keeps the last value
  const void* out = nullptr;
  EXPECT_TRUE(CFDictionaryGetValueIfPresent(d, &a, &out));
  EXPECT_EQ(out, &b);
  int c = 1; // equal value, different pointer: identity keys do not match
  EXPECT_FALSE(CFDictionaryContainsKey(d, &c));
  CFRelease(d);

  CFMutableDictionaryRef m = CFDictionaryCreateMutable(nullptr, 0, nullptr, nullptr);
  CFDictionarySetValue(m, &a, nullptr);
  EXPECT_TRUE(CFDictionaryGetValueIfPresent(m, &a, &out));
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(CFDictionaryGetValue(m, &a), nullptr);
  CFRelease(m);
}

TEST(CFDictionary, CopyStringKeyCallbacks)
{
  CFMutableDictionaryRef d =
      CFDictionaryCreateMutable(nullptr, 0, &kCFCopyStringDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFStringRef key = CFStringCreateWithCString(nullptr, "k", kCFStringEncodingUTF8);
  CFDictionarySetValue(d, key, kCFBooleanFalse);
  CFRelease(key);
  EXPECT_EQ(CFDictionaryGetValue(d, CFSTR("k")), kCFBooleanFalse);
  CFRelease(d);
}

} // namespace
