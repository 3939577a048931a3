#pragma once

// IPreset — one preset slot of the plug-in base: an initialised flag, a name and the state chunk written by
// PluginBase::SerializeState. Slots are owned by the plug-in base's preset list.
//
// Threads: main thread only.

#include "framework/IByteChunk.h"

#include <cstring>

namespace plugin
{

struct IPreset
{
  // Room for 255 bytes and the terminator.
  static constexpr int kNameLen = 256;

  bool mInitialized = false;
  char mName[kNameLen] = "empty";
  IByteChunk mChunk{IByteChunk::kGranularity};

  // Copies at most 255 bytes of name and terminates; null counts as "".
  void SetName(const char* name) { CopyName(mName, name); }

  // Copies text into a fixed field of N bytes, truncated to at most N - 1 bytes and always terminated (see
  // NameLength).
  template <size_t N> static void CopyName(char (&dst)[N], const char* text)
  {
    const size_t len = NameLength(text, N - 1);
    if (text && len) std::memmove(dst, text, len);
    dst[len] = '\0';
  }

  // How many bytes of text (null counts as "") a field keeps that holds at most maxBytes: all, or maxBytes,
  // or fewer where that cut would split a UTF-8 character — its lead byte is dropped with the rest, since a
  // lone lead byte takes in the quote after it when the name is read back from XML. Bytes that are not UTF-8
  // are cut at maxBytes.
  static size_t NameLength(const char* text, size_t maxBytes);
};

} // namespace plugin
