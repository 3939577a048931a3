// The AppKit stand-in's test kit: windows, events, scripts, records and frames.

#include <AppKit/AppKit_p.h>
#include <CoreFoundation/CFTesting.h>
#include <Foundation/Unicode_p.h>

#include <algorithm>
#include <cctype>
#include <cstring>

using zqak::S;
using zqak::UTF8;

// ---------------------------------------------------------------------------------------------------------------
// Set-up
// ---------------------------------------------------------------------------------------------------------------

void ZQAppKitReset()
{
  zqak::State& s = S();
  const NSRect screen = NSScreen::mainScreen()->frame();
  s.cursor = NSMakePoint(screen.size.width / 2, screen.size.height / 2);
  s.associated = true;
  s.warps = 0;
  s.hideCount = 0;
  if (s.current) s.current->release();
  s.current = nullptr;
  for (NSCursor* c : s.cursorStack) c->release();
  s.cursorStack.clear();
  s.privateCursors = true;
  s.helpCursorShown = false;
  s.unrecognized.clear();
  ZQAppKitSetVersionNumber(zqak::kAppKitVersion);
  s.modifiers = 0;
  s.buttons = 0;
  s.menuAnswers.clear();
  s.menus.clear();
  s.alertAnswers.clear();
  s.alerts.clear();
  s.panelAnswers.clear();
  s.panels.clear();
  s.errors.clear();
  s.workspaceAnswer = -1;
  s.workspace.clear();
  NSPasteboard::generalPasteboard()->clearContents();
  if (NSColorPanel::sharedColorPanelExists())
  {
    NSColorPanel* panel = NSColorPanel::sharedColorPanel();
    panel->close();
    panel->setTarget(nullptr);
    panel->setAction(SEL());
  }
  if (s.appearance != "NSAppearanceNameAqua") ZQAppKitSetAppearance(NSAppearanceNameAqua);
}

void ZQAppKitSetMainScreen(CGFloat width, CGFloat height, CGFloat scale)
{
  NSScreen* screen = NSScreen::mainScreen();
  if (width > 0 && height > 0) screen->mFrame = NSMakeRect(0, 0, width, height);
  if (scale > 0) screen->mScale = scale;
}

NSWindow* ZQAppKitMakeWindow(CGFloat width, CGFloat height, CGFloat scale)
{
  auto* window = new NSWindow();
  window->initWithContentRect_styleMask_backing_defer(NSMakeRect(200, 200, width, height),
                                                      NSWindowStyleMaskTitled | NSWindowStyleMaskClosable,
                                                      NSBackingStoreBuffered, NO);
  if (scale > 0) window->mBackingScale = scale;
  window->makeKeyAndOrderFront(nullptr);
  return window;
}

void ZQAppKitSetBackingScale(NSWindow* window, CGFloat scale)
{
  if (!window || !(scale > 0) || window->mBackingScale == scale) return;
  window->mBackingScale = scale;
  if (NSView* content = window->contentView()) content->NotifyBackingChanged();
}

void ZQAppKitSetAppearance(NSString* name)
{
  if (!name || S().appearance == name->UTF8String()) return;
  S().appearance = name->UTF8String();
  std::vector<NSWindow*> windows = S().windows;
  for (NSWindow* w : windows)
    if (NSView* content = w->contentView()) content->NotifyAppearanceChanged();
}

void ZQAppKitDeactivate()
{
  if (NSWindow* key = S().keyWindow) key->ResignKey();
  if (NSWindow* main = S().mainWindow) main->ResignMain();
}

// ---------------------------------------------------------------------------------------------------------------
// Mouse
// ---------------------------------------------------------------------------------------------------------------

