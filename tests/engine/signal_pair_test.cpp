// A Sender and a Receiver in one process: automatic, manual and gain-stage matching across a chain that changes
// the level, pre/post and delta monitoring, over protection, Active off, a Receiver without Sender and a mono pair.

#include "engine/support/signal_pair.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>

using namespace plugin;
using testsupport::SignalPairTest;

namespace
{

double ToDB(double x)
{
  return 20.0 * std::log10(x);
}

int BlocksFor(double seconds)
{
  return int(std::ceil(seconds * 48000.0 / 512.0));
}

// ---------------------------------------------------------------------------------------------------------------
// Auto match
// ---------------------------------------------------------------------------------------------------------------

class AutoMatchByMode : public SignalPairTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(AutoMatchByMode, PostFXIsBroughtBackToThePreFXLevel)
{
  const int mode = GetParam();
  mReceiver->Change(ZANIQ::kMeterMode, mode);
  mReceiver->Change(ZANIQ::kRMSWindow, 500);
  mChain.Set(0, 0.5); // the chain loses 6.02 dB
  mReceiver->RunBlock(); // takes the new meter settings (no Sender block yet: nothing is metered)

  const int windowBlocks = mReceiver->GetPostFXMeter().WindowLength() / kBlock;
  if (windowBlocks >= 2)
  {
    RunNoise(windowBlocks - 1);
    // Until the post-FX meter has seen one full window the match stays 1.0: the chain's loss is heard.
    EXPECT_EQ(mReceiver->GetMatchGain(), 1.0);
    EXPECT_LT(MaxDeviation(0.5, 0, mOutL.size()), 1e-12);
  }

