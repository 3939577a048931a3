// The unit disposed, or its editor closed, from inside the plug-in's own calls, as a host does it: the host's run
// loop runs inside every native menu and message box the editor shows, and timers, host events and the host's own
// callbacks (property listeners, render notifications, the input and MIDI output callbacks) arrive in it.
// Whatever the plug-in still had on the stack returns without touching what the host let go of, and the host
// hears nothing more from the disposed unit. Seeded random event sequences on open editors look for orders of
// events the cases here do not name. These run under AddressSanitizer in CI; a use after free or a pure virtual
// call fails them there.

#include "support/ZaniqHost.h"
#include "au/AUEditorInfo.h"
#include "au/ZANIQ_View.h"
#include "controls/IControl.h"
#include "controls/IPopupMenuControl.h"
#include "engine/ZANIQ.h"
#include "framework/IGEditorDelegate.h"
#include "graphics/IGraphics.h"

#include <AppKit/AppKitTesting.h>
#include <AudioToolbox/AUTesting.h>
#include <AudioToolbox/MusicDevice.h>
#include <CoreMIDI/CoreMIDI.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <thread>
#include <vector>

using namespace auhost;
using namespace testbundles;
using plugin::igraphics::IControl;
using plugin::igraphics::IGraphics;

namespace
{

#ifndef ZANIQ_TESTGAIN_UI_BUNDLE
#define ZANIQ_TESTGAIN_UI_BUNDLE ""
#endif

// An editor opened as a macOS host opens it: the view factory asked for a view, the view put into a window of its
// size. Points are given in editor units, from the top left.
class HostWindow
{
public:
  explicit HostWindow(AudioUnit unit)
  {
    ZQAppKitReset();
    mFactory = new ZANIQ_View();
    mFactory->init();
    NSView* view = mFactory->uiViewForAudioUnit_withSize(unit, NSMakeSize(0, 0));
    if (!view) return;
    mHeight = view->frame().size.height;
    window = ZQAppKitMakeWindow(view->frame().size.width, mHeight, 1.0);
    window->contentView()->addSubview(view);
    ui = mFactory->GetPlug() ? mFactory->GetPlug()->GetUI() : nullptr;
    if (ui) mScale = ui->GetDrawScale();
  }
  ~HostWindow()
  {
    mFactory->release();
    if (window) window->release();
  }
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  // Points follow the view as "GUI Scale" resizes it.
  NSPoint At(float x, float y) const
  {
    const NSView* view = View();
    const CGFloat height = view ? view->frame().size.height : mHeight, scale = mScale * height / mHeight;
    return NSMakePoint(x * scale, height - y * scale);
  }
  NSPoint Centre(const IControl* control) const { return At(control->GetRECT().MW(), control->GetRECT().MH()); }
  size_t Views() const { return window ? window->contentView()->subviews()->count() : 0; }
  // The window takes the view's size, as a host's does when the editor resizes itself.
  void FitToView()
  {
    if (const NSView* view = View()) window->setContentSize(view->frame().size);
  }

  NSWindow* window = nullptr;
  IGraphics* ui = nullptr; // the editor as it was opened

private:
  const NSView* View() const
  {
    return window ? static_cast<const NSView*>(window->contentView()->subviews()->firstObject()) : nullptr;
  }

  ZANIQ_View* mFactory = nullptr;
  CGFloat mHeight = 0.0;
  float mScale = 1.f;
};

IControl* ControlOfParam(IGraphics& ui, int paramIdx)
{
  for (int i = 0; i < ui.NControls(); ++i)
    if (ui.GetControl(i)->GetParamIdx() == paramIdx) return ui.GetControl(i);
  return nullptr;
}

class DisposeProduct : public zqhost::ZaniqBundleTest
{
protected:
  void SetUp() override
  {
    ZaniqBundleTest::SetUp();
    ASSERT_OK(Instance::Open(mBundle->Main().component, mUnit));
  }
  void TearDown() override { EXPECT_EQ(ZQAppKitScriptErrors(), std::vector<std::string>{}); }

  std::unique_ptr<Instance> mUnit;
};

} // namespace

// A selector's native menu (Plugin Mode, Meter Mode): the host disposes of the unit while the menu is up; the
// menu is answered with an item or dismissed. The click returns without touching the gone control.
TEST_F(DisposeProduct, WhileASelectorsMenuIsUp)
{
  for (const int param : {ZANIQ::kPluginMode, ZANIQ::kMeterMode})
    for (const bool answer : {true, false})
    {
      SCOPED_TRACE(testing::Message() << param << (answer ? " answered" : " dismissed"));
      NSAutoreleasePool pool;
      if (!mUnit)
      {
        ASSERT_OK(Instance::Open(mBundle->Main().component, mUnit));
      }
      // The meter's selectors show on a Receiver.
      zqhost::SetParam(*mUnit, "Plugin Mode", "Receiver");
      HostWindow host(mUnit->Unit());
      ASSERT_NE(host.ui, nullptr);
      IControl* selector = ControlOfParam(*host.ui, param);
      ASSERT_NE(selector, nullptr);
      const UInt32 live = ZQAULiveInstanceCount();
      ZQAppKitScriptMenu([&](NSMenu* shown) -> NSMenuItem* {
        mUnit.reset();
        return answer ? shown->itemAtIndex(1) : nullptr;
      });
      ZQAppKitClick(host.window, host.Centre(selector));
      EXPECT_EQ(ZQAppKitMenuRecords().size(), 1u);
      EXPECT_EQ(mUnit, nullptr);
      EXPECT_EQ(ZQAULiveInstanceCount(), live - 1);
      EXPECT_EQ(host.Views(), 0u);
      EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0);
    }
}

