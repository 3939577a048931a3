// Presets made from the state: the named values over the defaults (never over the current values), and the
// snapshot and fixed-scale commands that keep their own values.

#include "engine/support/editor_env.h"
#include "engine/support/preset_env.h"

using namespace plugin;
using namespace testsupport;

TEST_F(PresetTest, StatePresetsHoldTheDefaultsAndTheNamedValues)
{
  PresetZANIQ& z = MakePlug();
  z.Change(ZANIQ::kReferenceLevel, -5.0);
  IPreset preset;
  z.MakeStatePreset(preset, "Two", 2, int(ZANIQ::kMeterMode), 0, int(ZANIQ::kDriveFX), -3.5);
  ASSERT_TRUE(z.CopyPresetToSlot(preset, 0) && z.RestorePreset(0));
  // Reference Level at its default, not at its current value.
  EXPECT_EQ(std::tuple(z.Value(ZANIQ::kMeterMode), z.Value(ZANIQ::kDriveFX), z.Value(ZANIQ::kReferenceLevel),
                       std::string(z.GetPresetName(0))),
            std::tuple(0.0, -3.5, -18.0, std::string("Two")));
  EXPECT_TRUE(Holds(z, ZANIQ::kDriveFX, -3.5));

  // Indices that are no parameters are skipped, the values after them still taken.
  IPreset odd;
  z.MakeStatePreset(odd, "Odd", 2, 999, 1.0, int(ZANIQ::kDriveFX), 2.5);
  ASSERT_TRUE(z.CopyPresetToSlot(odd, 0) && z.RestorePreset(0));
  EXPECT_EQ(std::pair(z.Value(ZANIQ::kDriveFX), z.Value(ZANIQ::kMeterMode)),
            std::pair(2.5, z.GetParam(ZANIQ::kMeterMode)->GetDefault()));
}

TEST_F(EditorTest, ClearedOrUnusedSnapshotsRecallNothing)
{
  EditorZANIQ& z = MakeEditor();
  z.OpenEditor();
  for (int k : {0, 3})
  {
    z.Change(ZANIQ::kSnapShot, k);
    z.Change(ZANIQ::kGainDiffStore, 2.0 + k);
    z.Command(63);
  }
  z.Change(ZANIQ::kSnapShot, 3);
  z.Command(62);
  EXPECT_EQ(std::pair(z.marks[0], z.marks[3]), std::pair(true, false));
  for (int k : {3, 2})
  {
    z.Change(ZANIQ::kSnapShot, k);
    z.Change(ZANIQ::kGainDiffStore, 7.0);
    z.Change(ZANIQ::kDriveFX, 3.0);
    const double matchGain = z.GetMatchGain();
    z.hostInformed.clear();
    z.Command(64);
    EXPECT_TRUE(Holds(z, ZANIQ::kGainDiffStore, 7.0) && Holds(z, ZANIQ::kDriveFX, 3.0)) << k;
    EXPECT_EQ(z.GetMatchGain(), matchGain) << k;
    EXPECT_TRUE(z.hostInformed.empty()) << k;
  }
  z.Change(ZANIQ::kSnapShot, 0);
  z.Command(64);
  EXPECT_TRUE(Holds(z, ZANIQ::kGainDiffStore, 2.0));
}

TEST_F(EditorTest, TheFixedScaleFollowsItsMenuEntry)
{
  EditorZANIQ& z = MakeEditor();
  IParam* fixed = z.GetExtraParam(0);
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(z.NExtraParams(), 1);
  EXPECT_STREQ(fixed->GetName(), "Fixed GUI Scale");
  Util_String text;
  fixed->GetDisplay(text);
  EXPECT_STREQ(text.Get(), "100%"); // where it starts
  // "50%" to "300%" in steps of 25 %.
  for (int entry = 0; entry <= 10; ++entry)
  {
    fixed->Set(entry);
    z.Command(66);
    EXPECT_TRUE(Holds(z, ZANIQ::kGUIScale, 0.5 + 0.25 * entry)) << entry;
    EXPECT_TRUE(z.IsRescalePending());
  }
}
