// Inside the stand-in: the bridge that lets a Component Manager entry be driven as an Audio Unit instance.
#pragma once

#include <AudioToolbox/AUTesting.h>

namespace zqau
{

// [main thread] A new, not yet opened instance record for `entry`: its Open sends the open selector, its
// Close the close selector (then frees the record), and its Lookup hands out methods that pack their
// arguments into parameter blocks for `entry`. A failed Open frees the record.
AudioComponentPlugInInterface* NewEntryRecord(ZQAUComponentEntry entry);

// [thread of the selector] Sends `what` to the entry of an open record made by NewEntryRecord: word 0 is the
// record, `args` follow, the storage is the instance's.
OSStatus CallEntryRecord(AudioComponentInstance record, SInt16 what, const long* args, UInt32 argCount);

} // namespace zqau
