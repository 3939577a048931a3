#pragma once

// The dB arithmetic and text of the editor's six read-outs, as plain functions (ui/ZANIQ_Readouts.cpp uses them,
// tests check them against values written out by hand).
//
// Text is written with std::to_chars: bounded by the buffer and independent of the process locale, so a German
// locale still shows "-6.0", and never "-0.0".

#include <cstddef>

namespace zaniq::readout
{

// Linear factors at or below this magnitude read as silence (-144 dB).
inline constexpr double kSilence = 6.309e-08;
// Levels below this (linear) count as no signal: diff read-outs show "----" and the alarm colour stays off.
inline constexpr double kSignalFloor = 1e-05;
// A post-FX difference of this many dB or more (either sign) turns the post read-outs red.
inline constexpr double kAlarmDB = 3.0;
// Buffer size that holds every read-out text with its terminator.
inline constexpr size_t kTextSize = 16;

// 20 * log10|x| (computed as ln|x| * 8.685889638065037), or -144 when |x| <= kSilence. No clamp, no rounding.
double RawDB(double x);
// A gain or difference in dB: RawDB clamped to [-144, +144], rounded to one decimal (half up).
double GainDB(double x);
// A level in dB rounded to one decimal: silence reads exactly -144.0; no upper clamp.
double LevelDB(double x);

// Text of value v: "-inf" when withInf and v <= -144, "0.0" when v rounds to zero at one decimal, otherwise v
// with one decimal. A value that is not finite reads "----". out gets at most size bytes, always terminated
// (nothing for a null out or size 0).
void FormatValue(double v, bool withInf, char* out, size_t size);
// A gain shows the negated value, with the "0.0" rule and no "-inf" rule.
void FormatGain(double v, char* out, size_t size);

} // namespace zaniq::readout