namespace
{

NSPoint WindowPoint(NSWindow* window, NSPoint viewPoint)
{
  NSView* content = window->contentView();
  return content ? content->convertPoint_toView(viewPoint, nullptr) : viewPoint;
}

NSInteger ButtonOf(NSEventType type)
{
  switch (type)
  {
  case NSEventTypeRightMouseDown:
  case NSEventTypeRightMouseUp:
  case NSEventTypeRightMouseDragged: return 1;
  default: return 0;
  }
}

void Post(NSWindow* window, NSEventType type, NSPoint windowPoint, NSEventModifierFlags flags, NSInteger clickCount,
          NSEventSubtype subtype, CGFloat dx, CGFloat dy)
{
  NSAutoreleasePool pool;
  zqak::State& s = S();
  s.modifiers = flags;
  const NSInteger button = ButtonOf(type);
  if (type == NSEventTypeLeftMouseDown || type == NSEventTypeRightMouseDown) s.buttons |= NSUInteger(1) << button;
  if (type == NSEventTypeLeftMouseUp || type == NSEventTypeRightMouseUp) s.buttons &= ~(NSUInteger(1) << button);
  zqak::EventDesc d;
  d.type = type;
  d.location = windowPoint;
  d.flags = flags;
  d.clickCount = (type == NSEventTypeMouseMoved || type == NSEventTypeLeftMouseDragged ||
                  type == NSEventTypeRightMouseDragged)
                   ? 0
                   : clickCount;
  d.button = button;
  d.window = window;
  d.subtype = subtype;
  d.deltaX = dx;
  d.deltaY = dy;
  d.pressure = (s.buttons != 0) ? 1.0f : 0.0f;
  window->sendEvent(zqak::MakeEvent(d));
}

} // namespace

void ZQAppKitMouseEvent(NSWindow* window, NSEventType type, NSPoint viewPoint, NSEventModifierFlags flags,
                        NSInteger clickCount, NSEventSubtype subtype)
{
  if (!window) return;
  const NSPoint wp = WindowPoint(window, viewPoint);
  const NSPoint screen = window->convertPointToScreen(wp);
  const CGFloat dx = screen.x - S().cursor.x, dy = -(screen.y - S().cursor.y);
  S().cursor = screen;
  Post(window, type, wp, flags, clickCount, subtype, dx, dy);
}

void ZQAppKitMouseMotion(NSWindow* window, NSEventType type, CGFloat dx, CGFloat dy, NSEventModifierFlags flags)
{
  if (!window) return;
  if (S().associated) S().cursor = NSMakePoint(S().cursor.x + dx, S().cursor.y - dy);
  Post(window, type, window->convertPointFromScreen(S().cursor), flags, 0, NSEventSubtypeMouseEvent, dx, dy);
}

void ZQAppKitClick(NSWindow* window, NSPoint viewPoint, NSEventModifierFlags flags, NSInteger clickCount, bool right)
{
  ZQAppKitMouseEvent(window, right ? NSEventTypeRightMouseDown : NSEventTypeLeftMouseDown, viewPoint, flags, clickCount);
  ZQAppKitMouseEvent(window, right ? NSEventTypeRightMouseUp : NSEventTypeLeftMouseUp, viewPoint, flags, clickCount);
}

void ZQAppKitScroll(NSWindow* window, NSPoint viewPoint, CGFloat deltaY, NSEventModifierFlags flags, CGFloat deltaX)
{
  if (!window) return;
  const NSPoint wp = WindowPoint(window, viewPoint);
  S().cursor = window->convertPointToScreen(wp);
  Post(window, NSEventTypeScrollWheel, wp, flags, 0, NSEventSubtypeMouseEvent, deltaX, deltaY);
}

void ZQAppKitMouseLeaveWindow(NSWindow* window)
{
  if (!window) return;
  NSAutoreleasePool pool;
  const NSPoint outside = NSMakePoint(-100000, -100000);
  window->mMouseInside = false;
  window->mMouseLocation = outside;
  S().cursor = window->convertPointToScreen(outside);
  window->UpdateTracking(outside, S().buttons != 0, nullptr);
}

// ---------------------------------------------------------------------------------------------------------------
// Keys
// ---------------------------------------------------------------------------------------------------------------

