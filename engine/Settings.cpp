#include "engine/Settings.h"

#include "engine/ZANIQ.h"
#include "framework/RegularFile.h"
#include "platform/mac/PlatformPaths.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

// ---------------------------------------------------------------------------------------------------------------
// Folders
// ---------------------------------------------------------------------------------------------------------------

namespace
{

bool IsFolder(const char* path)
{
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates the missing folders above path (not path itself) with the process's usual permissions.
void MakeParentFolders(const std::string& path)
{
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
  {
    const std::string parent = path.substr(0, slash);
    struct stat st;
    if (stat(parent.c_str(), &st) != 0) (void)mkdir(parent.c_str(), 0777);
  }
}

} // namespace

bool MakeSharedFolder(const char* path)
{
  if (!path || !*path) return false;
  struct stat st;
  if (stat(path, &st) == 0) return S_ISDIR(st.st_mode);
  // mkdir applies the umask; chmod then sets the permissions the folder is meant to have.
  if (mkdir(path, 0777) == 0) (void)chmod(path, 0777);
  return IsFolder(path);
}

void IMPlugPaths::CreateDataFolder()
{
  mDataFolder.Set("");
  mPresetFolder.Set("");

  Util_String appSupport;
  plugin::AppSupportPath(appSupport, false);
  if (appSupport.GetLength() == 0) return;

  mDataFolder.Set(appSupport.Get());
  mDataFolder.Append("/");
  mDataFolder.Append(kDataFolderName);
  MakeParentFolders(mDataFolder.Get());
  (void)MakeSharedFolder(mDataFolder.Get());

  mPresetFolder.Set(mDataFolder.Get());
  mPresetFolder.Append("/");
  mPresetFolder.Append(kPresetFolderName);
  (void)MakeSharedFolder(mPresetFolder.Get());
}

// ---------------------------------------------------------------------------------------------------------------
// plugin.ini
// ---------------------------------------------------------------------------------------------------------------

namespace
{

// The decimal integer at text as the "%d" conversion reads it (leading white space, optional sign, digits),
// saturated to the int range instead of overflowing. False when there is no number.
bool ParseInt(const char* text, int& value)
{
  while (std::isspace(static_cast<unsigned char>(*text))) ++text;
  const char* digits = text + ((*text == '+' || *text == '-') ? 1 : 0);
  if (!std::isdigit(static_cast<unsigned char>(*digits))) return false;
  const long long n = std::strtoll(text, nullptr, 10);
  value = n > INT_MAX ? INT_MAX : n < INT_MIN ? INT_MIN : static_cast<int>(n);
  return true;
}

} // namespace

int ReadIniFileValue(const char* path, const char* key, int defaultValue)
{
  if (!path || !*path || !key || !*key) return defaultValue;
  std::string text;
  if (!plugin::ReadRegularFile(path, IMPlugPaths::kMaxSettingsFileBytes, text)) return defaultValue;

  const size_t keyLen = std::strlen(key);
  int result = defaultValue;
  // Pieces as fgets hands them out with a 2048-byte buffer: up to and including a line break, at most 2047 bytes.
  char line[2048];
  for (size_t pos = 0; pos < text.size();)
  {
    size_t n = std::min(text.size() - pos, sizeof line - 1);
    if (const void* nl = std::memchr(text.data() + pos, '\n', n))
      n = size_t(static_cast<const char*>(nl) - (text.data() + pos)) + 1;
    std::memcpy(line, text.data() + pos, n);
    line[n] = 0;
    pos += n;
    int value;
    if (std::strncmp(line, key, keyLen) == 0 && line[keyLen] == '=' && ParseInt(line + keyLen + 1, value))
      result = value;
  }
  return result;
}

int ZANIQ::ReadIniValue(const IMPlugPaths& paths, const char* section, const char* key, int defaultValue)
{
  (void)section; // the file has no sections
  if (paths.GetDataFolder().GetLength() == 0) return defaultValue;
  Util_String path(paths.GetDataFolder().Get());
  path.Append("/");
  path.Append(IMPlugPaths::kSettingsFileName);
  return ReadIniFileValue(path.Get(), key, defaultValue);
}
