// ZANIQ — the idle tick's engine work (latency report, rescale, update check, info page, update icon, meters),
// the info page's text and the update check's glue to the editor.

#include "engine/UpdateCheck.h"
#include "engine/ZANIQ.h"

#include "controls/IControl.h"
#include "graphics/IGraphics.h"

#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <locale.h>

using namespace plugin;
using plugin::igraphics::IControl;
using plugin::igraphics::IGraphics;

// ---------------------------------------------------------------------------------------------------------------
// Idle tick
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::OnIdle()
{
  // A unit the host has let go of tells it nothing more and starts nothing new. The host may dispose of it, or
  // close the editor, inside any step that runs a modal loop (the boxes below): the next step asks again, and a
  // request left waiting is the next editor's.
  const auto mayGoOn = [this] { return !IsDisposing() && IsUIOpen(); };
  if (IsDisposing()) return;

  // Pro Tools hears of latency changes from the audio thread.
  if (GetHost() != kHostProTools)
  {
    const int target = GetTargetLatency();
    if (GetLatency() != target) ReportLatency(*this, target);
  }

  // Editor work handed over from other threads; without an editor each hook does nothing.
  RunDeferredEditorWork();

  if (!mayGoOn()) return;
  ApplyPendingRescale();
  if (!mayGoOn()) return;
  RunAutomaticUpdateCheck();
  if (mInfoPageRequest.exchange(false)) BuildInfoText();

  // Gone while the About box was up: no network request, no second box.
  if (!mayGoOn()) return;
  if (mUpdateMessageRequest.exchange(false))
  {
    char name[256];
    char version[32];
    UpdateCheck::MapProductNameForUpdate(GetPluginName(), name, sizeof name);
    GetVersionText(version, sizeof version);
    UpdateCheck::SetUpdateAvailable(ShowUpdateCheckResult(name, version));
  }

  if (!mayGoOn()) return;
  UpdateIconFromResult();

  if (mMeterRefresh.exchange(false)) UpdateMeterDisplays();
}

void ZANIQ::ApplyPendingRescale()
{
  IGraphics* ui = GetUI();
  // While a menu is showing the size must not change under it; the next tick tries again.
  if (!ui || !IsRescalePending() || IsPopupMenuShowing()) return;
  mRescalePending.store(false);
  ui->Resize(kEditorBaseWidth, kEditorBaseHeight, static_cast<float>(GetMirror(kGUIScale)), true);
}

void ZANIQ::RunAutomaticUpdateCheck()
{
  if (GetMirrorInt(kOnlineUpdateCheck) < 1 || UpdateCheck::WasChecked()) return;
  UpdateCheck::SetChecked(true);
  UpdateCheck::SetUpdateAvailable(RunUpdateQuery());
}

void ZANIQ::UpdateIconFromResult()
{
  IGraphics* ui = GetUI();
  IControl* icon = ui ? ui->GetControl(mEditorPositions.updateIcon) : nullptr;
  if (!icon) return;
  const bool available = UpdateCheck::IsUpdateAvailable();
  const double value = icon->GetValue();
  if (value == 0.0 && available)
    icon->SetValue(1.0);
  else if (value == 1.0 && !available)
    icon->SetValue(0.0);
  else
    return;
  icon->SetDirty(true);
}

// ---------------------------------------------------------------------------------------------------------------
// Update check
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::GetVersionText(char* out, size_t size) const
{
  if (!out || size == 0) return;
  const int v = GetPluginVersion(false);
  std::snprintf(out, size, "%d.%d.%d", (v >> 16) & 0xFFFF, (v >> 8) & 0xFF, v & 0xFF);
}

bool ZANIQ::RunUpdateQuery()
{
  char name[256];
  char version[32];
  char url[UpdateCheck::kURLSize];
  UpdateCheck::MapProductNameForUpdate(GetPluginName(), name, sizeof name);
  GetVersionText(version, sizeof version);
  mUpdateStatus = -1;
  mUpdateErrorText[0] = 0;
  if (!UpdateCheck::BuildURL(name, url, sizeof url)) return false;
  return UpdateCheck::HttpGetVersion(version, url, mUpdateErrorText, sizeof mUpdateErrorText, mUpdateStatus) ==
         kUpdateNewer;
}