// The About box comes up from the idle timer; the host disposes of the unit while it is up. The update check
// asked for in the same tick does not follow: no second box (nor a request to the service before it).
TEST_F(DisposeProduct, WhileTheAboutBoxIsUp)
{
  NSAutoreleasePool pool;
  HostWindow host(mUnit->Unit());
  ASSERT_NE(host.ui, nullptr);
  ASSERT_EQ(zqhost::SendCommand(*mUnit, 47), noErr);
  ASSERT_EQ(zqhost::SendCommand(*mUnit, 48), noErr);
  ZQAppKitScriptAlert(1, [&] { mUnit.reset(); });
  ZQAppKitScriptAlert(1); // what a second box would answer
  ZQAppKitAdvanceClock(0.05);
  ASSERT_EQ(ZQAppKitAlertRecords().size(), 1u);
  EXPECT_EQ(ZQAppKitAlertRecords().back().title, "About");
  EXPECT_EQ(mUnit, nullptr);
  EXPECT_EQ(host.Views(), 0u);
  EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0);
}

// The unit goes while a control holds the mouse: the gesture ends without reaching into the half-destroyed
// plug-in, and the mouse-up finds nothing.
TEST_F(DisposeProduct, WhileAControlHoldsTheMouse)
{
  NSAutoreleasePool pool;
  zqhost::SetParam(*mUnit, "Plugin Mode", "Receiver");
  HostWindow host(mUnit->Unit());
  ASSERT_NE(host.ui, nullptr);
  IControl* active = host.ui->GetControlWithTag(ZANIQ::kTagActive);
  ASSERT_NE(active, nullptr);
  const NSPoint p = host.Centre(active);
  ZQAppKitMouseEvent(host.window, NSEventTypeLeftMouseDown, p);
  ZQAppKitMouseEvent(host.window, NSEventTypeLeftMouseDragged, NSMakePoint(p.x, p.y - 3));
  ASSERT_TRUE(host.ui->ControlIsCaptured());
  mUnit.reset();
  EXPECT_EQ(host.Views(), 0u);
  ZQAppKitMouseEvent(host.window, NSEventTypeLeftMouseUp, NSMakePoint(p.x, p.y - 3));
}

// ---- The host's own callbacks ----------------------------------------------------------------------------------

// The host's side of one unit: what its callbacks heard, and the context it keeps per unit, freed with the unit.
// Callbacks registered after the disposing one get the context: reaching it once the unit is gone is a use after
// free, which the sanitizers report (and which, without them, shows in what was heard).
struct HostSide
{
  struct Context
  {
    HostSide* host;
  };

  std::unique_ptr<Instance>* unit = nullptr;
  AudioUnitRenderActionFlags disposeOn = 0; // the render notification that disposes
  std::vector<std::string> heard;
  std::unique_ptr<Context> context = std::make_unique<Context>(Context{this});

  void Dispose()
  {
    unit->reset();
    context.reset();
  }
};

void DisposingListener(void* userData, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement)
{
  auto* host = static_cast<HostSide*>(userData);
  host->heard.push_back("listener");
  host->Dispose();
}

void LaterListener(void* userData, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement)
{
  static_cast<HostSide::Context*>(userData)->host->heard.push_back("later listener");
}

const char* Phase(const AudioUnitRenderActionFlags* flags)
{
  return (*flags & kAudioUnitRenderAction_PreRender) ? "pre" : "post";
}

OSStatus DisposingNotify(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, UInt32, UInt32,
                         AudioBufferList*)
{
  auto* host = static_cast<HostSide*>(refCon);
  host->heard.push_back(Phase(flags));
  if (*flags & host->disposeOn) host->Dispose();
  return noErr;
}

OSStatus LaterNotify(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, UInt32, UInt32,
                     AudioBufferList*)
{
  static_cast<HostSide::Context*>(refCon)->host->heard.push_back(std::string("later ") + Phase(flags));
  return noErr;
}

constexpr UInt32 kBlock = 64;

// One render of bus 0 into two channels, straight through AudioUnitRender (the harness's instance may be gone
// when it returns).
OSStatus RenderOnce(AudioUnit unit, double sampleTime = 0)
{
  std::vector<float> out(2 * kBlock);
  float* channels[2] = {out.data(), out.data() + kBlock};
  BufferListStorage storage;
  AudioBufferList* list = storage.Make(kBlock, channels, 2);
  const AudioTimeStamp ts = MakeTimeStamp(sampleTime);
  AudioUnitRenderActionFlags flags = 0;
  return AudioUnitRender(unit, &flags, &ts, 0, kBlock, list);
}

// TestGain as a host opens it, through the factory record or through the Component Manager entry (registered under
// its own subtype once per process).
class DisposeTestPlug : public BundleHost
{
protected:
  struct Path
  {
    const char* name;
    AudioComponent component;
  };
  std::vector<Path> Paths() const
  {
    AudioComponentDescription desc = {kAudioUnitType_Effect, FourCC("TGc2"), kManufacturer, 0, 0};
    AudioComponent entry = AudioComponentFindNext(nullptr, &desc);
    if (!entry)
      if (auto fn = reinterpret_cast<ZQAUComponentEntry>(mBundle->Symbol("TestGain_Entry")))
        entry = ZQAURegisterComponentEntry(&desc, CFSTR("Zaniq Tests (CM)"), kGainVersion, fn);
    EXPECT_NE(entry, nullptr);
    return {{"factory", mBundle->Main().component}, {"entry", entry}};
  }
  // A fresh instance on the path, prepared for stereo blocks of kBlock; the host side listening to it.
  void Open(const Path& path, HostSide& host)
  {
    ASSERT_NO_FATAL_FAILURE(Reopen(path.component));
    ASSERT_OK(mUnit->Prepare(48000.0, 2, 2, kBlock));
    host.unit = &mUnit;
  }
};

