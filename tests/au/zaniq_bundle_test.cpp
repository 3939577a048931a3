// The product bundle as a host sees it before any audio: its 46 parameters (list, descriptions, group names, value
// strings and texts) and instances that pair up on their own as they open and close. (Refused states: the engine's
// restore tests, and the adapter's answer to them in the test bundle's stored dictionaries.)

#include "au/support/ZaniqHost.h"

#include <sstream>
#include <tuple>

using namespace auhost;
using testbundles::FourCC;

namespace
{

constexpr UInt32 kParamCount = 46;
constexpr int E = 0, I = 1, D = 2; // kinds: enum, counted, continuous
using T = std::vector<std::string>;
const T kOffOn = {"off", "on"}, kUsed = {"unused", "used"};

// One parameter as the product defines it. Flags: 1 cannot be automated, 16 meta. For enums texts[i] names the
// value i; a continuous parameter's texts are its "off". Plugin Mode and Link ID default to what pairing gives the
// only instance: Sender on 1.
struct Row
{
  const char* name;
  int kind;
  double min, max, def;
  const char* label;
  int flags;
  const char* group;
  T texts;
};
// clang-format off
const Row kRows[kParamCount] = {
  {"GUI Scale", D, 0.5, 3.0, 1.0, "", 1, "GUI", {}},
  {"Toggle Tooltips", E, 0, 1, 1, "", 1, "GUI", {"Off", "On"}},
  {"Plugin Mode", E, 0, 1, 0, "", 0, "Processing", {"Sender", "Receiver"}},
  {"Link ID", I, 0, 256, 1, "", 0, "Processing", {}},
  {"Latency Compensation", I, 0, 176400, 0, "ms", 0, "Processing", {}},
  {"Meter Mode", E, 0, 5, 3, "", 0, "Meter",
   {"RMS Summed", "RMS Averaged", "EBU R128 ML", "EBU R128 SL", "VU", "Max Peak"}},
  {"RMS Window", I, 10, 10000, 3000, "ms", 0, "Meter", {}},
  {"Active", E, 0, 1, 1, "", 0, "Processing", kOffOn},
  {"Reference Level", D, -48.0, 0.0, -18.0, "dB", 0, "Processing", {}},
  {"Drive FX", D, -24.0, 24.0, 0.0, "dB", 0, "Processing", {}},
  {"Pre-Post FX", E, 0, 1, 1, "", 0, "Processing", kOffOn},
  {"Match Mode", E, 0, 2, 1, "", 0, "Processing", {"Manual", "Auto", "Gain stage"}},
  {"Inverse Match", E, 0, 1, 0, "", 0, "Processing", kOffOn},
  {"GUI Mode", E, 0, 1, 1, "", 0, "GUI", {"Expert", "Simple"}},
  {"GainDiff Store", D, -144.0, 144.0, 0.0, "dB", 16, "Processing", {}},
  {"PreGain Diff Store", D, -144.0, 144.0, 0.0, "dB", 16, "Processing", {}},
  {"StoreSetFlag0", E, 0, 1, 0, "", 16, "Snapshot 1", kUsed},
  {"StorePostGain0", D, -144.0, 144.0, 0.0, "dB", 16, "Snapshot 1", {}},
  {"StoreDrive0", D, -24.0, 24.0, 0.0, "dB", 16, "Snapshot 1", {}},
  {"StoreSetFlag1", E, 0, 1, 0, "", 16, "Snapshot 2", kUsed},
  {"StorePostGain1", D, -144.0, 144.0, 0.0, "dB", 16, "Snapshot 2", {}},
  {"StoreDrive1", D, -24.0, 24.0, 0.0, "dB", 16, "Snapshot 2", {}},
  {"StoreSetFlag2", E, 0, 1, 0, "", 16, "Snapshot 3", kUsed},
  {"StorePostGain2", D, -144.0, 144.0, 0.0, "dB", 16, "Snapshot 3", {}},
  {"StoreDrive2", D, -24.0, 24.0, 0.0, "dB", 16, "Snapshot 3", {}},
  {"StoreSetFlag3", E, 0, 1, 0, "", 16, "Snapshot 4", kUsed},
  {"StorePostGain3", D, -144.0, 144.0, 0.0, "dB", 16, "Snapshot 4", {}},
  {"StoreDrive3", D, -24.0, 24.0, 0.0, "dB", 16, "Snapshot 4", {}},
  {"Delta Monitor", E, 0, 1, 0, "", 0, "Processing", kOffOn},
  {"SnapShot", E, 0, 3, 0, "", 0, "Snapshot", {"S1", "S2", "S3", "S4"}},
  {"Disable Storage GainDiff", E, 0, 1, 1, "", 0, "Processing", kOffOn},
  {"Auto Set Link ID", E, 0, 1, 0, "", 16, "Processing", kOffOn},
  {"Reset PreGain Diff", E, 0, 1, 0, "", 0, "Processing", kOffOn},
  {"Reset Sender RMS", E, 0, 1, 0, "", 0, "Processing", kOffOn},
  {"Reset Gain Diff", E, 0, 1, 0, "", 0, "Processing", kOffOn},
  {"Reset 2", E, 0, 1, 0, "", 0, "Processing", kOffOn},
  {"Match Pre-FX Diff/Gain", E, 0, 1, 0, "", 0, "Processing", kOffOn},
  {"Match Post-FX Diff/Gain", E, 0, 1, 0, "", 0, "Processing", kOffOn},
  {"Match Loudness", E, 0, 1, 0, "", 0, "Processing", kOffOn},
  {"Enable Over Protection", E, 0, 1, 0, "", 0, "Over Protection", kOffOn},
  {"Over Prection Level", D, -48.0, 48.0, 3.0, "dBFS", 0, "Over Protection", {}},
  {"Online Update Check", E, 0, 1, 1, "", 1, "GUI", {"Off", "On"}},
  {"Show Config Page", E, 0, 1, 0, "", 0, "GUI", kOffOn},
  {"Min Auto Gain", D, -144.0, 0.0, -144.0, "dB", 0, "Processing", {"off"}},
  {"Max Auto Gain", D, 0.0, 144.0, 144.0, "dB", 0, "Processing", {"off"}},
  {"Auto Gain Tolerance", D, 0.0, 48.0, 0.0, "dB", 0, "Processing", {"off"}},
};
// clang-format on

class ZaniqBundle : public zqhost::ZaniqBundleTest<>
{
protected:
  void SetUp() override
  {
    ASSERT_NO_FATAL_FAILURE(ZaniqBundleTest::SetUp());
    const AudioComponentDescription& d = mBundle->Main().desc;
    ASSERT_EQ(std::tuple(d.componentType, d.componentSubType, d.componentManufacturer),
              std::tuple(FourCC("aufx"), FourCC("QN55"), FourCC("QNVX")));
  }
  void TearDown() override { mUnit.reset(); }

