// The Receiver's block passes against its one-sample-at-a-time chain: for every combination of match mode,
// monitor, Inverse Match, delta, over protection (with overs), tolerance, latency compensation and a block that
// does not divide into whole passes, and in every meter mode with non-finite samples on the way, both give
// bit-identical outputs (written to buffers of their own or over the inputs), gains, levels and display values.

#include "engine/support/signal_pair.h"

#include <cstring>
#include <limits>
#include <vector>

using namespace plugin;
using namespace testsupport;

namespace
{

struct Setting
{
  int matchMode;
  int prePost;
  int inverse;
  int delta;
  double tolerance;
  int meterMode = kMeterRMSSummed;
  double bad = 0.0; // replaces one left sample of every block when not 0
  int compensation = 5;
  int overProtect = 1;
  bool inPlace = false; // the Receiver's outputs are its input buffers
};

// Outputs, then gains, levels and display values.
using Outcome = std::vector<double>;

class ChainEquivalenceTest : public SignalPairTest
{
protected:
  static constexpr int kOddBlock = 701; // two whole passes and an odd part (the one-sample tail of the lane loops)

  Outcome Run(const Setting& s, bool plain)
  {
    DestroyAll();
    SetUp();
    Prepare(*mSender, kRate, kOddBlock);
    Prepare(*mReceiver, kRate, kOddBlock);
    mNoise = testsupport::Noise(42);
    mChain.Set(5, 1.7); // loud enough to clip at 0 dBFS now and then
    ClearRecordings();

    mReceiver->Change(ZANIQ::kMeterMode, s.meterMode);
    mReceiver->Change(ZANIQ::kRMSWindow, 20);
    mReceiver->Change(ZANIQ::kMatchMode, s.matchMode);
    mReceiver->Change(ZANIQ::kPrePostFX, s.prePost);
    mReceiver->Change(ZANIQ::kInverseMatch, s.inverse);
    mReceiver->Change(ZANIQ::kDeltaMonitor, s.delta);
    mReceiver->Change(ZANIQ::kAutoGainTolerance, s.tolerance);
    mReceiver->Change(ZANIQ::kMinAutoGain, -3.0);
    mReceiver->Change(ZANIQ::kEnableOverProtection, s.overProtect);
    mReceiver->Change(ZANIQ::kOverProtectionLevel, 0.0);
    mReceiver->Change(ZANIQ::kLatencyCompensation, s.compensation);
    mReceiver->Change(ZANIQ::kGainDiffStore, -2.0);
    mReceiver->Change(ZANIQ::kPreGainDiffStore, 1.5);
    mReceiver->Change(ZANIQ::kDriveFX, 2.0);
    mReceiver->SetPlainSampleChain(plain);
    mReceiverInPlace = s.inPlace;

    RunNoise(20, 0.7, 0.6, kOddBlock, s.bad, s.bad != 0.0 ? 333 : -1);
    const ZANIQ& r = *mReceiver;
    Outcome o = mOutL;
    o.insert(o.end(), mOutR.begin(), mOutR.end());
    o.insert(o.end(), {r.GetMatchGain(), r.GetAutoGain(), r.GetGainToMatch(), r.GetPreFXLevel(), r.GetPostFXLevel(),
                       r.GetPreFXMax(), r.GetPreRatio(), r.GetGainReductionValue()});
    return o;
  }
};

bool SameBits(double a, double b)
{
  return std::memcmp(&a, &b, sizeof a) == 0;
}

void ExpectSame(const Outcome& fast, const Outcome& plain)
{
  ASSERT_EQ(fast.size(), plain.size());
  for (size_t i = 0; i < fast.size(); ++i)
    ASSERT_TRUE(SameBits(fast[i], plain[i])) << "value " << i << " of " << fast.size();
}

TEST_F(ChainEquivalenceTest, BlockPassesEqualTheSampleChain)
{
  std::vector<Setting> settings;
  for (int mode : {ZANIQ::kMatchManual, ZANIQ::kMatchAuto, ZANIQ::kMatchGainStage})
    for (int prePost : {0, 1})
      for (int inverse : {0, 1})
        for (int delta : {0, 1})
          settings.push_back({mode, prePost, inverse, delta, mode == ZANIQ::kMatchAuto ? 0.5 : 0.0});
  settings.push_back({ZANIQ::kMatchAuto, 1, 0, 0, 0.0});
  int withOvers = 0;

  for (const Setting& s : settings)
  {
    SCOPED_TRACE(::testing::Message() << "mode " << s.matchMode << " prePost " << s.prePost << " inverse "
                                      << s.inverse << " delta " << s.delta << " tolerance " << s.tolerance);
    const Outcome fast = Run(s, false);
    ExpectSame(fast, Run(s, true));
    withOvers += fast.back() > 0.0; // the gain-reduction display
  }
  EXPECT_GT(withOvers, 4); // the clipping path was taken, not only the quick one
}

TEST_F(ChainEquivalenceTest, EveryMeterModeWithNonFiniteSamplesAndEveryLaneWidth)
{
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  std::vector<bool> widths = {false};
  if (LoudnessMeter::UseWideLanes(true))
    widths.push_back(true);
  for (bool wide : widths)
    for (int meter = 0; meter < kNumMeterModes; ++meter)
      for (const Setting& s : {Setting{ZANIQ::kMatchAuto, 1, 0, 1, 0.5, meter, nan, 0, 0, true},
                               Setting{ZANIQ::kMatchManual, 1, 0, 0, 0.0, meter, inf, 0, 0, false},
                               Setting{ZANIQ::kMatchManual, 0, 1, 0, 0.0, meter, -inf, 5, 1, false}})
      {
        SCOPED_TRACE(::testing::Message() << "meter " << meter << " match mode " << s.matchMode << " delta " << s.delta
                                          << " over protection " << s.overProtect << (s.inPlace ? " in place" : "")
                                          << (wide ? ", four lanes" : ", two lanes"));
        LoudnessMeter::UseWideLanes(wide);
        const Outcome fast = Run(s, false);
        ExpectSame(fast, Run(s, true));
        if (s.matchMode == ZANIQ::kMatchManual && s.prePost == 1)
        {
          EXPECT_GT(fast.back(), 0.0); // overs, seen by the display with over protection off
        }
      }
  LoudnessMeter::UseWideLanes(true);
}

} // namespace
