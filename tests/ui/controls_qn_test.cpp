// The product's buttons, switches, radio groups, bitmaps, read-out texts and corner resizer: what a click sends
// to the plug-in, what the value becomes, and which frames they draw.

#include "ui/IBControlsQN.h"

#include "support/ui_env.h"

using namespace qnrig;

namespace
{

using Commands = std::vector<int>;
using ControlsQN = Rig;

std::vector<std::string> Ops(const std::vector<QNGraphics::Shape>& shapes)
{
  std::vector<std::string> out;
  for (const auto& s : shapes)
    out.push_back(s.op + (s.op == "Bitmap" ? " " + s.text : ""));
  return out;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Buttons and switches
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ControlsQN, ClickButtonsSendTheirCommandAndShowPressedOnlyWhileHeld)
{
  auto* sto = Attach(new IBClickButtonControlQN(277, 552, Bitmap(40, 40, 2), 63));
  EXPECT_EQ(sto->GetRECT(), IRECT(277, 552, 317, 572));
  sto->OnMouseDown(280, 560, kAlt);
  ASSERT_EQ(plug.changes.size(), 1u);
  EXPECT_EQ(plug.changes[0].idx, 63);
  EXPECT_EQ(plug.changes[0].source, plugin::kUI);
  EXPECT_EQ(g->DrawOf(sto)[0].text, "0,20"); // the pressed frame
  sto->OnMouseUp(280, 560, kAlt);
  EXPECT_EQ(g->DrawOf(sto)[0].text, "0,0");
  EXPECT_EQ(plug.Commands(), Commands{63}); // nothing more on release

  // A double click is a second click; drags and the wheel do nothing.
  plug.changes.clear();
  g->OnMouseDblClick(280, 560, kNone);
  sto->OnMouseDrag(281, 561, 1, 1, kNone);
  sto->OnMouseWheel(280, 560, kNone, 3.f);
  EXPECT_EQ(plug.Commands(), Commands{63});

  // Not momentary: the value stays; no command: nothing sent.
  auto* latch = Attach(new IBClickButtonControlQN(0, 0, Bitmap(10, 20, 2), -1, false));
  plug.changes.clear();
  latch->OnMouseDown(1, 1, kNone);
  EXPECT_EQ(latch->GetValue(), 0.0);
  EXPECT_TRUE(plug.changes.empty());
  EXPECT_TRUE(plug.sentFromUI.empty()); // no parameter behind a click button

  // Any negative code is no command: the plug-in never sees an index below 0 from a button.
  auto* odd = Attach(new IBClickButtonControlQN(0, 0, Bitmap(10, 20, 2), -2));
  odd->OnMouseDown(1, 1, kNone);
  EXPECT_TRUE(plug.changes.empty());
}

TEST_F(ControlsQN, PushButtonsHoldTheirParameterAtOneOnlyWhileHeld)
{
  auto* push = Attach(new IBPushControlQN(371, 201, Bitmap(20, 40, 2), kPush));
  push->OnMouseDown(375, 205, kAlt);
  EXPECT_EQ(plug.Real(kPush), 1.0);
  EXPECT_TRUE(push->GetStoredMod().A); // the engine reads the press's modifiers while it is held
  push->OnMouseUp(375, 205, kNone);
  EXPECT_EQ(plug.Real(kPush), 0.0);
  EXPECT_FALSE(push->GetStoredMod().A);
  // Wheel and drag leave it alone; no command is sent.
  push->OnMouseWheel(375, 205, kNone, 1.f);
  push->OnMouseDrag(375, 205, 0, -10, kNone);
  EXPECT_EQ(plug.sentFromUI.size(), 2u);
  EXPECT_TRUE(plug.changes.empty());
}

TEST_F(ControlsQN, ExtraSwitchOnlySendsItsCommand)
{
  auto* pdc =
      Attach(new IBSwitchControlExtraQN(189, 62, Bitmap(20, 40, 2), true, false, IColor(16, 255, 255, 255), 61));
  for (int i = 0; i < 3; ++i)
    Click(*g, 190, 63);
  pdc->OnMouseDblClick(190, 63, kNone);
  pdc->OnMouseWheel(190, 63, kNone, 1.f);
  EXPECT_EQ(plug.Commands(), (Commands{61, 61, 61}));
  EXPECT_EQ(pdc->GetValue(), 0.0);
  EXPECT_TRUE(plug.sentFromUI.empty());
  // The plug-in drives the frame.
  pdc->SetValueFromDelegate(1.0);
  EXPECT_EQ(g->DrawOf(pdc)[0].text, "0,20");
}

TEST_F(ControlsQN, HiddenAreasAndBitmaps)
{
  auto* help = Attach(new IVClickControlHiddenQN(IRECT(160, 320, 264, 352), 59));
  auto* none = Attach(new IVClickControlHiddenQN(IRECT(0, 0, 10, 10), -1));
  auto* follower = Attach(new IVParameterControlHiddenQN(IRECT(), kSwitch));
  auto* led = Attach(new IBBitmapControlQN(186, 51, Bitmap(12, 24, 2)));

  Click(*g, 200, 330);
  none->OnMouseDown(1, 1, kNone);
  EXPECT_EQ(plug.Commands(), Commands{59});
  EXPECT_TRUE(g->DrawOf(help).empty());

  // The follower takes its parameter's value, draws nothing, and with empty bounds is never hit.
  SetParam(kSwitch, 1.0);
  EXPECT_EQ(follower->GetValue(), 1.0);
  EXPECT_TRUE(g->DrawOf(follower).empty());
  EXPECT_FALSE(follower->IsHit(0, 0));

  // The LED swallows every event and shows the frame the plug-in sets.
  led->OnMouseDown(190, 55, kNone);
  led->OnMouseDblClick(190, 55, kNone);
  led->OnMouseWheel(190, 55, kNone, 1.f);
  led->OnMouseDrag(190, 55, 0, -30, kNone);
  EXPECT_EQ(led->GetValue(), 0.0);
  EXPECT_EQ(plug.Commands(), Commands{59});
  led->SetValueFromDelegate(1.0);
  const auto shapes = g->DrawOf(led);
  ASSERT_EQ(shapes.size(), 1u);
  EXPECT_EQ(shapes[0].r, IRECT(186, 51, 198, 63));
  EXPECT_EQ(shapes[0].text, "0,12");
}

TEST_F(ControlsQN, HoverHighlightIsARoundedFrameUnderTheBitmapOnlyWhenEnabled)
{
  const IColor hl(16, 255, 255, 255);
  auto* lit = Attach(new IBSwitchControlQN(100, 100, Bitmap(30, 40, 2), kSwitch, true, true, hl));
  auto* plain = Attach(new IBSwitchControlQN(200, 100, Bitmap(30, 40, 2), kSwitch, true, false, hl));
  auto* hidden = Attach(new IBSwitchControlQN(300, 100, Bitmap(30, 40, 2), kSwitch, false, true, hl));
  for (IControl* c : {static_cast<IControl*>(lit), static_cast<IControl*>(plain), static_cast<IControl*>(hidden)})
    c->OnMouseOver(c->GetRECT().MW(), c->GetRECT().MH(), kNone);
  const auto shapes = g->DrawOf(lit);
  ASSERT_EQ(Ops(shapes), (std::vector<std::string>{"FillRoundRect", "Bitmap 0,0"}));
  EXPECT_EQ(shapes[0].r, IRECT(100, 100, 130, 120)); // one frame, not the whole strip
  EXPECT_EQ(Ops(g->DrawOf(plain)), std::vector<std::string>{"Bitmap 0,0"});
  EXPECT_TRUE(g->DrawOf(hidden).empty());
  lit->OnMouseOut();
  EXPECT_EQ(Ops(g->DrawOf(lit)), std::vector<std::string>{"Bitmap 0,0"});
}

// ---------------------------------------------------------------------------------------------------------------
// Radio groups
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ControlsQN, RadioGroupsSelectTheClickedButton)
{
  // Three 30 × 20 buttons side by side, gaps between them.
  const IRECT r1(114, 488, 144, 508), r2(189, 488, 219, 508), r3(264, 488, 294, 508);
  auto* mm = Attach(new IBRadioButtonsControl3(r1.Union(r3), kMatchMode, r1, Bitmap(30, 40, 2), r2, Bitmap(30, 40, 2),
                                               r3, Bitmap(30, 40, 2), false));
  EXPECT_TRUE(mm->GetMouseDblAsSingleClick());
  struct Case
  {
    float x, y;
    double expected;
  };
  const Case cases[] = {{190, 490, 1},       {114, 488, 0},
                        {293.9f, 507.9f, 2}, {144, 490, 2}, // right edge belongs to no button: nothing changes
                        {160, 490, 2},                      // between buttons
                        {264, 508, 2},                      // bottom edge
                        {120, 495, 0}};
  for (const auto& c : cases)
  {
    mm->OnMouseDown(c.x, c.y, kAlt);
    mm->OnMouseUp(c.x, c.y, kNone);
    EXPECT_EQ(plug.Real(kMatchMode), c.expected) << c.x << "," << c.y;
  }
  EXPECT_FALSE(mm->GetStoredMod().A);

  // With "none" allowed button i stands for i + 1 and a click on the active one clears the selection.
  const IRECT a(0, 0, 10, 10), b(10, 0, 20, 10), c(20, 0, 30, 10), d(30, 0, 40, 10);
  auto* any = Attach(new IBRadioButtonsControl4(IRECT(0, 0, 40, 10), kChoice, a, Bitmap(10, 20, 2), b,
                                                Bitmap(10, 20, 2), c, Bitmap(10, 20, 2), d, Bitmap(10, 20, 2), true));
  for (const auto& [x, expected] : std::vector<std::pair<float, double>>{{15, 2}, {15, 0}, {35, 4}, {5, 1}, {5, 0}})
  {
    any->OnMouseDown(x, 5, kNone);
    EXPECT_EQ(plug.Real(kChoice), expected) << x;
  }
  // An all-zero rectangle is no button.
  any->SetButtonRect(0, IRECT());
  any->OnMouseDown(0, 0, kNone);
  EXPECT_EQ(plug.Real(kChoice), 0.0);
}

