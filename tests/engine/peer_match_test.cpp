// Matching by hand and from peers on a running pair: the manual match holds its stored gain and takes over the
// difference on command, from the editor or from another instance; the resets undo it; the automatic storage of the
// match gain; the pre-FX level and ratio the Receiver computes from the Sender's input; and the begin/end gestures
// hosts that want them get around a gain set from the audio thread.

#include "engine/LoudnessMeter.h"
#include "engine/support/signal_pair.h"

#include <string>
#include <vector>

using namespace plugin;
using namespace testsupport;

namespace
{

double ToDB(double x) { return 20.0 * std::log10(x); }

// A Receiver that records the host notifications of its parameters: "begin 14", "set 14", "end 14".
class GestureZANIQ : public TestZANIQ
{
public:
  std::vector<std::string> told;
  void BeginInformHostOfParamChange(int idx) override
  {
    told.push_back("begin " + std::to_string(idx));
    TestZANIQ::BeginInformHostOfParamChange(idx);
  }
  void EndInformHostOfParamChange(int idx) override
  {
    told.push_back("end " + std::to_string(idx));
    TestZANIQ::EndInformHostOfParamChange(idx);
  }
  void InformHostOfParamChange(int idx, double normalized) override
  {
    told.push_back("set " + std::to_string(idx));
    TestZANIQ::InformHostOfParamChange(idx, normalized);
  }
};

class PeerMatchTest : public SignalPairTest
{
protected:
  // The pair with a recording Receiver in place of the plain one.
  void SetUp() override
  {
    ZaniqTest::SetUp();
    mSender = &Make();
    mInstances.push_back(std::make_unique<GestureZANIQ>());
    mGestures = static_cast<GestureZANIQ*>(mInstances.back().get());
    mReceiver = mGestures;
    ASSERT_EQ(mReceiver->Pairing(), R(1));
    Prepare(*mSender, kRate, kBlock);
    Prepare(*mReceiver, kRate, kBlock);
  }

  LinkSlot& Slot() { return testsupport::Slot(mReceiver->GetLinkID()); }

  // Posts a peer command and runs single cycles until the Receiver takes it; false when it never does.
  bool PostAndRun(int code, double value = 1.0)
  {
    Slot().PostCommand(code, value);
    for (int b = 0; b < 200; ++b)
    {
      RunNoise(1);
      if (Slot().Command() == kNoLinkCommand) return true;
    }
    return false;
  }

  GestureZANIQ* mGestures = nullptr;
};

TEST_F(PeerMatchTest, ManualMatchHoldsTheStoredGainAndMatchesOnCommand)
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

