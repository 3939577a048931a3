#include "engine/OverProtection.h"

#include "engine/LoudnessMeter.h"

#include <climits>
#include <cmath>

// ---------------------------------------------------------------------------------------------------------------
// OverProtection
// ---------------------------------------------------------------------------------------------------------------

void OverProtection::SetLevel(double levelDB)
{
  inputGain = 1.0;
  ceiling = DBToAmp(levelDB);
  negCeiling = -ceiling;
}

// ---------------------------------------------------------------------------------------------------------------
// GainReductionDisplay
// ---------------------------------------------------------------------------------------------------------------

void GainReductionDisplay::Reset(double sampleRate)
{
  const bool valid = std::isfinite(sampleRate) && sampleRate > 0.0;
  rise = 0.0;
  release = valid ? std::pow(10.0, -1.0 / (0.1 * sampleRate)) : 0.0;
  const double hold = valid ? 3.0 * sampleRate : 0.0;
  holdLength = hold < double(INT_MAX) ? int(hold) : INT_MAX;
  holdCounter = 0;
  value = 0.0;
  phase = kIdle;
  invert = 1;
}

void GainReductionDisplay::Process(double ratioLeft, double ratioRight)
{
  double r = std::fabs(ratioLeft < ratioRight ? ratioLeft : ratioRight);
  // A NaN here would stick in the follower for ever: every later comparison with it is false.
  if (!std::isfinite(r))
    r = 1.0;
  if (invert)
    r = 1.0 - (r < 1.0 ? r : 1.0);

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
    if (holdCounter < INT_MAX)
      ++holdCounter;
  }
  if (value < 1e-08)
    value = 0.0;
}
