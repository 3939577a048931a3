#include "engine/LoudnessMeter.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

// ---------------------------------------------------------------------------------------------------------------
// Level conversions
// ---------------------------------------------------------------------------------------------------------------

// The comparisons are written so that NaN falls to the floor branch.
double AmpToDB(double x)
{
  const double a = std::fabs(x);
  if (a > kMinGain)
    return std::log(a) * kDBPerNeper;
  return kMinDB;
}

double DBToAmp(double d)
{
  if (d > kMinDB)
    return std::exp(kNeperPerDB * d);
  return 0.0;
}

double DBToAmpInv(double d)
{
  if (d > kMinDB)
    return std::exp(-kNeperPerDB * d);
  return 0.0;
}

// ---------------------------------------------------------------------------------------------------------------
// Biquad
// ---------------------------------------------------------------------------------------------------------------

void Biquad::Design(double sampleRate, double corner, double high, double band, double low, double quality)
{
  fs = sampleRate;
  f0 = corner;
  Vh = high;
  Vb = band;
  Vl = low;
  Q = quality;
  K = std::tan(std::numbers::pi * f0 / fs);
  K2 = K * K;
  a0 = K2 + K / Q + 1.0;
  a0n = 1.0;
  a1 = 2.0 * (K2 - 1.0) / a0;
  a2 = (K2 - K / Q + 1.0) / a0;
  b0 = (Vh + Vb * K / Q + Vl * K2) / a0;
  b1 = 2.0 * (Vl * K2 - Vh) / a0;
  b2 = (Vh - Vb * K / Q + Vl * K2) / a0;
}

void Biquad::Clear()
{
  x0 = x1 = x2 = 0.0;
  y0 = y1 = y2 = 0.0;
  out = 0.0;
}

// ---------------------------------------------------------------------------------------------------------------
// LoudnessMeter — set-up
// ---------------------------------------------------------------------------------------------------------------

namespace {

// BS.1770 K-weighting, stage 1: high shelf (+4 dB above ~1.7 kHz).
constexpr double kShelfF0 = 1681.974450955532;
constexpr double kShelfVh = 1.58486470113086;
constexpr double kShelfVb = 1.25872093023256;
constexpr double kShelfVl = 1.0;
constexpr double kShelfQ = 0.70717523695542;

// Stage 2: the RLB high-pass (~38 Hz). Vh puts b0 at exactly 1 at 48 kHz.
constexpr double kHighPassF0 = 38.13547087611304;
constexpr double kHighPassVh = 1.00499489871469;
constexpr double kHighPassQ = 0.50032703732504;

constexpr double kVURate = 23.271056693257727;          // 1/s; the two-pole VU ballistics
constexpr double kVUFeedback = 0.49751243781094534;
constexpr double kVUFactor = 2.356194490192345;          // 3*pi/4: mean rectified sine -> peak, with the feedback

double FixedWindow(int mode, double given)
{
  switch (mode)
  {
    case kMeterEBUML: return 0.4;
    case kMeterEBUSL: return 3.0;
    case kMeterVU: return 0.3;
    case kMeterMaxPeak: return 0.01;
    default: return given;
  }
}

} // namespace

LoudnessMeter::LoudnessMeter()
{
  Init(kMeterRMSSummed, 3.0, 44100.0);
}

bool LoudnessMeter::Init(int mode, double windowSeconds, double sampleRate)
{
  if (!(sampleRate >= kMinSampleRate && sampleRate <= kMaxSampleRate))
    return false;
  if (mode < 0 || mode >= kNumMeterModes)
    mode = kMeterRMSSummed;
  const double window = FixedWindow(mode, windowSeconds);
  if (!std::isfinite(window) || window < 0.0)
    return false;

  mMode = mode;
  mWindow = window;
  mSampleRate = sampleRate;

  const double samples = window * sampleRate;
  mWindowLength = samples >= double(INT_MAX) ? INT_MAX : int(samples);
  // A zero window means no smoothing at all (alpha 0) rather than 10^(-1/0).
  const double denom = 1.3 * samples;
  mDecay = denom > 0.0 ? std::pow(10.0, -1.0 / denom) : 0.0;

  for (Biquad* b : {&mStage1L, &mStage1R})
    b->Design(sampleRate, kShelfF0, kShelfVh, kShelfVb, kShelfVl, kShelfQ);
  for (Biquad* b : {&mStage2L, &mStage2R})
    b->Design(sampleRate, kHighPassF0, kHighPassVh, 0.0, 0.0, kHighPassQ);

  mVUCoeff = (1.0 - std::exp(-kVURate / sampleRate)) * 0.5;

  Clear();
  return true;
}

void LoudnessMeter::Clear()
{
  mPower = 0.0;
  mLevel = 0.0;
  mWindowCounter = 0;
  mStage1L.Clear();
  mStage2L.Clear();
  mStage1R.Clear();
  mStage2R.Clear();
  mVUStage1 = 0.0;
  mVUStage2 = 0.0;
}

// ---------------------------------------------------------------------------------------------------------------
// LoudnessMeter — per sample
// ---------------------------------------------------------------------------------------------------------------

double LoudnessMeter::ProcessSample(double left, double right)
{
  // Selects, not branches: a NaN or infinity would otherwise stay in the IIR state until the next clear.
  left = std::isfinite(left) ? left : 0.0;
  right = std::isfinite(right) ? right : 0.0;

  double result;
  switch (mMode)
  {
    case kMeterEBUML:
    case kMeterEBUSL:
    {
      const double l1 = mStage1L.Process(left + 1e-25);
      const double r1 = mStage1R.Process(right + 1e-25);
      left = mStage2L.Process(l1 + 1e-25);
      right = mStage2R.Process(r1 + 1e-25);
      [[fallthrough]];
    }
    case kMeterRMSSummed:
    case kMeterRMSAveraged:
    {
      double p = left * left + right * right;
      if (mMode == kMeterRMSAveraged)
        p *= 0.5;
      mPower = p;
      mLevel = (mLevel - p) * mDecay + p;
      result = std::sqrt(mLevel);
      break;
    }
    case kMeterVU:
    {
      const double m = (std::fabs(left) + std::fabs(right)) * 0.5 + 1e-15;
      const double s1 = (m - kVUFeedback * mVUStage2 - mVUStage1) * mVUCoeff + mVUStage1;
      const double s2 = (s1 - mVUStage2) * mVUCoeff + mVUStage2;
      mVUStage1 = std::max(s1, 0.0);
      mVUStage2 = std::max(s2, 0.0);
      mLevel = mVUStage2 * kVUFactor * 1.0;
      result = mLevel * kVUScale;
      break;
    }
    case kMeterMaxPeak:
    default:
      mLevel = std::max(mLevel, std::max(std::fabs(left), std::fabs(right)));
      result = mLevel;
      break;
  }

  if (mWindowCounter < mWindowLength)
    ++mWindowCounter;
  return result;
}
