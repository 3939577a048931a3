// `auhost chain`: its arguments and one-line failures, the built-in signal, levels, the JSON report, the Sender ->
// effects -> Receiver plumbing on the test bundle, and runs of the product bundle when this build has one: the
// match, the program's report, and the Receiver's state (--save-state, --load-state, --preset), also from damaged
// data folders and deeply nested states.

#include "au/testplug/TestBundles.h"
#include "engine/XMLNesting.h"
#include "engine/support/thread_limits.h"
#include "support/AuhostRun.h"
#include "tools/auhost/ChainCommand.h"
#include "tools/auhost/Cli.h"
#include "tools/auhost/TestSignal.h"

#include <cmath>
#include <limits>
#include <map>
#include <numbers>
#include <regex>
#include <sstream>

#include <sys/stat.h>

using namespace auhost;
using namespace testbundles;
using namespace toolstest;

namespace
{

// `auhost chain ARGS...` in this process.
RunResult RunChain(std::vector<std::string> args)
{
  args.insert(args.begin(), "chain");
  return RunInProcess(args);
}


// A preset file of the product naming one parameter.
std::string Preset(const std::string& param, const std::string& value)
{
  return "<?xml version=\"1.0\" ?>\n<PresetXMLTree version=\"1\">\n    <PluginVendor>Quenlar</PluginVendor>\n"
         "    <PluginName>ZANIQ</PluginName>\n    <PluginVersion>v2.2.11</PluginVersion>\n    <Preset name=\"P\">\n"
         "        <Parameter>\n            <Param name=\"" +
         param + "\" val=\"" + value + "\" />\n        </Parameter>\n    </Preset>\n</PresetXMLTree>\n";
}

class ChainState : public ProductTest
{
protected:
  void SetUp() override
  {
    ProductTest::SetUp();
    MakeTestSignal(48000.0, 1.0, mInput);
  }

  // Runs the chain; the Receiver's parameters by name.
  Status Run(ChainSetup setup)
  {
    setup.bundle = mBundle;
    AudioData output;
    ChainReport report;
    Status s = RunChain(setup, mInput, output, report);
    if (s && report.instances.size() == 2)
      mReceiver = std::map<std::string, double>(report.instances[1].params.begin(), report.instances[1].params.end());
    return s;
  }

  AudioData mInput;
  std::map<std::string, double> mReceiver;
};

} // namespace

// --- Arguments and failures ---

