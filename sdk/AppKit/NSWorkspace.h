// NSWorkspace: opening URLs and files with other applications.
//
// Stand-in: nothing is launched. Every request is recorded for the kit (ZQAppKitWorkspaceRequests); the answer
// is the kit's setting, by default YES for a URL with a scheme other than file:, and for a file (or file URL)
// that exists.
#pragma once

#include <AppKit/NSGeometry.h>

class NSURL;

class NSWorkspace : public NSObject
{
public:
  // The shared workspace (never released).
  static NSWorkspace* sharedWorkspace();
  BOOL openURL(NSURL* url);
  BOOL openFile(NSString* path);
  // Reveals a file in the file viewer (rootFullPath may be nil or "").
  BOOL selectFile_inFileViewerRootedAtPath(NSString* fullPath, NSString* rootFullPath);

private:
  NSWorkspace() = default;
};
