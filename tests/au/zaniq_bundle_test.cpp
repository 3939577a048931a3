// The product bundle as a host sees it: its 46 parameters (one of each way a parameter reaches the host), instances
// that pair up on their own as they open and close, and the signal path end to end through AudioUnit calls on a
// Sender and its Receiver, the Receiver's input pulling the Sender's output through a gain in each host cycle, as
// `auhost chain` runs them. Levels are checked on the audio itself; what the editor would show comes from the
// read-outs property. (The matching itself, its window, gain staging, over protection and the latency detector are
// the engine tests' concern; here is what a host sees of them: monitoring, delta, tolerance and limits, Inverse
// Match, mono, Drive FX and Active. Refused states: the engine's restore tests, and the adapter's answer
// to them in the test bundle's stored dictionaries.) Default presets, however their names are written, reach
// the host's state and come back from it in a clean data folder, and recalling the preset keeps its name.

#include "au/support/ZaniqHost.h"
#include "engine/support/preset_files.h"

#include <cmath>
#include <sstream>
#include <tuple>

using namespace auhost;
using testbundles::FourCC;
using namespace zqhost;

namespace
{

constexpr UInt32 kParamCount = 46;
constexpr int E = 0, I = 1, D = 2; // kinds: enum, counted, continuous
using T = std::vector<std::string>;

// One parameter as the product defines it, a row for each way a parameter reaches the host. Flags: 1 cannot be
// automated, 16 meta. For enums texts[i] names the value i; a continuous parameter's texts are its "off". Plugin
// Mode and Link ID default to what pairing gives the only instance: Sender on 1.
struct Row
{
  AudioUnitParameterID id;
  const char* name;
  int kind;
  double min, max, def;
  const char* label;
  int flags;
  const char* group;
  T texts;
};
// clang-format off
const Row kRows[] = {
  {0, "GUI Scale", D, 0.5, 3.0, 1.0, "", 1, "GUI", {}},
  {2, "Plugin Mode", E, 0, 1, 0, "", 0, "Processing", {"Sender", "Receiver"}},
  {4, "Latency Compensation", I, 0, 176400, 0, "ms", 0, "Processing", {}},
  {14, "GainDiff Store", D, -144.0, 144.0, 0.0, "dB", 16, "Processing", {}},
  {16, "StoreSetFlag0", E, 0, 1, 0, "", 16, "Snapshot 1", {"unused", "used"}},
  {45, "Auto Gain Tolerance", D, 0.0, 48.0, 0.0, "dB", 0, "Processing", {"off"}},
};
// clang-format on

class ZaniqBundle : public ZaniqBundleTest
{
protected:
  void TearDown() override { mUnit.reset(); }