TEST(ChainArgs, ParsesTheWholeCommandLine)
{
  ChainArgs ca;
  std::string error;
  ASSERT_TRUE(ParseChainArgs({"--bundle", "Z.component", "--in", "a.flac", "--out", "b.WAV", "--rate", "44100",
                              "--block", "256", "--seconds", "2.5", "--fx", "gain:6,mute", "--sender", "Drive FX=-3",
                              "--receiver", "Match Mode=Auto", "--receiver", "Link ID=1", "--command", "61@1.5",
                              "--command", "46@0", "--load-state", "a.state", "--preset", "p.tps", "--save-state",
                              "b.state", "--json"},
                             ca, error))
    << error;
  EXPECT_EQ((std::vector<std::string>{ca.bundle, ca.in, ca.out, ca.loadState, ca.preset, ca.saveState}),
            (std::vector<std::string>{"Z.component", "a.flac", "b.WAV", "a.state", "p.tps", "b.state"}));
  EXPECT_EQ(std::tie(ca.rate, ca.block, ca.seconds, ca.json), std::make_tuple(44100.0, 256u, 2.5, true));
  ASSERT_EQ(ca.fx.size(), 2u);
  EXPECT_EQ(ca.fx[1].kind, FxSpec::Kind::Mute);
  ASSERT_EQ(std::make_tuple(ca.sender.size(), ca.receiver.size(), ca.commands.size()), std::make_tuple(1u, 2u, 2u));
  EXPECT_EQ(std::tie(ca.sender[0].name, ca.sender[0].value, ca.receiver[1].name),
            std::make_tuple("Drive FX", "-3", "Link ID"));
  EXPECT_EQ(std::tie(ca.commands[0].code, ca.commands[0].seconds, ca.commands[0].text),
            std::make_tuple(61, 1.5, "61@1.5"));

  const struct
  {
    std::vector<std::string> args;
    const char* error;
  } bad[] = {
    {{"--in"}, "--in needs a value"},
    {{"--in", "a", "--in", "b"}, "--in given twice"},
    {{"--gain", "3"}, "unknown option --gain"},
    {{"file.wav"}, "unexpected argument \"file.wav\""},
    {{"--out", "b.aiff"}, "--out writes a WAV file: give a name ending in .wav, not \"b.aiff\""},
    {{"--rate", "7999"}, "--rate wants a sample rate from 8000 to 384000 Hz, not \"7999\""},
    {{"--block", "8193"}, "--block wants a frame count from 1 to 8192, not \"8193\""},
    {{"--seconds", "0"}, "--seconds wants a length above 0 and up to 600 seconds, not \"0\""},
    {{"--fx", "gain:6,echo"}, "--fx echo: unknown effect \"echo\" (effects: gain:DB, delay:SAMPLES, lowpass:HZ, "
                              "highshelf:HZ:DB, clip:DB, noise:DB[:SEED], mute)"},
    {{"--sender", "Drive FX"}, "--sender wants \"NAME=VALUE\", not \"Drive FX\""},
    {{"--receiver", "Active="}, "--receiver wants \"NAME=VALUE\", not \"Active=\""},
  };
  for (const auto& b : bad)
  {
    ChainArgs unused;
    EXPECT_FALSE(ParseChainArgs(b.args, unused, error)) << b.args.front();
    EXPECT_EQ(error, b.error);
  }
  // A code outside 46 to 68, no time, a time before 0.
  for (const char* command : {"45@1", "61", "61@-1"})
  {
    EXPECT_FALSE(ParseChainArgs({"--command", command}, ca, error));
    EXPECT_EQ(error, std::string("--command wants \"CODE@SECONDS\" with a code from 46 to 68 and a time from 0 s, "
                                 "not \"") + command + "\"");
  }
}

TEST(ChainCommand, FailuresAreOneLineWithAnExitCode)
{
  TempFolder temp;
  ASSERT_TRUE(WriteAudioFile(temp / "short.wav", Sine(2, 4800, 440.0, 0.5)).ok());
  temp.Write("noise.wav", "this is not audio");
  const std::string gain = GainBundlePath();
  const struct
  {
    std::vector<std::string> args;
    int code;
    std::string err;
  } cases[] = {
    {{"--block", "0"}, kExitUsage, "auhost: --block wants a frame count from 1 to 8192, not \"0\"\n"},
    {{"--bundle", temp / "none"}, kExitFailure, "auhost: " + temp / "none" + ": no such bundle folder\n"},
    {{"--bundle", gain, "--in", temp / "missing.wav"}, kExitFailure, ""},
    {{"--bundle", gain, "--in", temp / "noise.wav"}, kExitFailure, ""},
    {{"--bundle", gain, "--in", temp / "short.wav", "--command", "61@0.1"}, kExitFailure,
     "auhost: --command 61@0.1: 0.1 s is past the end of the signal (0.1 s)\n"},
    {{"--bundle", gain, "--seconds", "0.5"}, kExitFailure,
     "auhost: Sender: the unit does not pair as Sender and Receiver (no parameter \"Plugin Mode\")\n"},
  };
  for (const auto& c : cases) ExpectFailure(RunChain(c.args), c.code, c.err);
}

// --- Signal, levels and JSON ---

