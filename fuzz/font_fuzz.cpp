// libFuzzer target: the font store's reader of font data (faAddFontMem) and everything that reads the font after
// it was accepted: glyph lookup, metrics, kerning, rasterising into the atlas, its growth and reset.
//
// Promises checked: a refused font leaves no font behind; an accepted font lays text out with finite quads whose
// texture coordinates lie in the atlas, finite bounds and metrics; the atlas grows and resets without fault.

#include "renderer/FontAtlas.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

void Check(bool cond)
{
  if (!cond) __builtin_trap();
}

const std::string& Text()
{
  static const std::string text = [] {
    std::string t;
    for (char c = 32; c < 127; ++c) t += c;
    return t + "\xC3\x85\xCE\xA9\xE2\x82\xAC\xE2\x98\x83\xF0\x9F\x98\x80";
  }();
  return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size > (1u << 20)) return 0;
  FAparams params{};
  params.width = 64;
  params.height = 64;
  params.flags = FA_ZERO_TOPLEFT;
  FAcontext* s = faCreateInternal(&params);
  Check(s != nullptr);

  // An exact-size copy, so that any read past the end is caught.
  unsigned char* copy = static_cast<unsigned char*>(std::malloc(size ? size : 1));
  if (size) std::memcpy(copy, data, size);
  const int face = size > 0 && data[0] == 't' ? 1 : 0; // collections: also the second face
  const int font = faAddFontMem(s, "fuzz", copy, int(size), face, 0);
  Check(font == -1 || font == 0);
  Check(s->nfonts == (font == 0 ? 1 : 0));

  if (font == 0)
  {
    const std::string& text = Text();
    for (float size : {7.f, 33.f})
    {
      faSetSize(s, size);
      faSetBlur(s, size > 10 ? 3.f : 0.f);
      FAtextIter it, prev;
      faTextIterInit(s, &it, 5, 9, text.data(), text.data() + text.size(), FA_GLYPH_BITMAP_REQUIRED);
      prev = it;
      FAquad q{};
      while (faTextIterNext(s, &it, &q))
      {
        if (it.prevGlyphIndex == -1)
        {
          int w = 0, h = 0;
          faGetAtlasSize(s, &w, &h);
          if (w >= 256 || !faResetAtlas(s, w * 2, h * 2)) break;
          it = prev;
          if (!faTextIterNext(s, &it, &q) || it.prevGlyphIndex == -1) break;
        }
        prev = it;
        Check(std::isfinite(q.x0) && std::isfinite(q.y0) && std::isfinite(q.x1) && std::isfinite(q.y1));
        Check(q.s0 >= 0 && q.s1 <= 1 && q.t0 >= 0 && q.t1 <= 1);
      }
      float b[4];
      Check(std::isfinite(faTextBounds(s, 0, 0, text.c_str(), nullptr, b)));
      float asc = 0, desc = 0, lineh = 0;
      faVertMetrics(s, &asc, &desc, &lineh);
      Check(std::isfinite(asc) && std::isfinite(desc) && std::isfinite(lineh));
    }
    Check(faExpandAtlas(s, 300, 300) == 1);
  }
  faDeleteInternal(s);
  std::free(copy);
  return 0;
}
