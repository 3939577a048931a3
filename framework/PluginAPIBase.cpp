#include "framework/PluginAPIBase.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace plugin
{

PluginAPIBase::PluginAPIBase(Config config, EAPI plugAPI) : PluginBase(config.nParams, config.nPresets)
{
  mUniqueID = config.uniqueID;
  mMfrID = config.mfrID;
  mVersion = config.vendorVersion;
  mPluginName.Set(config.pluginName, MAX_PLUGIN_NAME_LEN);
  mProductName.Set(config.productName, MAX_PLUGIN_NAME_LEN);
  mMfrName.Set(config.mfrName, MAX_PLUGIN_NAME_LEN);
  mHasUI = config.plugHasUI;
  mHostResize = config.plugHostResize;
  mStateChunks = config.plugDoesChunks;
  mAPI = plugAPI;
  mBundleID.Set(config.bundleID);

  SetEditorSize(config.plugWidth, config.plugHeight);
  SetSizeConstraints(config.plugMinWidth, config.plugMaxWidth, config.plugMinHeight, config.plugMaxHeight);

  mHostName.Set("Unknown");
}

PluginAPIBase::~PluginAPIBase()
{
  StopTimer();
}

void PluginAPIBase::CreateTimer()
{
  std::unique_ptr<Timer> timer(Timer::Create([this](Timer& t) { OnTimer(t); }, kTimerIntervalMs));
  mTimer.swap(timer); // the previous timer is deleted (and stopped) after the new one is installed
}

void PluginAPIBase::StopTimer()
{
  if (mTimer) mTimer->Stop();
}

void PluginAPIBase::OnTimer(Timer&)
{
  // What the tick shows (a message box, the host's listeners) may run the host's loop, which may dispose of us.
  Lifetime::Scope scope(GetLifetime());
  if (HasUI())
  {
    // Each loop looks at the queue again after every item, so items pushed meanwhile go out in this step.
    ParamTuple p;
    while (mParamChangeFromProcessor.ElementsAvailable() && mParamChangeFromProcessor.Pop(p))
      SendParameterValueFromDelegate(p.idx, p.value, false);

    IMidiMsg msg;
    while (mMidiMsgsFromProcessor.ElementsAvailable() && mMidiMsgsFromProcessor.Pop(msg))
      SendMidiMsgFromDelegate(msg);

    while (mSysExDataFromProcessor.ElementsAvailable())
    {
      SysExData data;
      if (!mSysExDataFromProcessor.Pop(data)) break;
      SendSysexMsgFromDelegate(ISysEx(data.mOffset, data.mData, data.mSize));
    }
  }
  OnApiIdle();
  OnIdle();
}

// ---------------------------------------------------------------------------------------------------------------
// Host identification
// ---------------------------------------------------------------------------------------------------------------
namespace
{
struct HostKey
{
  const char* key;
  int code;
};

// Order matters: the first key found wins, so longer names come before the names they contain, and the generic
// keys come last.
constexpr HostKey kHostKeys[] = {
  {"vst live", 58}, {"reaper", 1}, {"protools", kHostProTools}, {"cubase", 3}, {"nuendo", 4},
  {"cakewalk", kHostCakewalk}, {"vegas", 6}, {"fruity", kHostFLStudio}, {"samplitude", 8}, {"live", 9},
  {"tracktion", 10}, {"ntracks", 11}, {"melodyne", 12}, {"vstmanlib", 13}, {"aulab", 14}, {"forte", 15},
  {"chainer", 16}, {"audition", 17}, {"orion", 18}, {"bias", 19}, {"sawstudio", 20}, {"logic", kHostLogic},
  {"garageband", kHostGarageBand}, {"digital", 23}, {"audiomulch", 25}, {"presonus", kHostStudioOne},
  {"vst3plugintesthost", 27}, {"ardour", 28}, {"renoise", 29}, {"openmpt", 30}, {"wavelab elements", 32},
  {"wavelab", 31}, {"twistedwave", 33}, {"bitwig studio", kHostBitwig}, {"reason", 36}, {"gwvst", 37},
  {"waveform", kHostWaveform}, {"audacity", 39}, {"acoustica", 40}, {"plugindoctor", 41}, {"izotope rx", 42},
  {"savihost", 43}, {"blue cat's vst host", 44}, {"blue cat's vst3 host", 45}, {"sadie", kHostSadie},
  {"spectralayers", 47}, {"vsthost", 48}, {"vst plugin analyser", 49}, {"wavosaur", 50}, {"mixbus32c", 51},
  {"kv_elementfx", 52}, {"element", 52}, {"juce vst host", 53}, {"komplete kontrol", 54}, {"vst3shell", 55},
  {"com.harrisonconsoles.mixbus", 56}, {"audiogridderserver", 57}, {"equalizer apo", 59}, {"architect", 60},
  {"izotope vst3 host", 61}, {"cantabile 3", 62}, {"plugin buddy", 63}, {"finalcut", 64}, {"dream ii", 65},
  {"ua vst3 host", 66}, {"metaplugin", 67}, {"standalone", 24}, {"www", 35},
};
} // namespace

int PluginAPIBase::LookUpHost(const char* name)
{
  if (!name) return kHostUnknown;
  char lower[256];
  size_t n = 0;
  for (; n < sizeof(lower) - 1 && name[n]; ++n) lower[n] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[n])));
  lower[n] = 0;
  for (const HostKey& k : kHostKeys)
    if (std::strstr(lower, k.key)) return k.code;
  return kHostUnknown;
}

