// Private to the CoreGraphics and CoreText stand-ins: the objects behind CGDataProviderRef and CGFontRef.
#pragma once

#include <CoreFoundation/CFInternal.h>
#include <CoreGraphics/CoreGraphics.h>

#include <string>

struct CGDataProvider : zqcf::Object
{
  static constexpr CFTypeID kTypeID = zqcf::kTypeCGDataProvider;
  CGDataProvider() : Object(kTypeID, false) {}
  ~CGDataProvider() override;

  const UInt8* Bytes() const;
  size_t Size() const;

  CFDataRef data = nullptr; // bytes read from a file (owned)
  CFURLRef url = nullptr;   // the file they came from (owned); null for lent bytes
  // Lent bytes.
  void* info = nullptr;
  const void* lent = nullptr;
  size_t lentSize = 0;
  CGDataProviderReleaseDataCallback releaseData = nullptr;
};

struct CGFont : zqcf::Object
{
  static constexpr CFTypeID kTypeID = zqcf::kTypeCGFont;
  CGFont() : Object(kTypeID, false) {}
  ~CGFont() override;

  CGDataProviderRef provider = nullptr; // owned
  std::string family, style, postScriptName;
  int unitsPerEm = 0;
};
