#pragma once

// Reading files named by the user or found in the data folder, without ever waiting on them.
//
// A FIFO, a device or a socket can sit where a preset, a settings file or an fxp is expected; opening a FIFO for
// reading blocks until some writer appears, which would hang a constructor or an editor command for ever. These
// helpers open with O_NONBLOCK and then ask the opened descriptor (not the path, which could be swapped between
// a check and the open) whether it is a regular file, and bound how much they read.

#include <cstdint>
#include <cstdio>
#include <string>

namespace plugin
{

// [any thread] path opened for reading ("rb"), or null when it cannot be opened, does not name a regular file
// (directory, FIFO, device, socket; a symbolic link counts as what it points to) or is larger than maxBytes.
// Never blocks on the open. The caller closes the stream; it still bounds what it reads, as the file may grow.
[[nodiscard]] FILE* OpenRegularFile(const char* path, int64_t maxBytes);

// [any thread] The whole regular file at path into text (replaced). False, with text empty, when
// OpenRegularFile refuses the file, reading fails, or the file holds more than maxBytes bytes by the end of the
// read.
[[nodiscard]] bool ReadRegularFile(const char* path, int64_t maxBytes, std::string& text);

} // namespace plugin
