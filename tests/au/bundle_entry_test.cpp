// The test bundles as a host meets them: what their executables export, the Component Manager entry (whose instance
// closes without leaving timers or memory behind), the editor view factory (nil from a unit that does not give its
// plug-in object, no CocoaUI property for a unit without an editor or one that cannot make it), the unit disposed under
// its editor's open menu or message box, and the instrument with MIDI input and wildcard output configurations, paths
// an effect without MIDI never takes. (Every other test opens instances through the factory record; the host path
// through the CocoaUI property, the class by name and the view is what `auhost editor` walks in its own tests.)

#include "au/testplug/TestBundles.h"
#include "au/ZANIQ_View.h"

#include <AppKit/AppKitTesting.h>
#include <AudioToolbox/AUTesting.h>
#include <CoreFoundation/CFTesting.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <tuple>
#include <vector>

using namespace auhost;
using namespace std::string_literals;
using namespace testbundles;

namespace
{

// The defined global symbols of a shared object's dynamic symbol table, as binutils' nm reads them.
std::set<std::string> ExportedSymbols(const std::string& path)
{
  std::set<std::string> names;
  if (FILE* nm = popen(("nm -D --defined-only --extern-only '" + path + "'").c_str(), "r"))
  {
    char address[64], type[8], name[256];
    while (std::fscanf(nm, "%63s %7s %255s", address, type, name) == 3) names.insert(name);
    EXPECT_EQ(pclose(nm), 0) << path;
  }
  return names;
}

using BundleEntry = BundleHost;
using ViewFactoryNoEditor = BundleHost;

#ifndef ZANIQ_TESTGAIN_UI_BUNDLE
#define ZANIQ_TESTGAIN_UI_BUNDLE ""
#endif

class ViewFactoryEditor : public BundleHost
{
protected:
  ViewFactoryEditor() : BundleHost(ZANIQ_TESTGAIN_UI_BUNDLE) {}
};

class BundleSynth : public BundleHost
{
protected:
  BundleSynth() : BundleHost(SynthBundlePath()) {}

  // Replaces the instance by one opened through the Component Manager entry (registered under its own subtype
  // once per process), the path that carries MIDI.
  void OpenThroughEntry()
  {
    static AudioComponent component = [this] {
      auto entry = reinterpret_cast<ZQAUComponentEntry>(mBundle->Symbol("TestSynth_Entry"));
      AudioComponentDescription desc = {kAudioUnitType_MusicDevice, FourCC("TScm"), kManufacturer, 0, 0};
      return entry ? ZQAURegisterComponentEntry(&desc, CFSTR("TestSynth (CM)"), 0x00010000, entry) : nullptr;
    }();
    ASSERT_NE(component, nullptr);
    ASSERT_NO_FATAL_FAILURE(Reopen(component));
  }
};

} // namespace

// Every bundle built exports its entry and factory functions and nothing else: a C++ symbol left visible would bind
// to another image's copy (the product, the test programs and every bundle with an editor carry the view factory).
TEST_F(BundleEntry, ExecutableExportsOnlyFactoryAndEntry)
{
  namespace fs = std::filesystem;
  std::vector<fs::path> bundles;
  for (const auto& entry : fs::directory_iterator(fs::path(GainBundlePath()).parent_path()))
    if (entry.path().extension() == ".component") bundles.push_back(entry.path());
#ifdef ZANIQ_PRODUCT_BUNDLE
  bundles.emplace_back(ZANIQ_PRODUCT_BUNDLE);
#endif
  std::set<std::string> names;
  for (const fs::path& bundle : bundles)
  {
    const std::string name = bundle.stem().string();
    names.insert(name);
    EXPECT_EQ(ExportedSymbols((bundle / "Contents" / "MacOS" / name).string()),
              (std::set<std::string>{name + "_Factory", name + "_Entry"}))
      << bundle;
  }
  for (const char* name : {"TestGain", "TestSynth", "TestGainUI"}) EXPECT_TRUE(names.count(name)) << name;
}

