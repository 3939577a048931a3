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
  const double window = MeterWindowSeconds(mode, windowSeconds);
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
// LoudnessMeter — per sample and per block
// ---------------------------------------------------------------------------------------------------------------

// ProcessSample and ProcessBlock share these steps, so that both do the same arithmetic in the same order.
namespace {

// A NaN or infinity would otherwise stay in the IIR state until the next clear; so would the infinite power of a
// finite but absurd sample (1e154 squared), hence the limit, some 2000 dB above full scale.
constexpr double kMaxMeteredSample = 1e100;
inline double FiniteOrZero(double x)
{
  return std::isfinite(x) ? std::clamp(x, -kMaxMeteredSample, kMaxMeteredSample) : 0.0;
}

// Exponential smoothing of the power (modes 0-3).
inline double Smoothed(double level, double power, double decay)
{
  return (level - power) * decay + power;
}

// The two-pole VU ballistics on the mean rectified level; returns the new level.
inline double VUStep(double left, double right, double coeff, double& stage1, double& stage2)
{
  const double m = (std::fabs(left) + std::fabs(right)) * 0.5 + 1e-15;
  const double s1 = (m - kVUFeedback * stage2 - stage1) * coeff + stage1;
  const double s2 = (s1 - stage2) * coeff + stage2;
  stage1 = std::max(s1, 0.0);
  stage2 = std::max(s2, 0.0);
  return stage2 * kVUFactor * 1.0;
}

inline double PeakStep(double level, double left, double right)
{
  return std::max(level, std::max(std::fabs(left), std::fabs(right)));
}

// Two doubles, one per channel; arithmetic on them is lane by lane, each lane rounded as the scalar operation would.
typedef double Lanes __attribute__((vector_size(16)));

// The left and right sections of one stage, a lane each, with coefficients and state as locals for the length of a
// block, where the compiler can keep them in registers (the members would be stored and reloaded every sample).
struct StagePair
{
  StagePair(const Biquad& l, const Biquad& r)
    : b0{l.b0, r.b0}, b1{l.b1, r.b1}, b2{l.b2, r.b2}, a1{l.a1, r.a1}, a2{l.a2, r.a2}, x1{l.x1, r.x1},
      x2{l.x2, r.x2}, y1{l.y1, r.y1}, y2{l.y2, r.y2}
  {
  }

  Lanes Process(Lanes in)
  {
    const Lanes y0 = Biquad::Equation(in, x1, x2, y1, y2, b0, b1, b2, a1, a2);
    x2 = x1;
    x1 = in;
    y2 = y1;
    y1 = y0;
    return y0;
  }

  // What Biquad::Process leaves after the last sample (at least one) of the block.
  void StoreTo(Biquad& l, Biquad& r) const
  {
    l.x0 = l.x1 = x1[0];
    r.x0 = r.x1 = x1[1];
    l.x2 = x2[0];
    r.x2 = x2[1];
    l.y0 = l.y1 = l.out = y1[0];
    r.y0 = r.y1 = r.out = y1[1];
    l.y2 = y2[0];
    r.y2 = y2[1];
  }

  Lanes b0, b1, b2, a1, a2;
  Lanes x1, x2, y1, y2;
};

} // namespace

double LoudnessMeter::ProcessSample(double left, double right)
{
  left = FiniteOrZero(left);
  right = FiniteOrZero(right);

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
      mLevel = Smoothed(mLevel, p, mDecay);
      result = std::sqrt(mLevel);
      break;
    }
    case kMeterVU:
      mLevel = VUStep(left, right, mVUCoeff, mVUStage1, mVUStage2);
      result = mLevel * kVUScale;
      break;
    case kMeterMaxPeak:
    default:
      mLevel = PeakStep(mLevel, left, right);
      result = mLevel;
      break;
  }

  if (mWindowCounter < mWindowLength)
    ++mWindowCounter;
  return result;
}

template <int kMode>
struct LoudnessMeter::Run
{
  static constexpr bool kWeighted = kMode == kMeterEBUML || kMode == kMeterEBUSL;
  static constexpr bool kPower = kMode <= kMeterEBUSL;

  explicit Run(LoudnessMeter& meter)
    : m(meter), level(meter.mLevel), power(meter.mPower), decay(meter.mDecay), vuCoeff(meter.mVUCoeff),
      vu1(meter.mVUStage1), vu2(meter.mVUStage2), stage1(meter.mStage1L, meter.mStage1R),
      stage2(meter.mStage2L, meter.mStage2R)
  {
  }

