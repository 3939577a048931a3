#pragma once

// Folder paths of the platform and the lookup of resource files. Each function writes its answer as UTF-8 into
// a string of the caller. The user's folders lie under the home folder ($HOME).
//
// Threads: [any thread]; each call runs inside an autorelease pool of its own.

#include "graphics/Util.h"

namespace plugin
{

// The Application Support folder, without a trailing "/": the user's ("$HOME/Library/Application Support")
// unless isSystem asks for the system domain's. Empty when the platform names none.
void AppSupportPath(Util_String& path, bool isSystem = false);

// A resource file inside the bundle with identifier bundleID. The extension of name (the text after its last
// ".", or all of name without a ".") must equal type, ignoring case; otherwise false and result untouched.
// Looks up Resources/<base>.<type> (base: the last path component of name without its extension), then
// Resources/<name without its extension>.<type>. True and the full path when the file exists; false with
// result emptied when it does not; false with result untouched without such a bundle or base name. Null
// arguments answer false.
bool GetResourcePathFromBundle(const char* name, const char* type, Util_String& result, const char* bundleID);

// A resource file in the shared location: the user's Music folder / sharedResourcesSubPath / "Resources" /
// <base>.<type>, with the same extension test (false, result untouched, on a mismatch). True and the path when
// the file exists; otherwise (also without a sub-path) false with result emptied.
bool GetResourcePathFromSharedLocation(const char* name, const char* type, Util_String& result,
                                       const char* sharedResourcesSubPath);

// Finds a resource: false for a null or empty name; then the bundle, then the shared location, then name
// itself when it is the path of an existing file (result = name). A bundle resource wins over a shared one of
// the same name. pHInstance is not read on this platform.
bool LocateResource(const char* name, const char* type, Util_String& result, const char* bundleID, void* pHInstance,
                    const char* sharedResourcesSubPath);

// True when the home folder lies in an app container (contains "Library/Containers/").
bool AppIsSandboxed();

// "<library>/Audio/Presets/<maker>/<plugin>/": the user's Library folder, or the local domain's ("/Library") when
// isSystem. Null names count as empty; the answer is cut to 1024 bytes (never inside a UTF-8 sequence).
void VST3PresetsPath(Util_String& path, const char* mfrName, const char* pluginName, bool isSystem = false);

// The user's Application Support folder + "/" + name (name cut to 1024 bytes; null counts as empty).
void AppSupportSubPath(Util_String& path, const char* name);

// The executable of the loaded bundle with identifier bundleID; path untouched without such a bundle.
void HostPath(Util_String& path, const char* bundleID);

// The folder holding the bundle with identifier bundleID, with a trailing "/"; untouched without such a bundle.
void PluginPath(Util_String& path, const char* bundleID);

// The Resources folder of the bundle with identifier bundleID; untouched without such a bundle or folder.
void BundleResourcePath(Util_String& path, const char* bundleID);

// The user's Desktop and Music folders and the home folder, without a trailing "/".
void DesktopPath(Util_String& path);
void UserHomePath(Util_String& path);
void UserMusicPath(Util_String& path);

} // namespace plugin
