// The one translation unit that compiles stb_truetype. Its memory comes from the font store's scratch arena: the
// allocation context is the store (stbtt_fontinfo::userdata), set before each font is initialised.

#include "renderer/FontAtlas_p.h"

#include <cstdint>

#define STBTT_malloc(x, u) fa__tmpalloc((x), (u))
#define STBTT_free(x, u) fa__tmpfree((x), (u))
// The library's internal consistency checks must not abort on damaged fonts; those are checked before they get
// here, and the rasteriser clips what lies outside its bitmap.
#define STBTT_assert(x) ((void)0)
#define STB_TRUETYPE_IMPLEMENTATION

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb/stb_truetype.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// Kerning from the legacy 'kern' table only (the library's public call prefers GPOS when a font has one).
int fa__stbttKernTableAdvance(const stbtt_fontinfo* info, int glyph1, int glyph2)
{
  return stbtt__GetGlyphKernInfoAdvance(info, glyph1, glyph2);
}

// The library's rasteriser takes its edge array (checked) and, for bitmaps wider than 64 pixels, its scanline buffer
// (not checked: a null one is written through) from the arena. Both are known once the outline is flattened, so
// they are made sure of first; the same flattening and rasterising as stbtt_MakeGlyphBitmapSubpixel otherwise.
#if STBTT_RASTERIZER_VERSION != 2
#error "the scratch the rasteriser takes is worked out for rasteriser version 2"
#endif
void fa__stbttMakeGlyphBitmap(const stbtt_fontinfo* info, unsigned char* output, int outW, int outH, int outStride,
                              float scaleX, float scaleY, int glyph)
{
  stbtt_vertex* vertices = nullptr;
  const int numVerts = stbtt_GetGlyphShape(info, glyph, &vertices);
  int ix0 = 0, iy0 = 0;
  stbtt_GetGlyphBitmapBoxSubpixel(info, glyph, scaleX, scaleY, 0.f, 0.f, &ix0, &iy0, nullptr, nullptr);
  if (outW > 0 && outH > 0)
  {
    stbtt__bitmap gbm;
    gbm.w = outW;
    gbm.h = outH;
    gbm.stride = outStride;
    gbm.pixels = output;
    const float scale = scaleX > scaleY ? scaleY : scaleX;
    int windingCount = 0;
    int* windingLengths = nullptr;
    stbtt__point* windings =
        stbtt_FlattenCurves(vertices, numVerts, 0.35f / scale, &windingLengths, &windingCount, info->userdata);
    if (windings)
    {
      int64_t points = 0;
      for (int i = 0; i < windingCount; ++i) points += windingLengths[i];
      const size_t need[2] = {size_t(points + 1) * sizeof(stbtt__edge), (size_t(outW) * 2 + 1) * sizeof(float)};
      if (fa__tmpfits(need, outW > 64 ? 2 : 1, info->userdata))
        stbtt__rasterize(&gbm, windings, windingLengths, windingCount, scaleX, scaleY, 0.f, 0.f, ix0, iy0, 1,
                         info->userdata);
      else
        for (int y = 0; y < outH; ++y) STBTT_memset(output + size_t(y) * size_t(outStride), 0, size_t(outW));
      STBTT_free(windingLengths, info->userdata);
      STBTT_free(windings, info->userdata);
    }
  }
  STBTT_free(vertices, info->userdata);
}
