#pragma once

// A scripted context that records the primitives vector controls call (before they become paths), measures
// text 7 units per character wide and as tall as its size, and can hold the colour picker's answer back.

#include "support/ScriptedGraphics.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace plugin::igraphics::test
{

class PrimitiveGraphics : public ScriptedGraphics
{
public:
  using ScriptedGraphics::DrawEllipse;
  using ScriptedGraphics::DrawRoundRect;
  using ScriptedGraphics::FillEllipse;
  using ScriptedGraphics::FillRect;
  using ScriptedGraphics::FillRoundRect;
  using ScriptedGraphics::ScriptedGraphics;

  struct Prim
  {
    std::string op;
    IColor color;
    IRECT r;              // the rectangle, or a line's end points
    std::vector<float> a; // further arguments
  };
  std::vector<Prim> prims;
  std::vector<Prim> Of(const std::string& op) const
  {
    std::vector<Prim> out;
    for (const auto& p : prims)
      if (p.op == op) out.push_back(p);
    return out;
  }

  void FillRect(const IColor& c, const IRECT& r, const IBlend*) override { prims.push_back({"FillRect", c, r, {}}); }
  void DrawRect(const IColor& c, const IRECT& r, const IBlend*, float) override
  {
    prims.push_back({"DrawRect", c, r, {}});
  }
  void FillRoundRect(const IColor& c, const IRECT& r, float, const IBlend*) override
  {
    prims.push_back({"FillRoundRect", c, r, {}});
  }
  void FillRoundRect(const IColor& c, const IRECT& r, float tl, float tr, float bl, float br, const IBlend*) override
  {
    prims.push_back({"FillRoundRect", c, r, {tl, tr, bl, br}});
  }
  void DrawData(const IColor& c, const IRECT& r, const float* y, int n, const float*, const IBlend*, float t) override
  {
    prims.push_back({"DrawData", c, r, {t}});
    prims.back().a.insert(prims.back().a.end(), y, y + n);
  }
  void DrawGrid(const IColor& c, const IRECT& r, float h, float v, const IBlend*, float) override
  {
    prims.push_back({"DrawGrid", c, r, {h, v}});
  }
  bool pickerLater = false;
  IColorPickerHandlerFunc heldPicker;
  bool PromptForColor(IColor& color, const char* str, IColorPickerHandlerFunc f) override
  {
    calls.push_back(std::string("PromptForColor(") + str + ")");
    if (!pickerLater) return ScriptedGraphics::PromptForColor(color, str, f);
    heldPicker = f;
    return true;
  }
  void DrawRoundRect(const IColor& c, const IRECT& r, float, const IBlend*, float) override
  {
    prims.push_back({"DrawRoundRect", c, r, {}});
  }
  void FillEllipse(const IColor& c, const IRECT& r, const IBlend*) override
  {
    prims.push_back({"FillEllipse", c, r, {}});
  }
  void DrawEllipse(const IColor& c, const IRECT& r, const IBlend*, float) override
  {
    prims.push_back({"DrawEllipse", c, r, {}});
  }
  void DrawLine(const IColor& c, float x1, float y1, float x2, float y2, const IBlend*, float t) override
  {
    prims.push_back({"DrawLine", c, IRECT(x1, y1, x2, y2), {t}});
  }
  void DrawArc(const IColor& c, float cx, float cy, float r, float a1, float a2, const IBlend*, float t) override
  {
    prims.push_back({"DrawArc", c, IRECT(), {cx, cy, r, a1, a2, t}});
  }
  void FillTriangle(const IColor& c, float, float, float, float, float, float, const IBlend*) override
  {
    prims.push_back({"FillTriangle", c, IRECT(), {}});
  }
  float DoMeasureText(const IText& text, const char* str, IRECT& bounds) const override
  {
    const float w = 7.f * static_cast<float>(std::string(str).size());
    bounds = IRECT(bounds.L, bounds.T, bounds.L + w, bounds.T + text.mSize);
    return w;
  }
};

// A style without texts; Plain() also without frame and shadows, so the widget is the whole control.
inline IVStyle Bare()
{
  IVStyle s;
  s.showLabel = s.showValue = false;
  return s;
}
inline IVStyle Plain()
{
  IVStyle s = Bare();
  s.drawFrame = s.drawShadows = false;
  return s;
}

// Edges within a thousandth.
inline ::testing::AssertionResult Near(const IRECT& r, const IRECT& e)
{
  if (std::abs(r.L - e.L) < 1e-3f && std::abs(r.T - e.T) < 1e-3f && std::abs(r.R - e.R) < 1e-3f &&
      std::abs(r.B - e.B) < 1e-3f)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "{" << r.L << ", " << r.T << ", " << r.R << ", " << r.B << "}";
}

} // namespace plugin::igraphics::test
