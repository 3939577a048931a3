#pragma once

// The command line of `auhost editor` (EditorCommand.h): the chain's options plus the editor's own, and the
// grammar of its events.
//
// An event is "EVENT@SECONDS"; the time is what follows the last '@'. Mouse and key events may carry modifier
// prefixes "shift+", "ctrl+", "alt+", "cmd+" in any order. Coordinates are editor units (draw scale 1).
//   click:X,Y  rclick:X,Y  dblclick:X,Y  move:X,Y  drag:X1,Y1:X2,Y2  wheel:X,Y:DELTA
//   key:KEY  text:STRING  menu:PATH  alert:N  resize:W,H  close  open
// KEY is one character as typed on a US layout (an upper-case letter or a shifted symbol means Shift) or one of
// the names return, enter (keypad), escape, tab, space, delete (forward), backspace, left, right, up, down, plus,
// at. PATH is "none" or items separated by '/': "#N" (1-based, separators not counted) or a text that matches an
// item equal to it or beginning with it and a space.

#include "tools/auhost/ChainCommand.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace auhost
{

// Modifier keys of an event.
enum EditorModifier : unsigned
{
  kEditorShift = 1u << 0,
  kEditorCtrl = 1u << 1,
  kEditorAlt = 1u << 2,  // Option
  kEditorCmd = 1u << 3,
};

// One key as a US keyboard produces it.
struct EditorKey
{
  uint16_t keyCode = 0;         // the hardware key code (ANSI layout)
  std::u16string characters;    // what the key types with its modifiers
  std::u16string charactersIgnoringModifiers; // with Shift applied, other modifiers ignored
  unsigned modifiers = 0;       // EditorModifier; Shift is added for upper case and shifted symbols
  bool numericPad = false;      // keypad keys and arrows
  bool function = false;        // arrows and forward delete
};

struct EditorEvent
{
  enum class Kind
  {
    Click,
    RightClick,
    DoubleClick,
    Move,
    Drag,
    Wheel,
    Key,
    Text,
    Menu,
    Alert,
    Resize,
    Close,
    Open,
  };

  Kind kind = Kind::Click;
  unsigned modifiers = 0;            // EditorModifier
  double x = 0.0, y = 0.0;           // position, or the new size for Resize
  double x2 = 0.0, y2 = 0.0;         // where a drag ends
  double delta = 0.0;                // wheel lines
  std::vector<EditorKey> keys;       // Key: one; Text: one per character
  std::vector<std::string> menuPath; // Menu: "#N" or texts; empty with menuNone
  bool menuNone = false;
  int button = 0;                    // Alert: 1-based
  double seconds = 0.0;
  uint64_t frame = 0;                // set once the rate is known
  std::string text;                  // as written on the command line, for messages
};

struct EditorSnapshot
{
  double seconds = 0.0;
  uint64_t frame = 0;
  std::string file;
  std::string text; // as written
};

struct EditorArgs
{
  ChainArgs chain;
  bool openSender = false; // --open sender; the Receiver otherwise
  double screenScale = 1.0;
  std::vector<EditorEvent> events;       // command-line order
  std::vector<EditorSnapshot> snapshots; // command-line order
  std::string png;                       // "": none
};

// One key: a single character or a name (see above). Failure: false and one line in error.
bool ParseEditorKey(std::string_view key, unsigned modifiers, EditorKey& out, std::string& error);
// "EVENT@SECONDS". Failure: false and one line in error; out unchanged.
bool ParseEditorEvent(std::string_view text, EditorEvent& out, std::string& error);
// The arguments after "editor". Failure: false and one line in error; out unchanged.
bool ParseEditorArgs(const std::vector<std::string>& args, EditorArgs& out, std::string& error);

// The name of an event's kind as written ("click", "menu", ...).
const char* EditorEventName(EditorEvent::Kind kind);

} // namespace auhost