bool ZANIQ::ShowUpdateCheckResult(const char* productName, const char* ownVersion)
{
  char url[UpdateCheck::kURLSize];
  mUpdateStatus = -1;
  mUpdateErrorText[0] = 0;
  // A host setting that leaves no room for the URL is a service that cannot be reached.
  const int result = UpdateCheck::BuildURL(productName, url, sizeof url)
                       ? UpdateCheck::HttpGetVersion(ownVersion, url, mUpdateErrorText, sizeof mUpdateErrorText,
                                                     mUpdateStatus)
                       : kUpdateServiceFailed;
  ShowEditorMessageBox(UpdateCheck::ResultText(result), "Check for update");
  return result == kUpdateNewer;
}

// ---------------------------------------------------------------------------------------------------------------
// Info page
// ---------------------------------------------------------------------------------------------------------------

namespace
{

constexpr const char* kHostNames[] = {
  "Reaper", "Protools", "Cubase", "Nuendo", "Cakewalk", "Vegas", "FL Studio", "Samplitude", "Ableton Live",
  "Tracktion", "n-Track Studio", "Melodyne", "Vst-Scanner", "Aulab", "Forte", "Chainer", "Audition", "Orion",
  "Bias", "Sawstudio", "Logic Pro", "Garageband", "Digital Performer", "Standalone", "Audiomulch", "Studio One",
  "Vst3 Test Host", "Ardour", "Renoise", "OpenMPT", "Wavelab", "Wavelab Elements", "TwistedWave", "Bitwig Studio",
  "WWW", "Reason", "GoldWave", "Waveform", "Audacity", "Acoustica", "Plugindoctor", "Izotope RX", "Savihost",
  "Blue Cat's Vst Host", "Blue Cat's Vst3 Host", "Sadie", "SpectraLayers", "VSTHost", "VST Plugin Analyser",
  "Wavosaur", "Mixbus32C", "Kushview Element", "Juce VST Host", "NI Komplete Kontrol", "VST3Shell", "UAD Luna Mac",
  "AudioGridderServer", "VST Live", "Equalizer APO", "Architect", "Izotope VST3 Host", "Cantabile 3",
  "Plugin Buddy", "FinalCut", "DaVinci Resolve", "UAD Luna Win", "DDMF MetaPlugin",
};
static_assert(sizeof kHostNames / sizeof kHostNames[0] == 67);

// Appends printf-style text with numbers in the C locale, whatever locale the host set.
__attribute__((format(printf, 2, 3))) void AppendC(Util_String& text, const char* format, ...)
{
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  const locale_t previous = cLocale ? uselocale(cLocale) : static_cast<locale_t>(nullptr);
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (cLocale) uselocale(previous);
  text.Append(line);
}

} // namespace

const char* ZANIQ::GetHostDisplayName(int host)
{
  return host >= 1 && host <= 67 ? kHostNames[host - 1] : "Unknown";
}

void ZANIQ::GetInfoText(Util_String& text) const
{
  char version[32];
  GetVersionText(version, sizeof version);
  const double rate = GetSampleRate();
  const int latency = GetLatency();
  // Without a sample rate there is no duration to show.
  const double latencyMs = (std::isfinite(rate) && rate > 0.0) ? latency * 1000.0 / rate : 0.0;

  text.Set("");
  AppendC(text, "Manufacturer: %s\n", GetMfrName());
  AppendC(text, "Plugin name: %s\n", GetPluginName());
  AppendC(text, "Version: %s\n", version);
  AppendC(text, "Build date: %s\n", __DATE__);
  AppendC(text, "Build time: %s\n", __TIME__);
  AppendC(text, "\n");
  AppendC(text, "Format: %s %s (INTEL, VR, METAL)\n", GetAPIStr(), GetArchStr());
  AppendC(text, "Host: %s\n", GetHostDisplayName(GetHost()));
  AppendC(text, "Channels: %d-%d (%d-%d)\n", NChannelsConnected(kInput), NChannelsConnected(kOutput),
          NChannels(kInput), NChannels(kOutput));
  AppendC(text, "Plugin delay: %d smp (%.1lf ms)\n", latency, latencyMs);
  AppendC(text, "Sample Rate: %.2lf Hz\n", rate);
  AppendC(text, "Block Size: %d smp\n", GetBlockSize());
  AppendC(text, "\n");
  AppendC(text, "Trademarks:\n");
  AppendC(text, "VST/VST3: Steinberg Media Technologies GmbH\n");
  AppendC(text, "AAX: Avid Technology Inc.\n");
  AppendC(text, "AU: Apple Inc.\n");
}

void ZANIQ::BuildInfoText()
{
  Util_String text;
  GetInfoText(text);
  ShowEditorMessageBox(text.Get(), "About");
}
