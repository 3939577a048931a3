#pragma once

// The editor the vector-control tests build on: a delegate with a gain (double, -10..10 dB), a mode (enumeration
// Low / Mid / High) and two plain parameters, a primitive-recording context of 400 × 400, and a clock the test
// moves. Header-only; include as "controls/support/VectorFixture.h".

#include "controls/IVectorBase.h"
#include "framework/IParam.h"
#include "controls/support/PrimitiveRecorder.h"

#include <gtest/gtest.h>

#include <memory>

namespace plugin::igraphics::test
{

inline double& VectorFixtureNow()
{
  static double now = 0.0;
  return now;
}

struct VectorFixture : ::testing::Test
{
  RecordingDelegate dlg{4};
  std::unique_ptr<PrimitiveRecorder> g;

  void SetUp() override
  {
    VectorFixtureNow() = 100.0;
    IGraphics::SetClock([] { return VectorFixtureNow(); });
    dlg.GetParam(0)->InitDouble("Gain", 0.0, -10.0, 10.0, 0.1, "dB");
    dlg.GetParam(1)->InitEnum("Mode", 0, {"Low", "Mid", "High"});
    dlg.GetParam(2)->InitDouble("A", 0.0, 0.0, 1.0, 0.01);
    dlg.GetParam(3)->InitDouble("B", 0.0, 0.0, 1.0, 0.01);
    dlg.SetGraphicsReady(true);
    g = std::make_unique<PrimitiveRecorder>(dlg, 400, 400);
  }
  void TearDown() override
  {
    g.reset();
    IGraphics::SetClock(nullptr);
  }
  template <class C> C* Attach(C* c) { return static_cast<C*>(g->AttachControl(c)); }
  // Moves the clock and lets every control animate.
  void Frame(double seconds)
  {
    VectorFixtureNow() += seconds;
    g->ForAllControlsFunc([](IControl* c) { c->Animate(); });
  }
  // The primitives one draw of c makes.
  std::vector<PrimitiveRecorder::Prim> DrawOf(IControl& c)
  {
    g->Reset();
    c.Draw(*g);
    return g->prims;
  }
};

// A control that shows what its vector part computes and draws.
class VectorProbe : public IControl, public IVectorBase
{
public:
  VectorProbe(const IVStyle& style, const char* label, const char* value, const IRECT& r = IRECT())
      : IControl(r), IVectorBase(style)
  {
    AttachIControl(this, label);
    SetValueStr(value);
  }
  void Draw(IGraphics&) override {}
};

} // namespace plugin::igraphics::test
