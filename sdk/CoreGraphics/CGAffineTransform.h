// CoreGraphics affine transforms: x' = a·x + c·y + tx, y' = b·x + d·y + ty.
#pragma once

#include <CoreGraphics/CGBase.h>

struct CGAffineTransform
{
  CGFloat a, b, c, d;
  CGFloat tx, ty;
};
typedef struct CGAffineTransform CGAffineTransform;
