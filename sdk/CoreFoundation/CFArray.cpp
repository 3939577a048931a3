// CoreFoundation arrays.
#include <CoreFoundation/CFInternal.h>

#include <algorithm>

using namespace zqcf;

const CFArrayCallBacks kCFTypeArrayCallBacks = {0, TypeRetain, TypeRelease, TypeCopyDescription, TypeEqual};

struct __CFArray : Object
{
  static constexpr CFTypeID kTypeID = kTypeArray;
  __CFArray(bool isMutable, CFAllocatorRef allocator, const CFArrayCallBacks* cb)
      : Object(kTypeID, false), isMutable(isMutable), allocator(allocator)
  {
    if (cb) callBacks = *cb;
  }
  ~__CFArray() override
  {
    for (const void* v : values)
      Release(v);
  }

  const void* Retain(const void* v) const { return RetainWith(callBacks, allocator, v); }
  void Release(const void* v) const { ReleaseWith(callBacks, allocator, v); }
  bool Same(const void* a, const void* b) const { return SameWith(callBacks, a, b); }

  bool Equal(const Object& other) const override
  {
    const auto& o = static_cast<const __CFArray&>(other);
    if (values.size() != o.values.size()) return false;
    for (size_t k = 0; k < values.size(); ++k)
      if (!Same(values[k], o.values[k])) return false;
    return true;
  }
  CFHashCode Hash() const override { return values.size(); }
  std::string Describe() const override
  {
    std::string s = "(\n";
    for (size_t k = 0; k < values.size(); ++k)
    {
      s += "    " + DescribeValue(values[k], callBacks.copyDescription);
      s += k + 1 < values.size() ? ",\n" : "\n";
    }
    return s + ")";
  }

  bool isMutable; // cleared only before the array is shared
  const CFAllocatorRef allocator;
  CFArrayCallBacks callBacks = {0, nullptr, nullptr, nullptr, nullptr};
  std::vector<const void*> values;
};

namespace
{

const __CFArray* Array(CFArrayRef a)
{
  return Cast<__CFArray>(a);
}
__CFArray* MutableArray(CFMutableArrayRef a)
{
  return CastIfMutable<__CFArray>(a);
}

// The part of range inside [0, count), as [first, last).
bool Clip(CFRange range, size_t count, size_t& first, size_t& last)
{
  if (range.location < 0 || range.length <= 0 || static_cast<size_t>(range.location) >= count) return false;
  first = static_cast<size_t>(range.location);
  last = first + std::min(static_cast<size_t>(range.length), count - first);
  return true;
}

} // namespace

namespace zqcf
{
void FreezeArray(CFMutableArrayRef array)
{
  if (__CFArray* a = CastMutable<__CFArray>(array)) a->isMutable = false;
}
} // namespace zqcf

CFTypeID CFArrayGetTypeID(void)
{
  return kTypeArray;
}

CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void** values, CFIndex numValues,
                         const CFArrayCallBacks* callBacks)
{
  if (numValues < 0 || (!values && numValues > 0)) return nullptr;
  auto* a = new __CFArray(false, allocator, callBacks);
  a->values.reserve(static_cast<size_t>(numValues));
  for (CFIndex k = 0; k < numValues; ++k)
    a->values.push_back(a->Retain(values[k]));
  return a;
}

CFArrayRef CFArrayCreateCopy(CFAllocatorRef allocator, CFArrayRef theArray)
{
  const __CFArray* src = Array(theArray);
  if (!src) return nullptr;
  if (!src->isMutable) return static_cast<CFArrayRef>(CFRetain(theArray));
  auto* a = new __CFArray(false, allocator, &src->callBacks);
  for (const void* v : src->values)
    a->values.push_back(a->Retain(v));
  return a;
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity, const CFArrayCallBacks* callBacks)
{
  if (capacity < 0) return nullptr;
  return new __CFArray(true, allocator, callBacks);
}

CFMutableArrayRef CFArrayCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity, CFArrayRef theArray)
{
  const __CFArray* src = Array(theArray);
  if (!src || capacity < 0) return nullptr;
  auto* a = new __CFArray(true, allocator, &src->callBacks);
  for (const void* v : src->values)
    a->values.push_back(a->Retain(v));
  return a;
}

CFIndex CFArrayGetCount(CFArrayRef theArray)
{
  const __CFArray* a = Array(theArray);
  return a ? static_cast<CFIndex>(a->values.size()) : 0;
}

const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx)
{
  const __CFArray* a = Array(theArray);
  if (!a || idx < 0 || static_cast<size_t>(idx) >= a->values.size()) return nullptr;
  return a->values[static_cast<size_t>(idx)];
}

void CFArrayGetValues(CFArrayRef theArray, CFRange range, const void** values)
{
  const __CFArray* a = Array(theArray);
  size_t first, last;
  if (!a || !values || !Clip(range, a->values.size(), first, last)) return;
  for (size_t k = first; k < last; ++k)
    values[k - first] = a->values[k];
}

CFIndex CFArrayGetFirstIndexOfValue(CFArrayRef theArray, CFRange range, const void* value)
{
  const __CFArray* a = Array(theArray);
  size_t first, last;
  if (!a || !Clip(range, a->values.size(), first, last)) return kCFNotFound;
  for (size_t k = first; k < last; ++k)
    if (a->Same(a->values[k], value)) return static_cast<CFIndex>(k);
  return kCFNotFound;
}

Boolean CFArrayContainsValue(CFArrayRef theArray, CFRange range, const void* value)
{
  return CFArrayGetFirstIndexOfValue(theArray, range, value) != kCFNotFound;
}

void CFArrayApplyFunction(CFArrayRef theArray, CFRange range, CFArrayApplierFunction applier, void* context)
{
  const __CFArray* a = Array(theArray);
  size_t first, last;
  if (!a || !applier || !Clip(range, a->values.size(), first, last)) return;
  for (size_t k = first; k < last; ++k)
    applier(a->values[k], context);
}

void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value)
{
  __CFArray* a = MutableArray(theArray);
  if (a) a->values.push_back(a->Retain(value));
}

void CFArrayInsertValueAtIndex(CFMutableArrayRef theArray, CFIndex idx, const void* value)
{
  __CFArray* a = MutableArray(theArray);
  if (!a || idx < 0 || static_cast<size_t>(idx) > a->values.size()) return;
  a->values.insert(a->values.begin() + idx, a->Retain(value));
}

void CFArraySetValueAtIndex(CFMutableArrayRef theArray, CFIndex idx, const void* value)
{
  __CFArray* a = MutableArray(theArray);
  if (!a || idx < 0 || static_cast<size_t>(idx) > a->values.size()) return;
  if (static_cast<size_t>(idx) == a->values.size())
  {
    a->values.push_back(a->Retain(value));
    return;
  }
  // Retain before releasing: the old and new value may be the same object.
  const void* old = a->values[static_cast<size_t>(idx)];
  a->values[static_cast<size_t>(idx)] = a->Retain(value);
  a->Release(old);
}

void CFArrayRemoveValueAtIndex(CFMutableArrayRef theArray, CFIndex idx)
{
  __CFArray* a = MutableArray(theArray);
  if (!a || idx < 0 || static_cast<size_t>(idx) >= a->values.size()) return;
  const void* old = a->values[static_cast<size_t>(idx)];
  a->values.erase(a->values.begin() + idx);
  a->Release(old);
}

void CFArrayRemoveAllValues(CFMutableArrayRef theArray)
{
  __CFArray* a = MutableArray(theArray);
  if (!a) return;
  std::vector<const void*> old;
  old.swap(a->values);
  for (const void* v : old)
    a->Release(v);
}