  std::unique_ptr<Instance> mUnit;
};

constexpr UInt32 kBlock = 512;
constexpr uint64_t kLead = 2 * kBlock; // silence first, so the link slot holds this pair's view
constexpr double kDouble = 6.0206;     // dB: about the gain 2
using Settings = std::vector<auhost::ParamSetting>;

// The Receiver's settings applied at given frames of a run (counted from the end of the lead), and "Reset Sender
// RMS" pressed where the tone starts, so that it starts on cleared meters.
class Steps final : public auhost::ChainHooks
{
public:
  explicit Steps(std::vector<std::pair<uint64_t, Settings>> steps) : mSteps(std::move(steps))
  {
    mSteps.push_back({0, {{"Reset Sender RMS", "on"}, {"Reset Sender RMS", "off"}}});
  }
  auhost::Status Ready(Instance&, Instance& receiver) override
  {
    mReceiver = &receiver;
    return auhost::Status::Ok();
  }
  auhost::Status AtBoundary(uint64_t pos) override
  {
    for (const auto& [frame, settings] : mSteps)
      for (const auto& [name, value] : settings)
        if (frame + kLead == pos)
          if (auhost::Status s = mReceiver->SetParameterFromText(name, value); !s) return s;
    return auhost::Status::Ok();
  }

private:
  std::vector<std::pair<uint64_t, Settings>> mSteps;
  Instance* mReceiver = nullptr;
};

struct PairRun
{
  auhost::AudioData in, out;            // without the lead
  double readouts[kZaniqNumReadouts]{}; // the Receiver's at the end
};

// The tone on `channels` for `frames` through a Sender, a gain of `dB` and a Receiver (RMS Summed over `ms`, then
// `receiver`), in blocks of kBlock, as `auhost chain` runs them.
PairRun RunPair(double dB, UInt32 channels, uint64_t frames, const char* ms, Settings receiver,
                std::vector<std::pair<uint64_t, Settings>> steps = {})
{
  auhost::ChainSetup setup;
  setup.bundle = ZANIQ_PRODUCT_BUNDLE;
  std::string error;
  EXPECT_TRUE(dB == 0.0 || auhost::ParseFxList("gain:" + std::to_string(dB), setup.fx, error)) << error;
  setup.receiver = {{"Meter Mode", "RMS Summed"}, {"RMS Window", ms}};
  setup.receiver.insert(setup.receiver.end(), receiver.begin(), receiver.end());
  Steps hooks(std::move(steps));
  setup.hooks = &hooks;
  PairRun run;
  run.in.sampleRate = kRate;
  run.in.Resize(channels, kLead + frames);
  for (UInt32 c = 0; c < channels; ++c)
    for (uint64_t i = 0; i < frames; ++i) run.in.channels[c][kLead + i] = Tone(c, i);
  auhost::ChainReport report;
  EXPECT_OK(auhost::RunChain(setup, run.in, run.out, report));
  for (auto* data : {&run.in, &run.out})
    for (auto& ch : data->channels) ch.erase(ch.begin(), ch.begin() + std::min<size_t>(kLead, ch.size()));
  if (report.instances.size() == 2) std::ranges::copy(report.instances[1].readouts, run.readouts);
  return run;
}

// The largest |out - factor × in| over frames [first, first + count) of every channel.
double Worst(const PairRun& r, double factor, uint64_t first = 0, uint64_t count = UINT64_MAX)
{
  double worst = 0.0;
  for (UInt32 c = 0; c < r.out.NChannels(); ++c)
    for (uint64_t i = first; i - first < count && i < r.out.NFrames(); ++i)
      worst = std::max(worst, std::fabs(r.out.channels[c][i] - factor * r.in.channels[c][i]));
  return worst;
}

// Level of the output minus level of the input over the same frames, in dB.
double Gain(const PairRun& r, uint64_t first, uint64_t count)
{
  return auhost::MeasureLevels(r.out, first, count).rmsDB - auhost::MeasureLevels(r.in, first, count).rmsDB;
}

double Factor(double dB)
{
  return std::pow(10.0, dB / 20.0);
}

using ZaniqSignal = ZaniqBundleTest;

} // namespace

TEST_F(ZaniqBundle, ParametersMatchTheProductTable)
{
  const AudioComponentDescription& d = mBundle->Main().desc;
  EXPECT_EQ(std::tuple(d.componentType, d.componentSubType, d.componentManufacturer),
            std::tuple(FourCC("aufx"), FourCC("QN55"), FourCC("QNVX")));
  ASSERT_OK(Instance::Open(mBundle->Main().component, mUnit));
  std::vector<ParameterDesc> params;
  ASSERT_OK(mUnit->ListParameters(params));
  ASSERT_EQ(params.size(), kParamCount);
  // The list holds the indices in order (the editor-only scale choice is not the host's); nothing lies beyond.
  AudioUnitParameterInfo info = {};
  EXPECT_EQ(mUnit->GetProperty(kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, kParamCount, info).code(),
            kAudioUnitErr_InvalidElement);
  const AudioUnitParameterOptions options =
    kAudioUnitParameterFlag_IsWritable | kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_HasCFNameString |
    kAudioUnitParameterFlag_IsHighResolution | kAudioUnitParameterFlag_CFNameRelease | kAudioUnitParameterFlag_HasClump;
  for (UInt32 i = 0; i < kParamCount; ++i) EXPECT_EQ(params[i].id, i);
  for (const Row& row : kRows)
  {
    const AudioUnitParameterID i = row.id;
    const ParameterDesc& p = params[i];
    SCOPED_TRACE(std::to_string(i) + " " + row.name);
    EXPECT_EQ(std::tuple(p.name, p.minValue, p.maxValue, p.defaultValue, p.clumpName),
              std::tuple(row.name, Float32(row.min), Float32(row.max), Float32(row.def), row.group));
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
  }

  // "off" for the edge values of the auto gain limits and tolerance, both ways.
  for (const auto& [id, value] : {std::pair(43u, -144.f), std::pair(44u, 144.f), std::pair(45u, 0.f)})
  {
    std::string text;
    Float32 v = 1.f;
    ASSERT_OK(mUnit->ParameterValueToText(id, value, text));
    EXPECT_EQ(text, "off") << id;
    ASSERT_OK(mUnit->ParameterTextToValue(id, "off", v));
    EXPECT_EQ(v, value) << id;
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
    "S1 R1 S2 R2 -1 -3 R1 R2 -0 -2 6=R1 7=R2 S1 S2 S3", // only Senders left, then only Receivers left
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
      const Role r = {int(Param(*units[k], "Plugin Mode", &mode)), int(Param(*units[k], "Link ID", &link))};
      EXPECT_EQ(r, (Role{want[0] == 'R', std::stoi(want.substr(1))}));
      EXPECT_EQ((Role{int(mode.defaultValue), int(link.defaultValue)}), r) << "defaults";
    }
  }
}

