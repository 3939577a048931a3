// Preset slots, the preset bank, base64 blobs and the source-text dumps of PluginBase.

#include "framework/PluginBase.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace plugin
{

namespace
{
constexpr const char* kUserPresetName = "user preset";
constexpr const char* kDefaultPresetName = "Empty";
// A value of MakePresetFromNamedParams that stands for "not given".
constexpr double kUnusedValue = 9.999e-8;

const char kBase64Chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c)
{
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

std::string Base64Encode(const uint8_t* data, int size)
{
  std::string out;
  if (!data || size <= 0) return out;
  out.reserve((static_cast<size_t>(size) + 2) / 3 * 4);
  int i = 0;
  for (; i + 2 < size; i += 3)
  {
    const uint32_t v = (uint32_t(data[i]) << 16) | (uint32_t(data[i + 1]) << 8) | data[i + 2];
    out += kBase64Chars[(v >> 18) & 63];
    out += kBase64Chars[(v >> 12) & 63];
    out += kBase64Chars[(v >> 6) & 63];
    out += kBase64Chars[v & 63];
  }
  const int rest = size - i;
  if (rest > 0)
  {
    const uint32_t v = (uint32_t(data[i]) << 16) | (rest == 2 ? uint32_t(data[i + 1]) << 8 : 0u);
    out += kBase64Chars[(v >> 18) & 63];
    out += kBase64Chars[(v >> 12) & 63];
    out += rest == 2 ? kBase64Chars[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

// The value text of the dumps, in the C locale whatever the process locale.
std::string ValueText(const IParam& param)
{
  const double v = param.Value();
  char buf[64] = {};
  switch (param.Type())
  {
  case IParam::kTypeBool:
    return v >= 0.5 ? "true" : "false";
  case IParam::kTypeInt:
  case IParam::kTypeEnum:
    std::snprintf(buf, sizeof(buf), "%d", static_cast<int>(v));
    return buf;
  default:
  {
    const auto res = std::to_chars(buf, buf + sizeof(buf) - 1, v, std::chars_format::fixed, 6);
    return std::string(buf, res.ec == std::errc() ? res.ptr : buf);
  }
  }
}

void AppendLine(const char* path, const std::string& line)
{
  if (!path || !*path) return;
  FILE* f = std::fopen(path, "a");
  if (!f) return;
  std::fwrite(line.data(), 1, line.size(), f);
  std::fclose(f);
}
} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Names
// ---------------------------------------------------------------------------------------------------------------

size_t IPreset::NameLength(const char* text, size_t maxBytes)
{
  const auto continuation = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
  size_t len = text ? strnlen(text, maxBytes) : 0;
  if (len == maxBytes && continuation(text[len]))
  {
    size_t lead = len; // back over the character's kept continuation bytes to its lead byte
    while (lead > 0 && len - lead < 2 && continuation(text[lead - 1])) --lead;
    const unsigned char u = lead > 0 ? static_cast<unsigned char>(text[lead - 1]) : 0;
    const size_t bytes = u >= 0xF0 ? 4 : u >= 0xE0 ? 3 : 2;
    if (u >= 0xC0 && len - (lead - 1) < bytes) len = lead - 1;
  }
  return len;
}

// ---------------------------------------------------------------------------------------------------------------
// Filling slots
// ---------------------------------------------------------------------------------------------------------------

IPreset* PluginBase::GetNextUninitializedPreset() const
{
  for (int i = 0; i < NPresets(); ++i)
    if (!GetPreset(i)->mInitialized) return GetPreset(i);
  return nullptr;
}

void PluginBase::MakeDefaultPreset(const char* name, int nPresets)
{
  for (int i = 0; i < nPresets; ++i)
  {
    IPreset* preset = GetNextUninitializedPreset();
    if (!preset) return;
    if (!StoreNamedState(*preset, name ? name : kDefaultPresetName)) return;
  }
}

bool PluginBase::StoreNamedState(IPreset& preset, const char* name)
{
  char previous[IPreset::kNameLen];
  std::memcpy(previous, preset.mName, sizeof previous);
  preset.SetName(name);
  IByteChunk state;
  if (!SerializeState(state))
  {
    preset.SetName(previous);
    return false;
  }
  preset.mChunk = std::move(state);
  preset.mInitialized = true;
  return true;
}

void PluginBase::MakeDefaultUserPresets()
{
  MakeDefaultPreset(kDefaultPresetName, NPresets());
}

void PluginBase::MakePreset(const char* name, ...)
{
  IPreset* preset = GetNextUninitializedPreset();
  if (!preset) return;

  IByteChunk state;
  va_list args;
  va_start(args, name);
  for (int i = 0; i < NParams(); ++i)
  {
    const IParam::EParamType type = GetParam(i)->Type();
    const bool isInt = type == IParam::kTypeBool || type == IParam::kTypeInt || type == IParam::kTypeEnum;
    const double v = isInt ? static_cast<double>(va_arg(args, int)) : va_arg(args, double);
    state.Put(v);
  }
  va_end(args);

  preset->mChunk = std::move(state);
  preset->SetName(name);
  preset->mInitialized = true;
}

void PluginBase::MakePresetFromNamedParams(const char* name, int nParamsNamed, ...)
{
  IPreset* preset = GetNextUninitializedPreset();
  if (!preset) return;

  const int n = NParams();
  Util_TypedBuf<double> values(1024);
  if (n > 0 && !values.Resize(n)) return;
  for (int i = 0; i < n; ++i)
    values.Get()[i] = GetParam(i)->Value();

  va_list args;
  va_start(args, nParamsNamed);
  for (int k = 0; k < nParamsNamed; ++k)
  {
    const int idx = va_arg(args, int);
    const IParam* param = GetParam(idx);
    const IParam::EParamType type = param ? param->Type() : IParam::kTypeDouble;
    const bool isInt = type == IParam::kTypeBool || type == IParam::kTypeInt || type == IParam::kTypeEnum;
    const double v = isInt ? static_cast<double>(va_arg(args, int)) : va_arg(args, double);
    if (param && v != kUnusedValue) values.Get()[idx] = v;
  }
  va_end(args);

  IByteChunk state;
  for (int i = 0; i < n; ++i)
    state.Put(values.Get()[i]);
  preset->mChunk = std::move(state);
  preset->SetName(name);
  preset->mInitialized = true;
}

void PluginBase::MakePresetFromChunk(const char* name, const IByteChunk& chunk)
{
  IPreset* preset = GetNextUninitializedPreset();
  if (!preset) return;
  preset->mChunk = chunk;
  preset->SetName(name);
  preset->mInitialized = true;
}

void PluginBase::MakePresetFromBlob(const char* name, const char* blob, int sizeOfChunk)
{
  if (sizeOfChunk < 0) return;
  IPreset* preset = GetNextUninitializedPreset();
  if (!preset) return;

  Util_TypedBuf<uint8_t> bytes(4096);
  if (sizeOfChunk > 0)
  {
    if (!bytes.Resize(sizeOfChunk)) return;
    std::memset(bytes.Get(), 0, static_cast<size_t>(sizeOfChunk));
  }

  int written = 0;
  uint32_t bits = 0;
  int nBits = 0;
  for (const char* p = blob; p && written < sizeOfChunk; ++p)
  {
    const int v = Base64Value(*p);
    if (v < 0) break; // "=" padding, the terminator or anything foreign
    bits = (bits << 6) | static_cast<uint32_t>(v);
    nBits += 6;
    if (nBits >= 8)
    {
      nBits -= 8;
      bytes.Get()[written++] = static_cast<uint8_t>((bits >> nBits) & 0xff);
    }
  }

  IByteChunk chunk;
  if (chunk.PutBytes(bytes.Get(), sizeOfChunk) != sizeOfChunk) return;
  preset->mChunk = std::move(chunk);
  preset->SetName(name);
  preset->mInitialized = true;
}

// ---------------------------------------------------------------------------------------------------------------
// Recall and housekeeping
// ---------------------------------------------------------------------------------------------------------------

bool PluginBase::RestorePreset(int idx)
{
  IPreset* preset = GetPreset(idx);
  if (!preset) return false;

  if (preset->mInitialized)
  {
    if (UnserializeCheckedState(preset->mChunk, 0) < 1) return false;
  }
  else
  {
    int count = 0;
    for (int i = 0; i < NPresets(); ++i)
      if (std::strstr(GetPreset(i)->mName, kUserPresetName)) ++count;

    char name[IPreset::kNameLen];
    std::snprintf(name, sizeof(name), "%s %d", kUserPresetName, count + 1);
    if (!StoreNamedState(*preset, name)) return false;
  }

  mCurrentPresetIdx = idx;
  OnPresetsModified();
  OnRestoreState();
  return true;
}

bool PluginBase::RestorePresetByName(const char* name)
{
  if (!name || !*name) return false;
  for (int i = 0; i < NPresets(); ++i)
    if (const IPreset* preset = GetPreset(i); preset && std::strcmp(preset->mName, name) == 0) return RestorePreset(i);
  return false;
}

const char* PluginBase::GetPresetName(int idx) const
{
  const IPreset* preset = GetPreset(idx);
  return preset ? preset->mName : "";
}

void PluginBase::ModifyCurrentPreset(const char* name)
{
  IPreset* preset = GetPreset(mCurrentPresetIdx);
  if (!preset) return;
  // The name first: a state that carries the preset's name must store the new one, or recalling the slot
  // would bring the old name back.
  char previous[IPreset::kNameLen];
  std::memcpy(previous, preset->mName, sizeof previous);
  if (name && *name) preset->SetName(name);
  IByteChunk state;
  // A state that cannot be written leaves the slot as it was rather than empty, and its name with it: a name
  // promises the state stored under it.
  if (SerializeState(state)) preset->mChunk = std::move(state);
  else std::memcpy(preset->mName, previous, sizeof previous);
}

void PluginBase::PruneUninitializedPresets()
{
  // Walk the original order, tracking where the current slot ends up.
  int current = -1;
  int kept = 0;
  const int n = NPresets();
  int readIdx = 0;
  for (int orig = 0; orig < n; ++orig)
  {
    IPreset* preset = GetPreset(readIdx);
    if (preset->mInitialized)
    {
      if (orig == mCurrentPresetIdx) current = kept;
      ++kept;
      ++readIdx;
    }
    else
    {
      mPresets.Delete(readIdx, true);
    }
  }
  mCurrentPresetIdx = current >= 0 ? current : 0;
}

// ---------------------------------------------------------------------------------------------------------------
// Bank
// ---------------------------------------------------------------------------------------------------------------

bool PluginBase::SerializePresets(IByteChunk& chunk) const
{
  for (int i = 0; i < NPresets(); ++i)
  {
    const IPreset* preset = GetPreset(i);
    const int before = chunk.Size();
    const int nameLen = static_cast<int>(std::strlen(preset->mName));
    if (chunk.PutStr(preset->mName) != before + 4 + nameLen) return false;
    if (chunk.PutBool(preset->mInitialized) != before + 5 + nameLen) return false;
    if (preset->mInitialized && chunk.PutChunk(preset->mChunk) != before + 5 + nameLen + preset->mChunk.Size())
      return false;
  }
  return true;
}

int PluginBase::UnserializePresets(const IByteChunk& chunk, int startPos)
{
  int pos = startPos;
  for (int i = 0; i < NPresets() && pos >= 0; ++i)
  {
    Util_String name;
    bool initialized = false;
    pos = chunk.GetStr(name, pos);
    pos = chunk.GetBool(initialized, pos);
    if (pos < 0) break;

    IPreset* preset = GetPreset(i);
    // A refused state ends the bank here: the bytes after it are not another slot's.
    if (initialized && (pos = UnserializeCheckedState(chunk, pos)) < 1) break;
    // The bank's name for the slot goes first: the state just read may carry another, and the slot's own state
    // is to carry this one.
    preset->SetName(name.Get());
    if (initialized)
    {
      // Each slot holds a state written by this plug-in, whatever form the bank carried.
      IByteChunk state;
      if (SerializeState(state)) preset->mChunk = std::move(state);
    }
    preset->mInitialized = initialized;
  }

  // A refused current slot leaves the parameters as the bank left them; the bank's own result still stands.
  (void)RestorePreset(mCurrentPresetIdx);
  return pos;
}

bool PluginBase::CheckPresets(const IByteChunk& chunk, int startPos) const
{
  int pos = startPos;
  for (int i = 0; i < NPresets() && pos >= 0; ++i)
  {
    Util_String name;
    bool initialized = false;
    pos = chunk.GetStr(name, pos);
    pos = chunk.GetBool(initialized, pos);
    if (pos >= 0 && initialized) pos = CheckState(chunk, pos);
  }
  return pos >= 1;
}

// ---------------------------------------------------------------------------------------------------------------
// Source-text dumps
// ---------------------------------------------------------------------------------------------------------------

void PluginBase::DumpMakePresetSrc(const char* path) const
{
  std::string line = "MakePreset(\"";
  line += GetPresetName(mCurrentPresetIdx);
  line += "\"";
  for (int i = 0; i < NParams(); ++i)
  {
    line += ", ";
    line += ValueText(*GetParam(i));
  }
  line += ");\n";
  AppendLine(path, line);
}

void PluginBase::DumpMakePresetFromNamedParamsSrc(const char* path, const char* const* paramEnumNames) const
{
  std::string line = "  MakePresetFromNamedParams(\"";
  line += GetPresetName(mCurrentPresetIdx);
  line += "\", ";
  line += std::to_string(NParams());
  for (int i = 0; i < NParams(); ++i)
  {
    const char* enumName = (paramEnumNames && paramEnumNames[i]) ? paramEnumNames[i] : "";
    line += ",\n    ";
    line += enumName;
    line += ", ";
    line += ValueText(*GetParam(i));
  }
  line += ");\n";
  AppendLine(path, line);
}

void PluginBase::DumpPresetBlob(const char* path) const
{
  const IPreset* preset = GetPreset(mCurrentPresetIdx);
  const int size = preset ? preset->mChunk.Size() : 0;
  std::string line = "MakePresetFromBlob(\"";
  line += GetPresetName(mCurrentPresetIdx);
  line += "\", \"";
  if (preset) line += Base64Encode(preset->mChunk.GetData(), size);
  line += "\", ";
  line += std::to_string(size);
  line += ");\n";
  AppendLine(path, line);
}

} // namespace plugin
