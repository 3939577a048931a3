// Editor commands: the four snapshots (62 clear, 63 store, 64 recall), the GUI-scale commands (56, 57, 58, 66)
// and the rescale they ask for, the help page, the latency-measurement button, the info-page and update-message
// requests, the Link-ID presence marks and the commands that only run the common tail.

#include "engine/support/editor_env.h"

#include <cmath>

using namespace plugin;
using testsupport::EditorTest;
using testsupport::EditorZANIQ;
using testsupport::TestZANIQ;

namespace
{

constexpr int kClear = 62, kStore = 63, kRecall = 64;

double Value(const ZANIQ& z, int idx)
{
  return z.GetParam(idx)->Value();
}

// Snapshot k's parameters.
int Flag(int k) { return ZANIQ::kStoreSetFlag0 + 3 * k; }
int PostGain(int k) { return ZANIQ::kStorePostGain0 + 3 * k; }
int Drive(int k) { return ZANIQ::kStoreDrive0 + 3 * k; }

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Snapshots
// ---------------------------------------------------------------------------------------------------------------

TEST_F(EditorTest, StoreThenRecallRestoresGainAndDriveAndTellsTheHost)
{
  EditorZANIQ& z = MakeEditor();
  z.OpenEditor();
  z.Change(ZANIQ::kSnapShot, 1); // S2
  z.Change(ZANIQ::kGainDiffStore, 3.5);
  z.Change(ZANIQ::kDriveFX, -2.0);

  z.hostInformed.clear();
  z.Command(kStore);
  for (int idx : {Flag(1), PostGain(1), Drive(1)}) EXPECT_EQ(z.InformedCount(idx), 1) << idx;
  EXPECT_EQ(Value(z, Flag(1)), 1.0);
  EXPECT_EQ(Value(z, PostGain(1)), 3.5);
  EXPECT_EQ(Value(z, Drive(1)), -2.0);
  EXPECT_EQ(z.GetMirror(Flag(1)), 1.0);
  EXPECT_EQ(z.GetMirror(PostGain(1)), 3.5);
  EXPECT_EQ(z.GetMirror(Drive(1)), -2.0);
  EXPECT_TRUE(z.marks[1]);
  // The other snapshots are untouched.
  for (int k : {0, 2, 3})
  {
    EXPECT_EQ(Value(z, Flag(k)), 0.0) << k;
    EXPECT_EQ(z.markSets[size_t(k)], 0) << k;
  }

  // Move away, then recall.
  z.Change(ZANIQ::kGainDiffStore, -6.0);
  z.Change(ZANIQ::kDriveFX, 4.0);
  z.hostInformed.clear();
  z.Command(kRecall);
  EXPECT_EQ(Value(z, ZANIQ::kGainDiffStore), 3.5);
  EXPECT_EQ(Value(z, ZANIQ::kDriveFX), -2.0);
  EXPECT_EQ(z.GetMirror(ZANIQ::kGainDiffStore), 3.5);
  EXPECT_EQ(z.GetMirror(ZANIQ::kDriveFX), -2.0);
  EXPECT_NEAR(z.GetMatchGain(), std::pow(10.0, 3.5 / 20.0), 1e-12);
  // Post gain first, then drive, each once.
  ASSERT_EQ(z.hostInformed.size(), 2u);
  EXPECT_EQ(z.hostInformed[0], ZANIQ::kGainDiffStore);
  EXPECT_EQ(z.hostInformed[1], ZANIQ::kDriveFX);
}

TEST_F(EditorTest, RecallOfAnUnusedSnapshotChangesNothing)
{
  EditorZANIQ& z = MakeEditor();
  z.Change(ZANIQ::kSnapShot, 2);
  z.Change(ZANIQ::kGainDiffStore, 1.5);
  z.Change(ZANIQ::kDriveFX, 3.0);
  const double matchGain = z.GetMatchGain();
  z.hostInformed.clear();

  z.Command(kRecall);
  EXPECT_EQ(Value(z, ZANIQ::kGainDiffStore), 1.5);
  EXPECT_EQ(Value(z, ZANIQ::kDriveFX), 3.0);
  EXPECT_EQ(z.GetMirror(ZANIQ::kGainDiffStore), 1.5);
  EXPECT_EQ(z.GetMatchGain(), matchGain);
  EXPECT_TRUE(z.hostInformed.empty());
}

TEST_F(EditorTest, ClearEmptiesTheSelectedSnapshotOnly)
{
  EditorZANIQ& z = MakeEditor();
  z.OpenEditor();
  for (int k : {0, 3})
  {
    z.Change(ZANIQ::kSnapShot, k);
    z.Change(ZANIQ::kGainDiffStore, 2.0 + k);
    z.Change(ZANIQ::kDriveFX, -1.0 - k);
    z.Command(kStore);
  }

  z.Change(ZANIQ::kSnapShot, 3);
  z.Command(kClear);
  EXPECT_EQ(Value(z, Flag(3)), 0.0);
  EXPECT_EQ(Value(z, PostGain(3)), 0.0);
  EXPECT_EQ(Value(z, Drive(3)), 0.0);
  EXPECT_EQ(z.GetMirror(Flag(3)), 0.0);
  EXPECT_FALSE(z.marks[3]);
  // S1 keeps what it holds.
  EXPECT_EQ(Value(z, Flag(0)), 1.0);
  EXPECT_EQ(Value(z, PostGain(0)), 2.0);
  EXPECT_TRUE(z.marks[0]);

  // A cleared snapshot recalls nothing.
  z.Change(ZANIQ::kGainDiffStore, 7.0);
  z.Command(kRecall);
  EXPECT_EQ(Value(z, ZANIQ::kGainDiffStore), 7.0);

  // Recalling S1 still works.
  z.Change(ZANIQ::kSnapShot, 0);
  z.Command(kRecall);
  EXPECT_EQ(Value(z, ZANIQ::kGainDiffStore), 2.0);
  EXPECT_EQ(Value(z, ZANIQ::kDriveFX), -1.0);
}

TEST_F(EditorTest, SnapshotsWorkWithoutAnEditorAndRecallAtTheFloorSilences)
{
  EditorZANIQ& z = MakeEditor(); // never opened
  z.Change(ZANIQ::kGainDiffStore, -144.0);
  z.Command(kStore);
  EXPECT_EQ(Value(z, Flag(0)), 1.0);
  EXPECT_EQ(Value(z, PostGain(0)), -144.0);

  z.Change(ZANIQ::kGainDiffStore, 0.0);
  EXPECT_EQ(z.GetMatchGain(), 1.0);
  z.Command(kRecall);
  EXPECT_EQ(z.GetMatchGain(), 0.0); // -144 dB and below is no gain at all
}

// ---------------------------------------------------------------------------------------------------------------
// GUI scale
// ---------------------------------------------------------------------------------------------------------------

TEST_F(EditorTest, ScaleCommandsPublishAndTheIdleTickResizes)
{
  EditorZANIQ& z = MakeEditor();
  z.OpenEditor();

  z.Command(58); // smallest scale
  EXPECT_EQ(z.GetMirror(ZANIQ::kGUIScale), 0.5);
  EXPECT_EQ(Value(z, ZANIQ::kGUIScale), 0.5);
  EXPECT_EQ(z.InformedCount(ZANIQ::kGUIScale), 1);
  EXPECT_TRUE(z.IsRescalePending());
  z.OnIdle();
  EXPECT_FALSE(z.IsRescalePending());
  EXPECT_FLOAT_EQ(z.GetUI()->GetDrawScale(), 0.5f);
  EXPECT_EQ(z.GetUI()->Width(), ZANIQ::kEditorBaseWidth);
  EXPECT_EQ(z.GetUI()->Height(), ZANIQ::kEditorBaseHeight);

  z.Command(57); // back to 1.0
  EXPECT_EQ(Value(z, ZANIQ::kGUIScale), 1.0);
  EXPECT_TRUE(z.IsRescalePending());
  z.OnIdle();
  EXPECT_FLOAT_EQ(z.GetUI()->GetDrawScale(), 1.0f);
}

TEST_F(EditorTest, KeepCurrentScalePublishesTheDrawScaleWithoutResizing)
{
  EditorZANIQ& z = MakeEditor();
  z.Command(56); // no editor: nothing
  EXPECT_EQ(z.GetMirror(ZANIQ::kGUIScale), 1.0);

  z.OpenEditor();
  z.GetUI()->Resize(ZANIQ::kEditorBaseWidth, ZANIQ::kEditorBaseHeight, 1.5f); // as a corner drag does
  const int resizes = z.Graphics()->platformResizes;
  z.Command(56);
  EXPECT_EQ(z.GetMirror(ZANIQ::kGUIScale), 1.5);
  EXPECT_EQ(Value(z, ZANIQ::kGUIScale), 1.5);
  EXPECT_FALSE(z.IsRescalePending());
  z.OnIdle();
  EXPECT_EQ(z.Graphics()->platformResizes, resizes);
}

TEST_F(EditorTest, FixedScaleFollowsTheMenuEntry)
{
  EditorZANIQ& z = MakeEditor();
  IParam* fixed = z.GetExtraParam(0);
  ASSERT_NE(fixed, nullptr);
  const struct
  {
    int entry;
    double scale;
  } cases[] = {{0, 0.5}, {1, 0.75}, {4, 1.5}, {9, 2.75}, {10, 3.0}};
  for (const auto& c : cases)
  {
    fixed->Set(c.entry);
    z.Command(66);
    EXPECT_EQ(z.GetMirror(ZANIQ::kGUIScale), c.scale) << c.entry;
    EXPECT_EQ(Value(z, ZANIQ::kGUIScale), c.scale) << c.entry;
    EXPECT_TRUE(z.IsRescalePending());
  }
  EXPECT_EQ(z.GetExtraParamsCommandBase(), 66);
}

TEST_F(EditorTest, RescaleWaitsWhileThePopupMenuShows)
{
  EditorZANIQ& z = MakeEditor();
  z.OpenEditor();
  z.popupShowing = true;
  z.Command(58);
  z.OnIdle();
  z.OnIdle();
  EXPECT_TRUE(z.IsRescalePending());
  EXPECT_FLOAT_EQ(z.GetUI()->GetDrawScale(), 1.0f);
  z.popupShowing = false;
  z.OnIdle();
  EXPECT_FALSE(z.IsRescalePending());
  EXPECT_FLOAT_EQ(z.GetUI()->GetDrawScale(), 0.5f);
}

TEST_F(EditorTest, RescaleWaitsForTheEditor)
{
  EditorZANIQ& z = MakeEditor();
  z.Command(57);
  z.OnIdle(); // no editor open: the request stays
  EXPECT_TRUE(z.IsRescalePending());
  z.OpenEditor();
  z.OnIdle();
  EXPECT_FALSE(z.IsRescalePending());
}

// ---------------------------------------------------------------------------------------------------------------
// Help page, latency button, requests
// ---------------------------------------------------------------------------------------------------------------

TEST_F(EditorTest, HelpPageShowsAndHidesAndTheBackgroundsRedraw)
{
  EditorZANIQ& z = MakeEditor();
  z.Command(59); // no editor: nothing to do, nothing breaks
  z.OpenEditor();
  z.Control(EditorZANIQ::kHelpPage)->Hide(true);
  z.GetUI()->SetAllControlsClean();

  z.Command(59);
  EXPECT_FALSE(z.Control(EditorZANIQ::kHelpPage)->IsHidden());
  for (int bg : {EditorZANIQ::kBackground0, EditorZANIQ::kBackground1, EditorZANIQ::kBackground2})
  {
    EXPECT_TRUE(z.Control(bg)->IsDirty()) << bg;
    EXPECT_EQ(z.actions[size_t(bg)], 0) << bg; // redrawn, no action
  }
  EXPECT_FALSE(z.Control(EditorZANIQ::kLatencyButton)->IsDirty());

  z.Command(60);
  EXPECT_TRUE(z.Control(EditorZANIQ::kHelpPage)->IsHidden());
}

TEST_F(EditorTest, LatencyMeasurementToggleMovesTheButton)
{
  EditorZANIQ& z = MakeEditor();
  z.OpenEditor();
  auto* button = z.Control(EditorZANIQ::kLatencyButton);

  z.Command(61);
  EXPECT_TRUE(z.IsMeasurementRunning());
  EXPECT_EQ(button->GetValue(), 1.0);
  EXPECT_EQ(z.actions[EditorZANIQ::kLatencyButton], 1);

  z.Command(61);
  EXPECT_FALSE(z.IsMeasurementRunning());
  EXPECT_EQ(button->GetValue(), 0.0);
  EXPECT_EQ(z.actions[EditorZANIQ::kLatencyButton], 2);
  EXPECT_EQ(z.GetMirror(ZANIQ::kLatencyCompensation), 0.0); // a cancel keeps the compensation
}

TEST_F(EditorTest, LatencyMeasurementToggleWorksWithoutAnEditor)
{
  EditorZANIQ& z = MakeEditor(); // never opened
  z.Command(61);
  EXPECT_TRUE(z.IsMeasurementRunning());
  z.Command(61);
  EXPECT_FALSE(z.IsMeasurementRunning());
}

TEST_F(EditorTest, InfoAndUpdateRequestsNeedTheEditor)
{
  EditorZANIQ& z = MakeEditor();
  z.Command(47);
  z.Command(48);
  EXPECT_FALSE(z.IsInfoPageRequested());
  EXPECT_FALSE(z.IsUpdateMessageRequested());

  z.OpenEditor();
  z.Command(47);
  EXPECT_TRUE(z.IsInfoPageRequested());
  EXPECT_FALSE(z.IsUpdateMessageRequested());
  z.Command(48);
  EXPECT_TRUE(z.IsUpdateMessageRequested());
}

TEST_F(EditorTest, PresenceRefreshSeesInstancesThatJoinedLater)
{
  EditorZANIQ& a = MakeEditor();
  const int linkID = a.GetLinkID();
  a.Command(65);
  EXPECT_TRUE(a.GetSenderPresent()[size_t(linkID)].load());
  EXPECT_FALSE(a.GetReceiverPresent()[size_t(linkID)].load());

  TestZANIQ& b = Make(); // pairs with a as its Receiver
  ASSERT_EQ(b.GetLinkID(), linkID);
  ASSERT_EQ(b.GetPluginMode(), 1);
  EXPECT_FALSE(a.GetReceiverPresent()[size_t(linkID)].load()); // a has not looked yet

  a.Command(65);
  EXPECT_TRUE(a.GetSenderPresent()[size_t(linkID)].load());
  EXPECT_TRUE(a.GetReceiverPresent()[size_t(linkID)].load());

  Destroy(b);
  a.Command(65);
  EXPECT_FALSE(a.GetReceiverPresent()[size_t(linkID)].load());
}

TEST_F(EditorTest, TailOnlyCommandsChangeNothingElse)
{
  EditorZANIQ& z = MakeEditor();
  z.OpenEditor();
  std::vector<double> before;
  for (int i = 0; i < ZANIQ::kNumParams; ++i) before.push_back(z.GetMirror(i));
  for (int code : {46, 49, 54, 55, 67, 68, 69, 73})
  {
    z.SetTargetLatencyForTest(12);
    z.Command(code);
    EXPECT_EQ(z.GetTargetLatency(), 0) << code; // the common tail ran
  }
  for (int i = 0; i < ZANIQ::kNumParams; ++i) EXPECT_EQ(z.GetMirror(i), before[size_t(i)]) << i;
  EXPECT_TRUE(z.hostInformed.empty());
  EXPECT_FALSE(z.IsRescalePending());
  EXPECT_FALSE(z.IsInfoPageRequested());
  EXPECT_FALSE(z.IsMeasurementRunning());
}

TEST_F(EditorTest, CommandsFromTheHostAreIgnored)
{
  EditorZANIQ& z = MakeEditor();
  z.OpenEditor();
  z.OnParamChange(63, kHost, -1);
  z.OnParamChange(57, kHost, -1);
  EXPECT_EQ(Value(z, Flag(0)), 0.0);
  EXPECT_FALSE(z.IsRescalePending());
}
