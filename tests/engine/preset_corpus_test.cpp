// Stored preset files, good and damaged (tests/data/presets; see its README), through every reader.

#include "engine/support/preset_env.h"

using namespace plugin;
using namespace testsupport;
namespace fs = std::filesystem;

TEST_F(PresetTest, PresetCorpus)
{
  PresetZANIQ& z = MakePlug();
  const auto files = FilesIn(fs::path(ZANIQ_TEST_DATA) / "presets");
  int bad = 0, ok = 0;
  for (const fs::path& path : files)
  {
    if (path.extension() != ".tps") continue;
    const std::string name = path.filename().string();
    SCOPED_TRACE(name);
    const Util_String file(path.c_str());

    // Away from every value the files hold, and from the defaults the reset step would bring.
    z.Change(ZANIQ::kReferenceLevel, -20.0);
    z.Change(ZANIQ::kDriveFX, 1.0);
    z.Change(ZANIQ::kMeterMode, 5);
    z.GetPreset(0)->SetName("Before");
    const std::vector<double> before = Values(z);
    const IByteChunk slotBefore = z.GetPreset(0)->mChunk;
    const int resets = z.mResets;

    if (name.rfind("bad_", 0) == 0)
    {
      ++bad;
      for (bool keep : {false, true})
        for (bool probe : {false, true})
        {
          Util_String presetName("unchanged"), data("unchanged");
          EXPECT_FALSE(z.LoadPresetFile(z, file, presetName, keep, probe, false, true, &data));
          EXPECT_STREQ(presetName.Get(), "unchanged");
          EXPECT_STREQ(data.Get(), "unchanged");
        }
      std::vector<double> values(size_t(z.NParams()), kPresetNoValue);
      Util_String presetName;
      EXPECT_FALSE(z.ParsePresetFile(z, file, values.data(), presetName, false));
      EXPECT_EQ(values, std::vector<double>(size_t(z.NParams()), kPresetNoValue));
      EXPECT_EQ(Values(z), before);
      EXPECT_EQ(z.mResets, resets);
      EXPECT_STREQ(z.GetPresetName(0), "Before");
      EXPECT_TRUE(z.GetPreset(0)->mChunk.IsEqual(slotBefore));
      EXPECT_DOUBLE_EQ(z.GetMirror(ZANIQ::kDriveFX), 1.0);
    }
    else if (name.rfind("ok_", 0) == 0)
    {
      ++ok;
      Util_String presetName;
      ASSERT_TRUE(z.LoadPresetFile(z, file, presetName, false, true, false, false, nullptr));
      EXPECT_STREQ(presetName.Get(), "Corpus");
      EXPECT_EQ(Values(z), before);
      ASSERT_TRUE(z.LoadPresetFile(z, file, presetName, false, false, false, false, nullptr));
      EXPECT_TRUE(Holds(z, ZANIQ::kReferenceLevel, -10.0));
      EXPECT_DOUBLE_EQ(z.GetParam(ZANIQ::kDriveFX)->Value(), name == "ok_other_version.tps" ? 4.5 : 0.0);
      EXPECT_EQ(z.GetParam(ZANIQ::kMeterMode)->Value(), 3); // not named: back to its default
      EXPECT_STREQ(z.GetPresetName(0), "Corpus");
    }
  }
  EXPECT_GE(bad, 15);
  EXPECT_GE(ok, 3);
}
