// The product's buttons, switches, LEDs and radio groups beyond a plain click: the events they swallow, the hover
// highlight under the centred frame, what radio groups choose and draw for every kind of value (with and without
// "none"), the snapshot selector's filled and selected frames, and the corner resizer's modes and frames.

#include "ui/IBControlsQN.h"
#include "ui/IBUpdateControlQN.h"

#include "support/qn_shapes.h"

using namespace qnshapes;

namespace
{

using ButtonsQN = ShapesRig;
using Frames = std::vector<std::string>;

// Frame k (1-based) of a bitmap of n frames stacked in h points.
std::string Frame(int k, int h, int n) { return "0," + std::to_string((k - 1) * h / n); }

} // namespace

// What a drag, a double click or the wheel would do to a plain control (a double click resets a control to its
// default) none of these controls do: nothing is sent, no value moves, not even the plug-in-driven frames.
TEST_F(ButtonsQN, DragsDoubleClicksAndWheelsChangeNothing)
{
  IControl* led = Attach(new IBBitmapControlQN(0, 0, Bitmap(20, 40, 2)));
  IControl* click = Attach(new IBClickButtonControlQN(40, 0, Bitmap(20, 40, 2), 63));
  IControl* push = Attach(new IBPushControlQN(80, 0, Bitmap(20, 40, 2), kSamples));
  IControl* extra = Attach(new IBSwitchControlExtraQN(120, 0, Bitmap(20, 40, 2), true, false, COLOR_WHITE, 61));
  IControl* update = Attach(new IBUpdateControlQN(160, 0, Bitmap(20, 40, 2), 48));
  led->SetValue(1.0);      // lit by the plug-in
  extra->SetValue(1.0);    // a measurement running
  update->SetValue(1.0);   // an update known
  for (IControl* c : {led, click, push, extra, update})
  {
    SCOPED_TRACE(c->GetRECT().L);
    const float x = c->GetRECT().MW(), y = c->GetRECT().MH();
    const double before = c->GetValue();
    c->OnMouseDrag(x, y + 20.f, 0.f, 20.f, kNone);
    c->OnMouseDblClick(x, y, kNone);
    g->OnMouseWheel(x, y, kShift, 3.f);
    g->OnMouseWheel(x, y, kNone, -1.f);
    EXPECT_EQ(c->GetValue(), before);
  }
  // A click on the LED does nothing either (it only shows what the plug-in sets).
  uitest::Click(*g, led->GetRECT().MW(), led->GetRECT().MH());
  // The LED and the update icon take a double click through the editor as nothing at all (the click before it did
  // its work); the buttons and switches take it as one more press.
  for (IControl* c : {led, update}) EXPECT_TRUE(g->OnMouseDblClick(c->GetRECT().MW(), c->GetRECT().MH(), kNone));
  EXPECT_EQ(std::tuple(led->GetValue(), push->GetValue(), extra->GetValue(), update->GetValue()),
            std::tuple(1.0, 0.0, 1.0, 1.0));
  (void)push;
  EXPECT_TRUE(plug.commands.empty());
  EXPECT_TRUE(plug.sentFromUI.empty());
}

TEST_F(ButtonsQN, TheHoverHighlightLiesUnderTheCentredFrameWhileTheMouseIsOver)
{
  const IColor highlight(16, 255, 255, 255);
  // 30 × 20 frames in bounds made 40 × 30 afterwards: the highlight follows the frame, not the bounds.
  auto* click = Attach(new IBClickButtonControlQN(100, 100, Bitmap(30, 40, 2), 62, true, true, highlight));
  auto* toggle = Attach(new IBSwitchControlQN(200, 100, Bitmap(30, 40, 2), kMode, true, true, highlight));
  auto* hidden = Attach(new IBSwitchControlQN(300, 100, Bitmap(30, 40, 2), kMode, false, true, highlight));
  for (IControl* c : {static_cast<IControl*>(click), static_cast<IControl*>(toggle)})
  {
    const IRECT b = c->GetRECT();
    c->SetTargetAndDrawRECTs(IRECT(b.L, b.T, b.L + 40, b.T + 30));
    const IRECT frame(b.L + 5, b.T + 5, b.L + 35, b.T + 25);
    EXPECT_EQ(g->DrawOf(c).size(), 1u); // the bitmap alone
    c->SetClean();
    g->OnMouseOver(b.L + 20, b.T + 15, kNone);
    EXPECT_TRUE(c->IsDirty());
    const auto shapes = g->DrawOf(c);
    ASSERT_EQ(shapes.size(), 2u);
    EXPECT_EQ(std::tuple(shapes[0].op, shapes[0].r, shapes[0].color, shapes[0].text),
              std::tuple(std::string("FillRoundRect"), frame, highlight, std::string("2")));
    EXPECT_EQ(shapes[1].op, "Bitmap");
    g->OnMouseOut();
    EXPECT_EQ(g->DrawOf(c).size(), 1u);
  }
  g->OnMouseOver(310, 110, kNone);
  EXPECT_TRUE(g->DrawOf(hidden).empty()); // an invisible switch draws nothing, highlight or not
}

