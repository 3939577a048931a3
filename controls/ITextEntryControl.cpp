#include "controls/ITextEntryControl.h"

#include "framework/IParam.h"
#include "graphics/IGraphics.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plugin::igraphics
{

// ---------------------------------------------------------------------------------------------------------------
// Key values: virtual keys carry bit 31, modifiers are added as bits
// ---------------------------------------------------------------------------------------------------------------

namespace
{

constexpr unsigned kVirtual = 0x80000000u;
constexpr unsigned kShift = 0x40000000u;
constexpr unsigned kControl = 0x20000000u;
constexpr unsigned kAlt = 0x10000000u;

int KeyToText(unsigned key)
{
  if (key & (kVirtual | kControl)) return -1;
  return static_cast<int>(static_cast<char16_t>(key & 0x0FFFFFFFu));
}

bool IsSpace(char16_t c)
{
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v';
}

} // namespace

} // namespace plugin::igraphics

// ---------------------------------------------------------------------------------------------------------------
// stb_textedit, bound to the control (its one implementation in the program)
// ---------------------------------------------------------------------------------------------------------------

#define STB_TEXTEDIT_STRING plugin::igraphics::ITextEntryControl
#define STB_TEXTEDIT_STRINGLEN(tc) ((tc)->GetLength())
#define STB_TEXTEDIT_LAYOUTROW(r, tc, n) ((tc)->Layout((r), (n)))
#define STB_TEXTEDIT_GETWIDTH(tc, n, i) ((tc)->GetCharWidth((n), (i)))
#define STB_TEXTEDIT_KEYTOTEXT(key) (plugin::igraphics::KeyToText(key))
#define STB_TEXTEDIT_GETCHAR(tc, i) ((tc)->GetChar(i))
#define STB_TEXTEDIT_NEWLINE u'\n'
#define STB_TEXTEDIT_IS_SPACE(ch) (plugin::igraphics::IsSpace(ch))
#define STB_TEXTEDIT_DELETECHARS(tc, i, n) ((tc)->DeleteChars((i), (n)))
#define STB_TEXTEDIT_INSERTCHARS(tc, i, c, n) ((tc)->InsertChars((i), (c), (n)))

#define STB_TEXTEDIT_K_SHIFT 0x40000000u
#define STB_TEXTEDIT_K_LEFT 0x80000025u
#define STB_TEXTEDIT_K_RIGHT 0x80000027u
#define STB_TEXTEDIT_K_UP 0x80000026u
#define STB_TEXTEDIT_K_DOWN 0x80000028u
#define STB_TEXTEDIT_K_LINESTART 0x80000024u
#define STB_TEXTEDIT_K_LINEEND 0x80000023u
#define STB_TEXTEDIT_K_TEXTSTART 0xA0000024u
#define STB_TEXTEDIT_K_TEXTEND 0xA0000023u
#define STB_TEXTEDIT_K_DELETE 0x8000002Eu
#define STB_TEXTEDIT_K_BACKSPACE 0x80000008u
#define STB_TEXTEDIT_K_UNDO 0x2000007Au
#define STB_TEXTEDIT_K_REDO 0x6000007Au
#define STB_TEXTEDIT_K_INSERT 0x8000002Du
#define STB_TEXTEDIT_K_WORDLEFT 0xA0000025u
#define STB_TEXTEDIT_K_WORDRIGHT 0xA0000027u
// Page keys do nothing in a single-line field: values no key press produces.
#define STB_TEXTEDIT_K_PGUP 0x8FFFFF01u
#define STB_TEXTEDIT_K_PGDOWN 0x8FFFFF02u

#define STB_TEXTEDIT_IMPLEMENTATION
#include <stb/stb_textedit.h>

