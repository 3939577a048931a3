// The AppKit stand-in's test kit: headless windows, events, scripted menus, alerts, panels and colour picks,
// records of what was shown or opened, the virtual clock and the last presented frame. Not part of the platform
// API. [main thread] throughout.
//
// View coordinates below are those of the window's content view (y down when that view is flipped).
#pragma once

#include <AppKit/AppKit.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// ---- Set-up ----
// Forgets every script, record and error; empties the general pasteboard; the arrow cursor, shown, at the
// screen's centre, associated with the mouse, with the private cursors there and the help cursor off; the
// colour panel closed without target; workspace answers by default; the application appearance Aqua; the
// AppKit version of macOS 14. Windows are left alone.
void ZQAppKitReset();
// The AppKit release NSAppKitVersionNumber reads (as on an older or newer system).
void ZQAppKitSetVersionNumber(double version);
// The main screen's size (points) and backing scale; windows made afterwards take the scale.
void ZQAppKitSetMainScreen(CGFloat width, CGFloat height, CGFloat scale);
// A visible key and main window whose content area is width × height points at the given backing scale, with a
// plain NSView as content view. The caller owns it (release).
NSWindow* ZQAppKitMakeWindow(CGFloat width, CGFloat height, CGFloat scale);
// Changes the window's backing scale (as moving it to another screen does): viewDidChangeBackingProperties on
// every view of its tree when the scale differs.
void ZQAppKitSetBackingScale(NSWindow* window, CGFloat scale);
// The application's appearance (NSAppearanceNameAqua or NSAppearanceNameDarkAqua): views whose effective
// appearance changes hear viewDidChangeEffectiveAppearance.
void ZQAppKitSetAppearance(NSString* name);
// Another application becomes active: the key window resigns key and main.
void ZQAppKitDeactivate();

// ---- Mouse ----
// Moves the pointer to a point and posts one mouse event there (type: NSEventType… down, up, moved, dragged of
// the left or right button). Tracking areas crossed hear entered/exited first. deltaX/deltaY carry the motion
// from the previous pointer position.
void ZQAppKitMouseEvent(NSWindow* window, NSEventType type, NSPoint viewPoint, NSEventModifierFlags flags = 0,
                        NSInteger clickCount = 1, NSEventSubtype subtype = NSEventSubtypeMouseEvent);
// Moves the pointer as a hand does: by (dx, dy) view units (y down) from where the cursor is now — after any
// warp — unless the cursor is dissociated from the mouse, and posts a moved or dragged event there whose deltas
// are (dx, dy).
void ZQAppKitMouseMotion(NSWindow* window, NSEventType type, CGFloat dx, CGFloat dy, NSEventModifierFlags flags = 0);
// Left (or right) down and up at a point with a click count.
void ZQAppKitClick(NSWindow* window, NSPoint viewPoint, NSEventModifierFlags flags = 0, NSInteger clickCount = 1,
                   bool right = false);
// One wheel event of deltaY lines (positive: up/away) at a point.
void ZQAppKitScroll(NSWindow* window, NSPoint viewPoint, CGFloat deltaY, NSEventModifierFlags flags = 0,
                    CGFloat deltaX = 0);
// Moves the pointer out of the window (tracking areas hear exited).
void ZQAppKitMouseLeaveWindow(NSWindow* window);

// ---- Keys ----
// One key event (keyDown or keyUp) to the window's first responder; characters are UTF-8.
void ZQAppKitKeyEvent(NSWindow* window, NSEventType type, unsigned short keyCode, const char* characters,
                      const char* charactersIgnoringModifiers, NSEventModifierFlags flags = 0, bool repeat = false);
// Down and up of a key named as typed on a US keyboard: one character (UTF-8; upper-case letters and shifted
// symbols add Shift) or a name: "return", "enter" (keypad), "escape", "tab", "space", "delete" (forward delete),
// "backspace", "left", "right", "up", "down", "home", "end", "pageup", "pagedown", "f1"…"f12", "plus", "at".
// The characters follow the platform: Shift-Tab gives the back-tab character, Control with a letter the control
// character, arrows and function keys the function-key characters with the function (and, for arrows, numeric
// pad) flag. False for an unknown name.
bool ZQAppKitPressKey(NSWindow* window, const char* key, NSEventModifierFlags flags = 0);
// Presses each character of a UTF-8 text as a key (as ZQAppKitPressKey with one character). Answers the number
// of characters pressed.
int ZQAppKitTypeText(NSWindow* window, const char* text);
// The text field the window's first responder is editing, or nil.
NSTextField* ZQAppKitFocusedTextField(NSWindow* window);

// ---- Drag and drop ----
// Drops files on the view under a point: draggingEntered with a pasteboard of NSFilenamesPboardType, then (when
// it answered an operation) performDragOperation. Outputs (may be null) take the two answers. False when no
// registered view for that type is under the point.
bool ZQAppKitDropFiles(NSWindow* window, NSPoint viewPoint, const std::vector<std::string>& paths,
                       NSDragOperation* entered = nullptr, BOOL* performed = nullptr);

// ---- Menus ----
// The next menu that pops up answers with the item the function picks (any item of the menu or of its
// submenus), or nil to dismiss. Answers queue up, one per menu.
using ZQMenuAnswer = std::function<NSMenuItem*(NSMenu* menu)>;
void ZQAppKitScriptMenu(ZQMenuAnswer answer);
// The item at a path: item titles or 1-based positions "#N" (separators not counted), separated by "/" for
// submenus; a title matches an item whose title equals it or begins with it followed by a space; "none"
// dismisses. A missing or disabled item is a script error and dismisses the menu.
void ZQAppKitScriptMenuPath(const std::string& path);
void ZQAppKitScriptMenuDismiss();
// Answers not yet used.
size_t ZQAppKitPendingMenuAnswers();
// The item at a path as above, or nil with the reason in *error (may be null). "none" answers nil without error.
NSMenuItem* ZQAppKitMenuItemAtPath(NSMenu* menu, const std::string& path, std::string* error);

