#pragma once

// ITextEntryControl — the single-line text field the editor draws itself over a control whose value the user types.
//
// The graphics context keeps at most one (IGraphics::AttachTextEntryControl) and opens it from
// IGraphics::CreateTextEntry instead of a native text field. Cursor movement, selection, insertion, deletion, undo
// and redo are done by stb_textedit over the control's UTF-16 buffer; this control binds it (string access, row
// layout, cached character widths, key values), draws the field, blinks the cursor, offers the edit menu and the
// clipboard, and hands the text back through IGraphics::SetControlValueAfterTextEdit on commit.
//
// Text that has no valid UTF-8 or UTF-16 form is never fatal: invalid UTF-8 bytes become U+FFFD, code points above
// U+FFFF are stored as surrogate pairs, and a lone surrogate becomes U+FFFD on the way out.
//
// Threads: main (editor) thread only.

#include "controls/IControl.h"
#include "graphics/IPopupMenu.h"

#include <string>
#include <vector>

#define STB_TEXTEDIT_CHARTYPE char16_t
#define STB_TEXTEDIT_POSITIONTYPE int
#define STB_TEXTEDIT_KEYTYPE unsigned int
#define STB_TEXTEDIT_UNDOSTATECOUNT 99
#define STB_TEXTEDIT_UNDOCHARCOUNT 999
#include <stb/stb_textedit.h>

namespace plugin::igraphics
{

class ITextEntryControl : public IControl
{
public:
  // Closed: empty rectangle, no parameter, single-line editing state, blink action installed.
  ITextEntryControl();
  ~ITextEntryControl() override = default;

  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnMouseUp(float x, float y, const IMouseMod& mod) override;
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override;
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override;
  // True when the key was used: an edit command, Return, Escape, or a key that changed the editing state.
  bool OnKeyDown(float x, float y, const IKeyPress& key) override;
  void Draw(IGraphics& g) override;
  // While editing, restarts the blink cycle; once closed, removes the blink so the editor stops redrawing.
  void OnEndAnimation() override;
  // The edit menu's choice: 0 Cut, 1 Copy, 2 Paste.
  void OnPopupMenuSelection(IPopupMenu* selectedMenu, int valIdx) override;

  // [main thread] Opens the entry over bounds holding str (UTF-8), all selected, cursor at 0. The history of any
  // earlier entry is dropped. paramIdx and length are not used: the field sets no length limit.
  void CreateTextEntry(int paramIdx, const IText& text, const IRECT& bounds, int length, const char* str);
  // Closes the entry and hands its text (UTF-8) to the graphics context.
  void CommitEdit();
  // Closes the entry; nothing is handed back.
  void DismissEdit();

  void SelectAll();
  // The selection as UTF-8 to the platform clipboard; nothing without a selection.
  void CopySelection();
  void Cut();
  // Replaces the selection with the clipboard's text; nothing when the clipboard holds none.
  void Paste();

  // Edit text := the UTF-16 form of str (null: empty); empties the width cache.
  void SetStr(const char* str);
  // Empties and refills the width cache.
  void OnTextChange();
  void FillCharWidthCache();
  // Width in points of c drawn after prev (0: none), kerning with prev counted.
  float MeasureCharWidth(char16_t c, char16_t prev);

  // stb_textedit hooks. Positions outside the text are clamped; InsertChars and DeleteChars return 1.
  int GetLength() const { return static_cast<int>(mEditString.size()); }
  char16_t GetChar(int idx) const
  {
    return (idx >= 0 && idx < GetLength()) ? mEditString[static_cast<size_t>(idx)] : u'\0';
  }
  float GetCharWidth(int rowStart, int idx);
  void Layout(StbTexteditRow* row, int start);
  int DeleteChars(int pos, int num);
  int InsertChars(int pos, const char16_t* chars, int num);

  bool IsEditing() const { return mEditing; }
  bool IsCursorVisible() const { return mCursorVisible; }
  const std::u16string& GetEditString() const { return mEditString; }
  // The edit text as UTF-8.
  std::string GetUTF8() const;
  const STB_TexteditState& GetEditState() const { return mEditState; }
  IPopupMenu& GetEditMenu() { return mEditMenu; }

private:
  // Runs f on the editing state; marks the control dirty (no action) when the state changed. True when it did.
  template <class F> bool TrackedStep(F&& f);
  void CloseEntry();
  // Width of glyph (UTF-8) drawn after prev (UTF-8, may be empty).
  float MeasureWidth(const std::string& prev, const std::string& glyph);
  void StopBlink();
  static void BlinkStep(IControl* caller);

  bool mCursorVisible = false;
  bool mEditing = false;
  STB_TexteditState mEditState{};
  std::vector<float> mCharWidths;
  std::u16string mEditString;
  IPopupMenu mEditMenu{"", 0, false, {"Cut", "Copy", "Paste"}};
};

// UTF conversions of the text entry. Never fail: each byte of an invalid UTF-8 sequence (and an encoded surrogate)
// becomes U+FFFD; code points above U+FFFF become surrogate pairs; a lone surrogate becomes U+FFFD in UTF-8.
std::u16string TextEntryUTF8ToUTF16(const char* str);
std::string TextEntryUTF16ToUTF8(const char16_t* str, size_t len);

} // namespace plugin::igraphics
