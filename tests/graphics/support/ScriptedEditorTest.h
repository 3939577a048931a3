#pragma once

// The editor most graphics-context tests build on: a recording delegate with the fixture's number of parameters
// and a scripted context of 200 × 100 at scale 1, made by Open() once the parameters and size constraints are set.
// Header-only; include as "graphics/support/ScriptedEditorTest.h".

#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <memory>

namespace plugin::igraphics::test
{

struct ScriptedEditorTest : ::testing::Test
{
  RecordingDelegate dlg;
  std::unique_ptr<ScriptedGraphics> g;

  explicit ScriptedEditorTest(int nParams) : dlg(nParams) {}

  // Every parameter named "p", 0 .. 1 in steps of 0.01.
  void PlainParams()
  {
    for (int i = 0; i < dlg.NParams(); ++i)
      dlg.GetParam(i)->InitDouble("p", 0.0, 0.0, 1.0, 0.01);
  }
  // Makes the context and tells the delegate the editor is ready.
  void Open()
  {
    g = std::make_unique<ScriptedGraphics>(dlg, 200, 100, 0, 1.f);
    dlg.SetGraphicsReady(true);
  }
  // A recording control attached with the tag and group given.
  RecordingControl* Add(const IRECT& r, int paramIdx = -1, int tag = -1, const char* group = "")
  {
    return static_cast<RecordingControl*>(g->AttachControl(new RecordingControl(r, paramIdx), tag, group));
  }
};

} // namespace plugin::igraphics::test
