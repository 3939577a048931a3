// The ZANIQ editor in process, on the scripted platform: what the `auhost editor` walk cannot see — the control
// list behind the pictures, opening and closing, snapshots and the command hooks.

#include "support/ui_env.h"

#include <algorithm>
#include <set>
#include <thread>

using namespace uitest;

namespace
{

// The controls bound to paramIdx, in list order.
std::vector<IControl*> BoundTo(IGraphics& g, int paramIdx)
{
  std::vector<IControl*> out;
  for (int i = 0; i < g.NControls(); ++i)
    if (g.GetControl(i)->LinkedToParam(paramIdx) >= 0) out.push_back(g.GetControl(i));
  return out;
}

} // namespace

TEST_F(EditorTest, RememberedControlsAndALayoutTwiceAddsNothing)
{
  UIZANIQ& z = OpenReceiver();
  IGraphics& g = *z.GetUI();
  ASSERT_TRUE(z.IsLayoutDone());
  EXPECT_EQ(g.NControls(), 70);
  ASSERT_NE(g.GetCornerResizer(), nullptr);
  EXPECT_LT(g.GetControlIdx(g.GetCornerResizer()), 0); // not in the list
  // The read-outs let clicks through to what lies below them.
  EXPECT_NE(g.GetMouseControlIdx(130, 440), z.GetEditorControlIndex(ZANIQ::kCtlPostDiffReadout));

  // The remembered positions are distinct places in the list, and the engine's commands use the same ones.
  std::vector<int> before;
  for (int w = 0; w < ZANIQ::kNumEditorControls; ++w)
    before.push_back(z.GetEditorControlIndex(ZANIQ::EEditorControl(w)));
  EXPECT_EQ(std::set<int>(before.begin(), before.end()).size(), before.size());
  EXPECT_GE(*std::min_element(before.begin(), before.end()), 0);
  EXPECT_EQ(z.GetEditorControlPositions().snapshotSelector, z.GetEditorControlIndex(ZANIQ::kCtlSnapshots));

  z.LayoutUI(z.GetUI());
  z.GetUI()->Resize(424, 610, 1.5f, true); // layout-on-resize asks again
  EXPECT_EQ(z.GetUI()->NControls(), 70);
  for (int w = 0; w < ZANIQ::kNumEditorControls; ++w)
    EXPECT_EQ(z.GetEditorControlIndex(ZANIQ::EEditorControl(w)), before[size_t(w)]);
  // Menu indices past the eleven fixed scales fall back to 100 %.
  for (unsigned i : {11u, 0xFFFFFFFFu}) EXPECT_DOUBLE_EQ(z.GetGUIScaleForIndex(i), 1.0) << i;
}

TEST_F(EditorTest, DrawContextNotReadyMeansNoEditor)
{
  UIZANIQ& z = Make(false);
  z.OpenEditor();
  EXPECT_EQ(z.GetUI()->NControls(), 0);
  EXPECT_FALSE(z.HasUI());
  // Every editor operation is then a no-op.
  z.UpdateControlLayout();
  z.EnableModeControls(true);
  z.UpdateMeterDisplays();
  EXPECT_EQ(z.GetUI()->NControls(), 0);
}

TEST_F(EditorTest, SnapshotMarksFollowStoredFlagsAndAClickSelectsBeforeTheRecall)
{
  UIZANIQ& z = OpenReceiver();
  auto* snapshots = dynamic_cast<IBRadioButtonsControl4Special*>(z.Ctl(ZANIQ::kCtlSnapshots));
  ASSERT_NE(snapshots, nullptr);
  z.Change(ZANIQ::kSnapShot, 2);
  z.Command(63); // store
  EXPECT_TRUE(snapshots->GetFilled(2));
  z.Command(62); // clear
  EXPECT_FALSE(snapshots->GetFilled(2));
  z.Change(ZANIQ::kStoreSetFlag0 + 3, 1); // snapshot 2's flag set by a preset
  EXPECT_TRUE(snapshots->GetFilled(1));

  // What was stored in 3 comes back on clicking 3.
  IGraphics& g = *z.GetUI();
  auto clickSnapshot = [&](int k) { Click(g, snapshots->GetButtonRect(k).MW(), snapshots->GetButtonRect(k).MH()); };
  clickSnapshot(2);
  z.Change(ZANIQ::kDriveFX, 3.0);
  Click(g, z.Ctl(ZANIQ::kCtlStore)->GetRECT().MW(), z.Ctl(ZANIQ::kCtlStore)->GetRECT().MH());
  z.Change(ZANIQ::kDriveFX, -5.0);
  clickSnapshot(0); // empty: nothing recalled
  EXPECT_EQ(z.GetMirror(ZANIQ::kDriveFX), -5.0);
  clickSnapshot(2);
  EXPECT_EQ(z.GetMirror(ZANIQ::kDriveFX), 3.0);
}

