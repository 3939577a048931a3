#pragma once

// Text helpers the harness's command line and parameter settings share. [any thread]

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

namespace auhost
{

// The whole text as a finite number in the C locale ("+" allowed in front, no spaces). Failure: false, value
// unchanged.
inline bool ParseFiniteNumber(std::string_view text, double& value)
{
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  double v = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return false;
  value = v;
  return true;
}

// The whole text as a decimal whole number that fits Int. Failure: false, value unchanged.
template <typename Int>
bool ParseWhole(std::string_view text, Int& value)
{
  if (text.empty()) return false;
  Int v{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  value = v;
  return true;
}

// ASCII lower case; other bytes are kept.
inline std::string Lower(std::string_view s)
{
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
  return out;
}

// A number as printf's "%g" writes it: "48000", "0.5", "1e-05".
inline std::string FormatNumber(double v)
{
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), "%g", v);
  return buffer;
}

} // namespace auhost
