#include "controls/IBitmapControls.h"
#include "framework/IParam.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>

using namespace plugin::igraphics;
using plugin::IParam;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

// A context whose resources are a table of images per (name, scale); rotated bitmaps are recorded as one call.
class BitmapGraphics : public ScriptedGraphics
{
public:
  using ScriptedGraphics::ScriptedGraphics;

  struct Res
  {
    int w, h; // pixels
  };
  std::map<std::pair<std::string, int>, Res> resources;
  std::vector<std::unique_ptr<APIBitmap>> images;
  std::vector<std::string> loads;

  IBitmap LoadBitmap(const char* name, int nStates, bool horizontal, int targetScale) override
  {
    const int scale = targetScale > 0 ? targetScale : 1;
    loads.push_back(std::string(name) + "@" + std::to_string(scale));
    const auto it = resources.find({name, scale});
    if (it == resources.end()) return IBitmap(nullptr, nStates, horizontal, name);
    images.push_back(
        std::make_unique<APIBitmap>(int(images.size()) + 1, it->second.w, it->second.h, float(scale), 1.f));
    return IBitmap(images.back().get(), nStates, horizontal, name);
  }
  void DrawRotatedBitmap(const IBitmap& b, float cx, float cy, double angle, const IBlend*) override
  {
    drawn.push_back({"DrawRotatedBitmap", {cx, cy, angle, double(b.W)}, "", COLOR_BLACK});
  }

  // The last plain bitmap draw: L, T, R, B, srcX, srcY, W, H.
  std::vector<double> LastBitmap() const
  {
    const auto c = Calls("DrawBitmap");
    return c.empty() ? std::vector<double>{} : c.back().a;
  }
};

struct BitmapControlsTest : ::testing::Test
{
  // 0: switch parameter 0..5 (six states), 1: smooth 0..1
  RecordingDelegate dlg{2};
  std::unique_ptr<BitmapGraphics> g;
  std::vector<std::unique_ptr<APIBitmap>> own;

  void SetUp() override
  {
    dlg.GetParam(0)->InitInt("Mode", 0, 0, 5);
    dlg.GetParam(1)->InitDouble("Mix", 0.0, 0.0, 1.0, 0.01);
    dlg.SetGraphicsReady(true);
    g = std::make_unique<BitmapGraphics>(dlg, 400, 300);
  }

  // A bitmap of w × h points at scale 1.
  IBitmap Make(int w, int h, int frames, bool horizontal = false, const char* name = "")
  {
    own.push_back(std::make_unique<APIBitmap>(100 + int(own.size()), w, h, 1.f, 1.f));
    return IBitmap(own.back().get(), frames, horizontal, name);
  }

  template <class C> C* Attach(C* c) { return static_cast<C*>(g->AttachControl(c)); }
  void Draw(IControl* c)
  {
    g->drawn.clear();
    c->Draw(*g);
  }
};

void ExpectFinite(const BitmapGraphics& g)
{
  for (const auto& c : g.drawn)
    for (double v : c.a)
      EXPECT_TRUE(std::isfinite(v)) << c.op;
}

} // namespace

TEST_F(BitmapControlsTest, FramesFollowTheValue)
{
  // Three stacked frames of 30 × 20 in a 30 × 60 bitmap: rounding to the nearest frame.
  auto* c = Attach(new IBitmapControl(10, 20, Make(30, 60, 3), 1));
  EXPECT_EQ(c->GetRECT(), IRECT(10, 20, 40, 40));
  const std::pair<double, int> cases[] = {{0.0, 1}, {0.24, 1}, {0.25, 2}, {0.74, 2}, {0.75, 3},
                                          {1.0, 3}, {-5.0, 1}, {7.0, 3},  {NAN, 1},  {INFINITY, 3}};
  for (const auto& [value, frame] : cases)
  {
    c->SetValue(value);
    Draw(c);
    const auto a = g->LastBitmap();
    ASSERT_EQ(a.size(), 8u);
    EXPECT_EQ((std::vector<double>(a.begin(), a.begin() + 6)),
              (std::vector<double>{10, 20, 40, 40, 0, 20.0 * (frame - 1)}))
        << "value " << value;
  }

  // A horizontal strip of 5 frames, 101 points wide: 20-point frames at 0, 20, 40, 60, 80.
  auto* strip = Attach(new IBitmapControl(0, 0, Make(101, 10, 5, true), 1));
  EXPECT_EQ(strip->GetRECT(), IRECT(0, 0, 20, 10));
  for (int f = 0; f < 5; ++f)
  {
    strip->SetValue(f / 4.0);
    Draw(strip);
    EXPECT_EQ(g->LastBitmap()[4], 20.0 * f);
  }

  // One frame: always frame 1.
  auto* one = Attach(new IBitmapControl(0, 0, Make(16, 16, 1), 1));
  one->SetValue(1.0);
  Draw(one);
  EXPECT_EQ(g->LastBitmap()[5], 0.0);
}