TEST(ChainSignal, TheBuiltInSignalIsDeterministicAndMusicLike)
{
  AudioData a, b;
  MakeTestSignal(kTestSignalRate, kTestSignalSeconds, a);
  MakeTestSignal(kTestSignalRate, kTestSignalSeconds, b);
  ASSERT_EQ(a.NFrames(), 960000u);
  EXPECT_TRUE(a.channels == b.channels);
  EXPECT_NE(a.channels[0], a.channels[1]); // stereo, not two copies
  // Every second has sound in it.
  for (uint64_t s = 0; s < 20; ++s)
    EXPECT_GT(MeasureLevels(a, s * 48000, 48000).rmsDB, -30.0) << s;
}

TEST(ChainReportTest, LevelsArePowerAveragedOverChannels)
{
  AudioData data = Sine(2, 48000, 1000.0, 0.5);
  for (float& x : data.channels[1]) x = 0.f;
  const Levels levels = MeasureLevels(data);
  // Channel powers 0.125 and 0: their mean is 0.0625.
  EXPECT_NEAR(levels.rmsDB, 10.0 * std::log10(0.0625), 1e-3);
  EXPECT_NEAR(levels.peakDB, 20.0 * std::log10(0.5), 1e-3);
  EXPECT_EQ(MeasureLevels(Sine(1, 100, 1000.0, 0.0)).peakDB, kSilenceDB);
  EXPECT_EQ(MeasureLevels(data, 47990, 1000).peakDB, MeasureLevels(data, 47990, 10).peakDB); // clipped range
}

TEST(ChainReportTest, JsonHasItsShape)
{
  ChainReport report;
  InstanceReport sender, receiver;
  sender.role = "Sender";
  sender.linkID = 1;
  sender.params = {{"Match Mode", 1.0}, {"Reference Level", -18.0f}, {"Odd \"name\"\\\t", 0.1f}};
  receiver.role = "Receiver";
  receiver.linkID = 1;
  receiver.params = sender.params;
  receiver.hasReadouts = true;
  for (int i = 0; i < kZaniqNumReadouts; ++i) receiver.readouts[i] = -1.25 * i;
  report.instances = {sender, receiver};
  report.input = {-20.5, -6.0};
  report.output = {kSilenceDB, std::numeric_limits<double>::infinity()};

  // One line; members in order; names escaped; a float's shortest text; JSON has no infinity.
  const std::string params = R"("params":{"Match Mode":1,"Reference Level":-18,"Odd \"name\"\\\t":0.1})";
  EXPECT_EQ(ChainReportJson(report),
            R"({"instances":[{"role":"Sender","link_id":1,)" + params + R"(,"readouts":{}},)" +
              R"({"role":"Receiver","link_id":1,)" + params +
              R"(,"readouts":{"pre_fx_diff":0,"pre_fx_gain":-1.25,"pre_fx_current":-2.5,"pre_fx_max":-3.75,)" +
              R"("post_fx_diff":-5,"post_fx_gain":-6.25}}],"input":{"rms_db":-20.5,"peak_db":-6},)" +
              R"("output":{"rms_db":-144,"peak_db":null}})");
}

TEST(ChainReportTest, SummaryGivesNoPostFxLevelBeforeTheMeterWindowIsFull)
{
  // Automatic matching, EBU short-term (3 s): the read-outs after 6 dB of effects were matched.
  InstanceReport sender, receiver;
  sender.role = "Sender";
  receiver.role = "Receiver";
  receiver.params = {{"Match Mode", 1.0}, {"Meter Mode", 3.0}, {"RMS Window", 100.0}};
  receiver.hasReadouts = true;
  receiver.readouts[kZaniqReadoutPreFxCurrent] = -20.0;
  receiver.readouts[kZaniqReadoutPostFxGain] = -6.0;
  ChainReport report;
  report.instances = {sender, receiver};
  const auto summary = [&](double seconds) {
    AudioData input = Sine(2, static_cast<uint64_t>(48000 * seconds), 1000.0, 0.5);
    std::ostringstream out;
    PrintChainSummary(out, ChainArgs{}, "test", input, input, report);
    const std::string text = out.str();
    const size_t at = text.find("post-FX loudness:");
    return at == std::string::npos ? std::string() : text.substr(at, text.find('\n', at) - at);
  };
  EXPECT_EQ(summary(2.9), "post-FX loudness:  not known yet (the signal is shorter than the meter's window)");
  EXPECT_EQ(summary(3.0), "post-FX loudness:  -14.0 dB");
  receiver.params[1].second = 0.0; // RMS Summed takes "RMS Window"
  report.instances[1] = receiver;
  EXPECT_EQ(summary(0.2), "post-FX loudness:  -14.0 dB");
}

