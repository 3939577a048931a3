// VST2 program (fxp) and bank (fxb) files: golden bytes of both forms, round trips, refusals and the damaged
// corpus in tests/data/fxp and tests/data/fxb.

#include "support/TestPlugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace plugin;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace
{

// The test plug-in in either form, at version 2.2.11; counts the preset notifications.
class FilePlug : public test::TestPlugin
{
public:
  explicit FilePlug(bool chunks, int nPresets = 3) : TestPlugin(nPresets)
  {
    mStateChunks = chunks;
    mVersion = PackVersion(2, 2, 11);
  }
  void InformHostOfPresetChange() override { ++presetChanges; }

  int presetChanges = 0;
};

Bytes ReadBytes(const fs::path& p)
{
  return test::ReadAll<Bytes>(p);
}
using test::TempPath;
using test::WriteAll;

// Big-endian helpers for the expected bytes.
void BE(Bytes& v, std::initializer_list<uint32_t> words)
{
  for (uint32_t x : words)
    for (int s = 24; s >= 0; s -= 8)
      v.push_back(static_cast<uint8_t>(x >> s));
}
void Tag(Bytes& v, const char* t)
{
  v.insert(v.end(), t, t + 4);
}
void ProgramHeader(Bytes& v, uint32_t byteSize, const char* kind, const std::string& name)
{
  Tag(v, "CcnK");
  BE(v, {byteSize});
  Tag(v, kind);
  BE(v, {1});
  Tag(v, "QN55");
  BE(v, {2310, 4});
  std::string field(28, '\0');
  field.replace(0, std::min<size_t>(name.size(), 28), name, 0, 28);
  v.insert(v.end(), field.begin(), field.end());
}
void BankHeader(Bytes& v, uint32_t byteSize, const char* kind)
{
  Tag(v, "CcnK");
  BE(v, {byteSize});
  Tag(v, kind);
  BE(v, {2});
  Tag(v, "QN55");
  BE(v, {2310, 3, 2}); // version, programs, current program
  v.insert(v.end(), 124, 0);
}

constexpr uint32_t kHalf = 0x3F000000, kOne = 0x3F800000, kQuarter = 0x3E800000, kZero = 0;

} // namespace

// ---- Golden bytes ----

TEST(FxpFiles, ParameterFormProgramBytesAndNameFields)
{
  FilePlug plug(false);
  plug.SetValues(0.0, true, 2, 1); // normalised 0.5, 1, 0.25, 0.5
  plug.ModifyCurrentPreset("Init");
  const fs::path path = TempPath("params.fxp");
  ASSERT_TRUE(plug.SaveProgramAsFXP(path.c_str()));
  Bytes expect;
  ProgramHeader(expect, 0, "FxCk", "Init");
  BE(expect, {kHalf, kOne, kQuarter, kHalf});
  EXPECT_EQ(ReadBytes(path), expect);
  EXPECT_FALSE(fs::exists(path.string() + ".tmp"));
  FilePlug other(false);
  ASSERT_TRUE(other.LoadProgramFromFXP(path.c_str()));
  EXPECT_EQ(std::tuple(other.Values(), std::string(other.GetPresetName(0)), other.presetChanges),
            std::tuple(plug.Values(), std::string("Init"), 1));
  EXPECT_TRUE(other.GetPreset(0)->mInitialized && other.GetPreset(0)->mChunk.IsEqual(plug.State()));

  // A long name fills the field with at least one zero; another writer's field without any zero is read as its 28
  // characters and no further; an empty name field keeps the slot's name.
  plug.ModifyCurrentPreset(std::string(40, 'b').c_str());
  ASSERT_TRUE(plug.SaveProgramAsFXP(path.c_str()));
  Bytes bytes = ReadBytes(path);
  EXPECT_EQ(std::string(bytes.begin() + 28, bytes.begin() + 56), std::string(27, 'b') + '\0');
  for (char fill : {'c', '\0'})
  {
    std::fill(bytes.begin() + 28, bytes.begin() + 56, fill);
    WriteAll(path, bytes);
    ASSERT_TRUE(other.LoadProgramFromFXP(path.c_str()));
    EXPECT_EQ(std::string(other.GetPresetName(0)), std::string(28, 'c'));
  }
}

