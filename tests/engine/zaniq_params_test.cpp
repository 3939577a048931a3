// The parameter table as a host sees it through the framework: names, kinds, ranges, steps, defaults, labels,
// flags, groups, display texts, preset flags; the "Init" preset; the editor-only "Fixed GUI Scale".

#include "engine/support/zaniq_env.h"

#include <string>
#include <vector>

using namespace plugin;
using testsupport::TestZANIQ;
using testsupport::ZaniqTest;

namespace
{

struct Row
{
  int idx;
  std::string name;
  IParam::EParamType type;
  double min, max, step, def;
  const char* label;
  int flags;
  std::string group;
  bool inPresets;
  bool instanceSetting;
  std::vector<std::string> texts; // enum display texts for 0, 1, 2 ...
};

const IParam::EParamType D = IParam::kTypeDouble;
const IParam::EParamType I = IParam::kTypeInt;
const IParam::EParamType E = IParam::kTypeEnum;
const std::vector<std::string> kOffOn = {"off", "on"};

// The table as the product documents it. Plugin Mode and Link ID defaults come from the pairing: a lone
// instance is Sender on Link ID 1.
std::vector<Row> ExpectedTable()
{
  std::vector<Row> rows = {
    {0, "GUI Scale", D, 0.5, 3.0, 0.01, 1.0, "", 1, "GUI", false, false, {}},
    {1, "Toggle Tooltips", E, 0, 1, 1, 1, "", 1, "GUI", false, false, {"Off", "On"}},
    {2, "Plugin Mode", E, 0, 1, 1, 0, "", 0, "Processing", false, true, {"Sender", "Receiver"}},
    {3, "Link ID", I, 0, 256, 1, 1, "", 0, "Processing", false, true, {}},
    {4, "Latency Compensation", I, 0, 176400, 1, 0, "ms", 0, "Processing", false, true, {}},
    {5, "Meter Mode", E, 0, 5, 1, 3, "", 0, "Meter", true, false,
     {"RMS Summed", "RMS Averaged", "EBU R128 ML", "EBU R128 SL", "VU", "Max Peak"}},
    {6, "RMS Window", I, 10, 10000, 1, 3000, "ms", 0, "Meter", true, false, {}},
    {7, "Active", E, 0, 1, 1, 1, "", 0, "Processing", false, true, kOffOn},
    {8, "Reference Level", D, -48.0, 0.0, 0.1, -18.0, "dB", 0, "Processing", true, false, {}},
    {9, "Drive FX", D, -24.0, 24.0, 0.1, 0.0, "dB", 0, "Processing", true, false, {}},
    {10, "Pre-Post FX", E, 0, 1, 1, 1, "", 0, "Processing", false, true, kOffOn},
    {11, "Match Mode", E, 0, 2, 1, 1, "", 0, "Processing", true, false, {"Manual", "Auto", "Gain stage"}},
    {12, "Inverse Match", E, 0, 1, 1, 0, "", 0, "Processing", true, false, kOffOn},
    {13, "GUI Mode", E, 0, 1, 1, 1, "", 0, "GUI", true, false, {"Expert", "Simple"}},
    {14, "GainDiff Store", D, -144.0, 144.0, 0.1, 0.0, "dB", 16, "Processing", false, false, {}},
    {15, "PreGain Diff Store", D, -144.0, 144.0, 0.1, 0.0, "dB", 16, "Processing", false, false, {}},
  };
  for (int k = 0; k < 4; ++k)
  {
    const std::string group = "Snapshot " + std::to_string(k + 1);
    const std::string n = std::to_string(k);
    rows.push_back({16 + 3 * k, "StoreSetFlag" + n, E, 0, 1, 1, 0, "", 16, group, true, false, {"unused", "used"}});
    rows.push_back({17 + 3 * k, "StorePostGain" + n, D, -144.0, 144.0, 0.1, 0.0, "dB", 16, group, true, false, {}});
    rows.push_back({18 + 3 * k, "StoreDrive" + n, D, -24.0, 24.0, 0.1, 0.0, "dB", 16, group, true, false, {}});
  }
  const std::vector<Row> tail = {
    {28, "Delta Monitor", E, 0, 1, 1, 0, "", 0, "Processing", true, false, kOffOn},
    {29, "SnapShot", E, 0, 3, 1, 0, "", 0, "Snapshot", true, false, {"S1", "S2", "S3", "S4"}},
    {30, "Disable Storage GainDiff", E, 0, 1, 1, 1, "", 0, "Processing", true, false, kOffOn},
    {31, "Auto Set Link ID", E, 0, 1, 1, 0, "", 16, "Processing", false, true, kOffOn},
    {32, "Reset PreGain Diff", E, 0, 1, 1, 0, "", 0, "Processing", false, true, kOffOn},
    {33, "Reset Sender RMS", E, 0, 1, 1, 0, "", 0, "Processing", false, true, kOffOn},
    {34, "Reset Gain Diff", E, 0, 1, 1, 0, "", 0, "Processing", false, false, kOffOn},
    {35, "Reset 2", E, 0, 1, 1, 0, "", 0, "Processing", false, false, kOffOn},
    {36, "Match Pre-FX Diff/Gain", E, 0, 1, 1, 0, "", 0, "Processing", false, false, kOffOn},
    {37, "Match Post-FX Diff/Gain", E, 0, 1, 1, 0, "", 0, "Processing", false, false, kOffOn},
    {38, "Match Loudness", E, 0, 1, 1, 0, "", 0, "Processing", false, false, kOffOn},
    {39, "Enable Over Protection", E, 0, 1, 1, 0, "", 0, "Over Protection", true, false, kOffOn},
    {40, "Over Prection Level", D, -48.0, 48.0, 0.1, 3.0, "dBFS", 0, "Over Protection", true, false, {}},
    {41, "Online Update Check", E, 0, 1, 1, 1, "", 1, "GUI", false, false, {"Off", "On"}},
    {42, "Show Config Page", E, 0, 1, 1, 0, "", 0, "GUI", false, false, kOffOn},
    {43, "Min Auto Gain", D, -144.0, 0.0, 0.1, -144.0, "dB", 0, "Processing", true, false, {}},
    {44, "Max Auto Gain", D, 0.0, 144.0, 0.1, 144.0, "dB", 0, "Processing", true, false, {}},
    {45, "Auto Gain Tolerance", D, 0.0, 48.0, 0.1, 0.0, "dB", 0, "Processing", true, false, {}},
  };
  rows.insert(rows.end(), tail.begin(), tail.end());
  return rows;
}

std::string Display(const IParam& p, double value)
{
  Util_String s;
  p.GetDisplay(value, false, s);
  return s.Get();
}

} // namespace

