// `auhost chain`: its arguments and one-line failures, the built-in signal, levels, the JSON report read back by
// a small parser, the Sender -> effects -> Receiver plumbing on the test bundle, and a run of the product bundle
// when this build has one.

#include "au/testplug/TestBundles.h"
#include "support/AuhostRun.h"
#include "tools/auhost/ChainCommand.h"
#include "tools/auhost/Cli.h"
#include "tools/auhost/TestSignal.h"

#include <cmath>
#include <limits>
#include <map>
#include <numbers>

using namespace auhost;
using namespace testbundles;
using namespace toolstest;

namespace
{

// ---------------------------------------------------------------------------------------------------------------
// A small JSON reader, enough to check the report's shape
// ---------------------------------------------------------------------------------------------------------------

struct Json
{
  enum class Type
  {
    Null,
    Bool,
    Number,
    String,
    Array,
    Object
  };
  Type type = Type::Null;
  double number = 0.0;
  std::string text;
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members; // in order

  const Json* Find(const std::string& key) const
  {
    for (const auto& [k, v] : members)
      if (k == key) return &v;
    return nullptr;
  }
  std::vector<std::string> Keys() const
  {
    std::vector<std::string> keys;
    for (const auto& m : members) keys.push_back(m.first);
    return keys;
  }
};

class JsonReader
{
public:
  explicit JsonReader(std::string_view s) : mS(s) {}
  // The whole text as one value (surrounding white space allowed).
  bool Read(Json& out)
  {
    return Value(out) && (Space(), mI == mS.size());
  }

private:
  void Space()
  {
    while (mI < mS.size() && std::isspace(static_cast<unsigned char>(mS[mI]))) ++mI;
  }
  bool Eat(char c)
  {
    Space();
    if (mI < mS.size() && mS[mI] == c)
    {
      ++mI;
      return true;
    }
    return false;
  }
  bool Literal(std::string_view word)
  {
    if (mS.substr(mI, word.size()) != word) return false;
    mI += word.size();
    return true;
  }
  bool String(std::string& out)
  {
    if (!Eat('"')) return false;
    out.clear();
    while (mI < mS.size() && mS[mI] != '"')
    {
      char c = mS[mI++];
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c == '\\')
      {
        if (mI >= mS.size()) return false;
        const char e = mS[mI++];
        switch (e)
        {
          case 'n': c = '\n'; break;
          case 't': c = '\t'; break;
          case 'r': c = '\r'; break;
          case 'b': c = '\b'; break;
          case 'f': c = '\f'; break;
          case 'u':
          {
            if (mI + 4 > mS.size()) return false;
            const unsigned code = std::stoul(std::string(mS.substr(mI, 4)), nullptr, 16);
            if (code > 0x7f) return false; // the writer escapes control characters only
            mI += 4;
            c = static_cast<char>(code);
            break;
          }
          default: c = e;
        }
      }
      out += c;
    }
    return Eat('"');
  }
  bool Value(Json& v)
  {
    Space();
    if (mI >= mS.size()) return false;
    const char c = mS[mI];
    if (c == '{')
    {
      ++mI;
      v.type = Json::Type::Object;
      if (Eat('}')) return true;
      do
      {
        std::string key;
        Json member;
        if (!String(key) || !Eat(':') || !Value(member)) return false;
        v.members.emplace_back(std::move(key), std::move(member));
      } while (Eat(','));
      return Eat('}');
    }
    if (c == '[')
    {
      ++mI;
      v.type = Json::Type::Array;
      if (Eat(']')) return true;
      do
      {
        Json item;
        if (!Value(item)) return false;
        v.items.push_back(std::move(item));
      } while (Eat(','));
      return Eat(']');
    }
    if (c == '"')
    {
      v.type = Json::Type::String;
      return String(v.text);
    }
    if (Literal("null")) return true;
    if (Literal("true") || Literal("false"))
    {
      v.type = Json::Type::Bool;
      return true;
    }
    // A number as JSON writes it: -?digits[.digits][e[+-]digits].
    const size_t start = mI;
    if (mI < mS.size() && mS[mI] == '-') ++mI;
    auto digits = [&] {
      const size_t from = mI;
      while (mI < mS.size() && std::isdigit(static_cast<unsigned char>(mS[mI]))) ++mI;
      return mI > from;
    };
    if (!digits()) return false;
    if (mI < mS.size() && mS[mI] == '.' && (++mI, !digits())) return false;
    if (mI < mS.size() && (mS[mI] == 'e' || mS[mI] == 'E'))
    {
      ++mI;
      if (mI < mS.size() && (mS[mI] == '+' || mS[mI] == '-')) ++mI;
      if (!digits()) return false;
    }
    v.type = Json::Type::Number;
    v.number = std::stod(std::string(mS.substr(start, mI - start)));
    return true;
  }

