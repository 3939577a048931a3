// States the plug-in reads but refuses to apply (another plug-in's, well framed): a preset recall, a bank and the
// VST2 files report failure and change nothing that the refused state would have touched.

#include "support/TestPlugin.h"

#include <gtest/gtest.h>

#include <string>

using namespace plugin;

namespace
{

// Its state is a tag byte and the four values: 'S' its own, 'F' a foreign state of the same length that it steps
// over without applying, as the product does with another maker's document.
class PickyPlug : public test::TestPlugin
{
public:
  static constexpr int kStateLen = 1 + 4 * 8;

  PickyPlug() : TestPlugin(3)
  {
    mStateChunks = true;
    mVersion = PackVersion(2, 2, 11);
  }

  bool SerializeState(IByteChunk& chunk) const override
  {
    const char tag = writeForeign ? 'F' : 'S';
    (void)chunk.PutBytes(&tag, 1);
    return SerializeParams(chunk);
  }
  int UnserializeState(const IByteChunk& chunk, int pos) override
  {
    applied = false;
    if (pos < 0 || int64_t(pos) + kStateLen > chunk.Size()) return -1;
    if (chunk.GetData()[pos] != 'S') return pos + kStateLen;
    applied = true;
    return UnserializeParams(chunk, pos + 1);
  }
  int CheckState(const IByteChunk& chunk, int pos) const override
  {
    const bool ok = pos >= 0 && int64_t(pos) + kStateLen <= chunk.Size() && chunk.GetData()[pos] == 'S';
    return ok ? pos + kStateLen : -1;
  }
  bool LastStateApplied() const override { return applied; }

  bool writeForeign = false;
  bool applied = false;
};

class RefusedState : public ::testing::Test
{
protected:
  // Three named slots; slot 1 holds a foreign state; the plug-in's values differ from every slot's.
  void SetUp() override
  {
    const char* names[] = {"One", "Two", "Three"};
    for (int i = 0; i < 3; ++i)
    {
      plug.SetValues(i + 1.0, i == 1, i + 3, i % 3);
      plug.writeForeign = i == 1;
      ASSERT_TRUE(plug.SerializeState(plug.GetPreset(i)->mChunk));
      plug.GetPreset(i)->SetName(names[i]);
      plug.GetPreset(i)->mInitialized = true;
    }
    plug.writeForeign = false;
    plug.SetValues(-7.0, true, 8, 2);
  }

  PickyPlug plug;
};

} // namespace

TEST_F(RefusedState, RecallOfARefusedSlotFails)
{
  const auto values = plug.Values();
  EXPECT_FALSE(plug.RestorePreset(1));
  EXPECT_EQ(std::pair(plug.Values(), plug.GetCurrentPresetIdx()), std::pair(values, 0));
  EXPECT_TRUE(plug.RestorePreset(2));
  EXPECT_EQ(plug.Values()[0], 3.0);
}

TEST_F(RefusedState, BankStopsAtTheRefusedSlot)
{
  IByteChunk bank;
  ASSERT_TRUE(plug.SerializePresets(bank));
  for (int i = 0; i < 3; ++i) plug.GetPreset(i)->SetName("old");
  EXPECT_FALSE(plug.CheckPresets(bank, 0));

  EXPECT_LT(plug.UnserializePresets(bank, 0), 1);
  // Slot 0 was read; slot 1 keeps its name and the bytes after its state are not read as slot 2.
  EXPECT_EQ(plug.Slots(), "One+|old+|old+|0");
}

TEST_F(RefusedState, ProgramAndBankFilesWithARefusedStateAreRefused)
{
  const std::string fxp = test::TempPath("picky.fxp").string(), fxb = test::TempPath("picky.fxb").string();
  plug.writeForeign = true;
  ASSERT_TRUE(plug.SaveProgramAsFXP(fxp.c_str()));
  plug.writeForeign = false;
  ASSERT_TRUE(plug.SaveBankAsFXB(fxb.c_str())); // slot 1 holds the foreign state

  plug.SetValues(4.0, false, 1, 1);
  const auto values = plug.Values();
  const std::string slots = plug.Slots();
  EXPECT_FALSE(plug.LoadProgramFromFXP(fxp.c_str()));
  EXPECT_FALSE(plug.LoadBankFromFXB(fxb.c_str()));
  EXPECT_EQ(std::pair(plug.Values(), plug.Slots()), std::pair(values, slots));

  // The same files with the plug-in's own states load.
  ASSERT_TRUE(plug.SaveProgramAsFXP(fxp.c_str()));
  ASSERT_TRUE(plug.RestorePreset(2));
  EXPECT_TRUE(plug.LoadProgramFromFXP(fxp.c_str()));
  EXPECT_EQ(plug.Values(), values);
}