TEST(FxpFiles, ChunkFormProgramBytesAndRoundTrip)
{
  FilePlug plug(true);
  plug.SetValues(-2.5, true, 6, 2);
  plug.ModifyCurrentPreset("Lead");
  const fs::path path = TempPath("chunk.fxp");
  ASSERT_TRUE(plug.SaveProgramAsFXP(path.c_str()));
  const IByteChunk state = plug.State();
  ASSERT_EQ(state.Size(), 32);
  Bytes expect;
  ProgramHeader(expect, 40 + 60, "FPCh", "Lead"); // the byte size field counts the whole file
  BE(expect, {40});
  expect.insert(expect.end(), {'t', 'f', 'f', 'p', 0x00, 0x00, 0x01, 0x00});
  expect.insert(expect.end(), state.GetData(), state.GetData() + state.Size());
  EXPECT_EQ(ReadBytes(path), expect);
  FilePlug other(true);
  ASSERT_TRUE(other.RestorePreset(1));
  ASSERT_TRUE(other.LoadProgramFromFXP(path.c_str())); // into the current slot
  EXPECT_EQ(std::tuple(other.Values(), std::string(other.GetPresetName(1))), std::tuple(plug.Values(), "Lead"));
}

// A name longer than the field's 27 bytes is cut before the character that would not fit whole. Loading takes the
// field's name, except that a chunk-form program keeps the name the slot has after its state was read when the
// field stands for it: a prefix of a name the field could not hold (or, for a state that carries names, of the
// name it brought).
TEST(FxpFiles, LongNamesAreCutAtACharacterAndTheWholeNameIsKeptWhereTheFieldStandsForIt)
{
  std::string e15;
  for (int i = 0; i < 15; ++i) e15 += "\xC3\x89"; // "É" fifteen times: 30 bytes
  const std::string e13 = e15.substr(0, 26);
  const fs::path path = TempPath("long.fxp");
  const struct
  {
    bool chunks;
    std::string saved, slotBefore, loaded;
  } cases[] = {
    {false, e15, "Other", e13}, {true, e15, "Other", e13}, // into another slot: the cut name
    {false, e15, e15, e13},     {true, e15, e15, e15},     // back into the slot that holds the whole name
    {true, "Lead", "Lead Bright", "Lead"},                 // a prefix the field holds whole is a name of its own
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(testing::Message() << c.chunks << " " << c.saved << " into " << c.slotBefore);
    FilePlug plug(c.chunks);
    plug.SetValues(2.5, true, 3, 1);
    plug.ModifyCurrentPreset(c.saved.c_str());
    ASSERT_TRUE(plug.SaveProgramAsFXP(path.c_str()));
    const Bytes bytes = ReadBytes(path);
    const std::string kept = c.saved.size() > 27 ? e13 : c.saved;
    EXPECT_EQ(std::string(bytes.begin() + 28, bytes.begin() + 56), kept + std::string(28 - kept.size(), '\0'));

    FilePlug other(c.chunks);
    other.ModifyCurrentPreset(c.slotBefore.c_str());
    ASSERT_TRUE(other.LoadProgramFromFXP(path.c_str()));
    EXPECT_EQ(std::tuple(other.Values(), std::string(other.GetPresetName(0))), std::tuple(plug.Values(), c.loaded));
  }
}