  std::string_view mS;
  size_t mI = 0;
};

Json ParseJson(const std::string& text)
{
  Json v;
  EXPECT_TRUE(JsonReader(text).Read(v)) << text;
  return v;
}

// ---------------------------------------------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------------------------------------------

// `auhost chain ARGS...` in this process.
RunResult RunChain(std::vector<std::string> args)
{
  args.insert(args.begin(), "chain");
  return RunInProcess(args);
}

// The auhost program's `chain` with HOME in the temporary folder (the product keeps its data folder there).
RunResult RunChainProgram(const TempFolder& temp, std::vector<std::string> args)
{
  args.insert(args.begin(), "chain");
  return RunProgram(temp, args, temp / "home");
}

AudioData Sine(uint32_t channels, uint64_t frames, double hz, double amplitude, double rate = 48000.0)
{
  AudioData data;
  data.sampleRate = rate;
  data.Resize(channels, frames);
  for (uint32_t c = 0; c < channels; ++c)
    for (uint64_t i = 0; i < frames; ++i)
      data.channels[c][i] = static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * hz * i / rate));
  return data;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Arguments and failures
// ---------------------------------------------------------------------------------------------------------------

TEST(ChainArgs, ParsesTheWholeCommandLine)
{
  ChainArgs ca;
  std::string error;
  ASSERT_TRUE(ParseChainArgs({"--bundle", "Z.component", "--in", "a.flac", "--out", "b.WAV", "--rate", "44100",
                              "--block", "256", "--seconds", "2.5", "--fx", "gain:6,mute", "--sender", "Drive FX=-3",
                              "--receiver", "Match Mode=Auto", "--receiver", "Link ID=1", "--command", "61@1.5",
                              "--command", "46@0", "--json"},
                             ca, error))
    << error;
  EXPECT_EQ(ca.bundle, "Z.component");
  EXPECT_EQ(ca.in, "a.flac");
  EXPECT_EQ(ca.out, "b.WAV");
  EXPECT_EQ(ca.rate, 44100.0);
  EXPECT_EQ(ca.block, 256u);
  EXPECT_EQ(ca.seconds, 2.5);
  ASSERT_EQ(ca.fx.size(), 2u);
  EXPECT_EQ(ca.fx[1].kind, FxSpec::Kind::Mute);
  ASSERT_EQ(ca.sender.size(), 1u);
  EXPECT_EQ(ca.sender[0].name, "Drive FX");
  EXPECT_EQ(ca.sender[0].value, "-3");
  ASSERT_EQ(ca.receiver.size(), 2u);
  EXPECT_EQ(ca.receiver[1].name, "Link ID");
  ASSERT_EQ(ca.commands.size(), 2u);
  EXPECT_EQ(ca.commands[0].code, 61);
  EXPECT_EQ(ca.commands[0].seconds, 1.5);
  EXPECT_EQ(ca.commands[0].text, "61@1.5");
  EXPECT_TRUE(ca.json);

  ChainArgs defaults;
  ASSERT_TRUE(ParseChainArgs({}, defaults, error));
  EXPECT_EQ(defaults.block, 512u);
  EXPECT_EQ(defaults.rate, 0.0);
  EXPECT_TRUE(defaults.bundle.empty() && defaults.in.empty() && defaults.out.empty() && !defaults.json);

  const struct
  {
    std::vector<std::string> args;
    const char* error;
  } bad[] = {
    {{"--in"}, "--in needs a value"},
    {{"--in", ""}, "--in needs a value"},
    {{"--in", "a", "--in", "b"}, "--in given twice"},
    {{"--gain", "3"}, "unknown option --gain"},
    {{"file.wav"}, "unexpected argument \"file.wav\""},
    {{"--out", "b.aiff"}, "--out writes a WAV file: give a name ending in .wav, not \"b.aiff\""},
    {{"--rate", "7999"}, "--rate wants a sample rate from 8000 to 384000 Hz, not \"7999\""},
    {{"--rate", "inf"}, "--rate wants a sample rate from 8000 to 384000 Hz, not \"inf\""},
    {{"--block", "8193"}, "--block wants a frame count from 1 to 8192, not \"8193\""},
    {{"--block", "-1"}, "--block wants a frame count from 1 to 8192, not \"-1\""},
    {{"--seconds", "0"}, "--seconds wants a length above 0 and up to 600 seconds, not \"0\""},
    {{"--fx", "gain:6,echo"}, "--fx echo: unknown effect \"echo\" (effects: gain:DB, delay:SAMPLES, lowpass:HZ, "
                              "highshelf:HZ:DB, clip:DB, mute)"},
    {{"--sender", "Drive FX"}, "--sender wants \"NAME=VALUE\", not \"Drive FX\""},
    {{"--receiver", "=1"}, "--receiver wants \"NAME=VALUE\", not \"=1\""},
    {{"--receiver", "Active="}, "--receiver wants \"NAME=VALUE\", not \"Active=\""},
    {{"--command", "45@1"}, "--command wants \"CODE@SECONDS\" with a code from 46 to 68 and a time from 0 s, not "
                            "\"45@1\""},
    {{"--command", "61"}, "--command wants \"CODE@SECONDS\" with a code from 46 to 68 and a time from 0 s, not "
                          "\"61\""},
    {{"--command", "61@-1"}, "--command wants \"CODE@SECONDS\" with a code from 46 to 68 and a time from 0 s, not "
                             "\"61@-1\""},
  };
  for (const auto& b : bad)
  {
    ChainArgs unused;
    EXPECT_FALSE(ParseChainArgs(b.args, unused, error)) << b.args.front();
    EXPECT_EQ(error, b.error);
  }
}

