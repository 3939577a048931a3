// AppKit stand-in: NSCursor, and the CoreGraphics display and cursor calls (they share the pointer state).

#include <AppKit/AppKit_p.h>

#include <cstring>
#include <map>

using zqak::S;

namespace
{

const char* const kSystemCursors[] = {
  "arrow",          "IBeam",         "crosshair",   "pointingHand",      "closedHand",
  "openHand",       "operationNotAllowed", "resizeLeft", "resizeRight",  "resizeLeftRight",
  "resizeUp",       "resizeDown",    "resizeUpDown", "disappearingItem", "dragCopy",
  "dragLink",       "contextualMenu",
};

// Private class methods, as the platform names them; each cursor's kit name is the selector without "Cursor".
const char* const kPrivateCursors[] = {
  "busyButClickable",
  "_windowResizeNorth",
  "_windowResizeNorthWestSouthEast",
  "_windowResizeNorthEastSouthWest",
  "_windowResizeEastWest",
  "_windowResizeNorthSouth",
  "_help",
};

bool IsPrivateMethod(const char* name)
{
  for (const char* c : kPrivateCursors)
    if (std::string(c) + "Cursor" == name) return true;
  return std::strcmp(name, "helpCursorShown") == 0 || std::strcmp(name, "_setHelpCursor:") == 0;
}

// Sending a private method the system lacks: the platform raises; the kit records it and nil answers.
bool Offered(const char* selector)
{
  if (S().privateCursors) return true;
  S().unrecognized.push_back(std::string("+[NSCursor ") + selector + "]");
  return false;
}

} // namespace

NSCursor* NSCursor::System(const char* name)
{
  static auto* cursors = new std::map<std::string, NSCursor*>();
  NSCursor*& slot = (*cursors)[name];
  if (!slot)
  {
    slot = new NSCursor();
    slot->mName = name;
  }
  return slot;
}

NSCursor* NSCursor::arrowCursor() { return System("arrow"); }
NSCursor* NSCursor::IBeamCursor() { return System("IBeam"); }
NSCursor* NSCursor::crosshairCursor() { return System("crosshair"); }
NSCursor* NSCursor::pointingHandCursor() { return System("pointingHand"); }
NSCursor* NSCursor::closedHandCursor() { return System("closedHand"); }
NSCursor* NSCursor::openHandCursor() { return System("openHand"); }
NSCursor* NSCursor::operationNotAllowedCursor() { return System("operationNotAllowed"); }
NSCursor* NSCursor::resizeLeftCursor() { return System("resizeLeft"); }
NSCursor* NSCursor::resizeRightCursor() { return System("resizeRight"); }
NSCursor* NSCursor::resizeLeftRightCursor() { return System("resizeLeftRight"); }
NSCursor* NSCursor::resizeUpCursor() { return System("resizeUp"); }
NSCursor* NSCursor::resizeDownCursor() { return System("resizeDown"); }
NSCursor* NSCursor::resizeUpDownCursor() { return System("resizeUpDown"); }
NSCursor* NSCursor::disappearingItemCursor() { return System("disappearingItem"); }
NSCursor* NSCursor::dragCopyCursor() { return System("dragCopy"); }
NSCursor* NSCursor::dragLinkCursor() { return System("dragLink"); }
NSCursor* NSCursor::contextualMenuCursor() { return System("contextualMenu"); }

// The private cursors answer as the selector does: nil, and recorded, while the system lacks them.
NSCursor* NSCursor::busyButClickableCursor() { return performClassSelector("busyButClickableCursor"); }
NSCursor* NSCursor::_windowResizeNorthCursor() { return performClassSelector("_windowResizeNorthCursor"); }
NSCursor* NSCursor::_windowResizeNorthWestSouthEastCursor()
{
  return performClassSelector("_windowResizeNorthWestSouthEastCursor");
}
NSCursor* NSCursor::_windowResizeNorthEastSouthWestCursor()
{
  return performClassSelector("_windowResizeNorthEastSouthWestCursor");
}
NSCursor* NSCursor::_windowResizeEastWestCursor() { return performClassSelector("_windowResizeEastWestCursor"); }
NSCursor* NSCursor::_windowResizeNorthSouthCursor() { return performClassSelector("_windowResizeNorthSouthCursor"); }
NSCursor* NSCursor::_helpCursor() { return performClassSelector("_helpCursor"); }