// A property listener disposes of the unit while another is registered for the same property: the other is not
// called, and nothing of the unit is touched after. The notification comes from a host call (a property set, a
// factory preset chosen) or from the plug-in's own idle tick (a latency reported from the audio thread).
TEST_F(DisposeTestPlug, PropertyListenerDisposingTheUnit)
{
  enum class Trigger { SampleRate, Preset, IdleTick };
  for (const Path& path : Paths())
    for (const Trigger trigger : {Trigger::SampleRate, Trigger::Preset, Trigger::IdleTick})
    {
      SCOPED_TRACE(testing::Message() << path.name << " " << static_cast<int>(trigger));
      HostSide host;
      ASSERT_NO_FATAL_FAILURE(Open(path, host));
      const AudioUnit unit = Unit();
      const AudioUnitPropertyID id = trigger == Trigger::SampleRate ? kAudioUnitProperty_SampleRate
                                     : trigger == Trigger::Preset   ? kAudioUnitProperty_PresentPreset
                                                                    : kAudioUnitProperty_Latency;
      ASSERT_EQ(AudioUnitAddPropertyListener(unit, id, &DisposingListener, &host), noErr);
      ASSERT_EQ(AudioUnitAddPropertyListener(unit, id, &LaterListener, host.context.get()), noErr);
      const UInt32 live = ZQAULiveInstanceCount();
      switch (trigger)
      {
        case Trigger::SampleRate:
        {
          const Float64 rate = 96000.0;
          EXPECT_EQ(AudioUnitSetProperty(unit, id, kAudioUnitScope_Global, 0, &rate, sizeof(rate)), noErr);
          break;
        }
        case Trigger::Preset:
        {
          const AUPreset preset = {1, nullptr};
          EXPECT_EQ(AudioUnitSetProperty(unit, id, kAudioUnitScope_Global, 0, &preset, sizeof(preset)), noErr);
          break;
        }
        case Trigger::IdleTick:
        {
          plugin::PluginAU& plug = Plug();
          std::thread([&plug] { plug.SetLatency(5); }).join();
          ZQAppKitAdvanceClock(0.05);
          break;
        }
      }
      EXPECT_EQ(host.heard, std::vector<std::string>{"listener"});
      EXPECT_EQ(mUnit, nullptr);
      EXPECT_EQ(ZQAULiveInstanceCount(), live - 1);
      EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0);
    }
}

// A render notification disposes of the unit before or after the render while another is registered: the other
// is not called from then on. Disposed of before, the render stops there and says the unit is gone.
TEST_F(DisposeTestPlug, RenderNotificationDisposingTheUnit)
{
  for (const Path& path : Paths())
    for (const AudioUnitRenderActionFlags phase : {kAudioUnitRenderAction_PreRender, kAudioUnitRenderAction_PostRender})
    {
      const bool pre = phase == kAudioUnitRenderAction_PreRender;
      SCOPED_TRACE(testing::Message() << path.name << (pre ? " pre" : " post"));
      HostSide host;
      ASSERT_NO_FATAL_FAILURE(Open(path, host));
      const AudioUnit unit = Unit();
      ASSERT_EQ(AudioUnitAddRenderNotify(unit, &DisposingNotify, &host), noErr);
      ASSERT_EQ(AudioUnitAddRenderNotify(unit, &LaterNotify, host.context.get()), noErr);
      ASSERT_EQ(RenderOnce(unit, 0), noErr);
      EXPECT_EQ(host.heard, (std::vector<std::string>{"pre", "later pre", "post", "later post"}));
      host.heard.clear();
      const UInt32 live = ZQAULiveInstanceCount();
      host.disposeOn = phase;
      EXPECT_EQ(RenderOnce(unit, kBlock), pre ? OSStatus{badComponentInstance} : OSStatus{noErr});
      const std::vector<std::string> expected =
        pre ? std::vector<std::string>{"pre"} : std::vector<std::string>{"pre", "later pre", "post"};
      EXPECT_EQ(host.heard, expected);
      EXPECT_EQ(mUnit, nullptr);
      EXPECT_EQ(ZQAULiveInstanceCount(), live - 1);
      EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0);
    }
}

// The host's input callback disposes of the unit: nothing more is asked of the host (its beat and tempo, the
// post-render notification), and the render says the unit is gone.
OSStatus DisposingInput(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                        AudioBufferList* data)
{
  auto* host = static_cast<HostSide*>(refCon);
  host->heard.push_back("input");
  for (UInt32 k = 0; k < data->mNumberBuffers; ++k)
    if (data->mBuffers[k].mData) std::fill_n(static_cast<float*>(data->mBuffers[k].mData), frames, 0.f);
  if (host->disposeOn) host->Dispose();
  return noErr;
}

OSStatus BeatAndTempo(void* userData, Float64* beat, Float64* tempo)
{
  static_cast<HostSide::Context*>(userData)->host->heard.push_back("beat");
  *beat = 0.0;
  *tempo = 120.0;
  return noErr;
}

TEST_F(DisposeTestPlug, InputCallbackDisposingTheUnit)
{
  for (const Path& path : Paths())
  {
    SCOPED_TRACE(path.name);
    HostSide host;
    ASSERT_NO_FATAL_FAILURE(Open(path, host));
    const AudioUnit unit = Unit();
    const AURenderCallbackStruct input = {&DisposingInput, &host};
    ASSERT_OK(mUnit->SetProperty(kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, input));
    const HostCallbackInfo callbacks = {host.context.get(), &BeatAndTempo, nullptr, nullptr, nullptr};
    ASSERT_OK(mUnit->SetProperty(kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, callbacks));
    ASSERT_EQ(AudioUnitAddRenderNotify(unit, &LaterNotify, host.context.get()), noErr);
    ASSERT_EQ(RenderOnce(unit, 0), noErr);
    EXPECT_EQ(host.heard, (std::vector<std::string>{"later pre", "input", "beat", "later post"}));
    host.heard.clear();
    host.disposeOn = kAudioUnitRenderAction_PreRender; // any: the input callback disposes
    EXPECT_EQ(RenderOnce(unit, kBlock), badComponentInstance);
    EXPECT_EQ(host.heard, (std::vector<std::string>{"later pre", "input"}));
    EXPECT_EQ(mUnit, nullptr);
    EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0);
  }
}

// The host's time callbacks, each of which disposes of the unit when it is the one named; all of them reach the
// host through the context freed with the unit.
struct TimeHost : HostSide
{
  std::string disposer;

