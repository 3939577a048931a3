#pragma once

// A rig for the product controls: a plug-in double that records every command and parameter change the editor
// sends, with a small parameter table shaped like the product's, and a scripted graphics context that records
// the shapes and texts drawn, with their colours.

#include "framework/IParam.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qnrig
{

using namespace plugin::igraphics;
using plugin::EParamSource;
using plugin::IParam;

// Parameters of the double, named after the product's parameters they stand for.
enum : int
{
  kSwitch = 0,    // bool (over protection, pre/post)
  kMatchMode = 1, // enum of 3
  kSnapshot = 2,  // enum of 4
  kDrive = 3,     // -24..24 dB, step 0.1, not stepped
  kLatency = 4,   // int 0..1000 "smp"
  kPush = 5,      // bool (reset / match buttons)
  kChoice = 6,    // int 0..4 (radio groups, with and without "none")
  kQuarter = 7,   // 0..10 stepped by 0.25
  kNegZero = 8,   // -1..1 with a display function that prints "%.1f"
  kNumParams
};

class PlugDouble : public test::RecordingDelegate
{
public:
  PlugDouble() : RecordingDelegate(kNumParams)
  {
    GetParam(kSwitch)->InitBool("Switch", false);
    GetParam(kMatchMode)->InitEnum("Match Mode", 0, 3, "", 0, "", "Manual", "Auto", "Gain Stage");
    GetParam(kSnapshot)->InitEnum("SnapShot", 0, 4, "", 0, "", "S1", "S2", "S3", "S4");
    GetParam(kDrive)->InitDouble("Drive FX", 0.0, -24.0, 24.0, 0.1, "dB");
    GetParam(kLatency)->InitInt("Latency Compensation", 0, 0, 1000, "smp");
    GetParam(kPush)->InitBool("Reset", false);
    GetParam(kChoice)->InitInt("Choice", 0, 0, 4);
    GetParam(kQuarter)->InitDouble("Quarter", 0.0, 0.0, 10.0, 0.25, "", IParam::kFlagStepped);
    GetParam(kNegZero)->InitDouble("Neg", 0.0, -1.0, 1.0, 0.01, "", 0, "", IParam::ShapeLinear(), plugin::kUnitCustom,
                                   [](double v, Util_String& s)
                                   {
                                     char buf[32];
                                     std::snprintf(buf, sizeof(buf), "%.1f", v);
                                     s.Set(buf);
                                   });
    SetGraphicsReady(true);
  }

  struct Change
  {
    int idx;
    EParamSource source;
    int offset;
  };
  std::vector<Change> changes;      // OnParamChange calls: commands sent by controls
  std::vector<int> mouseOverAtSend; // the editor's mouse-over index whenever a value reached the plug-in
  IGraphics* ui = nullptr;

  using RecordingDelegate::OnParamChange;
  void OnParamChange(int idx, EParamSource source, int offset) override { changes.push_back({idx, source, offset}); }
  void SendParameterValueFromUI(int paramIdx, double normalizedValue, bool notifyPlugin) override
  {
    if (ui) mouseOverAtSend.push_back(ui->GetMouseOverIdx());
    RecordingDelegate::SendParameterValueFromUI(paramIdx, normalizedValue, notifyPlugin);
  }

  // The command codes sent, in order.
  std::vector<int> Commands() const
  {
    std::vector<int> out;
    for (const auto& c : changes)
      out.push_back(c.idx);
    return out;
  }
  double Real(int idx) const { return GetParam(idx)->Value(); }
};

// Records shapes and texts with their colours; everything else as the scripted platform does.
class QNGraphics : public test::ScriptedGraphics
{
public:
  using ScriptedGraphics::ScriptedGraphics;

  struct Shape
  {
    std::string op;
    IRECT r;
    IColor color;
    std::string text;
  };
  std::vector<Shape> shapes; // FillRect, FillRoundRect, Text, Bitmap

  void FillRect(const IColor& c, const IRECT& r, const IBlend* = nullptr) override
  {
    shapes.push_back({"FillRect", r, c, ""});
  }
  void FillRoundRect(const IColor& c, const IRECT& r, float radius, const IBlend* = nullptr) override
  {
    shapes.push_back({"FillRoundRect", r, c, std::to_string(radius)});
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
  // Text is charWidth per character wide and as tall as its size, placed in bounds by its alignments.
  float DoMeasureText(const IText& text, const char* str, IRECT& bounds) const override
  {
    const float w = charWidth * static_cast<float>(std::string(str).size()), h = text.mSize;
    const float x = text.mAlign == kAlignNear  ? bounds.L
                    : text.mAlign == kAlignFar ? bounds.R - w
                                               : bounds.MW() - w / 2;
    const float y = text.mVAlign == kVAlignTop      ? bounds.T
                    : text.mVAlign == kVAlignBottom ? bounds.B - h
                                                    : bounds.MH() - h / 2;
    bounds = IRECT(x, y, x + w, y + h);
    return w;
  }

  // The shapes drawing c produces, from a clean record.
  std::vector<Shape> DrawOf(IControl* c)
  {
    shapes.clear();
    c->Draw(*this);
    return shapes;
  }
};

struct Rig : ::testing::Test
{
  PlugDouble plug;
  QNGraphics* g = nullptr; // owned by the delegate while its window is open
  std::vector<std::unique_ptr<APIBitmap>> images;

  void SetUp() override
  {
    plug.SetSizeConstraints(100, 2000, 100, 2000);
    plug.SetMakeGraphicsFunc([this] { return new QNGraphics(plug, 424, 610); });
    (void)plug.OpenWindow(nullptr);
    g = static_cast<QNGraphics*>(plug.GetUI());
    plug.ui = g;
  }
  // The context and its controls go before the images they draw.
  void TearDown() override
  {
    plug.ui = nullptr;
    plug.CloseWindow();
  }

  // A bitmap of w × h points with frames stacked vertically.
  IBitmap Bitmap(int w, int h, int frames)
  {
    images.push_back(std::make_unique<APIBitmap>(1, w, h, 1.f, 1.f));
    return IBitmap(images.back().get(), frames, false, "");
  }
  template <class C> C* Attach(C* c, int tag = -1) { return static_cast<C*>(g->AttachControl(c, tag)); }
  // The host side's answer to a value sent by the editor: the parameter's value as the controls see it.
  void SetParam(int idx, double real)
  {
    plug.GetParam(idx)->Set(real);
    plug.SendParameterValueFromDelegate(idx, real, false);
  }
};

inline const IMouseMod kNone{true};
inline const IMouseMod kShift{true, false, true};
inline const IMouseMod kCtrl{true, false, false, true};
inline const IMouseMod kAlt{true, false, false, false, true};

} // namespace qnrig
