// TestSynth: an instrument ('aumu') with MIDI input and output and wildcard output configurations "0-1 0-2 0-*".
// It plays a constant level on every output while a note is held (velocity / 127) or as the SysEx message
// F0 7D <level> F7 sets it (level / 127), and echoes every MIDI and SysEx message to the host's MIDI output.

#include "au/PluginAU_Entry.h"

#include <atomic>

namespace testplug
{

using namespace plugin;

class TestSynth final : public PluginAU
{
public:
  static constexpr Config kConfig = {.nParams = 1, .nPresets = 1, .channelIOStr = "0-1 0-2 0-*",
                                     .pluginName = "TestSynth", .productName = "TestSynth", .mfrName = "Zaniq Tests",
                                     .vendorVersion = PackVersion(1, 0, 0), .uniqueID = MakeFourCC('T', 'S', 'y', 'n'),
                                     .mfrID = MakeFourCC('Z', 'q', 'T', 's'), .plugDoesMidiIn = true,
                                     .plugDoesMidiOut = true, .plugType = kInstrument,
                                     .bundleID = "com.zaniq.tests.TestSynth"};

  explicit TestSynth(const InstanceInfo& info) : PluginAU(info, kConfig)
  {
    GetParam(0)->InitDouble("Volume", 1.0, 0.0, 1.0, 0.001, "", 0, "Main", IParam::ShapeLinear(), kUnitLinearGain);
    MakeDefaultPreset("Init", 1);
  }

  void ProcessMidiMsg(const IMidiMsg& msg) override
  {
    const int kind = msg.mStatus & 0xF0;
    if (kind == 0x90 && msg.mData2 > 0) mLevel.store(msg.mData2 / 127.0);
    else if (kind == 0x80 || kind == 0x90) mLevel.store(0.0);
    PluginAU::ProcessMidiMsg(msg); // echo to the host
  }

  void ProcessSysEx(const ISysEx& msg) override
  {
    if (msg.mSize == 4 && msg.mData[0] == 0xF0 && msg.mData[1] == 0x7D && msg.mData[3] == 0xF7)
      mLevel.store((msg.mData[2] & 0x7F) / 127.0);
    SendSysEx(msg);
  }

  void ProcessBlock(sample** /*inputs*/, sample** outputs, int nFrames) override
  {
    const double level = mLevel.load() * GetParam(0)->Value();
    for (int c = 0; c < NChannels(kOutput); ++c)
      for (int i = 0; i < nFrames; ++i) outputs[c][i] = level;
  }

private:
  std::atomic<double> mLevel{0.0};
};

} // namespace testplug

using testplug::TestSynth;
ZANIQ_AU_ENTRY(TestSynth, TestSynth_Factory, TestSynth_Entry)
