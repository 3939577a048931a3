// The Receiver's pieces on their own: the delay line's bounds, the fade-in ramp, the impulse detector driven by a
// simulated Sender -> chain -> Receiver loop (exact delays: the signal-pair tests), and over protection.

#include "engine/LatencyDetector.h"
#include "engine/OverProtection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>
#include <vector>

namespace {

// --- DelayLine and fade-in (their plain paths are met exactly end to end: a compensated chain's delta is 0) ---

TEST(DelayLine, LengthIsClampedAndShrinkingNeverReadsOutside)
{
  DelayLine line;
  ASSERT_TRUE(line.Allocate());
  for (const auto& [set, length] : {std::pair{176401, 176400}, {-5, 0}})
  {
    line.SetLength(set);
    EXPECT_EQ(line.length, length) << set;
  }

  line.Clear(100);
  for (int i = 0; i < 95; ++i) (void)line.Process(1.0);
  // Shrink below the read position: the next read restarts inside the new length.
  line.SetLength(10);
  for (int i = 0; i < 50; ++i)
  {
    (void)line.Process(2.0);
    EXPECT_LT(line.index, 10);
  }
  // After a full turn of the new length, the output is what went in 10 samples ago.
  EXPECT_EQ(line.Process(3.0), 2.0);

  // Without a buffer every length is 0: nothing to delay by.
  DelayLine empty;
  empty.SetLength(10);
  EXPECT_EQ(std::pair(empty.length, empty.Process(0.5)), std::pair(0, 0.5));
}

TEST(FadeIn, RisesLinearlyAndNeverBelowZero)
{
  int counter = 4;
  for (double expected : {0.25, 0.5, 0.75, 1.0, 1.0}) EXPECT_EQ(NextFadeFactor(counter, 4), expected);
  // No length, or a counter above a shortened length: never negative, never NaN.
  counter = 5;
  EXPECT_EQ(NextFadeFactor(counter, 0), 1.0);
  counter = 10;
  EXPECT_EQ(NextFadeFactor(counter, 4), 0.0);
}

// --- LatencyDetector in a simulated pair ---

// The Sender renders before the Receiver in each host cycle. The Receiver hands the detector state to the Sender
// for its next block; the chain between them delays by `delay` samples and scales by `gain`. While it is not told
// otherwise (before the first hand-over, and while the detector is idle) the Sender plays programme: noise up to
// +-`playing`, and every `hitEvery` samples (from the first) the same 441-sample hit up to +-1, the programme repeating
// with it. The measurement starts
// after `leadCycles` cycles of programme. Runs cycles until the detector stops or maxCycles pass after the start;
// returns the samples run since the start.
// `sizes`, when given, are the frames of the host's successive blocks (repeated), each at most `block`.
long RunPair(LatencyDetector& detector, int block, int delay, double gain, long maxCycles, double playing = 0.0,
             const std::vector<int>& sizes = {}, long leadCycles = 0, long hitEvery = 0)
{
  detector.Reset(block);
  std::deque<double> chain(size_t(delay), 0.0);
  int senderState = LatencyDetector::kIdle;
  uint32_t noise = 12345u;
  long samples = 0, played = 0;
  for (long cycle = 0; cycle < leadCycles + maxCycles; ++cycle)
  {
    if (cycle == leadCycles)
      detector.Start();
    const int frames = sizes.empty() ? block : sizes[size_t(cycle) % sizes.size()];
    // Sender block (its pulse on the first sample when asked for), then the Receiver block that sees it.
    std::vector<double> post(static_cast<size_t>(frames));
    bool programme = false, pulse = false;
    for (int i = 0; i < frames; ++i)
    {
      double out = 0.0;
      if (senderState == LatencyDetector::kIdle)
      {
        if (hitEvery > 0 && played % hitEvery == 0) noise = 12345u;
        noise = noise * 1664525u + 1013904223u;
        const bool hit = hitEvery > 0 && played++ % hitEvery < 441;
        out = (hit ? 1.0 : playing) * (double(noise >> 8) / double(1u << 23) - 1.0);
      }
      else if (senderState == LatencyDetector::kPulseRequested && i == 0)
        out = 1.0;
      (senderState == LatencyDetector::kPulseRequested ? pulse : programme) |= out != 0.0;
      chain.push_back(out);
      post[size_t(i)] = chain.front() * gain;
      chain.pop_front();
    }
    using EFed = LatencyDetector::EFed;
    detector.NoteBlock(pulse ? EFed::kImpulse : programme ? EFed::kProgramme : EFed::kNothing, true, frames);
    senderState = detector.HandOver(frames);
    if (cycle < leadCycles)
      continue;
    for (double x : post)
    {
      ++samples;
      if (detector.Process(x, x)) return samples;
    }
  }
  return samples;
}

// Feeds silence until the detector asks for the impulse and hands the request over (blocks of the reset size).
void Settle(LatencyDetector& detector)
{
  const int block = std::max(detector.blockSize, 1);
  for (int i = 0; detector.state != LatencyDetector::kPulseRequested; ++i)
  {
    if (i % block == 0) (void)detector.HandOver(block);
    ASSERT_FALSE(detector.Process(0.0, 0.0));
  }
  (void)detector.HandOver(detector.blockSize);
}

TEST(LatencyDetector, WindowLengthFollowsTheLargestDelayAndTheHostBlocks)
{
  // 177400 samples (the largest delay, 176400, and 1000 more) plus two host blocks; a quarter of the int range at
  // most.
  for (const auto& [block, length] : {std::pair{512, 178424}, {0, 177400}, {-7, 177400}, {8192, 193784},
                                      {std::numeric_limits<int>::max(), std::numeric_limits<int>::max() / 4}})
    EXPECT_EQ(LatencyDetector::WindowLengthFor(block), length) << block;
}

TEST(LatencyDetector, QuietChainIsFoundAfterTheThresholdDropsAndAMutingOneEndsWithZero)
{
  // -20 dB never crosses the -3 dB threshold; the second window listens 3 dB below the loudest sample it saw.
  LatencyDetector quiet, muting;
  EXPECT_GT(RunPair(quiet, 256, 300, 0.1, 4000), LatencyDetector::kWindowLength);
  EXPECT_EQ(std::pair(quiet.finished, quiet.measured), std::pair(1, 300));
  // Nothing ever arrives: a window of settling (whole blocks: 349 of 512 frames), three windows, then 0.
  EXPECT_EQ(RunPair(muting, 512, 10, 0.0, 10000), 349L * 512 + 3L * 178424);
  EXPECT_EQ(std::pair(muting.finished, muting.measured), std::pair(1, 0));
}

TEST(LatencyDetector, DelaysAtTheTopOfTheRangeAreFoundAtAnyBlockSizeLoudOrQuiet)
{
  // The impulse's way back (the Sender's block, the chain) and, for a quiet chain, the second window's start in the
  // middle of a block all fit in a window. (Block sizes between these: the signal-pair tests.)
  struct Case
  {
    int block, delay;
    double gain;
  };
  for (const auto& [block, delay, gain] : {Case{1, 176400, 1.0}, Case{1, 177399, 0.1}, Case{4099, 177399, 0.1},
                                           Case{8192, 176400, 0.1}, Case{65536, 176400, 1.0}})
  {
    LatencyDetector detector;
    (void)RunPair(detector, block, delay, gain, 5L * LatencyDetector::WindowLengthFor(block) / block + 16);
    EXPECT_EQ(std::pair(detector.finished, detector.measured), std::pair(1, delay))
        << "blocks of " << block << ", gain " << gain;
  }
}

TEST(LatencyDetector, HostBlocksShorterThanTheLargestAreCountedAsTheyCome)
{
  // The impulse waits out the block in which it was asked for, whatever its length: not the largest block the host
  // announced.
  for (const int delay : {0, 300, 176400})
  {
    LatencyDetector detector;
    (void)RunPair(detector, 512, delay, 1.0, 10000, 0.0, {100, 512, 7, 333});
    EXPECT_EQ(std::pair(detector.finished, detector.measured), std::pair(1, delay)) << delay;
  }
}

TEST(LatencyDetector, ALateImpulseIsCountedFromItsOwnRequestOrNotAtAll)
{
  // Back in the second window: its true delay (the lines then clamp it), not one counted from a newer request.
  LatencyDetector late, tooLate, muting;
  const int window = LatencyDetector::WindowLengthFor(512);
  (void)RunPair(late, 512, window + 5000, 1.0, 10000);
  EXPECT_EQ(std::pair(late.valid, late.measured), std::pair(true, window + 5000));
  // Back after the third window: as if nothing had come back.
  const long mutingSamples = RunPair(muting, 512, 10, 0.0, 10000);
  EXPECT_EQ(RunPair(tooLate, 512, 3 * window + 100, 1.0, 10000), mutingSamples);
  EXPECT_EQ(std::tuple(tooLate.finished, tooLate.valid, tooLate.measured, tooLate.Active()), std::tuple(1, true, 0, false));

  // From a silent start, what comes back after each impulse's request ({impulse, count, level, samples}; impulse 2:
  // the second and the third), and what goes in during the fourth block: the later answers must cross the first
  // one's level and the steep levels above it within a sample of its counts, their peaks within two 0.25 dB levels
  // (the flat top is not compared); the count is read where the edge crosses 3 dB under the peak. Each answer is
  // the first thing above the level since its request, the second with half the gap quiet before it, the third with
  // 1024 samples; noise in the second's quiet, before or after its request (up to the half next to the answer),
  // must not be able to move the count by a sample. Programme or a block the detector does not see after the
  // request ends the measurement. (-1: no value.)
  using EFed = LatencyDetector::EFed;
  using Back = std::tuple<int, long, double, long>;
  const long slow = window + 5000, far = 100000;
  const std::tuple<std::vector<Back>, long, EFed, bool> rows[] = {
      {{{1, 1000, 1.0, 1}, {2, 1000, 1.0, 1}}, 1000, EFed::kNothing, true},
      {{{1, 1000, 1.0, 1}}, -1, EFed::kNothing, true},
      {{{1, 1000, 1.0, 1}, {2, 1001, 1.0, 1}}, 1000, EFed::kNothing, true},
      {{{1, 1000, 1.0, 1}, {2, 1002, 1.0, 1}}, -1, EFed::kNothing, true},
      {{{1, 1000, 0.8, 1}, {1, 1003, 1.0, 1}, {2, 1000, 1.0, 4}}, 1000, EFed::kNothing, true},
      {{{1, 1000, 0.8, 3}, {1, 1003, 4.0, 1}, {2, 1000, 4.0, 4}}, -1, EFed::kNothing, true},
      {{{1, 1000, 1.0, 1}, {2, 1000, 1.05, 1}}, 1000, EFed::kNothing, true},
      {{{1, 1000, 0.073, 2}, {1, 1002, 0.075, 2}, {1, 1004, 0.105, 1}, {2, 1000, 0.073, 2}, {2, 1002, 0.075, 2},
        {2, 1004, 0.105, 1}},
       1002, EFed::kNothing, true},
      {{{1, 1000, 0.073, 2}, {1, 1002, 0.075, 2}, {1, 1004, 0.105, 1}, {1, 150000, 0.01, 1}, {2, 1000, 0.073, 2},
        {2, 1002, 0.075, 2}, {2, 1004, 0.105, 1}},
       -1, EFed::kNothing, true},
      {{{1, 1000, 0.073, 2}, {1, 1002, 0.075, 2}, {1, 1004, 0.105, 1}, {2, -300, 0.01, 1}, {2, 1000, 0.073, 2},
        {2, 1002, 0.075, 2}, {2, 1004, 0.105, 1}},
       -1, EFed::kNothing, true},
      {{{1, far, 0.073, 2}, {1, far + 2, 0.075, 2}, {1, far + 4, 0.105, 1}, {2, 50000, 0.01, 1}, {2, far, 0.073, 2},
        {2, far + 2, 0.075, 2}, {2, far + 4, 0.105, 1}},
       -1, EFed::kNothing, true},
      {{{1, 1000, 1.0, 1}, {2, 1000, 1.1, 1}}, -1, EFed::kNothing, true},
      {{{1, 1000, 1.0, 1}, {2, 400, 1.0, 1}, {2, 1000, 1.0, 1}}, -1, EFed::kNothing, true},
      {{{1, -12, 1.0, 2000}, {2, 0, 1.0, 1}}, -1, EFed::kNothing, true},
      {{{1, 0, 1.0, 1}, {2, -12, 1.0, 2000}}, -1, EFed::kNothing, true},
      {{{1, 5, 1.0, 1}, {1, window - 812, 1.0, 1}, {2, 5, 1.0, 1}}, -1, EFed::kNothing, true},
      {{{1, 5, 1.0, 1}, {2, 5, 1.0, 1}, {2, 88788, 1.0, 1}}, -1, EFed::kNothing, true},
      {{{1, slow, 1e-3, 1}, {2, slow, 1e-3, 1}}, slow, EFed::kNothing, true},
      {{{1, far, 1.0, 700}, {2, far, 1.0, 700}}, far, EFed::kNothing, true},
      {{{1, 1000, 1.0, 1}, {2, 1000, 1.0, 1}}, -1, EFed::kProgramme, true},
      {{{1, 1000, 1.0, 1}, {2, 1000, 1.0, 1}}, -1, EFed::kNothing, false},
      {{{1, 1000, 1.0, 1}, {2, 1000, 1.0, 1}}, -1, EFed::kUnknown, false}};
  int row = 0;
  for (const auto& [back, measured, fed, watched] : rows)
  {
    LatencyDetector detector;
    detector.Reset(512);
    detector.Start();
    Settle(detector);
    std::vector<long> requests{0}; // where each request was handed over
    for (long i = 0; !detector.finished; ++i)
    {
      if (i > 0 && i % 512 == 0)
      {
        if (i == 4 * 512) detector.NoteBlock(fed, watched, 512);
        if (detector.HandOver(512) == LatencyDetector::kPulseRequested) requests.push_back(i);
      }
      // An answer rings on into the count of the next request.
      double x = 0.0;
      for (size_t r = 0; r < requests.size(); ++r)
        for (const auto& [k, count, level, length] : back)
        {
          const long since = i - requests[r] - 512;
          if (k == std::min(int(r) + 1, 2) && since >= count && since < count + length) x = std::max(x, level);
        }
      (void)detector.Process(x, x);
    }
    EXPECT_EQ(detector.valid ? long(detector.measured) : -1L, measured) << "row " << row;
    ++row;
  }
  // The impulse of a cancelled measurement is something sent: the next one waits until the Sender has sent nothing
  // for a window (349 blocks of 512 here), and a block without a Sender starts that wait again.
  for (const auto& [before, afterwards, state] :
       {std::tuple{EFed::kImpulse, 348, 1}, {EFed::kImpulse, 349, 2}, {EFed::kUnknown, 348, 1}})
  {
    LatencyDetector restarted;
    restarted.Reset(512);
    for (int i = 0; i < 400 + 1 + afterwards; ++i) restarted.NoteBlock(i == 400 ? before : EFed::kNothing, true, 512);
    restarted.Start();
    EXPECT_EQ(restarted.HandOver(512), state) << afterwards;
  }
}

TEST(LatencyDetector, SignalStillInTheChainBeforeTheImpulseCanArriveDoesNotRestartTheCount)
{
  // The Receiver's first block still hears what the Sender played before it fell silent, loud enough to fire.
  // Taken for an early answer, it used to ask for another impulse and count the first one from that request: with
  // no delay each impulse then came back "early" again, for ever.
  LatencyDetector detector;
  (void)RunPair(detector, 512, 0, 1.0, 1000, 0.9);
  EXPECT_EQ(std::pair(detector.valid, detector.measured), std::pair(true, 0));
}

TEST(LatencyDetector, ProgrammeInFlightIsNeverTakenForTheImpulse)
{
  // Noise up to +-0.95 for 0.5 s at 44.1 kHz (43 blocks of 512), then the measurement. Every delay a window covers
  // comes out exact. A chain slower than that gives its true delay (the lines clamp it) or no value (-1), and one
  // that gave nothing back at all 0. So does programme under the threshold played for longer than the delay, and
  // loud hits (441 samples, every `hits`) on quieter programme or silence, with gaps just over a window (178424
  // samples here), as long as the first gap (178688) or a little longer, or half of it (in blocks of 4096, whose gaps
  // are 188416 and half of that), at the start of programme that goes on too quietly to count as anything coming
  // back, or first coming out just after the request, or so late in the window that the third request would go out
  // at the first gap again.
  struct Case
  {
    int delay;
    double gain;
    long measured, lead = 43;
    double playing = 0.95;
    long hits = 0;
    int block = 512;
  };
  const Case cases[] = {{1, 1.0, 1},           {511, 1.0, 511},       {4096, 1.0, 4096},
                        {44100, 1.0, 44100},   {44100, 0.1, 44100},   {176400, 1.0, 176400},
                        {177399, 0.1, 177399}, {200000, 1.0, 200000}, {250000, 1.0, -1},
                        {600000, 1.0, -1},     {600000, 0.0, 0},      {44100, 0.5, 44100, 600},
                        {200000, 0.5, -1, 600},
                        {200000, 1.0, -1, 1875, 0.1, 192000},
                        {400000, 2.0, -1, 1125, 0.0, 179424},
                        {400000, 2.0, -1, 1125, 0.3, 178500},
                        {176400, 2.0, 176400, 1125, 0.3, 178500},
                        {800000, 1.0, -1, 1406, 0.0, 1L << 40},
                        {800000, 2.0, -1, 900, 0.0, 178688},
                        {600000, 1.0, -1, 1125, 1e-8, 1L << 40},
                        {400000, 0.5, -1, 861, 0.0, 178688 / 8},
                        {600000, 0.5, -1, 861, 0.0, 178688 / 4},
                        {714788, 1.0, -1, 699, 0.0, 178688},
                        {420176, 1.0, -1, 400, 0.0, 178688},
                        {600000, 0.5, -1, 120, 0.0, 188416 / 2, 4096}};
  for (const auto& [delay, gain, measured, lead, playing, hits, block] : cases)
  {
    LatencyDetector detector;
    (void)RunPair(detector, block, delay, gain, 10000, playing, {}, lead, hits);
    EXPECT_EQ(std::pair(detector.finished, detector.valid ? long(detector.measured) : -1L), std::pair(1, measured))
        << "delay " << delay << ", gain " << gain << ", hits " << hits;
  }
  // From a silent start the same chains measure, the slowest as nothing at all; after a silent window, at once.
  // Either way the second impulse goes out a window (349 blocks) after the first and the third half that (175
  // blocks) after the second.
  for (const auto& [delay, measured, lead, samples] :
       {std::tuple{1, 1, 43L, (349L + 349 + 175 + 1) * 512 + 3}, {600000, 0, 43L, 349L * 512 + 3L * 178424},
        {1, 1, 349L, (349L + 175 + 1) * 512 + 3}})
  {
    LatencyDetector detector;
    EXPECT_EQ(RunPair(detector, 512, delay, 1.0, 5000, 0.0, {}, lead), samples);
    EXPECT_EQ(std::tuple(detector.finished, detector.measured, detector.valid), std::tuple(1, measured, true));
  }
}

TEST(LatencyDetector, AChainThatNeverGoesQuietEndsTheMeasurementWithoutAValue)
{
  // Its own noise keeps it above the threshold: no impulse is ever asked for, and after three windows of waiting
  // (3 x 178424 samples) the measurement ends, marked as without a value.
  LatencyDetector detector;
  detector.Reset(512);
  detector.Start();
  long samples = 0;
  bool stopped = false;
  while (!stopped && samples < 4L * 178424)
  {
    detector.NoteBlock(LatencyDetector::EFed::kNothing, true, 512);
    ASSERT_EQ(detector.HandOver(512), LatencyDetector::kWaiting);
    for (int i = 0; i < 512 && !stopped; ++i, ++samples)
      stopped = detector.Process(i % 2 ? 0.9 : -0.8, 0.75);
  }
  EXPECT_EQ(std::tuple(samples, detector.finished, detector.valid, detector.Active()),
            std::tuple(3L * 178424, 1, false, false));
}

TEST(LatencyDetector, NonFiniteSamplesNeitherFireNorPoisonTheThreshold)
{
  LatencyDetector detector;
  detector.Reset(0);
  detector.Start();
  Settle(detector);
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int i = 0; i < 100; ++i) EXPECT_FALSE(detector.Process(i % 2 ? inf : nan, -inf));
  EXPECT_EQ(detector.peak, 0.0);
  // A real impulse is still found.
  for (int i = 0; i < detector.windowLength; ++i) (void)detector.Process(i == 0 ? 1.0 : 0.0, 0.0);
  EXPECT_EQ(detector.answer, 100);
}