  std::string Text(AudioUnitParameterID id, Float32 value) const
  {
    std::string text;
    EXPECT_OK(mUnit->ParameterValueToText(id, value, text));
    return text;
  }

  std::unique_ptr<Instance> mUnit;
};

} // namespace

TEST_F(ZaniqBundle, ParametersMatchTheProductTable)
{
  ASSERT_OK(Instance::Open(mBundle->Main().component, mUnit));
  std::vector<ParameterDesc> params;
  ASSERT_OK(mUnit->ListParameters(params));
  ASSERT_EQ(params.size(), kParamCount);
  // The list holds the indices in order (the editor-only scale choice is not the host's); nothing lies beyond.
  UInt32 size = 0;
  ASSERT_EQ(AudioUnitGetPropertyInfo(mUnit->Unit(), kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, &size,
                                     nullptr),
            noErr);
  EXPECT_EQ(size, kParamCount * sizeof(AudioUnitParameterID));
  std::vector<AudioUnitParameterID> ids(kParamCount, 999);
  ASSERT_EQ(AudioUnitGetProperty(mUnit->Unit(), kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, ids.data(),
                                 &size),
            noErr);
  AudioUnitParameterInfo info = {};
  EXPECT_EQ(mUnit->GetProperty(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, kParamCount, info).code(),
            kAudioUnitErr_InvalidElement);
  // Groups become clumps numbered in the order a host walking the list meets them.
  const T clumps = {"GUI", "Processing", "Meter", "Snapshot 1", "Snapshot 2", "Snapshot 3", "Snapshot 4", "Snapshot",
                    "Over Protection"};
  const AudioUnitParameterOptions options =
    kAudioUnitParameterFlag_IsWritable | kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_HasCFNameString |
    kAudioUnitParameterFlag_IsHighResolution | kAudioUnitParameterFlag_CFNameRelease | kAudioUnitParameterFlag_HasClump;
  for (UInt32 i = 0; i < kParamCount; ++i)
  {
    const Row& row = kRows[i];
    const ParameterDesc& p = params[i];
    SCOPED_TRACE(std::to_string(i) + " " + row.name);
    EXPECT_EQ(std::tuple(ids[i], p.id, p.name, p.minValue, p.maxValue, p.defaultValue, p.clumpName),
              std::tuple(i, i, row.name, Float32(row.min), Float32(row.max), Float32(row.def), row.group));
    EXPECT_TRUE(p.clumpID >= 1 && p.clumpID <= clumps.size() && clumps[p.clumpID - 1] == row.group) << p.clumpID;
    auto flag = [](bool on, AudioUnitParameterOptions option) { return on ? option : 0u; };
    EXPECT_EQ(p.flags, options | flag(row.flags & 16, kAudioUnitParameterFlag_IsElementMeta) |
                         flag(row.flags & 1, kAudioUnitParameterFlag_NonRealTime) |
                         flag(!row.texts.empty(), kAudioUnitParameterFlag_ValuesHaveStrings))
      << std::hex << "got 0x" << p.flags;
    // The label of a counted parameter does not reach the host; a continuous parameter's "off" is reached by its
    // value's text only, there is no list to index.
    const bool custom = row.kind == D && *row.label;
    EXPECT_EQ(p.unit, row.kind != D ? kAudioUnitParameterUnit_Indexed
                      : custom      ? kAudioUnitParameterUnit_CustomUnit
                                    : kAudioUnitParameterUnit_Generic);
    EXPECT_EQ(p.unitName, custom ? row.label : "");
    EXPECT_EQ(p.valueStrings, row.kind == E ? row.texts : T{});
    EXPECT_EQ(row.texts.size(), row.kind == E ? size_t(row.max) + 1 : row.texts.size()); // the literal itself
    for (size_t k = 0; row.kind == E && k < row.texts.size(); ++k)
      EXPECT_EQ(Text(i, Float32(k)), row.texts[k]) << "value " << k;
    // Only choices have value strings.
    UInt32 stringsSize = 77;
    const OSStatus strings = AudioUnitGetPropertyInfo(mUnit->Unit(), kAudioUnitProperty_ParameterValueStrings,
                                                      kAudioUnitScope_Global, i, &stringsSize, nullptr);
    EXPECT_TRUE(row.kind == E || (strings == kAudioUnitErr_InvalidProperty && stringsSize == 0)) << strings;
    // The fixed-size name field carries the name too.
    ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, i, info));
    EXPECT_EQ(std::string(info.name, strnlen(info.name, sizeof(info.name))), row.name);
    if (info.flags & kAudioUnitParameterFlag_CFNameRelease)
    {
      if (info.cfNameString) CFRelease(info.cfNameString);
      if (info.unitName) CFRelease(info.unitName);
    }
    // A fresh instance holds its defaults.
    Float32 v = std::numeric_limits<Float32>::quiet_NaN();
    EXPECT_OK(mUnit->GetParameter(i, v));
    EXPECT_EQ(v, Float32(row.def));
  }
  for (UInt32 k = 0; k <= clumps.size(); ++k)
  {
    AudioUnitParameterNameInfo clump = {k, kAudioUnitParameterName_Full, nullptr};
    const Status s = mUnit->GetProperty(kAudioUnitProperty_ParameterClumpName, kAudioUnitScope_Global, 0, clump);
    EXPECT_EQ(s.code(), k ? OSStatus{noErr} : OSStatus{kAudioUnitErr_PropertyNotInUse});
    EXPECT_EQ(clump.outName ? ToStdString(clump.outName) : "", k ? clumps[k - 1] : "");
    if (clump.outName) CFRelease(clump.outName);
  }

  // Numbers with the decimals their steps give (0.01: two, 0.1: one, counts: none); "off" for the edge values.
  const std::tuple<AudioUnitParameterID, Float32, const char*> numbers[] = {
    {0, 1.f, "1.00"},      {0, 2.5f, "2.50"},   {3, 1.f, "1"},      {3, 256.f, "256"},    {4, 441.f, "441"},
    {6, 3000.f, "3000"},   {8, -18.f, "-18.0"}, {9, 0.f, "0.0"},    {9, -3.5f, "-3.5"},   {14, 12.f, "12.0"},
    {17, -6.f, "-6.0"},    {27, 24.f, "24.0"},  {40, 3.f, "3.0"},   {40, -48.f, "-48.0"}, {43, -144.f, "off"},
    {43, -12.5f, "-12.5"}, {43, 0.f, "0.0"},    {44, 144.f, "off"}, {44, 6.f, "6.0"},     {44, 0.f, "0.0"},
    {45, 0.f, "off"},      {45, 1.5f, "1.5"},   {45, 48.f, "48.0"},
  };
  for (const auto& [id, value, text] : numbers) EXPECT_EQ(Text(id, value), text) << kRows[id].name << " at " << value;
  // And back: the "off" texts stand for their edge values.
  for (const auto& [id, text, want] :
       {std::tuple(43u, "off", -144.f), std::tuple(44u, "off", 144.f), std::tuple(5u, "VU", 4.f)})
  {
    Float32 v = 0.f;
    ASSERT_OK(mUnit->ParameterTextToValue(id, text, v));
    EXPECT_EQ(v, want) << text;
  }
}

