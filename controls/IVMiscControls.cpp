#include "controls/IVMiscControls.h"

#include "graphics/IGraphics.h"
#include "graphics/ILayer.h"

#include <algorithm>
#include <cmath>

namespace plugin::igraphics
{

// ---------------------------------------------------------------------------------------------------------------
// IVXYPadControl
// ---------------------------------------------------------------------------------------------------------------

IVXYPadControl::IVXYPadControl(const IRECT& bounds, const std::vector<int>& params, const char* label,
                               const IVStyle& style, float handleRadius)
    : IControl(bounds, params), IVectorBase(style), mHandleRadius(handleRadius)
{
  AttachIControl(this, label);
  mShape = kVShapeEllipse;
}

void IVXYPadControl::Draw(IGraphics& g)
{
  DrawBackground(g, mRECT);
  DrawLabel(g);
  if (mStyle.drawFrame) g.DrawRect(GetColor(kFR), mWidgetBounds, &mBlend, mStyle.frameThickness);
  DrawWidget(g);
}

void IVXYPadControl::DrawWidget(IGraphics& g)
{
  DrawTrack(g);
  const float r = mHandleRadius;
  const IRECT& w = mWidgetBounds;
  const IRECT area = mTrackClipsHandle ? w : IRECT(w.L + r, w.T + r, w.R - r, w.B - r);
  const float cx = area.L + area.W() * static_cast<float>(GetValue(0));
  const float cy = area.B - area.H() * static_cast<float>(GetValue(1));
  DrawHandle(g, area, IRECT(cx - r, cy - r, cx + r, cy + r));
}

void IVXYPadControl::DrawTrack(IGraphics& g)
{
  g.DrawVerticalLine(GetColor(kSH), mWidgetBounds, 0.5f, nullptr, 1.f);
  g.DrawHorizontalLine(GetColor(kSH), mWidgetBounds, 0.5f, nullptr, 1.f);
}

void IVXYPadControl::DrawHandle(IGraphics& g, const IRECT& area, const IRECT& handle)
{
  if (mTrackClipsHandle)
  {
    const float h = mStyle.frameThickness / 2.f;
    g.PathClipRegion(IRECT(area.L + h, area.T + h, area.R - h, area.B - h));
  }
  DrawPressableShape(g, mShape, handle, mMouseDown, mMouseIsOver, IsDisabled());
}

void IVXYPadControl::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  mMouseDown = true;
  if (mStyle.hideCursor)
    if (IGraphics* g = GetUI()) g->HideMouseCursor(true, false);
  OnMouseDrag(x, y, 0.f, 0.f, mod);
}

void IVXYPadControl::OnMouseUp(float, float, const IMouseMod&)
{
  if (mStyle.hideCursor)
    if (IGraphics* g = GetUI()) g->HideMouseCursor(false, false);
  mMouseDown = false;
  SetDirty(true);
}

void IVXYPadControl::OnMouseDrag(float x, float y, float, float, const IMouseMod&)
{
  const IRECT& b = mRECT;
  x = std::clamp(x, b.L, b.R);
  y = std::clamp(y, b.T, b.B);
  // A pad without extent along an axis keeps that value.
  if (b.W() > 0.f) SetValue(static_cast<double>((x - b.L) / b.W()), 0);
  if (b.H() > 0.f) SetValue(1.0 - static_cast<double>((y - b.T) / b.H()), 1);
  SetDirty(true);
}

void IVXYPadControl::OnResize()
{
  SetTargetRECT(MakeRects(mRECT));
  SetDirty(false);
}

// ---------------------------------------------------------------------------------------------------------------
// IVPlotControl
// ---------------------------------------------------------------------------------------------------------------

IVPlotControl::IVPlotControl(const IRECT& bounds, const std::vector<Plot>& plots, int numPoints, const char* label,
                             const IVStyle& style, bool useLayer, float min, float max)
    : IControl(bounds), IVectorBase(style), mPlots(plots), mMin(min), mMax(max), mUseLayer(useLayer),
      mPoints(static_cast<size_t>(std::max(numPoints, 0)), 0.f)
{
  AttachIControl(this, label);
}

IVPlotControl::~IVPlotControl() = default;

void IVPlotControl::AddPlotFunc(const IColor& color, const std::function<double(double)>& func)
{
  mPlots.push_back(Plot{color, func});
  if (mLayer) mLayer->Invalidate();
  SetDirty(false);
}

IRECT IVPlotControl::GetPlotArea() const
{
  const float cellH = mWidgetBounds.H() / static_cast<float>(mVerticalDivisions + 2);
  return IRECT(mWidgetBounds.L, mWidgetBounds.T + cellH, mWidgetBounds.R, mWidgetBounds.B - cellH);
}

void IVPlotControl::Draw(IGraphics& g)
{
  DrawBackground(g, mRECT);
  DrawLabel(g);
  if (!mUseLayer)
  {
    DrawPlots(g);
    return;
  }
  if (!g.CheckLayer(mLayer))
  {
    g.StartLayer(this, mRECT, false);
    DrawPlots(g);
    mLayer = g.EndLayer();
  }
  g.DrawLayer(mLayer, &mBlend);
}

