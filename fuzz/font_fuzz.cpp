// libFuzzer target: the font store's reader of font data (faAddFontMem) and everything that reads the font after
// it was accepted: glyph lookup, metrics, kerning, rasterising into the atlas, its growth and reset.
//
// Promises checked: a refused font leaves no font behind; an accepted font lays text out with finite quads whose
// texture coordinates lie in the atlas, finite bounds and metrics; the atlas grows and resets without fault.

#include "fuzz/font_exercise.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

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
    Check(fontexercise::Exercise(s, font, 256));
    Check(faExpandAtlas(s, 300, 300) == 1);
  }
  faDeleteInternal(s);
  std::free(copy);
  return 0;
}
