#pragma once

// A recorded context with Roboto loaded as "sans" and a 400 × 400 frame begun at the given pixel ratio, for the
// renderer's text tests; Triangles() lists the glyph quads that reached the back end.

#include "renderer/support/RecordingBackend.h"
#include "tests/renderer/FontTestUtil.h"

#include <vector>

struct TextCtx : RecordedContext
{
  int font = vrCreateFont(ctx, "sans", fonttest::kRoboto);
  explicit TextCtx(float ratio = 1) { vrBeginFrame(ctx, 400, 400, ratio); }
  std::vector<const RecordedCall*> Triangles() const
  {
    std::vector<const RecordedCall*> out;
    for (const RecordedCall& c : be.calls)
      if (c.kind == RecordedCall::Triangles) out.push_back(&c);
    return out;
  }
};
