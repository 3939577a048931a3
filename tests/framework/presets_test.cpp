// Preset slots, recall, pruning, the preset bank, base64 blobs and the source-text dumps of PluginBase.

#include "support/TestPlugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

using namespace plugin;
namespace fs = std::filesystem;
using Values = std::vector<double>;

namespace
{

// The test plug-in, recording the preset notifications.
class PresetPlug : public test::TestPlugin
{
public:
  using TestPlugin::TestPlugin;
  void OnPresetsModified() override { ++presetsModified; }
  void OnRestoreState() override
  {
    ++restores;
    PluginBase::OnRestoreState();
  }
  std::string ChunkText(int idx) const
  {
    const IByteChunk& c = GetPreset(idx)->mChunk;
    return c.Size() ? std::string(reinterpret_cast<const char*>(c.GetData()), c.Size()) : std::string();
  }
  bool SlotHoldsState(int idx) const { return GetPreset(idx)->mChunk.IsEqual(State()); }
  int presetsModified = 0;
  int restores = 0;
};

std::string ReadFile(const fs::path& p)
{
  return test::ReadAll(p);
}

// A plug-in whose state carries the name of slot 0 after the values, as the product's document does: writing a
// state stores that name, reading one renames the slot.
class NamedStatePlug : public PresetPlug
{
public:
  explicit NamedStatePlug(int nPresets = 1, bool chunks = false) : PresetPlug(nPresets) { mStateChunks = chunks; }
  bool SerializeState(IByteChunk& chunk) const override
  {
    return SerializeParams(chunk) && chunk.PutStr(GetPresetName(0)) > 0;
  }
  int UnserializeState(const IByteChunk& chunk, int startPos) override
  {
    Util_String name;
    const int pos = chunk.GetStr(name, UnserializeParams(chunk, startPos));
    if (pos >= 1) GetPreset(0)->SetName(name.Get());
    return pos;
  }
  int CheckState(const IByteChunk& chunk, int startPos) const override
  {
    Util_String name;
    return chunk.GetStr(name, PluginBase::CheckState(chunk, startPos));
  }
};

// A plug-in whose state can be made unwritable, as when memory runs out.
class UnwritablePlug : public PresetPlug
{
public:
  bool SerializeState(IByteChunk& chunk) const override { return !unwritable && PresetPlug::SerializeState(chunk); }
  bool unwritable = false;
};

// Slot 0 "Init", slot 1 never filled, slot 2 "Lead" (current).
void FillBank(PresetPlug& plug)
{
  plug.SetValues(1.0, false, 2, 0);
  plug.MakePresetFromChunk("Init", plug.State());
  plug.SetValues(-6.0, true, 5, 2);
  ASSERT_TRUE(plug.RestorePreset(2));
  plug.ModifyCurrentPreset("Lead");
}

} // namespace

// ---- Recall ----

TEST(Presets, RecallNamesUnfilledSlotsAndRefusedRecallsChangeNothing)
{
  PresetPlug plug(4);
  EXPECT_STREQ(plug.GetPresetName(0), "empty");
  plug.SetValues(5.0, true, 3, 2);
  ASSERT_TRUE(plug.RestorePreset(1));
  EXPECT_STREQ(plug.GetPresetName(1), "user preset 1");
  EXPECT_TRUE(plug.GetCurrentPresetIdx() == 1 && plug.SlotHoldsState(1));
  EXPECT_EQ(std::make_pair(plug.presetsModified, plug.restores), std::make_pair(1, 1));
  plug.SetValues(-4.0, false, 7, 1);
  ASSERT_TRUE(plug.RestorePreset(2));
  // Recalling a filled slot brings its state back.
  ASSERT_TRUE(plug.RestorePreset(1));
  EXPECT_EQ(plug.Values(), (Values{5.0, 1.0, 3.0, 2.0}));

  // Refused recalls change nothing; a slot whose state the plug-in does not accept keeps the current index.
  ASSERT_TRUE(plug.RestorePreset(0));
  const Values values = plug.Values();
  const int restores = plug.restores;
  EXPECT_FALSE(plug.RestorePreset(-1) || plug.RestorePreset(4));
  EXPECT_FALSE(plug.RestorePresetByName(nullptr) || plug.RestorePresetByName("USER PRESET 1"));
  IByteChunk shortState;
  shortState.Put(int32_t(1));
  plug.MakePresetFromChunk("broken", shortState);
  EXPECT_STREQ(plug.GetPresetName(3), "broken");
  EXPECT_FALSE(plug.RestorePreset(3));
  EXPECT_EQ(std::make_tuple(plug.GetCurrentPresetIdx(), plug.restores, plug.Values()),
            std::make_tuple(0, restores, values));
}

