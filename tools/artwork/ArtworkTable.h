// The editor's bitmaps: name, size of one frame at 1x (points) and frame count. Frames are stacked vertically,
// so a bitmap is width × (height · frames) pixels at 1x and twice that in its "@2x" variant.
//
// These sizes are the editor's control sizes (a bitmap control spans one frame from its top-left corner), chosen
// so that every control fits its place in the 424 × 610 editor without covering a neighbour. Header only: the
// generator draws from it and the bundle test checks the built resources against it.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace zaniq::artwork
{

struct ArtworkEntry
{
  std::string_view name; // resource file name at 1x
  int width;             // one frame, points
  int height;            // one frame, points
  int frames;
};

inline constexpr int kEditorWidth = 424;
inline constexpr int kEditorHeight = 610;

inline constexpr std::array<ArtworkEntry, 40> kArtwork{{
    {"button_resize.png", 16, 16, 2},
    {"background1.png", 424, 610, 1},
    {"background2.png", 424, 610, 1},
    {"bg_easy_post.png", 424, 509, 1}, // placed at (0, 101): down to the editor's bottom edge
    {"bg_easy_pre.png", 424, 509, 1},
    {"help_page.png", 400, 470, 1}, // placed at (12, 114)
    {"transmitter_led.png", 12, 12, 2},
    {"receiver_led.png", 12, 12, 2},
    {"selector_plugin_mode.png", 66, 22, 2},
    {"simple_parameter1.png", 42, 22, 1},
    {"autolink_button.png", 24, 18, 2},
    {"simple_parameter.png", 66, 22, 1},
    {"pdc.png", 24, 22, 2},
    {"simple_parameter2.png", 54, 22, 1},
    {"selector_rms_mode.png", 54, 22, 6},
    {"overenable.png", 34, 36, 2},
    {"overled.png", 10, 10, 2},
    {"simple_parameter3.png", 66, 24, 1},
    {"drive_source_gain.png", 116, 116, 51},
    {"ab.png", 120, 34, 2},
    {"ab1.png", 130, 80, 2},
    {"m_manual.png", 42, 26, 2},
    {"m_auto.png", 42, 26, 2},
    {"m_gstg.png", 42, 26, 2},
    {"m_inv.png", 42, 26, 2},
    {"deltamonitor.png", 46, 26, 2},
    {"setup_button.png", 46, 26, 2},
    {"guimode.png", 28, 28, 2},
    {"ss1.png", 34, 26, 3},
    {"ss2.png", 34, 26, 3},
    {"ss3.png", 34, 26, 3},
    {"ss4.png", 34, 26, 3},
    {"clr_button.png", 46, 26, 2},
    {"sto_button.png", 46, 26, 2},
    {"active.png", 46, 26, 2},
    {"reset_button.png", 40, 30, 2},
    {"balance_button.png", 84, 30, 2},
    {"ovl_threshold.png", 424, 158, 1}, // placed at (0, 98): covers the pre-FX panel
    {"pluginmenu.png", 22, 22, 2},
    {"iconupdateavailable.png", 16, 16, 2},
}};

// The "@2x" file name of a 1x resource name: "x.png" -> "x@2x.png".
inline std::string HiResName(std::string_view name)
{
  std::string s(name.substr(0, name.size() - 4));
  s += "@2x.png";
  return s;
}

} // namespace zaniq::artwork
