// The host state chunk: its exact bytes, the round trip of every parameter, the positions damaged chunks read
// to (with nothing changed), the "Init" preset built as a chunk, presets recalled under their own names, refused
// restores through the host, and deeply nested documents restored on a small stack.

#include "engine/support/preset_env.h"
#include "engine/support/thread_limits.h"
#include "engine/XMLNesting.h"

using namespace plugin;
using namespace testsupport;

namespace
{

uint32_t Word(const IByteChunk& c, int pos)
{
  const uint8_t* b = c.GetData() + pos;
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

IByteChunk Bytes(const std::string& s)
{
  IByteChunk c;
  (void)c.PutBytes(s.data(), int(s.size()));
  return c;
}

std::string Text(const IByteChunk& c, int pos, int len)
{
  return std::string(reinterpret_cast<const char*>(c.GetData()) + pos, size_t(len));
}

} // namespace

TEST_F(PresetTest, ChunkIsTheFramedDocumentPaddedToAnEvenSizeAndEveryParameterRoundTrips)
{
  PresetZANIQ& z = MakePlug();
  IByteChunk fresh;
  ASSERT_TRUE(z.SerializeState(fresh));
  EXPECT_TRUE(z.GetInitPreset().mChunk.IsEqual(fresh)); // the "Init" preset made at start-up

  // A value away from the default for every parameter, inside its range (with more than six decimals); Link ID 0
  // keeps the one-shot actions from touching other parameters when they are replayed, and automatic pairing off.
  for (int i = 0; i < z.NParams(); ++i)
  {
    IParam* p = z.GetParam(i);
    const double v = p->GetMin() + 0.37 * (p->GetMax() - p->GetMin());
    p->Set(p->Type() == IParam::kTypeDouble ? v + 1.23456789e-5
                                            : (p->GetDefault() == p->GetMin() ? p->GetMax() : p->GetMin()));
  }
  z.GetParam(ZANIQ::kLinkID)->Set(0);
  z.GetParam(ZANIQ::kAutoSetLinkID)->Set(0);
  z.OnParamReset(kUI);
  const std::vector<double> saved = Values(z);
  IByteChunk chunk;
  for (const char* name : {"a", "ab"}) // odd and even text lengths
  {
    SCOPED_TRACE(name);
    z.GetPreset(0)->SetName(name);
    chunk.Clear();
    (void)chunk.PutBytes("xyz", 3); // appended after what the chunk holds
    ASSERT_TRUE(z.SerializeState(chunk));
    const std::string xml = ExpectedDocument(z, saved, name);
    const uint32_t L = uint32_t(xml.size()), pad = L & 1;
    ASSERT_EQ(chunk.Size(), int(3 + 32 + L + pad));
    EXPECT_EQ(Text(chunk, 3, 4) + Text(chunk, 15, 8), "RIFFQVCMQVCS");
    EXPECT_EQ((std::vector{Word(chunk, 7), Word(chunk, 11), Word(chunk, 23), Word(chunk, 27), Word(chunk, 31)}),
              (std::vector<uint32_t>{L + 24 + pad, 1, L + 8, 1, L}));
    EXPECT_EQ(Text(chunk, 35, int(L)), xml);
    EXPECT_TRUE(!pad || chunk.GetData()[35 + L] == 0);
  }

  z.DefaultParamValues();
  z.OnParamReset(kUI);
  const int resets = z.mResets;
  EXPECT_EQ(z.UnserializeState(chunk, 3), chunk.Size());
  EXPECT_EQ(std::pair(z.mResets, std::string(z.GetPresetName(0))), std::pair(resets + 1, std::string("ab")));
  for (int i = 0; i < z.NParams(); ++i)
  {
    const IParam* p = z.GetParam(i);
    EXPECT_NEAR(p->Value(), p->Constrain(std::round(saved[size_t(i)] * 1e6) / 1e6), 1e-9) << p->GetName();
  }
  EXPECT_EQ(z.GetMirrorInt(ZANIQ::kRMSWindow), int(saved[ZANIQ::kRMSWindow]));
}

// Earlier builds wrote a single-byte name under the plain declaration, which TinyXML would read as UTF-8 and take
// the closing quote into the name: such a state still restores, name and values.
TEST_F(PresetTest, AStateWithASingleByteNameUnderThePlainDeclarationRestores)
{
  PresetZANIQ& z = MakePlug();
  z.GetParam(ZANIQ::kRMSWindow)->Set(1234);
  z.GetParam(ZANIQ::kReferenceLevel)->Set(-30.0);
  z.OnParamReset(kUI);
  z.GetPreset(0)->SetName("Cafe");
  IByteChunk chunk;
  ASSERT_TRUE(z.SerializeState(chunk));
  std::string bytes(reinterpret_cast<const char*>(chunk.GetData()), size_t(chunk.Size()));
  const size_t at = bytes.find("name=\"Cafe\"");
  ASSERT_NE(at, std::string::npos);
  ASSERT_EQ(bytes.find("encoding"), std::string::npos);
  bytes[at + 9] = '\xE9'; // same length: the framing stays as it is
  const IByteChunk old = Bytes(bytes);

  z.DefaultParamValues();
  z.OnParamReset(kUI);
  EXPECT_EQ(z.UnserializeState(old, 0), old.Size());
  EXPECT_EQ(std::string(z.GetPresetName(0)), "Caf\xE9");
  EXPECT_EQ(std::pair(z.GetMirrorInt(ZANIQ::kRMSWindow), z.GetMirror(ZANIQ::kReferenceLevel)), std::pair(1234, -30.0));

  // The same for a single byte at the end of a text, before its end tag.
  const IByteChunk version = Bytes(ReadFile(std::filesystem::path(ZANIQ_TEST_DATA) / "state" /
                                            "ok_lead_byte_without_continuation.bin"));
  EXPECT_EQ(z.UnserializeState(version, 0), int(8 + Word(version, 4) + (Word(version, 4) & 1)));
  EXPECT_EQ(std::pair(z.GetMirror(ZANIQ::kReferenceLevel), z.GetMirrorInt(ZANIQ::kLinkID)), std::pair(-7.5, 9));
}

// A damaged chunk returns its position and changes no parameter, mirror or preset name, and starts no reset.
void ExpectReadTo(PresetZANIQ& z, const IByteChunk& chunk, int startPos, int expected)
{
  const std::vector<double> before = Values(z);
  const int resets = z.mResets;
  EXPECT_EQ(z.UnserializeState(chunk, startPos), expected);
  EXPECT_EQ(Values(z), before);
  EXPECT_EQ(z.mResets, resets);
  EXPECT_STREQ(z.GetPresetName(0), "Before");
  EXPECT_DOUBLE_EQ(z.GetMirror(ZANIQ::kReferenceLevel), -5.0);
}

TEST_F(PresetTest, DamagedChunksReadToTheirPositionsAndChangeNothing)
{
  PresetZANIQ& z = MakePlug();
  IByteChunk good;
  ASSERT_TRUE(z.SerializeState(good));
  const int n = good.Size(), end = int(8 + Word(good, 4));
  z.Change(ZANIQ::kReferenceLevel, -5.0);
  z.GetPreset(0)->SetName("Before");

  // The stored corpus. File names: <expected result>_<what>.bin, "m1" standing for -1 and "end" for the frame's end.
  int checked = 0;
  for (const auto& path : FilesIn(std::filesystem::path(ZANIQ_TEST_DATA) / "state"))
  {
    if (path.extension() != ".bin") continue;
    const std::string name = path.filename().string(), result = name.substr(0, name.find('_'));
    if (result == "ok") continue; // restores: see below
    SCOPED_TRACE(name);
    const IByteChunk chunk = Bytes(ReadFile(path));
    const int expected = result == "m1"    ? -1
                         : result != "end" ? std::stoi(result)
                                           : int(8 + Word(chunk, 4) + (Word(chunk, 4) & 1)); // the frame's end
    ExpectReadTo(z, chunk, 0, expected);
    ++checked;
  }
  EXPECT_GE(checked, 10);

  // A document one byte longer than a preset file may be is refused unread; one of that length restores.
  const auto padded = [&](int64_t length) {
    std::string text = Text(good, 32, int(Word(good, 28)));
    text.insert(text.rfind("</PresetXMLTree>"), "<!--" + std::string(size_t(length) - text.size() - 7, 'x') + "-->");
    std::string bytes = Text(good, 0, 32) + text + std::string(size_t(length & 1), '\0');
    const auto put = [&](int at, int64_t v) { for (int i = 0; i < 4; ++i) bytes[size_t(at + i)] = char(v >> (8 * i)); };
    put(4, length + 24 + (length & 1)), put(20, length + 8), put(28, length);
    return Bytes(bytes);
  };
  const IByteChunk over = padded(kMaxPresetXMLBytes + 1), atTheCap = padded(kMaxPresetXMLBytes);
  ExpectReadTo(z, over, 0, over.Size());
  // Starts the corpus cannot express; then the same chunk undamaged inside a larger one.
  ExpectReadTo(z, good, -1, -1);
  ExpectReadTo(z, good, n - 3, n - 3);
  IByteChunk framed = Bytes("12345");
  (void)framed.PutChunk(good);
  (void)framed.PutBytes("tail", 4);
  EXPECT_EQ(z.UnserializeState(framed, 5), 5 + end);
  EXPECT_TRUE(Holds(z, ZANIQ::kReferenceLevel, -18.0));
  EXPECT_STREQ(z.GetPresetName(0), "Init");
  z.Change(ZANIQ::kReferenceLevel, -5.0);
  EXPECT_TRUE(z.UnserializeState(atTheCap, 0) == atTheCap.Size() && Holds(z, ZANIQ::kReferenceLevel, -18.0));
}

TEST_F(PresetTest, TheInitPresetRecallsUnderItsOwnName)
{
  // (It was renamed "empty": the chunk was built with the slot's old name.)
  PresetZANIQ& z = MakePlug();
  z.GetPreset(0)->SetName("empty");
  ASSERT_TRUE(z.CopyPresetToSlot(z.GetInitPreset(), 0));
  z.Change(ZANIQ::kReferenceLevel, -5.0);
  ASSERT_TRUE(z.RestorePreset(0));
  EXPECT_STREQ(z.GetPresetName(0), "Init");
  EXPECT_DOUBLE_EQ(z.GetMirror(ZANIQ::kReferenceLevel), -18.0);
}

// The slot's state carries the preset name, so it must be stored under the new name: stored before the renaming,
// every recall brought the old name back ("Init").
TEST_F(PresetTest, LoadedPresetsRecallUnderTheirOwnNames)
{
  // The default preset at start-up, recalled as a host recalls preset 0.
  WriteFile(PresetFolder() / "default.tps", PresetText({{"Drive FX", "7.500000"}}, "MyPreset"));
  PresetZANIQ& z = MakePlug();
  EXPECT_STREQ(z.GetPresetName(0), "MyPreset");
  z.Change(ZANIQ::kDriveFX, 2.0);
  ASSERT_TRUE(z.RestorePreset(0));
  EXPECT_TRUE(Holds(z, ZANIQ::kDriveFX, 7.5));
  EXPECT_STREQ(z.GetPresetName(0), "MyPreset");

  // A preset file loaded from the editor.
  const std::filesystem::path file = mHome.Path() / "short.tps";
  WriteFile(file, PresetText({{"Drive FX", "3.000000"}, {"Reference Level", "-30.000000"}}, "Short"));
  Util_String name;
  ASSERT_TRUE(z.LoadPresetFile(z, Util_String(file.c_str()), name, false, false, false, false, nullptr));
  z.Change(ZANIQ::kDriveFX, 1.0);
  ASSERT_TRUE(z.RestorePreset(0));
  EXPECT_TRUE(Holds(z, ZANIQ::kDriveFX, 3.0) && Holds(z, ZANIQ::kReferenceLevel, -30.0));
  EXPECT_STREQ(z.GetPresetName(0), "Short");

  // A bank saved and loaded again.
  const std::filesystem::path bank = mHome.Path() / "bank.fxb";
  ASSERT_TRUE(z.SaveBankAsFXB(bank.c_str()));
  const std::vector<double> saved = Values(z);
  z.Change(ZANIQ::kReferenceLevel, -5.0);
  z.GetPreset(0)->SetName("Other");
  ASSERT_TRUE(z.LoadBankFromFXB(bank.c_str()));
  EXPECT_EQ(Values(z), saved);
  EXPECT_STREQ(z.GetPresetName(0), "Short");
  IByteChunk state;
  ASSERT_TRUE(z.SerializeState(state));
  EXPECT_NE(Text(state, 0, state.Size()).find("<Preset name=\"Short\">"), std::string::npos);

  // A program file: its name field holds 27 bytes at most, but the state inside carries the whole name ("É"
  // fifteen times, 30 bytes), which the program loads under.
  std::string e15;
  for (int i = 0; i < 15; ++i) e15 += "\xC3\x89";
  z.ModifyCurrentPreset(e15.c_str());
  const std::filesystem::path program = mHome.Path() / "long.fxp";
  ASSERT_TRUE(z.SaveProgramAsFXP(program.c_str()));
  PresetZANIQ& other = MakePlug();
  ASSERT_TRUE(other.LoadProgramFromFXP(program.c_str()));
  other.Change(ZANIQ::kDriveFX, 1.0);
  ASSERT_TRUE(other.RestorePreset(0));
  EXPECT_TRUE(Holds(other, ZANIQ::kDriveFX, 3.0) && Holds(other, ZANIQ::kReferenceLevel, -30.0));
  EXPECT_EQ(std::string(other.GetPresetName(0)), e15);
}

TEST_F(PresetTest, RefusedRestoresChangeNoParameterAndNoPairing)
{
  // A paired Receiver with automatic pairing on, gains stored with more than six decimals, and a lone Sender
  // waiting on Link ID 5: re-pairing or a value replayed from text would show.
  MakePlug(); // the Sender
  PresetZANIQ& z = MakePlug();
  ASSERT_EQ(z.Pairing(), R(1));
  z.Change(ZANIQ::kAutoSetLinkID, 1);
  ASSERT_EQ(z.Pairing(), R(1));
  PresetZANIQ& lone = MakePlug();
  lone.Change(ZANIQ::kLinkID, 5);
  ASSERT_EQ(lone.Pairing(), S(5));
  auto storeGains = [&] {
    z.Change(ZANIQ::kGainDiffStore, -3.14159265358979);
    z.Change(ZANIQ::kPreGainDiffStore, 2.71828182845905);
  };
  storeGains();
  z.Change(ZANIQ::kReferenceLevel, -23.0);

  CFPropertyListRef plist = nullptr;
  ASSERT_EQ(z.GetState(&plist), noErr);
  const auto dict = static_cast<CFDictionaryRef>(plist);
  const auto data = static_cast<CFDataRef>(CFDictionaryGetValue(dict, CFSTR("data")));
  const std::string good(reinterpret_cast<const char*>(CFDataGetBytePtr(data)), size_t(CFDataGetLength(data)));
  const std::vector<double> before = Values(z);
  const auto counts = Counts(Slot(1)), lonely = Counts(Slot(5));

  auto restore = [&](const std::string& bytes) {
    CFMutableDictionaryRef damaged = CFDictionaryCreateMutableCopy(nullptr, 0, dict);
    CFDataRef d = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), CFIndex(bytes.size()));
    CFDictionarySetValue(damaged, CFSTR("data"), d);
    const OSStatus status = z.SetState(damaged);
    CFRelease(d);
    CFRelease(damaged);
    return status;
  };

  // Bit flips over the frame and the document's framing text, and truncations at every few bytes.
  std::vector<std::string> damaged;
  for (size_t i = 0; i < good.size(); i += (i < 64 ? 1 : 7))
    for (int bit : {0, 5})
    {
      std::string s = good;
      s[i] = char(s[i] ^ (1 << bit));
      damaged.push_back(s);
    }
  for (size_t n = 0; n < good.size(); n += 5) damaged.push_back(good.substr(0, n));

  int refused = 0;
  for (const std::string& bytes : damaged)
  {
    const OSStatus status = restore(bytes);
    if (status == noErr)
    {
      // A flip inside a value or a name that the document still accepts.
      ASSERT_EQ(restore(good), noErr);
      storeGains();
      ASSERT_EQ(Values(z), before);
      continue;
    }
    ASSERT_EQ(status, kAudioUnitErr_InvalidPropertyValue);
    ++refused;
    ASSERT_EQ(Values(z), before) << "after refusing damage " << refused;
    ASSERT_TRUE(z.GetMirror(ZANIQ::kGainDiffStore) == before[ZANIQ::kGainDiffStore] && z.Pairing() == R(1) &&
                Counts(Slot(1)) == counts && Counts(Slot(5)) == lonely);
  }
  EXPECT_GT(refused, 100);

  // Without "data" the preset the state names ("Init", which holds the state last restored) is recalled, and the
  // restore still refused.
  ASSERT_EQ(restore(good), noErr);
  z.Change(ZANIQ::kReferenceLevel, -5.0);
  CFMutableDictionaryRef noData = CFDictionaryCreateMutableCopy(nullptr, 0, dict);
  CFDictionaryRemoveValue(noData, CFSTR("data"));
  EXPECT_EQ(z.SetState(noData), kAudioUnitErr_InvalidPropertyValue);
  EXPECT_TRUE(Holds(z, ZANIQ::kReferenceLevel, -23.0));
  CFRelease(noData);
  CFRelease(plist);
}

