// NSCursor: the system cursors, cursors made from images, and hiding.
//
// Stand-in: each system cursor is one shared object with a name the kit can read; set makes it the current
// cursor. Hiding shares its count with CGDisplayHideCursor/CGDisplayShowCursor.
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
  // Whether the class answers a class selector of that name ("arrowCursor", …). The private cursors some
  // applications probe for ("_windowResizeNorthCursor", "busyButClickableCursor", "_helpCursor", …) are not
  // there, so callers take their fallbacks.
  static BOOL respondsToClassSelector(const char* name);

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
