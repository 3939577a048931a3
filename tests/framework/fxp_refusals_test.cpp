// Refused VST2 program and bank files change nothing: another plug-in's program, a program or bank cut short, the
// chunk form for a plug-in without state chunks, and a state that passes the check but is refused while it is read
// (whatever the reader had already applied is undone).

#include "support/TestPlugin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace plugin;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace
{

// The test plug-in at version 2.2.11; counts the preset notifications. With `lenient`, its reader applies a state
// and only then refuses it when its gain is -10, past a check that looks at the size alone.
class RefusingPlug : public test::TestPlugin
{
public:
  explicit RefusingPlug(bool chunks, bool lenient = false) : TestPlugin(3), mLenient(lenient)
  {
    mStateChunks = chunks;
    mVersion = PackVersion(2, 2, 11);
  }
  void InformHostOfPresetChange() override { ++presetChanges; }
  int UnserializeState(const IByteChunk& chunk, int startPos) override
  {
    const int pos = TestPlugin::UnserializeState(chunk, startPos);
    return mLenient && GetParam(0)->Value() == -10.0 ? -1 : pos;
  }
  int presetChanges = 0;

private:
  bool mLenient;
};

} // namespace

TEST(FxpRefusals, ForeignShortAndUnsuitedProgramsChangeNothing)
{
  RefusingPlug plug(true);
  plug.SetValues(3.0, true, 4, 1);
  plug.ModifyCurrentPreset("Mine");
  const fs::path path = test::TempPath("refused.fxp");
  ASSERT_TRUE(plug.SaveProgramAsFXP(path.c_str()));
  const Bytes bytes = test::ReadAll<Bytes>(path);

  RefusingPlug other(true);
  other.SetValues(-7.0, false, 0, 0);
  const std::string before = other.Slots(true);
  Bytes foreign = bytes; // another plug-in's id
  foreign[19] ^= 1;
  test::WriteAll(path, foreign);
  EXPECT_FALSE(other.LoadProgramFromFXP(path.c_str()));
  // A state cut short inside the chunk (its size field shrunk to match) is refused.
  Bytes shortState(bytes.begin(), bytes.end() - 12);
  shortState[56 + 3] -= 12;
  test::WriteAll(path, shortState);
  EXPECT_FALSE(other.LoadProgramFromFXP(path.c_str()));
  EXPECT_EQ(std::make_pair(other.Slots(true), other.presetChanges), std::make_pair(before, 0));

  // The chunk form needs a plug-in that does state chunks.
  test::WriteAll(path, bytes);
  RefusingPlug params(false);
  const std::string paramsBefore = params.Slots(true);
  EXPECT_FALSE(params.LoadProgramFromFXP(path.c_str()));
  EXPECT_EQ(params.Slots(true), paramsBefore);
}

TEST(FxpRefusals, ABankCutShortChangesNothing)
{
  RefusingPlug plug(true);
  plug.MakeDefaultUserPresets();
  const fs::path path = test::TempPath("refused.fxb");
  ASSERT_TRUE(plug.SaveBankAsFXB(path.c_str()));
  Bytes bytes = test::ReadAll<Bytes>(path);
  bytes.resize(bytes.size() - 8); // the last slot's state cut short, the chunk size shrunk to match
  bytes[156 + 3] -= 8;
  test::WriteAll(path, bytes);

  RefusingPlug other(true);
  other.SetValues(9.0, true, 3, 2);
  other.MakePresetFromChunk("keep", other.State());
  other.SetValues(-9.0, false, 1, 0);
  const std::string before = other.Slots(true);
  EXPECT_FALSE(other.LoadBankFromFXB(path.c_str()));
  EXPECT_EQ(std::make_pair(other.Slots(true), other.presetChanges), std::make_pair(before, 0));
}

TEST(FxpRefusals, AStateRefusedWhileItIsReadIsUndone)
{
  // A program and a bank whose (last) state has the gain -10.
  RefusingPlug writer(true);
  writer.SetValues(2.0, true, 1, 1);
  writer.MakePresetFromChunk("First", writer.State());
  writer.SetValues(-10.0, false, 5, 2);
  writer.MakePresetFromChunk("Second", writer.State());
  writer.MakePresetFromChunk("Third", writer.State());
  const fs::path fxp = test::TempPath("lenient.fxp"), fxb = test::TempPath("lenient.fxb");
  ASSERT_TRUE(writer.SaveProgramAsFXP(fxp.c_str()));
  ASSERT_TRUE(writer.SaveBankAsFXB(fxb.c_str()));

  for (const fs::path& path : {fxp, fxb})
  {
    RefusingPlug reader(true, true);
    reader.SetValues(6.0, true, 7, 0);
    reader.MakePresetFromChunk("Own", reader.State());
    const std::string before = reader.Slots(true);
    const bool loaded = path == fxp ? reader.LoadProgramFromFXP(path.c_str()) : reader.LoadBankFromFXB(path.c_str());
    EXPECT_FALSE(loaded) << path;
    EXPECT_EQ(std::make_pair(reader.Slots(true), reader.presetChanges), std::make_pair(before, 0)) << path;
  }
}
