#include <CoreServices/CoreServices.h>

// The stand-in system reports one fixed release.
OSErr Gestalt(OSType selector, SInt32* response)
{
  if (!response) return paramErr;
  switch (selector)
  {
  case gestaltSystemVersion:
    *response = 0x1099;
    return noErr; // 10.15.7, minor and bug-fix capped at 9
  case gestaltSystemVersionMajor:
    *response = 10;
    return noErr;
  case gestaltSystemVersionMinor:
    *response = 15;
    return noErr;
  case gestaltSystemVersionBugFix:
    *response = 7;
    return noErr;
  default:
    return gestaltUndefSelectorErr;
  }
}