// --- Plumbing on the test bundle ---

TEST(ChainRunTest, TheSenderFeedsTheEffectsThatFeedTheReceiver)
{
  // TestGain does not pair; the order of opening gives the roles. Sender: -6 dB, 3 samples late; effects: +6 dB,
  // 2 samples; Receiver: inverted, 1 sample late.
  ChainSetup setup;
  setup.bundle = GainBundlePath();
  setup.checkRoles = false;
  setup.block = 100;
  std::string error;
  ASSERT_TRUE(ParseFxList("gain:6,delay:2", setup.fx, error));
  setup.sender = {{"Gain", "-6"}, {"Delay", "3"}};
  setup.receiver = {{"Mode", "invert"}, {"Delay", "1"}};
  const AudioData input = Sine(2, 1234, 500.0, 0.4);
  AudioData output;
  ChainReport report;
  ASSERT_OK(RunChain(setup, input, output, report));
  ASSERT_EQ(output.NFrames(), input.NFrames());
  ASSERT_EQ(output.NChannels(), 2u);
  const double g = std::pow(10.0, -6.0 / 20.0) * std::pow(10.0, 6.0 / 20.0);
  for (uint32_t c = 0; c < 2; ++c)
    for (uint64_t i = 0; i < output.NFrames(); ++i)
      ASSERT_NEAR(output.channels[c][i], i < 6 ? 0.0 : -g * input.channels[c][i - 6], 1e-6) << c << " " << i;

  ASSERT_EQ(report.instances.size(), 2u);
  EXPECT_EQ(report.instances[1].params[2], (std::pair<std::string, double>{"Mode", 1.0}));
  EXPECT_FALSE(report.instances[1].hasReadouts); // no read-outs: not an error

  // Settings name the parameter exactly and take its numbers or texts; a unit without the command property
  // refuses commands with a clear line.
  const struct
  {
    std::vector<ParamSetting> sender, receiver;
    std::vector<TimedCommand> commands;
    const char* error;
  } bad[] = {
    {{{"gain", "-6"}}, {}, {}, "--sender \"gain=-6\": no parameter named \"gain\" (auhost info lists them)"},
    {{{"Gain", "30"}}, {}, {}, "--sender \"Gain=30\": parameter \"Gain\": 30 is outside -70 .. 24"},
    {{}, {}, {TimedCommand{100, 0.0, 61, 1.0, "61@0"}},
     "--command 61@0: the Receiver does not take command 61: kAudioUnitErr_InvalidProperty (-10879)"},
    {{}, {}, {TimedCommand{1234, 0.0, 61, 1.0, "61@9"}}, "--command 61@9: past the end of the signal"},
  };
  for (const auto& b : bad)
  {
    setup.sender = b.sender;
    setup.receiver = b.receiver;
    setup.commands = b.commands;
    EXPECT_EQ(RunChain(setup, input, output, report).message(), b.error);
  }
}

// --- The product ---

using ChainProduct = ProductTest;

