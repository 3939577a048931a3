// AppKit geometry: points, sizes and rectangles are the CoreGraphics ones (64-bit platform).
#pragma once

#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/Foundation.h>

#include <cmath>

typedef CGPoint NSPoint;
typedef CGSize NSSize;
typedef CGRect NSRect;
typedef NSUInteger NSAutoresizingMaskOptions;

inline NSPoint NSMakePoint(CGFloat x, CGFloat y) { return NSPoint{x, y}; }
inline NSSize NSMakeSize(CGFloat w, CGFloat h) { return NSSize{w, h}; }
inline NSRect NSMakeRect(CGFloat x, CGFloat y, CGFloat w, CGFloat h) { return NSRect{{x, y}, {w, h}}; }
inline constexpr NSRect NSZeroRect{{0, 0}, {0, 0}};
inline constexpr NSPoint NSZeroPoint{0, 0};
inline constexpr NSSize NSZeroSize{0, 0};
inline CGFloat NSMinX(NSRect r) { return r.origin.x; }
inline CGFloat NSMinY(NSRect r) { return r.origin.y; }
inline CGFloat NSMaxX(NSRect r) { return r.origin.x + r.size.width; }
inline CGFloat NSMaxY(NSRect r) { return r.origin.y + r.size.height; }
inline CGFloat NSWidth(NSRect r) { return r.size.width; }
inline CGFloat NSHeight(NSRect r) { return r.size.height; }
inline BOOL NSIsEmptyRect(NSRect r) { return !(r.size.width > 0 && r.size.height > 0); }
inline BOOL NSEqualRects(NSRect a, NSRect b)
{
  return a.origin.x == b.origin.x && a.origin.y == b.origin.y && a.size.width == b.size.width &&
         a.size.height == b.size.height;
}
inline BOOL NSEqualPoints(NSPoint a, NSPoint b) { return a.x == b.x && a.y == b.y; }
inline NSRect NSInsetRect(NSRect r, CGFloat dx, CGFloat dy)
{
  return NSMakeRect(r.origin.x + dx, r.origin.y + dy, r.size.width - 2 * dx, r.size.height - 2 * dy);
}
// Whether a mouse point lies in the rectangle: the left edge belongs to it, the right does not; in a flipped
// view the top edge (min y) belongs to it, otherwise the top edge (max y) does and the bottom does not.
inline BOOL NSMouseInRect(NSPoint p, NSRect r, BOOL flipped)
{
  if (NSIsEmptyRect(r) || p.x < NSMinX(r) || p.x >= NSMaxX(r)) return NO;
  return flipped ? (p.y >= NSMinY(r) && p.y < NSMaxY(r)) : (p.y > NSMinY(r) && p.y <= NSMaxY(r));
}
// Min edges in, max edges out.
inline BOOL NSPointInRect(NSPoint p, NSRect r)
{
  return p.x >= NSMinX(r) && p.x < NSMaxX(r) && p.y >= NSMinY(r) && p.y < NSMaxY(r);
}