TEST_F(EditorTest, HostChangeReachesBothBoundControls)
{
  UIZANIQ& z = OpenReceiver();
  for (int p : {ZANIQ::kDriveFX, ZANIQ::kPrePostFX})
  {
    const plugin::IParam* param = z.GetParam(p);
    ASSERT_EQ(z.SetParameter(AudioUnitParameterID(p), kAudioUnitScope_Global, 0, 1.f, 0), noErr);
    (void)ZQCFAdvanceClock(0.05); // the idle tick hands the value to the editor
    const std::vector<IControl*> bound = BoundTo(*z.GetUI(), p);
    ASSERT_EQ(bound.size(), 2u);
    for (IControl* c : bound) EXPECT_NEAR(c->GetValue(), param->ToNormalized(1.0), 1e-6) << p;
  }
}

// Closing the editor forgets the Link-ID selector: nothing reaches the deleted controls (the sanitizers watch this).
TEST_F(EditorTest, OpenPushesValuesAndCloseForgetsTheSelector)
{
  UIZANIQ& z = Make();
  z.Change(ZANIQ::kPluginMode, 1);
  z.Change(ZANIQ::kMatchMode, 2);
  z.OpenEditor();
  EXPECT_DOUBLE_EQ(z.Ctl(ZANIQ::kCtlMatchMode)->GetValue(), z.GetParam(ZANIQ::kMatchMode)->ToNormalized(2.0));
  auto* selector = dynamic_cast<IBPopupMenuQNSpecial*>(z.GetLinkIDSelector());
  ASSERT_NE(selector, nullptr);
  EXPECT_EQ(selector->GetOwnRole(), 1);

  z.CloseWindow();
  EXPECT_EQ(z.GetLinkIDSelector(), nullptr);
  z.Command(65);
  z.Change(ZANIQ::kPluginMode, 0);
  z.SetLinkMenuMode(1);
  z.UpdateControlLayout();
  z.EnableModeControls(true);
  z.UpdateMeterDisplays();
  z.OnIdle();

  // The next opening builds a fresh editor and finds the Sender role.
  z.OpenEditor();
  selector = dynamic_cast<IBPopupMenuQNSpecial*>(z.GetLinkIDSelector());
  ASSERT_NE(selector, nullptr);
  EXPECT_EQ(selector->GetOwnRole(), 0);
  EXPECT_EQ(z.GetUI()->NControls(), 70);
}

// A control may close the editor while it takes its first values: the plug-in must not count that editor open.
TEST_F(EditorTest, AnEditorClosedWhileItOpensIsNotCountedOpen)
{
  class ClosingControl : public IControl
  {
  public:
    ClosingControl(bool& close) : IControl(IRECT(0.f, 0.f, 10.f, 10.f), ZANIQ::kMatchMode), mClose(close) {}
    void Draw(IGraphics&) override {}
    void SetValueFromDelegate(double value, int valIdx) override
    {
      IControl::SetValueFromDelegate(value, valIdx);
      if (mClose) GetDelegate()->CloseWindow();
    }

  private:
    bool& mClose;
  };
  class ClosingZANIQ : public UIZANIQ
  {
  public:
    using UIZANIQ::UIZANIQ;
    void LayoutUI(IGraphics* graphics) override
    {
      UIZANIQ::LayoutUI(graphics);
      graphics->AttachControl(new ClosingControl(close));
    }
    bool close = true;
  };

  ClosingZANIQ z(ZANIQ_BUNDLE_RESOURCES);
  EXPECT_EQ(z.OpenWindow(nullptr), nullptr);
  EXPECT_EQ(z.GetUI(), nullptr);
  EXPECT_FALSE(z.IsUIOpen());

  z.close = false;
  EXPECT_NE(z.OpenWindow(nullptr), nullptr);
  EXPECT_TRUE(z.IsUIOpen());
  z.CloseWindow();
  EXPECT_FALSE(z.IsUIOpen());
}