TEST_F(BundleEntry, ComponentManagerEntryAnswersItsSelectors)
{
  // The gain bundle's entry registered under its own subtype, once per process.
  static AudioComponent component = [this] {
    auto entry = reinterpret_cast<ZQAUComponentEntry>(mBundle->Symbol("TestGain_Entry"));
    AudioComponentDescription desc = {kAudioUnitType_Effect, FourCC("TGcm"), kManufacturer, 0, 0};
    return entry ? ZQAURegisterComponentEntry(&desc, CFSTR("TestGain (CM)"), kGainVersion, entry) : nullptr;
  }();
  ASSERT_NE(component, nullptr);
  mUnit.reset();
  const int timersBefore = ZQCFScheduledTimerCount();
  const UInt32 liveBefore = ZQAULiveInstanceCount();
  ASSERT_NO_FATAL_FAILURE(Reopen(component));
  const auto ci = reinterpret_cast<ComponentInstance>(Unit());

  // can do: the Audio Unit selectors but 8, 12 and 13, and 18, which only the factory record answers
  const std::set<long> canDo = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 14, 15, 16, 17};
  for (long selector = -4; selector <= 0x102; selector = selector == 19 ? 0x101 : selector + 1)
    EXPECT_EQ(ZQAUCallComponentInstanceWith(ci, kComponentCanDoSelect, selector), canDo.count(selector) ? 1 : 0)
      << selector;
  EXPECT_EQ(ZQAUCallComponentInstance(ci, kComponentVersionSelect, nullptr, 0), static_cast<OSStatus>(kGainVersion));
  for (SInt16 selector : {0, 8, 12, 13, 19, 0x107, 0x7FFF})
    EXPECT_EQ(ZQAUCallComponentInstance(ci, selector, nullptr, 0), badComponentSelector) << selector;
  ASSERT_OK(mUnit->Prepare(48000.0, 1, 1, 64)); // the usual calls reach the same operations
  // Closing leaves no timer and no instance behind.
  mUnit.reset();
  EXPECT_EQ(std::tuple(ZQCFScheduledTimerCount(), ZQAULiveInstanceCount()), std::tuple(timersBefore, liveBefore));
}

