// The host harness: loading bundle folders (what a good bundle gives, one clear line for each way a bundle can be
// broken), buffer sources and the render loop's errors, the auhost command's arguments, reports and one-line
// failures, and the real program rendering a generated WAV file through the test bundle.

#include "au/testplug/TestBundles.h"
#include "support/AuhostRun.h"
#include "tools/auhost/Cli.h"

#include <cmath>
#include <filesystem>

using namespace auhost;
using namespace testbundles;
using namespace toolstest;

namespace
{

// An Info.plist with one AudioComponents entry made of `entry` (XML between <dict> and </dict>).
std::string InfoPlist(const std::string& executable, const std::string& entry)
{
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
         "<key>CFBundleExecutable</key><string>" +
         executable +
         "</string>\n<key>CFBundleIdentifier</key><string>com.zaniq.tests.copy</string>\n"
         "<key>AudioComponents</key>\n<array>\n<dict>\n" +
         entry + "</dict>\n</array>\n</dict>\n</plist>\n";
}

std::string Entry(const std::string& type, const std::string& subtype, const std::string& factory)
{
  return "<key>type</key><string>" + type + "</string>\n<key>subtype</key><string>" + subtype +
         "</string>\n<key>manufacturer</key><string>ZqTs</string>\n<key>name</key><string>Copy</string>\n"
         "<key>version</key><integer>7</integer>\n<key>factoryFunction</key><string>" +
         factory + "</string>\n";
}

// Copies the TestGain executable into a new bundle folder with the given Info.plist.
std::string CopyOfGain(const TempFolder& temp, const std::string& name, const std::string& plist)
{
  const std::string folder = temp / (name + ".component");
  temp.Write(name + ".component/Contents/Info.plist", plist);
  std::filesystem::create_directories(folder + "/Contents/MacOS");
  std::filesystem::copy_file(std::string(GainBundlePath()) + "/Contents/MacOS/TestGain",
                             folder + "/Contents/MacOS/" + name);
  return folder;
}

std::string LoadError(const std::string& folder)
{
  std::shared_ptr<const Bundle> bundle;
  const Status s = Bundle::Load(folder, bundle);
  EXPECT_FALSE(s.ok()) << folder;
  EXPECT_EQ(bundle, nullptr);
  EXPECT_EQ(s.message().find('\n'), std::string::npos) << s.message();
  return s.message();
}

AudioData Ramp(uint32_t channels, uint64_t frames)
{
  AudioData data;
  data.Resize(channels, frames);
  for (uint32_t c = 0; c < channels; ++c)
    for (uint64_t i = 0; i < frames; ++i) data.channels[c][i] = static_cast<float>(c * 1000 + i + 1);
  return data;
}

class FailingSource final : public AudioSource
{
public:
  OSStatus Pull(const AudioTimeStamp& ts, UInt32, AudioBufferList*) override
  {
    return ts.mSampleTime >= 64 ? OSStatus(-42) : OSStatus(noErr);
  }
};

} // namespace

TEST(BundleLoader, LoadsOnceAndRegistersOnce)
{
  TempFolder temp;
  const std::string folder = CopyOfGain(temp, "Copy", InfoPlist("Copy", Entry("aufx", "TGcp", "TestGain_Factory")));
  std::shared_ptr<const Bundle> first, second;
  ASSERT_OK(Bundle::Load(folder, first));
  ASSERT_OK(Bundle::Load(folder + "/", second));
  EXPECT_EQ(first, second);
  const ComponentEntry& e = first->Main();
  EXPECT_EQ(DescribeComponent(e.desc), "aufx 'TGcp' 'ZqTs'");
  AudioComponentDescription desc = e.desc;
  EXPECT_EQ(AudioComponentCount(&desc), 1u);

  std::unique_ptr<Instance> unit;
  ASSERT_OK(Instance::Open(e.component, unit));
  ASSERT_OK(unit->Prepare(44100.0, 1, 1, 32));
}

