#pragma once

// The built-in test signal of `auhost chain`: 2 channels of something music-like — a noise bed shaped towards
// pink, off-beat noise bursts, a bass line and a chord progression at 120 beats per minute — from a fixed seed,
// so every run hears the same samples.

#include "tools/auhost/AudioData.h"

namespace auhost
{

inline constexpr double kTestSignalSeconds = 20.0;
inline constexpr double kTestSignalRate = 48000.0;
inline constexpr double kTestSignalPeakDB = -6.0; // the peak of either channel

// [any thread] round(seconds × sampleRate) frames of 2 channels at sampleRate (Hz), peak at kTestSignalPeakDB.
// The same arguments give the same samples. Rates or lengths that are not finite and positive give no frames.
void MakeTestSignal(double sampleRate, double seconds, AudioData& out);

} // namespace auhost