void ZQAppKitKeyEvent(NSWindow* window, NSEventType type, unsigned short keyCode, const char* characters,
                      const char* charactersIgnoringModifiers, NSEventModifierFlags flags, bool repeat)
{
  if (!window) return;
  NSAutoreleasePool pool;
  S().modifiers = flags;
  zqak::EventDesc d;
  d.type = type;
  d.location = window->mouseLocationOutsideOfEventStream();
  d.flags = flags;
  d.window = window;
  d.keyCode = keyCode;
  d.characters = characters ? characters : "";
  d.charactersIgnoringModifiers = charactersIgnoringModifiers ? charactersIgnoringModifiers : "";
  d.repeat = repeat;
  window->sendEvent(zqak::MakeEvent(d));
}

namespace
{

struct KeyStroke
{
  unsigned short code = 0;
  char32_t base = 0;         // character without shift
  char32_t shifted = 0;      // with shift (0: as base)
  NSEventModifierFlags flags = 0;
  bool needsShift = false;   // the character asked for is the shifted one
};

// The ANSI layout: unshifted and shifted characters of each key.
struct LayoutKey
{
  unsigned short code;
  char base, shifted;
};
const LayoutKey kLayout[] = {
  {kVK_ANSI_1, '1', '!'},          {kVK_ANSI_2, '2', '@'},         {kVK_ANSI_3, '3', '#'},
  {kVK_ANSI_4, '4', '$'},          {kVK_ANSI_5, '5', '%'},         {kVK_ANSI_6, '6', '^'},
  {kVK_ANSI_7, '7', '&'},          {kVK_ANSI_8, '8', '*'},         {kVK_ANSI_9, '9', '('},
  {kVK_ANSI_0, '0', ')'},          {kVK_ANSI_Minus, '-', '_'},     {kVK_ANSI_Equal, '=', '+'},
  {kVK_ANSI_LeftBracket, '[', '{'}, {kVK_ANSI_RightBracket, ']', '}'}, {kVK_ANSI_Backslash, '\\', '|'},
  {kVK_ANSI_Semicolon, ';', ':'},  {kVK_ANSI_Quote, '\'', '"'},    {kVK_ANSI_Comma, ',', '<'},
  {kVK_ANSI_Period, '.', '>'},     {kVK_ANSI_Slash, '/', '?'},     {kVK_ANSI_Grave, '`', '~'},
  {kVK_Space, ' ', ' '},
};
const unsigned short kLetters[26] = {
  kVK_ANSI_A, kVK_ANSI_B, kVK_ANSI_C, kVK_ANSI_D, kVK_ANSI_E, kVK_ANSI_F, kVK_ANSI_G, kVK_ANSI_H, kVK_ANSI_I,
  kVK_ANSI_J, kVK_ANSI_K, kVK_ANSI_L, kVK_ANSI_M, kVK_ANSI_N, kVK_ANSI_O, kVK_ANSI_P, kVK_ANSI_Q, kVK_ANSI_R,
  kVK_ANSI_S, kVK_ANSI_T, kVK_ANSI_U, kVK_ANSI_V, kVK_ANSI_W, kVK_ANSI_X, kVK_ANSI_Y, kVK_ANSI_Z,
};

bool StrokeForCharacter(char32_t c, KeyStroke& k)
{
  if (c >= 'a' && c <= 'z')
  {
    k = KeyStroke{kLetters[c - 'a'], c, c - 32, 0, false};
    return true;
  }
  if (c >= 'A' && c <= 'Z')
  {
    k = KeyStroke{kLetters[c - 'A'], c + 32, c, 0, true};
    return true;
  }
  for (const LayoutKey& l : kLayout)
  {
    if (static_cast<char32_t>(l.base) == c)
    {
      k = KeyStroke{l.code, c, static_cast<char32_t>(l.shifted), 0, false};
      return true;
    }
    if (static_cast<char32_t>(l.shifted) == c)
    {
      k = KeyStroke{l.code, static_cast<char32_t>(l.base), c, 0, true};
      return true;
    }
  }
  if (c == '\t' || c == '\r' || c == '\n') return false;
  // Characters the layout does not have arrive as typed through an input method, on no particular key.
  k = KeyStroke{0, c, c, 0, false};
  return c >= 0x20 && c != 0x7F;
}

bool StrokeForName(const std::string& name, KeyStroke& k)
{
  const NSEventModifierFlags fn = NSEventModifierFlagFunction;
  const NSEventModifierFlags arrow = NSEventModifierFlagFunction | NSEventModifierFlagNumericPad;
  struct Named
  {
    const char* name;
    unsigned short code;
    char32_t c;
    NSEventModifierFlags flags;
  };
  static const Named kNamed[] = {
    {"return", kVK_Return, NSCarriageReturnCharacter, 0},
    {"enter", kVK_ANSI_KeypadEnter, NSEnterCharacter, NSEventModifierFlagNumericPad},
    {"escape", kVK_Escape, 0x1B, 0},
    {"tab", kVK_Tab, NSTabCharacter, 0},
    {"space", kVK_Space, ' ', 0},
    {"delete", kVK_ForwardDelete, NSDeleteFunctionKey, fn},
    {"backspace", kVK_Delete, NSDeleteCharacter, 0},
    {"left", kVK_LeftArrow, NSLeftArrowFunctionKey, arrow},
    {"right", kVK_RightArrow, NSRightArrowFunctionKey, arrow},
    {"up", kVK_UpArrow, NSUpArrowFunctionKey, arrow},
    {"down", kVK_DownArrow, NSDownArrowFunctionKey, arrow},
    {"home", kVK_Home, NSHomeFunctionKey, fn},
    {"end", kVK_End, NSEndFunctionKey, fn},
    {"pageup", kVK_PageUp, NSPageUpFunctionKey, fn},
    {"pagedown", kVK_PageDown, NSPageDownFunctionKey, fn},
    {"f1", kVK_F1, NSF1FunctionKey + 0, fn},
    {"f2", kVK_F2, NSF1FunctionKey + 1, fn},
    {"f3", kVK_F3, NSF1FunctionKey + 2, fn},
    {"f4", kVK_F4, NSF1FunctionKey + 3, fn},
    {"f5", kVK_F5, NSF1FunctionKey + 4, fn},
    {"f6", kVK_F6, NSF1FunctionKey + 5, fn},
    {"f7", kVK_F7, NSF1FunctionKey + 6, fn},
    {"f8", kVK_F8, NSF1FunctionKey + 7, fn},
    {"f9", kVK_F9, NSF1FunctionKey + 8, fn},
    {"f10", kVK_F10, NSF1FunctionKey + 9, fn},
    {"f11", kVK_F11, NSF1FunctionKey + 10, fn},
    {"f12", kVK_F12, NSF1FunctionKey + 11, fn},
  };
  for (const Named& n : kNamed)
    if (name == n.name)
    {
      k = KeyStroke{n.code, n.c, n.c, n.flags, false};
      return true;
    }
  if (name == "plus") return StrokeForCharacter('+', k);
  if (name == "at") return StrokeForCharacter('@', k);
  return false;
}

} // namespace

