// ZANIQ — editor commands 46 to 68: info-page and update-message requests, preset files, GUI scale, help page,
// latency measurement, the four snapshots and the Link-ID presence marks.

#include "engine/ZANIQ.h"

#include "controls/IControl.h"
#include "graphics/IGraphics.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace plugin;
using plugin::igraphics::IControl;
using plugin::igraphics::IGraphics;

// ---------------------------------------------------------------------------------------------------------------
// Dispatch
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::HandleCommand(int code)
{
  IGraphics* ui = GetUI();
  switch (code)
  {
    case 47: // info page, shown by the idle work
      if (ui && !mInfoPageRequest.load()) mInfoPageRequest.store(true);
      break;

    case 48: // manual update check, run by the idle work
      if (ui && !mUpdateMessageRequest.load()) mUpdateMessageRequest.store(true);
      break;

    case 50:
      if (ui) LoadPresetFromMenu();
      break;

    case 51:
      if (ui) SavePresetFromMenu();
      break;

    case 52:
      if (ui) (void)SaveDefaultPresetFile(*this, GetPresetFolder(), false, false, nullptr);
      break;

    case 53:
      if (ui) RebuildPresetList();
      break;

    case 56: // keep the editor's current scale
      if (ui) SetGUIScaleFromCommand(ui->GetDrawScale(), false);
      break;

    case 57:
      SetGUIScaleFromCommand(1.0, true);
      break;

    case 58:
      SetGUIScaleFromCommand(GetParam(kGUIScale)->GetMin(), true);
      break;

    case 59:
    case 60:
      ShowHelpPage(code == 59);
      break;

    case 61:
    {
      const bool starting = !IsMeasurementRunning();
      ToggleLatencyMeasurement();
      SetEditorControlValue(mEditorPositions.latencyButton, starting ? 1.0 : 0.0);
      break;
    }

    case 62:
      ClearSnapshot();
      break;

    case 63:
      StoreSnapshot();
      break;

    case 64:
      RecallSnapshot();
      break;

    case 65:
      RefreshLinkPresence();
      SetLinkMenuMode(GetPluginMode());
      break;

    case 66:
      SetGUIScaleFromCommand(FixedGUIScale(), true);
      break;

    default: // 46, 49, 54, 55, 67, 68: nothing beyond the common tail
      break;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// GUI scale
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::SetGUIScaleFromCommand(double scale, bool rescale)
{
  SetMirror(kGUIScale, scale);
  PublishParamFromProcessor(kGUIScale, scale, false);
  if (rescale) mRescalePending.store(true);
}

double ZANIQ::FixedGUIScale() const
{
  static constexpr double kSteps[] = {0.75, 1.0, 1.25, 1.5, 1.75, 2.0, 2.25, 2.5, 2.75};
  const IParam* scale = GetParam(kGUIScale);
  const IParam* fixed = GetExtraParam(0);
  const int i = fixed ? static_cast<int>(fixed->Value()) : -1;
  if (i == 0) return scale->GetMin();
  if (i >= 1 && i <= 9) return kSteps[i - 1];
  if (i == 10) return scale->GetMax();
  return scale->GetDefault();
}

// ---------------------------------------------------------------------------------------------------------------
// Editor controls reached by list position
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::ShowHelpPage(bool show)
{
  IGraphics* ui = GetUI();
  if (!ui) return;
  if (IControl* help = ui->GetControl(mEditorPositions.helpPage)) help->Hide(!show);
  for (int position : mEditorPositions.backgrounds)
    if (IControl* background = ui->GetControl(position)) background->SetDirty(false);
}

void ZANIQ::SetEditorControlValue(int position, double value)
{
  IGraphics* ui = GetUI();
  IControl* control = ui ? ui->GetControl(position) : nullptr;
  if (!control || control->GetValue() == value) return;
  control->SetValue(value);
  control->SetDirty(true);
}

// ---------------------------------------------------------------------------------------------------------------
// Snapshots: slot k is parameters 16 + 3k (set flag), 17 + 3k (post gain, dB) and 18 + 3k (drive, dB)
// ---------------------------------------------------------------------------------------------------------------

namespace
{

// The selected snapshot; the parameter keeps it inside 0..3, the guard keeps a stray mirror from addressing
// another parameter.
int CurrentSnapshot(const ZANIQ& plug)
{
  const int k = plug.GetMirrorInt(ZANIQ::kSnapShot);
  return (k >= 0 && k < ZANIQ::kNumSnapshots) ? k : -1;
}

} // namespace

void ZANIQ::ClearSnapshot()
{
  const int k = CurrentSnapshot(*this);
  if (k < 0) return;
  const int flag = kStoreSetFlag0 + 3 * k;
  SetMirror(flag, 0);
  SetMirror(flag + 1, 0.0);
  SetMirror(flag + 2, 0.0);
  if (GetParam(flag)->Value() != 0.0) PublishParamFromProcessor(flag, 0.0, false);
  PublishParamFromProcessor(flag + 1, 0.0, false);
  PublishParamFromProcessor(flag + 2, 0.0, false);
  SetSnapshotUsedMark(k, false);
}

void ZANIQ::StoreSnapshot()
{
  const int k = CurrentSnapshot(*this);
  if (k < 0) return;
  const int flag = kStoreSetFlag0 + 3 * k;
  const double postGain = GetMirror(kGainDiffStore);
  const double drive = GetMirror(kDriveFX);
  SetMirror(flag, 1);
  SetMirror(flag + 1, postGain);
  SetMirror(flag + 2, drive);
  if (GetParam(flag)->Value() != 1.0) PublishParamFromProcessor(flag, 1.0, false);
  PublishParamFromProcessor(flag + 1, postGain, false);
  PublishParamFromProcessor(flag + 2, drive, false);
  SetSnapshotUsedMark(k, true);
}

void ZANIQ::RecallSnapshot()
{
  const int k = CurrentSnapshot(*this);
  if (k < 0) return;
  const int flag = kStoreSetFlag0 + 3 * k;
  if (GetMirrorInt(flag) == 0) return;
  const double postGain = GetMirror(flag + 1);
  const double drive = GetMirror(flag + 2);
  SetMirror(kGainDiffStore, postGain);
  mMatchGain.store(DBToAmp(postGain), std::memory_order_relaxed);
  SetMirror(kDriveFX, drive);
  PublishParamFromProcessor(kGainDiffStore, postGain, false);
  PublishParamFromProcessor(kDriveFX, drive, false);
}

// ---------------------------------------------------------------------------------------------------------------
// Preset files
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::LoadPresetFromMenu()
{
  Util_String path;
  if (!GetPresetMenuPath(path) || path.GetLength() == 0) return;
  Util_String presetName;
  (void)LoadPresetFile(*this, path, presetName, false, false, false, false, nullptr);
}

void ZANIQ::SavePresetFromMenu()
{
  Util_String path;
  if (!GetPresetMenuPath(path) || path.GetLength() == 0) return;
  // The preset is named after the file: the part after the last "/" and before the last "." of that part.
  const char* p = path.Get();
  const char* slash = std::strrchr(p, '/');
  const char* start = slash ? slash + 1 : p;
  const char* dot = std::strrchr(start, '.');
  const int length = static_cast<int>(dot ? dot - start : std::strlen(start));
  char name[1024];
  std::snprintf(name, sizeof name, "%.*s", length, start);
  (void)WritePresetFile(*this, path, Util_String(name), false, false, nullptr);
}

void ZANIQ::RebuildPresetList()
{
  mPresetList.clear();
  const char* folder = GetDataFolder().Get();
  if (!*folder) return;

  dirent** entries = nullptr;
  const int n = scandir(folder, &entries, nullptr, alphasort);
  if (n < 0) return;
  if (n >= 2)
  {
    for (int i = 0; i < n; ++i)
    {
      const char* name = entries[i]->d_name;
      if (!std::strstr(name, ".tps")) continue;
      Util_String path(folder);
      path.Append("/");
      path.Append(name);
      // The entry type from the listing is not reliable on every file system; ask the file itself.
      struct stat st;
      if (stat(path.Get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
      Util_String presetName;
      if (!LoadPresetFile(*this, path, presetName, false, true, false, false, nullptr)) continue;
      auto preset = std::make_unique<IPreset>();
      LoadPresetFileIntoPreset(preset.get(), path, false);
      mPresetList.push_back(std::move(preset));
    }
  }
  for (int i = 0; i < n; ++i) std::free(entries[i]);
  std::free(entries);
}

const IPreset* ZANIQ::GetListedPreset(int idx) const
{
  return idx >= 0 && idx < NListedPresets() ? mPresetList[size_t(idx)].get() : nullptr;
}