struct ZQMenuItemRecord
{
  std::string title;
  bool separator = false;
  bool enabled = true;
  NSControlStateValue state = 0;
  NSInteger indentation = 0;
  std::vector<ZQMenuItemRecord> submenu; // empty when none
  bool hasSubmenu = false;
};
struct ZQMenuRecord
{
  std::vector<ZQMenuItemRecord> items;
  NSPoint location = NSZeroPoint; // as passed (view coordinates)
  bool hadView = false;
  bool chosen = false;            // an item was chosen (its action sent)
  std::string chosenTitle;
  std::vector<int> chosenIndexes; // index in each menu level, 0-based
};
// Every menu popped up since the last reset, oldest first.
const std::vector<ZQMenuRecord>& ZQAppKitMenuRecords();

// ---- Alerts ----
// The next alert answers with its button N (1-based, in the order default, alternate, other / first, second…).
// A button it does not have is a script error and answers the first. whileOpen, when given, runs while the alert
// is up, before it answers (a host closing things under a modal panel).
void ZQAppKitScriptAlert(int button, std::function<void()> whileOpen = nullptr);
struct ZQAlertRecord
{
  std::string title, message;
  std::vector<std::string> buttons;
  int button = 0; // 1-based button pressed
};
const std::vector<ZQAlertRecord>& ZQAppKitAlertRecords();

// ---- Open and save panels ----
// The next panel answers OK with the paths (one for a save panel), or cancel. whileOpen, when given, runs while the
// panel is up, before it answers (a host closing things under a modal panel).
void ZQAppKitScriptFilePanel(bool ok, std::vector<std::string> paths = {}, std::function<void()> whileOpen = nullptr);
struct ZQFilePanelRecord
{
  bool open = false;
  std::string title, directory, file;
  std::vector<std::string> allowedTypes;
  bool canChooseFiles = false, canChooseDirectories = false, resolvesAliases = false, canCreateDirectories = false,
       allowsOtherFileTypes = false, floating = false;
  bool ok = false;
  std::vector<std::string> paths;
};
const std::vector<ZQFilePanelRecord>& ZQAppKitFilePanelRecords();

// ---- Colour panel ----
// The user picks a colour: the shared panel takes it and sends its action to its target. False (nothing sent)
// when the panel does not exist, is not visible, or has no target or action.
bool ZQAppKitPickColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);

// ---- Script errors (bad menu or alert answers) ----
const std::vector<std::string>& ZQAppKitScriptErrors();

// ---- Pasteboard, workspace ----
// The general pasteboard's text ("" when none).
std::string ZQAppKitPasteboardString();
struct ZQWorkspaceRequest
{
  std::string kind;   // "openURL", "openFile" or "selectFile"
  std::string target; // the URL's text or the path
  std::string root;   // selectFile's root path
  bool answer = false;
};
// -1: the default answers; 0: every request fails; 1: every request succeeds.
void ZQAppKitSetWorkspaceAnswer(int answer);
const std::vector<ZQWorkspaceRequest>& ZQAppKitWorkspaceRequests();

// ---- Cursor ----
// The cursor on screen: the help cursor while it is turned on, else the one set last.
NSCursor* ZQAppKitCurrentCursor();
// Whether NSCursor has the system's private cursor methods (busyButClickableCursor, _windowResize…Cursor,
// _helpCursor, helpCursorShown, _setHelpCursor:); YES after a reset. Without them, respondsToSelector: says no
// and sending one is recorded below.
void ZQAppKitSetPrivateCursors(bool offered);
// Class or instance messages sent that the system would not recognise ("+[NSCursor _helpCursor]"), oldest
// first, since the reset.
const std::vector<std::string>& ZQAppKitUnrecognizedSelectors();
// Hides not yet matched by shows (0: visible).
int ZQAppKitCursorHideCount();
// Screen coordinates (origin bottom left, y up).
NSPoint ZQAppKitCursorLocation();
bool ZQAppKitCursorAssociated();
// Number of programmatic cursor moves (CGWarpMouseCursorPosition, CGDisplayMoveCursorToPoint) since the reset.
int ZQAppKitCursorWarpCount();

// ---- Tooltips ----
// The tooltip rectangles of a view (view coordinates).
std::vector<NSRect> ZQAppKitToolTipRects(NSView* view);
// The text the tooltip at a point of the view would show: the owner of the topmost rectangle there is asked
// (view:stringForToolTip:point:userData:). "" when none.
std::string ZQAppKitToolTipText(NSView* view, NSPoint viewPoint);

// ---- Time ----
// Advances the run loop's virtual clock (turning it on when off), firing due timers. Answers the callouts made.
int ZQAppKitAdvanceClock(double seconds);

// ---- Frames ----
// The first CAMetalLayer in the window's view tree (depth first, content view first), or nil.
CAMetalLayer* ZQAppKitMetalLayer(NSWindow* window);
struct ZQFrame
{
  size_t width = 0, height = 0;
  std::vector<uint8_t> rgba; // width × height × 4, top row first, straight (un-premultiplied) alpha
  NSUInteger presented = 0;  // frames presented so far
};
// The last presented frame of that layer; false when there is none.
bool ZQAppKitLastFrame(NSWindow* window, ZQFrame* frame);
// Writes it as PNG; false when there is none or the file cannot be written.
bool ZQAppKitSaveFrame(NSWindow* window, const char* path);
