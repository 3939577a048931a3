// The editor view factory: the CocoaUI property only for a unit with an editor whose factory class is registered,
// ZANIQ_View's answers, and nil from a unit that does not give its plug-in object.

#include "au/AUEditorInfo.h"
#include "au/ZANIQ_View.h"
#include "au/testplug/TestBundles.h"
#include "tools/auhost/CfRef.h"

#include <AppKit/AppKitTesting.h>

#include <cstring>
#include <filesystem>

using namespace testbundles;

namespace
{

#ifndef ZANIQ_TESTGAIN_UI_BUNDLE
#define ZANIQ_TESTGAIN_UI_BUNDLE ""
#endif

// A component that answers nothing: every selector is unsupported, so its private property -101 fails.
OSStatus SilentOpen(void*, AudioComponentInstance)
{
  return noErr;
}
OSStatus SilentClose(void*)
{
  return noErr;
}
AudioComponentMethod SilentLookup(SInt16)
{
  return nullptr;
}
AudioComponentPlugInInterface sSilent = {&SilentOpen, &SilentClose, &SilentLookup, nullptr};
AudioComponentPlugInInterface* SilentFactory(const AudioComponentDescription*)
{
  return &sSilent;
}

ZANIQ_View* NewFactory()
{
  auto* view = new ZANIQ_View();
  view->init();
  return view;
}

} // namespace

TEST(ViewFactory, AnswersItsNameVersionAndNilWithoutThePluginObject)
{
  NSAutoreleasePool pool;
  ZANIQ_View* factory = NewFactory();
  EXPECT_STREQ(factory->description()->UTF8String(), "ZANIQ View");
  EXPECT_EQ(factory->interfaceVersion(), 0u);
  EXPECT_EQ(factory->GetPlug(), nullptr);

  const AudioComponentDescription desc = {kAudioUnitType_Effect, FourCC("Slnt"), kManufacturer, 0, 0};
  AudioComponent component = AudioComponentRegister(&desc, CFSTR("Zaniq Tests: Silent"), 1, &SilentFactory);
  ASSERT_NE(component, nullptr);
  AudioComponentInstance unit = nullptr;
  ASSERT_EQ(AudioComponentInstanceNew(component, &unit), noErr);
  EXPECT_EQ(factory->uiViewForAudioUnit_withSize(unit, NSMakeSize(300, 200)), nullptr);
  EXPECT_EQ(factory->GetPlug(), nullptr);
  EXPECT_EQ(AudioComponentInstanceDispose(unit), noErr);
  factory->release();
}

class ViewFactoryNoEditor : public BundleHost
{
};

TEST_F(ViewFactoryNoEditor, AUnitWithoutAnEditorOffersNoCocoaViewAndGivesNoView)
{
  NSAutoreleasePool pool;
  UInt32 size = 0;
  Boolean writable = false;
  EXPECT_EQ(AudioUnitGetPropertyInfo(Unit(), kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &size, &writable),
            kAudioUnitErr_InvalidProperty);
  // Asked anyway, the factory reaches the plug-in but makes no view.
  ZANIQ_View* factory = NewFactory();
  EXPECT_EQ(factory->uiViewForAudioUnit_withSize(Unit(), NSMakeSize(0, 0)), nullptr);
  EXPECT_EQ(static_cast<void*>(factory->GetPlug()), static_cast<void*>(&Plug()));
  factory->release();
  // The editor information says closed.
  AUEditorInfo info;
  std::memset(&info, 0xff, sizeof info);
  ASSERT_OK(mUnit->GetProperty(kAUProperty_EditorInfo, kAudioUnitScope_Global, 0, info));
  EXPECT_EQ(std::make_tuple(info.open, info.width, info.nControls), std::make_tuple(0, 0, 0));
}

class ViewFactoryEditor : public BundleHost
{
protected:
  ViewFactoryEditor() : BundleHost(ZANIQ_TESTGAIN_UI_BUNDLE) {}
};

TEST_F(ViewFactoryEditor, TheCocoaViewNamesTheBundleAndTheRegisteredClass)
{
  NSAutoreleasePool pool;
  ZQAppKitReset();
  AudioUnitCocoaViewInfo info = {};
  ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, info));
  auto url = auhost::CFRef<CFURLRef>::Adopt(info.mCocoaAUViewBundleLocation);
  auto name = auhost::CFRef<CFStringRef>::Adopt(info.mCocoaAUViewClass[0]);
  char path[1024] = {}, className[64] = {};
  ASSERT_TRUE(CFURLGetFileSystemRepresentation(url.Get(), true, reinterpret_cast<UInt8*>(path), sizeof path));
  ASSERT_TRUE(CFStringGetCString(name.Get(), className, sizeof className, kCFStringEncodingUTF8));
  EXPECT_EQ(std::filesystem::weakly_canonical(path), std::filesystem::weakly_canonical(ZANIQ_TESTGAIN_UI_BUNDLE));
  EXPECT_STREQ(className, "ZANIQ_View");

  // The host path from here on (class by name, a view, the editor open at its size, closed when the view goes) is
  // what `auhost editor` and the Cocoa view's own tests walk.
  EXPECT_NE(NSClassFromString(NSString::stringWithUTF8String(className)), nullptr);
}

TEST_F(ViewFactoryEditor, AUnitThatCannotMakeItsEditorOffersNoCocoaView)
{
  NSAutoreleasePool pool;
  UInt32 size = 0;
  Boolean writable = false;
  ASSERT_EQ(AudioUnitGetPropertyInfo(Unit(), kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &size, &writable),
            noErr);
  // The has-UI flag and the registered class alone promise a view the plug-in could not make.
  Plug().SetMakeGraphicsFunc(nullptr);
  EXPECT_EQ(AudioUnitGetPropertyInfo(Unit(), kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &size, &writable),
            kAudioUnitErr_InvalidProperty);
}