TEST_F(BitmapControlsTest, SwitchStepsByItsFramesAndClampsTheFrame)
{
  const IMouseMod m;
  struct Case
  {
    int frames;
    std::vector<double> clicks;
  };
  // The bitmap decides the steps, not the six states of parameter 0.
  const Case cases[] = {{4, {1.0 / 3, 2.0 / 3, 1.0, 0.0}}, {1, {1.0, 0.0, 1.0}}, {2, {1.0, 0.0}}};
  for (const auto& cs : cases)
  {
    auto* s = Attach(new IBSwitchControl(0, 0, Make(20, 20 * cs.frames, cs.frames), 0));
    EXPECT_EQ(s->NStates(), 6);
    for (double expected : cs.clicks)
    {
      s->OnMouseDown(5, 5, m);
      s->OnMouseUp(5, 5, m);
      EXPECT_NEAR(s->GetValue(), expected, 1e-12) << cs.frames << " frames";
      Draw(s);
      const int frame = int(g->LastBitmap()[5] / 20) + 1;
      EXPECT_GE(frame, 1);
      EXPECT_LE(frame, cs.frames);
    }
  }

  // A value a hair above 1 is kept (it still shows the last frame); the click after it wraps.
  auto* s = Attach(new IBSwitchControl(IRECT(0, 0, 100, 100), Make(20, 60, 3), -1));
  EXPECT_EQ(s->GetRECT(), IRECT(40, 40, 60, 60)); // the frame centred in the bounds
  s->SetValue(0.5005);
  const size_t sent = dlg.sentFromUI.size();
  s->OnMouseDown(0, 0, m);
  EXPECT_EQ(dlg.sentFromUI.size(), sent); // unlinked: nothing to the host
  EXPECT_DOUBLE_EQ(s->GetValue(), 1.0);   // stored 1.0005, then clamped by SetDirty
  s->OnMouseDown(0, 0, m);
  EXPECT_DOUBLE_EQ(s->GetValue(), 0.0);
}

TEST_F(BitmapControlsTest, KnobsButtonsAndTheRotater)
{
  auto* knob = Attach(new IBKnobControl(IRECT(0, 0, 100, 100), Make(40, 400, 10), 1, kVertical, 4.0));
  EXPECT_EQ(knob->GetRECT(), IRECT(30, 30, 70, 70));
  // Dragged up by the whole height at gearing 4: a quarter of the range, which frame 10 × 0.25 rounds to.
  knob->OnMouseDown(50, 50, IMouseMod());
  knob->OnMouseDrag(50, 10, 0, -40, IMouseMod());
  knob->OnMouseUp(50, 10, IMouseMod());
  EXPECT_NEAR(knob->GetValue(), 0.25, 1e-9);
  Draw(knob);
  EXPECT_EQ(g->LastBitmap()[5], 2 * 40.0); // int(0.25 × 9 + 0.5) + 1 = frame 3
  ASSERT_FALSE(dlg.sentFromUI.empty());
  EXPECT_EQ(dlg.sentFromUI.back().paramIdx, 1);

  auto* button = Attach(new IBButtonControl(5, 5, Make(10, 20, 2), nullptr));
  button->OnMouseDown(6, 6, IMouseMod());
  Draw(button);
  EXPECT_EQ(g->LastBitmap()[5], 10.0); // pressed: the second frame
  button->OnEndAnimation();
  Draw(button);
  EXPECT_EQ(g->LastBitmap()[5], 0.0);

  auto* rot = Attach(new IBKnobRotaterControl(IRECT(0, 0, 60, 60), Make(30, 30, 1), 1));
  for (const auto& [value, angle] : {std::pair{0.0, -130.0}, {0.5, 0.0}, {1.0, 130.0}})
  {
    rot->SetValue(value);
    Draw(rot);
    const auto r = g->Calls("DrawRotatedBitmap");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ((std::vector<double>{r[0].a[0], r[0].a[1], r[0].a[2]}), (std::vector<double>{30, 30, angle}));
  }
}

