// Non-blocking, regular-file-only reading (see the header for why).

#include "framework/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plugin
{

FILE* OpenRegularFile(const char* path, int64_t maxBytes)
{
  if (!path || !*path || maxBytes < 0) return nullptr;
  // A cheap first look keeps devices from being opened at all (opening some has side effects); the descriptor
  // is asked again below, since the path may change in between.
  struct stat st;
  if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;

  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  const int flags = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || int64_t(st.st_size) > maxBytes || flags < 0 ||
      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
  {
    ::close(fd);
    return nullptr;
  }
  FILE* file = ::fdopen(fd, "rb");
  if (!file) ::close(fd);
  return file;
}

bool ReadRegularFile(const char* path, int64_t maxBytes, std::string& text)
{
  text.clear();
  FILE* file = OpenRegularFile(path, maxBytes);
  if (!file) return false;
  bool ok = true;
  char buf[8192];
  try
  {
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, file)) > 0;)
    {
      if (int64_t(text.size()) + int64_t(n) > maxBytes)
      {
        ok = false;
        break;
      }
      text.append(buf, n);
    }
  }
  catch (...)
  {
    ok = false; // out of memory
  }
  if (std::ferror(file)) ok = false;
  std::fclose(file);
  if (!ok) text.clear();
  return ok;
}

} // namespace plugin