TEST(ChainCommand, FailuresAreOneLineWithAnExitCode)
{
  TempFolder temp;
  ASSERT_TRUE(WriteAudioFile(temp / "short.wav", Sine(2, 4800, 440.0, 0.5)).ok());
  ASSERT_TRUE(WriteAudioFile(temp / "three.wav", Sine(3, 4800, 440.0, 0.5)).ok());
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
  for (const auto& c : cases)
  {
    const RunResult run = RunChain(c.args);
    EXPECT_EQ(run.code, c.code) << run.err;
    EXPECT_TRUE(OneLine(run.err)) << run.err;
    EXPECT_EQ(run.err.rfind("auhost: ", 0), 0u) << run.err;
    if (!c.err.empty())
    {
      EXPECT_EQ(run.err, c.err);
    }
    EXPECT_EQ(run.out, "");
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Signal, levels and JSON
// ---------------------------------------------------------------------------------------------------------------

TEST(ChainSignal, TheBuiltInSignalIsDeterministicAndMusicLike)
{
  AudioData a, b;
  MakeTestSignal(kTestSignalRate, kTestSignalSeconds, a);
  MakeTestSignal(kTestSignalRate, kTestSignalSeconds, b);
  ASSERT_EQ(a.NChannels(), 2u);
  ASSERT_EQ(a.NFrames(), 960000u);
  EXPECT_EQ(a.sampleRate, 48000.0);
  EXPECT_TRUE(a.channels == b.channels);
  EXPECT_NE(a.channels[0], a.channels[1]); // stereo, not two copies

  const Levels levels = MeasureLevels(a);
  EXPECT_NEAR(levels.peakDB, kTestSignalPeakDB, 0.01);
  EXPECT_GT(levels.rmsDB, -26.0);
  EXPECT_LT(levels.rmsDB, -14.0);
  // Every second has sound in it, and loudness moves with the music.
  double quietest = 0.0, loudest = -200.0;
  for (uint64_t s = 0; s < 20; ++s)
  {
    const double rms = MeasureLevels(a, s * 48000, 48000).rmsDB;
    quietest = std::min(quietest, rms);
    loudest = std::max(loudest, rms);
  }
  EXPECT_GT(quietest, -30.0);
  EXPECT_GT(loudest - quietest, 0.5);

  // Energy falls towards high frequencies, as in music: more below 1 kHz than above.
  std::vector<FxSpec> specs;
  std::string error;
  ASSERT_TRUE(ParseFxList("lowpass:1000", specs, error));
  std::unique_ptr<FxChain> lowpass;
  ASSERT_TRUE(FxChain::Make(specs, a.sampleRate, 2, lowpass).ok());
  AudioData low = a;
  float* pointers[2] = {low.channels[0].data(), low.channels[1].data()};
  BufferListStorage storage;
  lowpass->Process(*storage.Make(static_cast<UInt32>(low.NFrames()), pointers, 2),
                   static_cast<UInt32>(low.NFrames()));
  EXPECT_GT(MeasureLevels(low).rmsDB, levels.rmsDB - 3.0);

  // Other rates and lengths: the frame count follows, the start is the same music.
  AudioData c;
  MakeTestSignal(44100.0, 1.5, c);
  EXPECT_EQ(c.NFrames(), 66150u);
  EXPECT_EQ(c.sampleRate, 44100.0);
  AudioData none;
  MakeTestSignal(48000.0, -1.0, none);
  EXPECT_EQ(none.NFrames(), 0u);
}

TEST(ChainReportTest, LevelsArePowerAveragedOverChannels)
{
  AudioData data = Sine(2, 48000, 1000.0, 0.5);
  for (float& x : data.channels[1]) x = 0.f;
  const Levels levels = MeasureLevels(data);
  // Channel powers 0.125 and 0: their mean is 0.0625.
  EXPECT_NEAR(levels.rmsDB, 10.0 * std::log10(0.0625), 1e-3);
  EXPECT_NEAR(levels.peakDB, 20.0 * std::log10(0.5), 1e-3);
  const Levels silent = MeasureLevels(Sine(1, 100, 1000.0, 0.0));
  EXPECT_EQ(silent.rmsDB, kSilenceDB);
  EXPECT_EQ(silent.peakDB, kSilenceDB);
  EXPECT_EQ(MeasureLevels(AudioData()).rmsDB, kSilenceDB);
  EXPECT_EQ(MeasureLevels(data, 47990, 1000).peakDB, MeasureLevels(data, 47990, 10).peakDB); // clipped range
}

TEST(ChainReportTest, JsonReadsBackWithItsShape)
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

  const std::string text = ChainReportJson(report);
  EXPECT_EQ(text.find('\n'), std::string::npos);
  const Json json = ParseJson(text);
  ASSERT_EQ(json.type, Json::Type::Object);
  EXPECT_EQ(json.Keys(), (std::vector<std::string>{"instances", "input", "output"}));
  const Json& instances = *json.Find("instances");
  ASSERT_EQ(instances.items.size(), 2u);
  for (const Json& inst : instances.items)
    EXPECT_EQ(inst.Keys(), (std::vector<std::string>{"role", "link_id", "params", "readouts"}));
  EXPECT_EQ(instances.items[0].Find("role")->text, "Sender");
  EXPECT_EQ(instances.items[1].Find("role")->text, "Receiver");
  EXPECT_EQ(instances.items[1].Find("link_id")->number, 1.0);
  const Json& params = *instances.items[0].Find("params");
  EXPECT_EQ(params.Keys(), (std::vector<std::string>{"Match Mode", "Reference Level", "Odd \"name\"\\\t"}));
  EXPECT_EQ(params.Find("Reference Level")->number, -18.0);
  EXPECT_EQ(params.Find("Odd \"name\"\\\t")->number, 0.1); // the float's shortest text
  EXPECT_TRUE(instances.items[0].Find("readouts")->members.empty());
  const Json& readouts = *instances.items[1].Find("readouts");
  EXPECT_EQ(readouts.Keys(), (std::vector<std::string>{"pre_fx_diff", "pre_fx_gain", "pre_fx_current", "pre_fx_max",
                                                       "post_fx_diff", "post_fx_gain"}));
  EXPECT_EQ(readouts.Find("post_fx_gain")->number, -6.25);
  EXPECT_EQ(json.Find("input")->Keys(), (std::vector<std::string>{"rms_db", "peak_db"}));
  EXPECT_EQ(json.Find("input")->Find("rms_db")->number, -20.5);
  EXPECT_EQ(json.Find("output")->Find("rms_db")->number, -144.0);
  EXPECT_EQ(json.Find("output")->Find("peak_db")->type, Json::Type::Null); // JSON has no infinity
}

// ---------------------------------------------------------------------------------------------------------------
// Plumbing on the test bundle
// ---------------------------------------------------------------------------------------------------------------

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
  EXPECT_EQ(report.instances[0].role, "Sender");
  EXPECT_EQ(report.instances[1].role, "Receiver");
  EXPECT_EQ(report.instances[0].linkID, 0);
  ASSERT_EQ(report.instances[0].params.size(), 4u);
  EXPECT_EQ(report.instances[0].params[0], (std::pair<std::string, double>{"Gain", -6.0}));
  EXPECT_EQ(report.instances[1].params[2], (std::pair<std::string, double>{"Mode", 1.0}));
  EXPECT_FALSE(report.instances[1].hasReadouts); // no read-outs: not an error
  EXPECT_NEAR(report.input.rmsDB, 20.0 * std::log10(0.4 / std::sqrt(2.0)), 0.05);
  EXPECT_NEAR(report.output.rmsDB, report.input.rmsDB, 0.1);

  // Settings name the parameter exactly and take its numbers or texts.
  setup.sender = {{"gain", "-6"}};
  Status s = RunChain(setup, input, output, report);
  EXPECT_EQ(s.message(), "--sender \"gain=-6\": no parameter named \"gain\" (auhost info lists them)");
  setup.sender = {{"Gain", "30"}};
  s = RunChain(setup, input, output, report);
  EXPECT_EQ(s.message(), "--sender \"Gain=30\": parameter \"Gain\": 30 is outside -70 .. 24");
  setup.sender = {{"Delay", "2.5"}};
  s = RunChain(setup, input, output, report);
  EXPECT_EQ(s.message(), "--sender \"Delay=2.5\": parameter \"Delay\": 2.5 is not a whole number");
  setup.sender = {};
  setup.receiver = {{"Mode", "Loud"}};
  s = RunChain(setup, input, output, report);
  EXPECT_EQ(s.message(), "--receiver \"Mode=Loud\": parameter \"Mode\": \"Loud\" is not a number or one of "
                         "\"Normal\", \"Invert\", \"Half\"");

  // A unit without the command property refuses commands with a clear line.
  setup.receiver = {};
  setup.commands = {TimedCommand{100, 0.0, 61, 1.0, "61@0"}};
  s = RunChain(setup, input, output, report);
  EXPECT_EQ(s.message(),
            "--command 61@0: the Receiver does not take command 61: kAudioUnitErr_InvalidProperty (-10879)");
  setup.commands = {TimedCommand{1234, 0.0, 61, 1.0, "61@9"}};
  s = RunChain(setup, input, output, report);
  EXPECT_EQ(s.message(), "--command 61@9: past the end of the signal");
}

