// CoreText: the platform's text layer; here its fonts and font descriptors.
#pragma once

#include <CoreText/CTFontDescriptor.h>
#include <CoreText/CTFont.h>
