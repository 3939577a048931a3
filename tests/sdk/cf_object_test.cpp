// CoreFoundation objects: constants, strings, numbers and data. (Arrays with record callbacks and dictionaries are
// the factory-preset and ClassInfo tests' own, through the adapter.)
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>

#include <cmath>
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

TEST(CFObject, ConstantsAndEquality)
{
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

  // Equal strings hash alike; different types are never equal.
  CFStringRef a = Str("key");
  EXPECT_TRUE(CFEqual(a, CFSTR("key")));
  EXPECT_EQ(CFHash(a), CFHash(CFSTR("key")));
  EXPECT_FALSE(CFEqual(a, CFSTR("Key")));
  CFRelease(a);
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

  // Malformed UTF-8 (cut, overlong '/', surrogate), non-ASCII bytes claimed as ASCII and null are refused.
  for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", static_cast<const char*>(nullptr)})
    EXPECT_EQ(CFStringCreateWithCString(nullptr, bad, kCFStringEncodingUTF8), nullptr);
  EXPECT_EQ(CFStringCreateWithCString(nullptr, "\x80", kCFStringEncodingASCII), nullptr);
}

TEST(CFString, CompareAndFormat)
{
  EXPECT_EQ(CFStringCompare(CFSTR("Preset 10"), CFSTR("Preset 9"), kCFCompareNumerically), kCFCompareGreaterThan);
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
  // Out of range: clamped, reported lossy.
  EXPECT_EQ(Convert<int16_t>(kCFNumberSInt32Type, int32_t(-123456), kCFNumberSInt16Type),
            std::pair(false, std::numeric_limits<int16_t>::min()));
  EXPECT_EQ(Convert<int32_t>(kCFNumberDoubleType, 3.75, kCFNumberSInt32Type), std::pair(false, 3)); // fraction dropped
  EXPECT_FALSE((Convert<double>(kCFNumberSInt64Type, L::max(), kCFNumberFloat64Type).first)); // 2^63-1 has no double
  EXPECT_EQ(Convert<int32_t>(kCFNumberSInt64Type, L::max(), kCFNumberSInt32Type),
            std::pair(false, std::numeric_limits<int32_t>::max()));
  EXPECT_EQ(Convert<int32_t>(kCFNumberFloat64Type, std::nan(""), kCFNumberSInt32Type), std::pair(false, 0));
  EXPECT_EQ(Convert<int64_t>(kCFNumberFloat64Type, 1e300, kCFNumberSInt64Type), std::pair(false, L::max()));
  double fiveD = 5.0;
  EXPECT_EQ(CFNumberCreate(nullptr, kCFNumberSInt32Type, nullptr), nullptr);
  EXPECT_EQ(CFNumberCreate(nullptr, 99, &fiveD), nullptr);

  // Equal values compare equal across storage.
  int32_t five = 5;
  CFNumberRef a = CFNumberCreate(nullptr, kCFNumberSInt32Type, &five);
  CFNumberRef b = CFNumberCreate(nullptr, kCFNumberFloat64Type, &fiveD);
  EXPECT_TRUE(CFEqual(a, b));
  EXPECT_EQ(CFHash(a), CFHash(b));
  CFRelease(a);
  CFRelease(b);
}

std::string Bytes(CFDataRef d)
{
  return std::string(reinterpret_cast<const char*>(CFDataGetBytePtr(d)), static_cast<size_t>(CFDataGetLength(d)));
}

TEST(CFData, CreateAppendAndClippedReads)
{
  const UInt8 bytes[] = {1, 2, 3, 4, 5};
  CFDataRef d = CFDataCreate(nullptr, bytes, 5);
  UInt8 out[8] = {};
  CFDataGetBytes(d, CFRangeMake(3, 10), out); // clipped to the data
  EXPECT_EQ(std::string(out, out + 3), std::string("\4\5\0", 3));
  CFDataAppendBytes(const_cast<CFMutableDataRef>(d), bytes, 5); // immutable data refuses to change
  EXPECT_EQ(CFDataGetLength(d), 5);
  CFMutableDataRef m = CFDataCreateMutableCopy(nullptr, 0, d);
  CFDataAppendBytes(m, bytes, 2);
  EXPECT_EQ(Bytes(m), std::string("\1\2\3\4\5\1\2", 7));
  CFRelease(m);
  CFRelease(d);

  EXPECT_EQ(CFDataCreate(nullptr, nullptr, 3), nullptr);
  EXPECT_EQ(CFDataCreate(nullptr, bytes, -1), nullptr);
  UInt8 stack[3] = {9, 8, 7};
  CFRelease(CFDataCreateWithBytesNoCopy(nullptr, stack, 3, kCFAllocatorNull)); // must not free the stack buffer
}

} // namespace
