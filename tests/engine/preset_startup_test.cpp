// The default preset "default.tps" in the preset folder, loaded by every new instance keeping its instance
// settings.

#include "engine/support/preset_env.h"

using namespace plugin;
using namespace testsupport;
namespace fs = std::filesystem;

TEST_F(PresetTest, DefaultPresetIsAppliedAtStartUpKeepingInstanceSettings)
{
  // The pairing the new instance will get.
  int mode = -1, linkID = -1;
  ASSERT_TRUE(LinkRegistry::Instance().FindPairing(mode, linkID));
  WriteFile(PresetFolder() / "default.tps",
            PresetText({{"Plugin Mode", "1"},
                        {"Link ID", "77"},
                        {"Latency Compensation", "4410"},
                        {"Active", "0"},
                        {"Reference Level", "-14.000000"},
                        {"Meter Mode", "0"},
                        {"GUI Scale", "1.500000"}},
                       "Init"));

  PresetZANIQ& z = MakePlug();
  EXPECT_EQ(z.GetPluginMode(), mode);
  EXPECT_EQ(z.GetLinkID(), linkID);
  EXPECT_EQ(z.GetParam(ZANIQ::kPluginMode)->Value(), mode);
  EXPECT_EQ(z.GetParam(ZANIQ::kLinkID)->Value(), linkID);
  EXPECT_EQ(z.GetParam(ZANIQ::kLatencyCompensation)->Value(), 0);
  EXPECT_EQ(z.GetParam(ZANIQ::kActive)->Value(), 1);

  // Applied, and the engine follows the values (not only the parameters).
  EXPECT_DOUBLE_EQ(z.GetParam(ZANIQ::kReferenceLevel)->Value(), -14.0);
  EXPECT_DOUBLE_EQ(z.GetMirror(ZANIQ::kReferenceLevel), -14.0);
  EXPECT_EQ(z.GetParam(ZANIQ::kMeterMode)->Value(), 0);
  EXPECT_EQ(z.GetMirrorInt(ZANIQ::kMeterMode), 0);
  EXPECT_DOUBLE_EQ(z.GetMirror(ZANIQ::kGUIScale), 1.5);

  // The current preset took the loaded state; the "Init" preset keeps the defaults.
  EXPECT_STREQ(z.GetPresetName(0), "Init");
  IByteChunk state;
  ASSERT_TRUE(z.SerializeState(state));
  EXPECT_TRUE(z.GetPreset(0)->mChunk.IsEqual(state));
  EXPECT_FALSE(z.GetInitPreset().mChunk.IsEqual(state));
}

TEST_F(PresetTest, MissingOrRefusedDefaultPresetLeavesTheDefaults)
{
  PresetZANIQ& plain = MakePlug();
  const std::vector<double> defaults = Values(plain);
  mPlugs.clear();

  for (const std::string& text : {std::string(), std::string("not xml"),
                                  PresetText({{"Reference Level", "-14"}}, "Init", "Another Vendor"),
                                  PresetText({{"Reference Level", "-14"}}, "Init", "Quenlar", "zaniq")})
  {
    if (text.empty())
      fs::remove(PresetFolder() / "default.tps");
    else
      WriteFile(PresetFolder() / "default.tps", text);
    PresetZANIQ& z = MakePlug();
    std::vector<double> v = Values(z);
    // The pairing may differ between instances; every other value is the table default.
    v[ZANIQ::kPluginMode] = defaults[ZANIQ::kPluginMode];
    v[ZANIQ::kLinkID] = defaults[ZANIQ::kLinkID];
    EXPECT_EQ(v, defaults);
    EXPECT_TRUE(z.GetPreset(0)->mChunk.IsEqual(z.GetInitPreset().mChunk));
    mPlugs.clear();
  }
}

TEST_F(PresetTest, SavedDefaultPresetIsTheNextInstancesStart)
{
  PresetZANIQ& a = MakePlug();
  a.Change(ZANIQ::kDriveFX, -6.5);
  a.Change(ZANIQ::kGUIMode, 0);
  ASSERT_TRUE(a.SaveDefaultPresetFile(a, a.GetPresetFolder(), false, false, nullptr));
  EXPECT_TRUE(fs::exists(PresetFolder() / "default.tps"));

  PresetZANIQ& b = MakePlug();
  EXPECT_DOUBLE_EQ(b.GetParam(ZANIQ::kDriveFX)->Value(), -6.5);
  EXPECT_EQ(b.GetMirrorInt(ZANIQ::kGUIMode), 0);
  EXPECT_NE(b.GetPluginMode(), a.GetPluginMode()); // the second instance still pairs as the Receiver

  EXPECT_FALSE(b.LoadDefaultPreset(Util_String("")));
  EXPECT_FALSE(b.LoadDefaultPreset(Util_String((mHome.Path() / "nowhere").c_str())));
}
