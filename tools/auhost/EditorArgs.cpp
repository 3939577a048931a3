// `auhost editor`: its options and the event grammar.

#include "tools/auhost/EditorArgs.h"

#include "tools/auhost/Text.h"

#include <algorithm>
#include <cmath>

namespace auhost
{

namespace
{

// ---------------------------------------------------------------------------------------------------------------
// Keys of a US keyboard
// ---------------------------------------------------------------------------------------------------------------

struct PrintableKey
{
  char plain;
  char shifted;
  uint16_t code;
};

// The ANSI layout's character keys: the character without and with Shift, and the hardware key code.
constexpr PrintableKey kPrintableKeys[] = {
  {'a', 'A', 0},   {'s', 'S', 1},   {'d', 'D', 2},   {'f', 'F', 3},   {'h', 'H', 4},   {'g', 'G', 5},
  {'z', 'Z', 6},   {'x', 'X', 7},   {'c', 'C', 8},   {'v', 'V', 9},   {'b', 'B', 11},  {'q', 'Q', 12},
  {'w', 'W', 13},  {'e', 'E', 14},  {'r', 'R', 15},  {'y', 'Y', 16},  {'t', 'T', 17},  {'1', '!', 18},
  {'2', '@', 19},  {'3', '#', 20},  {'4', '$', 21},  {'6', '^', 22},  {'5', '%', 23},  {'=', '+', 24},
  {'9', '(', 25},  {'7', '&', 26},  {'-', '_', 27},  {'8', '*', 28},  {'0', ')', 29},  {']', '}', 30},
  {'o', 'O', 31},  {'u', 'U', 32},  {'[', '{', 33},  {'i', 'I', 34},  {'p', 'P', 35},  {'l', 'L', 37},
  {'j', 'J', 38},  {'\'', '"', 39}, {'k', 'K', 40},  {';', ':', 41},  {'\\', '|', 42}, {',', '<', 43},
  {'/', '?', 44},  {'n', 'N', 45},  {'m', 'M', 46},  {'.', '>', 47},  {' ', ' ', 49},  {'`', '~', 50},
};

struct NamedKey
{
  const char* name;
  uint16_t code;
  char16_t character;
  bool shift;
  bool numericPad;
  bool function;
};

constexpr NamedKey kNamedKeys[] = {
  {"return", 36, u'\r', false, false, false},    {"enter", 76, 0x0003, false, true, false},
  {"escape", 53, 0x001B, false, false, false},   {"tab", 48, u'\t', false, false, false},
  {"space", 49, u' ', false, false, false},      {"delete", 117, 0xF728, false, false, true},
  {"backspace", 51, 0x007F, false, false, false}, {"left", 123, 0xF702, false, true, true},
  {"right", 124, 0xF703, false, true, true},     {"up", 126, 0xF700, false, true, true},
  {"down", 125, 0xF701, false, true, true},      {"plus", 24, u'+', true, false, false},
  {"at", 19, u'@', true, false, false},
};

constexpr char16_t kBackTab = 0x0019;

// ---------------------------------------------------------------------------------------------------------------
// Pieces of the grammar
// ---------------------------------------------------------------------------------------------------------------

bool ParsePoint(std::string_view text, double& x, double& y)
{
  const size_t comma = text.find(',');
  if (comma == std::string_view::npos) return false;
  return ParseFiniteNumber(text.substr(0, comma), x) && ParseFiniteNumber(text.substr(comma + 1), y);
}

// Bytes of the UTF-8 character at the front of text (1 for ASCII, a stray byte or an empty text), so that a message
// quotes whole characters. A sequence cut short ends where its continuation bytes end.
size_t CharacterBytes(std::string_view text)
{
  if (text.empty()) return 0;
  const auto lead = static_cast<unsigned char>(text[0]);
  const size_t expected = lead >= 0xF0 && lead <= 0xF7 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  size_t n = 1;
  while (n < expected && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) ++n;
  return n;
}

// "shift+", "ctrl+", "alt+", "cmd+" at the front, any order, each once.
bool TakeModifiers(std::string_view& text, unsigned& modifiers, std::string& error)
{
  static constexpr std::pair<std::string_view, unsigned> kPrefixes[] = {
    {"shift+", kEditorShift}, {"ctrl+", kEditorCtrl}, {"alt+", kEditorAlt}, {"cmd+", kEditorCmd}};
  for (bool found = true; found;)
  {
    found = false;
    for (const auto& [prefix, bit] : kPrefixes)
      if (text.substr(0, prefix.size()) == prefix)
      {
        if (modifiers & bit)
        {
          error = std::string(prefix.substr(0, prefix.size() - 1)) + " given twice";
          return false;
        }
        modifiers |= bit;
        text.remove_prefix(prefix.size());
        found = true;
      }
  }
  return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Keys
// ---------------------------------------------------------------------------------------------------------------

bool ParseEditorKey(std::string_view key, unsigned modifiers, EditorKey& out, std::string& error)
{
  EditorKey k;
  k.modifiers = modifiers;
  char16_t typed = 0;
  if (key.size() == 1)
  {
    const auto it = std::find_if(std::begin(kPrintableKeys), std::end(kPrintableKeys),
                                 [&](const PrintableKey& p) { return p.plain == key[0] || p.shifted == key[0]; });
    if (it == std::end(kPrintableKeys))
    {
      error = '"' + std::string(key) + "\" is not a key of a US keyboard";
      return false;
    }
    k.keyCode = it->code;
    const bool shifted = it->shifted == key[0] && it->plain != key[0];
    if (shifted) k.modifiers |= kEditorShift;
    // Shift held over a plain key types its shifted character.
    typed = static_cast<char16_t>(static_cast<unsigned char>((k.modifiers & kEditorShift) ? it->shifted : it->plain));
  }
  else
  {
    const auto it = std::find_if(std::begin(kNamedKeys), std::end(kNamedKeys),
                                 [&](const NamedKey& n) { return key == n.name; });
    if (it == std::end(kNamedKeys) && CharacterBytes(key) == key.size())
    {
      error = '"' + std::string(key) + "\" is not a key of a US keyboard"; // one character beyond ASCII
      return false;
    }
    if (it == std::end(kNamedKeys))
    {
      error = '"' + std::string(key) + "\" is not a key: give one character or one of return, enter, escape, tab, "
              "space, delete, backspace, left, right, up, down, plus, at";
      return false;
    }
    k.keyCode = it->code;
    if (it->shift) k.modifiers |= kEditorShift;
    k.numericPad = it->numericPad;
    k.function = it->function;
    typed = it->character;
    if (typed == u'\t' && (k.modifiers & kEditorShift)) typed = kBackTab;
  }
  k.charactersIgnoringModifiers = std::u16string(1, typed);
  // Control turns a letter into its control character; the other modifiers leave the text as typed.
  char16_t chars = typed;
  if ((k.modifiers & kEditorCtrl) && ((typed >= u'a' && typed <= u'z') || (typed >= u'A' && typed <= u'Z')))
    chars = static_cast<char16_t>((typed & 0x1F));
  k.characters = std::u16string(1, chars);
  out = std::move(k);
  return true;
}

// ---------------------------------------------------------------------------------------------------------------
// Events
// ---------------------------------------------------------------------------------------------------------------

const char* EditorEventName(EditorEvent::Kind kind)
{
  switch (kind)
  {
    case EditorEvent::Kind::Click: return "click";
    case EditorEvent::Kind::RightClick: return "rclick";
    case EditorEvent::Kind::DoubleClick: return "dblclick";
    case EditorEvent::Kind::Move: return "move";
    case EditorEvent::Kind::Drag: return "drag";
    case EditorEvent::Kind::Wheel: return "wheel";
    case EditorEvent::Kind::Key: return "key";
    case EditorEvent::Kind::Text: return "text";
    case EditorEvent::Kind::Menu: return "menu";
    case EditorEvent::Kind::Alert: return "alert";
    case EditorEvent::Kind::Resize: return "resize";
    case EditorEvent::Kind::Close: return "close";
    case EditorEvent::Kind::Open: return "open";
  }
  return "?";
}

bool ParseEditorEvent(std::string_view text, EditorEvent& out, std::string& error)
{
  using Kind = EditorEvent::Kind;
  const std::string where = "--event \"" + std::string(text) + "\": ";
  auto fail = [&](const std::string& what) {
    error = where + what;
    return false;
  };

  const size_t at = text.rfind('@');
  if (at == std::string_view::npos) return fail("give the time as EVENT@SECONDS");
  EditorEvent e;
  e.text = std::string(text);
  if (!ParseFiniteNumber(text.substr(at + 1), e.seconds) || e.seconds < 0.0)
    return fail("the time after the last @ must be a number of seconds from 0");
  std::string_view body = text.substr(0, at);

  std::string modError;
  if (!TakeModifiers(body, e.modifiers, modError)) return fail(modError);

  const size_t colon = body.find(':');
  const std::string_view name = body.substr(0, colon);
  const std::string_view rest = colon == std::string_view::npos ? std::string_view() : body.substr(colon + 1);
  const bool hasRest = colon != std::string_view::npos;

  static constexpr std::pair<std::string_view, Kind> kKinds[] = {
    {"click", Kind::Click}, {"rclick", Kind::RightClick}, {"dblclick", Kind::DoubleClick}, {"move", Kind::Move},
    {"drag", Kind::Drag},   {"wheel", Kind::Wheel},       {"key", Kind::Key},               {"text", Kind::Text},
    {"menu", Kind::Menu},   {"alert", Kind::Alert},       {"resize", Kind::Resize},         {"close", Kind::Close},
    {"open", Kind::Open}};
  const auto kind = std::find_if(std::begin(kKinds), std::end(kKinds), [&](const auto& k) { return k.first == name; });
  if (kind == std::end(kKinds))
    return fail("unknown event \"" + std::string(name) +
                "\" (click, rclick, dblclick, move, drag, wheel, key, text, menu, alert, resize, close, open)");
  e.kind = kind->second;

  const bool takesModifiers = e.kind <= Kind::Key;
  if (e.modifiers && !takesModifiers) return fail("modifier keys go with mouse and key events only");
  if ((e.kind == Kind::Close || e.kind == Kind::Open) && hasRest)
    return fail(std::string(EditorEventName(e.kind)) + " takes nothing after it");
  if (e.kind != Kind::Close && e.kind != Kind::Open && !hasRest)
    return fail(std::string(EditorEventName(e.kind)) + " needs its values after a ':'");

  switch (e.kind)
  {
    case Kind::Click:
    case Kind::RightClick:
    case Kind::DoubleClick:
    case Kind::Move:
      if (!ParsePoint(rest, e.x, e.y)) return fail("wants X,Y");
      break;
    case Kind::Drag:
    {
      const size_t c = rest.find(':');
      if (c == std::string_view::npos || !ParsePoint(rest.substr(0, c), e.x, e.y) ||
          !ParsePoint(rest.substr(c + 1), e.x2, e.y2))
        return fail("wants X1,Y1:X2,Y2");
      break;
    }
    case Kind::Wheel:
    {
      const size_t c = rest.find(':');
      if (c == std::string_view::npos || !ParsePoint(rest.substr(0, c), e.x, e.y) ||
          !ParseFiniteNumber(rest.substr(c + 1), e.delta))
        return fail("wants X,Y:DELTA");
      break;
    }
    case Kind::Key:
    {
      EditorKey k;
      std::string keyError;
      if (!ParseEditorKey(rest, e.modifiers, k, keyError)) return fail(keyError);
      e.keys.push_back(std::move(k));
      break;
    }
    case Kind::Text:
      if (rest.empty()) return fail("text needs the characters to type");
      // One character at a time, whole: a character of several bytes is refused as itself, not as its first byte.
      for (std::string_view left = rest; !left.empty();)
      {
        const size_t n = CharacterBytes(left);
        EditorKey k;
        std::string keyError;
        if (!ParseEditorKey(left.substr(0, n), 0, k, keyError)) return fail(keyError);
        e.keys.push_back(std::move(k));
        left.remove_prefix(n);
      }
      break;
    case Kind::Menu:
      if (rest == "none")
      {
        e.menuNone = true;
        break;
      }
      for (size_t start = 0;;)
      {
        const size_t slash = rest.find('/', start);
        const std::string_view item = rest.substr(start, slash == std::string_view::npos ? rest.npos : slash - start);
        if (item.empty()) return fail("an empty item in the menu path");
        if (item[0] == '#')
        {
          int n = 0;
          if (!ParseWhole(item.substr(1), n) || n < 1) return fail("\"" + std::string(item) + "\" is not #N with N from 1");
        }
        e.menuPath.emplace_back(item);
        if (slash == std::string_view::npos) break;
        start = slash + 1;
      }
      break;
    case Kind::Alert:
      if (!ParseWhole(rest, e.button) || e.button < 1) return fail("wants a button number from 1");
      break;
    case Kind::Resize:
      if (!ParsePoint(rest, e.x, e.y) || e.x <= 0.0 || e.y <= 0.0) return fail("wants a width and height above 0");
      break;
    case Kind::Close:
    case Kind::Open:
      break;
  }
  out = std::move(e);
  return true;
}

// ---------------------------------------------------------------------------------------------------------------
// The command line
// ---------------------------------------------------------------------------------------------------------------

bool ParseEditorArgs(const std::vector<std::string>& args, EditorArgs& out, std::string& error)
{
  EditorArgs ea;
  std::vector<std::string> chainArgs;
  bool sawOpen = false, sawScale = false, sawPng = false;
  for (size_t i = 0; i < args.size(); ++i)
  {
    const std::string& a = args[i];
    const bool editorOption =
      a == "--open" || a == "--screen-scale" || a == "--event" || a == "--snapshot" || a == "--png";
    if (!editorOption)
    {
      // The chain's options are checked by its parser; their values pass through untouched.
      chainArgs.push_back(a);
      if (a.size() > 2 && a.rfind("--", 0) == 0 && a != "--json" && i + 1 < args.size()) chainArgs.push_back(args[++i]);
      continue;
    }
    if (i + 1 >= args.size() || args[i + 1].empty())
    {
      error = a + " needs a value";
      return false;
    }
    const std::string& v = args[++i];
    auto once = [&](bool& seen) {
      if (seen) error = a + " given twice";
      seen = true;
      return error.empty();
    };
    if (a == "--open")
    {
      if (!once(sawOpen)) return false;
      if (v != "sender" && v != "receiver")
      {
        error = "--open wants sender or receiver, not \"" + v + "\"";
        return false;
      }
      ea.openSender = v == "sender";
    }
    else if (a == "--screen-scale")
    {
      if (!once(sawScale)) return false;
      if (v != "1" && v != "2")
      {
        error = "--screen-scale wants 1 or 2, not \"" + v + "\"";
        return false;
      }
      ea.screenScale = v == "2" ? 2.0 : 1.0;
    }
    else if (a == "--png")
    {
      if (!once(sawPng)) return false;
      ea.png = v;
    }
    else if (a == "--event")
    {
      EditorEvent e;
      if (!ParseEditorEvent(v, e, error)) return false;
      ea.events.push_back(std::move(e));
    }
    else // --snapshot
    {
      const size_t colon = v.find(':');
      EditorSnapshot s;
      s.text = v;
      if (colon == std::string::npos || !ParseFiniteNumber(std::string_view(v).substr(0, colon), s.seconds) ||
          s.seconds < 0.0 || colon + 1 == v.size())
      {
        error = "--snapshot wants \"SECONDS:FILE\" with a time from 0 s, not \"" + v + "\"";
        return false;
      }
      s.file = v.substr(colon + 1);
      ea.snapshots.push_back(std::move(s));
    }
  }
  if (!ParseChainArgs(chainArgs, ea.chain, error)) return false;
  out = std::move(ea);
  return true;
}

} // namespace auhost
