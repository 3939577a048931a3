#include "graphics/Util.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <utility>

// ---------------------------------------------------------------------------------------------------------------
// Util_HeapBuf
// ---------------------------------------------------------------------------------------------------------------
Util_HeapBuf::~Util_HeapBuf()
{
  std::free(mBuf);
}

Util_HeapBuf::Util_HeapBuf(const Util_HeapBuf& other) : mGranularity(other.mGranularity)
{
  *this = other;
}

Util_HeapBuf& Util_HeapBuf::operator=(const Util_HeapBuf& other)
{
  if (this == &other) return *this;
  Resize(other.mSize, true);
  if (mSize == other.mSize && mSize > 0) std::memcpy(mBuf, other.mBuf, static_cast<size_t>(mSize));
  return *this;
}

Util_HeapBuf::Util_HeapBuf(Util_HeapBuf&& other) noexcept
  : mBuf(std::exchange(other.mBuf, nullptr)), mAlloc(std::exchange(other.mAlloc, 0)),
    mSize(std::exchange(other.mSize, 0)), mGranularity(other.mGranularity)
{
}

Util_HeapBuf& Util_HeapBuf::operator=(Util_HeapBuf&& other) noexcept
{
  if (this == &other) return *this;
  std::free(mBuf);
  mBuf = std::exchange(other.mBuf, nullptr);
  mAlloc = std::exchange(other.mAlloc, 0);
  mSize = std::exchange(other.mSize, 0);
  mGranularity = other.mGranularity;
  return *this;
}

void* Util_HeapBuf::Resize(int newSize, bool resizeDown)
{
  if (newSize < 0) newSize = 0;
  if (newSize == mSize) return newSize > 0 ? mBuf : nullptr;

  long long threshold = 0;
  if (newSize < mSize && resizeDown)
  {
    threshold = std::min<long long>(static_cast<long long>(mAlloc) - 4LL * mGranularity, mAlloc / 2);
    if (threshold < 1) threshold = 1;
  }

  if (newSize < threshold || newSize > mAlloc)
  {
    const long long grow = std::max<long long>(newSize / 2, mGranularity);

    if (newSize < 1)
    {
      std::free(mBuf);
      mBuf = nullptr;
      mAlloc = 0;
      mSize = 0;
      return nullptr;
    }

    long long newAlloc;
    if (mGranularity >= 4096)
    {
      long long g = std::min<long long>(grow / 4096 * 4096, 4194304);
      if (g == 0) g = 4096;
      newAlloc = ((newSize + 96 + g) / 4096 * 4096) - 96;
    }
    else
    {
      newAlloc = newSize + grow;
    }
    // Sizes are 32-bit: near the limit, allocate exactly the limit.
    if (newAlloc > INT_MAX) newAlloc = INT_MAX;

    if (newAlloc != mAlloc)
    {
      void* nb = std::realloc(mBuf, static_cast<size_t>(newAlloc));
      if (!nb)
      {
        nb = std::malloc(static_cast<size_t>(newAlloc));
        if (!nb) return mSize > 0 ? mBuf : nullptr;
        if (mBuf)
        {
          std::memcpy(nb, mBuf, static_cast<size_t>(std::min(newSize, mSize)));
          std::free(mBuf);
        }
      }
      mBuf = nb;
      mAlloc = static_cast<int>(newAlloc);
    }
  }

  mSize = newSize;
  return newSize > 0 ? mBuf : nullptr;
}

// ---------------------------------------------------------------------------------------------------------------
// Util_String
// ---------------------------------------------------------------------------------------------------------------
void Util_String::Set(const char* text)
{
  __doSet(0, text, text ? static_cast<int>(std::min<size_t>(std::strlen(text), INT_MAX - 1)) : 0, 0);
}

void Util_String::Set(const char* text, int maxLen)
{
  const int len = (text && maxLen > 0) ? static_cast<int>(strnlen(text, static_cast<size_t>(maxLen))) : 0;
  __doSet(0, text, len, 0);
}

void Util_String::Append(const char* text)
{
  if (!text) return;
  __doSet(GetLength(), text, static_cast<int>(std::min<size_t>(std::strlen(text), INT_MAX - 1)), 0);
}

void Util_String::Append(const char* text, int maxLen)
{
  if (!text || maxLen < 1) return;
  __doSet(GetLength(), text, static_cast<int>(strnlen(text, static_cast<size_t>(maxLen))), 0);
}

void Util_String::SetLen(int len)
{
  if (len < 0) len = 0;
  if (len >= GetLength()) return;
  static_cast<char*>(mHB.Get())[len] = 0;
  mHB.Resize(len + 1);
}

void Util_String::__doSet(int offset, const char* text, int length, int trailingKeep)
{
  if (offset == 0 && length == 0 && trailingKeep == 0)
  {
    if (mHB.Resize(1)) static_cast<char*>(mHB.Get())[0] = 0;
    return;
  }
  if (offset < 0 || length < 1 || trailingKeep < 0 || !text) return;
  // What is kept and the place written to must lie inside the current text.
  const long long curLen = GetLength();
  if (offset + static_cast<long long>(trailingKeep) > curLen) return;

  const long long needed64 = static_cast<long long>(offset) + length + trailingKeep + 1;
  if (needed64 > INT_MAX) return;
  const int needed = static_cast<int>(needed64);
  const int oldSize = mHB.GetSize();

  if (oldSize < needed)
  {
    const char* oldBuf = static_cast<const char*>(mHB.Get());
    const bool inside = oldBuf && text >= oldBuf && text < oldBuf + oldSize;
    const ptrdiff_t textOffset = inside ? text - oldBuf : 0;
    mHB.Resize(needed);
    if (inside) text = static_cast<const char*>(mHB.Get()) + textOffset;
  }
  if (mHB.GetSize() <= offset + length + trailingKeep) return;

  char* buf = static_cast<char*>(mHB.Get());
  if (trailingKeep > 0) std::memmove(buf + offset + length, buf + offset, static_cast<size_t>(trailingKeep));
  std::memmove(buf + offset, text, static_cast<size_t>(length));
  buf[offset + length + trailingKeep] = 0;

  if (needed < oldSize) mHB.Resize(needed);
}

void Util_String::VFormat(int offset, int maxLen, const char* format, va_list args)
{
  if (maxLen < 0 || !format) return;
  const long long total = static_cast<long long>(offset) + maxLen + 1;
  if (total > INT_MAX) return;
  mHB.Resize(static_cast<int>(total));
  if (mHB.GetSize() != total) return;
  char* buf = static_cast<char*>(mHB.Get());
  const int written = std::vsnprintf(buf + offset, static_cast<size_t>(maxLen) + 1, format, args);
  const int kept = written < 0 ? 0 : std::min(maxLen, written);
  buf[offset + kept] = 0;
  mHB.Resize(offset + kept + 1);
}

void Util_String::SetFormatted(int maxLen, const char* format, ...)
{
  va_list args;
  va_start(args, format);
  VFormat(0, maxLen, format, args);
  va_end(args);
}

void Util_String::AppendFormatted(int maxLen, const char* format, ...)
{
  va_list args;
  va_start(args, format);
  VFormat(GetLength(), maxLen, format, args);
  va_end(args);
}

// ---------------------------------------------------------------------------------------------------------------
// Util_Mutex
// ---------------------------------------------------------------------------------------------------------------
Util_Mutex::Util_Mutex()
{
  // Recursive: the caches lock again from inside their own callbacks.
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&mMutex, &attr);
  pthread_mutexattr_destroy(&attr);
}

Util_Mutex::~Util_Mutex()
{
  pthread_mutex_destroy(&mMutex);
}
