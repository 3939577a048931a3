// Loudness meter: K-weighting against the published BS.1770 coefficients, EBU modes against libebur128, RMS, VU
// ballistics, peak hold, window counter, the dB conversions, and block processing against the per-sample path.

#include "engine/LoudnessMeter.h"
#include "engine/support/alloc_counter.h"
#include "engine/support/signal_pair.h"

#include <gtest/gtest.h>

#include <ebur128.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;

double ToDB(double x) { return 20.0 * std::log10(x); }

using testsupport::Noise;

// ---------------------------------------------------------------------------------------------------------------
// Conversions
// ---------------------------------------------------------------------------------------------------------------

TEST(LevelConversions, FloorsAndIdentities)
{
  EXPECT_EQ(AmpToDB(0.0), -144.0);
  EXPECT_EQ(AmpToDB(6.309e-08), -144.0);
  EXPECT_EQ(AmpToDB(1.0), 0.0);
  EXPECT_EQ(AmpToDB(std::numeric_limits<double>::quiet_NaN()), -144.0);
  EXPECT_EQ(DBToAmp(-144.0), 0.0);
  EXPECT_EQ(DBToAmp(-200.0), 0.0);
  EXPECT_EQ(DBToAmp(0.0), 1.0);
  EXPECT_EQ(DBToAmp(std::numeric_limits<double>::quiet_NaN()), 0.0);
  EXPECT_EQ(DBToAmpInv(-144.0), 0.0);

  for (double x : {1e-6, 0.001, 0.5, 2.0, 1234.5})
  {
    EXPECT_NEAR(AmpToDB(x), ToDB(x), 1e-12);
    EXPECT_NEAR(AmpToDB(-x), ToDB(x), 1e-12);  // the magnitude counts
    EXPECT_NEAR(DBToAmp(ToDB(x)) / x, 1.0, 1e-12);
    EXPECT_NEAR(DBToAmpInv(ToDB(x)) * x, 1.0, 1e-12);
  }
}

// ---------------------------------------------------------------------------------------------------------------
// K-weighting coefficients
// ---------------------------------------------------------------------------------------------------------------

TEST(KWeighting, MatchesPublishedCoefficientsAt48k)
{
  LoudnessMeter m;
  ASSERT_TRUE(m.Init(kMeterEBUML, 0.0, 48000.0));
  for (const Biquad* s : {&m.Stage1Left(), &m.Stage1Right()})
  {
    EXPECT_NEAR(s->b0, 1.53512485958697, 1e-10);
    EXPECT_NEAR(s->b1, -2.69169618940638, 1e-10);
    EXPECT_NEAR(s->b2, 1.19839281085285, 1e-10);
    EXPECT_NEAR(s->a1, -1.69065929318241, 1e-10);
    EXPECT_NEAR(s->a2, 0.73248077421585, 1e-10);
    EXPECT_EQ(s->a0n, 1.0);
  }
  for (const Biquad* s : {&m.Stage2Left(), &m.Stage2Right()})
  {
    EXPECT_NEAR(s->b0, 1.0, 1e-10);
    EXPECT_NEAR(s->b1, -2.0, 1e-10);
    EXPECT_NEAR(s->b2, 1.0, 1e-10);
    EXPECT_NEAR(s->a1, -1.99004745483398, 1e-10);
    EXPECT_NEAR(s->a2, 0.99007225036621, 1e-10);
  }
}

