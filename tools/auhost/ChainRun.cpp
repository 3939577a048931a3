// The Sender/Receiver chain: instances, settings, the render loop with timed commands, and the report.

#include "tools/auhost/ChainRun.h"

#include "tools/auhost/Bundle.h"
#include "tools/auhost/Info.h"
#include "tools/auhost/Instance.h"
#include "tools/auhost/Json.h"
#include "tools/auhost/Render.h"
#include "tools/auhost/RunLoop.h"
#include "tools/auhost/Text.h"

#include "engine/XMLNesting.h"
#include "framework/RegularFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <tuple>

namespace auhost
{

const char* const kReadoutKeys[kZaniqNumReadouts] = {"pre_fx_diff",  "pre_fx_gain",  "pre_fx_current",
                                                     "pre_fx_max",   "post_fx_diff", "post_fx_gain"};

namespace
{

constexpr const char* kPluginModeName = "Plugin Mode";
constexpr const char* kLinkIDName = "Link ID";
constexpr const char* kRoleNames[2] = {"Sender", "Receiver"};

const ParameterDesc* FindExact(const std::vector<ParameterDesc>& params, std::string_view name)
{
  for (const ParameterDesc& p : params)
    if (p.name == name) return &p;
  return nullptr;
}

// The value a setting's text stands for: a number inside the range (whole for indexed parameters), one of the
// value strings, or a text the unit itself turns into a value and back into the same text ("off" of a dB
// parameter).
Status ValueFromText(const Instance& instance, const ParameterDesc& p, std::string_view text, double& value)
{
  const std::string where = "parameter \"" + p.name + "\"";
  double v = 0.0;
  if (ParseFiniteNumber(text, v))
  {
    if (v < p.minValue || v > p.maxValue)
      return Status::Error(where + ": " + std::string(text) + " is outside " + FormatNumber(p.minValue) + " .. " +
                           FormatNumber(p.maxValue));
    if (p.IsIndexed() && v != std::floor(v))
      return Status::Error(where + ": " + std::string(text) + " is not a whole number");
    value = v;
    return Status::Ok();
  }

  const std::vector<std::pair<std::string, double>> choices = instance.NamedValues(p);
  for (const auto& [t, x] : choices)
    if (t == text)
    {
      value = x;
      return Status::Ok();
    }
  const std::string wanted = Lower(text);
  for (const auto& [t, x] : choices)
    if (Lower(t) == wanted)
    {
      value = x;
      return Status::Ok();
    }
  if (!p.IsIndexed())
  {
    Float32 x = 0.f;
    std::string back;
    if (instance.ParameterTextToValue(p.id, text, x) && std::isfinite(x) && x >= p.minValue && x <= p.maxValue &&
        instance.ParameterValueToText(p.id, x, back) && Lower(back) == wanted)
    {
      value = x;
      return Status::Ok();
    }
  }
  std::string names;
  for (const auto& choice : choices) names += (names.empty() ? "" : ", ") + ("\"" + choice.first + "\"");
  return Status::Error(where + ": \"" + std::string(text) + "\" is not a number" +
                       (names.empty() ? std::string() : " or one of " + names));
}

Status ApplySettings(Instance& instance, const std::vector<ParamSetting>& settings, const char* option)
{
  if (settings.empty()) return Status::Ok();
  std::vector<ParameterDesc> params;
  Status s = instance.ListParameters(params);
  if (!s) return s;
  for (const ParamSetting& setting : settings)
  {
    const std::string where = std::string(option) + " \"" + setting.name + "=" + setting.value + "\"";
    const ParameterDesc* p = FindExact(params, setting.name);
    if (!p) return Status::Error(where + ": no parameter named \"" + setting.name + "\" (auhost info lists them)");
    double value = 0.0;
    s = ValueFromText(instance, *p, setting.value, value);
    if (!s) return s.Prefixed(where);
    s = instance.SetParameter(p->id, static_cast<Float32>(value));
    if (!s) return s.Prefixed(where);
  }
  return Status::Ok();
}

// Settings for parameters the unit has; the others are skipped.
Status ApplyDefaults(Instance& instance, const std::vector<ParamSetting>& defaults)
{
  if (defaults.empty()) return Status::Ok();
  std::vector<ParameterDesc> params;
  Status s = instance.ListParameters(params);
  for (const ParamSetting& setting : defaults)
  {
    const ParameterDesc* p = s ? FindExact(params, setting.name) : nullptr;
    double value = 0.0;
    if (p) s = ValueFromText(instance, *p, setting.value, value);
    if (p && s) s = instance.SetParameter(p->id, static_cast<Float32>(value));
    if (!s) return s.Prefixed("parameter \"" + setting.name + "\"");
  }
  return s;
}

// Role and Link ID as the unit's parameters say; without "Plugin Mode" the position decides.
Status ReadRole(const Instance& instance, size_t position, bool required, InstanceReport& report)
{
  std::vector<ParameterDesc> params;
  Status s = instance.ListParameters(params);
  if (!s) return s;
  report.role = kRoleNames[position == 0 ? 0 : 1];
  report.linkID = 0;
  const ParameterDesc* mode = FindExact(params, kPluginModeName);
  const ParameterDesc* link = FindExact(params, kLinkIDName);
  if (!mode || !link)
  {
    if (required)
      return Status::Error(std::string("the unit does not pair as Sender and Receiver (no parameter \"") +
                           (mode ? kLinkIDName : kPluginModeName) + "\")");
    return Status::Ok();
  }
  Float32 m = 0.f, l = 0.f;
  s = instance.GetParameter(mode->id, m);
  if (s) s = instance.GetParameter(link->id, l);
  if (!s) return s;
  if (m == 0.f || m == 1.f) report.role = kRoleNames[m == 0.f ? 0 : 1];
  else report.role = "mode " + FormatNumber(m);
  report.linkID = static_cast<int>(l);
  return Status::Ok();
}

// ---------------------------------------------------------------------------------------------------------------
// The Receiver's state: ClassInfo "data" from and to files
// ---------------------------------------------------------------------------------------------------------------

// State files larger than this are refused unread; the product reads a document of kMaxPresetXMLBytes at most,
// and refuses a longer one itself. Preset files are bounded as the product bounds them.
constexpr std::uintmax_t kMaxStateFileBytes = 16u << 20;

// Read as the product reads its files: a regular file only, never waited on, bounded while it is read. A refusal
// then says why, as far as the file still shows it.
Status ReadBytes(const std::string& path, std::uintmax_t maxBytes, std::string& out)
{
  if (plugin::ReadRegularFile(path.c_str(), int64_t(maxBytes), out)) return Status::Ok();
  const std::string cannot = "cannot read \"" + path + "\"";
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (ec) return Status::Error(cannot + ": " + ec.message());
  if (!std::filesystem::is_regular_file(status)) return Status::Error(cannot + ": not a regular file");
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (!ec && size > maxBytes) return Status::Error("\"" + path + "\" is larger than a state or preset can be");
  return Status::Error(cannot);
}

void PutWord(std::string& out, uint32_t v)
{
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

// A preset document in the product's state-chunk frame: "RIFF", size A, 1, "QVCM", "QVCS", size B, 1, the text's
// length, the text and a zero pad byte when its length is odd (32-bit little-endian numbers).
std::string FramePresetText(const std::string& text)
{
  const auto length = static_cast<uint32_t>(text.size());
  const uint32_t pad = length & 1u;
  std::string chunk = "RIFF";
  PutWord(chunk, length + 24 + pad);
  PutWord(chunk, 1);
  chunk += "QVCMQVCS";
  PutWord(chunk, length + 8);
  PutWord(chunk, 1);
  PutWord(chunk, length);
  chunk += text;
  if (pad) chunk.push_back('\0');
  return chunk;
}

// The product's parameters that a preset load leaves as they are unless the file names them: editor and instance
// settings, one-shot actions and the stored gains. Every other parameter returns to its default first.
constexpr const char* kKeptByPresetLoad[] = {
    "GUI Scale",
    "Toggle Tooltips",
    "Plugin Mode",
    "Link ID",
    "Latency Compensation",
    "Active",
    "Pre-Post FX",
    "GainDiff Store",
    "PreGain Diff Store",
    "Auto Set Link ID",
    "Reset PreGain Diff",
    "Reset Sender RMS",
    "Reset Gain Diff",
    "Reset 2",
    "Match Pre-FX Diff/Gain",
    "Match Post-FX Diff/Gain",
    "Match Loudness",
    "Online Update Check",
    "Show Config Page",
};

// Why the product's preset reader refused a text, in words.
std::string RefusalWords(PresetXMLTree::EParse why)
{
  using E = PresetXMLTree::EParse;
  switch (why)
  {
  case E::kOK: break;
  case E::kNotXML: return "it is empty, malformed, or XML the product refuses unread";
  case E::kTooDeep: return "its elements nest deeper than " + std::to_string(kMaxPresetXMLDepth) + " levels";
  case E::kNoRoot: return "no \"PresetXMLTree\" root element";
  case E::kNoVendor: return "no \"PluginVendor\" element";
  case E::kNoName: return "no \"PluginName\" element";
  case E::kNoVersion: return "no \"PluginVersion\" element";
  case E::kNoPreset: return "no \"Preset\" element with \"name\" as its first attribute";
  case E::kNoParameters: return "no \"Parameter\" element with elements in it";
  case E::kForeignElement: return "\"Parameter\" holds an element that is not \"Param\"";
  }
  return "refused";
}

// A text from a file, quoted on one line: bytes outside printable ASCII as \xNN, long texts cut.
std::string Quoted(const std::string& text)
{
  constexpr size_t kShown = 40;
  std::string out = "\"";
  for (size_t i = 0; i < text.size() && i < kShown; ++i)
  {
    const auto u = static_cast<unsigned char>(text[i]);
    if (u == '"' || u == '\\') out += '\\';
    if (u >= 0x20 && u < 0x7F)
    {
      out += char(u);
      continue;
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", u);
    out += hex;
  }
  return out + (text.size() > kShown ? "\"..." : "\"");
}

// The bytes of the unit's ClassInfo "data".
Status StateData(const Instance& unit, std::string& bytes)
{
  CFRef<CFPropertyListRef> state;
  Status s = unit.SaveState(state);
  if (!s) return s;
  const void* value = CFGetTypeID(state.Get()) == CFDictionaryGetTypeID()
                        ? CFDictionaryGetValue(static_cast<CFDictionaryRef>(state.Get()), CFSTR("data"))
                        : nullptr;
  if (!value || CFGetTypeID(value) != CFDataGetTypeID()) return Status::Error("the unit's ClassInfo has no \"data\"");
  const auto data = static_cast<CFDataRef>(value);
  bytes.assign(reinterpret_cast<const char*>(CFDataGetBytePtr(data)), size_t(CFDataGetLength(data)));
  return Status::Ok();
}

// The document inside the unit's own state (framed as FramePresetText frames one): its maker, plug-in name and
// version exactly as the product writes them.
Status OwnDocument(const Instance& unit, PresetXMLTree& own)
{
  constexpr size_t kLengthAt = 28;
  std::string bytes;
  Status s = StateData(unit, bytes);
  if (!s) return s;
  uint32_t length = 0;
  for (size_t i = 0; i < 4 && kLengthAt + i < bytes.size(); ++i)
    length |= uint32_t(static_cast<unsigned char>(bytes[kLengthAt + i])) << (8 * i);
  const size_t at = kLengthAt + 4;
  if (bytes.size() < at || length > bytes.size() - at ||
      own.Parse(std::string(bytes, at, length).c_str(), false) != PresetXMLTree::EParse::kOK || !own.vendor ||
      !own.pluginName)
    return Status::Error("the unit's state holds no preset document");
  return Status::Ok();
}

// The preset file `text` as the editor's preset load applies it, as a state chunk for the unit. The product's
// own reader decides whether the file is taken and what it holds; the chunk then carries only the values the
// load leaves: every parameter outside kKeptByPresetLoad at its default, overridden by the file's last value
// for each parameter it names. The file's values go on exactly as read, so that the unit rounds and clamps each
// one as its own preset load does.
Status PresetAsEditorLoad(const Instance& unit, const std::string& text, std::string& chunk)
{
  PresetXMLTree file, own;
  // Like the product, read to the first zero byte.
  const PresetXMLTree::EParse why = file.Parse(text.c_str(), true);
  if (why != PresetXMLTree::EParse::kOK) return Status::Error("not a preset file: " + RefusalWords(why));
  Status s = OwnDocument(unit, own);
  if (!s) return s;
  for (const auto& [element, got, wanted] : {std::tuple{"PluginVendor", file.vendor, *own.vendor},
                                             std::tuple{"PluginName", file.pluginName, *own.pluginName}})
    if (got != wanted)
      return Status::Error(std::string("the preset is for another plug-in: \"") + element + "\" is " +
                           (got ? Quoted(*got) : std::string("empty")) + ", not " + Quoted(wanted));

  std::vector<ParameterDesc> params;
  s = unit.ListParameters(params);
  if (!s) return s;
  std::vector<std::optional<double>> named(params.size());
  for (const PresetXMLTree::Param& p : file.params)
    if (const ParameterDesc* desc = FindExact(params, p.name)) named[size_t(desc - params.data())] = p.value;

  // The state document under the unit's own maker, name and version. A default comes as a 32-bit float: six
  // decimals give back the value the product holds.
  PresetXMLTree state;
  state.vendor = own.vendor;
  state.pluginName = own.pluginName;
  state.version = own.version;
  for (size_t i = 0; i < params.size(); ++i)
  {
    const bool kept = std::find_if(std::begin(kKeptByPresetLoad), std::end(kKeptByPresetLoad),
                                   [&](const char* k) { return params[i].name == k; }) != std::end(kKeptByPresetLoad);
    double value = 0.0;
    if (named[i])
      value = *named[i];
    else if (kept || !ParsePresetValue(FormatPresetValue(double(params[i].defaultValue)).c_str(), value))
      continue;
    state.params.push_back({params[i].name, value});
  }
  // A slot keeps 255 bytes of a preset name, judged by the byte after them: a name cut well past that names the
  // slot alike, and a long one cannot push the document past what the product reads.
  constexpr size_t kNameKept = 1024;
  state.presetName = file.presetName.substr(0, kNameKept);
  const std::string document = state.Print(PresetXMLTree::EValues::kExact);
  if (document.empty()) return Status::Error("out of memory");
  chunk = FramePresetText(document);
  return Status::Ok();
}

// Restores bytes as the unit's ClassInfo "data", keeping the rest of its own ClassInfo but with an empty "name".
Status RestoreData(Instance& unit, const std::string& bytes)
{
  CFRef<CFPropertyListRef> current;
  Status s = unit.SaveState(current);
  if (!s) return s;
  if (CFGetTypeID(current.Get()) != CFDictionaryGetTypeID())
    return Status::Error("the unit's ClassInfo is not a dictionary");
  auto dict = CFRef<CFMutableDictionaryRef>::Adopt(
    CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(current.Get())));
  auto data = CFRef<CFDataRef>::Adopt(
    CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), static_cast<CFIndex>(bytes.size())));
  if (!dict || !data) return Status::Error("out of memory");
  CFDictionarySetValue(dict.Get(), CFSTR("data"), data.Get());
  CFDictionarySetValue(dict.Get(), CFSTR("name"), CFSTR(""));
  return unit.RestoreState(dict.Get());
}

// Writes the unit's ClassInfo "data" to path.
Status SaveData(const Instance& unit, const std::string& path)
{
  std::string bytes;
  Status s = StateData(unit, bytes);
  if (!s) return s;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  out.close();
  if (!out) return Status::Error("cannot write \"" + path + "\"");
  return Status::Ok();
}

// A preset that moves the Receiver to another role or link is refused: settings given after it come too late to
// undo that.
Status KeptRole(const InstanceReport& before, const InstanceReport& after)
{
  const auto moved = [](const char* name, const std::string& was, const std::string& now)
  {
    return Status::Error("the preset sets \"" + std::string(name) + "\" to " + now +
                         "; the chain keeps the Receiver's \"" + name + "\" at " + was);
  };
  if (after.role != before.role) return moved(kPluginModeName, before.role, after.role);
  if (after.linkID != before.linkID)
    return moved(kLinkIDName, std::to_string(before.linkID), std::to_string(after.linkID));
  return Status::Ok();
}

Status LoadReceiverState(Instance& receiver, const ChainSetup& setup)
{
  std::string bytes;
  if (!setup.loadState.empty())
  {
    Status s = ReadBytes(setup.loadState, kMaxStateFileBytes, bytes);
    if (s) s = RestoreData(receiver, bytes);
    if (!s) return s.Prefixed("--load-state " + setup.loadState);
  }
  if (!setup.preset.empty())
  {
    std::string chunk;
    InstanceReport before, after;
    Status s = ReadBytes(setup.preset, std::uintmax_t(kMaxPresetXMLBytes), bytes);
    if (s) s = PresetAsEditorLoad(receiver, bytes, chunk);
    if (s) s = ReadRole(receiver, 1, false, before);
    if (s) s = RestoreData(receiver, chunk);
    if (s) s = ReadRole(receiver, 1, false, after);
    if (s) s = KeptRole(before, after);
    if (!s) return s.Prefixed("--preset " + setup.preset);
  }
  return Status::Ok();
}

Status Prepare(Instance& instance, double rate, UInt32 channels, UInt32 block)
{
  Status s = instance.Prepare(rate, channels, channels, block);
  if (!s)
  {
    const std::string configs = FormatChannelConfigs(instance.ChannelConfigs());
    return Status::Error(s.message() + (configs.empty() ? std::string() : " (the unit supports " + configs + ")"));
  }
  // Hosts reset a unit after initialising it; the product re-derives its rate-dependent state there.
  return Status::FromOS(AudioUnitReset(instance.Unit(), kAudioUnitScope_Global, 0), "reset");
}

Status SendCommand(Instance& receiver, const TimedCommand& command)
{
  const ZaniqCommand record = {command.code, command.value};
  const OSStatus st = AudioUnitSetProperty(receiver.Unit(), kZaniqProperty_Command, kAudioUnitScope_Global, 0,
                                           &record, sizeof(record));
  if (st == noErr) return Status::Ok();
  const std::string where = "--command " + command.text;
  if (st == kAudioUnitErr_InvalidProperty)
    return Status::FromOS(st, where + ": the Receiver does not take command " + std::to_string(command.code));
  return Status::FromOS(st, where);
}

Status ReadReport(const Instance& instance, InstanceReport& report)
{
  std::vector<ParameterDesc> params;
  Status s = instance.ListParameters(params);
  if (!s) return s;
  report.params.clear();
  for (const ParameterDesc& p : params)
  {
    Float32 v = 0.f;
    s = instance.GetParameter(p.id, v);
    if (!s) return s.Prefixed("parameter \"" + p.name + "\"");
    report.params.emplace_back(p.name, static_cast<double>(v));
    if (p.name == kLinkIDName) report.linkID = static_cast<int>(v);
    if (p.name == kPluginModeName && (v == 0.f || v == 1.f)) report.role = kRoleNames[v == 0.f ? 0 : 1];
  }
  return Status::Ok();
}

Status ReadReadouts(const Instance& instance, InstanceReport& report)
{
  ZaniqReadouts readouts;
  std::memset(&readouts, 0, sizeof(readouts));
  UInt32 size = sizeof(readouts);
  const OSStatus st = AudioUnitGetProperty(instance.Unit(), kZaniqProperty_Readouts, kAudioUnitScope_Global, 0,
                                           &readouts, &size);
  report.hasReadouts = false;
  if (st == kAudioUnitErr_InvalidProperty) return Status::Ok(); // a unit without read-outs
  if (st != noErr) return Status::FromOS(st, "read-outs");
  if (size != sizeof(readouts)) return Status::Error("read-outs: unexpected size " + std::to_string(size));
  std::copy(std::begin(readouts.values), std::end(readouts.values), report.readouts);
  report.hasReadouts = true;
  return Status::Ok();
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Levels and JSON
// ---------------------------------------------------------------------------------------------------------------

Levels MeasureLevels(const AudioData& data)
{
  return MeasureLevels(data, 0, data.NFrames());
}

Levels MeasureLevels(const AudioData& data, uint64_t first, uint64_t count)
{
  Levels levels;
  const uint64_t total = data.NFrames();
  first = std::min(first, total);
  count = std::min(count, total - first);
  if (data.NChannels() == 0 || count == 0) return levels;
  double power = 0.0;
  double peak = 0.0;
  for (const auto& ch : data.channels)
  {
    double sum = 0.0;
    for (uint64_t i = first; i < first + count; ++i)
    {
      const double x = ch[i];
      sum += x * x;
      peak = std::max(peak, std::fabs(x));
    }
    power += sum / static_cast<double>(count);
  }
  power /= data.NChannels();
  if (power > 0.0) levels.rmsDB = std::max(kSilenceDB, 10.0 * std::log10(power));
  if (peak > 0.0) levels.peakDB = std::max(kSilenceDB, 20.0 * std::log10(peak));
  return levels;
}

std::string ChainReportJson(const ChainReport& report, const std::function<void(JsonWriter&)>& more)
{
  JsonWriter w;
  w.BeginObject();
  w.Key("instances");
  w.BeginArray();
  for (const InstanceReport& inst : report.instances)
  {
    w.BeginObject();
    w.Key("role");
    w.String(inst.role);
    w.Key("link_id");
    w.Int(inst.linkID);
    w.Key("params");
    w.BeginObject();
    for (const auto& [name, value] : inst.params)
    {
      w.Key(name);
      // Parameter values travel as 32-bit floats.
      w.Float(static_cast<float>(value));
    }
    w.EndObject();
    w.Key("readouts");
    w.BeginObject();
    if (inst.hasReadouts)
      for (int i = 0; i < kZaniqNumReadouts; ++i)
      {
        w.Key(kReadoutKeys[i]);
        w.Number(inst.readouts[i]);
      }
    w.EndObject();
    w.EndObject();
  }
  w.EndArray();
  auto writeLevels = [&w](const char* key, const Levels& levels) {
    w.Key(key);
    w.BeginObject();
    w.Key("rms_db");
    w.Number(levels.rmsDB);
    w.Key("peak_db");
    w.Number(levels.peakDB);
    w.EndObject();
  };
  writeLevels("input", report.input);
  writeLevels("output", report.output);
  if (more) more(w);
  w.EndObject();
  return w.Text();
}

// ---------------------------------------------------------------------------------------------------------------
// The run
// ---------------------------------------------------------------------------------------------------------------

Status RunChain(const ChainSetup& setup, const AudioData& input, AudioData& output, ChainReport& report,
                const ChainProgress& progress)
{
  output = AudioData();
  report = ChainReport();
  const UInt32 channels = input.NChannels();
  const double rate = input.sampleRate;
  const uint64_t frames = input.NFrames();
  if (channels == 0 || channels > Instance::kMaxChannels)
    return Status::Error("the input has " + std::to_string(channels) + " channels");
  if (setup.block == 0) return Status::Error("block size 0");
  for (const TimedCommand& c : setup.commands)
    if (c.frame >= frames) return Status::Error("--command " + c.text + ": past the end of the signal");

  std::shared_ptr<const Bundle> bundle;
  Status s = Bundle::Load(setup.bundle, bundle);
  if (!s) return s;
  const ComponentEntry& entry = bundle->Main();

  // Opened in this order, the product pairs them: the first becomes the Sender, the second its Receiver.
  std::unique_ptr<Instance> sender, receiver;
  InstanceReport senderReport, receiverReport;
  s = Instance::Open(entry.component, sender);
  bool checkRoles = setup.checkRoles;
  if (s && checkRoles && setup.rolesOptional)
  {
    std::vector<ParameterDesc> params;
    s = sender->ListParameters(params);
    if (s && !FindExact(params, kPluginModeName) && !FindExact(params, kLinkIDName)) checkRoles = false;
  }
  if (s) s = ReadRole(*sender, 0, checkRoles, senderReport);
  if (!s) return s.Prefixed("Sender");
  s = Instance::Open(entry.component, receiver);
  if (s) s = ReadRole(*receiver, 1, checkRoles, receiverReport);
  if (!s) return s.Prefixed("Receiver");
  if (checkRoles && (senderReport.role != kRoleNames[0] || senderReport.linkID != 1 ||
                           receiverReport.role != kRoleNames[1] || receiverReport.linkID != 1))
    return Status::Error("pairing: the instances opened as " + senderReport.role + " on Link ID " +
                         std::to_string(senderReport.linkID) + " and " + receiverReport.role + " on Link ID " +
                         std::to_string(receiverReport.linkID) + ", not Sender and Receiver on Link ID 1");

  s = Prepare(*sender, rate, channels, setup.block);
  if (!s) return s.Prefixed("Sender");
  s = Prepare(*receiver, rate, channels, setup.block);
  if (!s) return s.Prefixed("Receiver");
  s = LoadReceiverState(*receiver, setup);
  if (s) s = ApplyDefaults(*sender, setup.defaults);
  if (s) s = ApplyDefaults(*receiver, setup.defaults);
  if (s) s = ApplySettings(*sender, setup.sender, "--sender");
  if (s) s = ApplySettings(*receiver, setup.receiver, "--receiver");
  if (!s) return s;
  if (checkRoles && (!setup.loadState.empty() || !setup.preset.empty()))
  {
    // A state or preset names "Plugin Mode" and "Link ID" too; the chain needs the Receiver where it was.
    s = ReadRole(*receiver, 1, true, receiverReport);
    if (s && (receiverReport.role != kRoleNames[1] || receiverReport.linkID != 1))
      s = Status::Error("the state or preset loaded sets \"Plugin Mode\" to " + receiverReport.role +
                        " and \"Link ID\" to " + std::to_string(receiverReport.linkID) +
                        "; add --receiver \"Plugin Mode=Receiver\" and --receiver \"Link ID=1\"");
    if (!s) return s;
  }

  std::unique_ptr<FxChain> fx;
  s = FxChain::Make(setup.fx, rate, channels, fx);
  if (!s) return s;

  std::vector<TimedCommand> commands = setup.commands;
  std::stable_sort(commands.begin(), commands.end(),
                   [](const TimedCommand& a, const TimedCommand& b) { return a.frame < b.frame; });

  BufferSource source(input, setup.block);
  Chain chain;
  chain.Append(*sender);
  chain.Append(*receiver, fx.get());
  s = chain.Connect(&source);
  if (!s) return s;

  output.sampleRate = rate;
  output.Resize(channels, frames);
  std::vector<float> block(static_cast<size_t>(setup.block) * channels);
  float* pointers[Instance::kMaxChannels];
  {
    RunLoopPump pump(ClockMode::Virtual);
    if (setup.hooks) s = setup.hooks->Ready(*sender, *receiver);
    size_t next = 0;
    for (uint64_t pos = 0; pos < frames && s;)
    {
      for (; next < commands.size() && commands[next].frame <= pos && s; ++next) s = SendCommand(*receiver, commands[next]);
      if (s && setup.hooks) s = setup.hooks->AtBoundary(pos);
      if (!s) break;
      uint64_t end = std::min<uint64_t>(frames, pos + setup.block);
      if (next < commands.size()) end = std::min(end, commands[next].frame);
      const auto n = static_cast<UInt32>(end - pos);
      for (UInt32 c = 0; c < channels; ++c) pointers[c] = block.data() + static_cast<size_t>(c) * setup.block;
      const OSStatus st = receiver->RenderBlock(static_cast<double>(pos), n, pointers, channels);
      if (st != noErr)
      {
        s = Status::FromOS(st, "render at sample " + std::to_string(pos));
        break;
      }
      for (UInt32 c = 0; c < channels; ++c)
      {
        if (!pointers[c])
        {
          s = Status::Error("render at sample " + std::to_string(pos) + ": no output buffer");
          break;
        }
        std::memcpy(output.channels[c].data() + pos, pointers[c], n * sizeof(float));
      }
      pos = end;
      pump.Pump(n / rate);
      if (progress) progress(pos, frames);
    }
    if (s && setup.hooks) s = setup.hooks->AtBoundary(frames);
    if (setup.hooks) setup.hooks->Finished();
  }
  chain.Disconnect();
  if (!s) return s;

  if (!setup.saveState.empty())
  {
    s = SaveData(*receiver, setup.saveState);
    if (!s) return s.Prefixed("--save-state " + setup.saveState);
  }
  s = ReadReport(*sender, senderReport);
  if (s) s = ReadReport(*receiver, receiverReport);
  if (s) s = ReadReadouts(*receiver, receiverReport);
  if (!s) return s;
  report.instances.push_back(std::move(senderReport));
  report.instances.push_back(std::move(receiverReport));
  report.input = MeasureLevels(input);
  report.output = MeasureLevels(output);
  return Status::Ok();
}

} // namespace auhost