// --- Over protection ---

TEST(OverProtection, ClipsAtTheLevelAndReportsTheRatio)
{
  OverProtection p;
  const double c3 = std::pow(10.0, 3.0 / 20.0), nan = std::numeric_limits<double>::quiet_NaN(),
               inf = std::numeric_limits<double>::infinity();
  // level dB, input, output, ratio of output to input (1 when nothing was cut)
  const double cases[][4] = {{0.0, 1.5, 1.0, 2.0 / 3.0}, {0.0, -1.5, -1.0, 2.0 / 3.0}, {0.0, 0.5, 0.5, 1.0},
                             {0.0, 0.0, 0.0, 1.0},       {3.0, 1.2, 1.2, 1.0},         {3.0, -2.0, -c3, c3 / 2.0},
                             {-144.0, 0.3, 0.0, 0.0}, // at -144 dB and below everything is clipped to nothing
                             {0.0, nan, 0.0, 1.0},       {0.0, inf, 0.0, 1.0},        {0.0, -inf, 0.0, 1.0}};
  for (const auto& [level, in, out, ratio] : cases)
  {
    p.SetLevel(level);
    const double got = p.Process(in);
    EXPECT_TRUE(std::fabs(got - out) < 1e-12 && std::fabs(p.ratio - ratio) < 1e-12)
        << level << " dB, " << in << ": " << got << ", ratio " << p.ratio;
  }
}

TEST(GainReductionDisplay, NonFiniteRatiosDoNotStick)
{
  // (Its hold of the deepest cut with real overs: the signal-pair tests.)
  GainReductionDisplay d;
  d.Reset(1000.0);
  d.Process(std::numeric_limits<double>::quiet_NaN(), 1.0);
  d.Process(1.0, std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isfinite(d.value));
  d.Process(0.5, 1.0);
  EXPECT_NEAR(d.value, 0.5, 1e-15);
}

} // namespace