  static void Heard(void* userData, const char* name)
  {
    auto* host = static_cast<TimeHost*>(static_cast<HostSide::Context*>(userData)->host);
    host->heard.push_back(name);
    if (host->disposer == name) host->Dispose();
  }
};

OSStatus TimeBeat(void* userData, Float64* beat, Float64* tempo)
{
  *beat = 0.0;
  *tempo = 120.0;
  TimeHost::Heard(userData, "beat");
  return noErr;
}

OSStatus TimeTransport(void* userData, Boolean* playing, Boolean* changed, Float64* sample, Boolean* cycling,
                       Float64* cycleStart, Float64* cycleEnd)
{
  *playing = *changed = *cycling = 0;
  *sample = *cycleStart = *cycleEnd = 0.0;
  TimeHost::Heard(userData, "transport");
  return noErr;
}

OSStatus TimeMusical(void* userData, UInt32* deltaToNextBeat, Float32* numerator, UInt32* denominator,
                     Float64* downBeat)
{
  *deltaToNextBeat = 0;
  *numerator = 4.f;
  *denominator = 4;
  *downBeat = 0.0;
  TimeHost::Heard(userData, "musical");
  return noErr;
}

// A time callback disposes of the unit during the render: the callbacks after it are not called, nothing is
// processed or notified for the unit, and the render says the unit is gone.
TEST_F(DisposeTestPlug, TimeCallbackDisposingTheUnit)
{
  const std::vector<std::string> order = {"beat", "transport", "musical"};
  for (const Path& path : Paths())
    for (size_t d = 0; d < order.size(); ++d)
    {
      SCOPED_TRACE(testing::Message() << path.name << " " << order[d]);
      TimeHost host;
      ASSERT_NO_FATAL_FAILURE(Open(path, host));
      const AudioUnit unit = Unit();
      const HostCallbackInfo callbacks = {host.context.get(), &TimeBeat, &TimeMusical, &TimeTransport, nullptr};
      ASSERT_OK(mUnit->SetProperty(kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, callbacks));
      ASSERT_EQ(AudioUnitAddRenderNotify(unit, &LaterNotify, host.context.get()), noErr);
      ASSERT_EQ(RenderOnce(unit, 0), noErr);
      EXPECT_EQ(host.heard, (std::vector<std::string>{"later pre", "beat", "transport", "musical", "later post"}));
      host.heard = {};
      const UInt32 live = ZQAULiveInstanceCount();
      host.disposer = order[d];
      EXPECT_EQ(RenderOnce(unit, kBlock), badComponentInstance);
      std::vector<std::string> expected = {"later pre"};
      expected.insert(expected.end(), order.begin(), order.begin() + static_cast<std::ptrdiff_t>(d) + 1);
      EXPECT_EQ(host.heard, expected);
      EXPECT_EQ(mUnit, nullptr);
      EXPECT_EQ(ZQAULiveInstanceCount(), live - 1);
      EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0);
    }
}

// MIDI output as a host receives it, into its per-unit context.
OSStatus MidiOut(void* userData, const AudioTimeStamp*, UInt32, const MIDIPacketList* list)
{
  HostSide* host = static_cast<HostSide::Context*>(userData)->host;
  host->heard.push_back("midi " + std::to_string(list->numPackets));
  if (host->disposeOn == kAudioUnitRenderAction_OutputIsSilence) host->Dispose();
  return noErr;
}

// TestSynth through its Component Manager entry (the path that carries MIDI in), which echoes MIDI and SysEx out.
class DisposeSynth : public BundleHost
{
protected:
  DisposeSynth() : BundleHost(SynthBundlePath()) {}
  void SetUp() override
  {
    ASSERT_NO_FATAL_FAILURE(BundleHost::SetUp());
    AudioComponentDescription desc = {kAudioUnitType_MusicDevice, FourCC("TSmo"), kManufacturer, 0, 0};
    AudioComponent component = AudioComponentFindNext(nullptr, &desc);
    if (!component)
      if (auto entry = reinterpret_cast<ZQAUComponentEntry>(mBundle->Symbol("TestSynth_Entry")))
        component = ZQAURegisterComponentEntry(&desc, CFSTR("TestSynth (MIDI out)"), 0x00010000, entry);
    ASSERT_NE(component, nullptr);
    ASSERT_NO_FATAL_FAILURE(Reopen(component));
    ASSERT_OK(mUnit->Prepare(48000.0, 0, 2, kBlock));
    mHost.unit = &mUnit;
    const AUMIDIOutputCallbackStruct callback = {&MidiOut, mHost.context.get()};
    ASSERT_OK(mUnit->SetProperty(kAudioUnitProperty_MIDIOutputCallback, kAudioUnitScope_Global, 0, callback));
  }
  HostSide mHost;
};

// Disposed of by a post-render notification, the unit does not send the host the SysEx its editor queued for
// after the block.
TEST_F(DisposeSynth, NoMidiOutAfterAPostRenderDisposal)
{
  const AudioUnit unit = Unit();
  ASSERT_EQ(AudioUnitAddRenderNotify(unit, &DisposingNotify, &mHost), noErr);
  const UInt8 sysex[] = {0xF0, 0x7D, 0x30, 0xF7};
  Plug().SendSysexMsgFromUI(plugin::ISysEx(0, sysex, 4));
  ASSERT_EQ(RenderOnce(unit, 0), noErr);
  EXPECT_EQ(mHost.heard, (std::vector<std::string>{"pre", "post", "midi 1"}));
  mHost.heard.clear();
  Plug().SendSysexMsgFromUI(plugin::ISysEx(0, sysex, 4));
  mHost.disposeOn = kAudioUnitRenderAction_PostRender;
  EXPECT_EQ(RenderOnce(unit, kBlock), noErr);
  EXPECT_EQ(mHost.heard, (std::vector<std::string>{"pre", "post"}));
  EXPECT_EQ(mUnit, nullptr);
}

