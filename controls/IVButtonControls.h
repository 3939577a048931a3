#pragma once

// Vector-drawn labels, buttons and switches: each joins an interaction base (ITextControl, IButtonControlBase,
// ISwitchControlBase) with the IVectorBase mix-in, which lays the control out (MakeRects) and draws it from the
// style. None holds resources beyond its strings.
//
// Threads: main (editor) thread only.

#include "controls/IControlBases.h"
#include "controls/ITextControls.h"
#include "controls/IVectorBase.h"

#include <vector>

namespace plugin::igraphics
{

// Text in the style's value text, with an optional drop shadow and frame; the text is also the label string.
class IVLabelControl : public ITextControl, public IVectorBase
{
public:
  IVLabelControl(const IRECT& bounds, const char* str = "", const IVStyle& style = DEFAULT_STYLE);

  void Draw(IGraphics& g) override;
};

// A momentary button drawn as a pressable shape; pressed while its value is non-zero.
class IVButtonControl : public IButtonControlBase, public IVectorBase
{
public:
  IVButtonControl(const IRECT& bounds, IActionFunction actionFunc = SplashClickActionFunc, const char* label = "",
                  const IVStyle& style = DEFAULT_STYLE, bool labelInButton = true, bool valueInButton = true,
                  int shape = kVShapeRectangle);

  void Draw(IGraphics& g) override;
  void DrawWidget(IGraphics& g) override;
  void OnResize() override;
  // Only the widget is hit, not the label or value around it.
  bool IsHit(float x, float y) const override;
};

// A switch stepping through its states on each click; shows the parameter's display text as its value.
class IVSwitchControl : public ISwitchControlBase, public IVectorBase
{
public:
  IVSwitchControl(const IRECT& bounds, int paramIdx = -1, const char* label = "", const IVStyle& style = DEFAULT_STYLE,
                  bool valueInButton = false);
  IVSwitchControl(const IRECT& bounds, IActionFunction actionFunc, const char* label = "",
                  const IVStyle& style = DEFAULT_STYLE, int numStates = 2, bool valueInButton = false);

  void Draw(IGraphics& g) override;
  void DrawWidget(IGraphics& g) override;
  void OnInit() override;
  void OnResize() override;
  bool IsHit(float x, float y) const override;
  // Also refreshes the value string from the linked parameter.
  void SetDirty(bool triggerAction, int valIdx = -1) override;
  void OnMouseOut() override;

protected:
  void SetValueAlignment(bool valueInButton);
};

// A two-state switch showing its off or on text in the button.
class IVToggleControl : public IVSwitchControl
{
public:
  IVToggleControl(const IRECT& bounds, int paramIdx = -1, const char* label = "", const IVStyle& style = DEFAULT_STYLE,
                  const char* offText = "OFF", const char* onText = "ON");
  IVToggleControl(const IRECT& bounds, IActionFunction actionFunc, const char* label = "",
                  const IVStyle& style = DEFAULT_STYLE, const char* offText = "OFF", const char* onText = "ON",
                  bool initialState = false);

  void DrawWidget(IGraphics& g) override;
  void DrawValue(IGraphics& g, bool mouseOver) override;

  const char* GetOffText() const { return mOffText.Get(); }
  const char* GetOnText() const { return mOnText.Get(); }

private:
  Util_String mOffText;
  Util_String mOnText;
};

// A switch whose handle slides along a track of one cell per state. A click slides the handle from the old
// state's cell to the next over 100 ms; a value set from elsewhere moves it at once.
class IVSlideSwitchControl : public IVSwitchControl
{
public:
  IVSlideSwitchControl(const IRECT& bounds, int paramIdx = -1, const char* label = "",
                       const IVStyle& style = DEFAULT_STYLE, bool valueInButton = false,
                       EDirection direction = kHorizontal);
  // actionFunc runs when a slide has ended. initialState is stored as the value as it is (1 is the last state of
  // a three-state switch); the cells clamp it to the states that exist.
  IVSlideSwitchControl(const IRECT& bounds, IActionFunction actionFunc, const char* label = "",
                       const IVStyle& style = DEFAULT_STYLE, bool valueInButton = false,
                       EDirection direction = kHorizontal, int numStates = 2, int initialState = 0);

