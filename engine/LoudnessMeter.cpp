#include "engine/LoudnessMeter.h"

#include "engine/Lanes.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <numbers>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
template <typename T>
inline T Smoothed(T level, T power, T decay)
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

// ---------------------------------------------------------------------------------------------------------------
// LoudnessMeter — two meters side by side
// ---------------------------------------------------------------------------------------------------------------

// ProcessBlocks runs the Receiver's two meters in one loop with a lane per meter (lane 0 meter a, lane 1 meter b),
// left and right channels in separate vectors. Each lane does ProcessSample's operations in ProcessSample's order, so
// the results equal it bit for bit; what changes is how many of them are in flight at once.
namespace {

// Sample i of two buffers, one a lane.
inline Lanes LoadPair(const double* a, const double* b, int i)
{
  return Lanes{a[i], b[i]};
}

inline void StorePair(Lanes v, double* a, double* b, int i)
{
  a[i] = v[0];
  b[i] = v[1];
}

// FiniteOrZero, std::max(a, b) and sqrt, lane by lane.
inline Lanes FiniteOrZero(Lanes x)
{
#if defined(__SSE2__)
  const __m128d v = (__m128d)x;
  const __m128d clamped =
      _mm_min_pd(_mm_set1_pd(kMaxMeteredSample), _mm_max_pd(_mm_set1_pd(-kMaxMeteredSample), v));
  const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), v);
  return (Lanes)_mm_and_pd(clamped, _mm_cmple_pd(magnitude, _mm_set1_pd(1.7976931348623157e308)));
#else
  return Lanes{FiniteOrZero(x[0]), FiniteOrZero(x[1])};
#endif
}

inline Lanes Max(Lanes a, Lanes b)
{
#if defined(__SSE2__)
  return (Lanes)_mm_max_pd((__m128d)b, (__m128d)a); // b > a ? b : a, as std::max
#else
  return Lanes{std::max(a[0], b[0]), std::max(a[1], b[1])};
#endif
}

inline bool AnyBelowZero(Lanes x)
{
#if defined(__SSE2__)
  return _mm_movemask_pd(_mm_cmplt_pd((__m128d)x, _mm_setzero_pd())) != 0;
#else
  return x[0] < 0.0 || x[1] < 0.0;
#endif
}

inline Lanes Sqrt(Lanes x)
{
#if defined(__SSE2__)
  return (Lanes)_mm_sqrt_pd((__m128d)x);
#else
  return Lanes{std::sqrt(x[0]), std::sqrt(x[1])};
#endif
}

// The K-weighting loop works on the four channels at once, in the order left a, left b, right a, right b. On the
// x86-64 baseline they are two vectors of two lanes (FourOps); processors with AVX take them as one vector of four
// (QuadOps). Both do the same operations on every channel, so they agree bit for bit.
struct Four
{
  Lanes l, r;
};

inline Four operator+(Four x, Four y) { return {x.l + y.l, x.r + y.r}; }
inline Four operator-(Four x, Four y) { return {x.l - y.l, x.r - y.r}; }
inline Four operator*(Four x, Four y) { return {x.l * y.l, x.r * y.r}; }
inline Four operator+(Four x, double k) { return {x.l + k, x.r + k}; }

struct FourOps
{
  using V = Four;
  static V Make(double al, double bl, double ar, double br) { return {Lanes{al, bl}, Lanes{ar, br}}; }
  static double Get(V v, int k) { return k < 2 ? v.l[k] : v.r[k - 2]; }
  static V Load(const double* const* in, int i) { return {LoadPair(in[0], in[1], i), LoadPair(in[2], in[3], i)}; }
  static V FiniteOrZero(V x) { return {::FiniteOrZero(x.l), ::FiniteOrZero(x.r)}; }
  // Lanes where FiniteOrZero changes nothing (finite, within the limit); All: every lane of such a mask.
#if defined(__SSE2__)
  using Mask = __m128d;
  static Mask Plain(V x)
  {
    const __m128d limit = _mm_set1_pd(kMaxMeteredSample);
    return _mm_and_pd(_mm_cmple_pd((__m128d)Magnitude(x.l), limit), _mm_cmple_pd((__m128d)Magnitude(x.r), limit));
  }
  static Mask Both(Mask m, Mask k) { return _mm_and_pd(m, k); }
  static bool All(Mask m) { return _mm_movemask_pd(m) == 3; }
#else
  using Mask = decltype(Lanes{} < Lanes{});
  static Mask Plain(V x) { return (Magnitude(x.l) <= kMaxMeteredSample) & (Magnitude(x.r) <= kMaxMeteredSample); }
  static Mask Both(Mask m, Mask k) { return m & k; }
  static bool All(Mask m) { return (m[0] & m[1]) != 0; }
#endif
  // Per meter: left^2 + right^2.
  static Lanes Power(V k) { return k.l * k.l + k.r * k.r; }
};

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define ZANIQ_METER_WIDE_LANES 1