// ---------------------------------------------------------------------------------------------------------------
// The product
// ---------------------------------------------------------------------------------------------------------------

class ChainProduct : public ::testing::Test
{
protected:
  void SetUp() override
  {
    mBundle = FindProductBundle();
    if (mBundle.empty()) GTEST_SKIP() << "no ZANIQ.component in this build";
  }
  std::string mBundle;
};

TEST_F(ChainProduct, MatchesTheLoudnessAcrossTheEffects)
{
  TempFolder temp;
  ScopedHome home(temp / "home");
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
  const InstanceReport& sender = report.instances[0];
  const InstanceReport& receiver = report.instances[1];
  EXPECT_EQ(sender.role, "Sender");
  EXPECT_EQ(sender.linkID, 1);
  EXPECT_EQ(receiver.role, "Receiver");
  EXPECT_EQ(receiver.linkID, 1);
  std::map<std::string, double> params(receiver.params.begin(), receiver.params.end());
  EXPECT_EQ(receiver.params.size(), 46u);
  EXPECT_EQ(params["Match Mode"], 1.0);
  EXPECT_EQ(params["Min Auto Gain"], -144.0); // by its display text "off"
  EXPECT_FALSE(sender.hasReadouts);

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
    EXPECT_LE(receiver.readouts[kZaniqReadoutPreFxCurrent], receiver.readouts[kZaniqReadoutPreFxMax]);
  }
  else
    std::cout << "[ NOTE     ] the product reports no read-outs\n";
}