  // ProcessSample's steps for this mode, on the locals.
  double Step(double left, double right)
  {
    left = FiniteOrZero(left);
    right = FiniteOrZero(right);
    if constexpr (kMode == kMeterVU)
    {
      level = VUStep(left, right, vuCoeff, vu1, vu2);
      return level * kVUScale;
    }
    else if constexpr (!kPower)
    {
      level = PeakStep(level, left, right);
      return level;
    }
    else
    {
      double p;
      if constexpr (kWeighted)
      {
        const Lanes k = stage2.Process(stage1.Process(Lanes{left, right} + 1e-25) + 1e-25);
        const Lanes squares = k * k;
        p = squares[0] + squares[1];
      }
      else
      {
        p = left * left + right * right;
      }
      if constexpr (kMode == kMeterRMSAveraged)
        p *= 0.5;
      power = p;
      level = Smoothed(level, p, decay);
      return std::sqrt(level);
    }
  }

  // Writes the locals back after n >= 1 steps.
  void Store(int n)
  {
    m.mLevel = level;
    if constexpr (kPower)
      m.mPower = power;
    if constexpr (kMode == kMeterVU)
    {
      m.mVUStage1 = vu1;
      m.mVUStage2 = vu2;
    }
    if constexpr (kWeighted)
    {
      stage1.StoreTo(m.mStage1L, m.mStage1R);
      stage2.StoreTo(m.mStage2L, m.mStage2R);
    }
    // As n increments that each stop at the window length.
    if (m.mWindowCounter < m.mWindowLength)
      m.mWindowCounter = int(std::min<long long>((long long)m.mWindowCounter + n, m.mWindowLength));
  }

  static void Block(LoudnessMeter& meter, const double* left, const double* right, int n, double* out)
  {
    Run r(meter);
    for (int i = 0; i < n; ++i)
      out[i] = r.Step(left[i], right[i]);
    r.Store(n);
  }

  static void Blocks(LoudnessMeter& a, const double* aLeft, const double* aRight, double* aOut, LoudnessMeter& b,
                     const double* bLeft, const double* bRight, double* bOut, int n)
  {
    Run ra(a), rb(b);
    for (int i = 0; i < n; ++i)
    {
      aOut[i] = ra.Step(aLeft[i], aRight[i]);
      bOut[i] = rb.Step(bLeft[i], bRight[i]);
    }
    ra.Store(n);
    rb.Store(n);
  }

  LoudnessMeter& m;
  double level, power;
  const double decay, vuCoeff;
  double vu1, vu2;
  StagePair stage1, stage2;
};

void LoudnessMeter::ProcessBlock(const double* left, const double* right, int n, double* out)
{
  if (n <= 0)
    return;
  switch (mMode)
  {
    case kMeterRMSSummed: Run<kMeterRMSSummed>::Block(*this, left, right, n, out); break;
    case kMeterRMSAveraged: Run<kMeterRMSAveraged>::Block(*this, left, right, n, out); break;
    case kMeterEBUML:
    case kMeterEBUSL: Run<kMeterEBUML>::Block(*this, left, right, n, out); break;
    case kMeterVU: Run<kMeterVU>::Block(*this, left, right, n, out); break;
    case kMeterMaxPeak:
    default: Run<kMeterMaxPeak>::Block(*this, left, right, n, out); break;
  }
}

void LoudnessMeter::ProcessBlocks(LoudnessMeter& a, const double* aLeft, const double* aRight, double* aOut,
                                  LoudnessMeter& b, const double* bLeft, const double* bRight, double* bOut, int n)
{
  if (n <= 0)
    return;
  // The shared loop needs two distinct meters in one mode.
  if (&a == &b || a.mMode != b.mMode)
  {
    a.ProcessBlock(aLeft, aRight, n, aOut);
    b.ProcessBlock(bLeft, bRight, n, bOut);
    return;
  }
  switch (a.mMode)
  {
    case kMeterRMSSummed: Run<kMeterRMSSummed>::Blocks(a, aLeft, aRight, aOut, b, bLeft, bRight, bOut, n); break;
    case kMeterRMSAveraged:
      Run<kMeterRMSAveraged>::Blocks(a, aLeft, aRight, aOut, b, bLeft, bRight, bOut, n);
      break;
    case kMeterEBUML:
    case kMeterEBUSL: Run<kMeterEBUML>::Blocks(a, aLeft, aRight, aOut, b, bLeft, bRight, bOut, n); break;
    case kMeterVU: Run<kMeterVU>::Blocks(a, aLeft, aRight, aOut, b, bLeft, bRight, bOut, n); break;
    case kMeterMaxPeak:
    default: Run<kMeterMaxPeak>::Blocks(a, aLeft, aRight, aOut, b, bLeft, bRight, bOut, n); break;
  }
}