  ClearRecordings();
  RunNoise(BlocksFor(0.3) + 2);
  // Once matched, the Receiver's output is the Sender's input.
  EXPECT_NEAR(ToDB(mReceiver->GetMatchGain()), ToDB(0.5), 1e-6) << "mode " << mode;
  EXPECT_NEAR(mReceiver->GetGainToMatch(), 1.0, 1e-9);
  EXPECT_EQ(mReceiver->GetAutoGain(), mReceiver->GetMatchGain());
  EXPECT_LT(MaxDeviation(1.0, 2 * kBlock, mOutL.size()), 1e-9) << "mode " << mode;
  EXPECT_TRUE(mReceiver->IsReceiving());
  EXPECT_GT(mReceiver->GetPostFXLevel(), 0.0);
  EXPECT_NEAR(mReceiver->GetPostFXLevel() / mReceiver->GetPreFXLevel(), 0.5, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(EveryMeterMode, AutoMatchByMode, ::testing::Range(0, int(kNumMeterModes)));

TEST_F(SignalPairTest, AutoMatchToleranceAndLimits)
{
  mReceiver->Change(ZANIQ::kMeterMode, kMeterRMSSummed);
  mReceiver->Change(ZANIQ::kRMSWindow, 100);
  mReceiver->Change(ZANIQ::kAutoGainTolerance, 1.0);

  struct Case
  {
    double chainDB;    // D
    double minAuto;
    double expectedG;  // dB the post-FX signal is raised by
  };
  const Case cases[] = {
    {0.6, -144.0, 0.0},  // inside the tolerance: no match
    {3.0, -144.0, -2.0}, // lowered by D - t
    {-3.0, -144.0, 2.0},
    {10.0, -6.0, -6.0},  // Min Auto Gain limits the cut
  };
  for (const Case& c : cases)
  {
    mReceiver->Change(ZANIQ::kMinAutoGain, c.minAuto);
    mChain.Set(0, std::pow(10.0, c.chainDB / 20.0));
    // Both meters start again together, so their ratio is the chain's gain from the first sample on.
    mReceiver->Change(ZANIQ::kResetSenderRMS, 1);
    mReceiver->Change(ZANIQ::kResetSenderRMS, 0);
    ClearRecordings();
    RunNoise(BlocksFor(0.4));
    EXPECT_NEAR(ToDB(mReceiver->GetMatchGain()), -c.expectedG, 1e-6) << c.chainDB;
    // The gain to match is what remains: D + g.
    EXPECT_NEAR(ToDB(mReceiver->GetGainToMatch()), c.chainDB + c.expectedG, 1e-6) << c.chainDB;
    const size_t last = mOutL.size();
    EXPECT_LT(MaxDeviation(std::pow(10.0, (c.chainDB + c.expectedG) / 20.0), last - kBlock, last), 1e-9);
  }
}

TEST_F(SignalPairTest, EBUMeterLevelsAgreeWithLibebur128)
{
  // The EBU SL meter reads the BS.1770 loudness of a stationary signal plus 0.691 dB.
  mChain.Set(0, 0.5);
  RunNoise(BlocksFor(12.0));

  ebur128_state* st = ebur128_init(2, 48000, EBUR128_MODE_S);
  ASSERT_NE(st, nullptr);
  const size_t from = mInL.size() - size_t(3 * 48000);
  std::vector<double> frames;
  for (size_t i = from; i < mInL.size(); ++i)
  {
    frames.push_back(mInL[i]);
    frames.push_back(mInR[i]);
  }
  ASSERT_EQ(ebur128_add_frames_double(st, frames.data(), frames.size() / 2), EBUR128_SUCCESS);
  double lufs = 0.0;
  ASSERT_EQ(ebur128_loudness_shortterm(st, &lufs), EBUR128_SUCCESS);
  ebur128_destroy(&st);

  EXPECT_NEAR(ToDB(mReceiver->GetPreFXLevel()), lufs + 0.691, 0.15);
  EXPECT_NEAR(ToDB(mReceiver->GetPostFXLevel()), lufs + 0.691 + ToDB(0.5), 0.15);
  // Reference -18: the pre ratio is the pre-FX level against -18 + 0.7 dB.
  EXPECT_NEAR(ToDB(mReceiver->GetPreRatio()), ToDB(mReceiver->GetPreFXLevel()) - (-18.0 + 0.7), 1e-9);
}

// ---------------------------------------------------------------------------------------------------------------
// Manual match and gain stage
// ---------------------------------------------------------------------------------------------------------------

TEST_F(SignalPairTest, ManualMatchHoldsTheStoredGainAndMatchesOnCommand)
{
  mReceiver->Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  mReceiver->Change(ZANIQ::kMeterMode, kMeterRMSAveraged);
  mReceiver->Change(ZANIQ::kRMSWindow, 100);
  mChain.Set(0, 0.25);

  RunNoise(BlocksFor(0.5));
  // Nothing matched yet: the output is the chain's, and the gain to match tells how far off it is.
  EXPECT_EQ(mReceiver->GetMatchGain(), 1.0);
  EXPECT_LT(MaxDeviation(0.25, 0, mOutL.size()), 1e-12);
  EXPECT_NEAR(mReceiver->GetGainToMatch(), 0.25, 1e-9);

  // "Match Post-FX Diff/Gain" takes it over.
  mReceiver->Change(ZANIQ::kMatchPostFXDiffGain, 1);
  EXPECT_NEAR(mReceiver->GetMatchGain(), 0.25, 1e-9);
  EXPECT_NEAR(mReceiver->GetParam(ZANIQ::kGainDiffStore)->Value(), -12.0, 0.05);
  ClearRecordings();
  RunNoise(4);
  EXPECT_LT(MaxDeviation(1.0, 0, mOutL.size()), 1e-8);
  EXPECT_NEAR(mReceiver->GetGainToMatch(), 1.0, 1e-8);

  // A stored difference sets the gain directly.
  mReceiver->Change(ZANIQ::kGainDiffStore, -6.0);
  ClearRecordings();
  RunNoise(2);
  EXPECT_LT(MaxDeviation(0.25 / std::pow(10.0, -6.0 / 20.0), 0, mOutL.size()), 1e-12);
}

TEST_F(SignalPairTest, GainStageBringsTheChainInputToTheReferenceLevel)
{
  mReceiver->Change(ZANIQ::kMatchMode, ZANIQ::kMatchGainStage);
  mReceiver->Change(ZANIQ::kMeterMode, kMeterRMSSummed);
  mReceiver->Change(ZANIQ::kRMSWindow, 1000);
  mReceiver->Change(ZANIQ::kReferenceLevel, -18.0);

  RunNoise(BlocksFor(4.0));
  const double before = ToDB(mReceiver->GetPreFXLevel());
  EXPECT_NEAR(ToDB(mReceiver->GetPreRatio()), before + 18.0, 1e-9);
  ASSERT_GT(before, -15.0); // far enough from the reference to matter

  // "Match Pre-FX Diff/Gain": the Sender now divides its input by the pre ratio...
  mReceiver->Change(ZANIQ::kMatchPreFXDiffGain, 1);
  EXPECT_NEAR(ToDB(mReceiver->GetPreGain()), before + 18.0, 1e-6);
  ClearRecordings();
  RunNoise(BlocksFor(5.0));
  // ...so the chain works at the reference level...
  EXPECT_NEAR(ToDB(mReceiver->GetPreFXLevel()), -18.0, 0.1);
  // ...and the Receiver restores the original level after it.
  const size_t n = mOutL.size();
  EXPECT_LT(MaxDeviation(1.0, n - 4 * kBlock, n), 1e-9);

  // A drive into the chain is taken back out the same way.
  mReceiver->Change(ZANIQ::kDriveFX, 6.0);
  ClearRecordings();
  RunNoise(3);
  EXPECT_NEAR(mSender->GetLinkGain(), std::pow(10.0, 6.0 / 20.0), 1e-12);
  EXPECT_LT(MaxDeviation(1.0, kBlock, mOutL.size()), 1e-9);
  const double chainGain = std::pow(10.0, 6.0 / 20.0) / mReceiver->GetPreGain();
  EXPECT_NEAR(mSenderOutL[100], mSenderInL[100] * chainGain, 1e-12);
}

// ---------------------------------------------------------------------------------------------------------------
// Monitoring
// ---------------------------------------------------------------------------------------------------------------

TEST_F(SignalPairTest, PrePostMonitoring)
{
  mReceiver->Change(ZANIQ::kMeterMode, kMeterRMSSummed);
  mReceiver->Change(ZANIQ::kRMSWindow, 100);
  mChain.Set(0, 0.5);
  RunNoise(BlocksFor(0.2));
  ASSERT_NEAR(mReceiver->GetMatchGain(), 0.5, 1e-9);

  // Pre-FX monitoring: the Sender's signal itself.
  mReceiver->Change(ZANIQ::kPrePostFX, 0);
  ClearRecordings();
  RunNoise(3);
  EXPECT_EQ(MaxDeviation(1.0, 0, mOutL.size()), 0.0);

  // Inverse Match: pre-FX is brought down to the post-FX level with the held match gain...
  const double match = mReceiver->GetAutoGain();
  mReceiver->Change(ZANIQ::kInverseMatch, 1);
  ClearRecordings();
  RunNoise(3);
  EXPECT_EQ(mReceiver->GetMatchGain(), match);
  EXPECT_LT(MaxDeviation(match, 0, mOutL.size()), 1e-15);

  // ...and post-FX is heard as it comes.
  mReceiver->Change(ZANIQ::kPrePostFX, 1);
  ClearRecordings();
  RunNoise(3);
  EXPECT_LT(MaxDeviation(0.5, 0, mOutL.size()), 1e-15);
}

TEST_F(SignalPairTest, DeltaOfAnIdenticalChainIsSilence)
{
  mReceiver->Change(ZANIQ::kDeltaMonitor, 1);

  // Manual match 1.0: exactly nothing.
  mReceiver->Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  RunNoise(20);
  EXPECT_EQ(MaxAbsOut(0, mOutL.size()), 0.0);

  // Auto: once matched, nothing worth hearing.
  mReceiver->Change(ZANIQ::kMatchMode, ZANIQ::kMatchAuto);
  mReceiver->Change(ZANIQ::kMeterMode, kMeterEBUML);
  ClearRecordings();
  RunNoise(BlocksFor(0.5));
  const size_t n = mOutL.size();
  EXPECT_LT(MaxAbsOut(n - 2 * kBlock, n), 1e-12);

  // A chain that changes something is heard.
  mChain.Set(3, 1.0);
  ClearRecordings();
  RunNoise(4);
  EXPECT_GT(MaxAbsOut(0, mOutL.size()), 0.1);
}

TEST_F(SignalPairTest, OverProtectionClampsAtTheLevel)
{
  mReceiver->Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  mChain.Set(0, 2.0);
  mReceiver->Change(ZANIQ::kOverProtectionLevel, 0.5); // whole decibels: 0 dBFS

  // Off: overs pass, but the display still shows what would be taken.
  RunNoise(4, 0.9, 0.8);
  EXPECT_GT(MaxAbsOut(0, mOutL.size()), 1.5);
  EXPECT_GT(mReceiver->GetGainReductionValue(), 0.3);
  EXPECT_TRUE(mReceiver->GetGainReductionInvert());
  double worstRatio = 1.0;
  for (size_t i = 0; i < mOutL.size(); ++i)
    worstRatio = std::min({worstRatio, 1.0 / std::max(1.0, std::fabs(mOutL[i])), 1.0 / std::max(1.0, std::fabs(mOutR[i]))});

  mReceiver->Change(ZANIQ::kEnableOverProtection, 1);
  ClearRecordings();
  RunNoise(4, 0.9, 0.8);
  EXPECT_EQ(MaxAbsOut(0, mOutL.size()), 1.0);
  for (size_t i = 0; i < mOutL.size(); ++i)
  {
    const double postL = 2.0 * mInL[i], postR = 2.0 * mInR[i];
    ASSERT_EQ(mOutL[i], std::clamp(postL, -1.0, 1.0)) << i;
    ASSERT_EQ(mOutR[i], std::clamp(postR, -1.0, 1.0)) << i;
    worstRatio = std::min({worstRatio, std::fabs(mOutL[i] / postL), std::fabs(mOutR[i] / postR)});
  }
  // Held at the deepest cut of the last 3 s.
  EXPECT_NEAR(mReceiver->GetGainReductionValue(), 1.0 - worstRatio, 1e-12);
}

// ---------------------------------------------------------------------------------------------------------------
// Bypass paths
// ---------------------------------------------------------------------------------------------------------------

TEST_F(SignalPairTest, ActiveOffPassesBothSidesThrough)
{
  mReceiver->Change(ZANIQ::kDriveFX, 6.0);
  mChain.Set(0, 0.5);
  RunNoise(3);
  EXPECT_NEAR(mSenderOutL[7], mSenderInL[7] * std::pow(10.0, 6.0 / 20.0), 1e-12);

  mReceiver->Change(ZANIQ::kActive, 0);
  ClearRecordings();
  RunNoise(1);
  // The Receiver at once; the Sender from its next block.
  for (size_t i = 0; i < mOutL.size(); ++i)
    ASSERT_EQ(mOutL[i], mChainL[i]);
  ClearRecordings();
  RunNoise(1);
  EXPECT_EQ(mSenderOutL, mSenderInL);
  EXPECT_EQ(mSenderOutR, mSenderInR);
  EXPECT_EQ(MaxDeviation(0.5, 0, mOutL.size()), 0.0);
}

TEST_F(SignalPairTest, ReceiverWithoutSenderPassesItsInput)
{
  Destroy(*mSender);
  std::vector<double> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
  for (int b = 0; b < 10; ++b)
  {
    for (int i = 0; i < kBlock; ++i)
    {
      inL[size_t(i)] = mNoise.Next();
      inR[size_t(i)] = mNoise.Next();
    }
    double* in[2] = {inL.data(), inR.data()};
    double* out[2] = {outL.data(), outR.data()};
    mReceiver->ProcessBlock(in, out, kBlock);
    ASSERT_EQ(outL, inL);
    ASSERT_EQ(outR, inR);
  }
  EXPECT_FALSE(mReceiver->IsReceiving());
  EXPECT_EQ(mReceiver->GetPreFXLevel(), 0.0);
  EXPECT_EQ(mReceiver->GetPostFXLevel(), 0.0);
}

TEST_F(SignalPairTest, MonoPairProcessesOneBufferAsBothChannels)
{
  Prepare(*mSender, kRate, kBlock, 1);
  Prepare(*mReceiver, kRate, kBlock, 1);
  mReceiver->Change(ZANIQ::kMeterMode, kMeterRMSSummed);
  mReceiver->Change(ZANIQ::kRMSWindow, 100);
  mChain.Set(0, 0.5);

  std::vector<double> in(kBlock), unusedIn(kBlock, 0.0), out(kBlock), untouched(kBlock, 7.0);
  for (int b = 0; b < BlocksFor(0.3); ++b)
  {
    for (int i = 0; i < kBlock; ++i)
      in[size_t(i)] = 0.5 * mNoise.Next();
    std::vector<double> sOut(kBlock), spare(kBlock, 7.0);
    double* sIn[2] = {in.data(), unusedIn.data()};
    double* sOutP[2] = {sOut.data(), spare.data()};
    mSender->ProcessBlock(sIn, sOutP, kBlock);
    std::vector<double> chainR(kBlock, 0.0);
    mChain.Process(sOut.data(), chainR.data(), kBlock);
    double* rIn[2] = {sOut.data(), unusedIn.data()};
    double* rOut[2] = {out.data(), untouched.data()};
    mReceiver->ProcessBlock(rIn, rOut, kBlock);
    EXPECT_EQ(spare[0], 7.0); // an unconnected output is not written
  }
  EXPECT_NEAR(mReceiver->GetMatchGain(), 0.5, 1e-9);
  for (int i = 0; i < kBlock; ++i)
    ASSERT_NEAR(out[size_t(i)], in[size_t(i)], 1e-9);
  EXPECT_EQ(untouched[0], 7.0);
}

} // namespace