TEST_F(ZaniqTest, ParameterTableMatchesTheDocumentedTable)
{
  TestZANIQ& z = Make();
  const std::vector<Row> rows = ExpectedTable();
  ASSERT_EQ(z.NParams(), 46);
  ASSERT_EQ(rows.size(), 46u);

  for (const Row& r : rows)
  {
    SCOPED_TRACE(r.name);
    const IParam* p = z.GetParam(r.idx);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->GetName(), r.name);
    EXPECT_EQ(p->Type(), r.type);
    EXPECT_DOUBLE_EQ(p->GetMin(), r.min);
    EXPECT_DOUBLE_EQ(p->GetMax(), r.max);
    EXPECT_DOUBLE_EQ(p->GetStep(), r.step);
    EXPECT_DOUBLE_EQ(p->GetDefault(), r.def);
    EXPECT_DOUBLE_EQ(p->Value(), r.def);
    EXPECT_STREQ(p->GetLabel(), r.label);
    // Stepped is the framework's own bit for int and enum parameters; the product sets only 1 and 16.
    EXPECT_EQ(p->GetFlags() & ~IParam::kFlagStepped, r.flags);
    EXPECT_EQ(p->GetGroup(), r.group);
    EXPECT_EQ(p->GetInPresets(), r.inPresets);
    EXPECT_EQ(p->GetInstanceSetting(), r.instanceSetting);
    EXPECT_EQ(p->GetUnit(), kUnitCustom);
    ASSERT_EQ(p->NDisplayTexts(), static_cast<int>(r.texts.size()) + (r.idx >= 43 ? 1 : 0));
    for (size_t v = 0; v < r.texts.size(); ++v) EXPECT_EQ(Display(*p, double(v)), r.texts[v]);
    // The mirror starts at the default.
    EXPECT_DOUBLE_EQ(z.GetMirror(r.idx), r.def);
  }
}