TEST_F(ControlsQN, RadioGroupsDrawTheSelectedButtonPressedAndNothingForValuesOutsideThem)
{
  const IRECT a(0, 0, 10, 10), b(10, 0, 20, 10), c(20, 0, 30, 10), d(30, 0, 40, 10);
  auto* strict = Attach(new IBRadioButtonsControl3(IRECT(0, 0, 30, 10), kChoice, a, Bitmap(10, 20, 2), b,
                                                   Bitmap(10, 20, 2), c, Bitmap(10, 20, 2), false));
  auto* any = Attach(new IBRadioButtonsControl4(IRECT(0, 0, 40, 10), kChoice, a, Bitmap(10, 20, 2), b,
                                                Bitmap(10, 20, 2), c, Bitmap(10, 20, 2), d, Bitmap(10, 20, 2), true));
  using V = std::vector<std::string>;
  const std::string off = "Bitmap 0,0", on = "Bitmap 0,10";
  struct Case
  {
    double value;
    V strict, any;
  };
  const Case cases[] = {{0, {on, off, off}, {off, off, off, off}},
                        {1, {off, on, off}, {on, off, off, off}},
                        {2, {off, off, on}, {off, on, off, off}},
                        {3, {}, {off, off, on, off}}};
  for (const auto& k : cases)
  {
    SetParam(kChoice, k.value);
    EXPECT_EQ(Ops(g->DrawOf(strict)), k.strict) << k.value;
    EXPECT_EQ(Ops(g->DrawOf(any)), k.any) << k.value;
  }
  // Each button is drawn into its own rectangle.
  const auto shapes = g->DrawOf(any);
  EXPECT_EQ(shapes[3].r, d);
}