// The BS.1770 filters re-derived for other rates from the analog prototype, the way libebur128 does it: a shelf of
// G dB at f0 with quality Q and band gain Vh^0.4996667741545416, and an RLB high-pass at f0 with quality Q.
TEST(KWeighting, FollowsTheAnalogPrototypeAtOtherRates)
{
  for (double fs : {44100.0, 48000.0, 88200.0, 96000.0})
  {
    SCOPED_TRACE(fs);
    LoudnessMeter m;
    ASSERT_TRUE(m.Init(kMeterEBUSL, 0.0, fs));

    {
      const double f0 = 1681.974450955533, G = 3.999843853973347, Q = 0.7071752369554196;
      const double K = std::tan(kPi * f0 / fs);
      const double Vh = std::pow(10.0, G / 20.0);
      const double Vb = std::pow(Vh, 0.4996667741545416);
      const double a0 = 1.0 + K / Q + K * K;
      const Biquad& s = m.Stage1Left();
      EXPECT_NEAR(s.b0, (Vh + Vb * K / Q + K * K) / a0, 1e-9);
      EXPECT_NEAR(s.b1, 2.0 * (K * K - Vh) / a0, 1e-9);
      EXPECT_NEAR(s.b2, (Vh - Vb * K / Q + K * K) / a0, 1e-9);
      EXPECT_NEAR(s.a1, 2.0 * (K * K - 1.0) / a0, 1e-9);
      EXPECT_NEAR(s.a2, (1.0 - K / Q + K * K) / a0, 1e-9);
    }
    {
      const double f0 = 38.13547087602444, Q = 0.5003270373238773;
      const double K = std::tan(kPi * f0 / fs);
      const double a0 = 1.0 + K / Q + K * K;
      const Biquad& s = m.Stage2Right();
      EXPECT_NEAR(s.a1, 2.0 * (K * K - 1.0) / a0, 1e-9);
      EXPECT_NEAR(s.a2, (1.0 - K / Q + K * K) / a0, 1e-9);
      // A high-pass zero pair at DC; its pass-band gain is that of the 48 kHz design, within 0.03 dB of unity b0.
      EXPECT_NEAR(s.b1 / s.b0, -2.0, 1e-12);
      EXPECT_NEAR(s.b2 / s.b0, 1.0, 1e-12);
      EXPECT_LT(std::fabs(ToDB(s.b0)), 0.03);
    }
  }
}

// ---------------------------------------------------------------------------------------------------------------
// EBU modes against libebur128
// ---------------------------------------------------------------------------------------------------------------

struct Reference
{
  explicit Reference(double fs) : st(ebur128_init(2, (unsigned long)fs, EBUR128_MODE_S)) {}
  ~Reference() { ebur128_destroy(&st); }
  void Add(const std::vector<double>& interleaved)
  {
    ASSERT_EQ(ebur128_add_frames_double(st, interleaved.data(), interleaved.size() / 2), EBUR128_SUCCESS);
  }
  double Momentary()
  {
    double v = 0;
    EXPECT_EQ(ebur128_loudness_momentary(st, &v), EBUR128_SUCCESS);
    return v;
  }
  double ShortTerm()
  {
    double v = 0;
    EXPECT_EQ(ebur128_loudness_shortterm(st, &v), EBUR128_SUCCESS);
    return v;
  }
  ebur128_state* st;
};

// Runs the meter and libebur128 over `seconds` of a stereo signal in 100 ms chunks; after `settle` seconds it
// averages the meter's dB reading and the reference's (loudness + 0.691) at each chunk end.
struct Comparison
{
  double meterDB = 0, referenceDB = 0;
};

template <typename Gen>
Comparison Compare(int mode, double fs, double seconds, double settle, Gen gen)
{
  LoudnessMeter meter;
  EXPECT_TRUE(meter.Init(mode, 0.0, fs));
  Reference ref(fs);
  const int chunk = int(fs / 10);
  std::vector<double> buf(size_t(chunk) * 2);
  double sumMeter = 0, sumRef = 0;
  int n = 0;
  int64_t t = 0;
  double reading = 0;
  for (int c = 0; c < int(seconds * 10); ++c)
  {
    for (int i = 0; i < chunk; ++i, ++t)
    {
      gen(t, buf[size_t(2 * i)], buf[size_t(2 * i + 1)]);
      reading = meter.ProcessSample(buf[size_t(2 * i)], buf[size_t(2 * i + 1)]);
    }
    ref.Add(buf);
    if (c >= int(settle * 10))
    {
      sumMeter += AmpToDB(reading);
      sumRef += (mode == kMeterEBUML ? ref.Momentary() : ref.ShortTerm()) + 0.691;
      ++n;
    }
  }
  return {sumMeter / n, sumRef / n};
}