// Written with the compiler's generic vector operations only: everything that takes a Quad is inlined (always, also
// in unoptimised builds) into the one loop compiled for AVX (WeightedWide), where each operation becomes one
// instruction on four lanes. A Quad passed in a real call would be passed differently by AVX and baseline code; as
// none crosses a call here, the build turns the compilers' warning about that off for this file.
typedef double Quad __attribute__((vector_size(32)));
typedef decltype(Quad{} < Quad{}) QuadMask;

struct QuadOps
{
  using V = Quad;
  [[gnu::always_inline]] static V Make(double al, double bl, double ar, double br) { return V{al, bl, ar, br}; }
  [[gnu::always_inline]] static double Get(V v, int k) { return v[k]; }
  [[gnu::always_inline]] static V Load(const double* const* in, int i)
  {
    return V{in[0][i], in[1][i], in[2][i], in[3][i]};
  }
  [[gnu::always_inline]] static V Select(QuadMask m, V x, V y)
  {
    return (V)((m & (QuadMask)x) | (~m & (QuadMask)y));
  }
  [[gnu::always_inline]] static V Magnitude(V x) { return (V)((QuadMask)x & ~(QuadMask)(-V{})); }
  [[gnu::always_inline]] static V FiniteOrZero(V x)
  {
    const V low = V{} - kMaxMeteredSample, high = V{} + kMaxMeteredSample;
    const V clamped = Select(high < x, high, Select(x < low, low, x)); // std::clamp
    return Select(Magnitude(x) <= 1.7976931348623157e308, clamped, V{});
  }
  using Mask = QuadMask;
  [[gnu::always_inline]] static Mask Plain(V x) { return Magnitude(x) <= kMaxMeteredSample; }
  [[gnu::always_inline]] static Mask Both(Mask m, Mask k) { return m & k; }
  [[gnu::always_inline]] static bool All(Mask m) { return (m[0] & m[1] & m[2] & m[3]) != 0; }
  [[gnu::always_inline]] static Lanes Power(V k)
  {
    const V squares = k * k;
    return __builtin_shufflevector(squares, squares, 0, 1) + __builtin_shufflevector(squares, squares, 2, 3);
  }
};

#endif

// The processor has AVX, and the system saves its registers.
bool ProcessorHasWideLanes()
{
#if defined(ZANIQ_METER_WIDE_LANES)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx") != 0;
#else
  return false;
#endif
}

const bool gHasWideLanes = ProcessorHasWideLanes();
// Whether the four-lane loop runs: the processor has it and nobody asked for the baseline.
std::atomic<bool> gWideLanes{gHasWideLanes};

// Frames per pass of the K-weighting loops (the first stage's feed-forward terms wait on the stack in between).
constexpr int kWeightingPass = 128;

} // namespace

struct LoudnessMeter::Pair
{
  Pair(LoudnessMeter& meterA, LoudnessMeter& meterB)
    : a(meterA), b(meterB), level{a.mLevel, b.mLevel}, power{a.mPower, b.mPower}, decay{a.mDecay, b.mDecay},
      vu1{a.mVUStage1, b.mVUStage1}, vu2{a.mVUStage2, b.mVUStage2}
  {
  }

  // Writes the locals back after n >= 1 frames of the mode (the filter states are written by Weighted).
  void Store(int mode, int n)
  {
    for (auto [m, k] : {std::pair{&a, 0}, std::pair{&b, 1}})
    {
      m->mLevel = level[k];
      if (mode <= kMeterEBUSL)
        m->mPower = power[k];
      if (mode == kMeterVU)
      {
        m->mVUStage1 = vu1[k];
        m->mVUStage2 = vu2[k];
      }
      if (m->mWindowCounter < m->mWindowLength)
        m->mWindowCounter = int(std::min<long long>((long long)m->mWindowCounter + n, m->mWindowLength));
    }
  }

  template <int kMode>
  void Unweighted(const double* aL, const double* aR, const double* bL, const double* bR, double* aOut,
                  double* bOut, int n)
  {
    Lanes lvl = level, p = power;
    const Lanes d = decay;
    for (int i = 0; i < n; ++i)
    {
      const Lanes l = FiniteOrZero(LoadPair(aL, bL, i));
      const Lanes r = FiniteOrZero(LoadPair(aR, bR, i));
      p = l * l + r * r;
      if constexpr (kMode == kMeterRMSAveraged)
        p *= 0.5;
      lvl = Smoothed(lvl, p, d);
      StorePair(Sqrt(lvl), aOut, bOut, i);
    }
    level = lvl;
    power = p;
  }