TEST_F(ControlsQN, SnapshotSelectorSelectsThenSendsAndShowsStoredAndSelectedButtons)
{
  std::vector<IRECT> r;
  for (int i = 0; i < 4; ++i)
    r.push_back(IRECT::MakeXYWH(120.f + 40.f * float(i), 552, 30, 20));
  // Three frames each, except the last button's bitmap which has two.
  auto* ss = Attach(new IBRadioButtonsControl4Special(IRECT(120, 552, 270, 572), kSnapshot, r[0], Bitmap(30, 60, 3),
                                                      r[1], Bitmap(30, 60, 3), r[2], Bitmap(30, 60, 3), r[3],
                                                      Bitmap(30, 40, 2), false, 64));
  // The engine recalls the snapshot on command 64; it must see the new selection already.
  plug.changes.clear();
  ss->OnMouseDown(205, 560, kNone);
  EXPECT_EQ(plug.Real(kSnapshot), 2.0);
  EXPECT_EQ(plug.Commands(), Commands{64});
  ss->OnMouseDown(10, 10, kNone); // outside every button: still sends, selection unchanged
  EXPECT_EQ(plug.Real(kSnapshot), 2.0);

  ss->SetFilled(0, true);
  ss->SetFilled(2, true);
  EXPECT_TRUE(ss->GetFilled(0));
  EXPECT_FALSE(ss->GetFilled(1));
  EXPECT_FALSE(ss->GetFilled(7));
  using V = std::vector<std::string>;
  EXPECT_EQ(Ops(g->DrawOf(ss)), (V{"Bitmap 0,20", "Bitmap 0,0", "Bitmap 0,20", "Bitmap 0,0", "Bitmap 0,40"}));
  EXPECT_EQ(g->DrawOf(ss).back().r, r[2]);
  // The two-frame bitmap shows its last frame for the selection.
  SetParam(kSnapshot, 3.0);
  EXPECT_EQ(Ops(g->DrawOf(ss)).back(), "Bitmap 0,20");
  EXPECT_EQ(g->DrawOf(ss).back().r, r[3]);
}

