#pragma once

// Text controls: a string over a background colour (ITextControl) and four controls built on it — an underlined
// link (IURLControl), a two-state text button (ITextToggleControl), a parameter's display text with a menu
// triangle for enumerations (ICaptionControl) and a layout aid that shows its own position and size
// (PlaceHolder).
//
// Threads: main (editor) thread only.

#include "controls/IControl.h"

namespace plugin::igraphics
{

class ITextControl : public IControl
{
public:
  // No parameter, no action; ignores the mouse. A null text is the empty text. With setBoundsBasedOnStr the
  // bounds are re-fitted to the measured text on attach and whenever the text changes.
  ITextControl(const IRECT& bounds, const char* str = "", const IText& text = DEFAULT_TEXT,
               const IColor& bgColor = DEFAULT_BGCOLOR, bool setBoundsBasedOnStr = false);

  void OnInit() override;
  // The background over the bounds, then the text unless it is empty or this control is in a text entry.
  void Draw(IGraphics& g) override;

  // Replaces the text (null: the empty text); nothing when it is already held (byte comparison). Re-fits the
  // bounds when asked to. Does not mark the control dirty: the caller does.
  virtual void SetStr(const char* str);
  // printf-style into the text, cut to at most maxlen characters (none for maxlen <= 0); neither marks dirty nor
  // re-fits. The arguments are formatted, never the text they produce.
  virtual void SetStrFmt(int maxlen, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
  virtual void ClearStr() { SetStr(""); }

  // Bounds and target become the measured text's size, centred where the bounds were centred. Nothing without a
  // graphics context.
  void SetBoundsBasedOnStr();

  const char* GetStr() const { return mStr.Get(); }
  const IColor& GetBGColor() const { return mBGColor; }
  void SetBGColor(const IColor& c)
  {
    mBGColor = c;
    SetDirty(false);
  }

protected:
  Util_String mStr;
  IColor mBGColor;
  bool mSetBoundsBasedOnStr = false;
};

// An underlined text that opens its URL with the system when clicked.
class IURLControl : public ITextControl
{
public:
  IURLControl(const IRECT& bounds, const char* str, const char* url, const IText& text = DEFAULT_TEXT,
              const IColor& bgColor = DEFAULT_BGCOLOR, const IColor& mouseOverColor = COLOR_WHITE,
              const IColor& clickedColor = COLOR_BLUE);

  void Draw(IGraphics& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  // Pointing-hand cursor while over, arrow again on leaving.
  void OnMouseOver(float x, float y, const IMouseMod& mod) override;
  void OnMouseOut() override;

  bool GetClicked() const { return mClicked; }

protected:
  Util_String mURLStr;
  IColor mOriginalColor;
  IColor mMOColor;
  IColor mCLColor;
  bool mClicked = false;
};

// A two-state text button: shows the on text while slot 0 is above 0.5, the off text otherwise.
class ITextToggleControl : public ITextControl
{
public:
  ITextToggleControl(const IRECT& bounds, int paramIdx = -1, const char* offText = "OFF", const char* onText = "ON",
                     const IText& text = DEFAULT_TEXT, const IColor& bgColor = DEFAULT_BGCOLOR);
  ITextToggleControl(const IRECT& bounds, IActionFunction actionFunc, const char* offText = "OFF",
                     const char* onText = "ON", const IText& text = DEFAULT_TEXT,
                     const IColor& bgColor = DEFAULT_BGCOLOR);

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  // Picks the text for the value, then IControl's SetDirty over every slot (valIdx is not used).
  void SetDirty(bool triggerAction = true, int valIdx = -1) override;

protected:
  Util_String mOffText;
  Util_String mOnText;
};

// The display text of slot 0's parameter; a click prompts for a value (a menu for enumerations, which also get a
// small triangle near the right edge).
class ICaptionControl : public ITextControl
{
public:
  ICaptionControl(const IRECT& bounds, int paramIdx, const IText& text = DEFAULT_TEXT,
                  const IColor& bgColor = DEFAULT_BGCOLOR, bool showParamLabel = true);

  void Draw(IGraphics& g) override;
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnResize() override;

  const IRECT& GetTriangleRECT() const { return mTri; }

protected:
  bool mShowParamLabel;
  IColor mTriangleColor = COLOR_BLACK;
  IColor mTriangleMouseOverColor = COLOR_WHITE;
  IRECT mTri;
};

// Shows a crossed white box with its position, width and height; a double click edits its text.
class PlaceHolder : public ITextControl
{
public:
  PlaceHolder(const IRECT& bounds, const char* str = "Place Holder");

  void Draw(IGraphics& g) override;
  void OnResize() override;
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  void OnTextEntryCompletion(const char* str, int valIdx) override;

  const char* GetTLHCStr() const { return mTLHCStr.Get(); }
  const char* GetWidthStr() const { return mWidthStr.Get(); }
  const char* GetHeightStr() const { return mHeightStr.Get(); }
  const IRECT& GetCentreLabelBounds() const { return mCentreLabelBounds; }

protected:
  IRECT mCentreLabelBounds;
  Util_String mTLHCStr;
  Util_String mWidthStr;
  Util_String mHeightStr;
  IText mTLGCText = DEFAULT_TEXT;
  IText mWidthText = DEFAULT_TEXT;
  IText mHeightText = IText(DEFAULT_TEXT.mSize, DEFAULT_TEXT.mFGColor, "Roboto-Regular", DEFAULT_TEXT.mAlign,
                            DEFAULT_TEXT.mVAlign, 270.f);
};

} // namespace plugin::igraphics