// --- Nesting: restores run on host threads with small stacks ---

namespace
{

// text framed as a state chunk (both sizes, both pads).
IByteChunk Framed(const std::string& text)
{
  const uint32_t L = uint32_t(text.size()), padB = L & 1, sizeA = L + 24 + padB;
  auto word = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  std::string bytes = "RIFF" + word(sizeA) + word(1) + "QVCMQVCS" + word(L + 8) + word(1) + word(L) + text;
  if (padB) bytes += '\0';
  return Bytes(bytes);
}

} // namespace

TEST_F(PresetTest, DeeplyNestedChunksAreRefusedOnASmallStackAndChangeNothing)
{
  MakePlug(); // the Sender on Link ID 1
  PresetZANIQ& z = MakePlug();
  ASSERT_EQ(z.Pairing(), R(1));
  z.Change(ZANIQ::kReferenceLevel, -5.0);
  z.GetPreset(0)->SetName("Before");
  const std::vector<double> before = Values(z);
  const int resets = z.mResets;

  // Also texts whose markup shows no nesting but which TinyXML, reading UTF-8 where a glued attribute hid the
  // declared encoding, nests one level deeper per unit: 600 units overflow a 128 KB stack.
  std::string glued = "<?xml version=\"1.0\" foo=\"x\"encoding=\"latin1\"?>";
  std::string repeated = "<?xml encoding=\"UTF-8\" x=\"1\"encoding=\"latin1\"?>";
  for (int i = 0; i < 3000; ++i)
  {
    glued += "<a\xE3>\xE3" "b</a>";
    repeated += "<a\xE3>\xE3" "b</a>";
  }
  for (const std::string& text :
       {NestedPresetText(16), NestedPresetText(1000), NestedPresetText(5000), glued, repeated})
  {
    SCOPED_TRACE(text.substr(0, 60));
    const IByteChunk chunk = Framed(text);
    int result = 0;
    ASSERT_TRUE(RunOnStack(kSmallStackBytes, [&] { result = z.UnserializeState(chunk, 0); }));
    EXPECT_EQ(result, chunk.Size()); // framed correctly, document refused
    EXPECT_EQ(Values(z), before);
    EXPECT_EQ(std::tuple(z.mResets, std::string(z.GetPresetName(0)), z.Pairing()),
              std::tuple(resets, std::string("Before"), R(1)));
    EXPECT_DOUBLE_EQ(z.GetMirror(ZANIQ::kReferenceLevel), -5.0);
  }

  // Through the host's ClassInfo as well.
  CFPropertyListRef plist = nullptr;
  ASSERT_EQ(z.GetState(&plist), noErr);
  CFMutableDictionaryRef deep = CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(plist));
  const IByteChunk chunk = Framed(NestedPresetText(1000));
  CFDataRef data = CFDataCreate(nullptr, chunk.GetData(), CFIndex(chunk.Size()));
  CFDictionarySetValue(deep, CFSTR("data"), data);
  ASSERT_TRUE(RunOnStack(kSmallStackBytes, [&] { (void)z.SetState(deep); }));
  EXPECT_TRUE(Values(z) == before && z.Pairing() == R(1));
  CFRelease(data);
  CFRelease(deep);
  CFRelease(plist);

  // One level less is as deep as a document may nest: read and applied, also on the small stack.
  const IByteChunk atLimit = Framed(NestedPresetText(15));
  ASSERT_TRUE(RunOnStack(kSmallStackBytes, [&] { (void)z.UnserializeState(atLimit, 0); }));
  EXPECT_TRUE(Holds(z, ZANIQ::kReferenceLevel, -7.5));
  EXPECT_STREQ(z.GetPresetName(0), "Nested");
}

TEST_F(PresetTest, TheProductsOwnStateRestoresOnASmallStack)
{
  PresetZANIQ& z = MakePlug();
  z.Change(ZANIQ::kReferenceLevel, -11.0);
  z.GetPreset(0)->SetName("Saved");
  IByteChunk chunk;
  ASSERT_TRUE(z.SerializeState(chunk));
  z.Change(ZANIQ::kReferenceLevel, -3.0);
  int result = 0;
  ASSERT_TRUE(RunOnStack(kSmallStackBytes, [&] { result = z.UnserializeState(chunk, 0); }));
  EXPECT_EQ(result, chunk.Size());
  EXPECT_TRUE(Holds(z, ZANIQ::kReferenceLevel, -11.0));
}