namespace plugin::igraphics
{

// ---------------------------------------------------------------------------------------------------------------
// UTF conversions
// ---------------------------------------------------------------------------------------------------------------

namespace
{

constexpr char32_t kReplacement = 0xFFFD;

void AppendUTF16(std::u16string& out, char32_t cp)
{
  if (cp >= 0x10000)
  {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
  else
    out.push_back(static_cast<char16_t>(cp));
}

void AppendUTF8(std::string& out, char32_t cp)
{
  if (cp < 0x80)
    out.push_back(static_cast<char>(cp));
  else if (cp < 0x800)
  {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  else if (cp < 0x10000)
  {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  else
  {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one well-formed sequence at s (n bytes left); 0 when the bytes there are not one.
int DecodeUTF8(const unsigned char* s, size_t n, char32_t& cp)
{
  const unsigned b0 = s[0];
  int len = 0;
  char32_t v = 0;
  if (b0 < 0x80)
  {
    cp = b0;
    return 1;
  }
  if (b0 >= 0xC2 && b0 <= 0xDF)
    len = 2, v = b0 & 0x1F;
  else if (b0 >= 0xE0 && b0 <= 0xEF)
    len = 3, v = b0 & 0x0F;
  else if (b0 >= 0xF0 && b0 <= 0xF4)
    len = 4, v = b0 & 0x07;
  else
    return 0;
  if (n < static_cast<size_t>(len)) return 0;
  for (int i = 1; i < len; ++i)
  {
    if ((s[i] & 0xC0) != 0x80) return 0;
    v = (v << 6) | (s[i] & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF have no place in UTF-8.
  static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (v < kMin[len] || (v >= 0xD800 && v <= 0xDFFF) || v > 0x10FFFF) return 0;
  cp = v;
  return len;
}

// The code point a key's text stands for: a valid sequence gives its code point; a lead byte whose sequence is
// cut short or overlong gives the byte itself; a five- or six-byte form gives '_'. An encoded surrogate or a value
// past U+10FFFF is no character at all and gives U+FFFD.
char32_t DecodeKeyText(const char* utf8)
{
  const auto* s = reinterpret_cast<const unsigned char*>(utf8);
  const size_t n = strnlen(utf8, 4);
  if (n == 0) return 0;
  const unsigned b0 = s[0];
  if (b0 >= 0xF8 && b0 <= 0xFD) return U'_';
  char32_t cp = 0;
  if (DecodeUTF8(s, n, cp) > 0) return cp;

  int len = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 1;
  if (len == 1 || n < static_cast<size_t>(len)) return b0;
  char32_t v = b0 & (0x7F >> len);
  for (int i = 1; i < len; ++i)
  {
    if ((s[i] & 0xC0) != 0x80) return b0;
    v = (v << 6) | (s[i] & 0x3F);
  }
  static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (v < kMin[len]) return b0; // overlong
  return kReplacement;
}

} // namespace

std::u16string TextEntryUTF8ToUTF16(const char* str)
{
  std::u16string out;
  if (!str) return out;
  const auto* s = reinterpret_cast<const unsigned char*>(str);
  const size_t n = std::strlen(str);
  for (size_t i = 0; i < n;)
  {
    char32_t cp = 0;
    const int len = DecodeUTF8(s + i, n - i, cp);
    if (len > 0)
    {
      AppendUTF16(out, cp);
      i += static_cast<size_t>(len);
    }
    else
    {
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
    }
  }
  return out;
}

std::string TextEntryUTF16ToUTF8(const char16_t* str, size_t len)
{
  std::string out;
  for (size_t i = 0; i < len; ++i)
  {
    const char32_t u = str[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < len && str[i + 1] >= 0xDC00 && str[i + 1] <= 0xDFFF)
    {
      AppendUTF8(out, 0x10000 + ((u - 0xD800) << 10) + (str[i + 1] - 0xDC00));
      ++i;
    }
    else if (u >= 0xD800 && u <= 0xDFFF)
      AppendUTF8(out, kReplacement);
    else
      AppendUTF8(out, u);
  }
  return out;
}

// ---------------------------------------------------------------------------------------------------------------
// Construction, blinking
// ---------------------------------------------------------------------------------------------------------------

ITextEntryControl::ITextEntryControl() : IControl(IRECT(), -1)
{
  stb_textedit_initialize_state(&mEditState, 1);
  mCharWidths.reserve(1024); // 4096 bytes

  SetActionFunction(
      [](IControl* caller)
      {
        auto* self = static_cast<ITextEntryControl*>(caller);
        self->mCursorVisible = true;
        self->SetAnimation(BlinkStep);
        self->StartAnimation(1000.0, true);
      });
}

void ITextEntryControl::BlinkStep(IControl* caller)
{
  auto* self = static_cast<ITextEntryControl*>(caller);
  const double p = self->GetAnimationProgress();
  if (p > 0.5)
  {
    self->mCursorVisible = false;
    self->SetDirty(false, -1);
  }
  if (p > 1.0) self->OnEndAnimation();
}

void ITextEntryControl::OnEndAnimation()
{
  if (mEditing)
    SetDirty(true, -1);
  else
    StopBlink();
}

void ITextEntryControl::StopBlink()
{
  // A blink left running would keep the control dirty, and the editor redrawing, for ever.
  SetAnimation(nullptr);
  mCursorVisible = false;
  SetDirty(false, -1);
}

template <class F> bool ITextEntryControl::TrackedStep(F&& f)
{
  STB_TexteditState before;
  std::memcpy(&before, &mEditState, sizeof(before));
  f();
  const bool changed = std::memcmp(&before, &mEditState, sizeof(before)) != 0;
  if (changed) SetDirty(false, -1);
  return changed;
}

// ---------------------------------------------------------------------------------------------------------------
// Text and widths
// ---------------------------------------------------------------------------------------------------------------

std::string ITextEntryControl::GetUTF8() const
{
  return TextEntryUTF16ToUTF8(mEditString.data(), mEditString.size());
}

void ITextEntryControl::SetStr(const char* str)
{
  mEditString = TextEntryUTF8ToUTF16(str);
  mCharWidths.clear();
}

void ITextEntryControl::OnTextChange()
{
  mCharWidths.clear();
  FillCharWidthCache();
}

void ITextEntryControl::FillCharWidthCache()
{
  if (!mCharWidths.empty()) return;
  const size_t n = mEditString.size();
  mCharWidths.resize(n);
  for (size_t i = 0; i < n; ++i)
  {
    const char16_t c = mEditString[i];
    const char16_t prev = i > 0 ? mEditString[i - 1] : u'\0';
    const bool pairStart = c >= 0xD800 && c <= 0xDBFF && i + 1 < n && mEditString[i + 1] >= 0xDC00 &&
                           mEditString[i + 1] <= 0xDFFF;
    if (!pairStart)
    {
      mCharWidths[i] = MeasureCharWidth(c, prev);
      continue;
    }
    // A surrogate pair is one glyph: its width goes to the first half, the second half has none.
    const std::string before = i > 0 ? TextEntryUTF16ToUTF8(&mEditString[i - 1], 1) : std::string();
    mCharWidths[i] = MeasureWidth(before, TextEntryUTF16ToUTF8(&mEditString[i], 2));
    mCharWidths[++i] = 0.f;
  }
}

float ITextEntryControl::MeasureCharWidth(char16_t c, char16_t prev)
{
  return MeasureWidth(prev ? TextEntryUTF16ToUTF8(&prev, 1) : std::string(), TextEntryUTF16ToUTF8(&c, 1));
}

float ITextEntryControl::MeasureWidth(const std::string& prev, const std::string& glyph)
{
  IGraphics* g = GetUI();
  if (!g) return 0.f;
  IRECT r = mRECT;
  if (prev.empty()) return g->MeasureText(mText, glyph.c_str(), r);
  IRECT r2 = mRECT;
  return g->MeasureText(mText, (prev + glyph).c_str(), r) - g->MeasureText(mText, prev.c_str(), r2);
}

float ITextEntryControl::GetCharWidth(int rowStart, int idx)
{
  if (mCharWidths.empty()) FillCharWidthCache();
  const long long i = static_cast<long long>(rowStart) + idx;
  return (i >= 0 && i < static_cast<long long>(mCharWidths.size())) ? mCharWidths[static_cast<size_t>(i)] : 0.f;
}

void ITextEntryControl::Layout(StbTexteditRow* row, int start)
{
  (void)start;
  if (mCharWidths.empty()) FillCharWidthCache();
  float w = 0.f;
  for (float cw : mCharWidths)
    w += cw;

  row->num_chars = GetLength();
  row->baseline_y_delta = 1.25f;

  switch (mText.mAlign)
  {
  case kAlignNear:
    row->x0 = mRECT.L;
    break;
  case kAlignFar:
    row->x0 = mRECT.R - w;
    break;
  default:
    row->x0 = (mRECT.L + mRECT.R) * 0.5f - w * 0.5f;
    break;
  }
  row->x1 = row->x0 + w;

  const float size = mText.mSize;
  switch (mText.mVAlign)
  {
  case kVAlignTop:
    row->ymin = 0.f;
    break;
  case kVAlignBottom:
    row->ymin = mRECT.B - mRECT.T - size;
    break;
  default:
    row->ymin = (mRECT.B - mRECT.T) * 0.5f - size * 0.5f;
    break;
  }
  row->ymax = row->ymin + size;
}

int ITextEntryControl::DeleteChars(int pos, int num)
{
  // An undo record may name positions past the current text: only what is there is erased.
  const int len = GetLength();
  if (pos < 0 || pos >= len || num <= 0) return 1;
  num = std::min(num, len - pos);
  mEditString.erase(static_cast<size_t>(pos), static_cast<size_t>(num));
  SetStr(GetUTF8().c_str());
  OnTextChange();
  return 1;
}

int ITextEntryControl::InsertChars(int pos, const char16_t* chars, int num)
{
  if (!chars || num <= 0) return 1;
  pos = std::clamp(pos, 0, GetLength());
  mEditString.insert(static_cast<size_t>(pos), chars, static_cast<size_t>(num));
  SetStr(GetUTF8().c_str());
  OnTextChange();
  return 1;
}

// ---------------------------------------------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------------------------------------------

void ITextEntryControl::Draw(IGraphics& g)
{
  g.FillRect(mText.mTextEntryBGColor, mRECT);

  StbTexteditRow row;
  Layout(&row, 0);
  const float inset = 0.1f * mText.mSize;
  const float top = mRECT.T + row.ymin + inset;
  const float bottom = mRECT.T + row.ymax - inset;
  const int n = static_cast<int>(mCharWidths.size());

  const int s = std::min(mEditState.select_start, mEditState.select_end);
  const int e = std::max(mEditState.select_start, mEditState.select_end);
  if (s != e)
  {
    float left = row.x0, right = row.x0;
    for (int i = 0; i < e && i < n; ++i)
    {
      right += mCharWidths[static_cast<size_t>(i)];
      if (i < s) left += mCharWidths[static_cast<size_t>(i)];
    }
    const IBlend blend(kBlendDefault, 0.2f);
    g.FillRect(mText.mTextEntryFGColor, IRECT(left, top, right, bottom), &blend);
  }

  const std::string utf8 = GetUTF8();
  g.DrawText(mText, utf8.c_str(), mRECT);

  if (s == e && mCursorVisible)
  {
    float x = row.x0;
    for (int i = 0; i < mEditState.cursor && i < n; ++i)
      x += mCharWidths[static_cast<size_t>(i)];
    g.FillRect(mText.mTextEntryFGColor, IRECT(std::round(x - 1.f), top, std::round(x), bottom));
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Opening and closing
// ---------------------------------------------------------------------------------------------------------------

void ITextEntryControl::CreateTextEntry(int paramIdx, const IText& text, const IRECT& bounds, int length,
                                        const char* str)
{
  (void)paramIdx;
  (void)length;
  // Focus loss hides an open entry; the next one must show again.
  if (IsHidden()) Hide(false);
  SetTargetAndDrawRECTs(bounds);
  OnResize();
  mText = text;
  mText.mFGColor = mText.mTextEntryFGColor;
  SetStr(str);
  // Each entry edits a new text: the history of the last one would name positions that are not there.
  stb_textedit_clear_state(&mEditState, 1);
  TrackedStep(
      [this]
      {
        mEditState.select_start = 0;
        mEditState.select_end = GetLength();
      });
  mEditState.cursor = 0;
  OnTextChange();
  SetDirty(true, -1);
  mEditing = true;
}

void ITextEntryControl::CloseEntry()
{
  mEditing = false;
  StopBlink();
  SetTargetAndDrawRECTs(IRECT());
  OnResize();
}

void ITextEntryControl::CommitEdit()
{
  if (!mEditing) return;
  const std::string text = GetUTF8();
  // The control that asked may be removed by what the value triggers: this entry is closed first.
  CloseEntry();
  if (IGraphics* g = GetUI())
  {
    g->SetControlValueAfterTextEdit(text.c_str());
    g->SetAllControlsDirty();
  }
}

void ITextEntryControl::DismissEdit()
{
  if (!mEditing) return;
  CloseEntry();
  if (IGraphics* g = GetUI())
  {
    g->ClearInTextEntry();
    g->SetAllControlsDirty();
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Edit commands and the clipboard
// ---------------------------------------------------------------------------------------------------------------

void ITextEntryControl::SelectAll()
{
  TrackedStep(
      [this]
      {
        mEditState.select_start = 0;
        mEditState.select_end = GetLength();
      });
}

void ITextEntryControl::CopySelection()
{
  const int len = GetLength();
  const int s = std::clamp(std::min(mEditState.select_start, mEditState.select_end), 0, len);
  const int e = std::clamp(std::max(mEditState.select_start, mEditState.select_end), 0, len);
  if (s == e) return;
  IGraphics* g = GetUI();
  if (!g) return;
  const std::string text = TextEntryUTF16ToUTF8(mEditString.data() + s, static_cast<size_t>(e - s));
  g->SetTextInClipboard(text.c_str());
}

void ITextEntryControl::Cut()
{
  CopySelection();
  TrackedStep([this] { stb_textedit_cut(this, &mEditState); });
}

void ITextEntryControl::Paste()
{
  IGraphics* g = GetUI();
  if (!g) return;
  Util_String clip;
  if (!g->GetTextFromClipboard(clip)) return;
  const std::u16string text = TextEntryUTF8ToUTF16(clip.Get());
  if (text.empty()) return;
  // The undo store holds at most 999 characters; a longer paste still goes in, with no undo record.
  TrackedStep([&] { stb_textedit_paste(this, &mEditState, text.data(), static_cast<int>(text.size())); });
}

void ITextEntryControl::OnPopupMenuSelection(IPopupMenu* selectedMenu, int valIdx)
{
  (void)valIdx;
  if (selectedMenu != &mEditMenu) return;
  switch (selectedMenu->GetChosenItemIdx())
  {
  case 0:
    Cut();
    break;
  case 1:
    CopySelection();
    break;
  case 2:
    Paste();
    break;
  default:
    break;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Mouse
// ---------------------------------------------------------------------------------------------------------------

void ITextEntryControl::OnMouseDown(float x, float y, const IMouseMod& mod)
{
  if (!mEditing) return;
  if (!mRECT.Contains(x, y))
  {
    CommitEdit();
    return;
  }
  if (mod.L)
    TrackedStep([&] { stb_textedit_click(this, &mEditState, x, y); });
  if (mod.R)
  {
    if (IGraphics* g = GetUI()) g->CreatePopupMenu(this, mEditMenu, IRECT(x, y, x, y), 0);
  }
}

void ITextEntryControl::OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod)
{
  (void)dX;
  (void)dY;
  // Once committed by a click outside, the same press's drags and release must not reopen anything.
  if (!mEditing || !mod.L) return;
  TrackedStep([&] { stb_textedit_drag(this, &mEditState, x, y); });
}

void ITextEntryControl::OnMouseUp(float x, float y, const IMouseMod& mod)
{
  if (!mEditing || !mod.L) return;
  TrackedStep([&] { stb_textedit_drag(this, &mEditState, x, y); });
  SetDirty(true, -1);
}

void ITextEntryControl::OnMouseDblClick(float x, float y, const IMouseMod& mod)
{
  (void)x;
  (void)y;
  (void)mod;
  if (!mEditing) return;
  SelectAll();
}

// ---------------------------------------------------------------------------------------------------------------
// Keyboard
// ---------------------------------------------------------------------------------------------------------------

bool ITextEntryControl::OnKeyDown(float x, float y, const IKeyPress& key)
{
  (void)x;
  (void)y;
  if (!mEditing) return false;

  if (key.C)
  {
    switch (key.VK)
    {
    case 'A':
      SelectAll();
      return true;
    case 'C':
      CopySelection();
      return true;
    case 'V':
      Paste();
      return true;
    case 'X':
      Cut();
      return true;
    case 'Z':
    {
      const unsigned k = key.S ? STB_TEXTEDIT_K_REDO : STB_TEXTEDIT_K_UNDO;
      TrackedStep([&] { stb_textedit_key(this, &mEditState, k); });
      return true;
    }
    default:
      break;
    }
  }

  const char32_t c = DecodeKeyText(key.utf8);
  const unsigned vkey = static_cast<unsigned>(key.VK) + kVirtual;
  unsigned value = 0;
  switch (key.VK)
  {
  case 8:
    value = STB_TEXTEDIT_K_BACKSPACE;
    break;
  case 9:
    return false;
  case 13:
    CommitEdit();
    return true;
  case 27:
    DismissEdit();
    return true;
  case 32:
    value = 32;
    break;
  case 33:
  case 34:
  case 35:
  case 36:
  case 37:
  case 38:
  case 39:
  case 40:
    value = vkey;
    break;
  case 46:
    value = STB_TEXTEDIT_K_DELETE;
    break;
  default:
  {
    IGraphics* g = GetUI();
    const IControl* edited = g ? g->GetControlInTextEntry() : nullptr;
    if (!edited) return false;
    const IParam* param = edited->GetParam(0);
    const bool digit = (key.VK >= '0' && key.VK <= '9' && !key.S) || (key.VK >= 96 && key.VK <= 105);
    const int type = param ? param->Type() : -1;
    if (type == IParam::kTypeBool || type == IParam::kTypeInt || type == IParam::kTypeEnum)
      value = (digit || c == U'+' || c == U'-') ? static_cast<unsigned>(c) : vkey;
    else if (type == IParam::kTypeDouble)
      value = (digit || c == U'+' || c == U'-' || c == U'.') ? static_cast<unsigned>(c) : vkey;
    else
      value = c != 0 ? static_cast<unsigned>(c) : vkey;
    break;
  }
  }

  if (key.C) value |= kControl;
  if (key.A) value |= kAlt;
  if (key.S) value |= kShift;

  // A character outside the 16-bit range is stored as its surrogate pair, inserted as one edit.
  if (!(value & (kVirtual | kControl)) && (value & 0x0FFFFFFFu) > 0xFFFF)
  {
    std::u16string pair;
    AppendUTF16(pair, static_cast<char32_t>(value & 0x0FFFFFFFu));
    return TrackedStep(
        [&]
        {
          // Insert mode overwrites one character, as for any other typed character.
          if (mEditState.insert_mode && mEditState.select_start == mEditState.select_end &&
              mEditState.cursor < GetLength())
          {
            mEditState.select_start = mEditState.cursor;
            mEditState.select_end = mEditState.cursor + 1;
          }
          stb_textedit_paste(this, &mEditState, pair.data(), 2);
        });
  }

  return TrackedStep([&] { stb_textedit_key(this, &mEditState, value); });
}

} // namespace plugin::igraphics

// ---------------------------------------------------------------------------------------------------------------
// IGraphics: attaching the text field. It lives here, with the control, so that the graphics library links none
// of it.
// ---------------------------------------------------------------------------------------------------------------

namespace plugin::igraphics
{

void IGraphics::AttachTextEntryControl()
{
  if (mTextEntryControl) return;
  auto* entry = new ITextEntryControl();
  GiveContext(entry);
  entry->OnInit();
  entry->OnResize();
  entry->OnRescale();
  mTextEntryControl = entry;
  mOpenTextEntry = [](IControl* c, int paramIdx, const IText& text, const IRECT& bounds, int length, const char* str)
  { static_cast<ITextEntryControl*>(c)->CreateTextEntry(paramIdx, text, bounds, length, str); };
  mTextEntryEditing = [](const IControl* c) { return static_cast<const ITextEntryControl*>(c)->IsEditing(); };
}

} // namespace plugin::igraphics
