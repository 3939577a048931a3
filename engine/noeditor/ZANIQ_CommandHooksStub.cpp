// ZANIQ — editor hooks of the commands and the idle work for builds without the product's editor: no message box
// is shown, no snapshot mark is set, no popup menu holds a rescale back and no preset menu holds a path. The
// product links the real ones from ui/.

#include "engine/ZANIQ.h"

void ZANIQ::ShowEditorMessageBox(const char* text, const char* caption)
{
  (void)text;
  (void)caption;
}

void ZANIQ::SetSnapshotUsedMark(int snapshot, bool used)
{
  (void)snapshot;
  (void)used;
}

bool ZANIQ::IsPopupMenuShowing() const
{
  return false;
}

bool ZANIQ::GetPresetMenuPath(Util_String& path) const
{
  (void)path;
  return false;
}
