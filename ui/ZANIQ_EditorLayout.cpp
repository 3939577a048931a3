// ZANIQ — editor creation: the two functions the delegate runs when the host opens the editor (make the graphics
// context, lay out the controls) and the control inventory in attachment order. The order is the drawing order
// (later controls draw over earlier ones) and, backwards, the hit-test order.

#include "engine/ZANIQ.h"

#include "graphics/IGraphics.h"
#include "ui/IBControlsQN.h"
#include "ui/IBInfoMenuQN.h"
#include "ui/IBPopupMenuQN.h"
#include "ui/IBUpdateControlQN.h"
#include "ui/IBValueControlsQN.h"

#if __has_include("platform/mac/IGraphicsMac.h")
#include "platform/mac/IGraphicsMac.h"
#define ZANIQ_HAS_MAC_VIEW 1
#endif


using namespace plugin::igraphics;

namespace
{

constexpr int kEditorFPS = 60;
constexpr const char* kSharedResourcesSubPath = "ZANIQ";
// The maker's site; the product's changelog page lies under it.
constexpr const char* kMakerSite = "https://www.quenlar.com";

const IColor kTextColor(255, 212, 212, 212);
const IColor kHighlight(16, 255, 255, 255);

// Text styles of the layout.
const IText kValueStyle(14.f, kTextColor, "Verdana Bold", kAlignCenter, kVAlignMiddle, 0.f, COLOR_WHITE, COLOR_BLACK);
const IText kKnobStyle(16.f, kTextColor, "Verdana Bold", kAlignCenter, kVAlignMiddle, 0.f, COLOR_WHITE, COLOR_BLACK);
const IText kReadoutStyle(21.f, kTextColor, "Verdana Bold", kAlignFar, kVAlignMiddle, 0.f, COLOR_WHITE, COLOR_BLACK);

// One frame of bitmap placed with its top-left corner at (x, y).
IRECT FrameAt(const IBitmap& bitmap, float x, float y)
{
  return IRECT(x, y, x + static_cast<float>(bitmap.FrameWidth()), y + static_cast<float>(bitmap.FrameHeight()));
}

// Attaches control with tag and tooltip; returns its list position, or -1 when the context refused it (the control
// is then deleted here, since nobody else owns it).
int Attach(IGraphics& g, IControl* control, int tag = -1, const char* tooltip = nullptr)
{
  if (!g.AttachControl(control, tag, ""))
  {
    delete control;
    return -1;
  }
  if (tooltip) control->SetTooltip(tooltip);
  return g.NControls() - 1;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// The delegate's two functions
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::InitPlugControls()
{
  SetMakeGraphicsFunc([this] { return CreateEditorGraphics(); });
  SetLayoutFunc([this](IGraphics* graphics) { LayoutControls(graphics); });
}

IGraphics* ZANIQ::CreateEditorGraphics()
{
#ifdef ZANIQ_HAS_MAC_VIEW
  auto* graphics = new IGraphicsMac(*this, kEditorBaseWidth, kEditorBaseHeight, kEditorFPS,
                                    static_cast<float>(GetParam(kGUIScale)->Value()));
  // Resources are looked up by bundle identifier, which compares exactly: the context takes the identifier the
  // component's Info.plist carries (the plug-in's own), not a spelling of it in another case, or the editor would
  // open without its artwork and fonts.
  graphics->SetBundleID(GetBundleID());
  graphics->SetSharedResourcesSubPath(kSharedResourcesSubPath);
  return graphics;
#else
  (void)kEditorFPS;
  (void)kSharedResourcesSubPath;
  return nullptr;
#endif
}

// ---------------------------------------------------------------------------------------------------------------
// Layout
// ---------------------------------------------------------------------------------------------------------------

void ZANIQ::LayoutControls(IGraphics* graphics)
{
  if (!graphics) return;
  if (!graphics->GetDrawContextReady())
  {
    SetHasUI(false);
    return;
  }
  // After a resize the context asks again; the controls built the first time stay and are scaled.
  if (graphics->NControls() > 0) return;
  IGraphics& g = *graphics;

  g.LoadFont("Roboto-Regular", "Roboto-Regular.ttf");
  g.LoadFont("Verdana Normal", "verdana.ttf");
  g.LoadFont("Verdana Bold", "verdanab.ttf");
  g.AttachTextEntryControl();
  g.EnableMultiTouch(false);
  g.EnableMouseOver(true);

  auto bitmap = [&g](const char* name, int frames) { return g.LoadBitmap(name, frames, false); };
  auto remember = [this](EEditorControl which, int position) { mEditorIndex[size_t(which)] = position; };
  auto follower = [&g](int param) { Attach(g, new IVParameterControlHiddenQN(IRECT(), param)); };

  // 1. Parameter followers: invisible, bound, never hit.
  for (int p : {kGUIScale, kToggleTooltips, kOnlineUpdateCheck, kDisableStorageGainDiff}) follower(p);

  // 2. Corner resizer (outside the control list) and the scale limits.
  {
    const plugin::IParam* scale = GetParam(kGUIScale);
    g.AttachCornerResizer(new IBCornerResizerControlQN(g.GetBounds(), bitmap("button_resize.png", 2), -1, -1, 56, 57),
                          EUIResizerMode::Scale, true);
    g.SetScaleConstraints(static_cast<float>(scale->GetMin()), static_cast<float>(scale->GetMax()));
  }

  // 3. Backgrounds, help, link LEDs and the top row.
  remember(kCtlSenderBackground, Attach(g, new IBBitmapControlQN(0, 0, bitmap("background1.png", 1))));
  remember(kCtlReceiverBackground, Attach(g, new IBBitmapControlQN(0, 0, bitmap("background2.png", 1))));
  remember(kCtlSimpleBackgroundPost, Attach(g, new IBBitmapControlQN(0, 101, bitmap("bg_easy_post.png", 1))));
  remember(kCtlSimpleBackgroundPre, Attach(g, new IBBitmapControlQN(0, 101, bitmap("bg_easy_pre.png", 1))));
  remember(kCtlQuickHelp,
           Attach(g, new IVClickControlHiddenQN(IRECT(160, 320, 264, 352), 59), -1, "Click for quick help"));
  {
    auto* help = new IBClickButtonControlQN(12, 114, bitmap("help_page.png", 1), 60, true, false, kHighlight);
    help->SetMouseDblAsSingleClick(true);
    help->Hide(true); // until the quick-help area asks for it
    remember(kCtlHelpPage, Attach(g, help, -1, "Click to close"));
  }
  remember(kCtlSenderLED, Attach(g, new IBBitmapControlQN(186, 51, bitmap("transmitter_led.png", 2)), -1,
                                 "Active LED: lights if link is active"));
  {
    const IBitmap led = bitmap("receiver_led.png", 2);
    mEditorPlaces.receiverLED = {FrameAt(led, 10, 275), FrameAt(led, 8, 560)};
    remember(kCtlReceiverLED,
             Attach(g, new IBBitmapControlQN(10, 275, led), -1, "Active LED: lights if link is active"));
  }
  Attach(g,
         new IBPopupMenuQN(2, 62, kPluginMode, bitmap("selector_plugin_mode.png", 2), false, nullptr, false, false),
         -1, "Plugin mode: sender/receiver");
  {
    auto* selector = new IBPopupMenuQNSpecial(73, 62, kLinkID, bitmap("simple_parameter1.png", 1), kValueStyle,
                                              mSenderPresent.data(), mReceiverPresent.data(), kNumLinkSlots, 65);
    mLinkIDSelector = Attach(g, selector, -1, "Link ID") >= 0 ? selector : nullptr;
  }
  remember(kCtlAutoLink, Attach(g, new IBPushControlQN(106, 40, bitmap("autolink_button.png", 2), kAutoSetLinkID), -1,
                                "Auto link sender/receiver ID"));
  remember(kCtlLatencyField,
           Attach(g, new IBParameterControlQN(118, 62, kLatencyCompensation, bitmap("simple_parameter.png", 1),
                                              kValueStyle),
                  -1, "Latency (smp): click to change"));
  remember(kCtlPDCSwitch, Attach(g, new IBSwitchControlExtraQN(189, 62, bitmap("pdc.png", 2), true, false, kHighlight, 61),
                                 -1, "PDC: start/stop automatic latency measurement"));
  Attach(g, new IBParameterControlQN(215, 62, kRMSWindow, bitmap("simple_parameter2.png", 1), kValueStyle), -1,
         "RMS window (ms): click to change");
  Attach(g, new IBPopupMenuQN(273, 62, kMeterMode, bitmap("selector_rms_mode.png", 6), false, nullptr, false, false),
         -1, "Metering mode: RMS Sum, RMS avg, EBU SL, EBU ML, VU, max peak");
  Attach(g, new IBSwitchControlQN(329, 48, bitmap("overenable.png", 2), kEnableOverProtection), -1,
         "Enable over protection");
  Attach(g, new IBParameterControlQN(367, 62, kOverProtectionLevel, bitmap("simple_parameter2.png", 1), kValueStyle),
         -1, "Over protection level");
  remember(kCtlOverLED, Attach(g, new IBBitmapControlQN(368, 86, bitmap("overled.png", 2)), -1, "LED indicates overs"));

  // 4. Matching, monitoring and snapshots.
  remember(kCtlReferenceField,
           Attach(g, new IBParameterControlQN(16, 141, kReferenceLevel, bitmap("simple_parameter3.png", 1), kValueStyle),
                  -1, "Reference level (dbFS): pre-FX"));
  remember(kCtlDriveKnob,
           Attach(g,
                  new IBKnobMultiControlQN(95, 279, kDriveFX, bitmap("drive_source_gain.png", 51), kKnobStyle,
                                           IColor(128, 14, 13, 12), 5, kVertical, false, true, false, 1, true, false,
                                           4.0, 0.f),
                  kTagDriveKnob, "Drive FX (dB): gain fed into FX chain"));
  remember(kCtlDriveReadout,
           Attach(g, new IVParameterControlQN(IRECT(182, 134, 244, 171), kDriveFX, kReadoutStyle, kVertical, false, false,
                                              4.0),
                  kTagDriveValue, "Drive FX (dB): gain fed into FX chain"));
  static constexpr const char* kPrePostTip = "Pre/post FX: click to toggle pre-FX and post-FX signal";
  remember(kCtlPrePostExpert,
           Attach(g, new IBSwitchControlQN(227, 279, bitmap("ab.png", 2), kPrePostFX), kTagPrePost1, kPrePostTip));
  remember(kCtlPrePostSimple,
           Attach(g, new IBSwitchControlQN(22, 303, bitmap("ab1.png", 2), kPrePostFX), kTagPrePost2, kPrePostTip));
  {
    const IBitmap manual = bitmap("m_manual.png", 2);
    const IBitmap automatic = bitmap("m_auto.png", 2);
    const IBitmap gainStage = bitmap("m_gstg.png", 2);
    auto& expert = mEditorPlaces.matchButtons[0];
    auto& simple = mEditorPlaces.matchButtons[1];
    expert = {FrameAt(manual, 114, 488), FrameAt(automatic, 189, 488), FrameAt(gainStage, 264, 488)};
    simple = {FrameAt(manual, 224, 568), FrameAt(automatic, 268, 568), FrameAt(gainStage, 312, 568)};
    const IRECT bounds = expert[0].Union(expert[1]).Union(expert[2]);
    remember(kCtlMatchMode, Attach(g,
                                   new IBRadioButtonsControl3(bounds, kMatchMode, expert[0], manual, expert[1], automatic,
                                                              expert[2], gainStage, false),
                                   kTagMatchMode, "Match mode: manual/auto/gain stage"));
  }
  remember(kCtlInverse, Attach(g, new IBSwitchControlQN(339, 488, bitmap("m_inv.png", 2), kInverseMatch), -1,
                               "Inverse match: match pre-FX loudness with post-FX loudness (if pre-FX monitoring is "
                               "enabled)"));
  {
    const IBitmap delta = bitmap("deltamonitor.png", 2);
    mEditorPlaces.delta = {FrameAt(delta, 365, 275), FrameAt(delta, 104, 560)};
    remember(kCtlDelta, Attach(g, new IBSwitchControlQN(365, 275, delta, kDeltaMonitor), kTagDeltaMonitor,
                               "Delta monitoring: click to enable"));
  }
  remember(kCtlConfigSwitch,
           Attach(g, new IBSwitchControlQN(365, 337, bitmap("setup_button.png", 2), kShowConfigPage), -1, "Config Page"));
  Attach(g, new IBSwitchControlQN(393, 555, bitmap("guimode.png", 2), kGUIMode), -1, "Toggle simple/expert GUI");
  {
    const IBitmap s1 = bitmap("ss1.png", 3), s2 = bitmap("ss2.png", 3), s3 = bitmap("ss3.png", 3),
                  s4 = bitmap("ss4.png", 3);
    const IRECT r1 = FrameAt(s1, 120, 552), r2 = FrameAt(s2, 160, 552), r3 = FrameAt(s3, 200, 552),
                r4 = FrameAt(s4, 240, 552);
    remember(kCtlSnapshots,
             Attach(g,
                    new IBRadioButtonsControl4Special(r1.Union(r2).Union(r3).Union(r4), kSnapShot, r1, s1, r2, s2, r3,
                                                      s3, r4, s4, false, 64),
                    -1, "Store/recall 4 snapshots"));
  }
  auto clickButton = [&](float x, float y, const char* name, int cmd, const char* tip) {
    auto* button = new IBClickButtonControlQN(x, y, bitmap(name, 2), cmd, true, false, kHighlight);
    button->SetMouseDblAsSingleClick(true);
    return Attach(g, button, -1, tip);
  };
  remember(kCtlClear, clickButton(329, 552, "clr_button.png", 62, "Clear current snapshot"));
  remember(kCtlStore, clickButton(277, 552, "sto_button.png", 63, "Store current snapshot"));
  {
    const IBitmap active = bitmap("active.png", 2);
    mEditorPlaces.active = {FrameAt(active, 10, 337), FrameAt(active, 56, 560)};
    remember(kCtlActive,
             Attach(g, new IBSwitchControlQN(10, 337, active, kActive), kTagActive, "Activate/deactivate ZANI pair"));
  }
  auto push = [&](float x, float y, const char* name, int param, int tag, const char* tip) {
    return Attach(g, new IBPushControlQN(x, y, bitmap(name, 2), param), tag, tip);
  };
  remember(kCtlResetPreLevels, push(371, 201, "reset_button.png", kResetSenderRMS, kTagResetSenderRMS,
                                    "Reset pre-FX cur/max levels"));
  remember(kCtlResetPreDiff, push(371, 121, "reset_button.png", kResetPreGainDiff, kTagResetPreGainDiff,
                                  "Reset pre-FX diff/gain values"));
  remember(kCtlMatchPre, push(275, 119, "balance_button.png", kMatchPreFXDiffGain, kTagMatchPreFX,
                              "Match pre-FX diff/gain values"));
  remember(kCtlResetPostDiff, push(371, 422, "reset_button.png", kResetGainDiff, kTagResetGainDiff,
                                   "Reset post-FX diff/gain values"));
  remember(kCtlMatchPost, push(275, 422, "balance_button.png", kMatchPostFXDiffGain, kTagMatchPostFX,
                               "Match post-FX diff/gain values"));
  remember(kCtlSimpleReset, push(377, 475, "reset_button.png", kReset2, kTagReset2, "Reset"));
  remember(kCtlSimpleMatch, push(287, 473, "balance_button.png", kMatchLoudness, kTagMatchLoudness, "Match loudness"));

  // 5. More parameter followers: the stored post gains and the four snapshots.
  follower(kPreGainDiffStore);
  follower(kGainDiffStore);
  for (int p = kStoreSetFlag0; p < kDeltaMonitor; ++p) follower(p);

  // 6. Read-outs: written by UpdateMeterDisplays, transparent to the mouse.
  auto readoutAt = [&](const IRECT& r, const char* tip) {
    auto* text = new IVTextControlQN(r, "---", kReadoutStyle, COLOR_TRANSPARENT, false);
    text->SetIgnoreMouse(true);
    return Attach(g, text, -1, tip);
  };
  const IRECT preCurrent(100, 209, 162, 246), postDiff(100, 429, 162, 466), postGain(190, 429, 252, 466);
  mEditorPlaces.preCurrent = {preCurrent, IRECT(297, 220, 359, 257)};
  mEditorPlaces.postDiff = {postDiff, IRECT(297, 390, 359, 427)};
  mEditorPlaces.postGain = {postGain, IRECT(182, 475, 244, 512)};
  remember(kCtlPreDiffReadout, readoutAt(IRECT(100, 129, 162, 166), "Pre-FX diff level"));
  remember(kCtlPreGainReadout, readoutAt(IRECT(190, 129, 252, 166), "Pre-FX gain level"));
  remember(kCtlPreCurrentReadout, readoutAt(preCurrent, "Pre-FX current loudness"));
  remember(kCtlPreMaxReadout, readoutAt(IRECT(190, 209, 252, 246), "Pre-FX max loudness"));
  remember(kCtlPostDiffReadout, readoutAt(postDiff, "Post-FX diff level"));
  remember(kCtlPostGainReadout, readoutAt(postGain, "Post-FX gain level"));

  // 7. Config page, top bar and update indicator.
  remember(kCtlConfigBackground,
           Attach(g, new IBBitmapControlQN(0, 98, bitmap("ovl_threshold.png", 1)), -1, "Config Page"));
  auto field = [&](const IRECT& r, int param, const char* tip) {
    return Attach(g, new IVParameterControlQN(r, param, kReadoutStyle, kVertical, false, false, 4.0), -1, tip);
  };
  remember(kCtlMinAutoGain, field(IRECT(33, 214, 101, 238), kMinAutoGain, "Min Auto Gain"));
  remember(kCtlMaxAutoGain, field(IRECT(129, 214, 197, 238), kMaxAutoGain, "Max Auto Gain"));
  remember(kCtlAutoGainTolerance, field(IRECT(305, 214, 373, 238), kAutoGainTolerance, "GAuto Gain Tolerance"));
  Attach(g, new IVClickControlHiddenQN(IRECT(269, 6, 389, 30), 49), 0);
  {
    Util_String changelog;
    IBInfoMenuQN::ChangelogAddress(kMakerSite, changelog);
    std::vector<plugin::IParam*> extraParams;
    if (plugin::IParam* fixedScale = GetExtraParam(0)) extraParams.push_back(fixedScale);
    Attach(g,
           new IBInfoMenuQN(this, 4, 7, bitmap("pluginmenu.png", 2), 47, 48, GetDataFolder().Get(), changelog.Get(),
                            kToggleTooltips, kOnlineUpdateCheck, -1, -1, 57, 58, {kDisableStorageGainDiff}, {52},
                            {"Save to default"}, extraParams, GetExtraParamsCommandBase()),
           1, "Plugin info and options");
  }
  remember(kCtlUpdateIcon, Attach(g, new IBUpdateControlQN(407, 7, bitmap("iconupdateavailable.png", 2), 48)));

  // The positions the engine's commands reach.
  EditorControlPositions positions;
  positions.helpPage = mEditorIndex[kCtlHelpPage];
  positions.backgrounds = {mEditorIndex[kCtlSenderBackground], mEditorIndex[kCtlReceiverBackground],
                           mEditorIndex[kCtlSimpleBackgroundPost]};
  positions.latencyButton = mEditorIndex[kCtlPDCSwitch];
  positions.snapshotSelector = mEditorIndex[kCtlSnapshots];
  positions.updateIcon = mEditorIndex[kCtlUpdateIcon];
  SetEditorControlPositions(positions);

  // Presence marks as the registry has them now; later changes arrive through command 65.
  RefreshLinkPresence();
  SetLinkMenuMode(GetPluginMode());
  mLayoutDone = true;
  UpdateControlLayout();
  // An editor opened while a latency measurement runs starts as locked as the one that started it, its switch on;
  // the end of the measurement unlocks it as usual.
  if (IsMeasurementRunning())
  {
    SetEditorControlValue(mEditorPositions.latencyButton, 1.0);
    EnableModeControls(true);
  }
}
