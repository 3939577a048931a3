#include "framework/IByteChunk.h"

#include <climits>

namespace plugin
{

namespace
{
constexpr char kVersionMagic[4] = {'t', 'f', 'f', 'p'};
constexpr int32_t kChunkVersion = 0x00010000;

// True when [pos, pos + size) lies inside a buffer of total bytes; 64-bit so no sum can wrap.
bool InRange(int64_t pos, int64_t size, int64_t total)
{
  return pos >= 0 && size >= 0 && pos + size <= total;
}
} // namespace

int IByteChunk::PutBytes(const void* data, int size)
{
  const int n = Size();
  if (!data || size < 1) return n;
  if (static_cast<int64_t>(n) + size > INT_MAX) return n;
  // data may point into this chunk: remember where before the storage moves.
  const uint8_t* base = static_cast<const uint8_t*>(mBytes.Get());
  const uint8_t* src = static_cast<const uint8_t*>(data);
  const bool inside = base && src >= base && src < base + n;
  const ptrdiff_t offset = inside ? src - base : 0;
  mBytes.Resize(n + size, false);
  if (mBytes.GetSize() != n + size) return n;
  uint8_t* dst = static_cast<uint8_t*>(mBytes.Get());
  if (inside) src = dst + offset;
  std::memmove(dst + n, src, static_cast<size_t>(size));
  return Size();
}

int IByteChunk::PutStr(const char* text)
{
  const size_t len = text ? std::strlen(text) : 0;
  const int n = Size();
  if (len > static_cast<size_t>(INT_MAX - 4)) return n;
  const int32_t len32 = static_cast<int32_t>(len);
  if (Put(len32) != n + 4) return n;
  if (len32 > 0 && PutBytes(text, len32) != n + 4 + len32)
  {
    mBytes.Resize(n, false); // drop the orphaned length
    return n;
  }
  return Size();
}

int IByteChunk::PutChunk(const IByteChunk& other)
{
  return PutBytes(other.GetData(), other.Size());
}

int IByteChunk::GetBytes(void* data, int size, int pos) const
{
  if (!data || !InRange(pos, size, Size())) return -1;
  if (size > 0) std::memcpy(data, GetData() + pos, static_cast<size_t>(size));
  return pos + size;
}

int IByteChunk::GetStr(Util_String& text, int pos) const
{
  int32_t len = 0;
  const int textPos = Get(len, pos);
  if (textPos < 0 || len < 0) return -1;
  if (!InRange(textPos, len, Size())) return -1;
  if (len == 0)
  {
    text.Set("");
    return textPos;
  }
  const char* src = reinterpret_cast<const char*>(GetData() + textPos);
  const void* zero = std::memchr(src, 0, static_cast<size_t>(len));
  const int textLen = zero ? static_cast<int>(static_cast<const char*>(zero) - src) : len;
  if (textLen == 0)
    text.Set("");
  else
    text.Set(src, textLen);
  return textPos + len;
}

int IByteChunk::GetBool(bool& flag, int pos) const
{
  uint8_t b = 0;
  const int next = Get(b, pos);
  if (next >= 0) flag = (b != 0);
  return next;
}

int IByteChunk::InitChunkWithVersion()
{
  const int n = Size();
  if (PutBytes(kVersionMagic, 4) != n + 4) return n;
  if (Put(kChunkVersion) != n + 8)
  {
    mBytes.Resize(n, false);
    return n;
  }
  return Size();
}

int IByteChunk::SkipVersionHeader(int pos) const
{
  if (!InRange(pos, 8, Size())) return pos;
  return std::memcmp(GetData() + pos, kVersionMagic, 4) == 0 ? pos + 8 : pos;
}

} // namespace plugin
