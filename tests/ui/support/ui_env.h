#pragma once

// Test support for the ZANIQ editor, one header for the three rigs the tests need:
// - uitest: a real ZANIQ whose editor opens with its real layout and the bundle's bitmaps on the scripted
//   platform (ScriptedGraphics);
// - testsupport::MenuZANIQ: the product's menu controls alone, at places of their own;
// - qnrig: single product controls on a plug-in double that records what they send.

#include "engine/support/editor_env.h"
#include "framework/IParam.h"
#include "graphics/IGraphics.h"
#include "support/ScriptedGraphics.h"
#include "ui/IBControlsQN.h"
#include "ui/IBInfoMenuQN.h"
#include "ui/IBPopupMenuQN.h"
#include "ui/IBUpdateControlQN.h"
#include "ui/IBValueControlsQN.h"

#include <CoreFoundation/CFTesting.h>

#include <string>
#include <vector>

namespace uitest
{
using namespace plugin::igraphics;
using plugin::igraphics::test::ScriptedGraphics;

// A ZANIQ with its real layout, opened on the scripted platform. Protected engine values are reachable for the
// read-out tests.
class UIZANIQ : public ZANIQ
{
public:
  explicit UIZANIQ(std::string resourceDir, bool drawReady = true)
      : ZANIQ(plugin::InstanceInfo{}), mResourceDir(std::move(resourceDir))
  {
    SetMakeGraphicsFunc([this, drawReady]() -> IGraphics* {
      const float scale = static_cast<float>(GetMirror(kGUIScale));
      ScriptedGraphics* g = nullptr;
      if (drawReady)
        g = new BoxGraphics(*this, kEditorBaseWidth, kEditorBaseHeight, 60, scale);
      else
        g = new NotReadyGraphics(*this, kEditorBaseWidth, kEditorBaseHeight, 60, scale);
      g->resourceDir = mResourceDir;
      // Bitmaps stay in the process-wide cache while another editor is open: none may count into this one.
      g->deleteCounter = nullptr;
      return g;
    });
  }
  ~UIZANIQ() override { CloseWindow(); }

  void OpenEditor() { (void)OpenWindow(nullptr); }
  IControl* Ctl(EEditorControl which) const { return GetEditorControl(which); }

  // Sets parameter idx to a real value as the editor does.
  void Change(int idx, double value)
  {
    GetParam(idx)->Set(value);
    OnParamChange(idx, plugin::kUI, -1);
  }
  void Command(int code) { OnParamChange(code, plugin::kUI, -1); }

  // Engine values the read-outs show (linear).
  struct Meter
  {
    double linkGain = 1.0, preGain = 1.0, preRatio = 1.0, matchGain = 1.0, gainToMatch = 1.0;
    double preLevel = 0.0, preMax = 0.0, postLevel = 0.0;
    bool receiving = true;
  };
  void SetMeter(const Meter& m)
  {
    mLinkGain.store(m.linkGain);
    mPreGain.store(m.preGain);
    mPreRatio.store(m.preRatio);
    mMatchGain.store(m.matchGain);
    mGainToMatch.store(m.gainToMatch);
    mPreFXLevel.store(m.preLevel);
    mPreFXMax.store(m.preMax);
    mPostFXLevel.store(m.postLevel);
    mReceiving.store(m.receiving);
  }

  // Message boxes shown, as "caption|text".
  std::vector<std::string> boxes;

  class BoxGraphics : public ScriptedGraphics
  {
  public:
    BoxGraphics(UIZANIQ& z, int w, int h, int fps, float scale) : ScriptedGraphics(z, w, h, fps, scale), mZ(z) {}
    EMsgBoxResult ShowMessageBox(const char* text, const char* caption, EMsgBoxType type,
                                 IMsgBoxCompletionHandlerFunc f) override
    {
      mZ.boxes.push_back(std::string(caption ? caption : "") + "|" + (text ? text : ""));
      return ScriptedGraphics::ShowMessageBox(text, caption, type, f);
    }

  private:
    UIZANIQ& mZ;
  };

  class NotReadyGraphics : public ScriptedGraphics
  {
  public:
    using ScriptedGraphics::ScriptedGraphics;
    bool GetDrawContextReady() const override { return false; }
  };

private:
  std::string mResourceDir;
};

// One click through the graphics context, as the platform delivers it.
inline void Click(IGraphics& g, float x, float y, const IMouseMod& mod = IMouseMod(true))
{
  g.OnMouseDown({IMouseInfo{x, y, 0.f, 0.f, mod}});
  g.OnMouseUp({IMouseInfo{x, y, 0.f, 0.f, mod}});
}

// Fixture: the engine's editor fixture (a temporary home, a clean link registry, no network) and a virtual clock
// so that idle ticks run only when a test advances it.
class EditorTest : public testsupport::EditorTest
{
protected:
  void SetUp() override
  {
    testsupport::EditorTest::SetUp();
    ZQCFUseVirtualClock(true);
  }
  void TearDown() override
  {
    mEditors.clear();
    ZQCFUseVirtualClock(false);
    testsupport::EditorTest::TearDown();
  }

