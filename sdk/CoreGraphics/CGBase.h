// CoreGraphics base: the floating-point scalar of the drawing APIs.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

typedef double CGFloat; // 64-bit platforms