TEST_F(ChainProduct, MatchesTheLoudnessAcrossTheEffects)
{
  ChainSetup setup;
  setup.bundle = mBundle;
  std::string error;
  ASSERT_TRUE(ParseFxList("gain:6,highshelf:4000:3", setup.fx, error));
  setup.receiver = {{"Match Mode", "Auto"}, {"Min Auto Gain", "-20"}, {"Min Auto Gain", "off"}};
  AudioData input;
  MakeTestSignal(48000.0, 10.0, input);
  AudioData output;
  ChainReport report;
  ASSERT_OK(RunChain(setup, input, output, report));

  ASSERT_EQ(report.instances.size(), 2u);
  const InstanceReport& receiver = report.instances[1];
  EXPECT_EQ(std::tie(report.instances[0].linkID, receiver.linkID), std::make_tuple(1, 1));
  std::map<std::string, double> params(receiver.params.begin(), receiver.params.end());
  EXPECT_EQ(params["Match Mode"], 1.0);
  EXPECT_EQ(params["Min Auto Gain"], -144.0); // by its display text "off"

  // Once the match has settled the output is as loud as the input again, though the effects added over 6 dB.
  const uint64_t half = input.NFrames() / 2;
  const double late = MeasureLevels(output, half, half).rmsDB - MeasureLevels(input, half, half).rmsDB;
  EXPECT_NEAR(late, 0.0, 1.0);
  EXPECT_GT(report.output.rmsDB, report.input.rmsDB); // the first meter window is not matched yet
  if (receiver.hasReadouts)
  {
    // The match gain lowers the post-FX side by about what the effects added, and none of it is left over.
    EXPECT_NEAR(receiver.readouts[kZaniqReadoutPostFxGain], -6.5, 1.0);
    EXPECT_NEAR(receiver.readouts[kZaniqReadoutPostFxDiff], 0.0, 0.1);
    EXPECT_NEAR(receiver.readouts[kZaniqReadoutPreFxCurrent], report.input.rmsDB, 4.0);
  }
  else
    std::cout << "[ NOTE     ] the product reports no read-outs\n";
}

TEST_F(ChainProduct, ALatencyMeasurementStartedDuringTheProgrammeFindsTheChainsDelay)
{
  // The built-in signal, 6 dB louder after the effects, is still coming out of the 44100-sample delay when the
  // measurement starts 5 s in; it ends before the signal does.
  ChainSetup setup;
  setup.bundle = mBundle;
  std::string error;
  ASSERT_TRUE(ParseFxList("gain:6,delay:44100", setup.fx, error));
  setup.commands = {TimedCommand{240000, 5.0, 61, 1.0, "61@5"}};
  AudioData input;
  MakeTestSignal(48000.0, 16.0, input);
  AudioData output;
  ChainReport report;
  ASSERT_OK(RunChain(setup, input, output, report));
  ASSERT_EQ(report.instances.size(), 2u);
  std::map<std::string, double> params(report.instances[1].params.begin(), report.instances[1].params.end());
  EXPECT_EQ(params["Latency Compensation"], 44100.0);
}

TEST_F(ChainProduct, TheProgramWritesTheReportAndTheOutput)
{
  const TempFolder& temp = mTemp;
  // The program with HOME in the temporary folder (the product keeps its data folder there).
  const RunResult run = RunProgram(temp, {"chain", "--seconds", "4", "--rate", "44100", "--fx", "gain:-3", "--sender",
                                          "Drive FX=1.5", "--out", temp / "out.wav", "--json"},
                                   temp / "home");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, ""); // no progress line when stderr is not a terminal
  ASSERT_TRUE(OneLine(run.out)) << run.out;
  // The report of this run: the Sender's settings and no read-outs, the Receiver's parameters, the levels.
  const std::string params = R"(,"link_id":1,"params":{"GUI Scale":1,)";
  EXPECT_EQ(run.out.rfind(R"({"instances":[{"role":"Sender")" + params, 0), 0u) << run.out;
  EXPECT_NE(run.out.find(R"(,"Drive FX":1.5,)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(R"(},"readouts":{}},{"role":"Receiver")" + params), std::string::npos) << run.out;
  std::smatch input, out;
  ASSERT_TRUE(std::regex_search(run.out, input, std::regex(R"("input":\{"rms_db":[-0-9.e]+,"peak_db":([-0-9.e]+)\})")));
  ASSERT_TRUE(std::regex_search(run.out, out, std::regex(R"("output":\{"rms_db":([-0-9.e]+),)")));
  EXPECT_NEAR(std::stod(input[1]), kTestSignalPeakDB, 0.01);

  AudioData output;
  ASSERT_OK(ReadAudioFile(temp / "out.wav", output));
  EXPECT_EQ(std::make_tuple(output.sampleRate, output.NChannels(), output.NFrames()),
            std::make_tuple(44100.0, 2u, uint64_t(176400)));
  EXPECT_NEAR(MeasureLevels(output).rmsDB, std::stod(out[1]), 1e-6);

}

