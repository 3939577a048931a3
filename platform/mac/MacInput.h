#pragma once

// The plain translations of the Cocoa editor view: AppKit key events into IKeyPress, message-box types into
// alert buttons, native menu titles with their numbering, and view rectangles rounded outward. Kept free of AppKit
// objects so that each table can be checked on its own.
//
// Threads: [any thread]; no state.

#include "graphics/IGraphics.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace plugin::igraphics
{

// AppKit modifier-flag bits as events carry them.
inline constexpr uint64_t kMacShiftKeyMask = 1ull << 17;
inline constexpr uint64_t kMacControlKeyMask = 1ull << 18;
inline constexpr uint64_t kMacOptionKeyMask = 1ull << 19;
inline constexpr uint64_t kMacCommandKeyMask = 1ull << 20;

// Virtual code of the keypad Enter key (distinct from Return, 13).
inline constexpr int32_t kVK_KEYPAD_ENTER = 0x800D;

// A key event as the editor sees it: keyCode is the hardware key code, chars the UTF-16 units of the event's
// characters-ignoring-modifiers (null or nChars 0 for none). Command gives C, Option gives A; the Control key
// reaches no field. Letters come upper case; a key whose character is not a letter, digit, tab, line feed,
// return, escape or space gets code 0 (and loses shift) but keeps its text. The text is the key's character as
// UTF-8 when the event holds exactly one code point (a surrogate pair counts as one), else empty; character
// classes are decided on the whole code point.
IKeyPress TranslateMacKey(uint16_t keyCode, uint64_t modifierFlags, const char16_t* chars, size_t nChars);

// The buttons and results of a message box. shown is false for types without a panel (the result is then
// kCANCEL). Buttons not used are null; each result is the answer for that button.
struct MacMsgBox
{
  bool shown = false;
  const char* defaultButton = nullptr;
  const char* alternateButton = nullptr;
  const char* otherButton = nullptr;
  EMsgBoxResult defaultResult = kCANCEL;
  EMsgBoxResult alternateResult = kCANCEL;
  EMsgBoxResult otherResult = kCANCEL;
};
MacMsgBox GetMacMsgBox(int type);

// The retry-cancel message box type (the graphics core names only the four it uses).
inline constexpr int kMacMsgBoxRetryCancel = 5;
inline constexpr EMsgBoxResult kMacMsgBoxRetry = static_cast<EMsgBoxResult>(4);

// The title of item index (0-based) of a native menu: the number index + 1 by prefix style (1 "%1d: ",
// 2 "%02d: ", 3 "%03d: ", others nothing), then text. A null text or one that is not valid UTF-8 gives an
// empty title (no number either).
std::string MacMenuItemTitle(int prefix, int index, const char* text);

// r × scale with left and top rounded down and right and bottom up.
IRECT ScaleRectOutward(const IRECT& r, float scale);

// Whether text is well-formed UTF-8 (null is not).
bool IsValidUTF8(const char* text);

} // namespace plugin::igraphics
