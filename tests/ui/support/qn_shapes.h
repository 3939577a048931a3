#pragma once

// A rig for single product controls that looks at their drawing as shapes: a plug-in double with a stepped fine
// parameter next to the product's kinds (continuous, whole numbers, an enumeration), and a scripted graphics
// context that records bitmaps (with their source frame offsets), texts, filled and outlined rectangles, and the
// bounds and paint of each filled path. Text is measured as 7 points per character and the style's size high,
// centred on the bounds.

#include "ui_env.h"

#include <algorithm>
#include <string>
#include <vector>

namespace qnshapes
{

using namespace plugin::igraphics;
using plugin::IParam;
using qnrig::kAlt;
using qnrig::kCtrl;
using qnrig::kNone;
using qnrig::kShift;

enum : int
{
  kFine = 0,    // 0..1, step 0.0005, stepped
  kGain = 1,    // -24..24 dB, continuous
  kSamples = 2, // 0..1000 "smp", whole numbers
  kMode = 3,    // "A", "B", "C"
  kNumParams
};

class FieldPlug : public test::RecordingDelegate
{
public:
  FieldPlug() : RecordingDelegate(kNumParams)
  {
    GetParam(kFine)->InitDouble("Fine", 0.0, 0.0, 1.0, 0.0005, "", IParam::kFlagStepped);
    GetParam(kGain)->InitDouble("Gain", 0.0, -24.0, 24.0, 0.1, "dB");
    GetParam(kSamples)->InitInt("Samples", 0, 0, 1000, "smp");
    GetParam(kMode)->InitEnum("Mode", 0, 3, "", 0, "", "A", "B", "C");
    SetGraphicsReady(true);
  }

  std::vector<int> commands;        // OnParamChange(code, kUI, -1) calls
  std::vector<int> mouseOverAtSend; // the editor's mouse-over index each time a value reached the plug-in
  using RecordingDelegate::OnParamChange;
  void OnParamChange(int idx, plugin::EParamSource, int) override { commands.push_back(idx); }
  void SendParameterValueFromUI(int idx, double normalized, bool notify) override
  {
    mouseOverAtSend.push_back(GetUI() ? GetUI()->GetMouseOverIdx() : -2);
    RecordingDelegate::SendParameterValueFromUI(idx, normalized, notify);
  }
  double Real(int idx) const { return GetParam(idx)->Value(); }
};

class ShapeGraphics : public test::ScriptedGraphics
{
public:
  using ScriptedGraphics::ScriptedGraphics;

  struct Shape
  {
    std::string op; // Bitmap, Text, FillRect, FillRoundRect, DrawRect, DrawRoundRect, PathFill
    IRECT r;
    IColor color;
    std::string text; // frame offset "srcX,srcY", the text, or the radius and thickness
  };
  std::vector<Shape> shapes;
  bool pathSupport = true;

  using ScriptedGraphics::DrawRect;
  using ScriptedGraphics::DrawRoundRect;
  using ScriptedGraphics::FillRect;
  using ScriptedGraphics::FillRoundRect;

  bool HasPathSupport() const override { return pathSupport; }
  float DoMeasureText(const IText& text, const char* str, IRECT& bounds) const override
  {
    const float w = charWidth * static_cast<float>(std::string(str).size());
    const float x = text.mAlign == kAlignNear  ? bounds.L
                    : text.mAlign == kAlignFar ? bounds.R - w
                                               : bounds.MW() - w / 2;
    bounds = IRECT(x, bounds.MH() - text.mSize / 2, x + w, bounds.MH() + text.mSize / 2);
    return w;
  }
  void DoDrawText(const IText& text, const char* str, const IRECT& r, const IBlend*) override
  {
    shapes.push_back({"Text", r, text.mFGColor, str});
  }
  void DrawBitmap(const IBitmap& bitmap, const IRECT& r, int srcX, int srcY, const IBlend* blend) override
  {
    shapes.push_back({"Bitmap", r, IColor(), std::to_string(srcX) + "," + std::to_string(srcY)});
    ScriptedGraphics::DrawBitmap(bitmap, r, srcX, srcY, blend);
  }
  void FillRect(const IColor& color, const IRECT& r, const IBlend*) override
  {
    shapes.push_back({"FillRect", r, color, ""});
  }
  void FillRoundRect(const IColor& color, const IRECT& r, float radius, const IBlend*) override
  {
    shapes.push_back({"FillRoundRect", r, color, Num(radius)});
  }
  void DrawRect(const IColor& color, const IRECT& r, const IBlend*, float thickness) override
  {
    shapes.push_back({"DrawRect", r, color, Num(thickness)});
  }
  void DrawRoundRect(const IColor& color, const IRECT& r, float radius, const IBlend*, float thickness) override
  {
    shapes.push_back({"DrawRoundRect", r, color, Num(radius) + "/" + Num(thickness)});
  }
  void PathClear() override
  {
    mPath = IRECT();
    mPathEmpty = true;
    ScriptedGraphics::PathClear();
  }
  void PathMoveTo(float x, float y) override
  {
    Grow(x, y, 0.f);
    ScriptedGraphics::PathMoveTo(x, y);
  }
  void PathLineTo(float x, float y) override
  {
    Grow(x, y, 0.f);
    ScriptedGraphics::PathLineTo(x, y);
  }
  void PathArc(float cx, float cy, float r, float a1, float a2, EWinding winding) override
  {
    Grow(cx, cy, r);
    ScriptedGraphics::PathArc(cx, cy, r, a1, a2, winding);
  }
  void PathFill(const IPattern& pattern, const IFillOptions& options, const IBlend* blend) override
  {
    shapes.push_back({"PathFill", mPath, pattern.mStops[0].mColor,
                      std::string(options.mFillRule == kFillWinding ? "winding" : "even-odd") +
                          (options.mPreserve ? " preserved" : "")});
    ScriptedGraphics::PathFill(pattern, options, blend);
  }

  // The shapes drawing c produces, from a clean record.
  std::vector<Shape> DrawOf(IControl* c)
  {
    shapes.clear();
    c->Draw(*this);
    return shapes;
  }
  // The "srcX,srcY" offsets of the bitmaps c draws, in order.
  std::vector<std::string> FramesOf(IControl* c)
  {
    std::vector<std::string> out;
    for (const Shape& s : DrawOf(c))
      if (s.op == "Bitmap") out.push_back(s.text);
    return out;
  }

private:
  static std::string Num(float v)
  {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", double(v));
    return buf;
  }
  // The bounds of the path's points, arcs by their whole circles (a rounded rectangle's arcs touch its sides).
  void Grow(float x, float y, float r)
  {
    const IRECT p(x - r, y - r, x + r, y + r);
    mPath = mPathEmpty ? p : IRECT(std::min(mPath.L, p.L), std::min(mPath.T, p.T), std::max(mPath.R, p.R),
                                   std::max(mPath.B, p.B));
    mPathEmpty = false;
  }
  IRECT mPath;
  bool mPathEmpty = true;
};

struct ShapesRig : qnrig::EditorRig<FieldPlug, ShapeGraphics>
{
  void SetUp() override
  {
    EditorRig::SetUp();
    g->EnableMouseOver(true); // as the product's editor does
    // The background's place: index 0 is never the mouse-over control.
    g->AttachControl(new test::RecordingControl(IRECT(0.f, 600.f, 1.f, 601.f)));
  }
};

} // namespace qnshapes
