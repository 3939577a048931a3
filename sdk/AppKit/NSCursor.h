// NSCursor: the system cursors, cursors made from images, and hiding.
//
// Stand-in: each system cursor is one shared object with a name the kit can read; set makes it the current
// cursor. Hiding shares its count with CGDisplayHideCursor/CGDisplayShowCursor. The system's private cursor
// methods are there too, as on current systems; the test kit can take them away (an older system), and then
// sending one is an unrecognised selector, recorded by the kit.
#pragma once

#include <AppKit/NSImage.h>

class NSCursor : public NSObject
{
public:
  NSCursor() = default;
  // Retains the image. Answers this; nil (and released) for a nil image.
  NSCursor* initWithImage_hotSpot(NSImage* image, NSPoint hotSpot);

  // Shared system cursors (never released).
  static NSCursor* arrowCursor();
  static NSCursor* IBeamCursor();
  static NSCursor* crosshairCursor();
  static NSCursor* pointingHandCursor();
  static NSCursor* closedHandCursor();
  static NSCursor* openHandCursor();
  static NSCursor* operationNotAllowedCursor();
  static NSCursor* resizeLeftCursor();
  static NSCursor* resizeRightCursor();
  static NSCursor* resizeLeftRightCursor();
  static NSCursor* resizeUpCursor();
  static NSCursor* resizeDownCursor();
  static NSCursor* resizeUpDownCursor();
  static NSCursor* disappearingItemCursor();
  static NSCursor* dragCopyCursor();
  static NSCursor* dragLinkCursor();
  static NSCursor* contextualMenuCursor();
  // +respondsToSelector: — whether the class answers a class selector of that name ("arrowCursor", …, and,
  // while the system offers them, the private ones below).
  static BOOL respondsToClassSelector(const char* name);
  // +performSelector: with a class selector that answers a cursor (a public or private cursor name above or
  // below). Nil for any other name; an unknown one is recorded as unrecognised.
  static NSCursor* performClassSelector(const char* name);

  // ---- Private class methods of the system (probe with respondsToClassSelector first) ----
  static NSCursor* busyButClickableCursor();
  static NSCursor* _windowResizeNorthCursor();
  static NSCursor* _windowResizeNorthWestSouthEastCursor();
  static NSCursor* _windowResizeNorthEastSouthWestCursor();
  static NSCursor* _windowResizeEastWestCursor();
  static NSCursor* _windowResizeNorthSouthCursor();
  // The context-help cursor. Setting it turns the help cursor on: it then stays on screen over any cursor set
  // afterwards, until _setHelpCursor: NO.
  static NSCursor* _helpCursor();
  static BOOL helpCursorShown();
  static void _setHelpCursor(BOOL shown);

  // The cursor set last (the arrow at first).
  static NSCursor* currentCursor();
  static NSCursor* currentSystemCursor() { return currentCursor(); }
  // Hide and unhide count (shared with CGDisplayHideCursor/ShowCursor); extra unhides are ignored.
  static void hide();
  static void unhide();
  static void setHiddenUntilMouseMoves(BOOL /*flag*/) {}

  // Makes this the current cursor.
  void set();
  void push();
  void pop();
  NSImage* image() const { return mImage; }
  NSPoint hotSpot() const { return mHotSpot; }
  // Stand-in extension: "arrow", "IBeam", "crosshair", "pointingHand", …, the selector's name without "Cursor";
  // "image" for a cursor made from an image.
  const char* ZQName() const { return mName.c_str(); }

protected:
  ~NSCursor() override;

private:
  static NSCursor* System(const char* name);
  std::string mName = "image";
  NSImage* mImage = nullptr; // retained
  NSPoint mHotSpot = NSZeroPoint;
};
