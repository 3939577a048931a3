// The product's 46 parameters as a host sees them through the bundle: list, descriptions (names, ranges,
// defaults, units, flags), group (clump) names, value strings and the unit's text for values.

#include "au/testplug/TestBundles.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

using namespace auhost;
using testbundles::FourCC;

namespace
{

constexpr UInt32 kParamCount = 46;

// Points HOME at a fresh temporary folder for its lifetime (the plug-in keeps its settings there).
class ScopedHome
{
public:
  ScopedHome()
  {
    char tmpl[] = "/tmp/zaniq_zhost_XXXXXX";
    if (mkdtemp(tmpl)) mPath = tmpl;
    if (const char* old = std::getenv("HOME")) mOld = old, mHadOld = true;
    if (!mPath.empty()) setenv("HOME", mPath.c_str(), 1);
  }
  ~ScopedHome()
  {
    if (mHadOld)
      setenv("HOME", mOld.c_str(), 1);
    else
      unsetenv("HOME");
    std::error_code ec;
    if (!mPath.empty()) std::filesystem::remove_all(mPath, ec);
  }
  bool Ok() const { return !mPath.empty(); }

private:
  std::string mPath;
  std::string mOld;
  bool mHadOld = false;
};

enum class Kind
{
  Enum,
  Int,
  Double
};

// One parameter as the product defines it. Flags: 1 cannot be automated, 16 meta.
struct Row
{
  const char* name;
  Kind kind;
  double min, max, def;
  const char* label;
  int flags;
  const char* group;
  std::vector<std::string> texts; // display texts; for enums entry i names the value i
};

using T = std::vector<std::string>;
const T kOffOn = {"off", "on"};

// The table by index. Plugin Mode and Link ID default to what pairing gives the only instance: Sender on 1.
const std::vector<Row>& Expected()
{
  static const std::vector<Row> rows = {
    {"GUI Scale", Kind::Double, 0.5, 3.0, 1.0, "", 1, "GUI", {}},
    {"Toggle Tooltips", Kind::Enum, 0, 1, 1, "", 1, "GUI", {"Off", "On"}},
    {"Plugin Mode", Kind::Enum, 0, 1, 0, "", 0, "Processing", {"Sender", "Receiver"}},
    {"Link ID", Kind::Int, 0, 256, 1, "", 0, "Processing", {}},
    {"Latency Compensation", Kind::Int, 0, 176400, 0, "ms", 0, "Processing", {}},
    {"Meter Mode", Kind::Enum, 0, 5, 3, "", 0, "Meter",
     {"RMS Summed", "RMS Averaged", "EBU R128 ML", "EBU R128 SL", "VU", "Max Peak"}},
    {"RMS Window", Kind::Int, 10, 10000, 3000, "ms", 0, "Meter", {}},
    {"Active", Kind::Enum, 0, 1, 1, "", 0, "Processing", kOffOn},
    {"Reference Level", Kind::Double, -48.0, 0.0, -18.0, "dB", 0, "Processing", {}},
    {"Drive FX", Kind::Double, -24.0, 24.0, 0.0, "dB", 0, "Processing", {}},
    {"Pre-Post FX", Kind::Enum, 0, 1, 1, "", 0, "Processing", kOffOn},
    {"Match Mode", Kind::Enum, 0, 2, 1, "", 0, "Processing", {"Manual", "Auto", "Gain stage"}},
    {"Inverse Match", Kind::Enum, 0, 1, 0, "", 0, "Processing", kOffOn},
    {"GUI Mode", Kind::Enum, 0, 1, 1, "", 0, "GUI", {"Expert", "Simple"}},
    {"GainDiff Store", Kind::Double, -144.0, 144.0, 0.0, "dB", 16, "Processing", {}},
    {"PreGain Diff Store", Kind::Double, -144.0, 144.0, 0.0, "dB", 16, "Processing", {}},
    {"StoreSetFlag0", Kind::Enum, 0, 1, 0, "", 16, "Snapshot 1", {"unused", "used"}},
    {"StorePostGain0", Kind::Double, -144.0, 144.0, 0.0, "dB", 16, "Snapshot 1", {}},
    {"StoreDrive0", Kind::Double, -24.0, 24.0, 0.0, "dB", 16, "Snapshot 1", {}},
    {"StoreSetFlag1", Kind::Enum, 0, 1, 0, "", 16, "Snapshot 2", {"unused", "used"}},
    {"StorePostGain1", Kind::Double, -144.0, 144.0, 0.0, "dB", 16, "Snapshot 2", {}},
    {"StoreDrive1", Kind::Double, -24.0, 24.0, 0.0, "dB", 16, "Snapshot 2", {}},
    {"StoreSetFlag2", Kind::Enum, 0, 1, 0, "", 16, "Snapshot 3", {"unused", "used"}},
    {"StorePostGain2", Kind::Double, -144.0, 144.0, 0.0, "dB", 16, "Snapshot 3", {}},
    {"StoreDrive2", Kind::Double, -24.0, 24.0, 0.0, "dB", 16, "Snapshot 3", {}},
    {"StoreSetFlag3", Kind::Enum, 0, 1, 0, "", 16, "Snapshot 4", {"unused", "used"}},
    {"StorePostGain3", Kind::Double, -144.0, 144.0, 0.0, "dB", 16, "Snapshot 4", {}},
    {"StoreDrive3", Kind::Double, -24.0, 24.0, 0.0, "dB", 16, "Snapshot 4", {}},
    {"Delta Monitor", Kind::Enum, 0, 1, 0, "", 0, "Processing", kOffOn},
    {"SnapShot", Kind::Enum, 0, 3, 0, "", 0, "Snapshot", {"S1", "S2", "S3", "S4"}},
    {"Disable Storage GainDiff", Kind::Enum, 0, 1, 1, "", 0, "Processing", kOffOn},
    {"Auto Set Link ID", Kind::Enum, 0, 1, 0, "", 16, "Processing", kOffOn},
    {"Reset PreGain Diff", Kind::Enum, 0, 1, 0, "", 0, "Processing", kOffOn},
    {"Reset Sender RMS", Kind::Enum, 0, 1, 0, "", 0, "Processing", kOffOn},
    {"Reset Gain Diff", Kind::Enum, 0, 1, 0, "", 0, "Processing", kOffOn},
    {"Reset 2", Kind::Enum, 0, 1, 0, "", 0, "Processing", kOffOn},
    {"Match Pre-FX Diff/Gain", Kind::Enum, 0, 1, 0, "", 0, "Processing", kOffOn},
    {"Match Post-FX Diff/Gain", Kind::Enum, 0, 1, 0, "", 0, "Processing", kOffOn},
    {"Match Loudness", Kind::Enum, 0, 1, 0, "", 0, "Processing", kOffOn},
    {"Enable Over Protection", Kind::Enum, 0, 1, 0, "", 0, "Over Protection", kOffOn},
    {"Over Prection Level", Kind::Double, -48.0, 48.0, 3.0, "dBFS", 0, "Over Protection", {}},
    {"Online Update Check", Kind::Enum, 0, 1, 1, "", 1, "GUI", {"Off", "On"}},
    {"Show Config Page", Kind::Enum, 0, 1, 0, "", 0, "GUI", kOffOn},
    {"Min Auto Gain", Kind::Double, -144.0, 0.0, -144.0, "dB", 0, "Processing", {"off"}},
    {"Max Auto Gain", Kind::Double, 0.0, 144.0, 144.0, "dB", 0, "Processing", {"off"}},
    {"Auto Gain Tolerance", Kind::Double, 0.0, 48.0, 0.0, "dB", 0, "Processing", {"off"}},
  };
  return rows;
}

// The options a host is told for a parameter with these product flags.
AudioUnitParameterOptions ExpectedOptions(const Row& row)
{
  AudioUnitParameterOptions o = kAudioUnitParameterFlag_IsWritable | kAudioUnitParameterFlag_IsReadable |
                                kAudioUnitParameterFlag_HasCFNameString | kAudioUnitParameterFlag_IsHighResolution |
                                kAudioUnitParameterFlag_CFNameRelease | kAudioUnitParameterFlag_HasClump;
  if (row.flags & 16)
  {
    o |= kAudioUnitParameterFlag_IsElementMeta;
    if (row.flags & 1) o |= kAudioUnitParameterFlag_NonRealTime;
  }
  else if (row.flags & 1)
  {
    o |= kAudioUnitParameterFlag_NonRealTime;
  }
  if (!row.texts.empty()) o |= kAudioUnitParameterFlag_ValuesHaveStrings;
  return o;
}

class ZaniqTable : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_TRUE(mHome.Ok());
    ASSERT_OK(Bundle::Load(ZANIQ_PRODUCT_BUNDLE, mBundle));
    const AudioComponentDescription& d = mBundle->Main().desc;
    ASSERT_EQ(d.componentType, FourCC("aufx"));
    ASSERT_EQ(d.componentSubType, FourCC("QN55"));
    ASSERT_EQ(d.componentManufacturer, FourCC("QNVX"));
    ASSERT_OK(Instance::Open(mBundle->Main().component, mUnit));
  }
  void TearDown() override { mUnit.reset(); }

  std::string Text(AudioUnitParameterID id, Float32 value) const
  {
    std::string text;
    const Status s = mUnit->ParameterValueToText(id, value, text);
    EXPECT_TRUE(s.ok()) << s.message();
    return text;
  }

  ScopedHome mHome; // outlives the instance
  std::shared_ptr<const Bundle> mBundle;
  std::unique_ptr<Instance> mUnit;
};

} // namespace