TEST(LoudnessMeterEBU, SinesMatchLibebur128)
{
  struct Case
  {
    double fs, freq, amp;
  };
  for (const Case& k : {Case{48000, 997, 0.25}, Case{48000, 100, 0.5}, Case{48000, 5000, 0.1},
                        Case{44100, 997, 0.25}, Case{44100, 60, 0.7}, Case{96000, 997, 0.25}, Case{96000, 10000, 0.2}})
  {
    SCOPED_TRACE(testing::Message() << k.fs << " Hz, " << k.freq << " Hz sine");
    auto sine = [&](int64_t t, double& l, double& r) { l = r = k.amp * std::sin(2 * kPi * k.freq * double(t) / k.fs); };
    const Comparison ml = Compare(kMeterEBUML, k.fs, 3.0, 2.5, sine);
    EXPECT_NEAR(ml.meterDB, ml.referenceDB, 0.05);
    const Comparison sl = Compare(kMeterEBUSL, k.fs, 16.0, 15.5, sine);
    EXPECT_NEAR(sl.meterDB, sl.referenceDB, 0.05);
  }
}

TEST(LoudnessMeterEBU, NoiseMatchesLibebur128)
{
  for (double fs : {44100.0, 48000.0})
  {
    SCOPED_TRACE(fs);
    Noise nl(12345), nr(987654321);
    auto noise = [&](int64_t, double& l, double& r) {
      l = 0.3 * nl.Next();
      r = 0.2 * nr.Next();
    };
    const Comparison ml = Compare(kMeterEBUML, fs, 12.0, 2.0, noise);
    EXPECT_NEAR(ml.meterDB, ml.referenceDB, 0.1);
    const Comparison sl = Compare(kMeterEBUSL, fs, 25.0, 15.0, noise);
    EXPECT_NEAR(sl.meterDB, sl.referenceDB, 0.1);
  }
}

// ---------------------------------------------------------------------------------------------------------------
// RMS modes
// ---------------------------------------------------------------------------------------------------------------

TEST(LoudnessMeterRMS, SummedAndAveraged)
{
  LoudnessMeter summed, averaged;
  ASSERT_TRUE(summed.Init(kMeterRMSSummed, 0.1, 48000.0));
  ASSERT_TRUE(averaged.Init(kMeterRMSAveraged, 0.1, 48000.0));
  double s = 0, a = 0;
  for (int i = 0; i < 48000 * 3; ++i)
  {
    s = summed.ProcessSample(1.0, 1.0);
    a = averaged.ProcessSample(1.0, 1.0);
  }
  EXPECT_NEAR(s, std::sqrt(2.0), 1e-9);
  EXPECT_NEAR(a, 1.0, 1e-9);

  // A 1 kHz sine on the left only, unweighted: the summed reading is its RMS, the averaged one that over two channels.
  ASSERT_TRUE(summed.Init(kMeterRMSSummed, 0.3, 48000.0));
  ASSERT_TRUE(averaged.Init(kMeterRMSAveraged, 0.3, 48000.0));
  const double amp = 0.6;
  for (int i = 0; i < 48000 * 3; ++i)
  {
    const double x = amp * std::sin(2 * kPi * 1000.0 * i / 48000.0);
    s = summed.ProcessSample(x, 0.0);
    a = averaged.ProcessSample(x, 0.0);
  }
  EXPECT_NEAR(ToDB(s), ToDB(amp / std::sqrt(2.0)), 0.01);
  EXPECT_NEAR(ToDB(a), ToDB(amp / 2.0), 0.01);
}

TEST(LoudnessMeterRMS, SmoothingFollowsTheWindow)
{
  // alpha = 10^(-1 / (1.3 W fs)): after 1.3 W seconds of silence a unit power has fallen by 10 dB in power.
  LoudnessMeter m;
  ASSERT_TRUE(m.Init(kMeterRMSSummed, 1.0, 4000.0));
  for (int i = 0; i < 200000; ++i)
    (void)m.ProcessSample(1.0, 0.0);
  double v = 0;
  for (int i = 0; i < 5200; ++i)
    v = m.ProcessSample(0.0, 0.0);
  EXPECT_NEAR(v * v, 0.1, 1e-9);
}

// ---------------------------------------------------------------------------------------------------------------
// VU and peak
// ---------------------------------------------------------------------------------------------------------------

