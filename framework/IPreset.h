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
  // Room for 255 characters and the terminator.
  static constexpr int kNameLen = 256;

  bool mInitialized = false;
  char mName[kNameLen] = "empty";
  IByteChunk mChunk{IByteChunk::kGranularity};

  // Copies at most 255 characters of name and terminates; null counts as "".
  void SetName(const char* name) { CopyName(mName, name); }

  // Copies text into a fixed field of N bytes, truncated to N - 1 characters and always terminated.
  template <size_t N> static void CopyName(char (&dst)[N], const char* text)
  {
    const size_t len = text ? strnlen(text, N - 1) : 0;
    if (len) std::memmove(dst, text, len);
    dst[len] = '\0';
  }
};

} // namespace plugin
