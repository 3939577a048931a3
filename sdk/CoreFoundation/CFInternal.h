// Private to the CoreFoundation stand-in: the object model shared by every CF type.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <atomic>
#include <climits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zqcf
{

enum TypeID : CFTypeID
{
  kTypeAllocator = 2,
  kTypeString = 7,
  kTypeBoolean = 21,
  kTypeNumber = 22,
  kTypeData = 20,
  kTypeArray = 19,
  kTypeDictionary = 18,
  kTypeURL = 29,
  kTypeBundle = 31,
  kTypeRunLoop = 43,
  kTypeRunLoopTimer = 47,
  kTypeError = 50,
  // CoreGraphics and CoreText objects share the CF object model.
  kTypeCGDataProvider = 60,
  kTypeCGFont = 61,
  kTypeCTFontDescriptor = 62,
  kTypeCTFont = 63,
};

// Base of every CF object. The CF reference of an object is the address of its most derived struct, which
// equals the address of this base (single, non-virtual inheritance throughout).
struct Object
{
  constexpr Object(CFTypeID type, bool immortal) : typeID(type), immortal(immortal), refCount(1) {}
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  // Same type is guaranteed by the caller.
  virtual bool Equal(const Object& other) const { return this == &other; }
  virtual CFHashCode Hash() const { return reinterpret_cast<CFHashCode>(this); }
  virtual std::string Describe() const;

  // Retains unless the count already reached 0 (the object is being freed). For registries holding
  // weak pointers.
  bool TryRetain();

  const CFTypeID typeID;
  const bool immortal; // constants: retain/release do nothing
  std::atomic<intptr_t> refCount;
};

// Storage for process-lifetime constants: constant-initialised, never destroyed (so code running in
// other libraries' exit handlers can still use them).
template <class T> union Immortal
{
  template <class... A> constexpr explicit Immortal(A&&... a) : value(static_cast<A&&>(a)...) {}
  ~Immortal() {}
  T value;
};

inline const Object* AsObject(CFTypeRef cf)
{
  return static_cast<const Object*>(cf);
}
inline Object* AsMutableObject(CFTypeRef cf)
{
  return const_cast<Object*>(static_cast<const Object*>(cf));
}

// The object behind cf when it has the type, else null (a wrong type is refused, not trusted).
template <class T> inline const T* Cast(CFTypeRef cf)
{
  if (!cf) return nullptr;
  const Object* o = AsObject(cf);
  return o->typeID == T::kTypeID ? static_cast<const T*>(o) : nullptr;
}
template <class T> inline T* CastMutable(CFTypeRef cf)
{
  return const_cast<T*>(Cast<T>(cf));
}
// The container behind cf when it has the type and is still mutable, else null (an immutable one is refused).
template <class T> inline T* CastIfMutable(CFTypeRef cf)
{
  T* o = CastMutable<T>(cf);
  return o && o->isMutable ? o : nullptr;
}

// ---- UTF-8 helpers ----
// True when the bytes are well-formed UTF-8 (no overlongs, surrogates or values above U+10FFFF).
bool IsValidUTF8(std::string_view s);
// Number of UTF-16 units of well-formed UTF-8 text.
constexpr CFIndex UTF16Length(std::string_view s)
{
  CFIndex n = 0;
  for (unsigned char c : s)
  {
    if ((c & 0xC0) != 0x80) n += (c >= 0xF0) ? 2 : 1;
  }
  return n;
}
void AppendUTF8(std::string& out, uint32_t codePoint);

// Creates a string object from well-formed UTF-8 (the caller has validated it).
CFStringRef MakeString(std::string_view utf8);
std::string_view StringView(CFStringRef s); // empty for null or non-strings

// Description used by %@ and CFCopyDescription.
std::string Describe(CFTypeRef cf);

// ---- Files ----
// Where the stand-in reads a platform path: paths under "/System/" move under the root set with
// ZQCFSetSystemRoot; others (and null, as "") are answered as they are.
std::string FileSystemPath(const char* path);

// Makes a mutable container immutable once it has been filled (the property list reader).
void FreezeArray(CFMutableArrayRef array);
void FreezeDictionary(CFMutableDictionaryRef dict);

// ---- Container callbacks, shared by arrays and dictionaries ----
// The entries of the kCFType* callback sets: CFRetain, CFRelease, CFCopyDescription, CFEqual, CFHash.
const void* TypeRetain(CFAllocatorRef, const void* value);
void TypeRelease(CFAllocatorRef, const void* value);
CFStringRef TypeCopyDescription(const void* value);
Boolean TypeEqual(const void* a, const void* b);
CFHashCode TypeHash(const void* value);

// One element's text in a container's description: what copyDescription gives, else the address.
std::string DescribeValue(const void* value, CFStringRef (*copyDescription)(const void*));

// An element kept through a callback set (CFArrayCallBacks, CFDictionaryKeyCallBacks or
// CFDictionaryValueCallBacks); a missing callback keeps, drops or compares the bare pointer.
template <class CallBacks> const void* RetainWith(const CallBacks& cb, CFAllocatorRef allocator, const void* value)
{
  return cb.retain ? cb.retain(allocator, value) : value;
}
template <class CallBacks> void ReleaseWith(const CallBacks& cb, CFAllocatorRef allocator, const void* value)
{
  if (cb.release) cb.release(allocator, value);
}
template <class CallBacks> bool SameWith(const CallBacks& cb, const void* a, const void* b)
{
  return a == b || (cb.equal && cb.equal(a, b));
}

} // namespace zqcf

// ---- The string type, shared by the string, URL and property-list code ----
struct __CFString : zqcf::Object
{
  static constexpr CFTypeID kTypeID = zqcf::kTypeString;

  // A constant over a literal.
  constexpr __CFString(const char* literal, size_t size)
      : Object(kTypeID, true), bytes(literal), size(size), utf16Length(zqcf::UTF16Length({literal, size}))
  {
  }
  // An owned copy of UTF-8 text.
  explicit __CFString(std::string_view utf8);

  bool Equal(const Object& other) const override;
  CFHashCode Hash() const override;
  std::string Describe() const override { return std::string(View()); }

  std::string_view View() const { return {bytes, size}; }

  const char* bytes; // terminated
  size_t size;
  CFIndex utf16Length;
  std::unique_ptr<char[]> owned;
};

// A process-lifetime constant string: ZQCF_CONSTANT_STRING(kName, "text") defines `const CFStringRef kName`.
#define ZQCF_CONSTANT_STRING(name, text)                                                                               \
  static constinit zqcf::Immortal<__CFString> name##_storage{text, sizeof(text) - 1};                                  \
  const CFStringRef name = &name##_storage.value