TEST(LoudnessMeterVU, StepResponseHasStandardBallistics)
{
  // IEC 60268-17: 99 % of the steady reading within 300 ms of a step, overshoot of 1 to 1.5 %.
  for (double fs : {44100.0, 48000.0, 96000.0})
  {
    SCOPED_TRACE(fs);
    LoudnessMeter m;
    ASSERT_TRUE(m.Init(kMeterVU, 0.0, fs));
    std::vector<double> r;
    for (int i = 0; i < int(fs * 3); ++i)
      r.push_back(m.ProcessSample(0.1, 0.1));
    const double steady = r.back();
    int first99 = -1;
    double peak = 0;
    for (size_t i = 0; i < r.size(); ++i)
    {
      if (first99 < 0 && r[i] >= 0.99 * steady)
        first99 = int(i);
      peak = std::max(peak, r[i]);
    }
    EXPECT_LE(first99 / fs, 0.300);
    EXPECT_GE(first99 / fs, 0.250);
    EXPECT_GE(peak / steady - 1.0, 0.010);
    EXPECT_LE(peak / steady - 1.0, 0.015);
  }
}

TEST(LoudnessMeterVU, SineAtMinus18dBFSReadsZeroVU)
{
  LoudnessMeter m;
  ASSERT_TRUE(m.Init(kMeterVU, 0.0, 48000.0));
  const double amp = std::pow(10.0, -18.0 / 20.0);
  double v = 0;
  for (int i = 0; i < 48000 * 3; ++i)
  {
    const double x = amp * std::sin(2 * kPi * 1000.0 * i / 48000.0);
    v = m.ProcessSample(x, x);
  }
  EXPECT_NEAR(ToDB(v), 0.0, 0.05);
}

TEST(LoudnessMeterPeak, HoldsUntilCleared)
{
  LoudnessMeter m;
  ASSERT_TRUE(m.Init(kMeterMaxPeak, 0.0, 48000.0));
  EXPECT_EQ(m.ProcessSample(0.9, -0.2), 0.9);
  for (int i = 0; i < 100000; ++i)
    ASSERT_EQ(m.ProcessSample(0.0, 0.0), 0.9);
  EXPECT_EQ(m.ProcessSample(0.1, -0.95), 0.95);
  m.Clear();
  EXPECT_EQ(m.ProcessSample(0.0, 0.0), 0.0);
}

// ---------------------------------------------------------------------------------------------------------------
// Window, validation, robustness
// ---------------------------------------------------------------------------------------------------------------

TEST(LoudnessMeterWindow, FixedWindowsAndCounter)
{
  LoudnessMeter m;
  ASSERT_TRUE(m.Init(kMeterEBUML, 10.0, 48000.0));
  EXPECT_EQ(m.WindowLength(), 19200);
  ASSERT_TRUE(m.Init(kMeterEBUSL, 10.0, 48000.0));
  EXPECT_EQ(m.WindowLength(), 144000);
  ASSERT_TRUE(m.Init(kMeterVU, 10.0, 48000.0));
  EXPECT_EQ(m.WindowLength(), 14400);
  ASSERT_TRUE(m.Init(kMeterMaxPeak, 10.0, 48000.0));
  EXPECT_EQ(m.WindowLength(), 480);
  ASSERT_TRUE(m.Init(kMeterRMSSummed, 3.0, 48000.0));
  EXPECT_EQ(m.WindowLength(), 144000);
  ASSERT_TRUE(m.Init(kMeterRMSAveraged, 0.01, 44100.0));
  EXPECT_EQ(m.WindowLength(), 441);

  for (int i = 0; i < 440; ++i)
    (void)m.ProcessSample(0.5, 0.5);
  EXPECT_EQ(m.WindowCounter(), 440);
  EXPECT_FALSE(m.WindowFull());
  (void)m.ProcessSample(0.5, 0.5);
  EXPECT_EQ(m.WindowCounter(), 441);
  EXPECT_TRUE(m.WindowFull());
  for (int i = 0; i < 1000; ++i)
    (void)m.ProcessSample(0.5, 0.5);
  EXPECT_EQ(m.WindowCounter(), 441);

  m.Clear();
  EXPECT_EQ(m.WindowCounter(), 0);
  EXPECT_EQ(m.WindowLength(), 441);
  EXPECT_EQ(m.Mode(), kMeterRMSAveraged);
}