  // "Match Post-FX Diff/Gain" from the editor takes it over and stores the -12 dB.
  mReceiver->Change(ZANIQ::kMatchPostFXDiffGain, 1);
  EXPECT_NEAR(mReceiver->GetMatchGain(), 0.25, 1e-9);
  EXPECT_NEAR(mReceiver->Value(ZANIQ::kGainDiffStore), ToDB(0.25), 1e-6);
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

TEST_F(PeerMatchTest, PeerMatchesOnlyInManualModeAndTheResetsUndoThem)
{
  mReceiver->Change(ZANIQ::kMeterMode, kMeterRMSSummed);
  mReceiver->Change(ZANIQ::kRMSWindow, 100);
  mChain.Set(0, 0.5);

  // Auto, storage of the match off (the default): a peer's match changes neither the gains nor "GainDiff Store".
  RunNoise(60);
  const double autoMatch = mReceiver->GetMatchGain();
  ASSERT_TRUE(PostAndRun(ZANIQ::kMatchPostFXDiffGain));
  EXPECT_EQ(mReceiver->Value(ZANIQ::kGainDiffStore), 0.0);
  EXPECT_NEAR(mReceiver->GetMatchGain(), autoMatch, 1e-12);

  // Manual from 1.0: the remaining difference (-6.02 dB) goes into the match gain and is stored.
  mReceiver->Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  mReceiver->Change(ZANIQ::kGainDiffStore, 0.0);
  RunNoise(10);
  ASSERT_TRUE(PostAndRun(ZANIQ::kMatchLoudness));
  EXPECT_NEAR(mReceiver->GetMatchGain(), 0.5, 1e-9);
  EXPECT_NEAR(mReceiver->Value(ZANIQ::kGainDiffStore), ToDB(0.5), 1e-6);
  ClearRecordings();
  RunNoise(2);
  EXPECT_LT(MaxDeviation(1.0, 0, mOutL.size()), 1e-8);

  ASSERT_TRUE(PostAndRun(ZANIQ::kResetGainDiff));
  EXPECT_EQ(std::pair(mReceiver->GetMatchGain(), mReceiver->Value(ZANIQ::kGainDiffStore)), std::pair(1.0, 0.0));

  // "Reset 2" undoes both sides: the pre gain and its store, the match gain and its store, and the meters.
  mReceiver->Change(ZANIQ::kPreGainDiffStore, 3.0);
  mReceiver->Change(ZANIQ::kGainDiffStore, -4.0);
  RunNoise(4);
  ASSERT_GT(mReceiver->GetPreFXMax(), 0.0);
  ASSERT_TRUE(PostAndRun(ZANIQ::kReset2));
  EXPECT_EQ(std::tuple(mReceiver->GetPreGain(), mReceiver->GetMatchGain(), mReceiver->GetPreFXMax()),
            std::tuple(1.0, 1.0, 0.0));
  EXPECT_TRUE(Holds(*mReceiver, ZANIQ::kPreGainDiffStore, 0.0) && Holds(*mReceiver, ZANIQ::kGainDiffStore, 0.0));
}

TEST_F(PeerMatchTest, AutomaticStorageFollowsTheMatchGainOnlyWhenEnabled)
{
  mReceiver->Change(ZANIQ::kMeterMode, kMeterRMSSummed);
  mReceiver->Change(ZANIQ::kRMSWindow, 100);
  mChain.Set(0, 0.5);
  // Storage off (the default): the store keeps 0 while auto matching works.
  RunNoise(BlocksFor(1.5));
  ASSERT_NEAR(mReceiver->GetMatchGain(), 0.5, 1e-6);
  EXPECT_EQ(mReceiver->Value(ZANIQ::kGainDiffStore), 0.0);

  // On: the next half-second boundary stores dB(match gain).
  mReceiver->Change(ZANIQ::kDisableStorageGainDiff, 0);
  RunNoise(BlocksFor(0.6));
  EXPECT_NEAR(mReceiver->Value(ZANIQ::kGainDiffStore), ToDB(mReceiver->GetMatchGain()), 1e-9);
  EXPECT_NEAR(mReceiver->GetMirror(ZANIQ::kGainDiffStore), ToDB(0.5), 1e-5);
}

TEST_F(PeerMatchTest, GainsSetFromTheAudioThreadAreWrappedInGesturesForHostsThatWantThem)
{
  struct Case
  {
    const char* host;
    bool gestures;
  };
  const Case cases[] = {{"Logic Pro X", true}, {"REAPER", false}};
  mReceiver->Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  mReceiver->Change(ZANIQ::kMeterMode, kMeterRMSSummed);
  mReceiver->Change(ZANIQ::kRMSWindow, 100);
  double gain = 0.5;
  for (const Case& c : cases)
  {
    SCOPED_TRACE(c.host);
    mReceiver->SetHost(c.host, 0);
    mChain.Set(0, gain);
    RunNoise(10);
    mGestures->told.clear();
    ASSERT_TRUE(PostAndRun(ZANIQ::kMatchPostFXDiffGain));
    const std::string idx = std::to_string(ZANIQ::kGainDiffStore);
    std::vector<std::string> expected = {"set " + idx};
    if (c.gestures) expected = {"begin " + idx, "set " + idx, "end " + idx};
    std::vector<std::string> told;
    for (const std::string& t : mGestures->told)
      if (t.ends_with(" " + idx)) told.push_back(t);
    EXPECT_EQ(told, expected);
    gain *= 0.5;
  }
}

TEST_F(PeerMatchTest, PreFXLevelIsTheMeterOfTheSenderInput)
{
  mChain.Set(0, 0.5);
  RunNoise(BlocksFor(4.0));
  LoudnessMeter pre;
  ASSERT_TRUE(pre.Init(kMeterEBUSL, 0.0, kRate));
  double reading = 0.0;
  for (size_t i = 0; i < mInL.size(); ++i) reading = pre.ProcessSample(mInL[i], mInR[i]);
  EXPECT_NEAR(mReceiver->GetPreFXLevel() / reading, 1.0, 1e-9);
  // Reference -18: the pre ratio is the pre-FX level against -18 + 0.7 dB in the EBU modes.
  EXPECT_NEAR(ToDB(mReceiver->GetPreRatio()), ToDB(mReceiver->GetPreFXLevel()) - (-18.0 + 0.7), 1e-9);
}

} // namespace