BOOL NSCursor::helpCursorShown()
{
  return Offered("helpCursorShown") && S().helpCursorShown ? YES : NO;
}

void NSCursor::_setHelpCursor(BOOL shown)
{
  if (Offered("_setHelpCursor:")) S().helpCursorShown = shown != NO;
}

BOOL NSCursor::respondsToClassSelector(const char* name)
{
  if (!name) return NO;
  for (const char* c : kSystemCursors)
    if (std::string(c) + "Cursor" == name) return YES;
  if (IsPrivateMethod(name)) return S().privateCursors ? YES : NO;
  return std::strcmp(name, "currentCursor") == 0 || std::strcmp(name, "hide") == 0 ||
             std::strcmp(name, "unhide") == 0 || std::strcmp(name, "currentSystemCursor") == 0
           ? YES
           : NO;
}

NSCursor* NSCursor::performClassSelector(const char* name)
{
  if (!name) return nullptr;
  for (const char* c : kSystemCursors)
    if (std::string(c) + "Cursor" == name) return System(c);
  for (const char* c : kPrivateCursors)
    if (std::string(c) + "Cursor" == name) return Offered(name) ? System(c) : nullptr;
  if (std::strcmp(name, "currentCursor") == 0 || std::strcmp(name, "currentSystemCursor") == 0) return currentCursor();
  if (!respondsToClassSelector(name)) S().unrecognized.push_back(std::string("+[NSCursor ") + name + "]");
  return nullptr;
}

NSCursor* NSCursor::initWithImage_hotSpot(NSImage* image, NSPoint hotSpot)
{
  if (!image)
  {
    release();
    return nullptr;
  }
  image->retain();
  if (mImage) mImage->release();
  mImage = image;
  mHotSpot = hotSpot;
  mName = "image";
  return this;
}

NSCursor::~NSCursor()
{
  if (S().current == this) S().current = nullptr;
  if (mImage) mImage->release();
}

NSCursor* NSCursor::currentCursor()
{
  return S().current ? S().current : arrowCursor();
}

void NSCursor::set()
{
  if (this == System("_help")) S().helpCursorShown = true;
  if (S().current == this) return;
  retain();
  if (S().current) S().current->release();
  S().current = this;
}

void NSCursor::push()
{
  NSCursor* now = currentCursor();
  S().cursorStack.push_back(static_cast<NSCursor*>(now->retain()));
  set();
}

void NSCursor::pop()
{
  if (S().cursorStack.empty()) return;
  NSCursor* top = S().cursorStack.back();
  S().cursorStack.pop_back();
  top->set();
  top->release();
}

void NSCursor::hide()
{
  ++S().hideCount;
}

void NSCursor::unhide()
{
  if (S().hideCount > 0) --S().hideCount;
}

// ---------------------------------------------------------------------------------------------------------------
// CoreGraphics displays and the system cursor
// ---------------------------------------------------------------------------------------------------------------

CGDirectDisplayID CGMainDisplayID(void)
{
  return 1;
}

size_t CGDisplayPixelsHigh(CGDirectDisplayID)
{
  return static_cast<size_t>(NSScreen::mainScreen()->frame().size.height);
}

size_t CGDisplayPixelsWide(CGDirectDisplayID)
{
  return static_cast<size_t>(NSScreen::mainScreen()->frame().size.width);
}

CGError CGDisplayHideCursor(CGDirectDisplayID)
{
  NSCursor::hide();
  return kCGErrorSuccess;
}

CGError CGDisplayShowCursor(CGDirectDisplayID)
{
  NSCursor::unhide();
  return kCGErrorSuccess;
}

CGError CGDisplayMoveCursorToPoint(CGDirectDisplayID, CGPoint point)
{
  return CGWarpMouseCursorPosition(point);
}

CGError CGWarpMouseCursorPosition(CGPoint p)
{
  // Display coordinates are y down from the top of the main display; AppKit's screen coordinates are y up.
  S().cursor = NSMakePoint(p.x, NSScreen::mainScreen()->frame().size.height - p.y);
  ++S().warps;
  return kCGErrorSuccess;
}

CGError CGAssociateMouseAndMouseCursorPosition(boolean_t connected)
{
  S().associated = connected != 0;
  return kCGErrorSuccess;
}
