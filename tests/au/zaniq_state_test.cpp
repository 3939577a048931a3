// The product's host state through the host: a well-framed state that another plug-in wrote is refused, and the
// instance keeps every value (a restore must not report success for data it did not apply).

#include "au/support/ZaniqHost.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace zqhost;
using auhost::CFRef;

namespace
{

// The ClassInfo of `from` with "data" rewritten by `edit`.
CFRef<CFPropertyListRef> EditedState(const auhost::Instance& from, void (*edit)(std::vector<UInt8>&))
{
  CFRef<CFPropertyListRef> state;
  EXPECT_OK(from.SaveState(state));
  auto dict = static_cast<CFDictionaryRef>(state.Get());
  auto data = static_cast<CFDataRef>(CFDictionaryGetValue(dict, CFSTR("data")));
  std::vector<UInt8> bytes(CFDataGetBytePtr(data), CFDataGetBytePtr(data) + CFDataGetLength(data));
  edit(bytes);
  CFMutableDictionaryRef copy = CFDictionaryCreateMutableCopy(kCFAllocatorDefault, 0, dict);
  CFDataRef edited = CFDataCreate(kCFAllocatorDefault, bytes.data(), CFIndex(bytes.size()));
  CFDictionarySetValue(copy, CFSTR("data"), edited);
  CFRelease(edited);
  return CFRef<CFPropertyListRef>::Adopt(copy);
}

// Same length, so the frame stays intact and only the document is foreign.
void ForeignVendor(std::vector<UInt8>& bytes)
{
  const char from[] = "<PluginVendor>Quenlar<", to[] = "<PluginVendor>Quenlaz<";
  auto it = std::search(bytes.begin(), bytes.end(), from, from + std::strlen(from));
  ASSERT_NE(it, bytes.end());
  std::copy(to, to + std::strlen(to), it);
}

void OtherVersion(std::vector<UInt8>& bytes)
{
  bytes[8] = 2; // the frame's version word
}

} // namespace

using ZaniqState = ZaniqBundleTest<>;

TEST_F(ZaniqState, ForeignOrUnreadableStateIsRefusedAndChangesNothing)
{
  std::unique_ptr<auhost::Instance> writer, reader;
  ASSERT_OK(auhost::Instance::Open(mBundle->Main().component, writer));
  ASSERT_OK(auhost::Instance::Open(mBundle->Main().component, reader));
  SetParam(*writer, "Reference Level", "-30");
  SetParam(*reader, "Reference Level", "-12");

  for (auto edit : {&ForeignVendor, &OtherVersion})
  {
    CFRef<CFPropertyListRef> state = EditedState(*writer, edit);
    EXPECT_EQ(reader->RestoreState(state.Get()).code(), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_FLOAT_EQ(Param(*reader, "Reference Level"), -12.f);
  }

  // The untouched state still restores.
  CFRef<CFPropertyListRef> state;
  ASSERT_OK(writer->SaveState(state));
  ASSERT_OK(reader->RestoreState(state.Get()));
  EXPECT_FLOAT_EQ(Param(*reader, "Reference Level"), -30.f);
}
