#pragma once

// Fonts made through CoreText: from a file or bundle resource, from an installed family and style, or from a
// block of memory; and the process-wide cache of their CoreText descriptors, which native text fields use to
// draw in the same font and visual height as the renderer.
//
// Threads: [main thread] for making fonts; the descriptor cache is [any thread] under its mutex.

#include "graphics/PlatformFont.h"
#include "graphics/StaticStorage.h"

#include <CoreGraphics/CoreGraphics.h>
#include <CoreText/CoreText.h>

#include <string>

namespace plugin::igraphics
{

class CoreTextFont : public PlatformFont
{
public:
  // Takes ownership of descriptor and provider. styleName: the face to pick in a collection
  // (empty: face 0).
  CoreTextFont(CTFontDescriptorRef descriptor, CGDataProviderRef provider, const char* styleName, bool isSystem);
  ~CoreTextFont() override;

  // The CoreText descriptor (a CTFontDescriptorRef); the font keeps ownership.
  FontDescriptor GetDescriptor() override;
  // A copy of the font's bytes. The face is 0, or for a collection with a style name the first face of that
  // style (−1, so not valid, when no face has it).
  IFontDataPtr GetFontData() override;

  const std::string& GetStyleName() const { return mStyleName; }

  // A font from the resource fileNameOrResID of type "ttf" (bundle first, then the shared location, then the
  // name as a path); null when it is not found or is not a font.
  static PlatformFontPtr FromResource(const char* fontID, const char* fileNameOrResID, const char* bundleID,
                                      const char* sharedResourcesSubPath);
  // An installed font by family name and style (1 bold, 2 italic, anything else regular); a system font. Null
  // for an unknown family.
  static PlatformFontPtr FromName(const char* fontID, const char* fontName, int style);
  // A font from dataSize bytes at data (copied); null when they are not a font.
  static PlatformFontPtr FromMemory(const char* fontID, const void* data, int dataSize);

private:
  static PlatformFontPtr FromDataProvider(CGDataProviderRef provider);

  CTFontDescriptorRef mDescriptor;
  CGDataProviderRef mProvider;
  std::string mStyleName;
};

// ---------------------------------------------------------------------------------------------------------------
// The descriptor cache
// ---------------------------------------------------------------------------------------------------------------

// A cached descriptor with the factor that turns a text size into the native font size of equal visual height.
class CoreTextFontDescriptor
{
public:
  // Retains descriptor.
  CoreTextFontDescriptor(CTFontDescriptorRef descriptor, double sizeFactor);
  ~CoreTextFontDescriptor();
  CoreTextFontDescriptor(const CoreTextFontDescriptor&) = delete;
  CoreTextFontDescriptor& operator=(const CoreTextFontDescriptor&) = delete;

  CTFontDescriptorRef GetDescriptor() const { return mDescriptor; }
  double GetSizeFactor() const { return mSizeFactor; }

private:
  CTFontDescriptorRef mDescriptor;
  double mSizeFactor;
};

// The process-wide descriptor cache: font IDs at scale 1.0. Every graphics context retains it while it lives.
StaticStorage<CoreTextFontDescriptor>& CoreTextFontDescriptorCache();

// Caches font's descriptor under fontID unless one is cached already (the first one stays). The size factor is
// unitsPerEm / (ascender − descender) of the font's face, 1 when that height is not positive. False when nothing
// was added.
bool CacheCoreTextFont(const char* fontID, PlatformFont& font);

// The cached descriptor of fontID, or null. The cache keeps ownership.
const CoreTextFontDescriptor* FindCoreTextFont(const char* fontID);

} // namespace plugin::igraphics
