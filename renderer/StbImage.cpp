// The one translation unit that holds stb_image's implementation.

#include "renderer/VectorRenderer_p.h"

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include <cstdio>

namespace {

// The decoder's settings are process-wide; every decode sets the same values first so that the result never
// depends on which decode came before.
void applyDecoderSettings()
{
  stbi_set_unpremultiply_on_load(1);
  stbi_convert_iphone_png_to_rgb(1);
}

} // namespace

unsigned char* vr__decodeImageFile(const char* filename, int* w, int* h)
{
  applyDecoderSettings();
  int n = 0;
  return stbi_load(filename, w, h, &n, 4);
}

unsigned char* vr__decodeImageMem(const unsigned char* data, int ndata, int* w, int* h)
{
  applyDecoderSettings();
  int n = 0;
  return stbi_load_from_memory(data, ndata, w, h, &n, 4);
}

void vr__freeImage(unsigned char* pixels) { stbi_image_free(pixels); }

const char* vr__imageFailureReason() { return stbi_failure_reason(); }
