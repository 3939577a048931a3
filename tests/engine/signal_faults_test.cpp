// Inputs and settings that must not break the signal path: non-finite samples, zero gains to divide by, blocks
// longer than the link buffers, unusual channel connections, absent buffers, and no allocation per block.

#include "engine/support/alloc_counter.h"
#include "engine/support/signal_pair.h"

#include <limits>

using namespace plugin;
using namespace testsupport;

namespace
{

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class SignalFaultTest : public SignalPairTest
{
protected:
  bool ReceiverStateFinite() const
  {
    const ZANIQ& r = *mReceiver;
    return AllFinite({r.GetPreFXLevel(), r.GetPostFXLevel(), r.GetPreFXMax(), r.GetMatchGain(), r.GetAutoGain(),
                      r.GetGainToMatch(), r.GetPreRatio(), r.GetGainReductionValue()});
  }

  // Runs up to `blocks` cycles of noise on buffers made beforehand (RunNoise records, which allocates), while
  // before() allows; returns the allocations the cycles made.
  template <typename F> size_t AllocationsOver(int blocks, F before)
  {
    std::vector<double> inL(kBlock), inR(kBlock), sOutL(kBlock), sOutR(kBlock), rOutL(kBlock), rOutR(kBlock);
    double* sIn[2] = {inL.data(), inR.data()};
    double* sOut[2] = {sOutL.data(), sOutR.data()};
    double* rOut[2] = {rOutL.data(), rOutR.data()};
    testsupport::AllocationScope scope;
    for (int b = 0; b < blocks && before(); ++b)
    {
      for (int i = 0; i < kBlock; ++i) inL[size_t(i)] = inR[size_t(i)] = 0.5 * mNoise.Next();
      mSender->ProcessBlock(sIn, sOut, kBlock);
      mChain.Process(sOutL.data(), sOutR.data(), kBlock);
      mReceiver->ProcessBlock(sOut, rOut, kBlock);
    }
    return scope.Count();
  }
};

TEST_F(SignalFaultTest, NonFiniteSamplesDoNotPoisonTheReceiver)
{
  mReceiver->Change(ZANIQ::kMeterMode, kMeterRMSSummed);
  mReceiver->Change(ZANIQ::kRMSWindow, 50);
  mChain.Set(0, 0.5);
  RunNoise(10);

  // A NaN or an infinity enters the Sender, so it reaches the Receiver on both sides.
  for (double bad : {kNaN, kInf, -kInf})
  {
    ClearRecordings();
    RunNoise(1, 0.5, 0.5, kBlock, bad, 100);
    EXPECT_TRUE(AllFinite(mOutL) && AllFinite(mOutR) && ReceiverStateFinite()) << bad;
  }
  // Delta monitoring of the matched chain is silent again right away.
  mReceiver->Change(ZANIQ::kDeltaMonitor, 1);
  ClearRecordings();
  RunNoise(10);
  EXPECT_TRUE(ReceiverStateFinite());
  EXPECT_LT(MaxAbsOut(kBlock, mOutL.size()), 1e-9);

  // With over protection on as well (a NaN must not become a full-scale spike).
  mReceiver->Change(ZANIQ::kEnableOverProtection, 1);
  ClearRecordings();
  RunNoise(1, 0.5, 0.5, kBlock, kNaN, 3);
  EXPECT_TRUE(AllFinite(mOutL));
  EXPECT_LT(std::fabs(mOutL[3]), 0.6);
}

TEST_F(SignalFaultTest, ZeroGainsAndPeriodsAreNeverDividedBy)
{
  // "PreGain Diff Store" at -144 dB makes the pre gain 0: the Sender must not divide its input by it.
  mReceiver->Change(ZANIQ::kPreGainDiffStore, -144.0);
  ASSERT_EQ(mReceiver->GetPreGain(), 0.0);
  RunNoise(4);
  EXPECT_TRUE(mSenderOutL == mSenderInL && AllFinite(mOutL));
  mReceiver->Change(ZANIQ::kPreGainDiffStore, 0.0);

  // A stored match of -144 dB makes the match gain 0: post-FX divided by it is silence, not infinity.
  mReceiver->Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  mReceiver->Change(ZANIQ::kGainDiffStore, -144.0);
  ClearRecordings();
  RunNoise(4);
  EXPECT_EQ(MaxAbsOut(), 0.0);

  // Auto against a chain that mutes: the match would need 144 dB or more, which reads as gain 0.
  mReceiver->Change(ZANIQ::kMatchMode, ZANIQ::kMatchAuto);
  mReceiver->Change(ZANIQ::kMeterMode, kMeterRMSSummed);
  mReceiver->Change(ZANIQ::kRMSWindow, 50);
  mChain.Set(0, 0.0);
  ClearRecordings();
  RunNoise(20, 2.0, 2.0); // pre-FX above 0 dB: D below -144 dB
  EXPECT_EQ(mReceiver->GetMatchGain(), 0.0);
  EXPECT_TRUE(AllFinite(mOutL) && ReceiverStateFinite());

  // A tiny sample rate has no half second to divide by.
  Prepare(*mReceiver, 1.0, kBlock);
  EXPECT_EQ(mReceiver->GetHalfSecondPeriod(), 0);
  RunNoise(3);
  EXPECT_TRUE(AllFinite(mOutL));
}

TEST_F(SignalFaultTest, BlocksLongerThanTheLinkBuffers)
{
  mReceiver->Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  mReceiver->Change(ZANIQ::kDeltaMonitor, 1);

  // Up to two link buffers: the Sender sends pieces, the Receiver takes them all; the delta stays silent.
  for (TestZANIQ* z : {mSender, mReceiver}) Prepare(*z, kRate, 12000);
  RunNoise(6, 0.5, 0.3, 12000);
  EXPECT_EQ(MaxAbsOut(), 0.0);

  // Beyond two buffers the rest of the block has no pre-FX signal: heard, but finite and nothing read past the
  // buffers.
  const int m = 20000;
  for (TestZANIQ* z : {mSender, mReceiver}) Prepare(*z, kRate, m);
  ClearRecordings();
  RunNoise(3, 0.5, 0.3, m);
  EXPECT_TRUE(AllFinite(mOutL));
  for (size_t b = 0; b < 3; ++b) EXPECT_EQ(MaxAbsOut(b * m, b * m + 2 * kLinkBufferFrames), 0.0);
}

TEST_F(SignalFaultTest, MissingInputsGiveSilenceAndMonoInputFillsBothOutputs)
{
  std::vector<double> in(kBlock), outL(kBlock, 3.0), outR(kBlock, 3.0), unused(kBlock, 0.0);
  double* outs[2] = {outL.data(), outR.data()};
  mReceiver->ProcessBlock(nullptr, outs, kBlock);
  EXPECT_EQ(std::pair(outL, outR), std::pair(std::vector<double>(kBlock, 0.0), std::vector<double>(kBlock, 0.0)));
  mReceiver->ProcessBlock(nullptr, nullptr, kBlock); // nothing to write to: nothing happens

  mReceiver->SetChannelConnections(kInput, 1, 1, false);
  mReceiver->Change(ZANIQ::kActive, 0); // plain pass-through, so the expected output is the input
  for (double& x : in) x = mNoise.Next();
  double* ins[2] = {in.data(), unused.data()};
  mReceiver->ProcessBlock(ins, outs, kBlock);
  EXPECT_EQ(std::pair(outL, outR), std::pair(in, in));
}

TEST_F(SignalFaultTest, BlocksDoNotAllocate)
{
  mReceiver->Change(ZANIQ::kEnableOverProtection, 1);
  mReceiver->Change(ZANIQ::kLatencyCompensation, 100);
  mChain.Set(100, 0.5);
  RunNoise(2);
  EXPECT_EQ(AllocationsOver(100, [] { return true; }), 0u); // crosses two half-second boundaries

  // Blocks that apply a peer command and store a gain set parameters and notify the host from the audio thread:
  // that path allocates nothing either.
  mReceiver->Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  RunNoise(100);
  LinkSlot& slot = Slot(mReceiver->GetLinkID());
  const double storedBefore = mReceiver->GetParam(ZANIQ::kGainDiffStore)->Value();
  const int codes[] = {ZANIQ::kMatchPreFXDiffGain, ZANIQ::kMatchPostFXDiffGain, ZANIQ::kResetGainDiff,
                       ZANIQ::kMatchLoudness, ZANIQ::kResetPreGainDiff};
  size_t posted = 0;
  const size_t allocations = AllocationsOver(400, [&] {
    if (slot.Command() != kNoLinkCommand) return true; // the last one is still waiting
    if (posted == std::size(codes)) return false;
    slot.PostCommand(codes[posted++], 1.0);
    return true;
  });
  EXPECT_EQ(allocations, 0u);
  EXPECT_EQ(std::pair(posted, slot.Command()), std::pair(std::size(codes), int(kNoLinkCommand)));
  EXPECT_NE(mReceiver->GetParam(ZANIQ::kGainDiffStore)->Value(), storedBefore); // a gain was stored
}

} // namespace