bool ZQAppKitPressKey(NSWindow* window, const char* key, NSEventModifierFlags flags)
{
  if (!window || !key || !*key) return false;
  KeyStroke k;
  const std::u32string cps = zqns::UTF8ToUTF32(key);
  if (!(cps.size() == 1 && zqns::IsValidUTF8(key) && StrokeForCharacter(cps[0], k)) && !StrokeForName(key, k))
    return false;
  flags |= k.flags;
  if (k.needsShift) flags |= NSEventModifierFlagShift;
  const bool shift = flags & NSEventModifierFlagShift;
  char32_t plain = shift && k.shifted ? k.shifted : k.base;
  char32_t typed = plain;
  if (k.code == kVK_Tab && shift) typed = plain = NSBackTabCharacter;
  if ((flags & NSEventModifierFlagControl) && !(flags & NSEventModifierFlagCommand) && plain < 128 &&
      std::isalpha(static_cast<int>(plain)))
    typed = plain & 0x1F;
  std::string chars, ignoring;
  zqns::AppendUTF8(chars, typed);
  zqns::AppendUTF8(ignoring, plain);
  ZQAppKitKeyEvent(window, NSEventTypeKeyDown, k.code, chars.c_str(), ignoring.c_str(), flags);
  ZQAppKitKeyEvent(window, NSEventTypeKeyUp, k.code, chars.c_str(), ignoring.c_str(), flags);
  return true;
}