TEST_F(ChainState, SavedStateLoadsBack)
{
  ChainSetup save;
  save.receiver = {{"Reference Level", "-11.5"}, {"Meter Mode", "VU"}};
  save.saveState = mTemp / "receiver.state";
  ASSERT_TRUE(Run(save)) << "save";
  const std::string state = ReadFile(mTemp / "receiver.state");
  ASSERT_GE(state.size(), 32u);
  EXPECT_EQ(state.substr(0, 4), "RIFF");
  EXPECT_NE(state.find("<Param name=\"Reference Level\" val=\"-11.500000\" />"), std::string::npos);

  ChainSetup load;
  load.loadState = mTemp / "receiver.state";
  Status s = Run(load);
  ASSERT_TRUE(s) << s.message();
  EXPECT_EQ(mReceiver["Reference Level"], -11.5);
  EXPECT_EQ(mReceiver["Meter Mode"], 4.0);
  EXPECT_EQ(mReceiver["Plugin Mode"], 1.0);

  // Settings given as well come after the state.
  load.receiver = {{"Reference Level", "-3"}};
  s = Run(load);
  ASSERT_TRUE(s) << s.message();
  EXPECT_EQ(mReceiver["Reference Level"], -3.0);
  EXPECT_EQ(mReceiver["Meter Mode"], 4.0);
}