// What the Receiver gives once matched (past its 100 ms window), for a chain gain D: the output level against
// the input's over the last 4 of 16 blocks, the match gain it shows, and which signal it gives. Each row starts
// from Auto matching, monitoring post-FX, with no tolerance or limits ("0", "-144" and "144" are the settings shown
// as "off"); `later` is applied after 12 blocks.
TEST_F(ZaniqSignal, SettledOutputForEachSetting)
{
  enum Exact { kNone, kAsReceived, kAsInput, kSilent, kInputNegated };
  const struct
  {
    const char* what;
    Settings settings, later;
    double D, outDB, g;
    Exact exact;
  } cases[] = {
    {"within the tolerance: nothing is matched", {{"Auto Gain Tolerance", "1.0"}}, {}, 0.6, 0.6, 0.0, kAsReceived},
    {"lowered by all but the tolerance", {{"Auto Gain Tolerance", "1.0"}}, {}, 3.0, 1.0, -2.0, kNone},
    {"raised by all but the tolerance", {{"Auto Gain Tolerance", "1.0"}}, {}, -3.0, -1.0, 2.0, kNone},
    {"no tolerance, mono: fully matched", {}, {}, 3.0, 0.0, -3.0, kNone},
    {"no lower than Min Auto Gain", {{"Min Auto Gain", "-6.0"}}, {}, 10.0, 4.0, -6.0, kNone},
    {"no higher than Max Auto Gain", {{"Max Auto Gain", "3.0"}}, {}, -10.0, -7.0, 3.0, kNone},
    {"pre-FX monitored: the input as it came", {{"Pre-Post FX", "off"}}, {}, kDouble, 0.0, -kDouble, kAsInput},
    {"inverse, post-FX monitored: passes as it is", {{"Inverse Match", "on"}}, {}, kDouble, kDouble, -kDouble,
     kAsReceived},
    {"inverse, then pre-FX monitored: raised to the post-FX level", {{"Inverse Match", "on"}},
     {{"Pre-Post FX", "off"}}, kDouble, kDouble, -kDouble, kAsReceived},
    {"delta of an identity chain", {{"Match Mode", "Manual"}, {"Delta Monitor", "on"}}, {}, 0.0, 0.0, 0.0, kSilent},
    {"delta of a doubling chain", {{"Match Mode", "Manual"}, {"Delta Monitor", "on"}}, {}, kDouble, 0.0, 0.0,
     kInputNegated},
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.what);
    const UInt32 channels = std::string(c.what).find("mono") == std::string::npos ? 2 : 1;
    const PairRun r = RunPair(c.D, channels, 16 * kBlock, "100", c.settings, {{12 * kBlock, c.later}});
    const uint64_t first = 12 * kBlock;
    EXPECT_NEAR(r.readouts[kZaniqReadoutPostFxGain], c.g, 1e-2);
    EXPECT_TRUE(c.exact == kSilent || std::fabs(Gain(r, first, 4 * kBlock) - c.outDB) < 1e-2)
      << Gain(r, first, 4 * kBlock);
    const double factor = c.exact == kAsReceived ? Factor(c.D)
                          : c.exact == kAsInput  ? 1.0
                          : c.exact == kSilent   ? 0.0
                                                 : -1.0;
    EXPECT_TRUE(c.exact == kNone || Worst(r, factor, first) < 1e-6) << Worst(r, factor, first);
  }
}