// ---------------------------------------------------------------------------------------------------------------
// Corner resizer
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ControlsQN, CornerResizerModeAndTheCommandsOfDoubleClickAndRescale)
{
  struct Case
  {
    int sizeRescale, sizeReset, scaleRescale, scaleReset;
    int mode; // both pairs 0, size only 1, scale only 2, a pair incomplete -1
    bool ctrl;
    Commands dbl;             // sent by a double click
    EUIResizerMode modeAfter; // the editor's resize mode after it
  };
  const Case cases[] = {
      {-1, -1, 56, 57, 2, false, {57}, EUIResizerMode::Scale}, // scale only: Ctrl not needed
      {-1, -1, 56, 57, 2, true, {57}, EUIResizerMode::Scale},
      {10, 11, -1, -1, 1, false, {11}, EUIResizerMode::Size},
      {10, 11, 56, 57, 0, false, {11}, EUIResizerMode::Size},
      {10, 11, 56, 57, 0, true, {57}, EUIResizerMode::Scale},
      {10, -1, 56, -1, -1, true, {}, EUIResizerMode::Scale}, // mixed: nothing at all
      {-1, 11, -1, 57, -1, false, {}, EUIResizerMode::Scale},
      {-1, -1, -1, -1, -1, false, {}, EUIResizerMode::Scale},
  };
  for (const auto& c : cases)
  {
    auto dlg = std::make_unique<PlugDouble>();
    QNGraphics ui(*dlg, 424, 610);
    auto* r = new IBCornerResizerControlQN(IRECT(0, 0, 424, 610), Bitmap(16, 32, 2), c.sizeRescale, c.sizeReset,
                                           c.scaleRescale, c.scaleReset, 0.f, 0.f);
    ui.AttachCornerResizer(r, EUIResizerMode::Scale, true);
    EXPECT_EQ(r->GetResizeMode(), c.mode);
    dlg->changes.clear();
    r->OnMouseDblClick(420, 600, c.ctrl ? kCtrl : kNone);
    EXPECT_EQ(dlg->Commands(), c.dbl) << c.sizeReset << c.scaleReset << c.ctrl;
    EXPECT_EQ(ui.GetResizerMode(), c.modeAfter);

    // On rescale the command matching the editor's current mode.
    dlg->changes.clear();
    r->OnRescale();
    const bool none = r->GetResizeMode() == IBCornerResizerControlQN::kResizeNone;
    EXPECT_EQ(dlg->Commands(),
              none ? Commands{} : Commands{c.modeAfter == EUIResizerMode::Scale ? c.scaleRescale : c.sizeRescale});
  }
}