// A parameter-form program's count field is not read: the file must hold a value for each of our parameters, and
// values beyond them are left alone (a program saved by a version with more parameters loads its first ones).
TEST(FxpFiles, ParameterFormLoadsByTheValuesItHoldsNotByItsCountField)
{
  constexpr uint32_t kThreeQuarters = 0x3F400000;
  const struct
  {
    uint32_t countField;
    int values; // floats in the file
    bool loads;
  } cases[] = {
    {6, 6, true}, {0, 4, true}, {3, 4, true}, {0xFFFFFFFFu, 4, true}, {0x7FFFFFFFu, 5, true},
    {6, 3, false}, {4, 3, false}, {0, 0, false},
  };
  const fs::path path = TempPath("count.fxp");
  for (const auto& c : cases)
  {
    Bytes bytes;
    ProgramHeader(bytes, 0, "FxCk", "Wide");
    for (int i = 0; i < 4; ++i) bytes[24 + size_t(i)] = uint8_t(c.countField >> (24 - 8 * i));
    const uint32_t values[] = {kThreeQuarters, kOne, kHalf, kOne, kQuarter, kQuarter};
    for (int i = 0; i < c.values; ++i) BE(bytes, {values[i]});
    WriteAll(path, bytes);

    FilePlug plug(false);
    plug.SetValues(-10.0, false, 1, 0);
    const std::string before = plug.Slots(true);
    EXPECT_EQ(plug.LoadProgramFromFXP(path.c_str()), c.loads) << c.countField << " / " << c.values;
    if (c.loads)
      // Gain -10..10 at 0.75, on, count 0..8 at a half, the last of three modes.
      EXPECT_EQ(std::tuple(plug.Values(), std::string(plug.GetPresetName(0))),
                std::tuple(std::vector<double>{5.0, 1.0, 4.0, 2.0}, std::string("Wide")))
        << c.countField << " / " << c.values;
    else
      EXPECT_EQ(plug.Slots(true), before) << c.countField << " / " << c.values;
  }

  // Sample files whose count field is not ours (huge, negative, one too many), each holding four halves.
  int files = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(ZANIQ_TEST_DATA) / "fxp" / "count-field-ignored"))
  {
    ++files;
    FilePlug plug(false);
    ASSERT_TRUE(plug.LoadProgramFromFXP(entry.path().c_str())) << entry.path().filename();
    EXPECT_EQ(plug.Values(), (std::vector<double>{0.0, 1.0, 4.0, 1.0})) << entry.path().filename();
  }
  EXPECT_EQ(files, 3);
}

TEST(FxbFiles, ParameterFormBankBytes)
{
  FilePlug plug(false);
  plug.SetValues(0.0, true, 2, 1);
  plug.MakePresetFromChunk("A", plug.State());
  plug.SetValues(10.0, false, 8, 2);
  ASSERT_TRUE(plug.RestorePreset(2)); // slot 1 stays empty
  const fs::path path = TempPath("params.fxb");
  ASSERT_TRUE(plug.SaveBankAsFXB(path.c_str()));
  Bytes expect;
  BankHeader(expect, 0, "FxBk");
  ProgramHeader(expect, 0, "FxCk", "A");
  BE(expect, {kHalf, kOne, kQuarter, kHalf});
  ProgramHeader(expect, 0, "FxCk", "empty"); // never filled: 0.0 throughout, normalised
  BE(expect, {kHalf, kZero, kZero, kZero});
  ProgramHeader(expect, 0, "FxCk", "user preset 1");
  BE(expect, {kOne, kZero, kOne, kOne});
  EXPECT_EQ(ReadBytes(path), expect);
  FilePlug other(false);
  ASSERT_TRUE(other.LoadBankFromFXB(path.c_str()));
  EXPECT_EQ(std::tuple(other.Values(), other.GetCurrentPresetIdx(), std::string(other.GetPresetName(2))),
            std::tuple(plug.Values(), 2, std::string("user preset 1")));
  EXPECT_TRUE(other.GetPreset(0)->mChunk.IsEqual(plug.GetPreset(0)->mChunk));
}

TEST(FxbFiles, ChunkFormBankBytesAndRoundTrip)
{
  FilePlug plug(true);
  plug.SetValues(4.0, false, 1, 1);
  plug.MakePresetFromChunk("Init", plug.State());
  plug.SetValues(-1.0, true, 7, 2);
  ASSERT_TRUE(plug.RestorePreset(2));
  plug.ModifyCurrentPreset("Lead");
  const fs::path path = TempPath("chunk.fxb");
  ASSERT_TRUE(plug.SaveBankAsFXB(path.c_str()));
  IByteChunk bank;
  bank.InitChunkWithVersion();
  ASSERT_TRUE(plug.SerializePresets(bank));
  Bytes expect;
  BankHeader(expect, bank.Size() + 160, "FBCh"); // the byte size field counts the whole file
  BE(expect, {uint32_t(bank.Size())});
  expect.insert(expect.end(), bank.GetData(), bank.GetData() + bank.Size());
  EXPECT_EQ(ReadBytes(path), expect);
  FilePlug other(true);
  ASSERT_TRUE(other.RestorePreset(2)); // the current slot is recalled after the bank is read
  ASSERT_TRUE(other.LoadBankFromFXB(path.c_str()));
  EXPECT_EQ(std::pair(other.Slots(true), other.presetChanges), std::pair(plug.Slots(true), 1));
}