  UIZANIQ& Make(bool drawReady = true)
  {
    mEditors.push_back(std::make_unique<UIZANIQ>(ZANIQ_BUNDLE_RESOURCES, drawReady));
    return *mEditors.back();
  }
  // A Receiver with its editor open: expert view, "RMS Summed" metering.
  UIZANIQ& OpenReceiver()
  {
    UIZANIQ& z = Make();
    z.Change(ZANIQ::kPluginMode, 1);
    z.Change(ZANIQ::kGUIMode, 0);
    z.Change(ZANIQ::kMeterMode, 0);
    z.OpenEditor();
    return z;
  }

  std::vector<std::unique_ptr<UIZANIQ>> mEditors;
};

} // namespace uitest

// The product's menu controls on a ZANIQ with a scripted editor: the plug-in menu, the Link-ID selector and the
// update indicator, each at a place of its own. Every index the controls send to
// the plug-in is recorded before the plug-in acts on it.

namespace testsupport
{

// A stacked two-frame bitmap of 20 × 20-point frames; no image, so a rescale keeps it.
inline plugin::igraphics::IBitmap TwoFrames(const char* name = "")
{
  plugin::igraphics::IBitmap b;
  b.W = 20;
  b.H = 40;
  b.N = 2;
  b.mResourceName.Set(name);
  return b;
}

using MenuGraphics = plugin::igraphics::test::ScriptedGraphics;

class MenuZANIQ : public EditorZANIQ
{
public:
  static constexpr const char* kChangelog = "https://changelog.invalid/products/ZANI#Changelog";

  // Places of the controls (top-left corners).
  static constexpr float kInfoX = 4.f, kInfoY = 7.f, kLinkX = 100.f, kLinkY = 100.f, kUpdateX = 300.f,
                         kUpdateY = 7.f;

  explicit MenuZANIQ(std::string dataFolder = "/tmp/zaniq-data") : mDataFolder(std::move(dataFolder))
  {
    SetMakeGraphicsFunc([this] { return new MenuGraphics(*this, kEditorBaseWidth, kEditorBaseHeight); });
    SetLayoutFunc([this](plugin::igraphics::IGraphics* g) {
      using namespace plugin::igraphics;
      // The background's place: index 0 never takes the mouse-over.
      g->AttachControl(new test::RecordingControl(IRECT(0.f, 600.f, 1.f, 601.f)));
      info = new IBInfoMenuQN(this, int(kInfoX), int(kInfoY), TwoFrames("pluginmenu.png"), 47, 48,
                              mDataFolder.c_str(), kChangelog, kToggleTooltips, kOnlineUpdateCheck, -1, -1, 57, 58,
                              {kDisableStorageGainDiff}, {52}, {"Save to default"}, {GetExtraParam(0)},
                              GetExtraParamsCommandBase());
      g->AttachControl(info);
      IText text(12.f, IColor(255, 20, 40, 60));
      link = new IBPopupMenuQNSpecial(int(kLinkX), int(kLinkY), kLinkID, TwoFrames("simple_parameter1.png"), text,
                                      GetSenderPresent().data(), GetReceiverPresent().data(), kNumLinkSlots, 65);
      g->AttachControl(link);
      update = new IBUpdateControlQN(int(kUpdateX), int(kUpdateY), TwoFrames("iconupdateavailable.png"), 48);
      g->AttachControl(update);
    });
  }

  void OnParamChange(int paramIdx, plugin::EParamSource source, int sampleOffset) override
  {
    if (source == plugin::kUI) sent.push_back(paramIdx);
    EditorZANIQ::OnParamChange(paramIdx, source, sampleOffset);
  }
  using EditorZANIQ::OnParamChange;

  int SentCount(int idx) const
  {
    int n = 0;
    for (int i : sent) n += i == idx;
    return n;
  }
  MenuGraphics* G() const { return static_cast<MenuGraphics*>(GetUI()); }

  void Click(float x, float y, plugin::igraphics::IMouseMod mod = plugin::igraphics::IMouseMod(true))
  {
    uitest::Click(*G(), x, y, mod);
  }

  std::vector<int> sent; // indices sent from the editor (source kUI), in order
  plugin::igraphics::IBInfoMenuQN* info = nullptr;
  plugin::igraphics::IBPopupMenuQNSpecial* link = nullptr;
  plugin::igraphics::IBUpdateControlQN* update = nullptr;

private:
  std::string mDataFolder;
};

class MenuTest : public EditorTest
{
protected:
  MenuZANIQ& MakeMenuEditor(std::string dataFolder = "/tmp/zaniq-data")
  {
    auto z = std::make_unique<MenuZANIQ>(std::move(dataFolder));
    MenuZANIQ& ref = *z;
    mInstances.push_back(std::move(z));
    ref.OpenEditor();
    return ref;
  }
};

} // namespace testsupport

