// Peer commands left in a Receiver's link slot: applied only at the half-second boundary of a block in which the
// Receiver heard its Sender, as the command table says, then cleared.

#include "engine/support/signal_pair.h"

using namespace plugin;
using namespace testsupport;

namespace
{

class PeerCommandTest : public SignalPairTest
{
protected:
  LinkSlot& Slot() { return testsupport::Slot(mReceiver->GetLinkID()); }

  // Posts a command and runs single cycles until it is taken; false when it never is.
  bool PostAndRun(int code, double value, double levelL = 0.5, double levelR = 0.3)
  {
    Slot().PostCommand(code, value);
    for (int b = 0; b < 200; ++b)
    {
      RunNoise(1, levelL, levelR);
      if (Slot().Command() == kNoLinkCommand) return true;
    }
    return false;
  }
};

TEST_F(PeerCommandTest, AppliedAtTheHalfSecondBoundaryOnlyWhileTheSenderPlays)
{
  ASSERT_EQ(mReceiver->GetHalfSecondPeriod(), 24000);
  Slot().PostCommand(ZANIQ::kMatchMode, ZANIQ::kMatchManual);

  // 24000 / 512: the 47th block crosses the first boundary.
  for (int b = 1; b < 47; ++b)
  {
    RunNoise(1);
    ASSERT_EQ(Slot().Command(), ZANIQ::kMatchMode) << b;
    ASSERT_EQ(mReceiver->GetMirrorInt(ZANIQ::kMatchMode), ZANIQ::kMatchAuto);
  }
  RunNoise(1);
  EXPECT_EQ(std::pair(Slot().Command(), Slot().CommandValue()), std::pair(int(kNoLinkCommand), 0.0));
  EXPECT_TRUE(Holds(*mReceiver, ZANIQ::kMatchMode, ZANIQ::kMatchManual));

  // Receiver blocks without Sender blocks, across two boundaries: nothing happens.
  Slot().PostCommand(ZANIQ::kResetSenderRMS, 1.0);
  RunReceiverAlone(100);
  EXPECT_EQ(Slot().Command(), ZANIQ::kResetSenderRMS);
  EXPECT_GT(mReceiver->GetPreFXMax(), 0.0);
  // Audio flows again: the next boundary applies it (the meters start from nothing).
  EXPECT_TRUE(PostAndRun(ZANIQ::kResetSenderRMS, 1.0));
  EXPECT_EQ(mReceiver->GetPreFXMax(), 0.0);
}

TEST_F(PeerCommandTest, ParameterCommandsSetTheParameter)
{
  ASSERT_TRUE(PostAndRun(ZANIQ::kDriveFX, 6.0));
  EXPECT_TRUE(Holds(*mReceiver, ZANIQ::kDriveFX, 6.0));
  // The Sender drives the chain from two blocks on.
  RunNoise(2);
  EXPECT_NEAR(mSenderOutL[5], mSenderInL[5] * std::pow(10.0, 6.0 / 20.0), 1e-12);

  // A value that is not a number changes nothing; nor does a code without an action.
  ASSERT_TRUE(PostAndRun(ZANIQ::kDriveFX, std::nan("")));
  ASSERT_TRUE(PostAndRun(8, 1.0));
  EXPECT_EQ(std::pair(mReceiver->GetMirror(ZANIQ::kDriveFX), mReceiver->GetMirror(ZANIQ::kReferenceLevel)),
            std::pair(6.0, -18.0));
}

TEST_F(PeerCommandTest, MatchingAgainstSilenceKeepsTheGains)
{
  // A muted chain (post-FX level at the floor) or a silent Sender (pre-FX level at the floor): a match has no
  // ratio to go by, from the editor or from a peer, and the audio stays at its level.
  mReceiver->Change(ZANIQ::kMeterMode, kMeterRMSSummed);
  mReceiver->Change(ZANIQ::kRMSWindow, 100);
  mReceiver->Change(ZANIQ::kMatchMode, ZANIQ::kMatchManual);
  const struct
  {
    const char* what;
    double chainGain, input;
    int code;
    bool peer, withControl;
  } cases[] = {
    {"muted chain, Match Post-FX", 0.0, 0.5, ZANIQ::kMatchPostFXDiffGain, false, false},
    {"muted chain, peer Match Loudness", 0.0, 0.5, ZANIQ::kMatchLoudness, true, false},
    {"silent Sender, Match Pre-FX with Control", 1.0, 0.0, ZANIQ::kMatchPreFXDiffGain, false, true},
    {"silent Sender, peer Match Pre-FX", 1.0, 0.0, ZANIQ::kMatchPreFXDiffGain, true, false},
    {"silent Sender, peer Match Post-FX", 1.0, 0.0, ZANIQ::kMatchPostFXDiffGain, true, false},
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.what);
    mChain.Set(0, c.chainGain);
    mReceiver->SetPress(ZANIQ::kTagMatchPreFX, ZANIQ::EPressControl::PushQN, {false, c.withControl});
    mReceiver->Change(ZANIQ::kResetSenderRMS, 1.0); // the meters start from nothing
    mReceiver->Change(ZANIQ::kResetSenderRMS, 0.0);
    RunNoise(30, c.input, c.input);
    if (c.peer)
    {
      ASSERT_TRUE(PostAndRun(c.code, 1.0, c.input, c.input));
    }
    else
    {
      for (double v : {1.0, 0.0}) mReceiver->Change(c.code, v);
    }
    EXPECT_EQ(std::pair(mReceiver->GetMatchGain(), mReceiver->GetPreGain()), std::pair(1.0, 1.0));
    EXPECT_TRUE(Holds(*mReceiver, ZANIQ::kGainDiffStore, 0.0) && Holds(*mReceiver, ZANIQ::kPreGainDiffStore, 0.0));

    // Sound again, through a chain at unity: it comes out as it went in.
    mChain.Set(0, 1.0);
    ClearRecordings();
    RunNoise(4);
    EXPECT_LT(MaxAbsOut(), 1.0);
  }
}

} // namespace
