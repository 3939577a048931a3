// `auhost chain` with the Receiver's state: --save-state writes its ClassInfo "data", --load-state gives it back,
// --preset loads a ".tps" preset file; files that are not a state or preset are refused with one line.

#include "support/AuhostRun.h"
#include "tools/auhost/TestSignal.h"

#include <map>

using namespace auhost;
using namespace toolstest;

namespace
{

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
}

TEST_F(ChainState, RefusedFilesFailWithOneLine)
{
  mTemp.Write("junk.state", "not a state at all");
  mTemp.Write("sender.tps", Preset("Plugin Mode", "0"));
  mTemp.Write("link.tps", Preset("Link ID", "7.000000"));
  mTemp.Write("other.tps", Preset("Drive FX", "1").replace(Preset("", "").find("Quenlar"), 7, "Quenlaz"));
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  mTemp.Write("deep.tps", deep);
  ChainSetup junk, missing, sender, link, other, deepSetup, unwritable;
  deepSetup.preset = mTemp / "deep.tps";
  junk.loadState = mTemp / "junk.state";
  missing.preset = mTemp / "none.tps";
  sender.preset = mTemp / "sender.tps";
  sender.receiver = {{"Plugin Mode", "Receiver"}}; // settings come too late to undo it
  link.preset = mTemp / "link.tps";
  other.preset = mTemp / "other.tps";
  unwritable.saveState = (mTemp.Path() / "no" / "such" / "folder.state").string();
  const std::tuple<ChainSetup*, std::string, bool> cases[] = { // the setup, words of its line, whether it starts so
    {&junk, "--load-state " + (mTemp / "junk.state") + ": restore state:", true},
    {&missing, "--preset " + (mTemp / "none.tps") + ": cannot read", true},
    {&sender, "--preset " + (mTemp / "sender.tps") + ": the preset sets \"Plugin Mode\" to Sender", true},
    {&link, "--preset " + (mTemp / "link.tps") + ": the preset sets \"Link ID\" to 7", true},
    {&other, "--preset " + (mTemp / "other.tps") + ": restore state:", true},
    {&deepSetup, "--preset " + (mTemp / "deep.tps") + ": not a preset file", true},
    {&unwritable, "cannot write", false},
  };
  for (const auto& [setup, words, start] : cases)
  {
    const Status s = Run(*setup);
    EXPECT_FALSE(s);
    EXPECT_TRUE(start ? s.message().rfind(words, 0) == 0 : s.message().find(words) != std::string::npos) << s.message();
  }
}