// Single product controls: a plug-in double that records every command and parameter change the editor sends,
// with a small parameter table shaped like the product's, and a scripted graphics context that records the
// shapes and texts drawn, with their colours.

namespace qnrig
{

using namespace plugin::igraphics;
using uitest::Click;
using plugin::EParamSource;
using plugin::IParam;

// Parameters of the double, named after the product's parameters they stand for.
enum : int
{
  kMatchMode = 0, // enum of 3
  kDrive = 1,     // -24..24 dB, step 0.1, not stepped
  kLatency = 2,   // int 0..1000 "smp"
  kNegZero = 3,   // -1..1 with a display function that prints "%.1f"
  kNumParams
};

class PlugDouble : public test::RecordingDelegate
{
public:
  PlugDouble() : RecordingDelegate(kNumParams)
  {
    GetParam(kMatchMode)->InitEnum("Match Mode", 0, 3, "", 0, "", "Manual", "Auto", "Gain Stage");
    GetParam(kDrive)->InitDouble("Drive FX", 0.0, -24.0, 24.0, 0.1, "dB");
    GetParam(kLatency)->InitInt("Latency Compensation", 0, 0, 1000, "smp");
    GetParam(kNegZero)->InitDouble("Neg", 0.0, -1.0, 1.0, 0.01, "", 0, "", IParam::ShapeLinear(), plugin::kUnitCustom,
                                   [](double v, Util_String& s)
                                   {
                                     char buf[32];
                                     std::snprintf(buf, sizeof(buf), "%.1f", v);
                                     s.Set(buf);
                                   });
    SetGraphicsReady(true);
  }

  struct Change
  {
    int idx;
    EParamSource source;
    int offset;
  };
  std::vector<Change> changes; // OnParamChange calls: commands sent by controls

  using RecordingDelegate::OnParamChange;
  void OnParamChange(int idx, EParamSource source, int offset) override { changes.push_back({idx, source, offset}); }

  // The command codes sent, in order.
  std::vector<int> Commands() const
  {
    std::vector<int> out;
    for (const auto& c : changes)
      out.push_back(c.idx);
    return out;
  }
  double Real(int idx) const { return GetParam(idx)->Value(); }
};

// Records shapes and texts with their colours; everything else as the scripted platform does.
class QNGraphics : public test::ScriptedGraphics
{
public:
  using ScriptedGraphics::ScriptedGraphics;

  struct Shape
  {
    std::string op;
    IRECT r;
    IColor color;
    std::string text;
  };
  std::vector<Shape> shapes; // Text, Bitmap

  void DoDrawText(const IText& text, const char* str, const IRECT& r, const IBlend*) override
  {
    shapes.push_back({"Text", r, text.mFGColor, str});
  }
  void DrawBitmap(const IBitmap& bitmap, const IRECT& r, int srcX, int srcY, const IBlend* blend) override
  {
    shapes.push_back({"Bitmap", r, IColor(), std::to_string(srcX) + "," + std::to_string(srcY)});
    ScriptedGraphics::DrawBitmap(bitmap, r, srcX, srcY, blend);
  }
  // The shapes drawing c produces, from a clean record.
  std::vector<Shape> DrawOf(IControl* c)
  {
    shapes.clear();
    c->Draw(*this);
    return shapes;
  }
};

// The plug-in double Plug with its editor window open on a Graphics context of 424 × 610, for each test.
template <class Plug, class Graphics> struct EditorRig : ::testing::Test
{
  Plug plug;
  Graphics* g = nullptr; // owned by the delegate while its window is open
  std::vector<std::unique_ptr<APIBitmap>> images;

  void SetUp() override
  {
    plug.SetSizeConstraints(100, 2000, 100, 2000);
    plug.SetMakeGraphicsFunc([this] { return new Graphics(plug, 424, 610); });
    (void)plug.OpenWindow(nullptr);
    g = static_cast<Graphics*>(plug.GetUI());
  }
  // The context and its controls go before the images they draw.
  void TearDown() override { plug.CloseWindow(); }

  // A bitmap of w × h points with its frames stacked vertically (or side by side).
  IBitmap Bitmap(int w, int h, int frames, bool horizontal = false)
  {
    images.push_back(std::make_unique<APIBitmap>(1, w, h, 1.f, 1.f));
    return IBitmap(images.back().get(), frames, horizontal, "");
  }
  template <class C> C* Attach(C* c, int tag = -1) { return static_cast<C*>(g->AttachControl(c, tag)); }
  // The host side's answer to a value sent by the editor: the parameter's value as the controls see it.
  void SetParam(int idx, double real)
  {
    plug.GetParam(idx)->Set(real);
    plug.SendParameterValueFromDelegate(idx, real, false);
  }
};

using Rig = EditorRig<PlugDouble, QNGraphics>;

inline const IMouseMod kNone{true};
inline const IMouseMod kShift{true, false, true};
inline const IMouseMod kCtrl{true, false, false, true};
inline const IMouseMod kAlt{true, false, false, false, true};

} // namespace qnrig