TEST(Presets, ModifyPruneAndTheInitialisedFlag)
{
  PresetPlug plug;
  plug.SetValues(9.0, true, 1, 1);
  plug.ModifyCurrentPreset(std::string(300, 'n').c_str()); // stores the state, keeps the flag, cuts the name
  EXPECT_EQ(std::strlen(plug.GetPresetName(0)), 255u);
  plug.ModifyCurrentPreset("Mine");
  plug.ModifyCurrentPreset("");
  EXPECT_STREQ(plug.GetPresetName(0), "Mine");
  EXPECT_TRUE(plug.SlotHoldsState(0) && !plug.GetPreset(0)->mInitialized);
  // A state that cannot be written leaves the slot as it was, its name too.
  UnwritablePlug unwritable;
  unwritable.ModifyCurrentPreset("Mine");
  const std::string stored = unwritable.ChunkText(0);
  unwritable.SetValues(-1.0, true, 7, 2);
  unwritable.unwritable = true;
  unwritable.ModifyCurrentPreset("Other");
  EXPECT_EQ(std::pair(std::string(unwritable.GetPresetName(0)), unwritable.ChunkText(0)),
            std::pair(std::string("Mine"), stored));

  // Pruning keeps the initialised slots in order, and the current one current.
  plug.MakePresetFromChunk("first", plug.State());
  ASSERT_TRUE(plug.RestorePreset(2)); // fills slot 2 and makes it current
  plug.PruneUninitializedPresets();
  ASSERT_EQ(plug.NPresets(), 2);
  EXPECT_EQ(std::string(plug.GetPresetName(0)) + "|" + plug.GetPresetName(1), "first|user preset 1");
  EXPECT_EQ(plug.GetCurrentPresetIdx(), 1);
}

// Names are cut to the field without splitting a UTF-8 character: a lone lead byte left at the end would take in
// the closing quote when a state carrying the name is read back.
TEST(Presets, LongNamesAreCutAtACharacterBoundary)
{
  IPreset preset;
  const auto stored = [&](const std::string& name) {
    preset.SetName(name.c_str());
    return std::string(preset.mName);
  };
  const std::string a252(252, 'a'), a253(253, 'a'), a254(254, 'a'), a255(255, 'a');
  EXPECT_EQ(stored(a254 + "\xC3\xB6x"), a254);                           // "ö" would lose its second byte
  EXPECT_EQ(stored(a253 + "\xC3\xB6x"), a253 + "\xC3\xB6");              // "ö" fits, the "x" does not
  EXPECT_EQ(stored(a253 + "\xE2\x82\xAC"), a253);                        // "€" would keep two of three bytes
  EXPECT_EQ(stored(a254 + "\xE2\x82\xAC"), a254);                        // ... or one
  EXPECT_EQ(stored(a252 + "\xF0\x9F\x98\x80"), a252);                    // four-byte characters too
  EXPECT_EQ(stored(std::string(251, 'a') + "\xF0\x9F\x98\x80x"), std::string(251, 'a') + "\xF0\x9F\x98\x80");
  EXPECT_EQ(stored(a255 + "\xC3\xB6"), a255);                            // the cut falls between characters
  EXPECT_EQ(stored(a253 + "\xC3\xB6\x80"), a253 + "\xC3\xB6");          // a stray continuation byte goes alone
  // Bytes that are not UTF-8 are cut where the field ends.
  EXPECT_EQ(stored(a254 + "\xE9\xE9"), a254 + "\xE9");
  EXPECT_EQ(stored(a254 + "\x80\x80"), a254 + "\x80");
  EXPECT_EQ(stored(std::string(300, '\x80')), std::string(255, '\x80'));
  // Any field size.
  char field[4];
  IPreset::CopyName(field, "a\xC3\xB6");
  EXPECT_STREQ(field, "a\xC3\xB6");
  IPreset::CopyName(field, "ab\xC3\xB6");
  EXPECT_STREQ(field, "ab");
  IPreset::CopyName(field, nullptr);
  EXPECT_STREQ(field, "");
}

