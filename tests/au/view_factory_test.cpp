// The editor view factory: nil from a unit that does not give its plug-in object, and no CocoaUI property for a
// unit without an editor or one that cannot make it. (The host path through the CocoaUI property, the class by
// name and the view is what `auhost editor` walks in its own tests.)

#include "au/AUEditorInfo.h"
#include "au/ZANIQ_View.h"
#include "au/testplug/TestBundles.h"

#include <AppKit/AppKitTesting.h>

#include <cstring>

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

class ViewFactoryNoEditor : public BundleHost
{
};

class ViewFactoryEditor : public BundleHost
{
protected:
  ViewFactoryEditor() : BundleHost(ZANIQ_TESTGAIN_UI_BUNDLE) {}
};

} // namespace

TEST_F(ViewFactoryNoEditor, NoViewWithoutAnEditorOrWithoutThePluginObject)
{
  NSAutoreleasePool pool;
  ZANIQ_View* factory = NewFactory();
  const AudioComponentDescription desc = {kAudioUnitType_Effect, FourCC("Slnt"), kManufacturer, 0, 0};
  AudioComponent component = AudioComponentRegister(&desc, CFSTR("Zaniq Tests: Silent"), 1, &SilentFactory);
  ASSERT_NE(component, nullptr);
  AudioComponentInstance silent = nullptr;
  ASSERT_EQ(AudioComponentInstanceNew(component, &silent), noErr);
  EXPECT_EQ(factory->uiViewForAudioUnit_withSize(silent, NSMakeSize(300, 200)), nullptr);
  EXPECT_EQ(factory->GetPlug(), nullptr);
  EXPECT_EQ(AudioComponentInstanceDispose(silent), noErr);

  // A unit without an editor: the factory reaches the plug-in but makes no view, and the editor says closed.
  EXPECT_EQ(factory->uiViewForAudioUnit_withSize(Unit(), NSMakeSize(0, 0)), nullptr);
  EXPECT_EQ(static_cast<void*>(factory->GetPlug()), static_cast<void*>(&Plug()));
  factory->release();
  AUEditorInfo info;
  std::memset(&info, 0xff, sizeof info);
  ASSERT_OK(mUnit->GetProperty(kAUProperty_EditorInfo, kAudioUnitScope_Global, 0, info));
  EXPECT_EQ(std::make_tuple(info.open, info.width, info.nControls), std::make_tuple(0, 0, 0));
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
