#include "framework/IParam.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>

namespace plugin
{

namespace
{

constexpr int kMaxTextChars = IParam::kTextLen - 1;

// Copies text into a fixed field, cut to the field and terminated. The cut never splits a UTF-8 sequence.
void CopyText(char (&dst)[IParam::kTextLen], const char* src)
{
  if (!src) src = "";
  size_t n = std::strlen(src);
  if (n > static_cast<size_t>(kMaxTextChars))
  {
    n = kMaxTextChars;
    // Step back over continuation bytes so a multi-byte character is dropped whole.
    while (n > 0 && (static_cast<unsigned char>(src[n]) & 0xC0) == 0x80) --n;
  }
  std::memmove(dst, src, n);
  dst[n] = '\0';
}

// Whole within a tolerance, so a step like 0.07 (0.07 * 100 = 7.000000000000001) counts as two decimals. The
// tolerance scales with x: an absolute one would call a step of 1e-9 whole and show its values as "0".
bool IsWhole(double x)
{
  return std::fabs(x - std::round(x)) <= 1e-9 * std::fabs(x);
}

int PrecisionOfStep(double step)
{
  double s = std::fabs(step);
  if (IsWhole(s)) return 0;
  for (int decimals = 1; decimals <= 5; ++decimals)
  {
    s *= 10.0;
    if (IsWhole(s)) return decimals;
  }
  return 6;
}

// Half away from zero. A quotient a hair below a half (0.35 / 0.1 = 3.4999999999999996) is the half it was meant
// to be: without the tolerance, typing 0.35 on a 0.1 step would give 0.3.
double RoundHalfAway(double q)
{
  const double tolerance = 1e-9 * std::max(1.0, std::fabs(q));
  return std::round(q + std::copysign(tolerance, q));
}

const locale_t& CLocale()
{
  static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

// The leading number of text as the C library reads it in the C locale; 0 when there is none.
double ReadLeadingNumber(const char* text)
{
  const locale_t loc = CLocale();
  if (!loc) return std::atof(text); // cannot happen in practice: the C locale always exists
  return strtod_l(text, nullptr, loc);
}

// Fixed-point text with the given decimals in the C locale (never a decimal comma).
std::string FormatFixed(double value, int decimals)
{
  char buf[400]; // DBL_MAX has 309 integer digits; at most 6 decimals
  const auto res = std::to_chars(buf, buf + sizeof(buf), value, std::chars_format::fixed, decimals);
  if (res.ec != std::errc()) return "0";
  return std::string(buf, res.ptr);
}

bool ShowsAsZero(const std::string& number)
{
  return number.find_first_not_of("-+0.") == std::string::npos;
}

const char* TypeText(IParam::EParamType type)
{
  switch (type)
  {
  case IParam::kTypeBool: return "bool";
  case IParam::kTypeInt: return "int";
  case IParam::kTypeEnum: return "enum";
  case IParam::kTypeDouble: return "float";
  default: return nullptr;
  }
}

std::string JsonEscaped(const char* text)
{
  std::string out;
  for (const char* p = text; *p; ++p)
  {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '"' || c == '\\')
    {
      out += '\\';
      out += static_cast<char>(c);
    }
    else if (c < 0x20)
    {
      char esc[8];
      std::snprintf(esc, sizeof(esc), "\\u%04x", c);
      out += esc;
    }
    else
      out += static_cast<char>(c);
  }
  return out;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------------------------------------------

IParam::IParam() : mShape(std::make_unique<ShapeLinear>()) {}

IParam::~IParam() = default;

// ---------------------------------------------------------------------------------------------------------------
// Initialisation
// ---------------------------------------------------------------------------------------------------------------

void IParam::InitDouble(const char* name, double defaultValue, double minValue, double maxValue, double step,
                        const char* label, int flags, const char* group, const Shape& shape, EParamUnit unit,
                        DisplayFunc displayFunc)
{
  if (mType == kTypeNone) mType = kTypeDouble;

  CopyText(mName, name);
  CopyText(mLabel, label);
  CopyText(mGroup, group);

  // Start-up constants, but a NaN here would poison every later value: replace the nonsense.
  if (!std::isfinite(minValue)) minValue = 0.0;
  if (!std::isfinite(maxValue)) maxValue = minValue;
  if (!std::isfinite(step)) step = 0.0;
  if (!std::isfinite(defaultValue)) defaultValue = minValue;

  mMin = minValue;
  mMax = std::max(maxValue, minValue);
  if (step > 0.0 && std::isfinite(minValue + step)) mMax = std::max(mMax, minValue + step);
  mStep = step;
  mDefault = defaultValue;
  mUnit = unit;
  mFlags = flags;

  mDisplayFunction = std::move(displayFunc);

  mValue.exchange(Constrain(defaultValue));
  mPrevValue.store(mValue.load());

  mDisplayPrecision = PrecisionOfStep(step);

  // Clone before replacing: the shape given may be our own (copy-initialisation from this parameter).
  std::unique_ptr<Shape> clone = shape.Clone();
  mShape = std::move(clone);
  mShape->Init(*this);
}

void IParam::InitBool(const char* name, bool defaultValue, const char* label, int flags, const char* group,
                      const char* offText, const char* onText)
{
  if (mType == kTypeNone) mType = kTypeBool;
  InitDouble(name, defaultValue ? 1.0 : 0.0, 0.0, 1.0, 1.0, label, flags | kFlagStepped, group, ShapeLinear(),
             kUnitCustom, nullptr);
  SetDisplayText(0.0, offText);
  SetDisplayText(1.0, onText);
}

void IParam::InitInt(const char* name, int defaultValue, int minValue, int maxValue, const char* label, int flags,
                     const char* group)
{
  if (mType == kTypeNone) mType = kTypeInt;
  InitDouble(name, defaultValue, minValue, maxValue, 1.0, label, flags | kFlagStepped, group, ShapeLinear(),
             kUnitCustom, nullptr);
}

void IParam::InitEnumTexts(const char* name, int defaultValue, int nEnums, const char* label, int flags,
                           const char* group, const char* const* items, int nItems)
{
  if (mType == kTypeNone) mType = kTypeEnum;
  InitDouble(name, defaultValue, 0.0, static_cast<double>(nEnums) - 1.0, 1.0, label, flags | kFlagStepped, group,
             ShapeLinear(), kUnitCustom, nullptr);
  if (!items) return;
  const int n = std::min(nItems, nEnums);
  for (int i = 0; i < n; ++i) SetDisplayText(i, items[i]);
}

void IParam::InitEnum(const char* name, int defaultValue, std::initializer_list<const char*> items, int flags,
                      const char* group)
{
  const int n = static_cast<int>(items.size());
  InitEnumTexts(name, defaultValue, n, "", flags, group, items.begin(), n);
}

void IParam::InitFrequency(const char* name, double defaultValue, double minValue, double maxValue, double step,
                           int flags, const char* group)
{
  InitDouble(name, defaultValue, minValue, maxValue, step, "Hz", flags, group, ShapeExp(), kUnitFrequency);
}

void IParam::InitSeconds(const char* name, double defaultValue, double minValue, double maxValue, double step,
                         int flags, const char* group)
{
  InitDouble(name, defaultValue, minValue, maxValue, step, "Seconds", flags, group, ShapeLinear(), kUnitSeconds);
}

void IParam::InitMilliseconds(const char* name, double defaultValue, double minValue, double maxValue, int flags,
                              const char* group)
{
  InitDouble(name, defaultValue, minValue, maxValue, 1.0, "ms", flags, group, ShapeLinear(), kUnitMilliseconds);
}

void IParam::InitPitch(const char* name, int defaultValue, int minNote, int maxNote, int flags, const char* group,
                       bool middleCisC)
{
  static const char* const kNoteNames[12] = {"C ", "C#", "D ", "D#", "E ", "F ",
                                             "F#", "G ", "G#", "A ", "A#", "B "};
  if (mType == kTypeNone) mType = kTypeEnum;
  InitDouble(name, defaultValue, 0.0, static_cast<double>(maxNote) - static_cast<double>(minNote), 1.0, "",
             flags | kFlagStepped, group, ShapeLinear(), kUnitCustom, nullptr);

  for (long long k = minNote; k <= maxNote; ++k)
  {
    // Floor division and a non-negative remainder, so notes below 0 name real notes and octaves.
    const long long octave = (k >= 0 ? k / 12 : -((-k + 11) / 12)) - 2 + (middleCisC ? 1 : 0);
    const long long noteIdx = ((k % 12) + 12) % 12;
    char text[kTextLen];
    std::snprintf(text, sizeof(text), "%s%lld", kNoteNames[noteIdx], octave);
    SetDisplayText(static_cast<double>(k - minNote), text);
  }
}

void IParam::InitGain(const char* name, double defaultValue, double minValue, double maxValue, double step,
                      int flags, const char* group)
{
  InitDouble(name, defaultValue, minValue, maxValue, step, "dB", flags, group, ShapeLinear(), kUnitDB);
}

void IParam::InitPercentage(const char* name, double defaultValue, double minValue, double maxValue, int flags,
                            const char* group)
{
  InitDouble(name, defaultValue, minValue, maxValue, 1.0, "%", flags, group, ShapeLinear(), kUnitPercentage);
}

void IParam::InitAngleDegrees(const char* name, double defaultValue, double minValue, double maxValue, int flags,
                              const char* group)
{
  InitDouble(name, defaultValue, minValue, maxValue, 1.0, "degrees", flags, group, ShapeLinear(), kUnitDegrees);
}

void IParam::Init(const IParam& source, const char* searchText, const char* replaceText, const char* newGroup)
{
  if (mType == kTypeNone) mType = source.mType;

  // Everything is taken into locals first: source may be this parameter.
  std::string name = source.mName;
  std::string group = source.mGroup;
  const std::string label = source.mLabel;

  if (searchText && *searchText)
  {
    const size_t pos = name.find(searchText);
    if (pos != std::string::npos)
      name.replace(pos, std::strlen(searchText), (replaceText && *replaceText) ? replaceText : "");
  }
  if (newGroup && *newGroup) group = newGroup;

  InitDouble(name.c_str(), source.mDefault, source.mMin, source.mMax, source.mStep, label.c_str(), source.mFlags,
             group.c_str(), *source.mShape, source.mUnit, source.mDisplayFunction);

  // Copying our own texts onto themselves would only duplicate them.
  if (&source == this) return;
  for (int i = 0; i < source.NDisplayTexts(); ++i)
  {
    const DisplayText& dt = source.mDisplayTexts.Get()[i];
    SetDisplayText(dt.mValue, dt.mText);
  }
}

void IParam::SetDisplayText(double value, const char* text)
{
  DisplayText dt{};
  dt.mValue = value;
  CopyText(dt.mText, text);
  mDisplayTexts.Add(dt);
}

void IParam::SetDisplayPrecision(int precision) { mDisplayPrecision = std::clamp(precision, 0, 6); }

// ---------------------------------------------------------------------------------------------------------------
// Values
// ---------------------------------------------------------------------------------------------------------------

double IParam::Constrain(double value) const
{
  if (std::isnan(value)) return mMin;
  if (GetStepped() && mStep > 0.0 && std::isfinite(value)) value = RoundHalfAway(value / mStep) * mStep;
  if (value < mMin) return mMin;
  if (value > mMax) return mMax;
  return value;
}

void IParam::Set(double value)
{
  if (!std::isfinite(value)) return;
  mValue.exchange(Constrain(value));
}

void IParam::SetKeepingPrevious(double value)
{
  if (!std::isfinite(value)) return;
  mPrevValue.exchange(mValue.load());
  Set(value);
}

double IParam::FromNormalized(double normalized) const
{
  return Constrain(mShape->NormalizedToValue(normalized, *this));
}

void IParam::SetNormalized(double normalized)
{
  if (!std::isfinite(normalized)) return;
  Set(FromNormalized(normalized));
}

double IParam::ToNormalized(double value) const
{
  const double n = mShape->ValueToNormalized(value, *this);
  if (!(n > 0.0)) return 0.0;
  return n > 1.0 ? 1.0 : n;
}

double IParam::GetNormalized() const { return ToNormalized(Constrain(Value())); }

void IParam::SetToDefault() { mValue.exchange(mDefault); }

double IParam::GetDefault(bool normalized) const { return normalized ? ToNormalized(mDefault) : mDefault; }

// ---------------------------------------------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------------------------------------------

void IParam::GetDisplay(double value, bool normalized, Util_String& text, bool withDisplayText) const
{
  if (normalized) value = FromNormalized(value);

  if (mDisplayFunction)
  {
    mDisplayFunction(value, text);
    return;
  }

  if (withDisplayText)
  {
    const char* dt = GetDisplayText(value);
    if (*dt)
    {
      text.Set(dt, kMaxTextChars);
      return;
    }
  }

  if (!std::isfinite(value)) value = Constrain(value);
  if (GetNegateDisplay()) value = -value;

  std::string number;
  if (mDisplayPrecision == 0)
  {
    const double r = std::clamp(std::round(value), static_cast<double>(INT_MIN), static_cast<double>(INT_MAX));
    number = std::to_string(static_cast<int>(r));
  }
  else
  {
    number = FormatFixed(value, mDisplayPrecision);
    // A value that rounds to zero reads as zero, never "-0.0" or "+0.0".
    if (ShowsAsZero(number))
      number = FormatFixed(0.0, mDisplayPrecision);
    else if (GetSignDisplay() && value > 0.0)
      number.insert(number.begin(), '+');
  }
  text.Set(number.c_str(), kMaxTextChars);
}

const char* IParam::GetDisplayText(double value) const
{
  const DisplayText* list = mDisplayTexts.Get();
  for (int i = 0; i < NDisplayTexts(); ++i)
    if (list[i].mValue == value) return list[i].mText;
  return "";
}

bool IParam::MapDisplayText(const char* text, double* value) const
{
  if (!text) return false;
  const DisplayText* list = mDisplayTexts.Get();
  for (int i = 0; i < NDisplayTexts(); ++i)
  {
    if (std::strcmp(list[i].mText, text) == 0)
    {
      if (value) *value = list[i].mValue;
      return true;
    }
  }
  return false;
}

const char* IParam::GetDisplayTextAtIdx(int idx, double* value) const
{
  if (idx < 0 || idx >= NDisplayTexts()) return "";
  const DisplayText& dt = mDisplayTexts.Get()[idx];
  if (value) *value = dt.mValue;
  return dt.mText;
}

double IParam::StringToValue(const char* text) const
{
  if (!text) text = "";

  double mapped = 0.0;
  if (MapDisplayText(text, &mapped)) return mapped;

  if (mType == kTypeBool || mType == kTypeEnum) return 0.0;

  // "1k5" and "2kHz": the first k (else K) stands for the decimal point of a value in thousands.
  std::string copy = text;
  size_t k = copy.find('k');
  if (k == std::string::npos) k = copy.find('K');
  double multiplier = 1.0;
  if (k != std::string::npos)
  {
    copy[k] = '.';
    multiplier = 1000.0;
  }

  double v = ReadLeadingNumber(copy.c_str()) * multiplier;
  if (std::isnan(v)) v = 0.0;
  if (GetNegateDisplay()) v = -v;
  return Constrain(v);
}

void IParam::GetJSON(Util_String& json, int idx) const
{
  constexpr int kPiece = 8192;
  json.Append("{");
  json.AppendFormatted(kPiece, "\"id\":%i, ", idx);
  json.AppendFormatted(kPiece, "\"name\":\"%s\", ", JsonEscaped(mName).c_str());
  if (const char* type = TypeText(mType)) json.AppendFormatted(kPiece, "\"type\":\"%s\", ", type);
  // Numbers through the C-locale formatter: a host's decimal comma would break the JSON.
  json.AppendFormatted(kPiece, "\"min\":%s, ", FormatFixed(mMin, 6).c_str());
  json.AppendFormatted(kPiece, "\"max\":%s, ", FormatFixed(mMax, 6).c_str());
  json.AppendFormatted(kPiece, "\"default\":%s, ", FormatFixed(mDefault, 6).c_str());
  json.Append("\"rate\":\"control\"");
  json.Append("}");
}

} // namespace plugin