// The host's MIDI output callback disposes of the unit on the first of several packet lists: the rest are not
// sent.
TEST_F(DisposeSynth, NoMidiOutAfterTheMidiCallbackDisposed)
{
  std::vector<UInt8> big(20000, 0x11);
  big.front() = 0xF0;
  big.back() = 0xF7;
  ASSERT_EQ(MusicDeviceSysEx(Unit(), big.data(), UInt32(big.size())), noErr);
  ASSERT_GT(mHost.heard.size(), 1u);
  mHost.heard.resize(1);
  const std::string first = mHost.heard[0];
  mHost.heard.clear();
  mHost.disposeOn = kAudioUnitRenderAction_OutputIsSilence; // the MIDI callback disposes
  EXPECT_EQ(MusicDeviceSysEx(Unit(), big.data(), UInt32(big.size())), noErr);
  EXPECT_EQ(mHost.heard, std::vector<std::string>{first});
  EXPECT_EQ(mUnit, nullptr);
}

class DisposeEditorPlug : public BundleHost
{
protected:
  DisposeEditorPlug() : BundleHost(ZANIQ_TESTGAIN_UI_BUNDLE) {}
};

TEST_F(DisposeEditorPlug, WhileAKnobHoldsTheMouse)
{
  NSAutoreleasePool pool;
  HostWindow host(Unit());
  ASSERT_NE(host.ui, nullptr);
  ZQAppKitMouseEvent(host.window, NSEventTypeLeftMouseDown, host.At(65, 80));
  ZQAppKitMouseEvent(host.window, NSEventTypeLeftMouseDragged, host.At(65, 70));
  mUnit.reset();
  EXPECT_EQ(host.Views(), 0u);
  ZQAppKitMouseEvent(host.window, NSEventTypeLeftMouseUp, host.At(65, 70));
}

// A control of a plug-in built on the framework that closes the editor from its key or rescale handler and leaves
// the key unused, in the editor a host opened through the view factory: the context stays whole until the event
// has returned, the editor's own key handler is not asked for a key of an editor that is going, and the window
// keeps nothing of it.
TEST_F(DisposeEditorPlug, ControlClosingTheEditorFromItsKeyOrRescaleHandler)
{
  using plugin::igraphics::IKeyPress;
  using plugin::igraphics::IRECT;
  class ClosingControl : public IControl
  {
  public:
    ClosingControl(const IRECT& r, bool onKeyUp, bool onRescale) : IControl(r), mOnKeyUp(onKeyUp), mOnRescale(onRescale)
    {
    }
    void Draw(IGraphics&) override {}
    bool OnKeyDown(float, float, const IKeyPress&) override { return Close(!mOnKeyUp && !mOnRescale); }
    bool OnKeyUp(float, float, const IKeyPress&) override { return Close(mOnKeyUp); }
    void OnRescale() override { Close(mOnRescale); }
    // Armed once attached: attaching rescales the control too.
    void Arm(plugin::IEditorDelegate* editor) { mEditor = editor; }

  private:
    bool Close(bool now)
    {
      if (now && mEditor) std::exchange(mEditor, nullptr)->CloseWindow();
      return false;
    }
    plugin::IEditorDelegate* mEditor = nullptr;
    bool mOnKeyUp, mOnRescale;
  };

  for (const std::string when : {"key down", "key up", "rescale"})
  {
    SCOPED_TRACE(when);
    NSAutoreleasePool pool;
    HostWindow host(Unit());
    ASSERT_NE(host.ui, nullptr);
    int handlerKeys = 0;
    host.ui->SetKeyHandlerFunc([&handlerKeys](const IKeyPress&, bool) { return ++handlerKeys, false; });
    auto* control = new ClosingControl(IRECT(150.f, 144.f, 290.f, 156.f), when == "key up", when == "rescale");
    host.ui->AttachControl(control);
    ZQAppKitMouseEvent(host.window, NSEventTypeMouseMoved, host.At(200, 150));
    control->Arm(&Plug());
    if (when == "rescale")
      ZQAppKitSetBackingScale(host.window, 2.0);
    else
    {
      ZQAppKitKeyEvent(host.window, NSEventTypeKeyDown, 0, "a", "a");
      ZQAppKitKeyEvent(host.window, NSEventTypeKeyUp, 0, "a", "a");
    }
    EXPECT_EQ(Plug().GetUI(), nullptr);
    EXPECT_EQ(host.Views(), 0u);
    EXPECT_EQ(handlerKeys, when == "key up" ? 1 : 0);
  }
}

// ---- Random event sequences ----------------------------------------------------------------------------------

