// CoreFoundation bundles (CFBundle): a folder `X.ext/Contents/` with `Info.plist`, `MacOS/<executable>` and
// `Resources/`. Live bundles are registered by folder, so creating the same folder twice gives the same
// object and CFBundleGetBundleWithIdentifier finds them.
#pragma once

#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

CF_EXPORT const CFStringRef kCFBundleInfoDictionaryVersionKey;
CF_EXPORT const CFStringRef kCFBundleExecutableKey;
CF_EXPORT const CFStringRef kCFBundleIdentifierKey;
CF_EXPORT const CFStringRef kCFBundleVersionKey;
CF_EXPORT const CFStringRef kCFBundleNameKey;

CF_EXPORT CFTypeID CFBundleGetTypeID(void);
// [any thread] Caller owns. Null when the folder does not exist. A bundle whose Info.plist is missing or
// damaged has an empty info dictionary and no identifier.
CF_EXPORT CFBundleRef CFBundleCreate(CFAllocatorRef allocator, CFURLRef bundleURL);
// [any thread] Not owned. The folder the host set (ZQCFSetMainBundlePath); unset: a bundle without
// Info.plist whose identifier is null.
CF_EXPORT CFBundleRef CFBundleGetMainBundle(void);
// [any thread] Not owned. A live bundle (or the main bundle) with that identifier, or null.
CF_EXPORT CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID);

// Get rule: not owned; valid while the bundle lives.
CF_EXPORT CFStringRef CFBundleGetIdentifier(CFBundleRef bundle);
CF_EXPORT CFDictionaryRef CFBundleGetInfoDictionary(CFBundleRef bundle);
CF_EXPORT CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key);

// Copy rule: caller owns. Null when absent.
CF_EXPORT CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);
CF_EXPORT CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle);
CF_EXPORT CFURLRef CFBundleCopyExecutableURL(CFBundleRef bundle);
// Contents/Resources/[subDirName/]resourceName[.resourceType]; null when the file does not exist or a name
// would leave the Resources folder.
CF_EXPORT CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                           CFStringRef subDirName);

// [main thread] Loads Contents/MacOS/<CFBundleExecutable> (default: the folder name without extension)
// into the process. A loaded bundle holds one reference to itself, so it stays registered until
// CFBundleUnloadExecutable.
CF_EXPORT Boolean CFBundleLoadExecutable(CFBundleRef bundle);
CF_EXPORT Boolean CFBundleIsExecutableLoaded(CFBundleRef bundle);
CF_EXPORT void CFBundleUnloadExecutable(CFBundleRef bundle);
// Loads the executable if needed; null when the name is not exported.
CF_EXPORT void* CFBundleGetFunctionPointerForName(CFBundleRef bundle, CFStringRef functionName);

CF_EXTERN_C_END