// Whatever stores a slot's state stores the slot's name first: a state that carries the name and was written
// before the name changed brought the old name back on every recall.
TEST(Presets, SlotsRecallUnderTheNamesTheyWereStoredWith)
{
  NamedStatePlug plug;
  ASSERT_TRUE(plug.RestorePreset(0)); // fills the slot
  plug.SetValues(5.0, true, 4, 1); // values that fxp files hold exactly
  plug.ModifyCurrentPreset("Mine");
  plug.SetValues(0.0, false, 0, 0);
  ASSERT_TRUE(plug.RestorePreset(0));
  EXPECT_EQ(std::pair(plug.Values(), std::string(plug.GetPresetName(0))),
            std::pair(Values{5.0, 1.0, 4.0, 1.0}, std::string("Mine")));

  // A slot filled by its first recall, or as a default preset.
  NamedStatePlug unfilled, made;
  ASSERT_TRUE(unfilled.RestorePreset(0) && unfilled.RestorePreset(0));
  EXPECT_STREQ(unfilled.GetPresetName(0), "user preset 1");
  made.MakeDefaultPreset("Fresh", 1);
  ASSERT_TRUE(made.RestorePreset(0));
  EXPECT_STREQ(made.GetPresetName(0), "Fresh");

  // Programs and banks in parameter form name the slots they fill.
  const fs::path fxp = test::TempPath("named.fxp"), fxb = test::TempPath("named.fxb");
  plug.ModifyCurrentPreset("Prog");
  ASSERT_TRUE(plug.SaveProgramAsFXP(fxp.c_str()) && plug.SaveBankAsFXB(fxb.c_str()));
  NamedStatePlug program, bank;
  ASSERT_TRUE(program.LoadProgramFromFXP(fxp.c_str()) && bank.LoadBankFromFXB(fxb.c_str()));
  for (NamedStatePlug* p : {&program, &bank})
  {
    ASSERT_TRUE(p->RestorePreset(0));
    EXPECT_EQ(std::pair(p->Values(), std::string(p->GetPresetName(0))),
              std::pair(plug.Values(), std::string("Prog")));
  }

  // A bank in chunk form whose slot state carries another name (as slots stored before their renaming did) takes
  // the bank's name for the slot.
  NamedStatePlug chunked(1, true), loaded(1, true);
  ASSERT_TRUE(chunked.RestorePreset(0));
  chunked.SetValues(-2.0, true, 6, 2);
  chunked.ModifyCurrentPreset("Init");
  chunked.GetPreset(0)->SetName("Short");
  ASSERT_TRUE(chunked.SaveBankAsFXB(fxb.c_str()));
  ASSERT_TRUE(loaded.LoadBankFromFXB(fxb.c_str()));
  loaded.SetValues(0.0, false, 0, 0);
  ASSERT_TRUE(loaded.RestorePreset(0));
  EXPECT_EQ(std::pair(loaded.Values(), std::string(loaded.GetPresetName(0))),
            std::pair(chunked.Values(), std::string("Short")));
}

// ---- Base64 blobs and source dumps ----

TEST(Presets, DumpPresetBlobWritesPaddedBase64ForAnySizeAndBlobsReadItBack)
{
  const fs::path path = test::TempPath("blob.txt");
  for (const char* raw : {"", "f", "fo", "foo", "foob"}) // RFC 4648 test vectors
  {
    PresetPlug plug(1);
    IByteChunk c;
    c.PutBytes(raw, static_cast<int>(std::strlen(raw)));
    plug.MakePresetFromChunk("n", c);
    plug.DumpPresetBlob(path.c_str());
  }
  EXPECT_EQ(ReadFile(path), "MakePresetFromBlob(\"n\", \"\", 0);\n"
                            "MakePresetFromBlob(\"n\", \"Zg==\", 1);\n"
                            "MakePresetFromBlob(\"n\", \"Zm8=\", 2);\n"
                            "MakePresetFromBlob(\"n\", \"Zm9v\", 3);\n"
                            "MakePresetFromBlob(\"n\", \"Zm9vYg==\", 4);\n");

  // A chunk far beyond what a fixed text buffer held survives the round trip through the text.
  std::mt19937 rng(7);
  IByteChunk big;
  for (int i = 0; i < 5000; ++i)
    big.Put(static_cast<uint8_t>(rng()));
  PresetPlug src(1), dst(1);
  src.MakePresetFromChunk("big", big);
  fs::remove(path);
  src.DumpPresetBlob(path.c_str());
  const std::string line = ReadFile(path);
  const size_t open = line.find("\", \"") + 4, close = line.find('"', open);
  ASSERT_NE(close, std::string::npos);
  EXPECT_EQ(line.substr(close), "\", 5000);\n");
  dst.MakePresetFromBlob("big", line.substr(open, close - open).c_str(), 5000);
  EXPECT_TRUE(dst.GetPreset(0)->mChunk.IsEqual(big));
}