// Drive FX and Active reach the Sender from its next block (it renders before the Receiver hands them over); the
// Receiver, matching manually with gain 1, gives the Sender's output as it is. On a Link ID without a Sender the
// Receiver gets no blocks: it passes its input (from the Sender it left, which it no longer drives) and shows no
// levels.
TEST_F(ZaniqSignal, DriveFxActiveAndLinkIDReachTheSenderFromItsNextBlock)
{
  const PairRun r = RunPair(0.0, 2, 20 * kBlock, "10", {{"Match Mode", "Manual"}},
                            {{2 * kBlock, {{"Drive FX", "6"}}},
                             {5 * kBlock, {{"Active", "off"}}},
                             {10 * kBlock, {{"Active", "on"}}},
                             {13 * kBlock, {{"Link ID", "7"}}}});
  // Per block from the start: 0 for the input as it came, 6 for the input driven by 6 dB.
  const double driven[20] = {0, 0, 0, 6, 6, 6, 0, 0, 0, 0, 0, 6, 6, 0, 0, 0, 0, 0, 0, 0};
  for (uint64_t b = 0; b < 20; ++b)
    EXPECT_NEAR(Gain(r, b * kBlock, kBlock), driven[b], 1e-3) << "block " << b;
  EXPECT_EQ(std::tuple(r.readouts[kZaniqReadoutPreFxCurrent], r.readouts[kZaniqReadoutPreFxMax]),
            std::tuple(-144.0, -144.0));
}

// --- Default presets and the host's state ---------------------------------------------------------------------

namespace
{

// Every parameter's value, in list order.
std::vector<Float32> ParamValues(const Instance& unit)
{
  std::vector<ParameterDesc> params;
  EXPECT_OK(unit.ListParameters(params));
  std::vector<Float32> values;
  for (const ParameterDesc& p : params)
  {
    Float32 v = std::numeric_limits<Float32>::quiet_NaN();
    EXPECT_OK(unit.GetParameter(p.id, v)) << p.name;
    values.push_back(v);
  }
  return values;
}

// The names a host sees: the present preset, factory preset 0 and the name in the saved state.
std::tuple<std::string, std::string, std::string> PresetNames(const Instance& unit)
{
  PresetDesc present;
  std::vector<PresetDesc> factory;
  CFRef<CFPropertyListRef> state;
  EXPECT_OK(unit.CurrentPreset(present));
  EXPECT_OK(unit.FactoryPresets(factory));
  EXPECT_OK(unit.SaveState(state));
  const CFTypeRef name =
    state && CFGetTypeID(state.Get()) == CFDictionaryGetTypeID()
      ? CFDictionaryGetValue(static_cast<CFDictionaryRef>(state.Get()), CFSTR("name"))
      : nullptr;
  return {present.name, factory.empty() ? "" : factory[0].name, ToStdString(name)};
}

} // namespace

// Default presets as this build or an earlier one wrote them, or as they were edited by hand: loaded at start-up,
// saved in the host's state, and that state restored by an instance whose data folder holds no default preset,
// which then has the same values and preset name. (The preset name reaches the host as UTF-8, Latin-1 bytes as
// the characters they stand for.)
TEST_F(ZaniqBundle, DefaultPresetsComeBackFromTheHostStateInACleanDataFolder)
{
  const std::string plain = "<?xml version=\"1.0\" ?>\n", root = "<PresetXMLTree version=\"1\">\n";
  const std::string groesse = "Gr\xC3\xB6\xC3\x9F" "e", a254(254, 'a');
  const struct
  {
    const char* what;
    std::string prolog, name, comment, shown;
  } cases[] = {
    {"character references in an ASCII file", plain, "Gr&#xF6;&#xDF;e", "", groesse},
    {"Latin-1 without a declaration", "", "Gr\xF6\xDF" "e", "", groesse},
    {"Latin-1 declared ISO-8859-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n", "Gr\xF6\xDF" "e", "", groesse},
    {"Latin-1 ending in a lead byte", plain, "Caf\xE9", "", "Caf\xC3\xA9"},
    {"Latin-1 in a comment", plain, "Caf&#xE9;", "    <!-- r\xE9glage pour la caf\xE9 -->\n", "Caf\xC3\xA9"},
    {"windows-1252 declared", "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n", "Caf\xE9 \x80", "",
     "Caf\xC3\xA9 \xC2\x80"},
    {"a stylesheet line", plain + "<?xml-stylesheet type=\"text/xsl\" href=\"preset.xsl\"?>\n", "Styled", "",
     "Styled"},
    {"a name cut to its field", plain, a254 + "\xC3\xB6x", "", a254},
    {"UTF-8", plain, groesse, "", groesse},
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.what);
    std::string text = testsupport::PresetText({{"Reference Level", "-30.000000"}, {"RMS Window", "1234"}}, c.name);
    text.replace(0, plain.size() + root.size(), c.prolog + root + c.comment);
    testsupport::WriteFile(mHome.DataFolder() / "AU" / "default.tps", text);

    ASSERT_OK(Instance::Open(mBundle->Main().component, mUnit));
    EXPECT_EQ(std::pair(Param(*mUnit, "Reference Level"), Param(*mUnit, "RMS Window")), std::pair(-30.f, 1234.f));
    EXPECT_EQ(PresetNames(*mUnit), std::tuple(c.shown, c.shown, c.shown));
    const std::vector<Float32> loaded = ParamValues(*mUnit);
    CFRef<CFPropertyListRef> state;
    ASSERT_OK(mUnit->SaveState(state));
    mUnit.reset();

    ScopedHome clean;
    ASSERT_OK(Instance::Open(mBundle->Main().component, mUnit));
    EXPECT_EQ(Param(*mUnit, "Reference Level"), -18.f);
    EXPECT_OK(mUnit->RestoreState(state.Get()));
    EXPECT_EQ(ParamValues(*mUnit), loaded);
    EXPECT_EQ(std::get<0>(PresetNames(*mUnit)), c.shown);
    mUnit.reset();
  }
}