namespace
{

// Enabled leaf items of a menu and its submenus: the ones a user can choose.
void ChoosableItems(NSMenu* menu, std::vector<NSMenuItem*>& out)
{
  for (NSInteger i = 0; menu && i < menu->numberOfItems(); ++i)
  {
    NSMenuItem* item = menu->itemAtIndex(i);
    if (item->hasSubmenu())
      ChoosableItems(item->submenu(), out);
    else if (menu->ZQCanChoose(item))
      out.push_back(item);
  }
}

// Where a random sequence lets go of the unit or the editor.
enum EWhere : int
{
  kBetweenEvents = 0,
  kMenuAnswer,      // inside the answer to a native menu
  kBoxAnswer,       // inside the answer to a message box
  kListener,        // inside a property listener
  kControlDown,     // a control's mouse-down
  kPopupAnswer,     // a control's answer from the framework's popup menu
  kDelegateValue,   // a value the plug-in hands a control (its idle tick)
  kDelegateMessage, // a message the plug-in hands a control
  kWheres
};

class RandomSession;

// A control of the sequence: it closes the editor (or the host disposes of the unit) from its own handlers when the
// plan says so, and touches itself afterwards, as a control that closes the editor does.
class CloserControl : public IControl
{
public:
  CloserControl(const plugin::igraphics::IRECT& r, int paramIdx, RandomSession& session, bool popup)
      : IControl(r, paramIdx), mSession(session), mPopup(popup)
  {
    mMenu.AddItem("One");
    mMenu.AddItem("Two");
  }
  void Draw(IGraphics& g) override { g.FillRect(plugin::igraphics::IColor(255, 90, 30, 30), mRECT); }
  void OnMouseDown(float, float, const plugin::igraphics::IMouseMod&) override;
  void OnPopupMenuSelection(plugin::igraphics::IPopupMenu* menu, int valIdx) override;
  void SetValueFromDelegate(double value, int valIdx) override;
  void OnMsgFromDelegate(int msgTag, int dataSize, const void* data) override;

private:
  RandomSession& mSession;
  bool mPopup;
  plugin::igraphics::IPopupMenu mMenu;
};

// One random sequence of what a user and a host do to an open editor: clicks, drags, keys, the wheel, backing
// scale changes, frames, idle ticks, host commands, parameter and preset changes, values and messages the plug-in
// hands the controls, answers to the menus and message boxes the editor shows. At one planned point the host
// disposes of the unit or closes the editor (takes the view out of the window), or a control closes the editor:
// between two events, inside the answer to a menu or a message box, inside a property listener, or inside a
// control's handler. The rest of the sequence still goes to the window. When the random events have not reached
// the planned point, events aimed at it follow until they do; where the host really let go is recorded.
class RandomSession
{
public:
  struct Options
  {
    int events = 30;
    // Backing scale changes (the product decodes every bitmap again for the new scale).
    bool rescales = true;
    // Which points may be planned (bit per EWhere).
    unsigned wheres = (1u << kWheres) - 1;
    // The parameter the sequence's control shows.
    int closerParam = 0;
    // The editor draws its first frame before the first event.
    bool drawFirst = false;
  };

  RandomSession(uint32_t seed, EWhere where, bool dispose, std::unique_ptr<Instance>& unit, const Options& options)
      : mRng(seed), mUnit(unit), mOptions(options), mWhere(where), mDispose(dispose)
  {
  }

  void Run(HostWindow& host)
  {
    mHost = &host;
    // The framework's popup menu takes many frames to fade out and in again: its first answer is the point.
    mGoneAt = mWhere == kBetweenEvents ? Pick(mOptions.events) : mWhere == kPopupAnswer ? 0 : Pick(2);
    const plugin::igraphics::IRECT b = host.ui->GetBounds();
    mPlug = host.ui->GetDelegate();
    if (mWhere == kPopupAnswer)
    {
      host.ui->AttachPopupMenuControl();
      // Its blurred shadow is the costliest thing to draw on the CPU renderer, and beside the point here.
      static_cast<plugin::igraphics::IPopupMenuControl*>(host.ui->GetPopupMenuControl())->SetMenuShadowSize(0.f);
    }
    mCloser = new CloserControl(plugin::igraphics::IRECT(b.R - 40.f, b.B - 30.f, b.R - 5.f, b.B - 5.f),
                                mOptions.closerParam, *this, mWhere == kPopupAnswer);
    host.ui->AttachControl(mCloser, kCloserTag);
    // Where the user aims: the controls (read while the editor is sure to live), or anywhere.
    for (int i = 0; i < host.ui->NControls(); ++i) mTargets.push_back(host.Centre(host.ui->GetControl(i)));
    mSize = host.window->contentView()->frame().size;
    for (int i = 0; i < 64; ++i)
    {
      ZQAppKitScriptMenu([this](NSMenu* shown) { return AnswerMenu(shown); });
      ZQAppKitScriptAlert(1 + Pick(2), [this] { Inside(kBoxAnswer); });
    }
    for (const AudioUnitPropertyID id : {kZaniqProperty_Command, AudioUnitPropertyID(kAudioUnitProperty_PresentPreset),
                                         AudioUnitPropertyID(kAudioUnitProperty_ParameterList),
                                         AudioUnitPropertyID(kAudioUnitProperty_Latency)})
      EXPECT_EQ(AudioUnitAddPropertyListener(mUnit->Unit(), id, &Listener, this), noErr);
    if (mOptions.drawFirst) Frame();
    for (int i = 0; i < mOptions.events; ++i)
    {
      if (mWhere == kBetweenEvents && i == mGoneAt) Gone(kBetweenEvents);
      Event();
    }
    for (int i = 0; i < 60 && !mGone; ++i) Provoke();
    // A view closed under a modal loop goes on the next frame.
    ZQAppKitAdvanceClock(0.05);
  }

  bool Disposed() const { return mGone && mDispose; }
  // Where the host, or a control, really let go; -1 when nothing did.
  int GoneWhere() const { return mGoneWhere; }
  int Frames() const { return mFrames; }

  // A handler of the sequence's control ran; the control may close the editor from it.
  void Inside(EWhere where, IControl* control = nullptr)
  {
    if (mWhere != where || mGone || mAnswers++ != mGoneAt) return;
    if (control && !mDispose)
    {
      mGone = true;
      mGoneWhere = where;
      control->GetDelegate()->CloseWindow();
    }
    else
      Gone(where);
  }

private:
  static constexpr int kCloserTag = 9901;

  static void Listener(void* self, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement)
  {
    static_cast<RandomSession*>(self)->Inside(kListener);
  }

  bool Chance(double p) { return std::bernoulli_distribution(p)(mRng); }
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(mRng); }

  // Draws come one statement at a time: the order in which a call's arguments are evaluated is the compiler's.
  NSPoint Point()
  {
    if (!mTargets.empty() && Chance(0.7))
    {
      const NSPoint c = mTargets[size_t(Pick(int(mTargets.size())))];
      const int dx = Pick(7) - 3;
      const int dy = Pick(7) - 3;
      return NSMakePoint(c.x + dx, c.y + dy);
    }
    const int x = Pick(int(mSize.width));
    return NSMakePoint(x, Pick(int(mSize.height)));
  }

  // The sequence's control, where it is now: the host's window has followed the editor's size.
  NSPoint CloserPoint()
  {
    mHost->FitToView();
    return mHost->Centre(mCloser);
  }

