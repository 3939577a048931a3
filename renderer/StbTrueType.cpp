// The one translation unit that compiles stb_truetype. Its memory comes from the font store's scratch arena: the
// allocation context is the store (stbtt_fontinfo::userdata), set before each font is initialised.

#include "renderer/FontAtlas_p.h"

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