TEST_F(ButtonsQN, RadioGroupsChooseByValueRuleRoundedAndClamped)
{
  // Three 20 × 20 buttons in a row; the rules of each kind of parameter.
  const IRECT r1(0, 0, 20, 20), r2(30, 0, 50, 20), r3(60, 0, 80, 20);
  const IBitmap b = Bitmap(20, 40, 2);
  struct Case
  {
    int param;
    bool allowNone;
    double start;         // real
    std::array<double, 3> // real value after a click on each button from start
        after;
  };
  const Case cases[] = {
      {kMode, false, 0, {0, 1, 2}},
      {kSamples, true, 2, {1, 0, 3}},   // the active button (2) selects none
      {kSamples, true, 0, {1, 2, 3}},
      {kGain, false, 5, {0, 1, 2}},
      {kFine, false, 0.5, {0, 1, 1}},   // beyond the range: its end
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(testing::Message() << "param " << c.param << " none " << c.allowNone << " from " << c.start);
    auto* group = Attach(new IBRadioButtonsControl3(r1.Union(r3), c.param, r1, b, r2, b, r3, b, c.allowNone));
    ASSERT_EQ(std::pair(group->NButtons(), group->GetAllowNone()), std::pair(3, c.allowNone));
    for (int i = 0; i < group->NButtons(); ++i)
    {
      SetParam(c.param, c.start);
      const IRECT r = group->GetButtonRect(i);
      EXPECT_EQ(group->ButtonAt(r.MW(), r.MH()), i);
      group->OnMouseDown(r.MW(), r.MH(), kAlt);
      EXPECT_TRUE(group->GetStoredMod().A);
      group->OnMouseUp(r.MW(), r.MH(), kAlt);
      EXPECT_FALSE(group->GetStoredMod().A);
      EXPECT_DOUBLE_EQ(plug.Real(c.param), c.after[size_t(i)]) << "button " << i;
    }
    // Right and bottom edges belong to no button, nor does a gap; outside the group's list, no rectangle.
    for (const auto& [x, y] : {std::pair{20.f, 10.f}, {25.f, 10.f}, {65.f, 20.f}}) EXPECT_EQ(group->ButtonAt(x, y), -1);
    EXPECT_TRUE(group->GetButtonRect(3).Empty() && group->GetButtonRect(-1).Empty());
  }
}

TEST_F(ButtonsQN, RadioGroupsDrawTheValuesButtonOrNothingOutsideTheirRange)
{
  const IRECT r1(0, 0, 20, 20), r2(30, 0, 50, 20), r3(60, 0, 80, 20), r4(90, 0, 110, 20);
  const IBitmap b = Bitmap(20, 40, 2), side = Bitmap(40, 20, 2, true);
  const std::string off = Frame(1, 40, 2), on = Frame(2, 40, 2);
  struct Case
  {
    bool four, allowNone;
    double value; // of the Samples parameter
    Frames frames;
  };
  const Case cases[] = {
      {false, false, 0, {on, off, off}},
      {false, false, 2, {off, off, on}},
      {false, false, 3, {}}, // no such button
      {false, true, 0, {off, off, off}},
      {false, true, 3, {off, off, on}},
      {false, true, 4, {}},
      {true, false, 3, {off, off, off, on}},
      {true, true, 4, {off, off, off, on}},
      {true, true, 5, {}},
  };
  for (const Case& c : cases)
  {
    SCOPED_TRACE(testing::Message() << (c.four ? 4 : 3) << " none " << c.allowNone << " value " << c.value);
    IControl* group = c.four ? static_cast<IControl*>(Attach(new IBRadioButtonsControl4(
                                   r1.Union(r4), kSamples, r1, b, r2, b, r3, b, r4, b, c.allowNone)))
                             : Attach(new IBRadioButtonsControl3(r1.Union(r3), kSamples, r1, b, r2, b, r3, b,
                                                                 c.allowNone));
    SetParam(kSamples, c.value);
    EXPECT_EQ(g->FramesOf(group), c.frames);
  }

  // An empty rectangle leaves its button out; frames side by side are taken from the side.
  auto* four = Attach(new IBRadioButtonsControl4(r1.Union(r4), kSamples, r1, b, r2, b, r3, side, r4, b, false));
  four->SetButtonRect(1, IRECT());
  four->SetButtonRect(7, r1); // no such button: ignored
  SetParam(kSamples, 2);
  EXPECT_EQ(g->FramesOf(four), (Frames{off, "20,0", off}));
  EXPECT_EQ(four->GetButtonBitmap(2).W, 40);
  EXPECT_EQ(four->GetButtonBitmap(9).W, four->GetButtonBitmap(3).W); // clamped to the last button
}

