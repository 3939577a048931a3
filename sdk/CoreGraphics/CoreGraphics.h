// CoreGraphics: the platform's 2D drawing layer; here its data providers, fonts, bitmaps and displays.
#pragma once

#include <CoreGraphics/CGBase.h>
#include <CoreGraphics/CGAffineTransform.h>
#include <CoreGraphics/CGGeometry.h>
#include <CoreGraphics/CGDataProvider.h>
#include <CoreGraphics/CGFont.h>
#include <CoreGraphics/CGImage.h>
#include <CoreGraphics/CGDirectDisplay.h>