// An editor opened during a latency measurement is locked like the one that started it, until the measurement ends.
TEST_F(EditorTest, AnEditorOpenedDuringAMeasurementIsLocked)
{
  UIZANIQ& z = OpenReceiver();
  z.Command(61);
  z.CloseWindow();
  z.OpenEditor();
  IControl* latency = z.Ctl(ZANIQ::kCtlLatencyField);
  for (IControl* c : {latency, z.GetLinkIDSelector(), z.Ctl(ZANIQ::kCtlMatchPost)}) EXPECT_TRUE(c->IsDisabled());
  EXPECT_EQ(z.Ctl(ZANIQ::kCtlPDCSwitch)->GetValue(), 1.0);
  z.Command(61); // stopped from the reopened editor
  EXPECT_FALSE(latency->IsDisabled());
  EXPECT_EQ(z.Ctl(ZANIQ::kCtlPDCSwitch)->GetValue(), 0.0);
}

TEST_F(EditorTest, CommandHooksReachTheEditor)
{
  UIZANIQ& z = OpenReceiver();
  // The about page is shown in the editor's message box at the next idle tick.
  z.Command(47);
  (void)ZQCFAdvanceClock(0.05);
  ASSERT_EQ(z.boxes.size(), 1u);
  EXPECT_EQ(z.boxes[0].rfind("About|", 0), 0u) << z.boxes[0];
  // The product's message-box interface reaches the same editor box.
  ICMessageBox& messageBox = z;
  messageBox.ShowEditorMessageBox("Saved", "Presets");
  EXPECT_EQ(z.boxes.back(), "Presets|Saved");
  ASSERT_EQ(z.boxes.size(), 2u);

  // The modifiers of the last press on a tagged control, by its class, and only on the main thread.
  IControl* matchPre = z.GetUI()->GetControlWithTag(ZANIQ::kTagMatchPreFX);
  matchPre->OnMouseDown(matchPre->GetRECT().MW(), matchPre->GetRECT().MH(), IMouseMod(true, false, false, true, true));
  ZANIQ::ControlPress press;
  EXPECT_TRUE(z.GetControlPress(ZANIQ::kTagMatchPreFX, ZANIQ::EPressControl::PushQN, press));
  EXPECT_TRUE(press.alt && press.control);
  EXPECT_FALSE(z.GetControlPress(ZANIQ::kTagMatchPreFX, ZANIQ::EPressControl::SwitchQN, press)); // wrong class
  EXPECT_FALSE(z.GetControlPress(ZANIQ::kTagPresetMenu, ZANIQ::EPressControl::PushQN, press));  // no such tag
  bool offThread = true;
  std::thread([&] { offThread = z.GetControlPress(ZANIQ::kTagMatchPreFX, ZANIQ::EPressControl::PushQN, press); })
    .join();
  EXPECT_FALSE(offThread);
  matchPre->OnMouseUp(0, 0, IMouseMod());

  {
    // A unit the host is letting go of (its disposal waits for the call on the stack) shows no new box.
    plugin::Lifetime::Scope call(z.GetLifetime());
    z.GetLifetime().Dispose([] {});
    messageBox.ShowEditorMessageBox("Saved", "Presets");
  }
  EXPECT_EQ(z.boxes.size(), 2u);

  z.CloseWindow();
  messageBox.ShowEditorMessageBox("text", "caption"); // no editor: nothing, no crash
  EXPECT_EQ(z.boxes.size(), 2u);
}

#if __has_include("platform/mac/IGraphicsMac.h")
// The component's own identifier (the one its Info.plist carries), so that the bundle's resources are found.
TEST_F(EditorTest, TheProductsGraphicsContextCarriesTheBundleIdentifier)
{
  UIZANIQ& z = Make();
  z.Change(ZANIQ::kGUIScale, 2.0);
  std::unique_ptr<IGraphics> g(z.CreateEditorGraphics());
  ASSERT_NE(g, nullptr);
  EXPECT_FLOAT_EQ(g->GetDrawScale(), 2.f);
  EXPECT_STREQ(g->GetBundleID(), "com.quenlar.audiounit.ZANIQ");
  EXPECT_STREQ(g->GetSharedResourcesSubPath(), "ZANIQ");
}
#endif