TEST_F(ButtonsQN, SnapshotSelectorShowsFilledButtonsAndOverlaysTheSelectedOne)
{
  const IRECT s1(0, 0, 20, 20), s2(30, 0, 50, 20), s3(60, 0, 80, 20), s4(90, 0, 110, 20);
  const IBitmap three = Bitmap(20, 60, 3), two = Bitmap(20, 40, 2);
  auto* snap = Attach(
      new IBRadioButtonsControl4Special(s1.Union(s4), kSamples, s1, three, s2, three, s3, three, s4, two, false, 64));
  snap->SetFilled(1, true);
  snap->SetFilled(9, true); // no such snapshot
  EXPECT_EQ((std::vector<bool>{snap->GetFilled(0), snap->GetFilled(1), snap->GetFilled(9)}),
            (std::vector<bool>{false, true, false}));
  struct Case
  {
    double value;
    Frames frames;
  };
  const std::string f1 = Frame(1, 60, 3), f2 = Frame(2, 60, 3), f3 = Frame(3, 60, 3);
  const Case cases[] = {
      {2, {f1, f2, f1, Frame(1, 40, 2), f3}}, // S3 selected: drawn again in frame 3
      {1, {f1, f2, f1, Frame(1, 40, 2), f3}},
      {3, {f1, f2, f1, Frame(1, 40, 2), Frame(2, 40, 2)}}, // a two-frame bitmap overlays its last frame
      {4, {f1, f2, f1, Frame(1, 40, 2)}},                  // no selection
  };
  for (const Case& c : cases)
  {
    SetParam(kSamples, c.value);
    EXPECT_EQ(g->FramesOf(snap), c.frames) << c.value;
  }
  // A click selects, keeps the modifiers while held and sends the recall, once per click.
  for (int i = 0; i < snap->NButtons(); ++i)
  {
    const IRECT r = snap->GetButtonRect(i);
    snap->OnMouseDown(r.MW(), r.MH(), kAlt);
    EXPECT_TRUE(snap->GetStoredMod().A);
    snap->OnMouseUp(r.MW(), r.MH(), kAlt);
    EXPECT_FALSE(snap->GetStoredMod().A);
    EXPECT_EQ(plug.Real(kSamples), snap->GetAllowNone() ? i + 1 : i);
    EXPECT_EQ(plug.commands.size(), size_t(i + 1));
  }
  EXPECT_EQ(plug.commands, std::vector<int>(4, 64));
}

TEST_F(ButtonsQN, CornerResizerModesAtMouseDownAndDoubleClickAndItsFrames)
{
  struct Case
  {
    int sizeRescale, sizeReset, scaleRescale, scaleReset;
    IMouseMod mod;
    EUIResizerMode down; // the editor's mode after a mouse-down (from Size)
    std::vector<int> dbl; // commands a double click sends
  };
  const Case cases[] = {
      {10, 11, 56, 57, kNone, EUIResizerMode::Size, {11}},
      {10, 11, 56, 57, kCtrl, EUIResizerMode::Scale, {57}},
      {10, 11, -1, -1, kCtrl, EUIResizerMode::Size, {11}},
      {-1, -1, 56, 57, kNone, EUIResizerMode::Scale, {57}},
      {10, -1, 56, 57, kCtrl, EUIResizerMode::Size, {}}, // incomplete: no mode of its own
  };
  const IBitmap b = Bitmap(16, 32, 2);
  for (const Case& c : cases)
  {
    SCOPED_TRACE(testing::Message() << c.sizeRescale << "," << c.sizeReset << "," << c.scaleRescale << ","
                                    << c.scaleReset << " ctrl " << c.mod.C);
    // An editor of its own: it takes one resizer.
    FieldPlug dlg;
    ShapeGraphics ui(dlg, 424, 610);
    auto* r = new IBCornerResizerControlQN(IRECT(0, 0, 424, 610), b, c.sizeRescale, c.sizeReset, c.scaleRescale,
                                           c.scaleReset, 1.f, 2.f);
    ui.AttachCornerResizer(r, EUIResizerMode::Size, true);
    EXPECT_EQ(r->GetRECT(), IRECT(408, 594, 424, 610)); // the editor's corner, one bitmap wide
    EXPECT_EQ(ui.FramesOf(r), Frames{Frame(1, 32, 2)});
    EXPECT_EQ(ui.DrawOf(r)[0].r, IRECT(409, 596, 425, 612)); // shifted by the offsets

    r->OnMouseDown(416, 600, c.mod);
    EXPECT_EQ(std::pair(ui.GetResizerMode(), ui.GetResizingInProcess()), std::pair(c.down, true));
    EXPECT_EQ(ui.FramesOf(r), Frames{Frame(2, 32, 2)}); // while the gesture is under way
    ui.SetResizingInProcess(false);
    ui.SetResizerMode(EUIResizerMode::Size);
    dlg.commands.clear();
    r->OnMouseDblClick(416, 600, c.mod);
    EXPECT_EQ(dlg.commands, c.dbl);
  }
}
