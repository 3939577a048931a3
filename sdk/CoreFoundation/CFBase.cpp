// CoreFoundation object model and allocators.
#include <CoreFoundation/CFInternal.h>

#include <cstdio>
#include <cstdlib>

namespace zqcf
{

std::string Object::Describe() const
{
  char text[64];
  std::snprintf(text, sizeof text, "<CFType %lu %p>", static_cast<unsigned long>(typeID),
                static_cast<const void*>(this));
  return text;
}

bool Object::TryRetain()
{
  if (immortal) return true;
  intptr_t n = refCount.load(std::memory_order_relaxed);
  while (n > 0)
  {
    if (refCount.compare_exchange_weak(n, n + 1, std::memory_order_acq_rel, std::memory_order_relaxed)) return true;
  }
  return false;
}

std::string Describe(CFTypeRef cf)
{
  if (!cf) return "(null)";
  return AsObject(cf)->Describe();
}

// ---- Container callbacks ----

const void* TypeRetain(CFAllocatorRef, const void* value)
{
  return CFRetain(value);
}
void TypeRelease(CFAllocatorRef, const void* value)
{
  CFRelease(value);
}
CFStringRef TypeCopyDescription(const void* value)
{
  return CFCopyDescription(value);
}
Boolean TypeEqual(const void* a, const void* b)
{
  return CFEqual(a, b);
}
CFHashCode TypeHash(const void* value)
{
  return CFHash(value);
}

std::string DescribeValue(const void* value, CFStringRef (*copyDescription)(const void*))
{
  if (copyDescription)
  {
    CFStringRef s = copyDescription(value);
    if (s)
    {
      std::string text(StringView(s));
      CFRelease(s);
      return text;
    }
  }
  char text[32];
  std::snprintf(text, sizeof text, "<%p>", value);
  return text;
}

// ---- UTF-8 ----

bool IsValidUTF8(std::string_view s)
{
  size_t i = 0;
  const size_t n = s.size();
  while (i < n)
  {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80)
    {
      ++i;
      continue;
    }
    size_t len;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF)
    {
      len = 2;
      cp = c & 0x1F;
    }
    else if (c >= 0xE0 && c <= 0xEF)
    {
      len = 3;
      cp = c & 0x0F;
    }
    else if (c >= 0xF0 && c <= 0xF4)
    {
      len = 4;
      cp = c & 0x07;
    }
    else
    {
      return false;
    }
    if (n - i < len) return false;
    for (size_t k = 1; k < len; ++k)
    {
      const unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000)) return false; // overlong
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

void AppendUTF8(std::string& out, uint32_t cp)
{
  if (cp < 0x80)
  {
    out += static_cast<char>(cp);
  }
  else if (cp < 0x800)
  {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  else if (cp < 0x10000)
  {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  else
  {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

} // namespace zqcf

using namespace zqcf;

// ---- Object model ----

CFTypeRef CFRetain(CFTypeRef cf)
{
  if (!cf) return cf;
  Object* o = AsMutableObject(cf);
  if (!o->immortal) o->refCount.fetch_add(1, std::memory_order_relaxed);
  return cf;
}

void CFRelease(CFTypeRef cf)
{
  if (!cf) return;
  Object* o = AsMutableObject(cf);
  if (o->immortal) return;
  if (o->refCount.fetch_sub(1, std::memory_order_acq_rel) == 1) delete o;
}

CFIndex CFGetRetainCount(CFTypeRef cf)
{
  if (!cf) return 0;
  const Object* o = AsObject(cf);
  return o->immortal ? LONG_MAX : static_cast<CFIndex>(o->refCount.load(std::memory_order_relaxed));
}

CFTypeID CFGetTypeID(CFTypeRef cf)
{
  return cf ? AsObject(cf)->typeID : 0;
}

Boolean CFEqual(CFTypeRef a, CFTypeRef b)
{
  if (a == b) return true;
  if (!a || !b) return false;
  const Object* oa = AsObject(a);
  const Object* ob = AsObject(b);
  return oa->typeID == ob->typeID && oa->Equal(*ob);
}

CFHashCode CFHash(CFTypeRef cf)
{
  return cf ? AsObject(cf)->Hash() : 0;
}

CFStringRef CFCopyDescription(CFTypeRef cf)
{
  if (!cf) return nullptr;
  return MakeString(AsObject(cf)->Describe());
}

CFAllocatorRef CFGetAllocator(CFTypeRef)
{
  return kCFAllocatorSystemDefault;
}

// ---- Allocators ----

struct __CFAllocator : Object
{
  static constexpr CFTypeID kTypeID = kTypeAllocator;
  constexpr explicit __CFAllocator(bool null) : Object(kTypeID, true), isNull(null) {}
  std::string Describe() const override { return isNull ? "<CFAllocator kCFAllocatorNull>" : "<CFAllocator>"; }
  const bool isNull;
};

namespace
{
constinit Immortal<__CFAllocator> gSystemAllocator{false};
constinit Immortal<__CFAllocator> gMallocAllocator{false};
constinit Immortal<__CFAllocator> gNullAllocator{true};

bool IsNullAllocator(CFAllocatorRef a)
{
  return a == &gNullAllocator.value;
}
} // namespace

const CFAllocatorRef kCFAllocatorSystemDefault = &gSystemAllocator.value;
const CFAllocatorRef kCFAllocatorMalloc = &gMallocAllocator.value;
const CFAllocatorRef kCFAllocatorNull = &gNullAllocator.value;

CFTypeID CFAllocatorGetTypeID(void)
{
  return kTypeAllocator;
}
CFAllocatorRef CFAllocatorGetDefault(void)
{
  return kCFAllocatorSystemDefault;
}

void* CFAllocatorAllocate(CFAllocatorRef allocator, CFIndex size, CFOptionFlags)
{
  if (size <= 0 || IsNullAllocator(allocator)) return nullptr;
  return std::malloc(static_cast<size_t>(size));
}

void* CFAllocatorReallocate(CFAllocatorRef allocator, void* ptr, CFIndex newsize, CFOptionFlags hint)
{
  if (IsNullAllocator(allocator)) return nullptr;
  if (!ptr) return CFAllocatorAllocate(allocator, newsize, hint);
  if (newsize <= 0)
  {
    std::free(ptr);
    return nullptr;
  }
  return std::realloc(ptr, static_cast<size_t>(newsize));
}

void CFAllocatorDeallocate(CFAllocatorRef allocator, void* ptr)
{
  if (!ptr || IsNullAllocator(allocator)) return;
  std::free(ptr);
}
