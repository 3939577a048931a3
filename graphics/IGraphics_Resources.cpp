#include "graphics/IGraphics.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace plugin::igraphics
{

// ---------------------------------------------------------------------------------------------------------------
// Process-wide caches
// ---------------------------------------------------------------------------------------------------------------

StaticStorage<APIBitmap>& BitmapCache()
{
  static StaticStorage<APIBitmap> cache;
  return cache;
}

StaticStorage<SVGHolder>& SVGCache()
{
  static StaticStorage<SVGHolder> cache;
  return cache;
}

namespace
{

// The text after the last '.' of name; all of name without one.
const char* ExtensionOf(const char* name)
{
  const char* dot = std::strrchr(name, '.');
  return dot ? dot + 1 : name;
}

// name as the variant for scale: "<base>@<scale>x<.ext>", the extension taken within the last path component.
std::string VariantName(const char* name, int scale)
{
  const std::string s(name);
  const size_t slash = s.find_last_of('/');
  const size_t dot = s.find_last_of('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string base = hasExt ? s.substr(0, dot) : s;
  const std::string ext = hasExt ? s.substr(dot) : std::string();
  return base + "@" + std::to_string(scale) + "x" + ext;
}

// The scales to try for targetScale: the target first, then 4, 3, 2, 1 without it. Returns their count.
int ScaleOrder(int targetScale, int (&scales)[5])
{
  int n = 0;
  scales[n++] = targetScale;
  for (int s = 4; s >= 1; --s)
    if (s != targetScale) scales[n++] = s;
  return n;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Resource files
// ---------------------------------------------------------------------------------------------------------------

bool ReadResourceFile(const char* path, Util_TypedBuf<uint8_t>& result, void (*afterSize)(void*), void* ctx)
{
  result.Resize(0);
  if (!path || !*path) return false;
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  // Unbuffered: a buffer filled while seeking would hand back bytes the file no longer has.
  std::setvbuf(f, nullptr, _IONBF, 0);
  bool ok = false;
  if (fseeko(f, 0, SEEK_END) == 0)
  {
    const long long size = static_cast<long long>(ftello(f));
    if (afterSize) afterSize(ctx);
    // The buffer counts in int; a larger file is not a resource we can hold.
    if (size >= 0 && size <= INT_MAX && fseeko(f, 0, SEEK_SET) == 0 && result.Resize(static_cast<int>(size)))
    {
      const size_t want = static_cast<size_t>(size);
      const size_t got = want ? std::fread(result.Get(), 1, want, f) : 0;
      // A file that changed size under us is not taken in part: short (shrunk) or with bytes left (grown).
      ok = got == want && std::fgetc(f) == EOF;
    }
  }
  std::fclose(f);
  if (!ok) result.Resize(0);
  return ok;
}

void IGraphics::LoadResource(const char* name, const char* type, Util_TypedBuf<uint8_t>& result)
{
  result.Resize(0);
  Util_String path;
  if (LocateResource(name, type, path, GetBundleID(), GetWinModuleHandle(), mSharedResourcesSubPath.Get()) ==
      kNotFound)
    return;
  ReadResourceFile(path.Get(), result);
}

EResourceLocation IGraphics::SearchImageResource(const char* name, const char* type, Util_String& fullPath,
                                                 int targetScale, int& sourceScale)
{
  sourceScale = targetScale;
  if (targetScale < 1 || !name || !*name) return kNotFound;
  int scales[5];
  const int n = ScaleOrder(targetScale, scales);
  for (int i = 0; i < n; ++i)
  {
    const std::string candidate = scales[i] == 1 ? std::string(name) : VariantName(name, scales[i]);
    const EResourceLocation found = LocateResource(candidate.c_str(), type, fullPath, GetBundleID(),
                                                   GetWinModuleHandle(), mSharedResourcesSubPath.Get());
    if (found > kNotFound)
    {
      sourceScale = scales[i];
      return found;
    }
  }
  return kNotFound;
}

APIBitmap* IGraphics::SearchBitmapInCache(const char* name, int targetScale, int& sourceScale)
{
  auto lock = BitmapCache().Lock();
  int scales[5];
  const int n = ScaleOrder(targetScale, scales);
  for (int i = 0; i < n; ++i)
  {
    if (APIBitmap* hit = BitmapCache().Find(name, scales[i]))
    {
      sourceScale = scales[i];
      return hit;
    }
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------------------------
// Bitmaps
// ---------------------------------------------------------------------------------------------------------------

IBitmap IGraphics::LoadBitmap(const char* name, int nStates, bool framesAreHorizontal, int targetScale)
{
  if (!name || !*name) return IBitmap();
  if (targetScale == 0) targetScale = static_cast<int>(mScreenScale);

  StaticStorage<APIBitmap>& cache = BitmapCache();
  auto lock = cache.Lock();
  if (APIBitmap* hit = cache.Find(name, targetScale)) return IBitmap(hit, nStates, framesAreHorizontal, name);

  const char* ext = ExtensionOf(name);
  if (!BitmapExtSupported(ext)) return IBitmap();

  Util_String fullPath;
  int sourceScale = 0;
  APIBitmap* bitmap = nullptr;
  bool loadedNew = false;
  const EResourceLocation location = SearchImageResource(name, ext, fullPath, targetScale, sourceScale);
  if (location != kNotFound)
  {
    if (sourceScale != targetScale) bitmap = cache.Find(name, sourceScale);
    if (!bitmap)
    {
      bitmap = LoadAPIBitmap(fullPath.Get(), sourceScale, location, ext);
      loadedNew = bitmap != nullptr;
    }
  }
  else
  {
    bitmap = SearchBitmapInCache(name, targetScale, sourceScale);
  }
  if (!bitmap) return IBitmap();

  if (bitmap->GetScale() != static_cast<float>(targetScale))
  {
    IBitmap scaled = ScaleBitmap(IBitmap(bitmap, nStates, framesAreHorizontal, name), name, targetScale);
    if (loadedNew) delete bitmap;
    return scaled;
  }
  if (loadedNew) RetainBitmap(IBitmap(bitmap, nStates, framesAreHorizontal, name), name);
  return IBitmap(bitmap, nStates, framesAreHorizontal, name);
}

IBitmap IGraphics::LoadBitmap(const char* name, const void* pData, int dataSize, int nStates, bool framesAreHorizontal,
                              int targetScale)
{
  if (!name || !*name) return IBitmap();
  if (targetScale == 0) targetScale = static_cast<int>(mScreenScale);

  StaticStorage<APIBitmap>& cache = BitmapCache();
  auto lock = cache.Lock();
  if (APIBitmap* hit = cache.Find(name, targetScale)) return IBitmap(hit, nStates, framesAreHorizontal, name);

  const char* ext = ExtensionOf(name);
  if (!BitmapExtSupported(ext)) return IBitmap();

  int sourceScale = 0;
  bool loadedNew = false;
  APIBitmap* bitmap = SearchBitmapInCache(name, targetScale, sourceScale);
  if (!bitmap)
  {
    if (!pData || dataSize <= 0) return IBitmap();
    // Bytes handed over directly carry no density: they count as scale 1.
    bitmap = LoadAPIBitmap(name, pData, dataSize, 1);
    loadedNew = bitmap != nullptr;
  }
  if (!bitmap) return IBitmap();

  if (bitmap->GetScale() != static_cast<float>(targetScale))
  {
    IBitmap scaled = ScaleBitmap(IBitmap(bitmap, nStates, framesAreHorizontal, name), name, targetScale);
    if (loadedNew) delete bitmap;
    return scaled;
  }
  if (loadedNew) RetainBitmap(IBitmap(bitmap, nStates, framesAreHorizontal, name), name);
  return IBitmap(bitmap, nStates, framesAreHorizontal, name);
}

IBitmap IGraphics::ScaleBitmap(const IBitmap& inBitmap, const char* cacheName, int targetScale)
{
  if (!inBitmap.IsValid() || targetScale < 1) return IBitmap();
  auto lock = BitmapCache().Lock();

  const float prevScreenScale = mScreenScale;
  const float prevDrawScale = mDrawScale;
  const float drawScale = inBitmap.GetDrawScale();
  mScreenScale = static_cast<float>(targetScale);
  mDrawScale = std::isfinite(drawScale) && drawScale > 0.f ? drawScale : 1.f;

  const IRECT bounds(0.f, 0.f, static_cast<float>(inBitmap.W) / mDrawScale,
                     static_cast<float>(inBitmap.H) / mDrawScale);
  StartLayer(nullptr, bounds, true);
  DrawBitmap(inBitmap, bounds, 0, 0, nullptr);
  ILayerPtr layer = EndLayer();

  IBitmap result;
  if (layer && layer->mBitmap)
  {
    result = IBitmap(layer->mBitmap.release(), inBitmap.N, inBitmap.mFramesAreHorizontal, cacheName);
    RetainBitmap(result, cacheName);
  }
  mScreenScale = prevScreenScale;
  mDrawScale = prevDrawScale;
  return result;
}

void IGraphics::RetainBitmap(const IBitmap& bitmap, const char* cacheName)
{
  StaticStorage<APIBitmap>& cache = BitmapCache();
  auto lock = cache.Lock();
  // An image the cache owns already must not get a second owner: it would be deleted twice.
  if (!bitmap.mAPIBitmap || cache.Contains(bitmap.mAPIBitmap)) return;
  cache.Add(bitmap.mAPIBitmap, cacheName, bitmap.GetScale());
}

void IGraphics::ReleaseBitmap(const IBitmap& bitmap)
{
  if (bitmap.mAPIBitmap) BitmapCache().Remove(bitmap.mAPIBitmap);
}

IBitmap IGraphics::GetScaledBitmap(const IBitmap& src)
{
  return LoadBitmap(src.mResourceName.Get(), src.N, src.mFramesAreHorizontal, static_cast<int>(mScreenScale));
}

// ---------------------------------------------------------------------------------------------------------------
// SVG documents
// ---------------------------------------------------------------------------------------------------------------

ISVG IGraphics::LoadSVG(const char* name, const char* units, float dpi)
{
  if (!name || !*name) return ISVG();
  StaticStorage<SVGHolder>& cache = SVGCache();
  auto lock = cache.Lock();
  if (SVGHolder* hit = cache.Find(name, 1.0)) return hit->mSVG;
  Util_TypedBuf<uint8_t> bytes;
  LoadResource(name, "svg", bytes);
  if (bytes.GetSize() == 0) return ISVG();
  return LoadSVG(name, bytes.Get(), bytes.GetSize(), units, dpi);
}

ISVG IGraphics::LoadSVG(const char* name, const void* pData, int dataSize, const char* units, float dpi)
{
  if (!name || !*name || !pData) return ISVG();
  StaticStorage<SVGHolder>& cache = SVGCache();
  auto lock = cache.Lock();
  if (SVGHolder* hit = cache.Find(name, 1.0)) return hit->mSVG;

  // Without a size the text runs to its first NUL, which must come within the largest document we take.
  const size_t size = dataSize > 0 ? static_cast<size_t>(dataSize)
                                   : strnlen(static_cast<const char*>(pData), kSVGMaxBytes + 1);
  if (!std::isfinite(dpi) || dpi <= 0.f) dpi = 72.f;
  ISVG svg = ParseSVG(pData, size, dpi, units);
  if (!svg.IsValid()) return ISVG();
  cache.Add(new SVGHolder(svg), name, 1.0);
  return svg;
}

// ---------------------------------------------------------------------------------------------------------------
// Fonts
// ---------------------------------------------------------------------------------------------------------------

bool IGraphics::RegisterPlatformFont(const char* fontID, PlatformFontPtr font)
{
  if (!font) return false;
  if (!LoadAPIFont(fontID, font)) return false;
  CachePlatformFont(fontID, font);
  return true; // a font object the platform did not take is destroyed here
}

bool IGraphics::LoadFont(const char* fontID, const char* fileNameOrResID)
{
  if (!fontID || !fileNameOrResID) return false;
  return RegisterPlatformFont(fontID, LoadPlatformFont(fontID, fileNameOrResID));
}

bool IGraphics::LoadFont(const char* fontID, void* pData, int dataSize)
{
  if (!fontID || !pData || dataSize <= 0) return false;
  return RegisterPlatformFont(fontID, LoadPlatformFont(fontID, pData, dataSize));
}

bool IGraphics::LoadFont(const char* fontID, const char* fontName, ETextStyle style)
{
  if (!fontID || !fontName) return false;
  return RegisterPlatformFont(fontID, LoadPlatformFont(fontID, fontName, style));
}

} // namespace plugin::igraphics