  NSMenuItem* AnswerMenu(NSMenu* shown)
  {
    std::vector<NSMenuItem*> items;
    ChoosableItems(shown, items);
    NSMenuItem* answer = items.empty() || Chance(0.2) ? nullptr : items[size_t(Pick(int(items.size())))];
    Inside(kMenuAnswer);
    return answer;
  }

  // The host lets go: of the whole unit, or of the editor only, as closing its window does.
  void Gone(EWhere where)
  {
    if (mGone) return;
    mGone = true;
    mGoneWhere = where;
    if (mDispose)
      mUnit.reset();
    else if (NSObject* view = mHost->window->contentView()->subviews()->firstObject())
      static_cast<NSView*>(view)->removeFromSuperview();
  }

  void Tick()
  {
    if (mGone)
      ZQAppKitAdvanceClock(0.005 * (1 + Pick(20)));
    else if (mShortTicks < 7)
      ZQAppKitAdvanceClock(0.002), ++mShortTicks; // seven of them stay short of a frame
  }

  // One frame period: the editor draws what is dirty (on the CPU renderer: the costly event).
  void Frame()
  {
    ZQAppKitAdvanceClock(1.0 / 60.0 + 1e-4);
    if (mGone || !mUnit) return;
    // Asking for the editor's state waits until the frames drawn so far are presented.
    AUEditorInfo info = {};
    UInt32 size = sizeof(info);
    ZQFrame f;
    if (AudioUnitGetProperty(mUnit->Unit(), kAUProperty_EditorInfo, kAudioUnitScope_Global, 0, &info, &size) == noErr &&
        ZQAppKitLastFrame(mHost->window, &f))
      mFrames = int(f.presented);
  }

  // The plug-in's side: a value from the host for the control's parameter (handed over on the idle tick), or a
  // message to the control.
  void PluginHandsOver(bool message)
  {
    if (!mUnit || !mPlug) return;
    if (message)
    {
      const char data[4] = {1, 2, 3, 4};
      mPlug->SendControlMsgFromDelegate(kCloserTag, 1, sizeof(data), data);
      return;
    }
    const plugin::IParam* param = mPlug->GetParam(mOptions.closerParam);
    const double v = param ? param->FromNormalized(Pick(101) / 100.0) : 0.0;
    (void)AudioUnitSetParameter(mUnit->Unit(), AudioUnitParameterID(mOptions.closerParam), kAudioUnitScope_Global, 0,
                                AudioUnitParameterValue(v), 0);
    ZQAppKitAdvanceClock(0.021);
  }

  void HostCommand()
  {
    // The host asks for the About box, which the next tick shows (a unit without one ignores the command but its
    // listeners hear of it), or chooses the first factory preset.
    if (mUnit && Chance(0.5))
      (void)zqhost::SendCommand(*mUnit, 47);
    else if (mUnit)
    {
      const AUPreset preset = {0, nullptr};
      (void)AudioUnitSetProperty(mUnit->Unit(), kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &preset,
                                 sizeof(preset));
    }
  }

  void Event()
  {
    static const char* const kKeys[] = {"a", "z", "1", "space", "return", "escape", "tab", "backspace", "up", "down"};
    NSWindow* w = mHost->window;
    const int kind = Pick(18);
    const bool pointed = kind <= 7 || kind == 9;
    const NSPoint p = pointed ? Point() : NSMakePoint(0, 0);
    switch (kind)
    {
      case 0:
      case 1: ZQAppKitClick(w, p, 0, 1 + Pick(2)); break;
      case 2: ZQAppKitClick(w, p, NSEventModifierFlagControl * Pick(2), 1, true); break;
      case 3:
      case 4: ZQAppKitMouseEvent(w, NSEventTypeLeftMouseDown, p, NSEventModifierFlagOption * Pick(2)); break;
      case 5: ZQAppKitMouseEvent(w, NSEventTypeLeftMouseDragged, p); break;
      case 6: ZQAppKitMouseEvent(w, NSEventTypeLeftMouseUp, p); break;
      case 7: ZQAppKitMouseEvent(w, NSEventTypeMouseMoved, p); break;
      case 8: ZQAppKitPressKey(w, kKeys[Pick(int(std::size(kKeys)))]); break;
      case 9: ZQAppKitScroll(w, p, Pick(7) - 3.0); break;
      case 10:
        if (mOptions.rescales) ZQAppKitSetBackingScale(w, 1.0 + Pick(2));
        break;
      case 11:
        HostCommand();
        Tick();
        break;
      case 12: PluginHandsOver(Chance(0.5)); break;
      case 13: Frame(); break;
      default: Tick(); break;
    }
  }

  // An event aimed at the planned point.
  void Provoke()
  {
    NSWindow* w = mHost->window;
    switch (mWhere)
    {
      case kMenuAnswer:
      case kBoxAnswer:
        // The controls in turn: some show a menu or a box; a product shows its About box on the next tick.
        ZQAppKitClick(w, mTargets[size_t(mProvoked) % mTargets.size()]);
        if (mWhere == kBoxAnswer && mUnit && mProvoked % 4 == 3)
        {
          (void)zqhost::SendCommand(*mUnit, 47);
          ZQAppKitAdvanceClock(0.021);
        }
        ++mProvoked;
        break;
      case kListener: HostCommand(); break;
      case kControlDown: ZQAppKitClick(w, CloserPoint()); break;
      case kPopupAnswer:
        // The menu opens, fades in and is answered where its first row shows.
        if (auto* popup = static_cast<plugin::igraphics::IPopupMenuControl*>(mHost->ui->GetPopupMenuControl());
            popup && popup->GetState() == plugin::igraphics::IPopupMenuControl::kExpanded)
        {
          const plugin::igraphics::IRECT* cell = popup->GetPanel(0) ? popup->GetPanel(0)->GetCell(0) : nullptr;
          ZQAppKitClick(w, cell ? mHost->At(cell->MW(), cell->MH()) : CloserPoint());
        }
        else if (popup && popup->GetState() == plugin::igraphics::IPopupMenuControl::kCollapsed)
          ZQAppKitClick(w, CloserPoint());
        else if (popup)
        {
          // Its fades run on the wall clock: each step ends here as if its time had passed, then a frame.
          popup->OnEndAnimation();
          Frame();
        }
        break;
      case kDelegateValue: PluginHandsOver(false); break;
      case kDelegateMessage: PluginHandsOver(true); break;
      default: Event(); break;
    }
  }