int ZQAppKitTypeText(NSWindow* window, const char* text)
{
  if (!window || !text) return 0;
  int n = 0;
  for (char32_t c : zqns::UTF8ToUTF32(text))
  {
    std::string one;
    zqns::AppendUTF8(one, c);
    if (ZQAppKitPressKey(window, one.c_str(), 0)) ++n;
  }
  return n;
}

NSTextField* ZQAppKitFocusedTextField(NSWindow* window)
{
  auto* field = window ? dynamic_cast<NSTextField*>(window->firstResponder()) : nullptr;
  return field && field->ZQIsEditing() ? field : nullptr;
}

// ---------------------------------------------------------------------------------------------------------------
// Drag and drop
// ---------------------------------------------------------------------------------------------------------------

bool ZQAppKitDropFiles(NSWindow* window, NSPoint viewPoint, const std::vector<std::string>& paths,
                       NSDragOperation* entered, BOOL* performed)
{
  if (entered) *entered = NSDragOperationNone;
  if (performed) *performed = NO;
  if (!window || !window->contentView()) return false;
  NSAutoreleasePool pool;
  const NSPoint wp = WindowPoint(window, viewPoint);
  NSView* v = window->contentView()->hitTest(wp);
  for (; v; v = v->superview())
    if (v->registeredDraggedTypes()->containsObject(NSFilenamesPboardType)) break;
  if (!v) return false;
  NSPasteboard* pb = NSPasteboard::pasteboardWithUniqueName();
  NSObject* type = NSFilenamesPboardType;
  pb->declareTypes_owner(NSArray::arrayWithObjects_count(&type, 1), nullptr);
  NSMutableArray* list = NSMutableArray::array();
  for (const std::string& p : paths)
    if (NSString* s = NSString::stringWithUTF8String(p.c_str())) list->addObject(s);
  pb->setPropertyList_forType(list, NSFilenamesPboardType);
  auto* info = new NSDraggingInfo(pb, wp, window, NSDragOperationEvery);
  v->retain();
  const NSDragOperation op = v->draggingEntered(info);
  if (entered) *entered = op;
  if (op != NSDragOperationNone)
  {
    const BOOL done = v->prepareForDragOperation(info) && v->performDragOperation(info);
    if (performed) *performed = done;
    if (done) v->concludeDragOperation(info);
  }
  else
    v->draggingExited(info);
  v->release();
  info->release();
  return true;
}

// ---------------------------------------------------------------------------------------------------------------
// Scripts and records
// ---------------------------------------------------------------------------------------------------------------

void ZQAppKitScriptMenu(ZQMenuAnswer answer)
{
  S().menuAnswers.push_back(std::move(answer));
}

void ZQAppKitScriptMenuPath(const std::string& path)
{
  S().menuAnswers.push_back([path](NSMenu* menu) -> NSMenuItem* {
    std::string error;
    NSMenuItem* item = ZQAppKitMenuItemAtPath(menu, path, &error);
    if (!error.empty()) S().errors.push_back(error);
    return item;
  });
}

void ZQAppKitScriptMenuDismiss()
{
  S().menuAnswers.push_back([](NSMenu*) -> NSMenuItem* { return nullptr; });
}

