#pragma once

// Vector-drawn controls on IControl directly: a two-dimensional pad, plots of functions over a grid, a group box
// around a named group of controls, and colour swatches bound to the style's colours.
//
// Threads: main (editor) thread only.

#include "controls/IControl.h"
#include "controls/IVectorBase.h"

#include <functional>
#include <memory>
#include <vector>

namespace plugin::igraphics
{

// Drives two value slots (x: slot 0, y: slot 1, upward) from one handle.
class IVXYPadControl : public IControl, public IVectorBase
{
public:
  IVXYPadControl(const IRECT& bounds, const std::vector<int>& params, const char* label = "",
                 const IVStyle& style = DEFAULT_STYLE, float handleRadius = 10.f);

  void Draw(IGraphics& g) override;
  void DrawWidget(IGraphics& g) override;
  // area: where the handle's centre may go; handle: the handle's square.
  virtual void DrawHandle(IGraphics& g, const IRECT& area, const IRECT& handle);
  virtual void DrawTrack(IGraphics& g);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  // Values from the point clamped to the bounds.
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnResize() override;

  // With the flag the handle is cut off at the widget's edges; without it the handle stays fully inside.
  void SetTrackClipsHandle(bool v) { mTrackClipsHandle = v; }
  float GetHandleRadius() const { return mHandleRadius; }
  bool GetMouseDown() const { return mMouseDown; }

private:
  float mHandleRadius;
  bool mMouseDown = false;
  bool mTrackClipsHandle = true;
};

// Curves of functions of x in 0..1 over a grid, scaled from minimum..maximum; optionally cached in a layer.
class IVPlotControl : public IControl, public IVectorBase
{
public:
  struct Plot
  {
    IColor color;
    std::function<double(double)> func;
  };

  IVPlotControl(const IRECT& bounds, const std::vector<Plot>& plots = {}, int numPoints = 256, const char* label = "",
                const IVStyle& style = DEFAULT_STYLE, bool useLayer = false, float min = -1.f, float max = 1.f);
  ~IVPlotControl() override;

  void Draw(IGraphics& g) override;
  void OnResize() override;

  // Appends a curve; a layered plot is drawn anew.
  void AddPlotFunc(const IColor& color, const std::function<double(double)>& func);

  int NPlots() const { return static_cast<int>(mPlots.size()); }
  int NPoints() const { return static_cast<int>(mPoints.size()); }
  // The widget less one grid cell at its top and bottom.
  IRECT GetPlotArea() const;

private:
  void DrawPlots(IGraphics& g);

  ILayerPtr mLayer;
  std::vector<Plot> mPlots;
  float mMin;
  float mMax;
  bool mUseLayer;
  int mHorizontalDivisions = 10;
  int mVerticalDivisions = 10;
  std::vector<float> mPoints;
};

// A rounded frame with its label set into the top edge; can size itself around the controls of a named group.
// Ignores the mouse.
class IVGroupControl : public IControl, public IVectorBase
{
public:
  IVGroupControl(const IRECT& bounds, const char* label = "", const IVStyle& style = DEFAULT_STYLE,
                 float labelOffset = 10.f);
  // Empty bounds until attached: then the group's controls (attached before it) decide them.
  IVGroupControl(const char* label, const char* groupName, const IVStyle& style = DEFAULT_STYLE, float padL = 0.f,
                 float padT = 0.f, float padR = 0.f, float padB = 0.f);

  void Draw(IGraphics& g) override;
  void DrawWidget(IGraphics& g) override;
  void OnInit() override;
  void OnResize() override;

  // Bounds = the union of the group's non-empty bounds grown by the margins; then laid out again.
  void SetBoundsBasedOnGroup(const char* groupName, float padL, float padT, float padR, float padB);

  const char* GetGroupName() const { return mGroupName.Get(); }

private:
  Util_String mGroupName;
  float mPadL = 0.f, mPadT = 0.f, mPadR = 0.f, mPadB = 0.f;
  float mLabelOffset;
  float mLabelPadding = 10.f;
};

// Layouts of the swatch cells.
enum ESwatchLayout : int32_t
{
  kSwatchGrid = 0, // 3 × 3
  kSwatchRow = 1,
  kSwatchColumn = 2,
};

// Cells each showing one of the style's colours, optionally labelled; a click opens the platform colour picker
// and the chosen colour replaces that style colour.
class IVColorSwatchControl : public IControl, public IVectorBase
{
public:
  using ColorChosenFunc = std::function<void(int cellIdx, const IColor& color)>;

  // colorIdxs: which style colour (0..8) each cell shows; labels: per cell, may be shorter than colorIdxs.
  IVColorSwatchControl(const IRECT& bounds, const char* label = "", ColorChosenFunc func = nullptr,
                       const IVStyle& style = DEFAULT_STYLE, int layout = kSwatchGrid,
                       const std::vector<int>& colorIdxs = {kBG, kFG, kPR, kFR, kHL, kSH, kX1, kX2, kX3},
                       const std::vector<const char*>& labels = {});
  ~IVColorSwatchControl() override;

  void Draw(IGraphics& g) override;
  void DrawWidget(IGraphics& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  void OnResize() override;

  int NCells() const { return static_cast<int>(mColorIdxForCells.size()); }
  const IRECT& GetCellRect(int i) const { return mCellRects.at(static_cast<size_t>(i)); }
  // The style colour cell i shows, kept within the style's colours.
  int GetColorIdxForCell(int i) const;
  int GetMouseOverCell() const { return mCellOver; }

private:
  int CellAt(float x, float y) const;

  ColorChosenFunc mColorChosenFunc;
  int mCellOver = -1;
  int mLayout;
  std::vector<IRECT> mCellRects;
  Util_PtrList<Util_String> mLabels;
  std::vector<int> mColorIdxForCells;
  // Picker completions hold a weak reference: one arriving after this control is gone does nothing.
  std::shared_ptr<int> mAlive = std::make_shared<int>(0);
};

} // namespace plugin::igraphics