  std::mt19937 mRng;
  std::unique_ptr<Instance>& mUnit;
  const Options mOptions;
  const EWhere mWhere;
  const bool mDispose;
  HostWindow* mHost = nullptr;
  plugin::IEditorDelegate* mPlug = nullptr; // read only while the unit lives
  std::vector<NSPoint> mTargets;
  CloserControl* mCloser = nullptr; // lives while the editor does
  NSSize mSize = NSMakeSize(0, 0);
  bool mGone = false;
  int mGoneAt = -1;
  int mGoneWhere = -1;
  int mAnswers = 0;
  int mShortTicks = 0;
  int mProvoked = 0;
  int mFrames = 0;
};

void CloserControl::OnMouseDown(float, float, const plugin::igraphics::IMouseMod&)
{
  if (mPopup)
    GetUI()->CreatePopupMenu(this, mMenu, mRECT);
  else
    mSession.Inside(kControlDown, this);
  SetDirty(false);
}

void CloserControl::OnPopupMenuSelection(plugin::igraphics::IPopupMenu* menu, int valIdx)
{
  if (menu) mSession.Inside(kPopupAnswer, this);
  IControl::OnPopupMenuSelection(menu, valIdx);
}

void CloserControl::SetValueFromDelegate(double value, int valIdx)
{
  mSession.Inside(kDelegateValue, this);
  IControl::SetValueFromDelegate(value, valIdx);
}

void CloserControl::OnMsgFromDelegate(int, int, const void*)
{
  mSession.Inside(kDelegateMessage, this);
  SetDirty(false);
}

// Script errors other than an answer naming a button the message box does not have (answers are drawn before
// the box is known).
std::vector<std::string> FaultErrors()
{
  std::vector<std::string> errors;
  for (const std::string& e : ZQAppKitScriptErrors())
    if (e.rfind("alert has no button", 0) != 0) errors.push_back(e);
  return errors;
}

// One seeded sequence on a fresh instance of `component` with its editor open, letting go at the point the seed
// plans (where, and whether the unit or only the editor goes, in turn). Afterwards the host let go exactly there,
// nothing of the unit is left: no view in the window, the instance count back, no timer running. Returns the
// frames the editor presented; reached, when given, gets where the host let go and whether it disposed.
int RunSeed(AudioComponent component, uint32_t seed, RandomSession::Options options, std::unique_ptr<Instance>& unit,
            std::set<std::pair<int, bool>>* reached = nullptr)
{
  std::vector<EWhere> plans;
  for (int w = 0; w < kWheres; ++w)
    if (options.wheres & (1u << w)) plans.push_back(EWhere(w));
  const EWhere where = plans[seed % plans.size()];
  const bool dispose = (seed / plans.size()) % 2 == 1;
  options.drawFirst = options.drawFirst || (seed / plans.size() / 2) % 2 == 1;
  SCOPED_TRACE(testing::Message() << "seed " << seed << " where " << where << (dispose ? " dispose" : " close")
                                  << (options.drawFirst ? " drawn" : ""));
  NSAutoreleasePool pool;
  const UInt32 live = ZQAULiveInstanceCount();
  int frames = 0;
  EXPECT_OK(Instance::Open(component, unit));
  if (!unit) return 0;
  {
    HostWindow host(unit->Unit());
    EXPECT_NE(host.ui, nullptr);
    if (!host.ui) return 0;
    RandomSession session(seed, where, dispose, unit, options);
    session.Run(host);
    EXPECT_EQ(session.GoneWhere(), int(where)) << "the planned point was not reached";
    EXPECT_EQ(host.Views(), 0u);
    EXPECT_EQ(unit == nullptr, session.Disposed());
    if (reached && session.GoneWhere() >= 0) reached->emplace(session.GoneWhere(), session.Disposed());
    frames = session.Frames();
    unit.reset();
    EXPECT_EQ(FaultErrors(), std::vector<std::string>{});
  }
  EXPECT_EQ(ZQAULiveInstanceCount(), live);
  EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0);
  ZQAppKitReset();
  return frames;
}

} // namespace

// Every point, with the unit disposed of and with only the editor closed, with and without a first frame drawn
// at once, twice over.
TEST_F(DisposeEditorPlug, RandomSequences)
{
  mUnit.reset();
  int drew = 0;
  for (uint32_t seed = 0; seed < 64; ++seed)
    drew += RunSeed(mBundle->Main().component, seed, {.events = 30}, mUnit) > 0;
  EXPECT_GE(drew, 32) << "sequences in which the editor drew before the host let go";
}

// The product's editor takes long to open and to rescale (its bitmaps are decoded each time): one sequence for
// each point its editor can reach without a framework popup menu, with the unit disposed of and with only the
// editor closed, at one scale.
TEST_F(DisposeProduct, RandomSequences)
{
  mUnit.reset();
  const unsigned wheres = (1u << kBetweenEvents) | (1u << kBoxAnswer) | (1u << kControlDown) |
                          (1u << kDelegateValue) | (1u << kDelegateMessage);
  std::set<std::pair<int, bool>> reached;
  for (uint32_t seed = 0; seed < 10; ++seed)
    RunSeed(mBundle->Main().component, seed,
            {.events = 60, .rescales = false, .wheres = wheres, .closerParam = ZANIQ::kToggleTooltips, .drawFirst = true},
            mUnit, &reached);
  EXPECT_EQ(reached.size(), 10u) << "each of the five points, by disposal and by close";
}
