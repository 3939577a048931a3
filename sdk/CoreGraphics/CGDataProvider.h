// CoreGraphics data providers (CGDataProvider): a source of bytes, read from a file or lent by the caller.
#pragma once

#include <CoreGraphics/CGBase.h>

typedef struct CGDataProvider* CGDataProviderRef;

// Called once when a provider made by CGDataProviderCreateWithData goes away, with the arguments it was made with.
typedef void (*CGDataProviderReleaseDataCallback)(void* info, const void* data, size_t size);

CF_EXTERN_C_BEGIN

CF_EXPORT CFTypeID CGDataProviderGetTypeID(void);
// [any thread] Reads the file of a file URL. Null for a null URL, a missing or unreadable file or a folder.
CF_EXPORT CGDataProviderRef CGDataProviderCreateWithURL(CFURLRef url);
// [any thread] Lends size bytes at data without copying them; releaseData (may be null) is called when the
// provider is freed. Null for null data with size > 0 (releaseData is then not called).
CF_EXPORT CGDataProviderRef CGDataProviderCreateWithData(void* info, const void* data, size_t size,
                                                         CGDataProviderReleaseDataCallback releaseData);
// A copy of the provider's bytes; caller owns. Null for a null provider.
CF_EXPORT CFDataRef CGDataProviderCopyData(CGDataProviderRef provider);
// Null-tolerant retain/release.
CF_EXPORT CGDataProviderRef CGDataProviderRetain(CGDataProviderRef provider);
CF_EXPORT void CGDataProviderRelease(CGDataProviderRef provider);

CF_EXTERN_C_END
