#pragma once

// The product's data folder and its settings file "plugin.ini".
//
// The data folder is "<user Application Support>/ZANIQ"; presets live in its subfolder "AU". Both are created
// on first use with permissions 0777, set explicitly (the process-wide umask is never touched, so other threads
// creating files meanwhile are not affected).
//
// "plugin.ini" holds lines key=value with a decimal integer value; the last matching line wins.

#include "graphics/Util.h"

// ---------------------------------------------------------------------------------------------------------------
// IMPlugPaths — the data and preset folders of an instance
// ---------------------------------------------------------------------------------------------------------------

class IMPlugPaths
{
public:
  static constexpr const char* kDataFolderName = "ZANIQ";
  static constexpr const char* kPresetFolderName = "AU";
  static constexpr const char* kSettingsFileName = "plugin.ini";
  // A settings file larger than this is not read (it holds a line or two).
  static constexpr long kMaxSettingsFileBytes = 1 << 20;

  // [main thread] Sets both folder paths and creates the folders that do not exist yet (missing parent folders
  // of the Application Support path too, with the usual umask). A folder that cannot be created is not
  // reported: later file operations in it fail on their own. When the platform names no Application Support
  // folder both paths stay empty and nothing is created (never a folder at the file-system root).
  void CreateDataFolder();

  // "" until CreateDataFolder ran (or when it found no Application Support folder).
  const Util_String& GetDataFolder() const { return mDataFolder; }
  const Util_String& GetPresetFolder() const { return mPresetFolder; }

protected:
  Util_String mDataFolder;
  Util_String mPresetFolder;
};

// ---------------------------------------------------------------------------------------------------------------
// Helpers [any thread]
// ---------------------------------------------------------------------------------------------------------------

// Creates the folder at path when nothing exists there, with permissions exactly 0777 (mkdir, then chmod of the
// folder it made). An existing folder is left as it is. True when a folder exists at path afterwards.
bool MakeSharedFolder(const char* path);

// Reads the integer of key from the key=value file at path. Lines are read in pieces of at most 2047
// characters, each matched on its own; a piece matches when it starts with key immediately followed by "=",
// then optional blanks and a decimal integer with optional sign (text after the number is ignored; a number
// outside the int range counts as the nearest int). Keys are case-sensitive. The last match wins. Returns
// defaultValue when the file cannot be opened, is not a regular file (never waits on a FIFO) or is larger than
// IMPlugPaths::kMaxSettingsFileBytes, key is null or empty, or no piece matches.
int ReadIniFileValue(const char* path, const char* key, int defaultValue);
