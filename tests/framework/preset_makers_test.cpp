// The preset makers that fill the next free slot (default, user, from values, from named values, from base64
// text) and the source-text dumps of the current preset.

#include "support/TestPlugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

using namespace plugin;
using Values = std::vector<double>;

namespace
{

class MakerPlug : public test::TestPlugin
{
public:
  using TestPlugin::TestPlugin;
  // The values a slot's state holds, read back through a recall.
  std::vector<double> Recalled(int idx)
  {
    EXPECT_TRUE(RestorePreset(idx)) << idx;
    return Values();
  }
  std::string ChunkText(int idx) const
  {
    const IByteChunk& c = GetPreset(idx)->mChunk;
    return c.Size() ? std::string(reinterpret_cast<const char*>(c.GetData()), size_t(c.Size())) : std::string();
  }
};

} // namespace

TEST(PresetMakers, DefaultAndUserPresetsTakeTheCurrentState)
{
  MakerPlug plug(4);
  plug.SetValues(1.0, true, 4, 1);
  plug.MakeDefaultPreset(nullptr, 1); // no name: "Empty"
  plug.MakeDefaultPreset("Two", 2);
  EXPECT_EQ(plug.Slots(), "Empty+|Two+|Two+|empty-|0");

  // User presets fill every slot still free, all named "Empty", all with the current state.
  plug.SetValues(-2.0, false, 6, 2);
  plug.MakeDefaultUserPresets();
  EXPECT_EQ(plug.Slots(), "Empty+|Two+|Two+|Empty+|0");
  EXPECT_TRUE(plug.GetPreset(3)->mChunk.IsEqual(plug.State()));
  EXPECT_EQ(plug.Recalled(0), (Values{1.0, 1.0, 4.0, 1.0}));
}

TEST(PresetMakers, ValuesByPositionAndByName)
{
  MakerPlug plug(3);
  // Unnamed parameters and the value 9.999e-8 take the current value; ints for bool, int and enum parameters.
  plug.SetValues(-3.0, false, 5, 0);
  plug.MakePresetFromNamedParams("Named", 3, 0, 9.999e-8, 2, 8, 3, 1);
  // An index outside the list carries a double and is skipped.
  plug.MakePresetFromNamedParams("Skip", 2, 9, 4.0, 0, 2.5);
  // A name longer than the field is cut to 255 characters.
  plug.MakePreset(std::string(300, 'n').c_str(), 2.5, 1, 6, 2);
  EXPECT_EQ(std::strlen(plug.GetPresetName(2)), 255u);

  // No free slot left: nothing happens.
  plug.MakePreset("Extra", 0.0, 0, 0, 0);
  plug.MakePresetFromNamedParams("Extra", 0);
  for (int i = 0; i < plug.NPresets(); ++i)
    EXPECT_STRNE(plug.GetPresetName(i), "Extra");

  EXPECT_EQ(std::make_tuple(plug.Recalled(0), plug.Recalled(1), plug.Recalled(2)),
            std::make_tuple(Values{-3.0, 0.0, 8.0, 1.0}, Values{2.5, 0.0, 5.0, 0.0}, Values{2.5, 1.0, 6.0, 2.0}));
}

TEST(PresetMakers, BlobsDecodeTheStandardAlphabet)
{
  // RFC 4648 section 10: "foobar" is "Zm9vYmFy".
  MakerPlug plug(7);
  plug.MakePresetFromBlob("a", "Zm9vYmFy", 6);
  plug.MakePresetFromBlob("b", "Zm9vYmFy", 10); // 6 decoded bytes and 4 zeros
  plug.MakePresetFromBlob("c", "Zm9vYg==", 6);  // padding ends the text: "foob" and zeros
  plug.MakePresetFromBlob("d", "Zm9vYmFy", 3);  // stops at the chunk size
  plug.MakePresetFromBlob("e", "Zm9!YmFy", 4);  // stops at a foreign character
  plug.MakePresetFromBlob("f", nullptr, 2);
  plug.MakePresetFromBlob("never", "Zm9v", -1); // a negative size fills nothing
  plug.MakePresetFromBlob("g", "+/+/", 3);      // the two symbols: 62, 63, 62, 63
  const std::string expect[] = {"foobar", std::string("foobar\0\0\0\0", 10), std::string("foob\0\0", 6), "foo",
                                std::string("fo\0\0", 4), std::string("\0\0", 2), "\xfb\xff\xbf"};
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(plug.ChunkText(i), expect[i]) << i;
  EXPECT_EQ(plug.Slots(), "a+|b+|c+|d+|e+|f+|g+|0");
}

TEST(PresetMakers, SourceDumpsOfTheCurrentPreset)
{
  MakerPlug plug(2);
  plug.SetValues(-2.5, true, 3, 2);
  plug.MakePresetFromChunk("Lead", plug.State());
  const auto path = test::TempPath("dump.txt");
  plug.DumpMakePresetSrc(path.c_str());
  const char* const enumNames[] = {"kGain", "kOn", "kCount", "kMode"};
  plug.DumpMakePresetFromNamedParamsSrc(path.c_str(), enumNames);
  // The text of bool parameters is true or false; int and enum parameters are whole numbers; others "%.6f".
  EXPECT_EQ(test::ReadAll(path), "MakePreset(\"Lead\", -2.500000, true, 3, 2);\n"
                                 "  MakePresetFromNamedParams(\"Lead\", 4,\n"
                                 "    kGain, -2.500000,\n"
                                 "    kOn, true,\n"
                                 "    kCount, 3,\n"
                                 "    kMode, 2);\n");

  // A folder that does not exist takes nothing and nothing fails.
  const auto missing = test::TempPath("no-folder") / "dump.txt";
  plug.DumpMakePresetSrc(missing.c_str());
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_STREQ(plug.GetPresetName(-1), "");
  EXPECT_FALSE(plug.RestorePresetByName(""));
}