// ---- Refusals ----

// Damaged files are in the corpus below; these are refusals of sound files.
TEST(FxpFiles, MissingOrUnwritablePathsAndTheChunkFormWithoutChunksFail)
{
  FilePlug plug(true);
  const fs::path path = TempPath("refused.fxp");
  ASSERT_TRUE(plug.SaveProgramAsFXP(path.c_str()));
  FilePlug other(false);
  const std::string before = other.Slots(true);
  const std::string missing = path.string() + ".missing";
  for (const char* bad : {path.c_str(), missing.c_str(), "", static_cast<const char*>(nullptr)})
    EXPECT_FALSE(other.LoadProgramFromFXP(bad));
  EXPECT_FALSE(other.LoadBankFromFXB(nullptr));
  EXPECT_EQ(std::pair(other.Slots(true), other.presetChanges), std::pair(before, 0));

  // Saving into a missing folder fails; over a folder in the way nothing replaces it and no temporary file stays.
  const fs::path taken = TempPath("taken");
  fs::create_directories(taken / "inside");
  EXPECT_FALSE(plug.SaveProgramAsFXP((taken / "no" / "such.fxp").c_str()) ||
               plug.SaveBankAsFXB((taken / "no" / "such.fxb").c_str()));
  EXPECT_FALSE(plug.SaveProgramAsFXP(taken.c_str()));
  EXPECT_TRUE(fs::is_directory(taken));
  EXPECT_FALSE(fs::exists(taken.string() + ".tmp"));
}

TEST(FxbFiles, ProgramsBeyondTheSlotsAreNotRead)
{
  FilePlug big(false, 5);
  for (int i = 0; i < 5; ++i)
  {
    big.SetValues(-10.0 + i * 5.0, i % 2 == 1, i, i % 3); // exact in 32-bit normalised form
    big.MakePresetFromChunk(('P' + std::to_string(i)).c_str(), big.State());
  }
  ASSERT_TRUE(big.RestorePreset(1));
  const fs::path path = TempPath("five.fxb");
  ASSERT_TRUE(big.SaveBankAsFXB(path.c_str()));
  FilePlug small(false, 3);
  ASSERT_TRUE(small.LoadBankFromFXB(path.c_str()));
  EXPECT_TRUE(small.GetPreset(2)->mChunk.IsEqual(big.GetPreset(2)->mChunk));
  EXPECT_EQ(std::pair(small.GetCurrentPresetIdx(), small.Values()), std::pair(1, big.Values()));
}

// ---- Damaged corpus ----

TEST(VST2Corpus, DamagedFilesAreRefusedAndChangeNothing)
{
  int files = 0;
  for (const char* kind : {"fxp", "fxb"})
    for (const auto& entry : fs::directory_iterator(fs::path(ZANIQ_TEST_DATA) / kind))
    {
      if (entry.path().extension() != std::string(".") + kind) continue;
      ++files;
      for (bool chunks : {false, true})
      {
        FilePlug plug(chunks);
        plug.SetValues(1.0, true, 3, 1);
        plug.MakePresetFromChunk("keep", plug.State());
        ASSERT_TRUE(plug.RestorePreset(1));
        const std::string before = plug.Slots(true);
        const char* file = entry.path().c_str();
        EXPECT_FALSE(kind[2] == 'p' ? plug.LoadProgramFromFXP(file) : plug.LoadBankFromFXB(file))
            << entry.path().filename() << (chunks ? " (chunks)" : " (params)");
        EXPECT_EQ(plug.Slots(true), before) << entry.path().filename();
        EXPECT_EQ(plug.presetChanges, 0) << entry.path().filename();
      }
    }
  EXPECT_GE(files, 40);
}