// Each new instance takes the lowest Link ID that lacks a Sender or a Receiver, whichever is lower (Sender on a
// tie), and a closed instance frees its place; role and Link ID are read back through the "Plugin Mode" and
// "Link ID" parameters, whose defaults carry the same pairing.
TEST_F(ZaniqBundle, OpeningAndClosingFillsThePlaces)
{
  // One step per word: "S2"/"R2" opens an instance that must become Sender/Receiver on Link ID 2; "-3" closes the
  // instance step 3 opened, "-*" every instance; "3=S1" checks that step 3's instance still is S1.
  const char* sequences[] = {
    "S1 R1 S2 R2 S3 0=S1 1=R1 2=S2", // Sender then Receiver per link; opening more changes nobody's pairing
    "S1 R1 S2 -1 R1 R2",             // Link 1 lacks a Receiver below Link 2's missing one
    "S1 R1 S2 -0 S1",                // Link 1 lacks a Sender and Link 2 a Receiver: the lower Link ID wins
    "S1 R1 S2 R2 -1 -3 R1 R2 -0 -2 6=R1 7=R2 S1 S2 S3", // only Senders left, then only Receivers left
    "S1 R1 S2 -* S1 R1",                                // all closed starts afresh
  };
  for (const char* sequence : sequences)
  {
    std::vector<std::unique_ptr<Instance>> units; // by step
    std::istringstream words(sequence);
    for (std::string w; words >> w;)
    {
      SCOPED_TRACE(std::string(sequence) + ": step " + std::to_string(units.size()) + " " + w);
      units.emplace_back();
      const size_t eq = w.find('=');
      if (w == "-*") units.clear(), units.resize(1);
      else if (w[0] == '-') units.at(std::stoul(w.substr(1))).reset();
      if (w[0] == '-') continue;
      if (eq == std::string::npos)
      {
        ASSERT_OK(Instance::Open(mBundle->Main().component, units.back()));
      }
      const size_t k = eq == std::string::npos ? units.size() - 1 : std::stoul(w.substr(0, eq));
      const std::string want = w.substr(eq == std::string::npos ? 0 : eq + 1);
      ParameterDesc mode, link;
      const zqhost::Role r = {int(zqhost::Param(*units[k], "Plugin Mode", &mode)),
                              int(zqhost::Param(*units[k], "Link ID", &link))};
      EXPECT_EQ(r, (zqhost::Role{want[0] == 'R', std::stoi(want.substr(1))}));
      EXPECT_EQ((zqhost::Role{int(mode.defaultValue), int(link.defaultValue)}), r) << "defaults";
    }
  }
}
