#pragma once

// Vector multi-track controls: IVTrackControlBase lays out one value track per slot (side by side for vertical
// tracks, stacked for horizontal ones), optionally divided into step cells, with a baseline the filled part grows
// from, a peak strip at the value end and track names; IVRangeSliderControl puts several handles on one shared
// track whose values cannot pass each other.
//
// Geometry is in graphics units. Threads: main thread only.

#include "controls/IControl.h"
#include "controls/IVectorBase.h"

#include <initializer_list>
#include <vector>

namespace plugin::igraphics
{

// Abstract: derived controls draw (Draw) from the painters below.
class IVTrackControlBase : public IControl, public IVectorBase
{
public:
  // One slot per entry of params, slot i linked to params[i]. nSteps: 0 for continuous tracks. trackNames: one
  // per track in order (fewer is fine; a missing name draws nothing). A null name counts as empty.
  IVTrackControlBase(const IRECT& bounds, const std::vector<int>& params, const char* label = "",
                     const IVStyle& style = DEFAULT_STYLE, int nSteps = 0, EDirection direction = kVertical,
                     std::initializer_list<const char*> trackNames = {});
  ~IVTrackControlBase() override;

  // Label, widget and value rectangles, then the track and step rectangles inside the widget.
  void OnResize() override;
  // The mouse-over track follows the mouse.
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;
  // The first track rectangle containing the point, or -1.
  int GetValIdxForPos(float x, float y) const override;

  void DrawWidget(IGraphics& g) override;
  // r in colour 0; with a baseline above 0, a line across r at the baseline (clamped to the track's range).
  void DrawBackground(IGraphics& g, const IRECT& r) override;
  // One track: background, name, filled part (or the step cell at the value), peak, frame.
  virtual void DrawTrack(IGraphics& g, const IRECT& r, int chIdx);
  virtual void DrawTrackBG(IGraphics& g, const IRECT& r, int chIdx);
  virtual void DrawTrackName(IGraphics& g, const IRECT& r, int chIdx);
  virtual void DrawTrackHandle(IGraphics& g, const IRECT& r, int chIdx, bool aboveBaseValue);
  virtual void DrawPeak(IGraphics& g, const IRECT& r, int chIdx, bool aboveBaseValue);
  // Divides bounds into one rectangle per slot, less the track spacing; no slots give no rectangles.
  virtual void MakeTrackRects(const IRECT& bounds);
  // nSteps (+1 with the extra step) equal cells across bounds, listed from the bottom (vertical) or from the
  // right (horizontal); nSteps of 0 or less gives none.
  virtual void MakeStepRects(const IRECT& bounds, int nSteps);

  int NTracks() const { return NVals(); }
  const std::vector<IRECT>& GetTrackBounds() const { return mTrackBounds; }
  const std::vector<IRECT>& GetStepBounds() const { return mStepBounds; }
  // The name of track chIdx; empty when it has none.
  const char* GetTrackName(int chIdx) const;
  int GetMouseOverTrack() const { return mMouseOverTrack; }

protected:
  // The value of slot chIdx kept inside 0..1 for drawing; 0 for a slot that does not exist.
  double TrackValue(int chIdx) const;

  EDirection mDirection;
  std::vector<IRECT> mTrackBounds;
  std::vector<IRECT> mStepBounds;
  Util_PtrList<Util_String> mTrackNames;
  int mNSteps;
  float mTrackPadding = 0.f;
  float mPeakSize = 1.f;
  int mHighlightedTrack = -1;
  int mMouseOverTrack = -1;
  double mBaseValue = 0.0;
  bool mDrawTrackFrame = true;
  bool mHasExtraStep = true;
};

// Handles on one track, one per slot, alternating sides (even slots left of / below the track, odd ones right of /
// above it); dragging a handle keeps it between its neighbours' values. Without slots it draws its background and
// label only and ignores the mouse.
class IVRangeSliderControl : public IVTrackControlBase
{
public:
  // handleSize: half a handle's length along the track; trackSize: half the track's thickness.
  IVRangeSliderControl(const IRECT& bounds, const std::vector<int>& params, const char* label = "",
                       const IVStyle& style = DEFAULT_STYLE, EDirection direction = kVertical, float handleSize = 8.f,
                       float trackSize = 2.f);

  void Draw(IGraphics& g) override;
  // The handle is chosen while hovering; a press drags the handle last hovered.
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;

  void DrawWidget(IGraphics& g) override;
  // The handle of slot chIdx, a triangle pointing at the track.
  void DrawTrack(IGraphics& g, const IRECT& r, int chIdx) override;
  // Every track gets the same thin rectangle along the middle of bounds, inset by the handle size.
  void MakeTrackRects(const IRECT& bounds) override;

  // The handle rectangle of slot chIdx; empty for a slot that does not exist.
  IRECT GetHandleBounds(int chIdx) const;
  int GetMouseOverHandle() const { return mMouseOverHandle; }
  bool GetMouseDown() const { return mMouseDown; }

protected:
  // Where value v of slot chIdx sits along its track (y for vertical, x for horizontal tracks).
  float ValuePos(int chIdx) const;

  int mMouseOverHandle = -1;
  float mHandleSize;
  bool mMouseDown = false;
};

} // namespace plugin::igraphics
