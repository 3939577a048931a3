// libFuzzer target: the sfnt reader (IFontInfo, IFontData, the style search) on arbitrary font bytes.
//
// Promises checked: a face that is not valid reports no metrics and no names; a valid face's tables lie inside the
// bytes; the copy in IFontData answers like the original; the style search finds a face that has that style.

#include "graphics/PlatformFont.h"

#include <cstdint>
#include <cstring>
#include <memory>

using plugin::igraphics::IFontData;
using plugin::igraphics::IFontInfo;

namespace
{
void Check(bool cond)
{
  if (!cond) __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size > (1u << 20)) return 0;
  // A buffer of exactly the input's size: the sanitizer catches any read past it.
  auto bytes = std::make_unique<uint8_t[]>(size ? size : 1);
  if (size) std::memcpy(bytes.get(), data, size);

  for (int face = -1; face < 4; ++face)
  {
    IFontInfo info(bytes.get(), size, face);
    if (!info.IsValid())
    {
      Check(info.GetUnitsPerEM() == 0 && info.GetFamily().empty() && info.GetStyle().empty());
      continue;
    }
    Check(info.GetHeadLocation() + 46ull <= size && info.GetHheaLocation() + 10ull <= size &&
          info.GetNameLocation() + 6ull <= size);
    Check(info.GetHeightEMRatio() > 0.0);

    IFontData copy(bytes.get(), static_cast<int>(size), face);
    Check(copy.IsValid() && copy.GetFamily() == info.GetFamily() && copy.GetStyle() == info.GetStyle() &&
          copy.GetAscender() == info.GetAscender() && copy.GetUnitsPerEM() == info.GetUnitsPerEM());

    if (!info.GetStyle().empty())
    {
      // The search stops at the first unusable face, so it reaches this one only past usable faces.
      bool reachable = true;
      for (int earlier = 0; earlier < face; ++earlier)
        reachable = reachable && IFontInfo(bytes.get(), size, earlier).IsValid();
      const int found = IFontInfo::FindFaceByStyle(bytes.get(), size, info.GetStyle().c_str());
      if (reachable) Check(found >= 0 && found <= face);
      if (found >= 0) Check(IFontInfo(bytes.get(), size, found).GetStyle() == info.GetStyle());
    }
  }
  return 0;
}
