// Private to the AppKit stand-in: the process-wide state the test kit drives (screen, pointer, cursor, key
// window, scripts and records), and event construction.
#pragma once

#include <AppKit/AppKitTesting.h>

#include <deque>

namespace zqak
{

// NSAppKitVersionNumber of the stand-in's system (macOS 14).
inline constexpr double kAppKitVersion = 2487.0;

struct AlertAnswer
{
  int button;
  std::function<void()> whileOpen; // may be empty
};

struct FilePanelAnswer
{
  bool ok;
  std::vector<std::string> paths;
  std::function<void()> whileOpen; // may be empty
};

struct State
{
  // Pointer and cursor.
  NSPoint cursor{960, 540}; // screen coordinates
  bool associated = true;
  int warps = 0;
  int hideCount = 0;
  NSCursor* current = nullptr; // nil: the arrow
  std::vector<NSCursor*> cursorStack;
  bool privateCursors = true;   // the system's private cursor methods are there
  bool helpCursorShown = false; // the help cursor shows, whatever is set
  std::vector<std::string> unrecognized;
  NSEventModifierFlags modifiers = 0;
  NSUInteger buttons = 0;
  double eventTime = 0.0;
  // Windows.
  std::vector<NSWindow*> windows;
  NSWindow* keyWindow = nullptr;
  NSWindow* mainWindow = nullptr;
  std::string appearance = "NSAppearanceNameAqua";
  // Scripts and records.
  std::deque<ZQMenuAnswer> menuAnswers;
  std::vector<ZQMenuRecord> menus;
  std::deque<AlertAnswer> alertAnswers;
  std::vector<ZQAlertRecord> alerts;
  std::deque<FilePanelAnswer> panelAnswers;
  std::vector<ZQFilePanelRecord> panels;
  std::vector<std::string> errors;
  int workspaceAnswer = -1;
  std::vector<ZQWorkspaceRequest> workspace;
};

State& S();

// What an event is made of.
struct EventDesc
{
  NSEventType type = 0;
  NSPoint location = NSZeroPoint; // window coordinates
  NSEventModifierFlags flags = 0;
  NSInteger clickCount = 0;
  NSInteger button = 0;
  NSWindow* window = nullptr;
  NSEventSubtype subtype = NSEventSubtypeMouseEvent;
  CGFloat deltaX = 0, deltaY = 0;
  unsigned short keyCode = 0;
  const char* characters = nullptr;
  const char* charactersIgnoringModifiers = nullptr;
  bool repeat = false;
  NSTrackingArea* trackingArea = nullptr;
  float pressure = 0.0f;
};

// Autoreleased.
NSEvent* MakeEvent(const EventDesc& desc);

// The first CAMetalLayer of a view tree (depth first), or nil.
CAMetalLayer* FindMetalLayer(NSView* view);

std::string UTF8(const NSString* s);

// Stores value in a slot that owns a reference: value retained before the old one is released, so that storing
// the slot's own object again keeps it alive. Either may be nil.
template <class T> void Assign(T*& slot, T* value)
{
  if (value) value->retain();
  if (slot) slot->release();
  slot = value;
}

} // namespace zqak

struct ZQEventAccess
{
  static NSEvent* Make(const zqak::EventDesc& desc);
};
