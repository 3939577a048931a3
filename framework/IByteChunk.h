#pragma once

// IByteChunk — the growable byte buffer in which all plug-in state travels (parameter state, preset slots, the
// preset bank, fxp/fxb chunks, the host state chunk).
//
// Writers append at the end; readers take a caller-held position and return the position after what they read,
// or -1 on failure, so reads chain and the caller tests the position once after a sequence: every read at a
// negative position fails again. Values are stored in host byte order with no alignment or padding.
//
// Chunks are untrusted input: every read checks its bounds in 64-bit arithmetic and leaves its output untouched
// when it fails. Appends that cannot grow the buffer change nothing; the returned size tells the caller.
//
// Threads: not synchronised; one thread at a time (state save/restore and presets run on the main thread).

#include "graphics/Util.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace plugin
{

class IByteChunk
{
public:
  // Chunks of the plug-in base and of every preset grow in steps of 4096 bytes.
  static constexpr int kGranularity = 4096;

  explicit IByteChunk(int granularity = kGranularity) : mBytes(granularity) {}

  IByteChunk(const IByteChunk&) = default;
  IByteChunk& operator=(const IByteChunk&) = default;
  IByteChunk(IByteChunk&&) noexcept = default;
  IByteChunk& operator=(IByteChunk&&) noexcept = default;

  // ---------------------------------------------------------------------------------------------------------
  // Writing — each returns the new size in bytes (unchanged when the buffer could not grow)
  // ---------------------------------------------------------------------------------------------------------

  // Appends the bytes of a plain value.
  template <class T> int Put(const T& value)
  {
    static_assert(std::is_trivially_copyable_v<T>, "only plain values go into a chunk");
    return PutBytes(&value, static_cast<int>(sizeof(T)));
  }

  // Appends size bytes from data (nothing for size < 1 or null data).
  int PutBytes(const void* data, int size);

  // Appends the text's length (i32, strlen) and then its bytes, without a terminator. Null counts as "".
  int PutStr(const char* text);

  // Appends one byte, 0 or 1.
  int PutBool(bool flag) { return Put<uint8_t>(flag ? 1 : 0); }

  // Appends all bytes of other (which may be this chunk).
  int PutChunk(const IByteChunk& other);

  // ---------------------------------------------------------------------------------------------------------
  // Reading — each returns the position after the value, or -1 (the output then stays as it was)
  // ---------------------------------------------------------------------------------------------------------

  // Copies sizeof(T) bytes at pos into value when pos >= 0 and they all lie inside the chunk.
  template <class T> [[nodiscard]] int Get(T& value, int pos) const
  {
    static_assert(std::is_trivially_copyable_v<T>, "only plain values come out of a chunk");
    return GetBytes(&value, static_cast<int>(sizeof(T)), pos);
  }

  // Copies size bytes at pos into data (size >= 0).
  [[nodiscard]] int GetBytes(void* data, int size, int pos) const;

  // Reads an i32 length n at pos and then n bytes of text, stopping early at a zero byte. n == 0 gives the empty
  // text. A negative length, or a length or text that is not all inside the chunk, fails. On success the result
  // is pos + 4 + n, which is never before pos.
  [[nodiscard]] int GetStr(Util_String& text, int pos) const;

  // One byte: 0 is false, anything else true.
  [[nodiscard]] int GetBool(bool& flag, int pos) const;

  // ---------------------------------------------------------------------------------------------------------
  // Version header of the fxp/fxb chunk forms: the bytes "tffp", then the i32 0x00010000 in host byte order
  // ---------------------------------------------------------------------------------------------------------

  // Appends the 8-byte version header. Returns the new size.
  int InitChunkWithVersion();
  // When the four bytes at pos are "tffp" (and the 8-byte header fits), the position after the header; otherwise
  // pos unchanged (also for a negative pos).
  [[nodiscard]] int SkipVersionHeader(int pos) const;

  // ---------------------------------------------------------------------------------------------------------
  // Whole buffer
  // ---------------------------------------------------------------------------------------------------------

  void Clear() { mBytes.Resize(0); }
  int Size() const { return mBytes.GetSize(); }
  // The bytes; null when the chunk is empty.
  uint8_t* GetData() { return Size() > 0 ? static_cast<uint8_t*>(mBytes.Get()) : nullptr; }
  const uint8_t* GetData() const { return Size() > 0 ? static_cast<const uint8_t*>(mBytes.Get()) : nullptr; }

  // Same size and bytes.
  bool IsEqual(const IByteChunk& other) const
  {
    return Size() == other.Size() && (Size() == 0 || std::memcmp(GetData(), other.GetData(), Size()) == 0);
  }

private:
  Util_HeapBuf mBytes;
};

} // namespace plugin
