#pragma once

// A private Audio Unit property of every plug-in of the framework: what the open editor looks like, for hosts of
// this project (auhost editor) that report on it. Global scope, element 0, get only, [main thread].
// Without an editor context the property is still answered, with `open` 0 and the rest zero. With one, a get
// first waits until every frame the editor has committed is presented (in bundles with the view factory), so a
// host that reads the window's last frame next sees the latest one.

#include <AudioToolbox/AudioToolbox.h>

#include <cstdint>

inline constexpr AudioUnitPropertyID kAUProperty_EditorInfo = static_cast<AudioUnitPropertyID>(-110);

struct AUEditorInfo
{
  int32_t open;       // 1 while the editor has a graphics context, else 0
  int32_t width;      // editor units (draw scale 1)
  int32_t height;
  float drawScale;    // the editor's own zoom
  float screenScale;  // the backing scale it draws at
  int32_t nControls;  // controls in the control list
};

static_assert(sizeof(AUEditorInfo) == 24);
