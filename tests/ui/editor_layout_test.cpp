// The ZANIQ editor's inventory and its views, on the scripted platform with stand-in bitmaps.

#include "support/ui_env.h"

#include <algorithm>
#include <set>
#include <thread>

using namespace uitest;

namespace
{

void ExpectRect(const IRECT& r, float l, float t, float rr, float b, const char* what)
{
  EXPECT_FLOAT_EQ(r.L, l) << what;
  EXPECT_FLOAT_EQ(r.T, t) << what;
  EXPECT_FLOAT_EQ(r.R, rr) << what;
  EXPECT_FLOAT_EQ(r.B, b) << what;
}

void ExpectRect(const IRECT& r, const IRECT& want, const char* what)
{
  ExpectRect(r, want.L, want.T, want.R, want.B, what);
}

bool Visible(const IControl* c) { return c && !c->IsHidden(); }

// The controls bound to paramIdx, in list order.
std::vector<IControl*> BoundTo(IGraphics& g, int paramIdx)
{
  std::vector<IControl*> out;
  for (int i = 0; i < g.NControls(); ++i)
    if (g.GetControl(i)->LinkedToParam(paramIdx) >= 0) out.push_back(g.GetControl(i));
  return out;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Inventory
// ---------------------------------------------------------------------------------------------------------------

TEST_F(EditorTest, InventoryCountsAndFollowers)
{
  UIZANIQ& z = OpenReceiver();
  IGraphics& g = *z.GetUI();
  ASSERT_TRUE(z.IsLayoutDone());
  EXPECT_EQ(g.NControls(), 70);
  ASSERT_NE(g.GetCornerResizer(), nullptr);
  EXPECT_LT(g.GetControlIdx(g.GetCornerResizer()), 0); // not in the list
  EXPECT_NE(g.GetTextEntryControl(), nullptr);
  EXPECT_TRUE(g.MouseOverEnabled()); // the hover frames need it
  // The read-outs let clicks through to what lies below them.
  EXPECT_NE(g.GetMouseControlIdx(130, 440), z.GetEditorControlIndex(ZANIQ::kCtlPostDiffReadout));

  // Parameter followers: invisible, empty, bound to exactly these parameters.
  std::multiset<int> followed;
  for (int i = 0; i < g.NControls(); ++i)
    if (auto* f = dynamic_cast<IVParameterControlHiddenQN*>(g.GetControl(i)))
    {
      EXPECT_TRUE(f->GetRECT().Empty()) << i;
      followed.insert(f->GetParamIdx());
    }
  std::multiset<int> expected = {0, 1, 41, 30, 15, 14};
  for (int p = 16; p <= 27; ++p) expected.insert(p);
  EXPECT_EQ(followed, expected);

  // 43 remembered positions, all distinct and inside the list.
  std::set<int> positions;
  for (int w = 0; w < ZANIQ::kNumEditorControls; ++w)
  {
    const int idx = z.GetEditorControlIndex(ZANIQ::EEditorControl(w));
    EXPECT_GE(idx, 0) << w;
    EXPECT_LT(idx, 70) << w;
    positions.insert(idx);
  }
  EXPECT_EQ(positions.size(), size_t(ZANIQ::kNumEditorControls));

  // The positions the engine's commands use are the same controls.
  const auto& p = z.GetEditorControlPositions();
  EXPECT_EQ(p.helpPage, z.GetEditorControlIndex(ZANIQ::kCtlHelpPage));
  EXPECT_EQ(p.latencyButton, z.GetEditorControlIndex(ZANIQ::kCtlPDCSwitch));
  EXPECT_EQ(p.snapshotSelector, z.GetEditorControlIndex(ZANIQ::kCtlSnapshots));
  EXPECT_EQ(p.updateIcon, z.GetEditorControlIndex(ZANIQ::kCtlUpdateIcon));
  EXPECT_EQ(p.backgrounds[1], z.GetEditorControlIndex(ZANIQ::kCtlReceiverBackground));
}

TEST_F(EditorTest, LayoutTwiceAddsNothing)
{
  UIZANIQ& z = OpenReceiver();
  std::vector<int> before;
  for (int w = 0; w < ZANIQ::kNumEditorControls; ++w) before.push_back(z.GetEditorControlIndex(ZANIQ::EEditorControl(w)));
  z.LayoutUI(z.GetUI());
  z.GetUI()->Resize(424, 610, 1.5f, true); // layout-on-resize asks again
  EXPECT_EQ(z.GetUI()->NControls(), 70);
  for (int w = 0; w < ZANIQ::kNumEditorControls; ++w)
    EXPECT_EQ(z.GetEditorControlIndex(ZANIQ::EEditorControl(w)), before[size_t(w)]);
}

TEST_F(EditorTest, DrawContextNotReadyMeansNoEditor)
{
  UIZANIQ& z = Make(false);
  ASSERT_TRUE(z.HasUI());
  z.OpenEditor();
  EXPECT_EQ(z.GetUI()->NControls(), 0);
  EXPECT_FALSE(z.HasUI());
  // Every editor operation is then a no-op.
  z.UpdateControlLayout();
  z.EnableModeControls(true);
  z.UpdateMeterDisplays();
  EXPECT_EQ(z.GetUI()->NControls(), 0);
}

// ---------------------------------------------------------------------------------------------------------------
// Views
// ---------------------------------------------------------------------------------------------------------------

TEST_F(EditorTest, SenderView)
{
  UIZANIQ& z = Make();
  z.Change(ZANIQ::kPluginMode, 0);
  z.OpenEditor();
  IGraphics& g = *z.GetUI();
  for (auto w : {ZANIQ::kCtlSenderBackground, ZANIQ::kCtlSenderLED, ZANIQ::kCtlQuickHelp})
    EXPECT_TRUE(Visible(z.Ctl(w))) << w;
  for (auto w : {ZANIQ::kCtlReceiverBackground, ZANIQ::kCtlHelpPage, ZANIQ::kCtlPDCSwitch, ZANIQ::kCtlPreDiffReadout,
                 ZANIQ::kCtlDriveKnob, ZANIQ::kCtlMatchMode, ZANIQ::kCtlSnapshots, ZANIQ::kCtlConfigBackground,
                 ZANIQ::kCtlSimpleMatch, ZANIQ::kCtlReceiverLED, ZANIQ::kCtlOverLED})
    EXPECT_FALSE(Visible(z.Ctl(w))) << w;
  for (int p : {4, 5, 6, 13, 39, 40})
    for (IControl* c : BoundTo(g, p)) EXPECT_TRUE(c->IsHidden()) << "parameter " << p;
  // The mode and Link-ID selectors stay.
  EXPECT_TRUE(Visible(BoundTo(g, 2)[0]));
  EXPECT_TRUE(Visible(z.GetLinkIDSelector()));

  // Clicks on quick help and the help page are walked end to end; a layout refresh hides an open page again.
  z.Command(59);
  z.UpdateControlLayout();
  EXPECT_FALSE(Visible(z.Ctl(ZANIQ::kCtlHelpPage)));
}

TEST_F(EditorTest, ExpertAndSimpleViews)
{
  UIZANIQ& z = OpenReceiver();
  const auto& places = z.GetEditorPlaces();
  // Expert.
  for (auto w : {ZANIQ::kCtlReceiverBackground, ZANIQ::kCtlReferenceField, ZANIQ::kCtlSnapshots, ZANIQ::kCtlDriveKnob,
                 ZANIQ::kCtlPrePostExpert, ZANIQ::kCtlPreMaxReadout, ZANIQ::kCtlConfigSwitch, ZANIQ::kCtlInverse})
    EXPECT_TRUE(Visible(z.Ctl(w))) << w;
  for (auto w : {ZANIQ::kCtlSenderBackground, ZANIQ::kCtlSimpleBackgroundPre, ZANIQ::kCtlSimpleBackgroundPost,
                 ZANIQ::kCtlDriveReadout, ZANIQ::kCtlPrePostSimple, ZANIQ::kCtlSimpleReset, ZANIQ::kCtlQuickHelp,
                 ZANIQ::kCtlConfigBackground})
    EXPECT_FALSE(Visible(z.Ctl(w))) << w;
  ExpectRect(z.Ctl(ZANIQ::kCtlActive)->GetRECT(), FrameAt("active.png", 10, 337), "active expert");

  // Simple, post-FX monitoring.
  z.Change(ZANIQ::kPrePostFX, 1);
  z.Change(ZANIQ::kGUIMode, 1);
  EXPECT_TRUE(Visible(z.Ctl(ZANIQ::kCtlSimpleBackgroundPost)));
  EXPECT_FALSE(Visible(z.Ctl(ZANIQ::kCtlSimpleBackgroundPre)));
  ExpectRect(z.Ctl(ZANIQ::kCtlActive)->GetRECT(), FrameAt("active.png", 56, 560), "active simple");
  ExpectRect(z.Ctl(ZANIQ::kCtlActive)->GetTargetRECT(), FrameAt("active.png", 56, 560), "active simple target");
  ExpectRect(z.Ctl(ZANIQ::kCtlPostGainReadout)->GetRECT(), 182, 475, 244, 512, "post gain simple");
  for (auto w : {ZANIQ::kCtlSimpleReset, ZANIQ::kCtlSimpleMatch, ZANIQ::kCtlDriveReadout, ZANIQ::kCtlPrePostSimple,
                 ZANIQ::kCtlPreCurrentReadout, ZANIQ::kCtlMatchMode})
    EXPECT_TRUE(Visible(z.Ctl(w))) << w;
  for (auto w : {ZANIQ::kCtlReferenceField, ZANIQ::kCtlInverse, ZANIQ::kCtlSnapshots, ZANIQ::kCtlDriveKnob,
                 ZANIQ::kCtlPreMaxReadout, ZANIQ::kCtlConfigSwitch, ZANIQ::kCtlMatchPre})
    EXPECT_FALSE(Visible(z.Ctl(w))) << w;
  auto* match = dynamic_cast<IBRadioButtonsControl3*>(z.Ctl(ZANIQ::kCtlMatchMode));
  ASSERT_NE(match, nullptr);
  for (int i = 0; i < 3; ++i) ExpectRect(match->GetButtonRect(i), places.matchButtons[1][size_t(i)], "simple button");
  const IRECT m = FrameAt("m_manual.png", 224, 568), s = FrameAt("m_gstg.png", 312, 568);
  ExpectRect(match->GetRECT(), m.L, m.T, s.R, s.B, "simple group");

  // Simple, pre-FX monitoring.
  z.Change(ZANIQ::kPrePostFX, 0);
  EXPECT_TRUE(Visible(z.Ctl(ZANIQ::kCtlSimpleBackgroundPre)));
  EXPECT_FALSE(Visible(z.Ctl(ZANIQ::kCtlSimpleBackgroundPost)));

  // Back to expert: everything returns to its place.
  z.Change(ZANIQ::kGUIMode, 0);
  ExpectRect(z.Ctl(ZANIQ::kCtlActive)->GetRECT(), FrameAt("active.png", 10, 337), "active expert again");
  ExpectRect(match->GetButtonRect(2), FrameAt("m_gstg.png", 264, 488), "gain stage expert");
}

TEST_F(EditorTest, ConfigPageFollowsTheViews)
{
  UIZANIQ& z = OpenReceiver();
  const ZANIQ::EEditorControl page[] = {ZANIQ::kCtlConfigBackground, ZANIQ::kCtlMinAutoGain, ZANIQ::kCtlMaxAutoGain,
                                        ZANIQ::kCtlAutoGainTolerance};
  z.Change(ZANIQ::kShowConfigPage, 1);
  for (auto w : page) EXPECT_TRUE(Visible(z.Ctl(w))) << w;
  z.Change(ZANIQ::kGUIMode, 1);
  for (auto w : page) EXPECT_FALSE(Visible(z.Ctl(w))) << w;
  z.Change(ZANIQ::kGUIMode, 0);
  for (auto w : page) EXPECT_TRUE(Visible(z.Ctl(w))) << w;
  z.Change(ZANIQ::kShowConfigPage, 0);
  for (auto w : page) EXPECT_FALSE(Visible(z.Ctl(w))) << w;
}

TEST_F(EditorTest, FieldsDisabledByModes)
{
  UIZANIQ& z = OpenReceiver();
  IGraphics& g = *z.GetUI();
  z.Change(ZANIQ::kMeterMode, 2); // "EBU R128 ML"
  EXPECT_TRUE(BoundTo(g, ZANIQ::kRMSWindow)[0]->IsDisabled());
  EXPECT_TRUE(Visible(BoundTo(g, ZANIQ::kRMSWindow)[0]));
  z.Change(ZANIQ::kMeterMode, 1);
  EXPECT_FALSE(BoundTo(g, ZANIQ::kRMSWindow)[0]->IsDisabled());
  z.Change(ZANIQ::kMatchMode, 2); // "Gain stage"
  EXPECT_TRUE(z.Ctl(ZANIQ::kCtlInverse)->IsDisabled());
  z.EnableModeControls(true);
  z.EnableModeControls(false);
  EXPECT_TRUE(z.Ctl(ZANIQ::kCtlInverse)->IsDisabled());
  z.Change(ZANIQ::kMatchMode, 0);
  EXPECT_FALSE(z.Ctl(ZANIQ::kCtlInverse)->IsDisabled());
}

TEST_F(EditorTest, SnapshotMarksFollowStoredFlags)
{
  UIZANIQ& z = OpenReceiver();
  auto* snapshots = dynamic_cast<IBRadioButtonsControl4Special*>(z.Ctl(ZANIQ::kCtlSnapshots));
  ASSERT_NE(snapshots, nullptr);
  for (int k = 0; k < 4; ++k) EXPECT_FALSE(snapshots->GetFilled(k));
  z.Change(ZANIQ::kSnapShot, 2);
  z.Command(63); // store
  EXPECT_TRUE(snapshots->GetFilled(2));
  EXPECT_FALSE(snapshots->GetFilled(1));
  z.Command(62); // clear
  EXPECT_FALSE(snapshots->GetFilled(2));
  z.Change(ZANIQ::kStoreSetFlag0 + 3, 1); // snapshot 2's flag set by a preset
  EXPECT_TRUE(snapshots->GetFilled(1));

  // A click selects the snapshot before it asks for the recall: what was stored in 3 comes back on clicking 3.
  IGraphics& g = *z.GetUI();
  auto clickSnapshot = [&](int k) { Click(g, snapshots->GetButtonRect(k).MW(), snapshots->GetButtonRect(k).MH()); };
  clickSnapshot(2);
  EXPECT_EQ(z.GetMirrorInt(ZANIQ::kSnapShot), 2);
  z.Change(ZANIQ::kDriveFX, 3.0);
  Click(g, z.Ctl(ZANIQ::kCtlStore)->GetRECT().MW(), z.Ctl(ZANIQ::kCtlStore)->GetRECT().MH());
  EXPECT_TRUE(snapshots->GetFilled(2));
  z.Change(ZANIQ::kDriveFX, -5.0);
  clickSnapshot(0); // empty: nothing recalled
  EXPECT_EQ(z.GetMirror(ZANIQ::kDriveFX), -5.0);
  clickSnapshot(2);
  EXPECT_EQ(z.GetMirror(ZANIQ::kDriveFX), 3.0);
}

// ---------------------------------------------------------------------------------------------------------------
// Values, scale, open and close
// ---------------------------------------------------------------------------------------------------------------

TEST_F(EditorTest, HostChangeReachesBothBoundControls)
{
  UIZANIQ& z = OpenReceiver();
  IGraphics& g = *z.GetUI();
  for (int p : {ZANIQ::kDriveFX, ZANIQ::kPrePostFX})
  {
    const plugin::IParam* param = z.GetParam(p);
    const double value = p == ZANIQ::kDriveFX ? param->GetMin() + 0.25 * (param->GetMax() - param->GetMin()) : 1.0;
    ASSERT_EQ(z.SetParameter(AudioUnitParameterID(p), kAudioUnitScope_Global, 0, AudioUnitParameterValue(value), 0),
              noErr);
    (void)ZQCFAdvanceClock(0.05); // the idle tick hands the value to the editor
    const std::vector<IControl*> bound = BoundTo(g, p);
    ASSERT_EQ(bound.size(), 2u);
    for (IControl* c : bound) EXPECT_NEAR(c->GetValue(), param->ToNormalized(param->Value()), 1e-6) << p;
  }
}

TEST_F(EditorTest, OpenPushesValuesAndCloseForgetsTheSelector)
{
  UIZANIQ& z = Make();
  z.Change(ZANIQ::kPluginMode, 1);
  z.Change(ZANIQ::kMatchMode, 2);
  z.OpenEditor();
  EXPECT_TRUE(z.IsUIOpen());
  const plugin::IParam* match = z.GetParam(ZANIQ::kMatchMode);
  EXPECT_DOUBLE_EQ(z.Ctl(ZANIQ::kCtlMatchMode)->GetValue(), match->ToNormalized(2.0));
  auto* selector = dynamic_cast<IBPopupMenuQNSpecial*>(z.GetLinkIDSelector());
  ASSERT_NE(selector, nullptr);
  EXPECT_EQ(selector->GetOwnRole(), 1);

  z.CloseWindow();
  EXPECT_FALSE(z.IsUIOpen());
  EXPECT_EQ(z.GetLinkIDSelector(), nullptr);
  // Nothing reaches the deleted controls (the sanitizers watch this).
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

// Asked scales are clamped to the editor's range; menu indices past the eleven fixed scales fall back to 100 %.
TEST_F(EditorTest, GUIScaleClampsAndFallsBack)
{
  UIZANIQ& z = Make();
  z.OpenEditor();
  IGraphics& g = *z.GetUI();
  struct Step
  {
    float asked, got;
  };
  for (const Step& s : {Step{0.25f, 0.5f}, Step{4.f, 3.f}})
  {
    g.Resize(424, 610, s.asked, true);
    EXPECT_FLOAT_EQ(g.GetDrawScale(), s.got) << s.asked;
    EXPECT_EQ(g.NControls(), 70);
  }
  for (unsigned i : {11u, 12u, 0xFFFFFFFFu}) EXPECT_DOUBLE_EQ(z.GetGUIScaleForIndex(i), 1.0) << i;
}

TEST_F(EditorTest, CommandHooksReachTheEditor)
{
  UIZANIQ& z = OpenReceiver();
  IGraphics& g = *z.GetUI();
  // The about page is shown in the editor's message box at the next idle tick.
  z.Command(47);
  (void)ZQCFAdvanceClock(0.05);
  ASSERT_EQ(z.boxes.size(), 1u);
  EXPECT_EQ(z.boxes[0].rfind("About|", 0), 0u) << z.boxes[0];

  // The modifiers of the last press on a tagged control, by its class.
  IControl* matchPre = g.GetControlWithTag(ZANIQ::kTagMatchPreFX);
  matchPre->OnMouseDown(matchPre->GetRECT().MW(), matchPre->GetRECT().MH(), IMouseMod(true, false, false, true, true));
  ZANIQ::ControlPress press;
  EXPECT_TRUE(z.GetControlPress(ZANIQ::kTagMatchPreFX, ZANIQ::EPressControl::PushQN, press));
  EXPECT_TRUE(press.alt);
  EXPECT_TRUE(press.control);
  EXPECT_FALSE(z.GetControlPress(ZANIQ::kTagMatchPreFX, ZANIQ::EPressControl::SwitchQN, press)); // wrong class
  EXPECT_FALSE(z.GetControlPress(ZANIQ::kTagPresetMenu, ZANIQ::EPressControl::PushQN, press));  // no such tag
  bool offThread = true;
  std::thread([&] { offThread = z.GetControlPress(ZANIQ::kTagMatchPreFX, ZANIQ::EPressControl::PushQN, press); })
    .join();
  EXPECT_FALSE(offThread);
  matchPre->OnMouseUp(0, 0, IMouseMod());

  // No preset menu, so no path; no popup menu open.
  Util_String path;
  EXPECT_FALSE(z.GetPresetMenuPath(path));
  EXPECT_FALSE(z.IsPopupMenuShowing());
  z.CloseWindow();
  z.ShowEditorMessageBox("text", "caption"); // no editor: nothing, no crash
  EXPECT_EQ(z.boxes.size(), 1u);
}

#if __has_include("platform/mac/IGraphicsMac.h")
TEST_F(EditorTest, TheProductsGraphicsContext)
{
  UIZANIQ& z = Make();
  z.Change(ZANIQ::kGUIScale, 2.0);
  std::unique_ptr<IGraphics> g(z.CreateEditorGraphics());
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->Width(), 424);
  EXPECT_EQ(g->Height(), 610);
  EXPECT_EQ(g->FPS(), 60);
  EXPECT_FLOAT_EQ(g->GetDrawScale(), 2.f);
  // The component's own identifier (the one its Info.plist carries), so that the bundle's resources are found.
  EXPECT_STREQ(g->GetBundleID(), z.GetBundleID());
  EXPECT_STREQ(g->GetBundleID(), "com.quenlar.audiounit.ZANIQ");
  EXPECT_STREQ(g->GetSharedResourcesSubPath(), "ZANIQ");
}
#endif