void IVPlotControl::DrawPlots(IGraphics& g)
{
  const IRECT& w = mWidgetBounds;
  const float cellW = w.W() / static_cast<float>(mHorizontalDivisions);
  const float cellH = w.H() / static_cast<float>(mVerticalDivisions + 2);
  g.DrawGrid(GetColor(kSH), w, cellW, cellH, &mBlend, 1.f);

  const IRECT area = GetPlotArea();
  const int n = NPoints();
  const double range = static_cast<double>(mMax) - static_cast<double>(mMin);
  for (const Plot& plot : mPlots)
  {
    // An empty function has no curve to draw.
    if (!plot.func || n == 0) continue;
    for (int i = 0; i < n; ++i)
    {
      // One point sits at x = 0 (there is no spacing to divide by).
      const float x = n > 1 ? static_cast<float>(i) / static_cast<float>(n - 1) : 0.f;
      const double y = plot.func(static_cast<double>(x));
      mPoints[static_cast<size_t>(i)] = static_cast<float>((y - static_cast<double>(mMin)) / range);
    }
    g.DrawData(plot.color, area, mPoints.data(), n, nullptr, &mBlend, mTrackSize);
  }

  if (mStyle.drawFrame) g.DrawRect(GetColor(kFR), w, &mBlend, mStyle.frameThickness);
}

void IVPlotControl::OnResize()
{
  SetTargetRECT(MakeRects(mRECT));
  SetDirty(false);
}

// ---------------------------------------------------------------------------------------------------------------
// IVGroupControl
// ---------------------------------------------------------------------------------------------------------------

IVGroupControl::IVGroupControl(const IRECT& bounds, const char* label, const IVStyle& style, float labelOffset)
    : IControl(bounds), IVectorBase(style), mLabelOffset(labelOffset)
{
  AttachIControl(this, label);
  mIgnoreMouse = true;
}

IVGroupControl::IVGroupControl(const char* label, const char* groupName, const IVStyle& style, float padL,
                               float padT, float padR, float padB)
    : IControl(IRECT()), IVectorBase(style), mPadL(padL), mPadT(padT), mPadR(padR), mPadB(padB), mLabelOffset(10.f)
{
  mGroupName.Set(groupName ? groupName : "");
  AttachIControl(this, label);
  mIgnoreMouse = true;
}

void IVGroupControl::OnInit()
{
  if (mGroupName.Get()[0]) SetBoundsBasedOnGroup(mGroupName.Get(), mPadL, mPadT, mPadR, mPadB);
}

void IVGroupControl::SetBoundsBasedOnGroup(const char* groupName, float padL, float padT, float padR, float padB)
{
  mGroupName.Set(groupName ? groupName : "");
  IRECT u;
  if (IGraphics* g = GetUI())
    g->ForControlInGroup(mGroupName.Get(), [&](IControl* c) {
      // The box never grows around itself.
      if (c == this) return;
      const IRECT& b = c->GetRECT();
      if (u.Empty())
        u = b;
      else if (!b.Empty())
        u = u.Union(b);
    });
  mRECT = IRECT(u.L - padL, u.T - padT, u.R + padR, u.B + padB);
  OnResize();
}

void IVGroupControl::OnResize()
{
  SetTargetRECT(MakeRects(mRECT));
  const float ft = mStyle.frameThickness;
  mWidgetBounds.T -= mLabelBounds.H() / 2.f + ft / 2.f;
  // An all-zero label stays so: the outline is then closed.
  if (!mLabelBounds.Empty())
  {
    const IRECT& w = mWidgetBounds;
    const float cr = std::min(w.W(), w.H()) / 2.f * mStyle.roundness;
    const float width = mLabelBounds.W() + 2.f * mLabelPadding;
    const float l = mRECT.L + ft + mLabelOffset + cr;
    mLabelBounds = IRECT(l, mLabelBounds.T, l + width, mLabelBounds.B);
  }
  SetDirty(false);
}

void IVGroupControl::Draw(IGraphics& g)
{
  DrawLabel(g);
  DrawWidget(g);
}

void IVGroupControl::DrawWidget(IGraphics& g)
{
  const IRECT& w = mWidgetBounds;
  const float h = mStyle.frameThickness / 2.f;
  const float cr = std::min(w.W(), w.H()) / 2.f * mStyle.roundness;
  const bool noLabel = mLabelBounds.Empty();
  const float labelL = noLabel ? mRECT.MW() : mLabelBounds.L;
  const float labelR = noLabel ? mRECT.MW() : mLabelBounds.R;

  g.PathClear();
  g.PathMoveTo(labelR, w.T + h);
  g.PathArc(w.R - cr - h, w.T + cr + h, cr, 0.f, 90.f);
  g.PathArc(w.R - cr - h, w.B - cr - h, cr, 90.f, 180.f);
  g.PathArc(w.L + cr + h, w.B - cr - h, cr, 180.f, 270.f);
  g.PathArc(w.L + cr + h, w.T + cr + h, cr, 270.f, 360.f);
  g.PathLineTo(labelL, w.T + h);
  IStrokeOptions options;
  options.mMiterLimit = 10.f;
  g.PathStroke(IPattern(GetColor(mStyle.drawShadows ? kSH : kFR)), mStyle.frameThickness, options, nullptr);
}