TEST(BundleLoader, BrokenBundlesSayWhatIsWrong)
{
  TempFolder temp;
  EXPECT_EQ(LoadError(""), "no bundle folder given");
  std::filesystem::create_directories(temp / "Empty.component");
  temp.Write("Text.component/Contents/MacOS/Text", "not a library\n");
  const struct
  {
    const char* name;
    std::string plist; // "": none written
    const char* error; // after "<folder>: "
  } cases[] = {
    {"Missing", "", "no such bundle folder"},
    {"Empty", "", "Contents/Info.plist is missing"},
    {"Damaged", "<plist><dict><key>CFBundleExecutable</key><str",
     "Contents/Info.plist cannot be read (damaged or empty)"},
    {"BadCode", InfoPlist("X", Entry("aufx", "TooLong", "X_Factory")),
     "AudioComponents[0]: 'subtype' must be four characters"},
    {"NoFactory", InfoPlist("X", Entry("aufx", "ABCD", "")), "AudioComponents[0]: 'factoryFunction' is missing"},
    {"NoExe", InfoPlist("NoExe", Entry("aufx", "ABCD", "X_Factory")), "the executable Contents/MacOS/NoExe is missing"},
    {"Text", InfoPlist("Text", Entry("aufx", "ABCD", "X_Factory")), "cannot load Contents/MacOS/Text: "},
  };
  for (const auto& c : cases)
  {
    const std::string folder = temp / (std::string(c.name) + ".component");
    if (!c.plist.empty()) temp.Write(std::string(c.name) + ".component/Contents/Info.plist", c.plist);
    const std::string error = LoadError(folder), want = folder + ": " + c.error;
    // The system loader's own words follow "cannot load ...: ".
    EXPECT_EQ(want.ends_with(": ") ? error.substr(0, want.size()) : error, want);
  }

  const std::string wrongFactory =
    CopyOfGain(temp, "Wrong", InfoPlist("Wrong", Entry("aufx", "TGwr", "Nope_Factory")));
  EXPECT_EQ(LoadError(wrongFactory), wrongFactory + ": Contents/MacOS/Wrong does not export Nope_Factory");
  // Nothing was registered for the refused bundle.
  AudioComponentDescription desc = {kAudioUnitType_Effect, FourCC("TGwr"), kManufacturer, 0, 0};
  EXPECT_EQ(AudioComponentCount(&desc), 0u);
}