TEST_F(ZaniqTable, ListHoldsFortySixParameters)
{
  UInt32 size = 0;
  Boolean writable = false;
  ASSERT_EQ(AudioUnitGetPropertyInfo(mUnit->Unit(), kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0, &size,
                                     &writable),
            noErr);
  EXPECT_EQ(size, kParamCount * sizeof(AudioUnitParameterID));
  std::vector<AudioUnitParameterID> ids(kParamCount, 999);
  size = UInt32(ids.size() * sizeof(AudioUnitParameterID));
  ASSERT_EQ(AudioUnitGetProperty(mUnit->Unit(), kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0,
                                 ids.data(), &size),
            noErr);
  for (UInt32 i = 0; i < kParamCount; ++i) EXPECT_EQ(ids[i], i);

  AudioUnitParameterInfo info = {};
  EXPECT_EQ(mUnit->GetProperty(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, kParamCount, info).code(),
            kAudioUnitErr_InvalidElement);

  // The editor-only scale choice is not the host's.
  std::vector<ParameterDesc> params;
  ASSERT_OK(mUnit->ListParameters(params));
  for (const ParameterDesc& p : params) EXPECT_NE(p.name, "Fixed GUI Scale");
}

TEST_F(ZaniqTable, DescriptionsMatchTheProductTable)
{
  const std::vector<Row>& rows = Expected();
  ASSERT_EQ(rows.size(), kParamCount);
  std::vector<ParameterDesc> params;
  ASSERT_OK(mUnit->ListParameters(params));
  ASSERT_EQ(params.size(), kParamCount);

  for (UInt32 i = 0; i < kParamCount; ++i)
  {
    const Row& row = rows[i];
    const ParameterDesc& p = params[i];
    SCOPED_TRACE(std::to_string(i) + " " + row.name);
    EXPECT_EQ(p.id, i);
    EXPECT_EQ(p.name, row.name);
    EXPECT_EQ(p.minValue, Float32(row.min));
    EXPECT_EQ(p.maxValue, Float32(row.max));
    EXPECT_EQ(p.defaultValue, Float32(row.def));
    EXPECT_EQ(p.flags, ExpectedOptions(row)) << std::hex << "got 0x" << p.flags;
    EXPECT_EQ(p.clumpName, row.group);

    switch (row.kind)
    {
    case Kind::Enum:
      ASSERT_EQ(row.texts.size(), size_t(row.max) + 1); // the literal itself
      EXPECT_EQ(p.unit, kAudioUnitParameterUnit_Indexed);
      EXPECT_EQ(p.unitName, "");
      EXPECT_EQ(p.valueStrings, row.texts);
      break;
    case Kind::Int:
      // The label of a counted parameter does not reach the host.
      EXPECT_EQ(p.unit, kAudioUnitParameterUnit_Indexed);
      EXPECT_EQ(p.unitName, "");
      break;
    case Kind::Double:
      if (*row.label)
      {
        EXPECT_EQ(p.unit, kAudioUnitParameterUnit_CustomUnit);
        EXPECT_EQ(p.unitName, row.label);
      }
      else
      {
        EXPECT_EQ(p.unit, kAudioUnitParameterUnit_Generic);
        EXPECT_EQ(p.unitName, "");
      }
      // A continuous parameter's "off" is reached by its value's text only; there is no list to index.
      EXPECT_TRUE(p.valueStrings.empty());
      break;
    }

    // The fixed-size name field carries the name too.
    AudioUnitParameterInfo info = {};
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
}

TEST_F(ZaniqTable, GroupsBecomeClumpsInTheOrderAsked)
{
  std::vector<ParameterDesc> params;
  ASSERT_OK(mUnit->ListParameters(params));
  ASSERT_EQ(params.size(), kParamCount);
  // Groups in the order a host walking the list meets them.
  const std::vector<std::string> order = {"GUI",        "Processing", "Meter",      "Snapshot 1",     "Snapshot 2",
                                          "Snapshot 3", "Snapshot 4", "Snapshot",   "Over Protection"};
  for (const ParameterDesc& p : params)
  {
    SCOPED_TRACE(p.name);
    ASSERT_GE(p.clumpID, 1u);
    ASSERT_LE(p.clumpID, order.size());
    EXPECT_EQ(p.clumpName, order[p.clumpID - 1]);
  }
  for (size_t k = 0; k < order.size(); ++k)
  {
    AudioUnitParameterNameInfo clump = {UInt32(k + 1), kAudioUnitParameterName_Full, nullptr};
    ASSERT_OK(mUnit->GetProperty(kAudioUnitProperty_ParameterClumpName, kAudioUnitScope_Global, 0, clump));
    EXPECT_EQ(ToStdString(clump.outName), order[k]);
    if (clump.outName) CFRelease(clump.outName);
  }
  AudioUnitParameterNameInfo none = {0, kAudioUnitParameterName_Full, nullptr};
  EXPECT_EQ(mUnit->GetProperty(kAudioUnitProperty_ParameterClumpName, kAudioUnitScope_Global, 0, none).code(),
            kAudioUnitErr_PropertyNotInUse);
}

TEST_F(ZaniqTable, ValueStringsOnlyForChoices)
{
  const std::vector<Row>& rows = Expected();
  for (UInt32 i = 0; i < kParamCount; ++i)
  {
    if (rows[i].kind == Kind::Enum) continue;
    SCOPED_TRACE(rows[i].name);
    UInt32 size = 77;
    EXPECT_EQ(AudioUnitGetPropertyInfo(mUnit->Unit(), kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global,
                                       i, &size, nullptr),
              kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(size, 0u);
  }
}

TEST_F(ZaniqTable, TextsForValues)
{
  // Every enum value by its text.
  const std::vector<Row>& rows = Expected();
  for (UInt32 i = 0; i < kParamCount; ++i)
  {
    if (rows[i].kind != Kind::Enum) continue;
    for (size_t k = 0; k < rows[i].texts.size(); ++k)
      EXPECT_EQ(Text(i, Float32(k)), rows[i].texts[k]) << rows[i].name << " value " << k;
  }

  // Numbers with the decimals their steps give (0.01: two, 0.1: one, counts: none).
  const struct
  {
    AudioUnitParameterID id;
    Float32 value;
    const char* text;
  } numbers[] = {
    {0, 1.f, "1.00"},        {0, 2.5f, "2.50"},    {3, 1.f, "1"},           {3, 256.f, "256"},
    {4, 441.f, "441"},       {6, 3000.f, "3000"},  {8, -18.f, "-18.0"},     {9, 0.f, "0.0"},
    {9, -3.5f, "-3.5"},      {14, 12.f, "12.0"},   {17, -6.f, "-6.0"},      {27, 24.f, "24.0"},
    {40, 3.f, "3.0"},        {40, -48.f, "-48.0"}, {43, -144.f, "off"},     {43, -12.5f, "-12.5"},
    {43, 0.f, "0.0"},        {44, 144.f, "off"},   {44, 6.f, "6.0"},        {44, 0.f, "0.0"},
    {45, 0.f, "off"},        {45, 1.5f, "1.5"},    {45, 48.f, "48.0"},
  };
  for (const auto& n : numbers) EXPECT_EQ(Text(n.id, n.value), n.text) << rows[n.id].name << " at " << n.value;

  // And back: the "off" texts stand for their edge values.
  Float32 v = 0.f;
  ASSERT_OK(mUnit->ParameterTextToValue(43, "off", v));
  EXPECT_EQ(v, -144.f);
  ASSERT_OK(mUnit->ParameterTextToValue(44, "off", v));
  EXPECT_EQ(v, 144.f);
  ASSERT_OK(mUnit->ParameterTextToValue(5, "VU", v));
  EXPECT_EQ(v, 4.f);
}
