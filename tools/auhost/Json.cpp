// The JSON writer.

#include "tools/auhost/Json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace auhost
{

std::string JsonQuote(std::string_view text)
{
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (const char ch : text)
  {
    const auto c = static_cast<unsigned char>(ch);
    switch (c)
    {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7f)
        {
          char escaped[8];
          std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
          out += escaped;
        }
        else
          out += ch;
    }
  }
  out += '"';
  return out;
}

std::string JsonNumber(double value)
{
  if (!std::isfinite(value)) return "null";
  if (value == 0.0) return "0"; // also for -0.0, which a reader may not keep apart
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof(buffer), value);
  if (ec != std::errc()) return "null";
  return std::string(buffer, end);
}

std::string JsonFloat(float value)
{
  if (!std::isfinite(value)) return "null";
  if (value == 0.f) return "0";
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof(buffer), value);
  if (ec != std::errc()) return "null";
  return std::string(buffer, end);
}

void JsonWriter::BeforeValue()
{
  if (mAfterKey)
  {
    mAfterKey = false;
    return;
  }
  if (!mFirst.empty())
  {
    if (!mFirst.back()) mText += ',';
    mFirst.back() = false;
  }
}

void JsonWriter::Open(char bracket)
{
  BeforeValue();
  mText += bracket;
  mFirst.push_back(true);
}

void JsonWriter::Close(char bracket)
{
  mText += bracket;
  if (!mFirst.empty()) mFirst.pop_back();
}

void JsonWriter::Key(std::string_view key)
{
  BeforeValue();
  mText += JsonQuote(key);
  mText += ':';
  mAfterKey = true;
}

void JsonWriter::String(std::string_view text)
{
  BeforeValue();
  mText += JsonQuote(text);
}

void JsonWriter::Number(double value)
{
  BeforeValue();
  mText += JsonNumber(value);
}

void JsonWriter::Float(float value)
{
  BeforeValue();
  mText += JsonFloat(value);
}

void JsonWriter::Int(int64_t value)
{
  BeforeValue();
  mText += std::to_string(value);
}

void JsonWriter::Null()
{
  BeforeValue();
  mText += "null";
}

} // namespace auhost