TEST(HarnessSource, BufferSourcePlaysItsDataAndSilenceAround)
{
  const AudioData data = Ramp(2, 10);
  BufferSource source(data, 8);
  float a[8], b[8], c[8];
  float* pointers[3] = {a, b, c};
  BufferListStorage storage;
  AudioBufferList* list = storage.Make(8, pointers, 3);
  ASSERT_EQ(source.Pull(MakeTimeStamp(-3), 8, list), noErr);
  EXPECT_EQ(std::vector<float>(a, a + 8), (std::vector<float>{0, 0, 0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(std::vector<float>(c, c + 8), std::vector<float>(8, 0.f)); // no third channel
  ASSERT_EQ(source.Pull(MakeTimeStamp(6), 8, list), noErr);
  EXPECT_EQ(std::vector<float>(a, a + 8), (std::vector<float>{7, 8, 9, 10, 0, 0, 0, 0})); // and after

  // Buffers without memory get the source's own; more frames than it prepared for are refused.
  float* none[2] = {nullptr, nullptr};
  list = storage.Make(8, none, 2);
  ASSERT_EQ(source.Pull(MakeTimeStamp(0), 8, list), noErr);
  EXPECT_EQ(static_cast<float*>(list->mBuffers[1].mData)[7], 1008.f);
  list = storage.Make(9, none, 2);
  EXPECT_EQ(source.Pull(MakeTimeStamp(0), 9, list), kAudio_ParamError);
  // A buffer smaller than the frames.
  list = storage.Make(8, pointers, 1);
  list->mBuffers[0].mDataByteSize = 4 * 7;
  EXPECT_EQ(source.Pull(MakeTimeStamp(0), 8, list), kAudio_ParamError);

  // The in-process gain between instances: a gain that is not a number is no gain.
  EXPECT_NEAR(GainEffect(-20.0).Factor(), 0.1, 1e-15);
  EXPECT_EQ(GainEffect(std::nan("")).Factor(), 1.0);
}

TEST(HarnessChain, RenderStopsAtTheFirstErrorWithWhatCameBefore)
{
  std::shared_ptr<const Bundle> bundle;
  ASSERT_OK(Bundle::Load(GainBundlePath(), bundle));
  std::unique_ptr<Instance> unit;
  ASSERT_OK(Instance::Open(bundle->Main().component, unit));
  ASSERT_OK(unit->Prepare(44100.0, 1, 1, 32));
  FailingSource failing;
  Chain chain;
  EXPECT_EQ(chain.Connect(&failing).message(), "chain: no instances");
  chain.Append(*unit);
  ASSERT_OK(chain.Connect(&failing));
  AudioData out;
  const Status s = RenderFrames(*unit, 200, 1, 32, 44100.0, nullptr, out);
  EXPECT_EQ(s.code(), -42);
  EXPECT_EQ(s.message(), "render at sample 64: OSStatus (-42)");
  EXPECT_EQ(out.NFrames(), 64u);
  EXPECT_EQ(RenderFrames(*unit, 10, 1, 0, 44100.0, nullptr, out).message(), "render: block size 0");
  chain.Disconnect();
}

TEST(AuhostArgs, RenderArguments)
{
  RenderArgs ra;
  std::string error;
  ASSERT_TRUE(ParseRenderArgs({"B.component", "--in", "a.wav", "--param", "Gain=-6", "--out", "b.wav", "--param",
                               "Mode=Half=x", "--block", "128"},
                              ra, error))
    << error;
  EXPECT_EQ(std::tie(ra.bundle, ra.in, ra.out, ra.block), std::make_tuple("B.component", "a.wav", "b.wav", 128u));
  EXPECT_EQ(ra.params, (std::vector<std::pair<std::string, std::string>>{{"Gain", "-6"}, {"Mode", "Half=x"}}));

  const struct
  {
    std::vector<std::string> args;
    const char* error;
  } bad[] = {
    {{"--in", "a.wav", "--out", "b.wav"}, "render needs a bundle folder"},
    {{"B", "--out", "b.wav"}, "render needs --in FILE"},
    {{"B", "--in"}, "--in needs a value"},
    {{"B", "--in", "a", "--out", "b", "--gain", "3"}, "unknown option --gain"},
    {{"B", "C", "--in", "a", "--out", "b"}, "unexpected argument \"C\""},
    {{"B", "--in", "a", "--out", "b", "--param", "=3"}, "--param wants NAME=VALUE, not \"=3\""},
    {{"B", "--in", "a", "--out", "b", "--block", "0"}, "--block wants a frame count from 1 to 65536, not \"0\""},
  };
  for (const auto& b : bad)
  {
    RenderArgs unused;
    EXPECT_FALSE(ParseRenderArgs(b.args, unused, error));
    EXPECT_EQ(error, b.error);
  }
}

TEST(AuhostCommand, InfoReportsTheBundle)
{
  const RunResult run = RunInProcess({"info", GainBundlePath()});
  ASSERT_EQ(run.code, kExitOk) << run.err;
  EXPECT_EQ(run.err, "");
  for (const char* line :
       {"component: aufx 'TGan' 'ZqTs' \"Zaniq Tests: TestGain\" version 1.2.3 (0x00010203)\n",
        "factory: TestGain_Factory\n", "buses: 1 input, 1 output\n", "channels: 1-1 2-2\n", "parameters: 4\n",
        "  #0 \"Gain\" [Level] dB: min -70, max 24, default 0 (\"-70.00\" .. \"24.00\", default \"0.00\")\n",
        "  #2 \"Mode\" [Shape] indexed: min 0, max 2, default 0 (\"Normal\" .. \"Half\", default \"Normal\"); values: "
        "0 \"Normal\", 1 \"Invert\", 2 \"Half\"\n",
        "factory presets: 0 \"Unity\", 1 \"Quiet\"\n"})
    EXPECT_NE(run.out.find(line), std::string::npos) << "missing: " << line << "in:\n" << run.out;

  const RunResult synth = RunInProcess({"info", SynthBundlePath()});
  ASSERT_EQ(synth.code, kExitOk) << synth.err;
  EXPECT_NE(synth.out.find("channels: 0-1 0-2 0-*\n"), std::string::npos);
}

TEST(AuhostCommand, FailuresAreOneLine)
{
  TempFolder temp;
  ASSERT_TRUE(WriteAudioFile(temp / "stereo.wav", Sine(2, 100, 441.0, 0.5, 44100.0)).ok());
  ASSERT_TRUE(WriteAudioFile(temp / "three.wav", Sine(3, 100, 441.0, 0.5, 44100.0)).ok());
  const std::string in = temp / "stereo.wav";
  const std::string out = temp / "out.wav";
  const struct
  {
    std::vector<std::string> args;
    int code;
    std::string err;
  } cases[] = {
    {{}, kExitUsage, ""},
    {{"info", temp / "none"}, kExitFailure, "auhost: " + temp / "none" + ": no such bundle folder\n"},
    {{"render", GainBundlePath(), "--in", in}, kExitUsage, "auhost: render needs --out FILE\n"},
    {{"render", GainBundlePath(), "--in", temp / "nothing.wav", "--out", out}, kExitFailure, ""},
    {{"render", GainBundlePath(), "--in", in, "--out", out, "--param", "Volume=1"}, kExitFailure,
     "auhost: no parameter \"Volume\" (parameters: \"Gain\", \"Delay\", \"Mode\", \"Mute\")\n"},
    {{"render", GainBundlePath(), "--in", temp / "three.wav", "--out", out}, kExitFailure,
     "auhost: stream format of input bus 0 (3 channels at 44100 Hz): kAudioUnitErr_InvalidProperty (-10879) "
     "(the unit supports 1-1 2-2)\n"},
    {{"render", GainBundlePath(), "--in", in, "--out", temp / "out.xyz"}, kExitFailure,
     "auhost: " + temp / "out.xyz" + ": unknown output format (use .wav, .aiff, .caf, .w64 or .flac)\n"},
  };
  for (const auto& c : cases) ExpectFailure(RunInProcess(c.args), c.code, c.err);
  EXPECT_FALSE(std::filesystem::exists(out));
}

// The program itself, as a user or a script runs it, on a generated WAV file.
TEST(AuhostProgram, RendersAWavFileThroughTheTestBundle)
{
  TempFolder temp;
  const AudioData input = Sine(2, 10007, 70.0, 0.5, 44100.0);
  ASSERT_TRUE(WriteAudioFile(temp / "in.wav", input).ok());
  const RunResult run = RunProgram(temp, {"render", GainBundlePath(), "--in", temp / "in.wav", "--out",
                                          temp / "out.wav", "--param", "Gain=-6", "--param", "mode=Invert", "--param",
                                          "Delay=2", "--block", "100"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "rendered 10007 frames of 2 channels through aufx 'TGan' 'ZqTs' to " + temp / "out.wav" + "\n");

  AudioData output;
  ASSERT_TRUE(ReadAudioFile(temp / "out.wav", output).ok());
  EXPECT_EQ(output.sampleRate, input.sampleRate);
  ASSERT_EQ(std::make_pair(output.NChannels(), output.NFrames()), std::make_pair(2u, input.NFrames()));
  const double gain = -std::pow(10.0, -6.0 / 20.0);
  for (uint32_t c = 0; c < 2; ++c)
    for (uint64_t i = 0; i < output.NFrames(); ++i)
      ASSERT_NEAR(output.channels[c][i], i < 2 ? 0.0 : gain * input.channels[c][i - 2], 1e-6) << c << " " << i;

  ExpectFailure(RunProgram(temp, {"render", GainBundlePath(), "--in", temp / "in.wav", "--out", temp / "x.wav",
                                  "--param", "Mode=Loud"}),
                1, "auhost: parameter \"Mode\": \"Loud\" is not a number or one of \"Normal\", \"Invert\", \"Half\"\n");
}