TEST_F(BitmapControlsTest, SliderTrackAndHandle)
{
  // Vertical, no track bitmap: the track is as wide as the handle, centred; value 1 at the top.
  auto* v = Attach(new IBSliderControl(10, 10, 100, Make(20, 10, 1), IBitmap(), 1, kVertical));
  EXPECT_EQ(v->GetRECT(), IRECT(10, 10, 30, 110));
  EXPECT_EQ(v->GetTrackBounds(), IRECT(10, 10, 30, 110));
  EXPECT_EQ(v->GetHandleSize(), 10.f);
  EXPECT_EQ(v->HandleRectForValue(1.0), IRECT(10, 10, 30, 20));
  EXPECT_EQ(v->HandleRectForValue(0.0), IRECT(10, 100, 30, 110));
  v->SetValue(0.5);
  Draw(v);
  const auto d = g->Calls("DrawBitmap");
  ASSERT_EQ(d.size(), 1u); // no track bitmap drawn
  EXPECT_EQ((std::vector<double>(d[0].a.begin(), d[0].a.begin() + 4)), (std::vector<double>{10, 55, 30, 65}));

  // Horizontal with a track bitmap: the track is that bitmap centred in the control, drawn first.
  auto* h = Attach(new IBSliderControl(IRECT(0, 0, 200, 40), Make(10, 30, 1), Make(180, 20, 1), 1, kHorizontal));
  EXPECT_EQ(h->GetTrackBounds(), IRECT(10, 10, 190, 30));
  EXPECT_EQ(h->HandleRectForValue(1.0), IRECT(180, 10, 190, 40));
  Draw(h);
  const auto hd = g->Calls("DrawBitmap");
  ASSERT_EQ(hd.size(), 2u);
  EXPECT_EQ(hd[0].a[6], 180.0);
}

TEST_F(BitmapControlsTest, EmptyBitmapsAndBoundsDrawFiniteCoordinates)
{
  // Bitmaps without an image, without frames, or with more frames than pixels; bounds of no size.
  auto* a = Attach(new IBitmapControl(0, 0, IBitmap(), 1));
  auto* b = Attach(new IBKnobControl(IRECT(), Make(3, 0, 5, true), 1));
  auto* s = Attach(new IBSliderControl(IRECT(5, 5, 5, 5), IBitmap(), IBitmap(), 1, kVertical));
  auto* r = Attach(new IBKnobRotaterControl(IRECT(), IBitmap(), 1));
  auto* w = Attach(new IBSwitchControl(IRECT(), Make(0, 0, 0), 0));
  for (IControl* c : std::vector<IControl*>{a, b, s, r, w})
    for (double value : {0.0, 0.5, 1.0, double(NAN)})
    {
      c->SetValue(value);
      Draw(c);
      ExpectFinite(*g);
    }
  w->OnMouseDown(0, 0, IMouseMod());
  EXPECT_DOUBLE_EQ(w->GetValue(), 1.0);
}

TEST_F(BitmapControlsTest, RescaleLoadsTheScaledVariantAndKeepsTheBitmapWithoutOne)
{
  g->resources[{"knob.png", 1}] = {40, 400};
  g->resources[{"knob.png", 2}] = {80, 800};
  g->resources[{"slider.png", 1}] = {20, 10};
  const IBitmap knobBitmap = g->LoadBitmap("knob.png", 10, false, 1);
  auto* k = Attach(new IBKnobControl(IRECT(0, 0, 40, 40), knobBitmap, 1));
  g->SetScreenScale(2.f);
  EXPECT_EQ(k->GetBitmap().GetScale(), 2.f);
  EXPECT_EQ(k->GetBitmap().W, 40); // points stay the same
  EXPECT_EQ(k->GetBitmap().N, 10);

  // No "@2x" variant of the handle: the one already held stays.
  auto* s = Attach(
      new IBSliderControl(IRECT(0, 0, 20, 100), g->LoadBitmap("slider.png", 1, false, 1), IBitmap(), 1, kVertical));
  EXPECT_TRUE(s->GetBitmap().IsValid());
  EXPECT_EQ(s->GetBitmap().W, 20);
  EXPECT_EQ(g->loads.back(), "slider.png@2");
}

TEST_F(BitmapControlsTest, BitmapTextDrawsOneFramePerCharacter)
{
  // 96 stacked 8 × 10 cells: frame k shows character code k + 31.
  const IText right(14.f, COLOR_BLACK, "Roboto-Regular", kAlignFar);
  auto* t = Attach(
      new IBTextControl(IRECT(0, 0, 100, 30), Make(8, 960, 96), right, "A!", 8, 10, 2, false, true, kBlendDefault));
  Draw(t);
  const auto d = g->Calls("DrawBitmap");
  ASSERT_EQ(d.size(), 2u);
  // Right-aligned: two 8-point cells end at the right edge; advance 8 + 2; vertically centred.
  EXPECT_EQ((std::vector<double>(d[0].a.begin(), d[0].a.begin() + 6)), (std::vector<double>{84, 10, 92, 20, 0, 330}));
  EXPECT_EQ((std::vector<double>(d[1].a.begin(), d[1].a.begin() + 6)), (std::vector<double>{94, 10, 102, 20, 0, 10}));
  EXPECT_TRUE(g->Calls("PathFill").empty()); // no background

  t->SetStr(nullptr);
  Draw(t);
  EXPECT_TRUE(g->drawn.empty());
  t->SetStr("x");
  t->SetSize(0, 0);
  Draw(t);
  EXPECT_TRUE(g->drawn.empty()); // no width: nothing, rather than a division by it
}
