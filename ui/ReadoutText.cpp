#include "ui/ReadoutText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace zaniq::readout
{

namespace
{

constexpr double kLnToDB = 8.685889638065037;
constexpr double kFloorDB = -144.0;

void Copy(const char* text, char* out, size_t size)
{
  if (!out || size == 0) return;
  const size_t n = std::min(std::strlen(text), size - 1);
  std::memcpy(out, text, n);
  out[n] = '\0';
}

} // namespace

double RawDB(double x)
{
  return std::fabs(x) > kSilence ? std::log(std::fabs(x)) * kLnToDB : kFloorDB;
}

double GainDB(double x)
{
  const double d = std::clamp(RawDB(x), kFloorDB, -kFloorDB);
  return std::floor(d * 10.0 + 0.5) / 10.0;
}

double LevelDB(double x)
{
  // Silence reads exactly -144.0, whatever the rounding of the logarithm would give.
  const double t = std::fabs(x) <= kSilence ? -1439.5 : RawDB(x) * 10.0 + 0.5;
  return std::floor(t) / 10.0;
}

void FormatValue(double v, bool withInf, char* out, size_t size)
{
  if (!std::isfinite(v)) return Copy("----", out, size);
  if (withInf && v <= kFloorDB) return Copy("-inf", out, size);
  char buf[kTextSize * 2];
  const auto result = std::to_chars(buf, buf + sizeof buf - 1, v, std::chars_format::fixed, 1);
  if (result.ec != std::errc()) return Copy("----", out, size);
  *result.ptr = '\0';
  // A small negative value rounds to "-0.0": a read-out shows that as plain zero.
  if (std::strcmp(buf, "-0.0") == 0) return Copy("0.0", out, size);
  Copy(buf, out, size);
}

void FormatGain(double v, char* out, size_t size)
{
  FormatValue(-v, false, out, size);
}

} // namespace zaniq::readout