// Selecting the preset brings back the default preset's values under its own name, wherever a host looks.
TEST_F(ZaniqBundle, TheHostsRecallOfThePresetKeepsItsName)
{
  testsupport::WriteFile(mHome.DataFolder() / "AU" / "default.tps",
                         testsupport::PresetText({{"Drive FX", "7.500000"}}, "MyPreset"));
  ASSERT_OK(Instance::Open(mBundle->Main().component, mUnit));
  const auto named = std::tuple(std::string("MyPreset"), std::string("MyPreset"), std::string("MyPreset"));
  EXPECT_EQ(std::pair(Param(*mUnit, "Drive FX"), PresetNames(*mUnit)), std::pair(7.5f, named));
  SetParam(*mUnit, "Drive FX", "2");
  ASSERT_OK(mUnit->SelectPreset(0));
  EXPECT_EQ(std::pair(Param(*mUnit, "Drive FX"), PresetNames(*mUnit)), std::pair(7.5f, named));
}

// A restored state is what the preset it names recalls: after the host restores a state saved under another
// name, selecting the preset keeps the restored values under the restored name. A refused restore renames
// nothing.
TEST_F(ZaniqBundle, ThePresetARestoreNamesRecallsTheRestoredValues)
{
  const std::string groesse = "Gr\xC3\xB6\xC3\x9F" "e";
  testsupport::WriteFile(mHome.DataFolder() / "AU" / "default.tps",
                         testsupport::PresetText({{"Reference Level", "-30.000000"}}, groesse));
  ASSERT_OK(Instance::Open(mBundle->Main().component, mUnit));
  CFRef<CFPropertyListRef> state;
  ASSERT_OK(mUnit->SaveState(state));
  mUnit.reset();

  ScopedHome clean;
  ASSERT_OK(Instance::Open(mBundle->Main().component, mUnit));
  const auto init = std::tuple(std::string("Init"), std::string("Init"), std::string("Init"));
  const auto named = std::tuple(groesse, groesse, groesse);
  ASSERT_EQ(std::pair(Param(*mUnit, "Reference Level"), PresetNames(*mUnit)), std::pair(-18.f, init));

  // The same state with its document's maker changed: refused, and nothing renamed.
  const auto foreign = CFRef<CFMutableDictionaryRef>::Adopt(
    CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(state.Get())));
  const auto data = static_cast<CFDataRef>(CFDictionaryGetValue(foreign.Get(), CFSTR("data")));
  std::string bytes(reinterpret_cast<const char*>(CFDataGetBytePtr(data)), size_t(CFDataGetLength(data)));
  ASSERT_NE(bytes.find("Quenlar"), std::string::npos);
  bytes.replace(bytes.find("Quenlar"), 7, "Quenlaz");
  const auto changed = CFRef<CFDataRef>::Adopt(
    CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), CFIndex(bytes.size())));
  CFDictionarySetValue(foreign.Get(), CFSTR("data"), changed.Get());
  EXPECT_FALSE(mUnit->RestoreState(foreign.Get()));
  EXPECT_EQ(std::pair(Param(*mUnit, "Reference Level"), PresetNames(*mUnit)), std::pair(-18.f, init));

  ASSERT_OK(mUnit->RestoreState(state.Get()));
  EXPECT_EQ(std::pair(Param(*mUnit, "Reference Level"), PresetNames(*mUnit)), std::pair(-30.f, named));
  ASSERT_OK(mUnit->SelectPreset(0));
  EXPECT_EQ(std::pair(Param(*mUnit, "Reference Level"), PresetNames(*mUnit)), std::pair(-30.f, named));
  mUnit.reset();
}