void PluginAPIBase::SetHost(const char* host, int version)
{
  if (host) mHostName.Set(host);
  mHost = host ? LookUpHost(host) : kHostUnknown;
  mHostVersion = version;
  HostSpecificInit();
  OnHostIdentified();
}

// ---------------------------------------------------------------------------------------------------------------
// Parameters between host, processor and editor
// ---------------------------------------------------------------------------------------------------------------
void PluginAPIBase::SetParameterValue(int paramIdx, double normalizedValue, bool notifyPlugin)
{
  IParam* param = GetParam(paramIdx);
  if (!param) return;
  param->SetNormalized(normalizedValue);
  InformHostOfParamChange(paramIdx, normalizedValue);
  if (notifyPlugin) OnParamChange(paramIdx, kUI, -1);
}

void PluginAPIBase::SendParameterValueFromAPI(int paramIdx, double value, bool normalized)
{
  if (normalized)
  {
    const IParam* param = GetParam(paramIdx);
    if (!param) return;
    value = param->FromNormalized(value);
  }
  if (!std::isfinite(value)) return;
  (void)mParamChangeFromProcessor.Push(ParamTuple{paramIdx, value});
}

void PluginAPIBase::SendParameterValueFromUI(int paramIdx, double normalizedValue, bool notifyPlugin)
{
  SetParameterValue(paramIdx, normalizedValue, notifyPlugin);
  PluginBase::SendParameterValueFromUI(paramIdx, normalizedValue, notifyPlugin);
}

void PluginAPIBase::DirtyParametersFromUI()
{
  for (int i = 0; i < NParams(); ++i) InformHostOfParamChange(i, GetParam(i)->GetNormalized());
}

bool PluginAPIBase::EditorResizeFromUI(int width, int height, bool needsPlatformResize)
{
  return needsPlatformResize ? EditorResize(width, height) : true;
}

void PluginAPIBase::SendArbitraryMsgFromUI(int msgTag, int ctrlTag, int dataSize, const void* data)
{
  OnMessage(msgTag, ctrlTag, dataSize, data);
}

void PluginAPIBase::DeferMidiMsg(const IMidiMsg& msg)
{
  (void)mMidiMsgsFromEditor.Push(msg);
}

void PluginAPIBase::DeferSysexMsg(const ISysEx& msg)
{
  SysExData data;
  data.mOffset = msg.mOffset;
  // The record holds 512 bytes: longer messages are cut, negative sizes carry nothing.
  const int size = std::clamp(msg.mSize, 0, SysExData::kMaxBytes);
  data.mSize = size;
  if (msg.mData && size > 0) std::memcpy(data.mData, msg.mData, static_cast<size_t>(size));
  (void)mSysExDataFromEditor.Push(data);
}

// ---------------------------------------------------------------------------------------------------------------
// Hooks
// ---------------------------------------------------------------------------------------------------------------
void PluginAPIBase::OnHostRequestingImportantParameters(int count, Util_TypedBuf<int>& results)
{
  if (count < 1 || count >= NParams()) return;
  for (int i = 0; i < count; ++i) results.Add(i);
}

bool PluginAPIBase::GetMidiNoteText(int, char* text) const
{
  if (text) text[0] = 0;
  return false;
}

void* PluginAPIBase::GetOptionalPointerMember() const
{
  return GetGraphicsReady() ? static_cast<void*>(GetUI()) : nullptr;
}

void PluginAPIBase::PrintDebugInfo() const
{
  Util_String info;
  GetBuildInfoStr(info);
}

} // namespace plugin
