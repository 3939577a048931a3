#pragma once

// Over protection of the Receiver's output: a hard clip at the protection level per channel, and the gain-reduction
// display that shows how much the clip took away (instant rise, 3 s hold, 0.1 s release).
//
// Plain records driven by the Receiver's audio thread under the processing mutex; a level change from the main
// thread is handed over by the owner before a block.

#include <cmath>

// ---------------------------------------------------------------------------------------------------------------
// OverProtection
// ---------------------------------------------------------------------------------------------------------------

// Clamps one channel at a ceiling; remembers how much the last sample was reduced.
struct OverProtection
{
  double inputGain = 1.0;
  double ceiling = 0.0;    // linear
  double negCeiling = 0.0; // -ceiling
  double ratio = 1.0;      // output over input of the last sample; 1.0 when nothing was clipped

  // Input gain 1.0, ceiling = gain of levelDB (the caller truncates to whole decibels), 0 at -144 dB or below and
  // for NaN. [audio thread, or while no block runs]
  void SetLevel(double levelDB);

  // x = input gain * o clamped to [-ceiling, ceiling]; ratio = y / x (1.0 when x is 0). A non-finite x leaves as 0
  // with ratio 1.0 rather than as a full-scale spike. [audio thread]
  double Process(double o) { return Clip(inputGain * o, ceiling, negCeiling, ratio); }

  // The clip itself, shared with the block loops: y and the ratio y / x for x against [negCeiling, ceiling].
  // Unclipped, y / x is x / x, exactly 1.0, so only a clipped sample pays for a division.
  static double Clip(double x, double ceiling, double negCeiling, double& ratio)
  {
    if (!(std::fabs(x) <= 1.7976931348623157e308)) // NaN or infinite
    {
      ratio = 1.0;
      return 0.0;
    }
    if (x > ceiling)
    {
      ratio = ceiling / x;
      return ceiling;
    }
    if (x < negCeiling)
    {
      ratio = negCeiling / x;
      return negCeiling;
    }
    ratio = 1.0;
    return x;
  }
};

// ---------------------------------------------------------------------------------------------------------------
// GainReductionDisplay
// ---------------------------------------------------------------------------------------------------------------

// Peak-hold follower of the clip ratio for the editor. With invert on it shows 1 - ratio (the amount taken away).
struct GainReductionDisplay
{
  enum EPhase : int { kIdle = 0, kHolding = 1, kReleasing = 4 };

  double rise = 0.0;
  double release = 0.0;
  int holdLength = 0; // samples
  int holdCounter = 0;
  double value = 0.0; // what the editor shows
  int phase = kIdle;
  int invert = 1;     // 1: the value is 1 - ratio

  // Invert on, phase idle, value 0, rise 0 (10^(-1/(0 fs)): instant), release 10^(-1/(0.1 fs)), hold (int)(3 fs)
  // samples. A rate that is not positive and finite gives release 0 and hold 0. [audio thread]
  void Reset(double sampleRate);

  // One sample with the two channels' clip ratios: r = |min(left, right)| (1 - min(r, 1) with invert); a larger r
  // is taken at once and held for the hold length, after which the value releases towards r. Values below 1e-8
  // become 0. A non-finite ratio counts as 1.0 (nothing clipped). [audio thread]
  void Process(double ratioLeft, double ratioRight)
  {
    double r = std::fabs(ratioLeft < ratioRight ? ratioLeft : ratioRight);
    // A NaN here would stick in the follower for ever (every later comparison with it is false): it counts as 1.0.
    // Inverted, min(r, 1.0) already does that.
    if (invert)
      r = 1.0 - (r < 1.0 ? r : 1.0);
    else if (!(r <= 1.7976931348623157e308))
      r = 1.0;

    if (r > value)
    {
      value = (value - r) * rise + r;
      holdCounter = 0;
      phase = kHolding;
    }
    else if (phase == kReleasing)
    {
      value = (value - r) * release + r;
    }
    else if (phase == kHolding)
    {
      if (holdCounter >= holdLength)
      {
        phase = kReleasing;
        value = (value - r) * release + r;
      }
      if (holdCounter < kMaxHoldCounter)
        ++holdCounter;
    }
    if (value < 1e-08)
      value = 0.0;
  }

private:
  static constexpr int kMaxHoldCounter = 2147483647;
};