TEST_F(ChainState, PresetFileLoadsAsTheEditorLoadsIt)
{
  // A state away from the defaults, then a preset that names one parameter: the other preset parameters return
  // to their defaults, the instance settings keep the state's values.
  ChainSetup save;
  save.receiver = {{"Reference Level", "-11.5"}, {"Pre-Post FX", "off"}};
  save.saveState = mTemp / "receiver.state";
  ASSERT_TRUE(Run(save));
  mTemp.Write("p.tps", Preset("Drive FX", "2.500000"));
  ChainSetup setup;
  setup.loadState = mTemp / "receiver.state";
  setup.preset = mTemp / "p.tps";
  Status s = Run(setup);
  ASSERT_TRUE(s) << s.message();
  EXPECT_EQ(mReceiver["Drive FX"], 2.5);
  EXPECT_EQ(mReceiver["Reference Level"], -18.0);
  EXPECT_EQ(mReceiver["Pre-Post FX"], 0.0);

  // A Link ID that is not a number is refused by the product, so it changes nothing and stops nothing.
  mTemp.Write("nan.tps", Preset("Link ID", "nan"));
  setup.preset = mTemp / "nan.tps";
  s = Run(setup);
  ASSERT_TRUE(s) << s.message();
  EXPECT_EQ(mReceiver["Link ID"], 1.0);
  // The product's preset corpus and files as long as it reads, and a byte longer: auhost takes the same files.
  const std::string plain = Preset("Reference Level", "-10.000000"), at = "</PresetXMLTree>";
  std::string full = plain;
  full.insert(full.rfind(at), "<!--" + std::string(size_t(kMaxPresetXMLBytes) - full.size() - 7, '=') + "-->");
  mTemp.Write("ok_full.tps", full), mTemp.Write("bad_longer.tps", full + " ");
  // Files that would grow past that length printed again: escaped apostrophes, no indentation, empty elements
  // nested 15 deep.
  std::string params, nest = "<e/>", nested;
  while (params.size() < 860000) params += "<Param name=\"Reference Level\" val=\"-10.000000\"/>";
  for (int i = 0; i < 13; ++i) nest = "<e>" + nest + "</e>";
  while (nested.size() < 200000) nested += nest;
  const std::tuple<const char*, std::string, const char*> grown[] = {
    {"ok_quotes.tps", "<Data>" + std::string(300000, '\'') + "</Data>", "<Preset"},
    {"ok_compact.tps", params, "</Parameter>"},
    {"ok_nested.tps", nested, "<Preset"},
  };
  std::vector<std::filesystem::path> files{mTemp.Path() / "ok_full.tps", mTemp.Path() / "bad_longer.tps"};
  for (const auto& [name, text, before] : grown)
    mTemp.Write(name, std::string(plain).insert(plain.find(before), text)), files.push_back(mTemp.Path() / name);
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(ZANIQ_TEST_DATA) / "presets"))
    if (entry.path().extension() == ".tps") files.push_back(entry.path());
  const std::filesystem::path data = mTemp.Path() / "home" / "Library" / "Application Support" / "ZANIQ" / "AU";
  std::filesystem::create_directories(data);
  for (const std::filesystem::path& file : files)
  {
    // The product's own verdict, as its data folder's default preset.
    std::filesystem::copy_file(file, data / "default.tps", std::filesystem::copy_options::overwrite_existing);
    const bool product = Run(ChainSetup{}) && mReceiver["Reference Level"] == -10.0;
    std::filesystem::remove(data / "default.tps");
    setup.preset = file.string(), s = Run(setup);
    const bool ok = file.filename().string().rfind("ok_", 0) == 0;
    EXPECT_TRUE(product == ok && bool(s) == ok && (!ok || mReceiver["Reference Level"] == -10.0))
      << file.filename() << s.message();
  }
  // Steps a hair under a half and more than six decimals: the values the product's own load of the file leaves.
  for (const auto& [name, value] : {std::pair{"Meter Mode", "1.4999999"}, {"Link ID", "1.4999999"},
                                    {"Drive FX", "2.1234564"}})
  {
    mTemp.Write("hair.tps", Preset(name, value));
    std::filesystem::copy_file(mTemp.Path() / "hair.tps", data / "default.tps");
    ASSERT_TRUE(Run(ChainSetup{}));
    const double product = mReceiver[name];
    std::filesystem::remove(data / "default.tps");
    setup.preset = mTemp / "hair.tps", s = Run(setup);
    EXPECT_TRUE(s && mReceiver[name] == product) << name << " " << mReceiver[name] << " " << product << s.message();
  }
}