  // The EBU modes: both sections of every channel, then the power and its smoothing. The first section's
  // feed-forward terms (b0 x0 + b1 x1 + b2 x2, the start of the difference equation) do not depend on its output,
  // so they are worked out a pass ahead; the loop that carries the recursions keeps less in registers.
  template <class Ops>
  static void Weighted(Pair& pair, const double* const* in, double* aOut, double* bOut, int n);
  static void WeightedWide(Pair& pair, const double* const* in, double* aOut, double* bOut, int n);

  void VU(const double* aL, const double* aR, const double* bL, const double* bR, double* aOut, double* bOut, int n)
  {
    Lanes s1 = vu1, s2 = vu2, lvl = level;
    const Lanes c = {a.mVUCoeff, b.mVUCoeff}, zero = {0.0, 0.0};
    for (int i = 0; i < n; ++i)
    {
      const Lanes l = FiniteOrZero(LoadPair(aL, bL, i));
      const Lanes r = FiniteOrZero(LoadPair(aR, bR, i));
      // VUStep, lane by lane.
      const Lanes m = (Magnitude(l) + Magnitude(r)) * 0.5 + 1e-15;
      const Lanes n1 = (m - kVUFeedback * s2 - s1) * c + s1;
      const Lanes n2 = (n1 - s2) * c + s2;
      s1 = Max(n1, zero);
      // The second stage's clamp would sit on the loop's longest chain of dependent operations. It practically never
      // bites (the second stage of a signal stays at or above zero), so a branch the processor predicts, and runs
      // ahead of, stands in for it.
      s2 = n2;
      if (__builtin_expect(AnyBelowZero(n2), 0))
        s2 = Max(n2, zero);
      lvl = s2 * kVUFactor * 1.0;
      StorePair(lvl * kVUScale, aOut, bOut, i);
    }
    vu1 = s1;
    vu2 = s2;
    level = lvl;
  }

  void Peak(const double* aL, const double* aR, const double* bL, const double* bR, double* aOut, double* bOut, int n)
  {
    Lanes lvl = level;
    for (int i = 0; i < n; ++i)
    {
      const Lanes l = FiniteOrZero(LoadPair(aL, bL, i));
      const Lanes r = FiniteOrZero(LoadPair(aR, bR, i));
      lvl = Max(lvl, Max(Magnitude(l), Magnitude(r)));
      StorePair(lvl, aOut, bOut, i);
    }
    level = lvl;
  }

  LoudnessMeter& a;
  LoudnessMeter& b;
  Lanes level, power, decay, vu1, vu2;
};

