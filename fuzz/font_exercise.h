#pragma once

// Runs an accepted font through the font store the way the renderer does: text at a small and a large size (the
// large one blurred) with rasterised glyphs, growing the atlas by resets when it is full (up to maxAtlas pixels
// wide), then bounds and metrics. Shared by the font fuzz target and the damaged-font tests.
// Returns false when a promise is broken: a quad not finite or texture coordinates outside the atlas, bounds or
// metrics not finite.

#include "renderer/FontAtlas.h"

#include <cmath>
#include <string>

namespace fontexercise
{

inline bool Exercise(FAcontext* s, int font, int maxAtlas)
{
  static const std::string text = [] {
    std::string t;
    for (char c = 32; c < 127; ++c) t += c;
    return t + "\xC3\x85\xCE\xA9\xE2\x82\xAC\xE2\x98\x83\xF0\x9F\x98\x80";
  }();
  bool ok = true;
  faSetFont(s, font);
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
        if (w >= maxAtlas || !faResetAtlas(s, w * 2, h * 2)) break;
        it = prev;
        if (!faTextIterNext(s, &it, &q) || it.prevGlyphIndex == -1) break;
      }
      prev = it;
      ok = ok && std::isfinite(q.x0) && std::isfinite(q.y0) && std::isfinite(q.x1) && std::isfinite(q.y1);
      ok = ok && q.s0 >= 0 && q.s1 <= 1 && q.t0 >= 0 && q.t1 <= 1;
    }
    float b[4];
    ok = ok && std::isfinite(faTextBounds(s, 0, 0, text.c_str(), nullptr, b));
    float asc = 0, desc = 0, lineh = 0;
    faVertMetrics(s, &asc, &desc, &lineh);
    ok = ok && std::isfinite(asc) && std::isfinite(desc) && std::isfinite(lineh);
  }
  return ok;
}

} // namespace fontexercise
