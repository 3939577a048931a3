// TestGain: a small gain effect on the Audio Unit adapter, built as its own bundle so that tests drive it only
// through the host interface; channel configurations "1-1 2-2", two factory presets. Per channel:
// y[n] = (Mute ? 0 : gain(Gain) × mode(Mode)) × x[n − Delay], mode Normal 1, Invert −1, Half 0.5.

#include "au/PluginAU_Entry.h"

#include <array>
#include <cmath>

namespace testplug
{

using namespace plugin;

enum EParams { kGain = 0, kDelay, kMode, kMute, kNumParams };
enum EModes { kNormal = 0, kInvert, kHalf, kNumModes };

class TestGain final : public PluginAU
{
public:
  static constexpr int kMaxDelay = 32;
  static constexpr int kHistory = 64; // power of two above kMaxDelay
  static constexpr int kMaxChannels = 2;

  // Three preset slots: two are filled; the empty one is pruned when the instance opens.
  static constexpr Config kConfig = {.nParams = kNumParams, .nPresets = 3, .channelIOStr = "1-1 2-2",
                                     .pluginName = "TestGain", .productName = "TestGain", .mfrName = "Zaniq Tests",
                                     .vendorVersion = PackVersion(1, 2, 3), .uniqueID = MakeFourCC('T', 'G', 'a', 'n'),
                                     .mfrID = MakeFourCC('Z', 'q', 'T', 's'), .plugType = kEffect,
                                     .bundleID = "com.zaniq.tests.TestGain"};

  explicit TestGain(const InstanceInfo& info) : PluginAU(info, kConfig)
  {
    GetParam(kGain)->InitGain("Gain", 0.0, -70.0, 24.0, 0.01, 0, "Level");
    GetParam(kDelay)->InitInt("Delay", 0, 0, kMaxDelay, "smp", 0, "Shape");
    GetParam(kMode)->InitEnum("Mode", kNormal, kNumModes, "", 0, "Shape", "Normal", "Invert", "Half");
    GetParam(kMute)->InitBool("Mute", false, "", 0, "Level", "off", "on");
    MakePreset("Unity", 0.0, 0, static_cast<int>(kNormal), 0);
    MakePreset("Quiet", -12.0, 0, static_cast<int>(kNormal), 0);
    (void)SetLatencyCapacity(kMaxDelay); // tests report the Delay as latency
  }

  void OnReset() override
  {
    for (auto& h : mHistory) h.fill(0.0);
    mWrite = 0;
  }

  void ProcessBlock(sample** inputs, sample** outputs, int nFrames) override
  {
    static constexpr double kModeFactor[kNumModes] = {1.0, -1.0, 0.5};
    const int mode = static_cast<int>(GetParam(kMode)->Value());
    const double factor = GetParam(kMute)->Value() >= 0.5
                            ? 0.0
                            : std::pow(10.0, GetParam(kGain)->Value() / 20.0) * kModeFactor[mode % kNumModes];
    const int delay = static_cast<int>(GetParam(kDelay)->Value());
    const int nIn = NChannels(kInput);
    const int nOut = NChannels(kOutput);
    int write = mWrite;
    for (int c = 0; c < nOut; ++c)
    {
      auto& history = mHistory[static_cast<size_t>(c % kMaxChannels)];
      const sample* in = c < nIn ? inputs[c] : nullptr;
      write = mWrite;
      for (int i = 0; i < nFrames; ++i)
      {
        history[static_cast<size_t>(write)] = in ? in[i] : 0.0;
        outputs[c][i] = factor * history[static_cast<size_t>((write - delay) & (kHistory - 1))];
        write = (write + 1) & (kHistory - 1);
      }
    }
    mWrite = write;
  }

private:
  std::array<std::array<double, kHistory>, kMaxChannels> mHistory = {};
  int mWrite = 0;
};

} // namespace testplug

using testplug::TestGain;
ZANIQ_AU_ENTRY(TestGain, TestGain_Factory, TestGain_Entry)
