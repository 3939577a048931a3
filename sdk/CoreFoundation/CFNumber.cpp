// CoreFoundation numbers and booleans.
#include <CoreFoundation/CFInternal.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

using namespace zqcf;

// ---- Booleans ----

struct __CFBoolean : Object
{
  static constexpr CFTypeID kTypeID = kTypeBoolean;
  constexpr explicit __CFBoolean(bool v) : Object(kTypeID, true), value(v) {}
  std::string Describe() const override { return value ? "true" : "false"; }
  CFHashCode Hash() const override { return value ? 1 : 0; }
  const bool value;
};

namespace
{
constinit Immortal<__CFBoolean> gTrue{true};
constinit Immortal<__CFBoolean> gFalse{false};
} // namespace

const CFBooleanRef kCFBooleanTrue = &gTrue.value;
const CFBooleanRef kCFBooleanFalse = &gFalse.value;

CFTypeID CFBooleanGetTypeID(void)
{
  return kTypeBoolean;
}

Boolean CFBooleanGetValue(CFBooleanRef boolean)
{
  const __CFBoolean* b = Cast<__CFBoolean>(boolean);
  return b && b->value;
}

// ---- Numbers ----
// Integers are held as SInt64 and floats as Float64, with the canonical type they were created as.

struct __CFNumber : Object
{
  static constexpr CFTypeID kTypeID = kTypeNumber;
  __CFNumber(CFNumberType t, int64_t i, double d) : Object(kTypeID, false), type(t), i(i), d(d) {}

  bool IsFloat() const { return type == kCFNumberFloat32Type || type == kCFNumberFloat64Type; }
  bool Equal(const Object& other) const override;
  CFHashCode Hash() const override;
  std::string Describe() const override;

  const CFNumberType type; // canonical: SInt8..SInt64, Float32, Float64
  const int64_t i;
  const double d;
};

namespace
{

struct TypeInfo
{
  CFNumberType canonical;
  size_t size;
  bool isFloat;
};

bool Info(CFNumberType t, TypeInfo& out)
{
  switch (t)
  {
  case kCFNumberSInt8Type:
  case kCFNumberCharType:
    out = {kCFNumberSInt8Type, 1, false};
    return true;
  case kCFNumberSInt16Type:
  case kCFNumberShortType:
    out = {kCFNumberSInt16Type, 2, false};
    return true;
  case kCFNumberSInt32Type:
  case kCFNumberIntType:
    out = {kCFNumberSInt32Type, 4, false};
    return true;
  case kCFNumberSInt64Type:
  case kCFNumberLongType:
  case kCFNumberLongLongType:
  case kCFNumberCFIndexType:
  case kCFNumberNSIntegerType:
    out = {kCFNumberSInt64Type, 8, false};
    return true;
  case kCFNumberFloat32Type:
  case kCFNumberFloatType:
    out = {kCFNumberFloat32Type, 4, true};
    return true;
  case kCFNumberFloat64Type:
  case kCFNumberDoubleType:
  case kCFNumberCGFloatType:
    out = {kCFNumberFloat64Type, 8, true};
    return true;
  default:
    return false;
  }
}

// The caller's value buffer, which need not be aligned for T.
template <class T> T LoadValue(const void* p)
{
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <class T> void StoreValue(void* p, T v)
{
  std::memcpy(p, &v, sizeof v);
}

// -1 / 0 / 1 of two numbers by value; NaN sorts below everything and equals itself.
int CompareValues(const __CFNumber& a, const __CFNumber& b)
{
  if (!a.IsFloat() && !b.IsFloat()) return a.i < b.i ? -1 : a.i > b.i ? 1 : 0;
  const bool an = a.IsFloat() && std::isnan(a.d), bn = b.IsFloat() && std::isnan(b.d);
  if (an || bn) return an && bn ? 0 : an ? -1 : 1;
  // long double holds every SInt64 exactly on this platform.
  const long double x = a.IsFloat() ? static_cast<long double>(a.d) : static_cast<long double>(a.i);
  const long double y = b.IsFloat() ? static_cast<long double>(b.d) : static_cast<long double>(b.i);
  return x < y ? -1 : x > y ? 1 : 0;
}

// Float to integer of `bits` bits: truncates toward zero, clamps, NaN gives 0. True when exact.
bool FloatToInt(double d, int bits, int64_t& out)
{
  if (std::isnan(d))
  {
    out = 0;
    return false;
  }
  const long double hi = std::ldexp(1.0L, bits - 1) - 1, lo = -std::ldexp(1.0L, bits - 1);
  const long double t = std::trunc(static_cast<long double>(d));
  if (t > hi)
  {
    out = static_cast<int64_t>(hi);
    return false;
  }
  if (t < lo)
  {
    out = static_cast<int64_t>(lo);
    return false;
  }
  out = static_cast<int64_t>(t);
  return t == d;
}

bool IntToInt(int64_t v, int bits, int64_t& out)
{
  if (bits == 64)
  {
    out = v;
    return true;
  }
  const int64_t hi = (int64_t{1} << (bits - 1)) - 1, lo = -(int64_t{1} << (bits - 1));
  out = v > hi ? hi : v < lo ? lo : v;
  return out == v;
}

} // namespace

bool __CFNumber::Equal(const Object& other) const
{
  return CompareValues(*this, static_cast<const __CFNumber&>(other)) == 0;
}

CFHashCode __CFNumber::Hash() const
{
  // Equal values hash alike across integer and float storage.
  if (!IsFloat()) return static_cast<CFHashCode>(i);
  int64_t asInt;
  if (FloatToInt(d, 64, asInt)) return static_cast<CFHashCode>(asInt);
  if (std::isnan(d)) return 0x7ff8;
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return static_cast<CFHashCode>(bits ^ (bits >> 29));
}

std::string __CFNumber::Describe() const
{
  char text[64];
  if (IsFloat())
    std::snprintf(text, sizeof text, "%.17g", d);
  else
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(i));
  return text;
}

