// The product's Component Manager entry, the path older hosts take instead of the factory: registered as a
// component of its own, it opens an instance of the plug-in that answers the version and parameter selectors and
// prepares like the factory's, and closing it leaves no timer and no instance behind.

#include "au/testplug/TestBundles.h"

#include <AudioToolbox/AUTesting.h>
#include <CoreFoundation/CFTesting.h>

#include <tuple>

#ifdef ZANIQ_PRODUCT_BUNDLE

using namespace testbundles;

namespace
{

class ZaniqEntry : public BundleHost
{
protected:
  ZaniqEntry() : BundleHost(ZANIQ_PRODUCT_BUNDLE) {}
};

TEST_F(ZaniqEntry, TheComponentManagerEntryOpensThePlugInAndClosesClean)
{
  // Registered under a subtype of its own, once per process; version 2.2.11.
  static AudioComponent component = [this] {
    auto entry = reinterpret_cast<ZQAUComponentEntry>(mBundle->Symbol("ZANIQ_Entry"));
    AudioComponentDescription desc = {kAudioUnitType_Effect, FourCC("QNcm"), FourCC("QNVX"), 0, 0};
    return entry ? ZQAURegisterComponentEntry(&desc, CFSTR("ZANIQ (CM)"), 0x0002020B, entry) : nullptr;
  }();
  ASSERT_NE(component, nullptr);
  mUnit.reset();
  const int timersBefore = ZQCFScheduledTimerCount();
  const UInt32 liveBefore = ZQAULiveInstanceCount();
  ASSERT_NO_FATAL_FAILURE(Reopen(component));
  const auto ci = reinterpret_cast<ComponentInstance>(Unit());

  EXPECT_EQ(ZQAUCallComponentInstance(ci, kComponentVersionSelect, nullptr, 0), static_cast<OSStatus>(0x0002020B));
  EXPECT_EQ(ZQAUCallComponentInstanceWith(ci, kComponentCanDoSelect, kAudioUnitGetPropertySelect), 1);
  EXPECT_EQ(Get(8), -18.f); // Reference Level at its default
  EXPECT_STREQ(Plug().GetPluginName(), "ZANIQ");
  ASSERT_OK(mUnit->Prepare(48000.0, 2, 2, 64));
  mUnit.reset();
  EXPECT_EQ(std::tuple(ZQCFScheduledTimerCount(), ZQAULiveInstanceCount()), std::tuple(timersBefore, liveBefore));
}

} // namespace

#endif
