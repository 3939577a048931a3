#pragma once

// A scripted context that records the primitives controls call (before they become paths): rectangles, rounded
// rectangles with their corner radii, ellipses, lines, arcs, triangles with their corners, grids and data lines.
// Text measures 7 units per character and as tall as its size. It can hold the colour picker's answer back.
// Header-only; include as "controls/support/PrimitiveRecorder.h".

#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace plugin::igraphics::test
{

// The list of primitives, the text measure and the colour picker, without recording anything yet: a test that
// wants only a few primitives recorded overrides just those.
class PrimitiveListGraphics : public ScriptedGraphics
{
public:
  using ScriptedGraphics::ScriptedGraphics;

  struct Prim
  {
    std::string op;
    IColor color;
    IRECT r;              // the rectangle, or a line's end points
    std::vector<float> a; // further arguments
    float weight = -1.f;  // the blend's weight; -1 without a blend
  };
  std::vector<Prim> prims;
  std::vector<Prim> Of(const std::string& op) const
  {
    std::vector<Prim> out;
    for (const auto& p : prims)
      if (p.op == op) out.push_back(p);
    return out;
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
  float DoMeasureText(const IText& text, const char* str, IRECT& bounds) const override
  {
    const float w = 7.f * static_cast<float>(std::string(str).size());
    bounds = IRECT(bounds.L, bounds.T, bounds.L + w, bounds.T + text.mSize);
    return w;
  }
};

class PrimitiveRecorder : public PrimitiveListGraphics
{
public:
  using PrimitiveListGraphics::PrimitiveListGraphics;
  using ScriptedGraphics::DrawEllipse;
  using ScriptedGraphics::DrawRoundRect;
  using ScriptedGraphics::FillEllipse;
  using ScriptedGraphics::FillRect;
  using ScriptedGraphics::FillRoundRect;

  void FillRect(const IColor& c, const IRECT& r, const IBlend* b) override { Add("FillRect", c, r, {}, b); }
  void DrawRect(const IColor& c, const IRECT& r, const IBlend* b, float t) override { Add("DrawRect", c, r, {t}, b); }
  void FillRoundRect(const IColor& c, const IRECT& r, float cr, const IBlend* b) override
  {
    Add("FillRoundRect", c, r, {cr, cr, cr, cr}, b);
  }
  void FillRoundRect(const IColor& c, const IRECT& r, float tl, float tr, float bl, float br, const IBlend* b) override
  {
    Add("FillRoundRect", c, r, {tl, tr, bl, br}, b);
  }
  void DrawRoundRect(const IColor& c, const IRECT& r, float cr, const IBlend* b, float t) override
  {
    Add("DrawRoundRect", c, r, {cr, cr, cr, cr, t}, b);
  }
  void DrawRoundRect(const IColor& c, const IRECT& r, float tl, float tr, float bl, float br, const IBlend* b,
                     float t) override
  {
    Add("DrawRoundRect", c, r, {tl, tr, bl, br, t}, b);
  }
  void FillEllipse(const IColor& c, const IRECT& r, const IBlend* b) override { Add("FillEllipse", c, r, {}, b); }
  void DrawEllipse(const IColor& c, const IRECT& r, const IBlend* b, float t) override
  {
    Add("DrawEllipse", c, r, {t}, b);
  }
  void FillCircle(const IColor& c, float cx, float cy, float radius, const IBlend* b) override
  {
    Add("FillCircle", c, IRECT(cx - radius, cy - radius, cx + radius, cy + radius), {cx, cy, radius}, b);
  }
  void DrawLine(const IColor& c, float x1, float y1, float x2, float y2, const IBlend* b, float t) override
  {
    Add("DrawLine", c, IRECT(x1, y1, x2, y2), {t}, b);
  }
  void DrawArc(const IColor& c, float cx, float cy, float r, float a1, float a2, const IBlend* b, float t) override
  {
    Add("DrawArc", c, IRECT(), {cx, cy, r, a1, a2, t}, b);
  }
  // The corners in order; r is their bounding box.
  void FillTriangle(const IColor& c, float x1, float y1, float x2, float y2, float x3, float y3,
                    const IBlend* b) override
  {
    Add("FillTriangle", c, Box(x1, y1, x2, y2, x3, y3), {x1, y1, x2, y2, x3, y3}, b);
  }
  void DrawTriangle(const IColor& c, float x1, float y1, float x2, float y2, float x3, float y3, const IBlend* b,
                    float t) override
  {
    Add("DrawTriangle", c, Box(x1, y1, x2, y2, x3, y3), {x1, y1, x2, y2, x3, y3, t}, b);
  }
  void DrawGrid(const IColor& c, const IRECT& r, float h, float v, const IBlend* b, float t) override
  {
    Add("DrawGrid", c, r, {h, v, t}, b);
  }
  void DrawData(const IColor& c, const IRECT& r, const float* y, int n, const float*, const IBlend* b, float t) override
  {
    Add("DrawData", c, r, {t}, b);
    prims.back().a.insert(prims.back().a.end(), y, y + n);
  }
  void DrawFastDropShadow(const IRECT& inner, const IRECT& outer, float drop, float roundness, float blur,
                          const IBlend* b) override
  {
    Add("DrawFastDropShadow", COLOR_BLACK, outer, {inner.L, inner.T, inner.R, inner.B, drop, roundness, blur}, b);
  }
  // Every text drawn, with the style's colour and alignment: a = {align, vertical align, size}.
  void DoDrawText(const IText& text, const char* str, const IRECT& r, const IBlend* b) override
  {
    ScriptedGraphics::DoDrawText(text, str, r, b);
    Add("Text", text.mFGColor, r, {float(text.mAlign), float(text.mVAlign), text.mSize}, b);
    texts.push_back(str ? str : "");
  }
  std::vector<std::string> texts;

  void Reset()
  {
    prims.clear();
    texts.clear();
    drawn.clear();
  }

private:
  void Add(const char* op, const IColor& c, const IRECT& r, std::vector<float> a, const IBlend* b)
  {
    prims.push_back({op, c, r, std::move(a), b ? b->weight : -1.f});
  }
  static IRECT Box(float x1, float y1, float x2, float y2, float x3, float y3)
  {
    return IRECT(std::min({x1, x2, x3}), std::min({y1, y2, y3}), std::max({x1, x2, x3}), std::max({y1, y2, y3}));
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