CFTypeID CFNumberGetTypeID(void)
{
  return kTypeNumber;
}

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType theType, const void* valuePtr)
{
  TypeInfo info;
  if (!valuePtr || !Info(theType, info)) return nullptr;
  switch (info.canonical)
  {
  case kCFNumberSInt8Type:
    return new __CFNumber(info.canonical, LoadValue<int8_t>(valuePtr), 0);
  case kCFNumberSInt16Type:
    return new __CFNumber(info.canonical, LoadValue<int16_t>(valuePtr), 0);
  case kCFNumberSInt32Type:
    return new __CFNumber(info.canonical, LoadValue<int32_t>(valuePtr), 0);
  case kCFNumberSInt64Type:
    return new __CFNumber(info.canonical, LoadValue<int64_t>(valuePtr), 0);
  case kCFNumberFloat32Type:
    return new __CFNumber(info.canonical, 0, LoadValue<float>(valuePtr));
  default:
    return new __CFNumber(info.canonical, 0, LoadValue<double>(valuePtr));
  }
}

CFNumberType CFNumberGetType(CFNumberRef number)
{
  const __CFNumber* n = Cast<__CFNumber>(number);
  return n ? n->type : 0;
}

CFIndex CFNumberGetByteSize(CFNumberRef number)
{
  TypeInfo info;
  const __CFNumber* n = Cast<__CFNumber>(number);
  return n && Info(n->type, info) ? static_cast<CFIndex>(info.size) : 0;
}

Boolean CFNumberIsFloatType(CFNumberRef number)
{
  const __CFNumber* n = Cast<__CFNumber>(number);
  return n && n->IsFloat();
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr)
{
  const __CFNumber* n = Cast<__CFNumber>(number);
  TypeInfo info;
  if (!n || !valuePtr || !Info(theType, info)) return false;
  if (info.isFloat)
  {
    if (info.canonical == kCFNumberFloat32Type)
    {
      const double src = n->IsFloat() ? n->d : static_cast<double>(n->i);
      const float v = static_cast<float>(src);
      StoreValue(valuePtr, v);
      if (std::isnan(src)) return true;
      return n->IsFloat() ? static_cast<double>(v) == src
                          : static_cast<long double>(v) == static_cast<long double>(n->i);
    }
    const double v = n->IsFloat() ? n->d : static_cast<double>(n->i);
    StoreValue(valuePtr, v);
    return n->IsFloat() || static_cast<long double>(v) == static_cast<long double>(n->i);
  }
  int64_t v;
  const int bits = static_cast<int>(info.size * 8);
  const bool exact = n->IsFloat() ? FloatToInt(n->d, bits, v) : IntToInt(n->i, bits, v);
  switch (info.size)
  {
  case 1:
    StoreValue(valuePtr, static_cast<int8_t>(v));
    break;
  case 2:
    StoreValue(valuePtr, static_cast<int16_t>(v));
    break;
  case 4:
    StoreValue(valuePtr, static_cast<int32_t>(v));
    break;
  default:
    StoreValue(valuePtr, v);
    break;
  }
  return exact;
}

CFComparisonResult CFNumberCompare(CFNumberRef number, CFNumberRef otherNumber, void*)
{
  const __CFNumber* a = Cast<__CFNumber>(number);
  const __CFNumber* b = Cast<__CFNumber>(otherNumber);
  if (!a || !b) return a ? kCFCompareGreaterThan : b ? kCFCompareLessThan : kCFCompareEqualTo;
  return CompareValues(*a, *b);
}