  void Draw(IGraphics& g) override;
  void DrawWidget(IGraphics& g) override;
  virtual void DrawTrack(IGraphics& g, const IRECT& bounds);
  void OnResize() override;
  void SetDirty(bool triggerAction, int valIdx = -1) override;
  void OnEndAnimation() override;

  // Start, end and handle cells from the current value.
  void UpdateRects();
  // One frame of a slide: the handle between the start and end cells by the animation's progress.
  void SlideStep();

  const IRECT& GetStartRect() const { return mStartRect; }
  const IRECT& GetEndRect() const { return mEndRect; }
  const IRECT& GetHandleRect() const { return mHandleBounds; }
  EDirection GetDirection() const { return mDirection; }

private:
  IRECT CellRect(int k, int n) const;

  IRECT mStartRect;
  IRECT mEndRect;
  IRECT mHandleBounds;
  EDirection mDirection;
};

// Segment of a tab button within its row: which ends DrawButton rounds for the rounded-ends shape.
enum ETabSegment : int32_t
{
  kTabSegmentStart = 0,
  kTabSegmentMid = 1,
  kTabSegmentEnd = 2,
};

// A row (or column) of buttons, one per state, each optionally labelled; a click selects its button.
class IVTabSwitchControl : public ISwitchControlBase, public IVectorBase
{
public:
  // Without labels a linked parameter supplies them from its display texts on attach.
  IVTabSwitchControl(const IRECT& bounds, int paramIdx = -1, const std::vector<const char*>& options = {},
                     const char* label = "", const IVStyle& style = DEFAULT_STYLE, int shape = kVShapeRectangle,
                     EDirection direction = kHorizontal);
  IVTabSwitchControl(const IRECT& bounds, IActionFunction actionFunc, const std::vector<const char*>& options,
                     const char* label = "", const IVStyle& style = DEFAULT_STYLE, int shape = kVShapeRectangle,
                     EDirection direction = kHorizontal);
  ~IVTabSwitchControl() override;

  void Draw(IGraphics& g) override;
  void DrawWidget(IGraphics& g) override;
  virtual void DrawButton(IGraphics& g, const IRECT& r, bool pressed, bool mouseOver, ETabSegment segment,
                          bool disabled);
  // The button under the point, or -1.
  virtual int GetSelectedIdxForPos(float x, float y) const;

  void OnInit() override;
  void OnResize() override;
  bool IsHit(float x, float y) const override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;

  // The selected tab (kept within the tabs that exist) from the value.
  int GetSelectedIdx() const;
  // The selected tab's label; null when there is no label for it.
  const char* GetSelectedLabelStr() const;

  int NButtons() const { return static_cast<int>(mButtons.size()); }
  const IRECT& GetButtonRect(int k) const { return mButtons.at(static_cast<size_t>(k)); }
  int GetMouseOverIdx() const { return mMouseOverButton; }
  int NTabLabels() const { return mTabLabels.GetSize(); }
  EDirection GetDirection() const { return mDirection; }

protected:
  void AddLabels(const std::vector<const char*>& options);

  int mMouseOverButton = -1;
  std::vector<IRECT> mButtons;
  Util_PtrList<Util_String> mTabLabels;
  EDirection mDirection;
};

// Tabs drawn as a column of round buttons with their labels to the right.
class IVRadioButtonControl : public IVTabSwitchControl
{
public:
  IVRadioButtonControl(const IRECT& bounds, int paramIdx = -1, const std::vector<const char*>& options = {},
                       const char* label = "", const IVStyle& style = DEFAULT_STYLE, int shape = kVShapeEllipse,
                       EDirection direction = kVertical, float buttonSize = 10.f);
  IVRadioButtonControl(const IRECT& bounds, IActionFunction actionFunc, const std::vector<const char*>& options,
                       const char* label = "", const IVStyle& style = DEFAULT_STYLE, int shape = kVShapeEllipse,
                       EDirection direction = kVertical, float buttonSize = 10.f);

  void DrawWidget(IGraphics& g) override;
  int GetSelectedIdxForPos(float x, float y) const override;

  // Only the strip as wide as the text offset at the left of each row reacts.
  void SetOnlyButtonsRespond(bool v) { mOnlyButtonsRespond = v; }
  float GetTextOffset() const { return mTextOffset; }
  float GetButtonSize() const { return mButtonSize; }

private:
  void SetRadioAlignment();

  float mButtonSize;
  float mTextOffset;
  bool mOnlyButtonsRespond = false;
};

} // namespace plugin::igraphics
