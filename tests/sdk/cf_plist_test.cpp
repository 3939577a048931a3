// The XML property-list reader, including damaged documents.
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace
{

CFPropertyListRef Read(const std::string& text, CFOptionFlags options = kCFPropertyListImmutable,
                       CFErrorRef* error = nullptr)
{
  CFDataRef data =
      CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(text.data()), static_cast<CFIndex>(text.size()));
  CFPropertyListRef p = CFPropertyListCreateWithData(nullptr, data, options, nullptr, error);
  CFRelease(data);
  return p;
}

std::string Text(CFTypeRef s)
{
  const char* p = CFStringGetCStringPtr(static_cast<CFStringRef>(s), kCFStringEncodingUTF8);
  return p ? p : "<not a string>";
}

const char kInfo[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
  <key>CFBundleIdentifier</key>
  <string>com.Quenlar.audiounit.ZANIQ</string>
  <!-- a comment between entries -->
  <key>AudioComponents</key>
  <array>
    <dict>
      <key>type</key><string>aufx</string>
      <key>version</key><integer>131595</integer>
      <key>gain</key><real>-2.5e1</real>
      <key>sandboxSafe</key><true/>
      <key>hidden</key><false></false>
      <key>blob</key><data>
        AAEC/w==
      </data>
      <key>empty</key><string/>
      <key>tags</key><array/>
      <key>more</key><dict/>
    </dict>
  </array>
  <key>Escaped &amp; key</key>
  <string>&lt;a&gt; &#233;&#x20AC; <![CDATA[<raw & text>]]></string>
  <key>negative</key><integer> -9223372036854775808 </integer>
  <key>hex</key><integer>0x10</integer>
</dict>
</plist>
)";

template <typename T> T Number(CFDictionaryRef d, CFStringRef key, CFNumberType type)
{
  T value{};
  EXPECT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(d, key)), type, &value));
  return value;
}

TEST(CFPropertyList, ReadsEveryType)
{
  CFPropertyListFormat format = 0;
  CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(kInfo), sizeof kInfo - 1);
  CFPropertyListRef p = CFPropertyListCreateWithData(nullptr, data, kCFPropertyListImmutable, &format, nullptr);
  CFRelease(data);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(format, kCFPropertyListXMLFormat_v1_0);
  ASSERT_EQ(CFGetTypeID(p), CFDictionaryGetTypeID());
  auto dict = static_cast<CFDictionaryRef>(p);
  EXPECT_EQ(CFDictionaryGetCount(dict), 5);
  EXPECT_EQ(Text(CFDictionaryGetValue(dict, CFSTR("CFBundleIdentifier"))), "com.Quenlar.audiounit.ZANIQ");
  EXPECT_EQ(Text(CFDictionaryGetValue(dict, CFSTR("Escaped & key"))), "<a> \xC3\xA9\xE2\x82\xAC <raw & text>");
  EXPECT_EQ(Number<int64_t>(dict, CFSTR("negative"), kCFNumberSInt64Type), INT64_MIN);
  EXPECT_EQ(Number<int64_t>(dict, CFSTR("hex"), kCFNumberSInt64Type), 16);
  auto comps = static_cast<CFArrayRef>(CFDictionaryGetValue(dict, CFSTR("AudioComponents")));
  ASSERT_EQ(CFGetTypeID(comps), CFArrayGetTypeID());
  ASSERT_EQ(CFArrayGetCount(comps), 1);
  auto c = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(comps, 0));
  EXPECT_EQ(Text(CFDictionaryGetValue(c, CFSTR("type"))), "aufx");
  EXPECT_EQ(Number<int32_t>(c, CFSTR("version"), kCFNumberSInt32Type), 0x0002020B);
  EXPECT_EQ(Number<double>(c, CFSTR("gain"), kCFNumberFloat64Type), -25.0);
  EXPECT_EQ(CFDictionaryGetValue(c, CFSTR("sandboxSafe")), kCFBooleanTrue);
  EXPECT_EQ(CFDictionaryGetValue(c, CFSTR("hidden")), kCFBooleanFalse);
  auto blob = static_cast<CFDataRef>(CFDictionaryGetValue(c, CFSTR("blob")));
  ASSERT_EQ(CFDataGetLength(blob), 4);
  EXPECT_EQ(std::memcmp(CFDataGetBytePtr(blob), "\x00\x01\x02\xFF", 4), 0);
  EXPECT_EQ(Text(CFDictionaryGetValue(c, CFSTR("empty"))), "");

  // Immutable as asked: mutation is refused.
  CFDictionarySetValue(const_cast<CFMutableDictionaryRef>(dict), CFSTR("new"), kCFBooleanTrue);
  EXPECT_FALSE(CFDictionaryContainsKey(dict, CFSTR("new")));
  CFRelease(p);
}

