// CoreGraphics geometry: points, sizes and rectangles in CGFloat (double on 64-bit platforms).
#pragma once

#include <CoreGraphics/CGBase.h>

struct CGPoint
{
  CGFloat x, y;
};

struct CGSize
{
  CGFloat width, height;
};

struct CGRect
{
  CGPoint origin;
  CGSize size;
};

inline CGPoint CGPointMake(CGFloat x, CGFloat y) { return CGPoint{x, y}; }
inline CGSize CGSizeMake(CGFloat width, CGFloat height) { return CGSize{width, height}; }
inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height) { return CGRect{{x, y}, {width, height}}; }
