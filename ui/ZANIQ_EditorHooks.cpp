// ZANIQ — the editor hooks the engine's commands and idle work call: the Link-ID selector's role, the modifiers
// of the last press on a tagged control, the message box, the snapshot marks, the popup-menu state and the
// preset menu's path.

#include "engine/ZANIQ.h"

#include "controls/IControl.h"
#include "graphics/IGraphics.h"
#include "ui/IBControlsQN.h"
#include "ui/IBPopupMenuQN.h"
#include "ui/IBPresetMenuQN.h"
#include "ui/IBValueControlsQN.h"

using namespace plugin::igraphics;

void ZANIQ::SetLinkMenuMode(int mode)
{
  if (!OnMainThread())
  {
    RequestEditorWork(kEditorLinkMenuMode);
    return;
  }
  // The pointer is cleared when the editor closes; the list check keeps a stale one from being followed even if
  // a context went away some other way.
  IGraphics* ui = GetUI();
  if (!mLinkIDSelector || !ui || ui->GetControlIdx(mLinkIDSelector) < 0) return;
  if (auto* selector = dynamic_cast<IBPopupMenuQNSpecial*>(mLinkIDSelector))
  {
    selector->SetOwnRole(mode == kLinkSender ? 0 : 1);
    selector->SetDirty(false);
  }
}

namespace
{

template <class T> const IMouseMod* StoredMod(const IControl* control)
{
  const auto* c = dynamic_cast<const T*>(control);
  return c ? &c->GetStoredMod() : nullptr;
}

} // namespace

bool ZANIQ::GetControlPress(int tag, EPressControl kind, ControlPress& press) const
{
  // The stored modifiers belong to the editor's thread; a change arriving on another thread was no press here.
  IGraphics* ui = GetUI();
  if (!OnMainThread() || !IsUIOpen() || !ui) return false;
  const IControl* control = ui->GetControlWithTag(tag);
  if (!control) return false;
  const IMouseMod* mod = nullptr;
  switch (kind)
  {
    case EPressControl::SwitchQN: mod = StoredMod<IBSwitchControlQN>(control); break;
    case EPressControl::KnobMultiQN: mod = StoredMod<IBKnobMultiControlQN>(control); break;
    case EPressControl::VParameterQN: mod = StoredMod<IVParameterControlQN>(control); break;
    case EPressControl::RadioButtons3: mod = StoredMod<IBRadioButtonsControl3>(control); break;
    case EPressControl::PushQN: mod = StoredMod<IBPushControlQN>(control); break;
  }
  if (!mod) return false;
  press.alt = mod->A;
  press.control = mod->C;
  return true;
}

void ZANIQ::ShowEditorMessageBox(const char* text, const char* caption)
{
  IGraphics* ui = GetUI();
  // No new box for a unit the host is letting go of.
  if (!ui || !OnMainThread() || IsDisposing()) return;
  (void)ui->ShowMessageBox(text ? text : "", caption ? caption : "", kMB_OK, nullptr);
}

void ZANIQ::SetSnapshotUsedMark(int snapshot, bool used)
{
  if (snapshot < 0 || snapshot >= kNumSnapshots || !OnMainThread()) return;
  if (auto* selector = dynamic_cast<IBRadioButtonsControl4Special*>(GetEditorControl(kCtlSnapshots)))
    selector->SetFilled(snapshot, used);
}

bool ZANIQ::IsPopupMenuShowing() const
{
  const IGraphics* ui = GetUI();
  return ui && ui->GetControlInPopupMenu() != nullptr;
}

bool ZANIQ::GetPresetMenuPath(Util_String& path) const
{
  // The product's own layout places no preset menu; an editor that does registers it under its tag.
  IGraphics* ui = GetUI();
  if (!ui || !OnMainThread()) return false;
  const auto* menu = dynamic_cast<const IBPresetMenuQN*>(ui->GetControlWithTag(kTagPresetMenu));
  if (!menu || !menu->GetPath()[0]) return false;
  path.Set(menu->GetPath());
  return true;
}
