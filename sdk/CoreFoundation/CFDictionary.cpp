// CoreFoundation dictionaries: entries kept in insertion order, looked up by hash then equality.
#include <CoreFoundation/CFInternal.h>

using namespace zqcf;

namespace
{

const void* CopyStringRetain(CFAllocatorRef allocator, const void* value)
{
  if (CFGetTypeID(value) == kTypeString) return CFStringCreateCopy(allocator, static_cast<CFStringRef>(value));
  return CFRetain(value);
}

} // namespace

const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {0,         TypeRetain, TypeRelease, TypeCopyDescription,
                                                                TypeEqual, TypeHash};
const CFDictionaryKeyCallBacks kCFCopyStringDictionaryKeyCallBacks = {
    0, CopyStringRetain, TypeRelease, TypeCopyDescription, TypeEqual, TypeHash};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {0, TypeRetain, TypeRelease, TypeCopyDescription,
                                                                    TypeEqual};

struct __CFDictionary : Object
{
  static constexpr CFTypeID kTypeID = kTypeDictionary;
  struct Entry
  {
    const void* key;
    const void* value;
    CFHashCode hash;
  };

  __CFDictionary(bool isMutable, CFAllocatorRef allocator, const CFDictionaryKeyCallBacks* kcb,
                 const CFDictionaryValueCallBacks* vcb)
      : Object(kTypeID, false), isMutable(isMutable), allocator(allocator)
  {
    if (kcb) keyCallBacks = *kcb;
    if (vcb) valueCallBacks = *vcb;
  }
  ~__CFDictionary() override { Clear(); }

  CFHashCode HashOf(const void* key) const
  {
    return keyCallBacks.hash ? keyCallBacks.hash(key) : reinterpret_cast<CFHashCode>(key);
  }
  bool SameKey(const void* a, const void* b) const { return SameWith(keyCallBacks, a, b); }
  bool SameValue(const void* a, const void* b) const { return SameWith(valueCallBacks, a, b); }

  Entry* Find(const void* key)
  {
    const CFHashCode h = HashOf(key);
    for (Entry& e : entries)
      if (e.hash == h && SameKey(e.key, key)) return &e;
    return nullptr;
  }
  const Entry* Find(const void* key) const { return const_cast<__CFDictionary*>(this)->Find(key); }

  void Add(const void* key, const void* value)
  {
    const CFHashCode h = HashOf(key);
    entries.push_back({RetainWith(keyCallBacks, allocator, key), RetainWith(valueCallBacks, allocator, value), h});
  }
  void Replace(Entry& e, const void* value)
  {
    // Retain before releasing: the old and new value may be the same object.
    const void* old = e.value;
    e.value = RetainWith(valueCallBacks, allocator, value);
    ReleaseWith(valueCallBacks, allocator, old);
  }
  void ReleaseEntry(const Entry& e) const
  {
    ReleaseWith(keyCallBacks, allocator, e.key);
    ReleaseWith(valueCallBacks, allocator, e.value);
  }
  void Clear()
  {
    std::vector<Entry> old;
    old.swap(entries);
    for (const Entry& e : old)
      ReleaseEntry(e);
  }

  bool Equal(const Object& other) const override
  {
    const auto& o = static_cast<const __CFDictionary&>(other);
    if (entries.size() != o.entries.size()) return false;
    for (const Entry& e : entries)
    {
      const Entry* f = o.Find(e.key);
      if (!f || !SameValue(e.value, f->value)) return false;
    }
    return true;
  }
  CFHashCode Hash() const override { return entries.size(); }
  std::string Describe() const override
  {
    std::string s = "{\n";
    for (const Entry& e : entries)
      s += "    " + DescribeValue(e.key, keyCallBacks.copyDescription) + " = " +
           DescribeValue(e.value, valueCallBacks.copyDescription) + ";\n";
    return s + "}";
  }

  bool isMutable; // cleared only before the dictionary is shared
  const CFAllocatorRef allocator;
  CFDictionaryKeyCallBacks keyCallBacks = {0, nullptr, nullptr, nullptr, nullptr, nullptr};
  CFDictionaryValueCallBacks valueCallBacks = {0, nullptr, nullptr, nullptr, nullptr};
  std::vector<Entry> entries;
};

namespace
{

const __CFDictionary* Dict(CFDictionaryRef d)
{
  return Cast<__CFDictionary>(d);
}
__CFDictionary* MutableDict(CFMutableDictionaryRef d)
{
  return CastIfMutable<__CFDictionary>(d);
}

__CFDictionary* CopyOf(const __CFDictionary& src, bool isMutable, CFAllocatorRef allocator)
{
  auto* d = new __CFDictionary(isMutable, allocator, &src.keyCallBacks, &src.valueCallBacks);
  d->entries.reserve(src.entries.size());
  for (const auto& e : src.entries)
    d->Add(e.key, e.value);
  return d;
}

} // namespace