// ---- Bank ----

TEST(PresetBank, RoundTripRestoresNamesFlagsStatesAndTheCurrentSlot)
{
  PresetPlug a, b;
  FillBank(a);
  IByteChunk bank;
  ASSERT_TRUE(a.SerializePresets(bank));
  // Layout of the first record: name length, name, flag, the slot's state as it is.
  ASSERT_EQ(bank.Size(), (9 + 32) + (4 + 5 + 1) + (4 + 4 + 1 + 32));
  const uint8_t head[] = {4, 0, 0, 0, 'I', 'n', 'i', 't', 1};
  EXPECT_EQ(std::memcmp(bank.GetData(), head, sizeof(head)), 0);
  ASSERT_TRUE(b.RestorePreset(2)); // b's current slot is 2 as well
  const int restores = b.restores;
  EXPECT_EQ(b.UnserializePresets(bank, 0), bank.Size());
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(std::make_tuple(std::string(b.GetPresetName(i)), b.GetPreset(i)->mInitialized, b.ChunkText(i)),
              std::make_tuple(std::string(a.GetPresetName(i)), a.GetPreset(i)->mInitialized,
                              a.GetPreset(i)->mInitialized ? a.ChunkText(i) : b.ChunkText(i)))
        << i;
  EXPECT_EQ(std::pair(b.Values(), b.restores), std::pair(Values{-6.0, 1.0, 5.0, 2.0}, restores + 1));
}

TEST(PresetBank, TruncatedBankChangesOnlyTheSlotsReadInFull)
{
  PresetPlug a;
  FillBank(a);
  IByteChunk bank;
  ASSERT_TRUE(a.SerializePresets(bank));
  for (int cut = 0; cut < bank.Size(); ++cut)
  {
    IByteChunk part;
    part.PutBytes(bank.GetData(), cut);
    PresetPlug b;
    b.SetValues(3.0, true, 1, 1);
    for (const char* name : {"b0", "b1", "b2"})
      b.MakePresetFromChunk(name, b.State());
    const IByteChunk original = b.State();
    EXPECT_EQ(b.UnserializePresets(part, 0), -1) << cut;
    bool untouchedFromHere = false;
    for (int i = 0; i < 3; ++i)
    {
      if ('b' + std::to_string(i) == b.GetPresetName(i))
      {
        untouchedFromHere = true;
        EXPECT_TRUE(b.GetPreset(i)->mInitialized && b.GetPreset(i)->mChunk.IsEqual(original)) << cut;
        continue;
      }
      EXPECT_FALSE(untouchedFromHere) << "slot " << i << " changed after an earlier slot stopped, cut " << cut;
      EXPECT_STREQ(b.GetPresetName(i), a.GetPresetName(i)) << cut;
    }
    EXPECT_EQ(b.restores, 1) << cut; // slot 0 (b's current) is recalled whatever happened
  }
}

TEST(PresetBank, DamagedBanksAreRefused)
{
  int files = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(ZANIQ_TEST_DATA) / "chunks"))
  {
    if (entry.path().extension() != ".bin") continue;
    ++files;
    const std::string bytes = ReadFile(entry.path());
    IByteChunk chunk;
    chunk.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
    PresetPlug plug;
    plug.MakePresetFromChunk("keep", plug.State());
    EXPECT_LT(plug.UnserializePresets(chunk, 0), 1) << entry.path().filename();
    EXPECT_TRUE(bytes.size() >= 32 || plug.UnserializeParams(chunk, 0) == -1) << entry.path().filename();
  }
  EXPECT_GE(files, 8);
}
