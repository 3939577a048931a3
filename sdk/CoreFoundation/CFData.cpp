// CoreFoundation byte buffers.
#include <CoreFoundation/CFInternal.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace zqcf;

struct __CFData : Object
{
  static constexpr CFTypeID kTypeID = kTypeData;
  explicit __CFData(bool isMutable) : Object(kTypeID, false), isMutable(isMutable) {}
  ~__CFData() override
  {
    if (borrowed) CFAllocatorDeallocate(deallocator, const_cast<UInt8*>(borrowed));
  }

  const UInt8* Bytes() const
  {
    static const UInt8 kEmpty = 0;
    if (borrowed) return borrowed;
    return bytes.empty() ? &kEmpty : bytes.data();
  }
  size_t Size() const { return borrowed ? borrowedSize : bytes.size(); }

  bool Equal(const Object& other) const override
  {
    const auto& o = static_cast<const __CFData&>(other);
    return Size() == o.Size() && std::memcmp(Bytes(), o.Bytes(), Size()) == 0;
  }
  CFHashCode Hash() const override
  {
    uint64_t h = 1469598103934665603ull;
    const UInt8* p = Bytes();
    for (size_t k = 0; k < Size(); ++k)
      h = (h ^ p[k]) * 1099511628211ull;
    return static_cast<CFHashCode>(h);
  }
  std::string Describe() const override
  {
    std::string s = "<";
    char hex[3];
    const UInt8* p = Bytes();
    for (size_t k = 0; k < Size(); ++k)
    {
      if (k && k % 4 == 0) s += ' ';
      std::snprintf(hex, sizeof hex, "%02x", p[k]);
      s += hex;
    }
    return s + ">";
  }

  const bool isMutable;
  std::vector<UInt8> bytes;
  // Bytes taken over by CFDataCreateWithBytesNoCopy (immutable data only).
  const UInt8* borrowed = nullptr;
  size_t borrowedSize = 0;
  CFAllocatorRef deallocator = nullptr;
};

namespace
{
const __CFData* Data(CFDataRef d)
{
  return Cast<__CFData>(d);
}
__CFData* MutableData(CFMutableDataRef d)
{
  return CastIfMutable<__CFData>(d);
}
} // namespace

CFTypeID CFDataGetTypeID(void)
{
  return kTypeData;
}

CFDataRef CFDataCreate(CFAllocatorRef, const UInt8* bytes, CFIndex length)
{
  if (length < 0 || (!bytes && length > 0)) return nullptr;
  auto* d = new __CFData(false);
  if (length > 0) d->bytes.assign(bytes, bytes + length);
  return d;
}

CFDataRef CFDataCreateWithBytesNoCopy(CFAllocatorRef, const UInt8* bytes, CFIndex length,
                                      CFAllocatorRef bytesDeallocator)
{
  if (length < 0 || (!bytes && length > 0)) return nullptr;
  auto* d = new __CFData(false);
  if (bytes)
  {
    d->borrowed = bytes;
    d->borrowedSize = static_cast<size_t>(length);
    d->deallocator = bytesDeallocator;
  }
  return d;
}

CFDataRef CFDataCreateCopy(CFAllocatorRef allocator, CFDataRef theData)
{
  const __CFData* src = Data(theData);
  if (!src) return nullptr;
  if (!src->isMutable) return static_cast<CFDataRef>(CFRetain(theData));
  return CFDataCreate(allocator, src->Bytes(), static_cast<CFIndex>(src->Size()));
}

CFMutableDataRef CFDataCreateMutable(CFAllocatorRef, CFIndex capacity)
{
  if (capacity < 0) return nullptr;
  return new __CFData(true);
}

CFMutableDataRef CFDataCreateMutableCopy(CFAllocatorRef, CFIndex capacity, CFDataRef theData)
{
  const __CFData* src = Data(theData);
  if (!src || capacity < 0) return nullptr;
  auto* d = new __CFData(true);
  d->bytes.assign(src->Bytes(), src->Bytes() + src->Size());
  return d;
}

CFIndex CFDataGetLength(CFDataRef theData)
{
  const __CFData* d = Data(theData);
  return d ? static_cast<CFIndex>(d->Size()) : 0;
}

const UInt8* CFDataGetBytePtr(CFDataRef theData)
{
  const __CFData* d = Data(theData);
  return d ? d->Bytes() : nullptr;
}

UInt8* CFDataGetMutableBytePtr(CFMutableDataRef theData)
{
  __CFData* d = MutableData(theData);
  return d ? const_cast<UInt8*>(d->Bytes()) : nullptr;
}

void CFDataGetBytes(CFDataRef theData, CFRange range, UInt8* buffer)
{
  const __CFData* d = Data(theData);
  if (!d || !buffer || range.location < 0 || range.length <= 0) return;
  const size_t size = d->Size();
  const size_t from = static_cast<size_t>(range.location);
  if (from >= size) return;
  const size_t n = std::min(static_cast<size_t>(range.length), size - from);
  std::memcpy(buffer, d->Bytes() + from, n);
}

void CFDataAppendBytes(CFMutableDataRef theData, const UInt8* bytes, CFIndex length)
{
  __CFData* d = MutableData(theData);
  if (!d || !bytes || length <= 0) return;
  d->bytes.insert(d->bytes.end(), bytes, bytes + length);
}

void CFDataSetLength(CFMutableDataRef theData, CFIndex length)
{
  __CFData* d = MutableData(theData);
  if (!d || length < 0) return;
  d->bytes.resize(static_cast<size_t>(length), 0);
}

void CFDataIncreaseLength(CFMutableDataRef theData, CFIndex extraLength)
{
  __CFData* d = MutableData(theData);
  if (!d || extraLength <= 0 || static_cast<uint64_t>(extraLength) > (uint64_t{1} << 48)) return;
  d->bytes.resize(d->bytes.size() + static_cast<size_t>(extraLength), 0);
}

void CFDataReplaceBytes(CFMutableDataRef theData, CFRange range, const UInt8* newBytes, CFIndex newLength)
{
  __CFData* d = MutableData(theData);
  if (!d || range.location < 0 || range.length < 0 || newLength < 0 || (!newBytes && newLength > 0)) return;
  const uint64_t end = static_cast<uint64_t>(range.location) + static_cast<uint64_t>(range.length);
  if (end > d->bytes.size()) return;
  // newBytes may point into the data itself.
  std::vector<UInt8> copy(newBytes, newBytes + newLength);
  auto first = d->bytes.begin() + range.location;
  d->bytes.erase(first, first + range.length);
  d->bytes.insert(d->bytes.begin() + range.location, copy.begin(), copy.end());
}

void CFDataDeleteBytes(CFMutableDataRef theData, CFRange range)
{
  CFDataReplaceBytes(theData, range, nullptr, 0);
}
