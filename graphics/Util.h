#pragma once

// The program's own small containers: a growable byte buffer, a typed array and a pointer list on top of it,
// a zero-terminated string and a recursive mutex. Their growth rules are exact on purpose: editor lists reach a
// steady size and stop allocating, and state chunks grow in page-sized steps.
//
// None of them is synchronised; each is used by one thread at a time. Allocation failure never throws: the
// container stays as it was and the returned pointer or size tells the caller.

#include <cstdarg>
#include <cstddef>
#include <cstring>
#include <pthread.h>
#include <type_traits>

// ---------------------------------------------------------------------------------------------------------------
// Util_HeapBuf — bytes that grow by a granularity and shrink reluctantly
// ---------------------------------------------------------------------------------------------------------------
class Util_HeapBuf
{
public:
  // granularity: 4096 or more for page-sized growth (lists, chunks); strings use 128.
  explicit Util_HeapBuf(int granularity = 4096) : mGranularity(granularity < 1 ? 1 : granularity) {}
  ~Util_HeapBuf();

  Util_HeapBuf(const Util_HeapBuf& other);
  Util_HeapBuf& operator=(const Util_HeapBuf& other);
  Util_HeapBuf(Util_HeapBuf&& other) noexcept;
  Util_HeapBuf& operator=(Util_HeapBuf&& other) noexcept;

  void* Get() const { return mBuf; }
  int GetSize() const { return mSize; }
  int GetAllocated() const { return mAlloc; }
  int GetGranularity() const { return mGranularity; }

  // Sets the size in use (bytes). Returns the buffer, or null when newSize <= 0. When the storage cannot grow,
  // the buffer stays as it was (the caller sees that GetSize() did not change).
  void* Resize(int newSize, bool resizeDown = true);

private:
  void* mBuf = nullptr;
  int mAlloc = 0;
  int mSize = 0;
  int mGranularity;
};

// ---------------------------------------------------------------------------------------------------------------
// Util_TypedBuf — an array of trivially copyable elements
// ---------------------------------------------------------------------------------------------------------------
template <class T>
class Util_TypedBuf
{
  static_assert(std::is_trivially_copyable_v<T>, "Util_TypedBuf moves its elements as bytes");

public:
  explicit Util_TypedBuf(int granularity = 4096) : mHB(granularity) {}

  T* Get() const { return static_cast<T*>(mHB.Get()); }
  int GetSize() const { return mHB.GetSize() / static_cast<int>(sizeof(T)); }

  // Sets the element count; returns the array (null when the count is 0 or growth failed).
  T* Resize(int count, bool resizeDown = true)
  {
    if (count < 0) count = 0;
    if (static_cast<long long>(count) * static_cast<long long>(sizeof(T)) > 0x7fffffffLL) return nullptr;
    mHB.Resize(count * static_cast<int>(sizeof(T)), resizeDown);
    return GetSize() == count ? Get() : nullptr;
  }

  // Appends one element; returns where it was stored, or null when growth failed (nothing added).
  T* Add(const T& value)
  {
    const int n = GetSize();
    if (!Resize(n + 1, false)) return nullptr;
    T* slot = Get() + n;
    std::memcpy(static_cast<void*>(slot), &value, sizeof(T));
    return slot;
  }

  // Removes element idx, moving later elements down. Out-of-range indices are ignored.
  void Delete(int idx)
  {
    const int n = GetSize();
    if (idx < 0 || idx >= n) return;
    T* p = Get();
    std::memmove(static_cast<void*>(p + idx), p + idx + 1, sizeof(T) * static_cast<size_t>(n - idx - 1));
    Resize(n - 1, false);
  }

private:
  Util_HeapBuf mHB;
};

// ---------------------------------------------------------------------------------------------------------------
// Util_PtrList — a list of pointers; ownership is decided per removal call
// ---------------------------------------------------------------------------------------------------------------
template <class T>
class Util_PtrList
{
public:
  explicit Util_PtrList(int granularity = 4096) : mHB(granularity) {}
  ~Util_PtrList() = default; // does not delete the pointees: Empty(true) does

  Util_PtrList(const Util_PtrList&) = delete;
  Util_PtrList& operator=(const Util_PtrList&) = delete;

  int GetSize() const { return mHB.GetSize() / static_cast<int>(sizeof(T*)); }
  T* const* GetList() const { return static_cast<T* const*>(mHB.Get()); }

  // Null when the index is outside the list.
  T* Get(int idx) const
  {
    T* const* list = GetList();
    return (list && idx >= 0 && idx < GetSize()) ? list[idx] : nullptr;
  }

  int Find(const T* p) const
  {
    const int n = GetSize();
    for (int i = 0; i < n; ++i)
      if (GetList()[i] == p) return i;
    return -1;
  }

  // Appends; returns the pointer, or null when the list could not grow (nothing added).
  T* Add(T* p)
  {
    const int n = GetSize();
    if (!Grow(n)) return nullptr;
    List()[n] = p;
    return p;
  }

