// `auhost chain` with the Receiver's state: --save-state writes its ClassInfo "data", --load-state gives it back,
// --preset loads a ".tps" preset file; files that are not a state or preset are refused with one line.

#include "support/AuhostRun.h"
#include "tools/auhost/ChainCommand.h"
#include "tools/auhost/TestSignal.h"

#include <map>

using namespace auhost;
using namespace toolstest;

namespace
{

class ChainState : public ::testing::Test
{
protected:
  void SetUp() override
  {
    mBundle = FindProductBundle();
    if (mBundle.empty()) GTEST_SKIP() << "no ZANIQ.component in this build";
    MakeTestSignal(48000.0, 1.0, mInput);
  }

  // Runs the chain; the Receiver's parameters by name.
  Status Run(ChainSetup setup, std::map<std::string, double>& receiver)
  {
    setup.bundle = mBundle;
    AudioData output;
    ChainReport report;
    Status s = RunChain(setup, mInput, output, report);
    if (s && report.instances.size() == 2)
      receiver = std::map<std::string, double>(report.instances[1].params.begin(), report.instances[1].params.end());
    return s;
  }

  std::string mBundle;
  AudioData mInput;
};

} // namespace

TEST(ChainStateArgs, StateOptionsAreParsed)
{
  ChainArgs ca;
  std::string error;
  ASSERT_TRUE(ParseChainArgs({"--load-state", "a.state", "--preset", "p.tps", "--save-state", "b.state"}, ca, error))
    << error;
  EXPECT_EQ(ca.loadState, "a.state");
  EXPECT_EQ(ca.preset, "p.tps");
  EXPECT_EQ(ca.saveState, "b.state");
  EXPECT_FALSE(ParseChainArgs({"--preset", "a.tps", "--preset", "b.tps"}, ca, error));
  EXPECT_EQ(error, "--preset given twice");
  EXPECT_FALSE(ParseChainArgs({"--save-state"}, ca, error));
  EXPECT_EQ(error, "--save-state needs a value");
}

TEST_F(ChainState, SavedStateLoadsBack)
{
  TempFolder temp;
  ScopedHome home(temp / "home");
  std::map<std::string, double> receiver;
  ChainSetup save;
  save.receiver = {{"Reference Level", "-11.5"}, {"Meter Mode", "VU"}};
  save.saveState = temp / "receiver.state";
  ASSERT_TRUE(Run(save, receiver)) << "save";
  const std::string state = ReadFile(temp / "receiver.state");
  ASSERT_GE(state.size(), 32u);
  EXPECT_EQ(state.substr(0, 4), "RIFF");
  EXPECT_NE(state.find("<Param name=\"Reference Level\" val=\"-11.500000\" />"), std::string::npos);

  ChainSetup load;
  load.loadState = temp / "receiver.state";
  Status s = Run(load, receiver);
  ASSERT_TRUE(s) << s.message();
  EXPECT_EQ(receiver["Reference Level"], -11.5);
  EXPECT_EQ(receiver["Meter Mode"], 4.0);
  EXPECT_EQ(receiver["Plugin Mode"], 1.0);

  // Settings given as well come after the state.
  load.receiver = {{"Reference Level", "-3"}};
  s = Run(load, receiver);
  ASSERT_TRUE(s) << s.message();
  EXPECT_EQ(receiver["Reference Level"], -3.0);
  EXPECT_EQ(receiver["Meter Mode"], 4.0);
}

TEST_F(ChainState, PresetFileLoadsIntoTheReceiver)
{
  TempFolder temp;
  ScopedHome home(temp / "home");
  temp.Write("p.tps", "<?xml version=\"1.0\" ?>\n<PresetXMLTree version=\"1\">\n"
                      "    <PluginVendor>Quenlar</PluginVendor>\n    <PluginName>ZANIQ</PluginName>\n"
                      "    <PluginVersion>v2.2.11</PluginVersion>\n    <Preset name=\"Loud\">\n"
                      "        <Parameter>\n"
                      "            <Param name=\"Reference Level\" val=\"-9.000000\" />\n"
                      "            <Param name=\"Drive FX\" val=\"2.500000\" />\n"
                      "        </Parameter>\n    </Preset>\n</PresetXMLTree>\n");
  std::map<std::string, double> receiver;
  ChainSetup setup;
  setup.preset = temp / "p.tps";
  Status s = Run(setup, receiver);
  ASSERT_TRUE(s) << s.message();
  EXPECT_EQ(receiver["Reference Level"], -9.0);
  EXPECT_EQ(receiver["Drive FX"], 2.5);
}

TEST_F(ChainState, RefusedFilesFailWithOneLine)
{
  TempFolder temp;
  ScopedHome home(temp / "home");
  temp.Write("junk.state", "not a state at all");
  temp.Write("sender.tps", "<?xml version=\"1.0\" ?>\n<PresetXMLTree version=\"1\">\n"
                           "    <PluginVendor>Quenlar</PluginVendor>\n    <PluginName>ZANIQ</PluginName>\n"
                           "    <PluginVersion>v2.2.11</PluginVersion>\n    <Preset name=\"S\">\n"
                           "        <Parameter>\n            <Param name=\"Plugin Mode\" val=\"0\" />\n"
                           "        </Parameter>\n    </Preset>\n</PresetXMLTree>\n");
  std::map<std::string, double> receiver;

  ChainSetup junk;
  junk.loadState = temp / "junk.state";
  Status s = Run(junk, receiver);
  ASSERT_FALSE(s);
  EXPECT_EQ(s.message().rfind("--load-state " + (temp / "junk.state") + ": restore state:", 0), 0u) << s.message();

  ChainSetup missing;
  missing.preset = temp / "none.tps";
  s = Run(missing, receiver);
  ASSERT_FALSE(s);
  EXPECT_EQ(s.message().rfind("--preset " + (temp / "none.tps") + ": cannot read", 0), 0u) << s.message();

  // A preset that turns the Receiver into a Sender breaks the chain, unless the settings put it back.
  ChainSetup sender;
  sender.preset = temp / "sender.tps";
  s = Run(sender, receiver);
  ASSERT_FALSE(s);
  EXPECT_NE(s.message().find("makes the Receiver Sender on Link ID 1"), std::string::npos) << s.message();
  sender.receiver = {{"Plugin Mode", "Receiver"}};
  s = Run(sender, receiver);
  EXPECT_TRUE(s) << s.message();

  ChainSetup unwritable;
  unwritable.saveState = (temp.Path() / "no" / "such" / "folder.state").string();
  s = Run(unwritable, receiver);
  ASSERT_FALSE(s);
  EXPECT_NE(s.message().find("cannot write"), std::string::npos) << s.message();
}
