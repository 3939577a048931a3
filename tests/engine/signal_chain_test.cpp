// The Receiver's block passes against its one-sample-at-a-time chain: for every combination of match mode,
// monitor, Inverse Match, delta, over protection (with overs), tolerance, latency compensation and a block that
// does not divide into whole passes, both give bit-identical outputs, gains, levels and display values.

#include "engine/support/signal_pair.h"

#include <cstring>
#include <vector>

using namespace plugin;
using testsupport::SignalPairTest;

namespace
{

struct Setting
{
  int matchMode;
  int prePost;
  int inverse;
  int delta;
  double tolerance;
};

struct Outcome
{
  std::vector<double> outL, outR;
  double matchGain, autoGain, gainToMatch, preLevel, postLevel, preMax, preRatio, reduction;
};

class ChainEquivalenceTest : public SignalPairTest
{
protected:
  static constexpr int kOddBlock = 700; // two whole passes and a part

  Outcome Run(const Setting& s, bool plain)
  {
    DestroyAll();
    SetUp();
    Prepare(*mSender, kRate, kOddBlock);
    Prepare(*mReceiver, kRate, kOddBlock);
    mNoise = testsupport::Noise(42);
    mChain.Set(5, 1.7); // loud enough to clip at 0 dBFS now and then
    ClearRecordings();

    ZANIQ& r = *mReceiver;
    mReceiver->Change(ZANIQ::kMeterMode, kMeterRMSSummed);
    mReceiver->Change(ZANIQ::kRMSWindow, 20);
    mReceiver->Change(ZANIQ::kMatchMode, s.matchMode);
    mReceiver->Change(ZANIQ::kPrePostFX, s.prePost);
    mReceiver->Change(ZANIQ::kInverseMatch, s.inverse);
    mReceiver->Change(ZANIQ::kDeltaMonitor, s.delta);
    mReceiver->Change(ZANIQ::kAutoGainTolerance, s.tolerance);
    mReceiver->Change(ZANIQ::kMinAutoGain, -3.0);
    mReceiver->Change(ZANIQ::kEnableOverProtection, 1);
    mReceiver->Change(ZANIQ::kOverProtectionLevel, 0.0);
    mReceiver->Change(ZANIQ::kLatencyCompensation, 5);
    mReceiver->Change(ZANIQ::kGainDiffStore, -2.0);
    mReceiver->Change(ZANIQ::kPreGainDiffStore, 1.5);
    mReceiver->Change(ZANIQ::kDriveFX, 2.0);
    r.SetPlainSampleChain(plain);

    RunNoise(20, 0.7, 0.6, kOddBlock);
    return {mOutL, mOutR, r.GetMatchGain(), r.GetAutoGain(), r.GetGainToMatch(), r.GetPreFXLevel(),
            r.GetPostFXLevel(), r.GetPreFXMax(), r.GetPreRatio(), r.GetGainReductionValue()};
  }
};

bool SameBits(double a, double b)
{
  return std::memcmp(&a, &b, sizeof a) == 0;
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
    const Outcome plain = Run(s, true);
    ASSERT_EQ(fast.outL.size(), plain.outL.size());
    size_t mismatches = 0;
    for (size_t i = 0; i < fast.outL.size(); ++i)
      mismatches += !SameBits(fast.outL[i], plain.outL[i]) + !SameBits(fast.outR[i], plain.outR[i]);
    EXPECT_EQ(mismatches, 0u);
    EXPECT_TRUE(SameBits(fast.matchGain, plain.matchGain));
    EXPECT_TRUE(SameBits(fast.autoGain, plain.autoGain));
    EXPECT_TRUE(SameBits(fast.gainToMatch, plain.gainToMatch));
    EXPECT_TRUE(SameBits(fast.preLevel, plain.preLevel));
    EXPECT_TRUE(SameBits(fast.postLevel, plain.postLevel));
    EXPECT_TRUE(SameBits(fast.preMax, plain.preMax));
    EXPECT_TRUE(SameBits(fast.preRatio, plain.preRatio));
    EXPECT_TRUE(SameBits(fast.reduction, plain.reduction));
    withOvers += fast.reduction > 0.0;
  }
  EXPECT_GT(withOvers, 4); // the clipping path was taken, not only the quick one
}

} // namespace