TEST_F(ControlsQN, CornerResizerPicksTheModeAtMouseDownAndFollowsTheEditorSize)
{
  auto* r = new IBCornerResizerControlQN(IRECT(0, 0, 424, 610), Bitmap(16, 32, 2), 10, 11, 56, 57, 2.f, -1.f);
  g->AttachCornerResizer(r, EUIResizerMode::Scale, false);
  EXPECT_EQ(r->GetRECT(), IRECT(408, 594, 424, 610));
  EXPECT_EQ(r->GetTargetRECT(), IRECT(408, 594, 424, 610));

  r->OnMouseDown(410, 600, kNone);
  EXPECT_EQ(g->GetResizerMode(), EUIResizerMode::Size);
  EXPECT_TRUE(g->GetResizingInProcess());
  g->SetResizingInProcess(false);
  r->OnMouseDown(410, 600, kCtrl);
  EXPECT_EQ(g->GetResizerMode(), EUIResizerMode::Scale);
  g->SetResizingInProcess(false);

  // Frame 2 while dragging, drawn shifted by the offsets.
  EXPECT_EQ(g->DrawOf(r)[0].r, IRECT(410, 593, 426, 609));
  g->SetResizingInProcess(true);
  EXPECT_EQ(g->DrawOf(r)[0].text, "0,16");
  g->SetResizingInProcess(false);

  // The editor grows: the handle moves to the new corner.
  g->Resize(500, 700, 1.f, false);
  EXPECT_EQ(r->GetRECT(), IRECT(484, 684, 500, 700));

  // Scale only: mouse-down always chooses scale, and only scale.
  auto dlg = std::make_unique<PlugDouble>();
  QNGraphics ui(*dlg, 424, 610);
  auto* s = new IBCornerResizerControlQN(IRECT(0, 0, 424, 610), Bitmap(16, 32, 2), -1, -1, 56, 57, 0.f, 0.f);
  ui.AttachCornerResizer(s, EUIResizerMode::Size, false);
  s->OnMouseDown(410, 600, kNone);
  EXPECT_EQ(ui.GetResizerMode(), EUIResizerMode::Scale);
}

// ---------------------------------------------------------------------------------------------------------------
// Read-out text
// ---------------------------------------------------------------------------------------------------------------

TEST_F(ControlsQN, ReadOutTextRedrawsOnlyWhenItChanges)
{
  const IText style(21.f, COLOR_WHITE, "verdanab", kAlignFar);
  auto* t = Attach(new IVTextControlQN(IRECT(100, 129, 162, 166), "---", style, COLOR_TRANSPARENT, false));
  EXPECT_TRUE(t->GetIgnoreMouse());
  t->SetClean();
  t->SetStr("---");
  EXPECT_FALSE(t->IsDirty());
  t->SetStr("-3.0");
  EXPECT_TRUE(t->IsDirty());
  EXPECT_STREQ(t->GetStr(), "-3.0");
  t->SetClean();
  t->SetStr(nullptr);
  EXPECT_TRUE(t->IsDirty());
  EXPECT_STREQ(t->GetStr(), "");

  // Sized to its text: refitted around the same centre (7 points per character in the rig).
  auto* fit = Attach(new IVTextControlQN(IRECT(0, 0, 100, 20), "ab", style, COLOR_TRANSPARENT, true));
  fit->SetStr("abcd");
  EXPECT_FLOAT_EQ(fit->GetRECT().W(), 28.f);
  EXPECT_FLOAT_EQ(fit->GetRECT().MW(), 50.f);
}
