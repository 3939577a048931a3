// CoreGraphics displays and the system cursor: the main display, hiding, showing and moving the cursor.
//
// Stand-in: one display whose size and scale the AppKit test kit sets (ZQAppKitSetMainScreen). Display
// coordinates are in points with the origin at the top left of the main display and y downwards.
#pragma once

#include <CoreGraphics/CGGeometry.h>

#ifndef ZQ_BOOLEAN_T
#define ZQ_BOOLEAN_T
typedef int boolean_t;
#endif

typedef uint32_t CGDirectDisplayID;
typedef int32_t CGError;
enum : CGError
{
  kCGErrorSuccess = 0,
  kCGErrorFailure = 1000,
  kCGErrorIllegalArgument = 1001,
};

CF_EXTERN_C_BEGIN

CF_EXPORT CGDirectDisplayID CGMainDisplayID(void);
// The display's height and width. As on the platform in scaled (HiDPI) modes, these are points, which is what
// the cursor functions measure in.
CF_EXPORT size_t CGDisplayPixelsHigh(CGDirectDisplayID display);
CF_EXPORT size_t CGDisplayPixelsWide(CGDirectDisplayID display);
// Hiding counts: the cursor shows again when every hide has been matched by a show (NSCursor hide/unhide share
// the count). Shows beyond the hides are ignored.
CF_EXPORT CGError CGDisplayHideCursor(CGDirectDisplayID display);
CF_EXPORT CGError CGDisplayShowCursor(CGDirectDisplayID display);
// Moves the cursor (display coordinates) without making a mouse event.
CF_EXPORT CGError CGDisplayMoveCursorToPoint(CGDirectDisplayID display, CGPoint point);
// The same in global display coordinates (one display here).
CF_EXPORT CGError CGWarpMouseCursorPosition(CGPoint newCursorPosition);
// While not connected, the mouse moves report deltas but the cursor stays put.
CF_EXPORT CGError CGAssociateMouseAndMouseCursorPosition(boolean_t connected);

CF_EXTERN_C_END