size_t ZQAppKitPendingMenuAnswers()
{
  return S().menuAnswers.size();
}

NSMenuItem* ZQAppKitMenuItemAtPath(NSMenu* menu, const std::string& path, std::string* error)
{
  if (error) error->clear();
  if (path == "none") return nullptr;
  auto fail = [&](const std::string& why) -> NSMenuItem* {
    if (error) *error = "menu path \"" + path + "\": " + why;
    return nullptr;
  };
  if (!menu) return fail("no menu");
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;)
  {
    const size_t slash = path.find('/', start);
    parts.push_back(path.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  NSMenu* current = menu;
  NSMenuItem* item = nullptr;
  for (size_t p = 0; p < parts.size(); ++p)
  {
    const std::string& part = parts[p];
    if (part.empty()) return fail("empty step");
    item = nullptr;
    if (part[0] == '#' && part.size() > 1 &&
        std::all_of(part.begin() + 1, part.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
    {
      const long n = std::strtol(part.c_str() + 1, nullptr, 10);
      long seen = 0;
      for (NSInteger i = 0; i < current->numberOfItems() && !item; ++i)
      {
        NSMenuItem* it = current->itemAtIndex(i);
        if (!it->isSeparatorItem() && ++seen == n) item = it;
      }
    }
    else
    {
      for (NSInteger i = 0; i < current->numberOfItems() && !item; ++i)
      {
        NSMenuItem* it = current->itemAtIndex(i);
        const std::string title = UTF8(it->title());
        if (!it->isSeparatorItem() && (title == part || title.rfind(part + " ", 0) == 0)) item = it;
      }
    }
    if (!item) return fail("no item \"" + part + "\"");
    if (p + 1 < parts.size())
    {
      if (!item->submenu()) return fail("\"" + part + "\" has no submenu");
      current = item->submenu();
    }
  }
  if (!current->ZQCanChoose(item)) return fail('"' + UTF8(item->title()) + "\" cannot be chosen");
  return item;
}

const std::vector<ZQMenuRecord>& ZQAppKitMenuRecords()
{
  return S().menus;
}

void ZQAppKitScriptAlert(int button, std::function<void()> whileOpen)
{
  S().alertAnswers.push_back({button, std::move(whileOpen)});
}

const std::vector<ZQAlertRecord>& ZQAppKitAlertRecords()
{
  return S().alerts;
}

void ZQAppKitScriptFilePanel(bool ok, std::vector<std::string> paths, std::function<void()> whileOpen)
{
  S().panelAnswers.push_back(zqak::FilePanelAnswer{ok, std::move(paths), std::move(whileOpen)});
}

const std::vector<ZQFilePanelRecord>& ZQAppKitFilePanelRecords()
{
  return S().panels;
}

bool ZQAppKitPickColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
{
  if (!NSColorPanel::sharedColorPanelExists()) return false;
  NSColorPanel* panel = NSColorPanel::sharedColorPanel();
  if (!panel->isVisible() || !panel->target() || !panel->action()) return false;
  NSAutoreleasePool pool;
  panel->setColor(NSColor::colorWithDeviceRed_green_blue_alpha(red, green, blue, panel->showsAlpha() ? alpha : 1.0));
  NSObject* target = panel->target()->retain();
  const bool sent = panel->action().send(target, panel);
  target->release();
  return sent;
}

const std::vector<std::string>& ZQAppKitScriptErrors()
{
  return S().errors;
}

std::string ZQAppKitPasteboardString()
{
  NSAutoreleasePool pool;
  return UTF8(NSPasteboard::generalPasteboard()->stringForType(NSPasteboardTypeString));
}

void ZQAppKitSetWorkspaceAnswer(int answer)
{
  S().workspaceAnswer = answer < 0 ? -1 : (answer > 0 ? 1 : 0);
}

const std::vector<ZQWorkspaceRequest>& ZQAppKitWorkspaceRequests()
{
  return S().workspace;
}

// ---------------------------------------------------------------------------------------------------------------
// Cursor, tooltips, time
// ---------------------------------------------------------------------------------------------------------------

NSCursor* ZQAppKitCurrentCursor()
{
  if (S().helpCursorShown && S().privateCursors) return NSCursor::_helpCursor();
  return NSCursor::currentCursor();
}

void ZQAppKitSetPrivateCursors(bool offered)
{
  S().privateCursors = offered;
}

const std::vector<std::string>& ZQAppKitUnrecognizedSelectors()
{
  return S().unrecognized;
}

int ZQAppKitCursorHideCount()
{
  return S().hideCount;
}

NSPoint ZQAppKitCursorLocation()
{
  return S().cursor;
}

bool ZQAppKitCursorAssociated()
{
  return S().associated;
}

int ZQAppKitCursorWarpCount()
{
  return S().warps;
}

std::vector<NSRect> ZQAppKitToolTipRects(NSView* view)
{
  std::vector<NSRect> rects;
  if (view)
    for (const NSView::ZQToolTip& t : view->ZQToolTips()) rects.push_back(t.rect);
  return rects;
}

std::string ZQAppKitToolTipText(NSView* view, NSPoint viewPoint)
{
  if (!view) return {};
  const std::vector<NSView::ZQToolTip> tips = view->ZQToolTips();
  for (auto it = tips.rbegin(); it != tips.rend(); ++it)
  {
    if (!NSMouseInRect(viewPoint, it->rect, view->isFlipped())) continue;
    auto* owner = dynamic_cast<NSViewToolTipOwner*>(it->owner);
    if (!owner) return {};
    NSAutoreleasePool pool;
    return UTF8(owner->view_stringForToolTip_point_userData(view, it->tag, viewPoint, it->userData));
  }
  return {};
}

int ZQAppKitAdvanceClock(double seconds)
{
  if (!ZQCFIsVirtualClock()) ZQCFUseVirtualClock(true);
  return ZQCFAdvanceClock(seconds);
}

// ---------------------------------------------------------------------------------------------------------------
// Frames
// ---------------------------------------------------------------------------------------------------------------

CAMetalLayer* ZQAppKitMetalLayer(NSWindow* window)
{
  return window ? zqak::FindMetalLayer(window->contentView()) : nullptr;
}

bool ZQAppKitLastFrame(NSWindow* window, ZQFrame* frame)
{
  CAMetalLayer* layer = ZQAppKitMetalLayer(window);
  if (!layer || !frame) return false;
  MTLTexture* t = layer->copyLastPresentedTexture();
  if (!t) return false;
  const MTLPixelFormat f = t->pixelFormat();
  const bool bgra = f == MTLPixelFormatBGRA8Unorm || f == MTLPixelFormatBGRA8Unorm_sRGB;
  const bool rgba = f == MTLPixelFormatRGBA8Unorm || f == MTLPixelFormatRGBA8Unorm_sRGB;
  if (!bgra && !rgba)
  {
    t->release();
    return false;
  }
  const NSUInteger w = t->width(), h = t->height();
  frame->width = w;
  frame->height = h;
  frame->presented = layer->presentedCount();
  frame->rgba.assign(w * h * 4, 0);
  t->getBytes_bytesPerRow_fromRegion_mipmapLevel(frame->rgba.data(), w * 4, MTLRegionMake2D(0, 0, w, h), 0);
  t->release();
  for (size_t i = 0; i < w * h; ++i)
  {
    uint8_t* p = &frame->rgba[i * 4];
    if (bgra) std::swap(p[0], p[2]);
    const unsigned a = p[3];
    if (a != 0 && a != 255)
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(std::min(255u, (p[c] * 255u + a / 2) / a));
  }
  return true;
}

bool ZQAppKitSaveFrame(NSWindow* window, const char* path)
{
  CAMetalLayer* layer = ZQAppKitMetalLayer(window);
  return layer && path && layer->writeLastFrameToPNG(path);
}
