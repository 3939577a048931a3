// The back end's shader library container: "MTLB", three functions, padded to its stored size.

#include "MVRcontext.h"

namespace
{

constexpr uint32_t kLength = 12835;

struct Container
{
  unsigned char bytes[kLength];
};

constexpr Container Build()
{
  Container c{};
  uint32_t at = 0;
  auto put = [&](uint64_t v, int n) {
    for (int i = 0; i < n; ++i) c.bytes[at++] = (unsigned char)(v >> (8 * i));
  };
  const char magic[] = "MTLB";
  for (int i = 0; i < 4; ++i) put((unsigned char)magic[i], 1);
  put(3, 4);
  put(kLength, 8);
  struct Entry
  {
    const char* name;
    unsigned type; // 1 vertex, 2 fragment
  };
  const Entry entries[] = {{"vertexShader", 1}, {"fragmentShader", 2}, {"fragmentShaderAA", 2}};
  for (const Entry& e : entries)
  {
    uint32_t n = 0;
    while (e.name[n]) ++n;
    put(e.type, 1);
    put(n, 2);
    for (uint32_t i = 0; i < n; ++i) put((unsigned char)e.name[i], 1);
  }
  return c;
}

constexpr Container kContainer = Build();

} // namespace

const unsigned char* const kMVRshaderLibrary = kContainer.bytes;
const uint32_t kMVRshaderLibraryLength = kLength;
