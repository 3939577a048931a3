// Presets as XML: the documents of this plug-in's parameters, preset files and the document inside a state chunk.

#include "engine/XMLPresets.h"

#include "engine/XMLNesting.h"

#include "framework/PluginBase.h"
#include "framework/RegularFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace plugin;

namespace
{

int FindParam(const PluginBase& plug, const std::string& name)
{
  for (int i = 0; i < plug.NParams(); ++i)
    if (name == plug.GetParam(i)->GetName()) return i;
  return -1;
}

// Maker and plug-in name exactly as this plug-in has them; a missing text never matches.
bool WrittenBy(const PluginBase& plug, const PresetXMLTree& tree)
{
  return tree.vendor && *tree.vendor == plug.GetMfrName() && tree.pluginName &&
         *tree.pluginName == plug.GetPluginName();
}

// The document of plug's current parameter values (every parameter, in index order), with plug's maker name,
// plug-in name and version text, unless overridden by non-empty nameOverride / versionOverride.
PresetXMLTree TreeOfPlugin(const PluginBase& plug, const char* presetName, const char* nameOverride = nullptr,
                           const char* versionOverride = nullptr)
{
  PresetXMLTree tree;
  tree.vendor = plug.GetMfrName();
  tree.pluginName = (nameOverride && *nameOverride) ? nameOverride : plug.GetPluginName();
  if (versionOverride && *versionOverride)
  {
    tree.version = versionOverride;
  }
  else
  {
    Util_String version;
    plug.GetPluginVersionStr(version);
    tree.version = version.Get();
  }
  tree.presetName = presetName ? presetName : "";
  tree.params.reserve(size_t(plug.NParams()));
  for (int i = 0; i < plug.NParams(); ++i)
  {
    const IParam* param = plug.GetParam(i);
    tree.params.push_back({param->GetName(), param->Value()});
  }
  return tree;
}

// The same for values[i] (one per parameter) in place of the live values.
PresetXMLTree TreeOfValues(const PluginBase& plug, const double* values, const char* presetName)
{
  PresetXMLTree tree = TreeOfPlugin(plug, presetName);
  for (size_t i = 0; i < tree.params.size(); ++i) tree.params[i].value = values[i];
  return tree;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Preset files
// ---------------------------------------------------------------------------------------------------------------

namespace
{

// Reads the whole file and parses it as a preset document. False when the file cannot be opened or read, is not
// a regular file (a FIFO would block the open), is larger than kMaxPresetXMLBytes or is not a valid document.
bool ReadPresetDocument(const char* path, PresetXMLTree& tree)
{
  std::string text;
  // The text ends at its first zero byte, as the parser reads it.
  return ReadRegularFile(path, kMaxPresetXMLBytes, text) &&
         tree.Parse(text.c_str(), true) == PresetXMLTree::EParse::kOK;
}

bool WriteAll(int fd, const char* data, size_t size)
{
  while (size > 0)
  {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

// Writes text to a new file beside path, then renames it over path. The permissions are those fopen gives a new
// file (0666 less the umask). On failure the temporary file is removed and path is untouched.
bool ReplaceFile(const char* path, const std::string& text)
{
  static std::atomic<unsigned> serial{0};
  std::string tmp;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt)
  {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".tmp-%ld-%u", long(::getpid()), serial.fetch_add(1));
    tmp = std::string(path) + suffix;
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;

  bool ok = WriteAll(fd, text.data(), text.size());
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  ok = ok && std::rename(tmp.c_str(), path) == 0;
  if (!ok) (void)::unlink(tmp.c_str());
  return ok;
}

} // namespace

bool IXMLPreset::FilterNames(const PluginBase& plug, int paramIdx) const
{
  const IParam* param = plug.GetParam(paramIdx);
  if (!param || !mFilterList) return false;
  for (const int* entry = mFilterList; *entry != kFilterEnd; ++entry)
  {
    if (*entry == kFilterInPresets && param->GetInPresets()) return true;
    if (*entry == paramIdx) return true;
  }
  return false;
}

bool IXMLPreset::Accepts(const PluginBase& plug, const PresetXMLTree& tree) const
{
  if (!tree.vendor || *tree.vendor != plug.GetMfrName() || !tree.pluginName) return false;
  if (*tree.pluginName == plug.GetPluginName()) return true;
  if (mAlternativeNamesOn && mAlternativeNames)
    for (const char* const* alt = mAlternativeNames; *alt; ++alt)
      if (*tree.pluginName == *alt) return true;
  return false;
}

bool IXMLPreset::WritePresetFile(const PluginBase& plug, const Util_String& path, const Util_String& presetName,
                                 bool filtered, bool withData, const char* data) const
{
  if (path.GetLength() == 0) return false;
  PresetXMLTree tree = TreeOfPlugin(plug, presetName.Get(), mNameOverride.Get(), mVersionOverride.Get());
  if (filtered && mFilterOn)
  {
    std::vector<PresetXMLTree::Param> kept;
    for (int i = 0; i < plug.NParams(); ++i)
      if (FilterNames(plug, i)) kept.push_back(tree.params[size_t(i)]);
    tree.params = std::move(kept);
  }
  if (withData) tree.data = data ? data : "";
  const std::string text = tree.Print();
  return !text.empty() && ReplaceFile(path.Get(), text);
}

bool IXMLPreset::SaveDefaultPresetFile(const PluginBase& plug, const Util_String& folder, bool filtered,
                                       bool withData, const char* data) const
{
  // Never "/default.tps" at the file-system root.
  if (folder.GetLength() == 0) return false;
  Util_String path(folder.Get());
  path.Append("/default.tps");
  return WritePresetFile(plug, path, Util_String("Init"), filtered, withData, data);
}

bool IXMLPreset::LoadPresetFile(PluginBase& plug, const Util_String& path, Util_String& presetName, bool keep,
                                bool probe, bool filtered, bool readData, Util_String* data) const
{
  PresetXMLTree tree;
  if (!ReadPresetDocument(path.Get(), tree) || !Accepts(plug, tree)) return false;

  presetName.Set(tree.presetName.c_str());
  if (readData && data && tree.data) data->Set(tree.data->c_str());
  if (probe) return true;

  // Which parameters the file sets, decided before anything changes.
  std::vector<std::pair<IParam*, double>> targets;
  targets.reserve(tree.params.size());
  for (const PresetXMLTree::Param& p : tree.params)
  {
    const int idx = FindParam(plug, p.name);
    if (idx < 0) continue;
    IParam* param = plug.GetParam(idx);
    if (keep ? param->GetInstanceSetting() : (filtered && mFilterOn && !FilterNames(plug, idx))) continue;
    targets.emplace_back(param, p.value);
  }

  if (mFilterOn)
    for (int i = 0; i < plug.NParams(); ++i)
      if (FilterNames(plug, i)) plug.GetParam(i)->Set(plug.GetParam(i)->GetDefault());
  for (const auto& [param, value] : targets) param->Set(value);

  if (keep)
  {
    plug.ModifyCurrentPreset(tree.presetName.c_str());
    plug.OnParamReset(kPresetRecall);
    return true;
  }
  plug.ModifyCurrentPreset(tree.presetName.c_str());
  // Recalling the preset just written tells the engine; should that be refused, tell it directly.
  if (!plug.RestorePreset(plug.GetCurrentPresetIdx())) plug.OnParamReset(kPresetRecall);
  plug.ModifyCurrentPreset(tree.presetName.c_str());
  plug.InformHostOfPresetChange();
  return true;
}

bool IXMLPreset::ParsePresetFile(const PluginBase& plug, const Util_String& path, double* values,
                                 Util_String& presetName, bool filtered) const
{
  PresetXMLTree tree;
  if (!values || !ReadPresetDocument(path.Get(), tree) || !Accepts(plug, tree)) return false;
  presetName.Set(tree.presetName.c_str());
  for (const PresetXMLTree::Param& p : tree.params)
  {
    const int idx = FindParam(plug, p.name);
    if (idx < 0 || (filtered && mFilterOn && !FilterNames(plug, idx))) continue;
    values[idx] = p.value;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------------------------
// The document inside a state chunk
// ---------------------------------------------------------------------------------------------------------------

namespace
{

bool AppendXML(const PresetXMLTree& tree, IByteChunk& chunk)
{
  const std::string text = tree.Print();
  if (text.empty() || text.size() > size_t(INT32_MAX) - 4) return false;
  const int before = chunk.Size();
  const int32_t length = static_cast<int32_t>(text.size());
  if (chunk.Put(length) != before + 4 || chunk.PutBytes(text.data(), length) != before + 4 + length)
  {
    // Keep the chunk as it was rather than half-appended.
    IByteChunk restored;
    (void)restored.PutBytes(chunk.GetData(), before);
    chunk = std::move(restored);
    return false;
  }
  return true;
}

} // namespace

bool IXMLParameters::WriteStateXML(const PluginBase& plug, IByteChunk& chunk)
{
  return AppendXML(TreeOfPlugin(plug, plug.GetPresetName(0)), chunk);
}

bool IXMLParameters::BuildPresetXML(const PluginBase& plug, const double* values, IByteChunk& chunk,
                                    const char* presetName)
{
  if (!values) return false;
  return AppendXML(TreeOfValues(plug, values, presetName), chunk);
}

namespace
{

// The accepted document of L and the text at pos: pos + 4 + L, or 0 when it would be refused.
int ParseStateXML(const PluginBase& plug, const IByteChunk& chunk, int pos, int64_t limit, PresetXMLTree& tree)
{
  const int64_t size = chunk.Size();
  const int64_t end = limit < 0 ? size : std::min(limit, size);
  if (pos < 0 || int64_t(pos) + 4 > end) return 0;
  int32_t length = 0;
  if (chunk.Get(length, pos) < 0) return 0;
  if (length < 1 || length > kMaxPresetXMLBytes || int64_t(pos) + 4 + length > end) return 0;

  // The text ends at its first zero byte: nothing after it reaches the parser.
  const char* const start = reinterpret_cast<const char*>(chunk.GetData()) + pos + 4;
  const std::string text(start, strnlen(start, size_t(length)));
  if (tree.Parse(text.c_str(), false) != PresetXMLTree::EParse::kOK || !WrittenBy(plug, tree)) return 0;
  return pos + 4 + length;
}

} // namespace

int IXMLParameters::CheckStateXML(const PluginBase& plug, const IByteChunk& chunk, int pos, int64_t limit)
{
  PresetXMLTree tree;
  return ParseStateXML(plug, chunk, pos, limit, tree);
}

int IXMLParameters::ReadStateXML(PluginBase& plug, const IByteChunk& chunk, int pos, int64_t limit)
{
  PresetXMLTree tree;
  const int end = ParseStateXML(plug, chunk, pos, limit, tree);
  if (end < 1) return 0;
  if (IPreset* preset = plug.GetPreset(0)) preset->SetName(tree.presetName.c_str());
  for (const PresetXMLTree::Param& p : tree.params)
  {
    const int idx = FindParam(plug, p.name);
    if (idx >= 0) plug.GetParam(idx)->Set(p.value);
  }
  plug.OnParamReset(kPresetRecall);
  return end;
}