TEST_F(ZaniqTest, AutoGainLimitsShowOffAtTheirEnds)
{
  TestZANIQ& z = Make();
  EXPECT_EQ(Display(*z.GetParam(ZANIQ::kMinAutoGain), -144.0), "off");
  EXPECT_EQ(Display(*z.GetParam(ZANIQ::kMinAutoGain), -12.0), "-12.0");
  EXPECT_EQ(Display(*z.GetParam(ZANIQ::kMaxAutoGain), 144.0), "off");
  EXPECT_EQ(Display(*z.GetParam(ZANIQ::kMaxAutoGain), 6.5), "6.5");
  EXPECT_EQ(Display(*z.GetParam(ZANIQ::kAutoGainTolerance), 0.0), "off");
  EXPECT_EQ(Display(*z.GetParam(ZANIQ::kAutoGainTolerance), 1.0), "1.0");
  EXPECT_EQ(Display(*z.GetParam(ZANIQ::kGUIScale), 1.25), "1.25");
}

TEST_F(ZaniqTest, HostCanAutomateAllButTheEditorSettings)
{
  TestZANIQ& z = Make();
  for (int i = 0; i < z.NParams(); ++i)
  {
    const bool editorSetting = i == ZANIQ::kGUIScale || i == ZANIQ::kToggleTooltips || i == ZANIQ::kOnlineUpdateCheck;
    EXPECT_EQ(z.GetParam(i)->GetCanAutomate(), !editorSetting) << i;
  }
}

TEST_F(ZaniqTest, FixedGUIScaleIsOutsideTheHostListAndStartsAt100Percent)
{
  TestZANIQ& z = Make();
  EXPECT_EQ(z.NParams(), 46);
  ASSERT_EQ(z.NExtraParams(), 1);
  const IParam* p = z.GetExtraParam(0);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(z.GetExtraParam(1), nullptr);
  EXPECT_STREQ(p->GetName(), "Fixed GUI Scale");
  EXPECT_EQ(p->Type(), IParam::kTypeEnum);
  EXPECT_EQ(p->NDisplayTexts(), 11);
  Util_String text;
  p->GetDisplay(text);
  EXPECT_STREQ(text.Get(), "100%");
  EXPECT_EQ(Display(*p, 0), "50%");
  EXPECT_EQ(Display(*p, 10), "300%");
  EXPECT_EQ(z.GetExtraParamsCommandBase(), 66);
}

TEST_F(ZaniqTest, InitPresetHoldsTheDefaults)
{
  TestZANIQ& z = Make();
  ASSERT_EQ(z.NPresets(), 1);
  const IPreset* slot = z.GetPreset(0);
  ASSERT_NE(slot, nullptr);
  EXPECT_TRUE(slot->mInitialized);
  EXPECT_STREQ(slot->mName, "Init");
  EXPECT_GT(slot->mChunk.Size(), 0);
  EXPECT_TRUE(slot->mChunk.IsEqual(z.GetInitPreset().mChunk));

  z.Change(ZANIQ::kReferenceLevel, -6.0);
  z.Change(ZANIQ::kMeterMode, 0);
  ASSERT_TRUE(z.RestorePreset(0));
  EXPECT_DOUBLE_EQ(z.GetParam(ZANIQ::kReferenceLevel)->Value(), -18.0);
  EXPECT_DOUBLE_EQ(z.GetMirror(ZANIQ::kReferenceLevel), -18.0);
  EXPECT_EQ(z.GetMirrorInt(ZANIQ::kMeterMode), 3);
}