  // Inserts before idx (clamped to [0, size]); returns the pointer, or null when the list could not grow.
  T* Insert(int idx, T* p)
  {
    const int n = GetSize();
    if (idx < 0) idx = 0;
    if (idx > n) idx = n;
    if (!Grow(n)) return nullptr;
    T** list = List();
    std::memmove(list + idx + 1, list + idx, sizeof(T*) * static_cast<size_t>(n - idx));
    list[idx] = p;
    return p;
  }

  // Removes entry idx (deleting the pointee when asked); storage is kept.
  void Delete(int idx, bool wantDelete = false, void (*deleteFunc)(void*) = nullptr)
  {
    const int n = GetSize();
    if (idx < 0 || idx >= n) return;
    T** list = List();
    T* p = list[idx];
    std::memmove(list + idx, list + idx + 1, sizeof(T*) * static_cast<size_t>(n - idx - 1));
    mHB.Resize((n - 1) * static_cast<int>(sizeof(T*)), false);
    if (wantDelete && p) Destroy(p, deleteFunc);
  }

  // Removes every entry, last to first, deleting the pointees when asked; storage is kept.
  void Empty(bool wantDelete = false, void (*deleteFunc)(void*) = nullptr)
  {
    if (wantDelete)
    {
      for (int n = GetSize(); n > 0; n = GetSize())
      {
        T* p = List()[n - 1];
        mHB.Resize((n - 1) * static_cast<int>(sizeof(T*)), false);
        if (p) Destroy(p, deleteFunc);
      }
    }
    mHB.Resize(0, false);
  }

private:
  T** List() { return static_cast<T**>(mHB.Get()); }

  bool Grow(int n)
  {
    const int want = (n + 1) * static_cast<int>(sizeof(T*));
    mHB.Resize(want, false);
    return mHB.GetSize() == want;
  }

  static void Destroy(T* p, void (*deleteFunc)(void*))
  {
    if (deleteFunc)
      deleteFunc(p);
    else
      delete p;
  }

  Util_HeapBuf mHB;
};

// ---------------------------------------------------------------------------------------------------------------
// Util_String — a zero-terminated string; an empty string may have size 0
// ---------------------------------------------------------------------------------------------------------------
class Util_String
{
public:
  Util_String() : mHB(128) {}
  explicit Util_String(const char* text) : mHB(128) { Set(text); }
  Util_String(const Util_String& other) : mHB(128) { Set(other.Get()); }
  Util_String& operator=(const Util_String& other)
  {
    if (this != &other) Set(other.Get());
    return *this;
  }

  // The text; "" when nothing was ever set.
  const char* Get() const { return mHB.GetSize() ? static_cast<const char*>(mHB.Get()) : ""; }
  char* GetMutable() { return mHB.GetSize() ? static_cast<char*>(mHB.Get()) : nullptr; }
  int GetLength() const { return static_cast<int>(std::strlen(Get())); }

  // A null text empties the string. The text may point into this string.
  void Set(const char* text);
  // Sets at most maxLen characters of text.
  void Set(const char* text, int maxLen);
  void Append(const char* text);
  void Append(const char* text, int maxLen);
  // Cuts the string to at most len characters.
  void SetLen(int len);

  // printf-formatted text of at most maxLen characters.
  void SetFormatted(int maxLen, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void AppendFormatted(int maxLen, const char* format, ...) __attribute__((format(printf, 3, 4)));

  // The core writer: writes length bytes of text at offset, keeping trailingKeep bytes that stood at offset
  // after the new text. All zero empties the string.
  void __doSet(int offset, const char* text, int length, int trailingKeep);

private:
  void VFormat(int offset, int maxLen, const char* format, va_list args);

  Util_HeapBuf mHB;
};

// ---------------------------------------------------------------------------------------------------------------
// Util_Mutex — a recursive platform mutex, and a scoped lock for it
// ---------------------------------------------------------------------------------------------------------------
class Util_Mutex
{
public:
  Util_Mutex();
  ~Util_Mutex();
  Util_Mutex(const Util_Mutex&) = delete;
  Util_Mutex& operator=(const Util_Mutex&) = delete;

  void Enter() { pthread_mutex_lock(&mMutex); }
  void Leave() { pthread_mutex_unlock(&mMutex); }
  bool TryEnter() { return pthread_mutex_trylock(&mMutex) == 0; }

  // BasicLockable, so std::lock_guard and std::unique_lock work too.
  void lock() { Enter(); }
  void unlock() { Leave(); }

private:
  pthread_mutex_t mMutex;
};

class Util_MutexLock
{
public:
  explicit Util_MutexLock(Util_Mutex& m) : mMutex(m) { mMutex.Enter(); }
  ~Util_MutexLock() { mMutex.Leave(); }
  Util_MutexLock(const Util_MutexLock&) = delete;
  Util_MutexLock& operator=(const Util_MutexLock&) = delete;

private:
  Util_Mutex& mMutex;
};