namespace zqcf
{
void FreezeDictionary(CFMutableDictionaryRef dict)
{
  if (__CFDictionary* d = CastMutable<__CFDictionary>(dict)) d->isMutable = false;
}
} // namespace zqcf

CFTypeID CFDictionaryGetTypeID(void)
{
  return kTypeDictionary;
}

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef allocator, const void** keys, const void** values, CFIndex numValues,
                                   const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks)
{
  if (numValues < 0 || (numValues > 0 && (!keys || !values))) return nullptr;
  auto* d = new __CFDictionary(false, allocator, keyCallBacks, valueCallBacks);
  for (CFIndex k = 0; k < numValues; ++k)
  {
    if (auto* e = d->Find(keys[k]))
      d->Replace(*e, values[k]);
    else
      d->Add(keys[k], values[k]);
  }
  return d;
}

CFDictionaryRef CFDictionaryCreateCopy(CFAllocatorRef allocator, CFDictionaryRef theDict)
{
  const __CFDictionary* src = Dict(theDict);
  if (!src) return nullptr;
  if (!src->isMutable) return static_cast<CFDictionaryRef>(CFRetain(theDict));
  return CopyOf(*src, false, allocator);
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks)
{
  if (capacity < 0) return nullptr;
  return new __CFDictionary(true, allocator, keyCallBacks, valueCallBacks);
}

CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity,
                                                     CFDictionaryRef theDict)
{
  const __CFDictionary* src = Dict(theDict);
  if (!src || capacity < 0) return nullptr;
  return CopyOf(*src, true, allocator);
}

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict)
{
  const __CFDictionary* d = Dict(theDict);
  return d ? static_cast<CFIndex>(d->entries.size()) : 0;
}

Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void* key, const void** value)
{
  const __CFDictionary* d = Dict(theDict);
  const auto* e = d ? d->Find(key) : nullptr;
  if (!e) return false;
  if (value) *value = e->value;
  return true;
}

const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key)
{
  const void* value = nullptr;
  return CFDictionaryGetValueIfPresent(theDict, key, &value) ? value : nullptr;
}

Boolean CFDictionaryContainsKey(CFDictionaryRef theDict, const void* key)
{
  return CFDictionaryGetValueIfPresent(theDict, key, nullptr);
}

Boolean CFDictionaryContainsValue(CFDictionaryRef theDict, const void* value)
{
  const __CFDictionary* d = Dict(theDict);
  if (!d) return false;
  for (const auto& e : d->entries)
    if (d->SameValue(e.value, value)) return true;
  return false;
}

void CFDictionaryGetKeysAndValues(CFDictionaryRef theDict, const void** keys, const void** values)
{
  const __CFDictionary* d = Dict(theDict);
  if (!d) return;
  for (size_t k = 0; k < d->entries.size(); ++k)
  {
    if (keys) keys[k] = d->entries[k].key;
    if (values) values[k] = d->entries[k].value;
  }
}

void CFDictionaryApplyFunction(CFDictionaryRef theDict, CFDictionaryApplierFunction applier, void* context)
{
  const __CFDictionary* d = Dict(theDict);
  if (!d || !applier) return;
  for (const auto& e : d->entries)
    applier(e.key, e.value, context);
}

void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value)
{
  __CFDictionary* d = MutableDict(theDict);
  if (!d) return;
  if (auto* e = d->Find(key))
    d->Replace(*e, value);
  else
    d->Add(key, value);
}

void CFDictionaryAddValue(CFMutableDictionaryRef theDict, const void* key, const void* value)
{
  __CFDictionary* d = MutableDict(theDict);
  if (d && !d->Find(key)) d->Add(key, value);
}

void CFDictionaryReplaceValue(CFMutableDictionaryRef theDict, const void* key, const void* value)
{
  __CFDictionary* d = MutableDict(theDict);
  if (!d) return;
  if (auto* e = d->Find(key)) d->Replace(*e, value);
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void* key)
{
  __CFDictionary* d = MutableDict(theDict);
  if (!d) return;
  auto* e = d->Find(key);
  if (!e) return;
  const __CFDictionary::Entry old = *e;
  d->entries.erase(d->entries.begin() + (e - d->entries.data()));
  d->ReleaseEntry(old);
}

void CFDictionaryRemoveAllValues(CFMutableDictionaryRef theDict)
{
  __CFDictionary* d = MutableDict(theDict);
  if (d) d->Clear();
}