template <class Ops>
[[gnu::always_inline]] inline void LoudnessMeter::Pair::Weighted(Pair& pair, const double* const* in, double* aOut,
                                                                 double* bOut, int n)
{
  using V = typename Ops::V;
  Biquad* const first[4] = {&pair.a.mStage1L, &pair.b.mStage1L, &pair.a.mStage1R, &pair.b.mStage1R};
  Biquad* const second[4] = {&pair.a.mStage2L, &pair.b.mStage2L, &pair.a.mStage2R, &pair.b.mStage2R};
#define ZANIQ_FOUR(stage, field) Ops::Make(stage[0]->field, stage[1]->field, stage[2]->field, stage[3]->field)
  const V b0 = ZANIQ_FOUR(first, b0), b1 = ZANIQ_FOUR(first, b1), b2 = ZANIQ_FOUR(first, b2);
  const V a1 = ZANIQ_FOUR(first, a1), a2 = ZANIQ_FOUR(first, a2);
  const V c0 = ZANIQ_FOUR(second, b0), c1 = ZANIQ_FOUR(second, b1), c2 = ZANIQ_FOUR(second, b2);
  const V d1 = ZANIQ_FOUR(second, a1), d2 = ZANIQ_FOUR(second, a2);
  V x1 = ZANIQ_FOUR(first, x1), x2 = ZANIQ_FOUR(first, x2), y1 = ZANIQ_FOUR(first, y1), y2 = ZANIQ_FOUR(first, y2);
  V u1 = ZANIQ_FOUR(second, x1), u2 = ZANIQ_FOUR(second, x2), v1 = ZANIQ_FOUR(second, y1),
    v2 = ZANIQ_FOUR(second, y2);
#undef ZANIQ_FOUR
  Lanes level = pair.level, p = pair.power;
  const Lanes decay = pair.decay;

  // buffer[i + 2]: the first section's feed-forward terms of sample i, then the second section's input x0; the two
  // slots ahead of a pass hold its x2 and x1.
  V buffer[kWeightingPass + 2];
  buffer[0] = u2;
  buffer[1] = u1;
  for (int start = 0; start < n; start += kWeightingPass)
  {
    const int count = std::min(kWeightingPass, n - start);
    const double* const piece[4] = {in[0] + start, in[1] + start, in[2] + start, in[3] + start};
    V* const feedForward = buffer + 2;
    // The inputs as they are while every sample is finite and within the limit (FiniteOrZero would change
    // nothing); a pass with any other sample goes again with FiniteOrZero.
    const V start1 = x1, start2 = x2;
    typename Ops::Mask plain = Ops::Plain(Ops::Make(0.0, 0.0, 0.0, 0.0));
    for (int i = 0; i < count; ++i)
    {
      const V x = Ops::Load(piece, i);
      plain = Ops::Both(plain, Ops::Plain(x));
      const V x0 = x + 1e-25;
      feedForward[i] = b0 * x0 + b1 * x1 + b2 * x2;
      x2 = x1;
      x1 = x0;
    }
    if (!Ops::All(plain))
    {
      x1 = start1;
      x2 = start2;
      for (int i = 0; i < count; ++i)
      {
        const V x0 = Ops::FiniteOrZero(Ops::Load(piece, i)) + 1e-25;
        feedForward[i] = b0 * x0 + b1 * x1 + b2 * x2;
        x2 = x1;
        x1 = x0;
      }
    }
    for (int i = 0; i < count; ++i)
    {
      // The rest of the first section's difference equation (Biquad::Equation, left to right), then the second
      // section on its output plus 1e-25.
      const V y0 = feedForward[i] - a1 * y1 - a2 * y2 + 1e-25;
      y2 = y1;
      y1 = y0;
      const V u0 = y0 + 1e-25;
      feedForward[i] = u0;
      const V v0 = Biquad::Equation(u0, buffer[i + 1], buffer[i], v1, v2, c0, c1, c2, d1, d2);
      v2 = v1;
      v1 = v0;
      p = Ops::Power(v0);
      level = Smoothed(level, p, decay);
      StorePair(Sqrt(level), aOut + start, bOut + start, i);
    }
    buffer[0] = buffer[count];
    buffer[1] = buffer[count + 1];
  }
  u2 = buffer[0];
  u1 = buffer[1];

  for (int k = 0; k < 4; ++k)
  {
    // What Biquad::Process leaves after the last sample.
    first[k]->x0 = first[k]->x1 = Ops::Get(x1, k);
    first[k]->x2 = Ops::Get(x2, k);
    first[k]->y0 = first[k]->y1 = first[k]->out = Ops::Get(y1, k);
    first[k]->y2 = Ops::Get(y2, k);
    second[k]->x0 = second[k]->x1 = Ops::Get(u1, k);
    second[k]->x2 = Ops::Get(u2, k);
    second[k]->y0 = second[k]->y1 = second[k]->out = Ops::Get(v1, k);
    second[k]->y2 = Ops::Get(v2, k);
  }
  pair.level = level;
  pair.power = p;
}

#if defined(ZANIQ_METER_WIDE_LANES)
__attribute__((target("avx"))) void LoudnessMeter::Pair::WeightedWide(Pair& pair, const double* const* in,
                                                                       double* aOut, double* bOut, int n)
{
  Weighted<QuadOps>(pair, in, aOut, bOut, n);
}
#endif

bool LoudnessMeter::UseWideLanes(bool wide)
{
  gWideLanes.store(wide && gHasWideLanes, std::memory_order_relaxed);
  return wide && gHasWideLanes;
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
  Pair pair(a, b);
  switch (a.mMode)
  {
    case kMeterRMSSummed: pair.Unweighted<kMeterRMSSummed>(aLeft, aRight, bLeft, bRight, aOut, bOut, n); break;
    case kMeterRMSAveraged: pair.Unweighted<kMeterRMSAveraged>(aLeft, aRight, bLeft, bRight, aOut, bOut, n); break;
    case kMeterEBUML:
    case kMeterEBUSL:
    {
      const double* const in[4] = {aLeft, bLeft, aRight, bRight};
#if defined(ZANIQ_METER_WIDE_LANES)
      if (gWideLanes.load(std::memory_order_relaxed))
        Pair::WeightedWide(pair, in, aOut, bOut, n);
      else
#endif
        Pair::Weighted<FourOps>(pair, in, aOut, bOut, n);
      break;
    }
    case kMeterVU: pair.VU(aLeft, aRight, bLeft, bRight, aOut, bOut, n); break;
    case kMeterMaxPeak:
    default: pair.Peak(aLeft, aRight, bLeft, bRight, aOut, bOut, n); break;
  }
  pair.Store(a.mMode, n);
}