TEST_F(ViewFactoryNoEditor, NoViewWithoutAnEditorOrWithoutThePluginObject)
{
  NSAutoreleasePool pool;
  auto* factory = new ZANIQ_View();
  factory->init();
  // A component that answers nothing: every selector is unsupported, so its private property -101 fails.
  static AudioComponentPlugInInterface silentRecord = {[](void*, AudioComponentInstance) -> OSStatus { return noErr; },
                                                       [](void*) -> OSStatus { return noErr; },
                                                       [](SInt16) -> AudioComponentMethod { return nullptr; }, nullptr};
  const AudioComponentDescription desc = {kAudioUnitType_Effect, FourCC("Slnt"), kManufacturer, 0, 0};
  AudioComponent component = AudioComponentRegister(&desc, CFSTR("Zaniq Tests: Silent"), 1,
                                                    [](const AudioComponentDescription*) { return &silentRecord; });
  ASSERT_NE(component, nullptr);
  AudioComponentInstance silent = nullptr;
  ASSERT_EQ(AudioComponentInstanceNew(component, &silent), noErr);
  EXPECT_EQ(factory->uiViewForAudioUnit_withSize(silent, NSMakeSize(300, 200)), nullptr);
  EXPECT_EQ(factory->GetPlug(), nullptr);
  EXPECT_EQ(AudioComponentInstanceDispose(silent), noErr);
  // A unit without an editor: the factory reaches the plug-in but makes no view.
  EXPECT_EQ(factory->uiViewForAudioUnit_withSize(Unit(), NSMakeSize(0, 0)), nullptr);
  EXPECT_EQ(static_cast<void*>(factory->GetPlug()), static_cast<void*>(&Plug()));
  factory->release();
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

// The host disposes of the unit while its editor's native menu ("Mode") or message box ("Reset") is up, as a host
// closing a project from under an open menu does: the plug-in, its editor delegate and the graphics context go
// from under the modal call. The call returns to the click without touching any of them, the editor's completion
// (which would reset the gain through the gone context) is dropped, and the window keeps nothing of the editor.
TEST_F(ViewFactoryEditor, DisposedWhileAMenuOrMessageBoxIsUp)
{
  for (const bool menu : {true, false})
  {
    SCOPED_TRACE(menu ? "menu" : "message box");
    NSAutoreleasePool pool;
    if (!mUnit)
    {
      ASSERT_OK(auhost::Instance::Open(mBundle->Main().component, mUnit));
    }
    ZQAppKitReset();
    auto* factory = new ZANIQ_View();
    factory->init();
    NSView* view = factory->uiViewForAudioUnit_withSize(Unit(), NSMakeSize(300, 200));
    ASSERT_NE(view, nullptr);
    NSWindow* window = ZQAppKitMakeWindow(300, 200, 1.0);
    window->contentView()->addSubview(view);
    const UInt32 liveBefore = ZQAULiveInstanceCount();

    // The window's content view runs upwards from its bottom edge; the editor's units run down from the top.
    if (menu)
    {
      ZQAppKitScriptMenu([&](NSMenu* shown) -> NSMenuItem* {
        mUnit.reset();
        return shown->itemAtIndex(2);
      });
      ZQAppKitClick(window, NSMakePoint(215, 200 - 75));
      ASSERT_EQ(ZQAppKitMenuRecords().size(), 1u);
      EXPECT_EQ(ZQAppKitMenuRecords().back().chosenTitle, "Hard");
    }
    else
    {
      ZQAppKitScriptAlert(1, [&] { mUnit.reset(); });
      ZQAppKitClick(window, NSMakePoint(215, 200 - 120));
      ASSERT_EQ(ZQAppKitAlertRecords().size(), 1u);
      EXPECT_EQ(ZQAppKitAlertRecords().back().message, "Reset the gain?");
    }
    EXPECT_EQ(mUnit, nullptr);
    EXPECT_EQ(ZQAULiveInstanceCount(), liveBefore - 1);
    EXPECT_EQ(window->contentView()->subviews()->count(), 0u);
    EXPECT_EQ(ZQAppKitScriptErrors(), std::vector<std::string>{});
    EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0);
    factory->release();
    window->release();
  }
}

TEST_F(BundleSynth, MidiInThroughTheEntryAndWildcardOutput)
{
  EXPECT_EQ(std::tuple(mUnit->BusCount(kAudioUnitScope_Input), FormatChannelConfigs(mUnit->ChannelConfigs())),
            std::tuple(0u, "0-1 0-2 0-*"));
  // The factory record's Lookup offers no music-device methods.
  EXPECT_EQ(MusicDeviceMIDIEvent(Unit(), 0x90, 60, 127, 0), badComponentSelector);

  // The wildcard takes any channel count; the host's buffers hold what the unit rendered on every channel of the
  // format it accepted (the note's level 127 / 127 on the plug-in's two channels), never what the host left there.
  OpenThroughEntry();
  ASSERT_EQ(MusicDeviceMIDIEvent(Unit(), 0x90, 60, 127, 0), noErr);
  for (UInt32 channels : {1u, 6u})
  {
    ASSERT_OK(mUnit->Prepare(48000.0, 0, channels, 64)) << channels;
    std::vector<float> out(size_t(channels) * 64, -9.f);
    std::vector<float*> pointers(channels);
    for (UInt32 c = 0; c < channels; ++c) pointers[c] = out.data() + c * 64;
    ASSERT_EQ(mUnit->RenderBlock(64.0 * channels, 64, pointers.data(), channels), noErr);
    EXPECT_EQ(std::count(out.begin(), out.end(), 1.f), std::min(channels, 2u) * 64) << channels;
    EXPECT_EQ(std::count(out.begin(), out.end(), -9.f), 0) << channels;
  }
  EXPECT_EQ(mUnit->SetStreamFormat(kAudioUnitScope_Output, 0, 48000.0, 0).code(), kAudioUnitErr_InvalidProperty);
}