TEST(CFPropertyList, DamagedDocumentsFailCleanly)
{
  const char* const damaged[] = {
      "",
      "bplist00\x01\x02",
      "<plist>",
      "<plist/>",
      "<plist><dict><key>a</key></dict></plist>",             // key without value
      "<plist><dict><string>a</string></dict></plist>",       // value without key
      "<plist><dict><key>a</key><key>b</key></dict></plist>", // key as value
      "<plist><array></dict></plist>",                        // mismatched end
      "<plist><string>a<b/></string></plist>", // element inside text
      "<plist><integer>12a</integer></plist>",
      "<plist><integer>9223372036854775808</integer></plist>", // above the 64-bit range
      "<plist><real>nan</real></plist>", // non-finite numbers are refused
      "<plist><real>1e999</real></plist>",
      "<plist><real>1.5.2</real></plist>",
      "<plist><data>AA$A</data></plist>",
      "<plist><date>2020-01-01T00:00:00Z</date></plist>",
      "<plist><unknown/></plist>",
      "<plist><string>&bogus;</string></plist>",
      "<plist><string>&#0;</string></plist>",
      "<plist><string>&#xD800;</string></plist>",
      "<plist><string>&#99999999999;</string></plist>",
      "<plist><string>&amp</string></plist>",
      "<plist><string>\xC3(</string></plist>", // malformed UTF-8
      "<plist><string><![CDATA[open</string></plist>",
      "<plist><!-- open </plist>",
      "<plist><string>a</string><string>b</string></plist>", // two roots
      "<plist><string>a</string></plist>trailing",
      "<plist><dict attr=\"unterminated></dict></plist>",
      "<?xml version=\"1.0\"",
      "<!DOCTYPE plist [ <!ENTITY x \"y\">",
      "<plist><string a='>'>ok</string></plist",
  };
  for (const char* doc : damaged)
  {
    CFErrorRef error = nullptr;
    ASSERT_EQ(Read(doc, kCFPropertyListImmutable, &error), nullptr) << doc;
    ASSERT_NE(error, nullptr) << doc;
    EXPECT_EQ(CFErrorGetCode(error), kCFPropertyListReadCorruptError);
    EXPECT_TRUE(CFEqual(CFErrorGetDomain(error), kCFErrorDomainCocoa));
    CFRelease(error);
  }
  EXPECT_EQ(CFPropertyListCreateWithData(nullptr, nullptr, 0, nullptr, nullptr), nullptr);
}

TEST(CFPropertyList, EveryTruncationFails)
{
  const std::string doc(kInfo);
  const size_t end = doc.rfind('>') + 1; // after the last '>' only whitespace follows
  for (size_t n = 0; n < end; ++n)
  {
    CFPropertyListRef p = Read(doc.substr(0, n));
    ASSERT_EQ(p, nullptr) << "prefix " << n;
  }
  CFPropertyListRef whole = Read(doc.substr(0, end));
  ASSERT_NE(whole, nullptr);
  CFRelease(whole);
}

TEST(CFPropertyList, DeepNestingIsRefused)
{
  auto nested = [](int depth)
  {
    std::string s = "<plist>";
    for (int k = 0; k < depth; ++k)
      s += "<array>";
    for (int k = 0; k < depth; ++k)
      s += "</array>";
    return s + "</plist>";
  };
  EXPECT_EQ(Read(nested(100000)), nullptr);
  CFPropertyListRef p = Read(nested(100));
  ASSERT_NE(p, nullptr);
  CFRelease(p);
}

} // namespace
