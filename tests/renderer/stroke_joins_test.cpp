// Joins next to short segments, where the inner side of a corner cannot reach its miter point (the inner bevel),
// turning both ways: the stroke's strip against Cairo stroking the same line.

#include "renderer/VectorRenderer_p.h"
#include "renderer/support/CairoMask.h"
#include "renderer/support/RecordingBackend.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr int kSize = 200;

// Legs of 8 under a stroke 24 wide: every corner's inner side overlaps the neighbouring legs.
TEST(RendererStroke, ShortLegsTurningBothWays)
{
  struct Case
  {
    const char* name;
    int join;
    cairo_line_join_t cjoin;
  };
  const float pts[][2] = {{30, 100}, {60, 100}, {66, 94}, {72, 100}, {78, 106}, {84, 100}, {120, 100},
                          {126, 106}, {132, 100}, {170, 100}};
  for (const Case& k : {Case{"miter", VR_MITER, CAIRO_LINE_JOIN_MITER}, Case{"round", VR_ROUND, CAIRO_LINE_JOIN_ROUND},
                        Case{"bevel", VR_BEVEL, CAIRO_LINE_JOIN_BEVEL}})
  {
    SCOPED_TRACE(k.name);
    RecordedContext c(0);
    vrBeginFrame(c.ctx, kSize, kSize, 1);
    CairoMask ours(kSize, kSize), ref(kSize, kSize);
    cairo_t* cr = ref.cr();
    vrBeginPath(c.ctx);
    for (size_t i = 0; i < sizeof(pts) / sizeof(pts[0]); i++)
    {
      (i ? vrLineTo : vrMoveTo)(c.ctx, pts[i][0], pts[i][1]);
      cairo_line_to(cr, pts[i][0], pts[i][1]);
    }
    vrStrokeWidth(c.ctx, 24);
    vrLineJoin(c.ctx, k.join);
    vrMiterLimit(c.ctx, 4);
    vrStroke(c.ctx);
    ASSERT_EQ(c.be.calls.size(), 1u);
    const RecordedPath& path = c.be.Last().paths.at(0);
    EXPECT_GT(path.path.nbevel, 0);
    ours.Strip(path.stroke);
    cairo_set_line_width(cr, 24);
    cairo_set_line_join(cr, k.cjoin);
    cairo_set_miter_limit(cr, 4);
    cairo_stroke(cr);
    EXPECT_LE(ours.Differences(ref, std::string("short_legs_") + k.name, 30), 30);
  }
}

} // namespace