TEST(LoudnessMeterInit, RefusesBadRatesAndWindows)
{
  LoudnessMeter m;
  ASSERT_TRUE(m.Init(kMeterEBUML, 0.0, 48000.0));
  const double b0 = m.Stage1Left().b0;
  for (double fs : {0.0, -48000.0, 100.0, std::numeric_limits<double>::quiet_NaN(),
                    std::numeric_limits<double>::infinity(), 1e9})
    EXPECT_FALSE(m.Init(kMeterEBUSL, 1.0, fs)) << fs;
  EXPECT_FALSE(m.Init(kMeterRMSSummed, std::numeric_limits<double>::quiet_NaN(), 48000.0));
  EXPECT_FALSE(m.Init(kMeterRMSSummed, -1.0, 48000.0));
  EXPECT_FALSE(m.Init(kMeterRMSSummed, std::numeric_limits<double>::infinity(), 48000.0));
  EXPECT_EQ(m.Mode(), kMeterEBUML);  // unchanged
  EXPECT_EQ(m.Stage1Left().b0, b0);
  EXPECT_EQ(m.SampleRate(), 48000.0);

  // Fixed-window modes ignore a bad RMS window.
  EXPECT_TRUE(m.Init(kMeterVU, std::numeric_limits<double>::quiet_NaN(), 48000.0));

  // Mode 6 and other out-of-range modes become "RMS Summed".
  EXPECT_TRUE(m.Init(6, 1.0, 48000.0));
  EXPECT_EQ(m.Mode(), kMeterRMSSummed);
  EXPECT_TRUE(m.Init(-3, 1.0, 48000.0));
  EXPECT_EQ(m.Mode(), kMeterRMSSummed);

  // A zero window means no smoothing, not a division by zero.
  EXPECT_TRUE(m.Init(kMeterRMSSummed, 0.0, 48000.0));
  EXPECT_EQ(m.WindowLength(), 0);
  EXPECT_EQ(m.Decay(), 0.0);
  EXPECT_TRUE(m.WindowFull());
  EXPECT_DOUBLE_EQ(m.ProcessSample(0.3, 0.4), 0.5);
}

TEST(LoudnessMeterInit, DefaultIsUsable)
{
  LoudnessMeter m;
  EXPECT_EQ(m.Mode(), kMeterRMSSummed);
  EXPECT_EQ(m.SampleRate(), 44100.0);
  EXPECT_EQ(m.WindowLength(), 132300);
  EXPECT_GT(m.ProcessSample(1.0, 0.0), 0.0);
}

TEST(LoudnessMeterRobustness, NonFiniteSamplesCountAsSilence)
{
  for (int mode = 0; mode < kNumMeterModes; ++mode)
  {
    SCOPED_TRACE(mode);
    LoudnessMeter a, b;
    ASSERT_TRUE(a.Init(mode, 0.1, 48000.0));
    ASSERT_TRUE(b.Init(mode, 0.1, 48000.0));
    double va = 0, vb = 0;
    for (int i = 0; i < 20000; ++i)
    {
      const double x = 0.5 * std::sin(i * 0.05);
      const bool bad = i % 1000 == 7;
      va = a.ProcessSample(bad ? std::numeric_limits<double>::quiet_NaN() : x,
                           bad ? std::numeric_limits<double>::infinity() : x);
      vb = b.ProcessSample(bad ? 0.0 : x, bad ? 0.0 : x);
      ASSERT_TRUE(std::isfinite(va));
    }
    EXPECT_EQ(va, vb);
  }
}

TEST(LoudnessMeterRobustness, ClearRestartsLikeAFreshMeter)
{
  LoudnessMeter a, b;
  ASSERT_TRUE(a.Init(kMeterEBUML, 0.0, 48000.0));
  ASSERT_TRUE(b.Init(kMeterEBUML, 0.0, 48000.0));
  for (int i = 0; i < 5000; ++i)
    (void)a.ProcessSample(std::sin(i * 0.3), std::cos(i * 0.2));
  a.Clear();
  EXPECT_EQ(a.Level(), 0.0);
  EXPECT_EQ(a.WindowCounter(), 0);
  for (int i = 0; i < 5000; ++i)
    ASSERT_EQ(a.ProcessSample(std::sin(i * 0.1), 0.2), b.ProcessSample(std::sin(i * 0.1), 0.2));
}

TEST(LoudnessMeterRobustness, NeverAllocates)
{
  testsupport::AllocationScope scope;
  LoudnessMeter m;
  for (int mode = 0; mode < kNumMeterModes; ++mode)
  {
    ASSERT_TRUE(m.Init(mode, 0.5, 96000.0));
    for (int i = 0; i < 1000; ++i)
      (void)m.ProcessSample(0.1 * i, -0.1);
    m.Clear();
  }
  EXPECT_EQ(scope.Count(), 0u);
}

