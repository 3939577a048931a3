// ZANIQ — the host state chunk (a RIFF-style frame around the preset document), presets filled from files, and
// the default preset loaded at start-up.

#include "engine/ZANIQ.h"

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace plugin;

namespace
{

// Frame offsets from the chunk's first byte.
constexpr int kOffSizeA = 4;
constexpr int kOffVersionA = 8;
constexpr int kOffForm = 12;
constexpr int kOffList = 16;
constexpr int kOffSizeB = 20;
constexpr int kOffVersionB = 24;
constexpr int kOffLength = 28;

bool TagAt(const IByteChunk& chunk, int64_t pos, const char (&tag)[5])
{
  return pos >= 0 && pos + 4 <= chunk.Size() && std::memcmp(chunk.GetData() + pos, tag, 4) == 0;
}

// Little-endian 32-bit word at pos (inside the chunk).
uint32_t WordAt(const IByteChunk& chunk, int64_t pos)
{
  const uint8_t* b = chunk.GetData() + pos;
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

void SetWordAt(IByteChunk& chunk, int pos, uint32_t value)
{
  uint8_t* b = chunk.GetData() + pos;
  for (int i = 0; i < 4; ++i) b[i] = uint8_t(value >> (8 * i));
}

bool PutWord(IByteChunk& chunk, uint32_t value)
{
  const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
  const int before = chunk.Size();
  return chunk.PutBytes(bytes, 4) == before + 4;
}

bool PutTag(IByteChunk& chunk, const char (&tag)[5])
{
  const int before = chunk.Size();
  return chunk.PutBytes(tag, 4) == before + 4;
}

// Appends the 28-byte frame header with both sizes 0; start receives the frame's first byte.
bool BeginFrame(IByteChunk& chunk, int& start)
{
  start = chunk.Size();
  return PutTag(chunk, "RIFF") && PutWord(chunk, 0) && PutWord(chunk, 1) && PutTag(chunk, "QVCM") &&
         PutTag(chunk, "QVCS") && PutWord(chunk, 0) && PutWord(chunk, 1);
}

bool AppendZero(IByteChunk& chunk)
{
  const uint8_t zero = 0;
  const int before = chunk.Size();
  return chunk.PutBytes(&zero, 1) == before + 1;
}

// Writes size B and size A for everything appended since start, each followed by a zero pad byte when odd.
bool EndFrame(IByteChunk& chunk, int start)
{
  if (int64_t(chunk.Size()) < int64_t(start) + kOffLength) return false;
  bool ok = true;
  const int64_t sizeB = int64_t(chunk.Size()) - (int64_t(start) + kOffVersionB);
  SetWordAt(chunk, start + kOffSizeB, uint32_t(sizeB));
  if (sizeB & 1) ok = AppendZero(chunk);
  const int64_t sizeA = int64_t(chunk.Size()) - (int64_t(start) + kOffVersionA);
  SetWordAt(chunk, start + kOffSizeA, uint32_t(sizeA));
  if (sizeA & 1) ok = AppendZero(chunk) && ok;
  return ok;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// State chunk
// ---------------------------------------------------------------------------------------------------------------

bool ZANIQ::SerializeState(IByteChunk& chunk) const
{
  int start = 0;
  if (!BeginFrame(chunk, start)) return false;
  const bool xml = WriteStateXML(*this, chunk);
  return EndFrame(chunk, start) && xml;
}

namespace
{

// The frame at startPos. result is what the reader returns; when framed is set, the document's text starts at
// textPos and must end before textLimit.
struct Frame
{
  int result = 0;
  bool framed = false;
  int textPos = 0;
  int64_t textLimit = 0;
};

Frame ReadFrame(const IByteChunk& chunk, int startPos)
{
  const int64_t n = chunk.Size();
  const int64_t p = startPos;
  if (n == 0 || p < 0 || p + 4 > n || !TagAt(chunk, p, "RIFF")) return {startPos};
  if (p + kOffForm > n) return {-1};
  if (WordAt(chunk, p + kOffVersionA) != 1 || !TagAt(chunk, p + kOffForm, "QVCM")) return {int(p + kOffForm)};
  if (!TagAt(chunk, p + kOffList, "QVCS")) return {int(p + kOffList)};
  if (p + kOffLength > n) return {-1};
  if (WordAt(chunk, p + kOffSizeB) == 0 || WordAt(chunk, p + kOffVersionB) != 1) return {int(p + kOffLength)};

  // The frame must hold its own header and lie inside the chunk before anything inside it is read.
  const int64_t sizeA = WordAt(chunk, p + kOffSizeA);
  const int64_t end = p + kOffVersionA + sizeA + (sizeA & 1);
  if (end > n || sizeA < kOffLength - kOffVersionA) return {-1};
  return {int(end), true, int(p + kOffLength), p + kOffVersionA + sizeA};
}

} // namespace

int ZANIQ::UnserializeState(const IByteChunk& chunk, int startPos)
{
  mLastStateApplied = false;
  const Frame frame = ReadFrame(chunk, startPos);
  // A refused document changes nothing and still ends at the frame's end; the text must lie inside the frame.
  if (frame.framed) mLastStateApplied = ReadStateXML(*this, chunk, frame.textPos, frame.textLimit) > 0;
  return frame.result;
}

int ZANIQ::CheckState(const IByteChunk& chunk, int startPos) const
{
  const Frame frame = ReadFrame(chunk, startPos);
  return frame.framed && CheckStateXML(*this, chunk, frame.textPos, frame.textLimit) > 0 ? frame.result : -1;
}

// ---------------------------------------------------------------------------------------------------------------
// Presets filled from values and files
// ---------------------------------------------------------------------------------------------------------------

bool ZANIQ::AppendStateChunk(const double* values, const char* presetName, IByteChunk& chunk) const
{
  std::vector<double> resolved(static_cast<size_t>(NParams()));
  for (int i = 0; i < NParams(); ++i)
    resolved[size_t(i)] = values[i] == kPresetNoValue ? GetParam(i)->GetDefault() : values[i];

  int start = 0;
  if (!BeginFrame(chunk, start)) return false;
  const bool xml = BuildPresetXML(*this, resolved.data(), chunk, presetName);
  return EndFrame(chunk, start) && xml;
}

void ZANIQ::MakeStatePreset(IPreset& preset, const char* name, int nParamsNamed, ...)
{
  preset.mInitialized = true;
  preset.SetName(name);
  std::vector<double> values(static_cast<size_t>(NParams()), kPresetNoValue);
  va_list args;
  va_start(args, nParamsNamed);
  for (int i = 0; i < nParamsNamed; ++i)
  {
    const int idx = va_arg(args, int);
    const IParam* param = GetParam(idx);
    const IParam::EParamType type = param ? param->Type() : IParam::kTypeDouble;
    const bool whole = type == IParam::kTypeBool || type == IParam::kTypeInt || type == IParam::kTypeEnum;
    const double value = whole ? double(va_arg(args, int)) : va_arg(args, double);
    if (param) values[size_t(idx)] = value;
  }
  va_end(args);
  preset.mChunk.Clear();
  (void)AppendStateChunk(values.data(), preset.mName, preset.mChunk);
}

void ZANIQ::LoadPresetFileIntoPreset(IPreset* preset, const Util_String& path, bool filtered)
{
  if (!preset) return;
  preset->mInitialized = true;
  std::vector<double> values(static_cast<size_t>(NParams()), kPresetNoValue);
  Util_String name;
  (void)ParsePresetFile(*this, path, values.data(), name, filtered);
  preset->SetName(name.Get());
  preset->mChunk.Clear();
  (void)AppendStateChunk(values.data(), preset->mName, preset->mChunk);
}

bool ZANIQ::LoadDefaultPreset(const Util_String& presetFolder)
{
  if (presetFolder.GetLength() == 0) return false;
  Util_String path(presetFolder.Get());
  path.Append("/default.tps");
  Util_String presetName;
  return LoadPresetFile(*this, path, presetName, true, false, false, false, nullptr);
}