TEST_F(ChainProduct, TheProgramWritesTheReportAndTheOutput)
{
  TempFolder temp;
  const RunResult run = RunChainProgram(temp, {"--seconds", "4", "--rate", "44100", "--fx", "gain:-3", "--sender",
                                               "Drive FX=1.5", "--out", temp / "out.wav", "--json"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, ""); // no progress line when stderr is not a terminal
  ASSERT_TRUE(OneLine(run.out)) << run.out;
  const Json json = ParseJson(run.out);
  EXPECT_EQ(json.Keys(), (std::vector<std::string>{"instances", "input", "output"}));
  const Json& instances = *json.Find("instances");
  ASSERT_EQ(instances.items.size(), 2u);
  EXPECT_EQ(instances.items[0].Find("role")->text, "Sender");
  EXPECT_EQ(instances.items[1].Find("role")->text, "Receiver");
  for (const Json& inst : instances.items)
  {
    EXPECT_EQ(inst.Find("link_id")->number, 1.0);
    EXPECT_EQ(inst.Find("params")->members.size(), 46u);
    for (const auto& [name, value] : inst.Find("params")->members) EXPECT_EQ(value.type, Json::Type::Number) << name;
    for (const auto& [name, value] : inst.Find("readouts")->members) EXPECT_EQ(value.type, Json::Type::Number) << name;
  }
  EXPECT_EQ(instances.items[0].Find("params")->Find("Drive FX")->number, 1.5);
  EXPECT_TRUE(instances.items[0].Find("readouts")->members.empty());
  const size_t readouts = instances.items[1].Find("readouts")->members.size();
  EXPECT_TRUE(readouts == 0 || readouts == 6) << readouts;
  EXPECT_NEAR(json.Find("input")->Find("peak_db")->number, kTestSignalPeakDB, 0.01);

  AudioData output;
  ASSERT_OK(ReadAudioFile(temp / "out.wav", output));
  EXPECT_EQ(output.sampleRate, 44100.0);
  EXPECT_EQ(output.NChannels(), 2u);
  EXPECT_EQ(output.NFrames(), 176400u);
  EXPECT_NEAR(MeasureLevels(output).rmsDB, json.Find("output")->Find("rms_db")->number, 1e-6);

  // Without --json: the summary.
  const RunResult summary = RunChainProgram(temp, {"--seconds", "1"});
  ASSERT_EQ(summary.code, 0) << summary.err;
  EXPECT_EQ(summary.out.rfind("chain: built-in test signal, 1.0 s, 2 channels at 48000 Hz, blocks of 512\n", 0), 0u)
    << summary.out;
  EXPECT_NE(summary.out.find("output vs input:"), std::string::npos) << summary.out;

  // A parameter the product does not have.
  const RunResult bad = RunChainProgram(temp, {"--seconds", "1", "--receiver", "Match mode=Auto"});
  EXPECT_EQ(bad.code, 1);
  EXPECT_EQ(bad.err, "auhost: --receiver \"Match mode=Auto\": no parameter named \"Match mode\" (auhost info lists "
                     "them)\n");
  EXPECT_EQ(bad.out, "");
}
