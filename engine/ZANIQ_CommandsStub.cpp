// ZANIQ — editor commands, idle work and the default preset, until they are written: commands do nothing but
// the common tail, the idle tick runs the deferred editor work, and no preset file is read. The command, idle
// and preset code replaces this file.

#include "engine/ZANIQ.h"

void ZANIQ::HandleCommand(int code)
{
  (void)code;
}

void ZANIQ::OnIdle()
{
  RunDeferredEditorWork();
}

bool ZANIQ::LoadDefaultPreset(const Util_String& presetFolder)
{
  (void)presetFolder;
  return false;
}