TEST_F(ChainState, RefusedFilesFailWithOneLine)
{
  mTemp.Write("junk.state", "not a state at all");
  mTemp.Write("sender.tps", Preset("Plugin Mode", "0"));
  mTemp.Write("link.tps", Preset("Link ID", "7.000000"));
  mTemp.Write("other.tps", Preset("Drive FX", "1").replace(Preset("", "").find("Quenlar"), 7, "Quenlaz"));
  std::string deep, flood;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  for (int i = 0; i < 9000; ++i) flood += " a" + std::to_string(i) + "=''";
  mTemp.Write("deep.tps", deep);
  mTemp.Write("flood.tps", Preset("Drive FX", "1").insert(Preset("", "").find("<PluginVendor") + 13, flood));
  ASSERT_EQ(mkfifo((mTemp / "fifo.tps").c_str(), 0666), 0);
  ChainSetup junk, missing, fifo, sender, link, other, bom, deepSetup, flooded, unwritable;
  bom.preset = std::string(ZANIQ_TEST_DATA) + "/presets/bad_vendor_byte_order_mark.tps";
  deepSetup.preset = mTemp / "deep.tps";
  flooded.preset = mTemp / "flood.tps";
  junk.loadState = mTemp / "junk.state";
  missing.preset = mTemp / "none.tps";
  fifo.preset = mTemp / "fifo.tps"; // refused, never waited on
  sender.preset = mTemp / "sender.tps";
  sender.receiver = {{"Plugin Mode", "Receiver"}}; // settings come too late to undo it
  link.preset = mTemp / "link.tps";
  other.preset = mTemp / "other.tps";
  unwritable.saveState = (mTemp.Path() / "no" / "such" / "folder.state").string();
  const std::tuple<ChainSetup*, std::string, bool> cases[] = { // the setup, words of its line, whether it starts so
    {&junk, "--load-state " + (mTemp / "junk.state") + ": restore state:", true},
    {&missing, "--preset " + (mTemp / "none.tps") + ": cannot read", true},
    {&fifo, "--preset " + (mTemp / "fifo.tps") + ": cannot read \"" + (mTemp / "fifo.tps") + "\": not a regular file",
     true},
    {&sender, "--preset " + (mTemp / "sender.tps") + ": the preset sets \"Plugin Mode\" to Sender", true},
    {&link, "--preset " + (mTemp / "link.tps") + ": the preset sets \"Link ID\" to 7", true},
    {&other, "--preset " + (mTemp / "other.tps") + ": the preset is for another plug-in: \"PluginVendor\" is "
             "\"Quenlaz\", not \"Quenlar\"", true},
    {&bom, "\"PluginVendor\" is \"\\xEF\\xBB\\xBFQuenlar\", not \"Quenlar\"", false},
    {&deepSetup, "--preset " + (mTemp / "deep.tps") + ": not a preset file: its elements nest deeper than 16", true},
    {&flooded, "--preset " + (mTemp / "flood.tps") + ": not a preset file", true},
    {&unwritable, "cannot write", false},
  };
  for (const auto& [setup, words, start] : cases)
  {
    const Status s = Run(*setup);
    EXPECT_FALSE(s);
    EXPECT_TRUE(start ? s.message().rfind(words, 0) == 0 : s.message().find(words) != std::string::npos) << s.message();
  }
}

// A FIFO where the data folder's "plugin.ini" and default preset should be: the chain starts all the same.
TEST_F(ChainState, AFifoInTheDataFolderDoesNotHoldUpTheChain)
{
  const std::filesystem::path data = mTemp.Path() / "home" / "Library" / "Application Support" / "ZANIQ";
  std::filesystem::create_directories(data / "AU");
  const std::filesystem::path ini = data / "plugin.ini", preset = data / "AU" / "default.tps";
  ASSERT_EQ(mkfifo(ini.c_str(), 0666), 0);
  ASSERT_EQ(mkfifo(preset.c_str(), 0666), 0);
  Status s = Status::Ok();
  const auto run = [&] { s = Run(ChainSetup{}); };
  EXPECT_TRUE(testsupport::FinishesUnblocked(run, {ini, preset}));
  ASSERT_TRUE(s) << s.message();
  EXPECT_EQ(mReceiver["Reference Level"], -18.0);
}

// A state whose document nests a thousand levels inside its root is not parsed, so it is refused.
TEST_F(ChainState, ADeeplyNestedStateChangesNothing)
{
  std::string text = Preset("Reference Level", "-7.500000");
  std::string nest;
  for (int i = 0; i < 1000; ++i) nest += "<u>";
  for (int i = 0; i < 1000; ++i) nest += "</u>";
  text.insert(text.rfind("</PresetXMLTree>"), nest);
  auto word = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  const uint32_t L = uint32_t(text.size());
  std::string chunk = "RIFF" + word(L + 24 + (L & 1)) + word(1) + "QVCMQVCS" + word(L + 8) + word(1) + word(L) + text;
  if (L & 1) chunk += '\0';
  mTemp.Write("deep.state", chunk);
  ChainSetup setup;
  setup.loadState = mTemp / "deep.state";
  const Status s = Run(setup);
  EXPECT_FALSE(s);
  EXPECT_EQ(s.message().rfind("--load-state " + (mTemp / "deep.state") + ": restore state:", 0), 0u) << s.message();
}
