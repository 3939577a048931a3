// The auhost command: argument parsing, reports and one-line failures in process, and the real program
// rendering a generated WAV file through the test bundle.

#include "au/testplug/TestBundles.h"
#include "support/AuhostRun.h"
#include "tools/auhost/Cli.h"

#include <cmath>

using namespace auhost;
using namespace testbundles;
using namespace toolstest;

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
    {{"info"}, kExitUsage, ""},
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
