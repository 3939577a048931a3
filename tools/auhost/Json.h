#pragma once

// A small JSON writer for machine-readable reports: one compact line, keys in the order written, UTF-8 strings
// escaped, numbers in their shortest round-trip form (C locale). JSON has no infinities or NaN: a non-finite
// number is written as null.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace auhost
{

class JsonWriter
{
public:
  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  // Inside an object: the key of the next value.
  void Key(std::string_view key);
  void String(std::string_view text);
  void Number(double value);
  // A 32-bit value in the float's own shortest form (-18, not -18.000000476837158).
  void Float(float value);
  void Int(int64_t value);
  void Null();

  const std::string& Text() const { return mText; }

private:
  void BeforeValue();
  void Open(char bracket);
  void Close(char bracket);

  std::string mText;
  std::vector<bool> mFirst; // per open container: no element written yet
  bool mAfterKey = false;
};

// text as a JSON string literal, quotes included. Control characters become \uXXXX (or their short escapes);
// bytes from 0x80 up are copied as they are.
std::string JsonQuote(std::string_view text);
// The shortest text that reads back as the same double; "null" for a non-finite value.
std::string JsonNumber(double value);
// The same for a float: the shortest text that reads back as the same float.
std::string JsonFloat(float value);

} // namespace auhost
