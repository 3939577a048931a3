#pragma once

// Helpers for tests of `auhost editor` runs: the PNGs it writes read back, where to put them, the 2 × 2
// downsampling comparison of a scale-2 picture with its scale-1 one, counts of changed pixels in an area, and
// values out of the JSON report.

#include "AuhostRun.h"

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

namespace toolstest
{

struct Area
{
  int l, t, r, b;
};

struct Picture
{
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;
  const uint8_t* At(int x, int y) const { return rgba.data() + (size_t(y) * w + x) * 4; }
};

inline Picture ReadPNG(const std::string& path)
{
  Picture p;
  int n = 0;
  unsigned char* data = stbi_load(path.c_str(), &p.w, &p.h, &n, 4);
  if (!data) return p;
  p.rgba.assign(data, data + size_t(p.w) * p.h * 4);
  stbi_image_free(data);
  return p;
}

// Where the pictures go: kept in the test's temporary folder, or in $ZANIQ_PNG_DIR when set (to look at them).
inline std::string PictureDir(const TempFolder& temp)
{
  const char* dir = std::getenv("ZANIQ_PNG_DIR");
  return dir ? std::string(dir) : temp.Path().string();
}

// Pixels that differ between two pictures of the same size inside an area (scale-1 coordinates times scale).
inline int ChangedIn(const Picture& a, const Picture& b, const Area& area, int scale = 1)
{
  int n = 0;
  for (int y = area.t * scale; y < std::min(area.b * scale, std::min(a.h, b.h)); ++y)
    for (int x = area.l * scale; x < std::min(area.r * scale, std::min(a.w, b.w)); ++x)
      n += std::memcmp(a.At(x, y), b.At(x, y), 4) != 0;
  return n;
}

// How the large picture, each 2 × 2 block averaged, differs from the small one: the mean difference per channel
// and the share of channel values far off. Edges of shapes and text differ a little, flat areas not at all.
struct Downsampled
{
  double meanDifference = 1e9;
  double farShare = 1.0;
};

inline Downsampled CompareDownsampled(const Picture& one, const Picture& two)
{
  Downsampled d;
  if (one.w == 0 || two.w != 2 * one.w || two.h != 2 * one.h) return d;
  double sum = 0;
  int far = 0;
  for (int y = 0; y < one.h; ++y)
    for (int x = 0; x < one.w; ++x)
      for (int c = 0; c < 3; ++c)
      {
        const int avg = (two.At(2 * x, 2 * y)[c] + two.At(2 * x + 1, 2 * y)[c] + two.At(2 * x, 2 * y + 1)[c] +
                         two.At(2 * x + 1, 2 * y + 1)[c] + 2) /
                        4;
        const int diff = std::abs(avg - one.At(x, y)[c]);
        sum += diff;
        far += diff > 96;
      }
  const double n = double(one.w) * one.h * 3;
  d.meanDifference = sum / n;
  d.farShare = far / n;
  return d;
}

// A parameter's value in the JSON report after position `at`; NAN when there is none.
inline double JsonParamAfter(const std::string& json, size_t at, const std::string& name)
{
  const size_t key = at == std::string::npos ? at : json.find("\"" + name + "\":", at);
  return key == std::string::npos ? NAN : std::strtod(json.c_str() + key + name.size() + 3, nullptr);
}

// A parameter's value in the JSON report of an instance ("Sender" or "Receiver").
inline double JsonParam(const std::string& json, const std::string& role, const std::string& name)
{
  return JsonParamAfter(json, json.find("\"role\":\"" + role + "\""), name);
}

// A parameter's value in the JSON report of the instance at a position (0 the first, 1 the second): the role
// follows "Plugin Mode", so two Senders are told apart this way.
inline double JsonParamAt(const std::string& json, int position, const std::string& name)
{
  size_t at = json.find("\"role\":");
  for (int i = 0; i < position && at != std::string::npos; ++i)
    at = json.find("\"role\":", at + 1);
  return JsonParamAfter(json, at, name);
}

// The report's `editor` object.
inline std::string JsonEditor(const std::string& json)
{
  std::smatch m;
  return std::regex_search(json, m, std::regex("\"editor\":\\{[^}]*\\}")) ? m.str() : std::string();
}

// A number in the `editor` object.
inline double JsonEditorValue(const std::string& json, const std::string& name)
{
  return JsonParamAfter(JsonEditor(json), 0, name);
}

} // namespace toolstest
