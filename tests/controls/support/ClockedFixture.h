#pragma once

// The editor the animated-control tests build on: a recording delegate with the fixture's number of parameters, a
// context of type Graphics the test makes in its SetUp, and the context clock pointed at a time the test moves
// (100 s at the start of each test). Header-only; include as "controls/support/ClockedFixture.h".

#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <memory>

namespace plugin::igraphics::test
{

template <class Graphics> struct ClockedFixture : ::testing::Test
{
  RecordingDelegate dlg;
  std::unique_ptr<Graphics> g;

  explicit ClockedFixture(int nParams) : dlg(nParams) {}

  // The context clock's time, in seconds.
  static double& Now()
  {
    static double now = 0.0;
    return now;
  }
  // Starts the clock and tells the delegate the editor is ready: initialise parameters before, make g after.
  void SetUp() override
  {
    Now() = 100.0;
    IGraphics::SetClock([] { return Now(); });
    dlg.SetGraphicsReady(true);
  }
  // The context goes while the clock is still ours.
  void TearDown() override
  {
    g.reset();
    IGraphics::SetClock(nullptr);
  }
  // One frame dt seconds on: the context collects what it redraws, which steps the animations.
  void Frame(double dt)
  {
    Now() += dt;
    IRECTList rects;
    g->IsDirty(rects);
  }
};

} // namespace plugin::igraphics::test