// ---------------------------------------------------------------------------------------------------------------
// IVColorSwatchControl
// ---------------------------------------------------------------------------------------------------------------

IVColorSwatchControl::IVColorSwatchControl(const IRECT& bounds, const char* label, ColorChosenFunc func,
                                           const IVStyle& style, int layout, const std::vector<int>& colorIdxs,
                                           const std::vector<const char*>& labels)
    : IControl(bounds), IVectorBase(style), mColorChosenFunc(std::move(func)), mLayout(layout),
      mColorIdxForCells(colorIdxs)
{
  AttachIControl(this, label);
  mStyle.valueText.mAlign = kAlignFar;
  mText = mStyle.valueText;
  for (const char* l : labels)
    if (!mLabels.Add(new Util_String(l ? l : ""))) break;
}

IVColorSwatchControl::~IVColorSwatchControl()
{
  mLabels.Empty(true);
}

int IVColorSwatchControl::GetColorIdxForCell(int i) const
{
  if (i < 0 || i >= NCells()) return 0;
  return std::clamp(mColorIdxForCells[static_cast<size_t>(i)], 0, static_cast<int>(kNumVColors) - 1);
}

void IVColorSwatchControl::OnResize()
{
  SetTargetRECT(MakeRects(mRECT, true));
  mCellRects.clear();
  const int n = NCells();
  int columns = 3, rows = 3;
  if (mLayout == kSwatchRow)
    columns = n, rows = 1;
  else if (mLayout == kSwatchColumn)
    columns = 1, rows = n;
  const IRECT& w = mWidgetBounds;
  for (int i = 0; i < n; ++i)
  {
    const int col = i % columns, row = i / columns;
    IRECT r = w;
    if (row < rows)
    {
      const float cw = w.W() / static_cast<float>(columns), ch = w.H() / static_cast<float>(rows);
      const float l = w.L + static_cast<float>(col) * cw, t = w.T + static_cast<float>(row) * ch;
      r = IRECT(l, t, l + cw, t + ch);
    }
    mCellRects.emplace_back(r.L + 2.f, r.T + 2.f, r.R - 2.f, r.B - 2.f);
  }
  SetDirty(false);
}

void IVColorSwatchControl::Draw(IGraphics& g)
{
  DrawWidget(g);
  DrawLabel(g);
}

void IVColorSwatchControl::DrawWidget(IGraphics& g)
{
  for (int i = 0; i < static_cast<int>(mCellRects.size()); ++i)
  {
    const IRECT& r = mCellRects[static_cast<size_t>(i)];
    const float w = r.W();
    const Util_String* label = mLabels.Get(i);
    const bool labelled = label && label->Get()[0];
    const float f = labelled ? 0.25f : 1.f;
    const IRECT swatch(r.R - f * w, r.T, r.R, r.B);
    g.FillRect(GetColor(GetColorIdxForCell(i)), swatch, &mBlend);
    const IColor frame = i == mCellOver ? IColor(255, 127, 127, 127) : IColor(255, 70, 70, 70);
    g.DrawRect(frame, IRECT(swatch.L - 0.5f, swatch.T - 0.5f, swatch.R + 0.5f, swatch.B + 0.5f), &mBlend, 1.f);
    if (labelled) g.DrawText(mStyle.valueText, label->Get(), IRECT(r.L, r.T, r.L + 0.7f * w, r.B), &mBlend);
  }
}

int IVColorSwatchControl::CellAt(float x, float y) const
{
  for (size_t i = 0; i < mCellRects.size(); ++i)
    if (mCellRects[i].Contains(x, y)) return static_cast<int>(i);
  return -1;
}

void IVColorSwatchControl::OnMouseOver(float x, float y, const IMouseMod&)
{
  mCellOver = CellAt(x, y);
  SetDirty(true);
}

void IVColorSwatchControl::OnMouseOut()
{
  mCellOver = -1;
  SetDirty(true);
}

void IVColorSwatchControl::OnMouseDown(float x, float y, const IMouseMod&)
{
  const int cell = CellAt(x, y);
  IGraphics* g = GetUI();
  if (cell < 0 || !g) return;
  IColor color = GetColor(GetColorIdxForCell(cell));
  std::weak_ptr<int> alive = mAlive;
  g->PromptForColor(color, "Choose a color", [this, alive, cell](const IColor& chosen) {
    if (alive.expired()) return;
    SetColor(GetColorIdxForCell(cell), chosen);
    SetDirty(false);
    if (mColorChosenFunc) mColorChosenFunc(cell, chosen);
  });
}

} // namespace plugin::igraphics