// ---------------------------------------------------------------------------------------------------------------
// Block processing against the per-sample path
// ---------------------------------------------------------------------------------------------------------------

// Equal bit for bit: a -0.0 against 0.0, or the last ulp, fails.
bool SameBits(double a, double b)
{
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

// Segments that reach what the filters and selects treat specially: loud noise, quiet noise, subnormal input,
// silence (the filter state settles on the denormal guard, where a missing or extra 1e-25 shows); NaN and
// infinities now and then. kBlockTestFrames ends in silence.
std::vector<double> TestSignal(uint64_t seed, int n)
{
  Noise noise(seed);
  std::vector<double> x(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i)
  {
    static constexpr double kScale[] = {0.8, 1e-3, 1e-310, 0.0};
    double v = noise.Next() * kScale[(i / 2000) % 4];
    if (i % 997 == 11)
      v = std::numeric_limits<double>::quiet_NaN();
    else if (i % 1499 == 5)
      v = (i % 2 ? 1.0 : -1.0) * std::numeric_limits<double>::infinity();
    x[size_t(i)] = v;
  }
  return x;
}

void ExpectSameSection(const Biquad& a, const Biquad& b)
{
  for (auto field : {&Biquad::x0, &Biquad::x1, &Biquad::x2, &Biquad::y0, &Biquad::y1, &Biquad::y2, &Biquad::out})
    EXPECT_TRUE(SameBits(a.*field, b.*field)) << a.*field << " vs " << b.*field;
}

// Accessible state equal, then equal readings for a while (which covers the VU stages too).
void ExpectSameMeter(LoudnessMeter& a, LoudnessMeter& b, const std::vector<double>& l, const std::vector<double>& r)
{
  EXPECT_TRUE(SameBits(a.Level(), b.Level()));
  EXPECT_TRUE(SameBits(a.Power(), b.Power()));
  EXPECT_EQ(a.WindowCounter(), b.WindowCounter());
  ExpectSameSection(a.Stage1Left(), b.Stage1Left());
  ExpectSameSection(a.Stage1Right(), b.Stage1Right());
  ExpectSameSection(a.Stage2Left(), b.Stage2Left());
  ExpectSameSection(a.Stage2Right(), b.Stage2Right());
  for (size_t i = 0; i < 3000; ++i)
    ASSERT_TRUE(SameBits(a.ProcessSample(l[i], r[i]), b.ProcessSample(l[i], r[i]))) << "continuing at " << i;
}

// Block lengths 0..700 in a scrambled order, so that blocks end anywhere (window filling, segment changes).
template <typename Feed>
void InBlocks(int frames, Feed feed)
{
  for (int i = 0, k = 0; i < frames; ++k)
  {
    const int len = std::min(frames - i, (k * 97) % 701);
    feed(i, len);
    i += len;
  }
}

constexpr int kBlockTestFrames = 24000;

TEST(LoudnessMeterBlock, EqualsRepeatedProcessSampleBitForBit)
{
  const std::vector<double> l = TestSignal(1, kBlockTestFrames), r = TestSignal(2, kBlockTestFrames);
  size_t allocations = 0;
  for (double fs : {44100.0, 96000.0})
    for (int mode = 0; mode < kNumMeterModes; ++mode)
      for (double window : {0.0, 0.1}) // 0.1 s: the RMS window fills part way through
      {
        SCOPED_TRACE(testing::Message() << "mode " << mode << " fs " << fs << " window " << window);
        LoudnessMeter bySample, byBlock;
        ASSERT_TRUE(bySample.Init(mode, window, fs));
        ASSERT_TRUE(byBlock.Init(mode, window, fs));
        std::vector<double> expected(kBlockTestFrames), got(kBlockTestFrames, -1.0);
        for (int i = 0; i < kBlockTestFrames; ++i)
          expected[size_t(i)] = bySample.ProcessSample(l[size_t(i)], r[size_t(i)]);
        InBlocks(kBlockTestFrames, [&](int at, int len) {
          testsupport::AllocationScope scope;
          byBlock.ProcessBlock(&l[size_t(at)], &r[size_t(at)], len, &got[size_t(at)]);
          allocations += scope.Count();
        });
        for (int i = 0; i < kBlockTestFrames; ++i)
          ASSERT_TRUE(SameBits(expected[size_t(i)], got[size_t(i)]))
              << "sample " << i << ": " << expected[size_t(i)] << " vs " << got[size_t(i)];
        ExpectSameMeter(bySample, byBlock, l, r);
      }
  EXPECT_EQ(allocations, 0u);
}

TEST(LoudnessMeterBlock, TwoMetersInOneLoopEqualEachAlone)
{
  const std::vector<double> l = TestSignal(3, kBlockTestFrames), r = TestSignal(4, kBlockTestFrames);
  const std::vector<double> l2 = TestSignal(5, kBlockTestFrames), r2 = TestSignal(6, kBlockTestFrames);
  for (int modeA = 0; modeA < kNumMeterModes; ++modeA)
    for (int modeB : {modeA, (modeA + 1) % kNumMeterModes}) // different modes take the fallback
    {
      SCOPED_TRACE(testing::Message() << "modes " << modeA << ", " << modeB);
      LoudnessMeter a, b, pairA, pairB;
      ASSERT_TRUE(a.Init(modeA, 0.05, 48000.0));
      ASSERT_TRUE(pairA.Init(modeA, 0.05, 48000.0));
      ASSERT_TRUE(b.Init(modeB, 0.05, 48000.0));
      ASSERT_TRUE(pairB.Init(modeB, 0.05, 48000.0));
      std::vector<double> outA(kBlockTestFrames), outB(kBlockTestFrames), pairOutA(kBlockTestFrames),
          pairOutB(kBlockTestFrames);
      InBlocks(kBlockTestFrames, [&](int at, int len) {
        const size_t i = size_t(at);
        a.ProcessBlock(&l[i], &r[i], len, &outA[i]);
        b.ProcessBlock(&l2[i], &r2[i], len, &outB[i]);
        LoudnessMeter::ProcessBlocks(pairA, &l[i], &r[i], &pairOutA[i], pairB, &l2[i], &r2[i], &pairOutB[i], len);
      });
      for (size_t i = 0; i < size_t(kBlockTestFrames); ++i)
      {
        ASSERT_TRUE(SameBits(outA[i], pairOutA[i])) << "sample " << i;
        ASSERT_TRUE(SameBits(outB[i], pairOutB[i])) << "sample " << i;
      }
      ExpectSameMeter(a, pairA, l, r);
      ExpectSameMeter(b, pairB, l2, r2);
    }

  // One meter passed twice takes its two blocks one after the other.
  LoudnessMeter once, twice;
  ASSERT_TRUE(once.Init(kMeterEBUML, 0.0, 48000.0));
  ASSERT_TRUE(twice.Init(kMeterEBUML, 0.0, 48000.0));
  std::vector<double> first(512), second(512), pairFirst(512), pairSecond(512);
  once.ProcessBlock(l.data(), r.data(), 512, first.data());
  once.ProcessBlock(l2.data(), r2.data(), 512, second.data());
  LoudnessMeter::ProcessBlocks(twice, l.data(), r.data(), pairFirst.data(), twice, l2.data(), r2.data(),
                               pairSecond.data(), 512);
  for (size_t i = 0; i < 512; ++i)
  {
    ASSERT_TRUE(SameBits(first[i], pairFirst[i]));
    ASSERT_TRUE(SameBits(second[i], pairSecond[i]));
  }
}

TEST(LoudnessMeterBlock, EmptyOrNegativeLengthDoesNothing)
{
  LoudnessMeter m;
  ASSERT_TRUE(m.Init(kMeterEBUSL, 0.0, 48000.0));
  (void)m.ProcessSample(0.5, -0.25);
  const double level = m.Level();
  const Biquad section = m.Stage2Right();
  m.ProcessBlock(nullptr, nullptr, 0, nullptr);
  m.ProcessBlock(nullptr, nullptr, -7, nullptr);
  LoudnessMeter::ProcessBlocks(m, nullptr, nullptr, nullptr, m, nullptr, nullptr, nullptr, -1);
  EXPECT_TRUE(SameBits(m.Level(), level));
  EXPECT_EQ(m.WindowCounter(), 1);
  ExpectSameSection(m.Stage2Right(), section);
}

} // namespace
