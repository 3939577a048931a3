#pragma once

// Private Audio Unit properties of ZANIQ, answered by the product class through the adapter's private-property
// hooks and read by hosts in this project (the auhost tool). The bundle exports only its factory, so a host
// reaches the editor's read-outs and commands through these. Both are global scope, element 0; IDs are negative
// like every private property.

#include <AudioToolbox/AudioToolbox.h>

#include <cstddef>
#include <cstdint>

// Get, [main thread]: a ZaniqReadouts record.
inline constexpr AudioUnitPropertyID kZaniqProperty_Readouts = static_cast<AudioUnitPropertyID>(-102);
// Set, [main thread]: a ZaniqCommand record; runs the editor command at once.
inline constexpr AudioUnitPropertyID kZaniqProperty_Command = static_cast<AudioUnitPropertyID>(-103);

// Editor command codes a ZaniqCommand may carry.
inline constexpr int32_t kZaniqFirstCommand = 46;
inline constexpr int32_t kZaniqLastCommand = 68;

// The values the editor's six dB read-outs are formatted from, in dB, before the rounding to one decimal: each is
// the number the read-out shows (gains already negated, levels with the meter mode's offset), also when the
// read-out shows "----" instead. Silence reads -144.
enum EZaniqReadout : int
{
  kZaniqReadoutPreFxDiff = 0, // pre-FX level against the Reference Level
  kZaniqReadoutPreFxGain,     // gain applied before the effects (negated pre gain)
  kZaniqReadoutPreFxCurrent,  // pre-FX loudness
  kZaniqReadoutPreFxMax,      // pre-FX maximum loudness
  kZaniqReadoutPostFxDiff,    // remaining post-FX difference
  kZaniqReadoutPostFxGain,    // match gain applied after the effects (negated)
  kZaniqNumReadouts
};

struct ZaniqReadouts
{
  double values[kZaniqNumReadouts];
};

struct ZaniqCommand
{
  int32_t code; // kZaniqFirstCommand .. kZaniqLastCommand
  double value; // finite
};

static_assert(sizeof(ZaniqReadouts) == 48);
static_assert(sizeof(ZaniqCommand) == 16 && offsetof(ZaniqCommand, value) == 8);
