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
