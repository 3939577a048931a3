// VST2 program (fxp) and bank (fxb) files of PluginBase.
//
// Layout (all integers and floats big-endian):
//   fxp: "CcnK", byte size, "FxCk"|"FPCh", version 1, unique id, decimal version, parameter count, name[28],
//        then 4 × count floats (FxCk) or chunk size and chunk (FPCh; byte size = chunk size + 60).
//   fxb: "CcnK", byte size, "FxBk"|"FBCh", version 2, unique id, decimal version, program count, current program,
//        124 zero bytes, then one fxp record per program (FxBk) or chunk size and chunk (FBCh; byte size =
//        chunk size + 160).
// The chunk of both chunk forms starts with the "tffp" version header.
//
// Files are untrusted: every field and the length are checked before anything changes, and a load that fails
// later restores what it changed.

#include "framework/PluginBase.h"
#include "framework/RegularFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace plugin
{

namespace
{
constexpr int kNameFieldLen = 28;
constexpr int kProgramHeaderLen = 56; // up to and including the name
constexpr int kProgramChunkOffset = 60;
constexpr int kBankHeaderLen = 156;
constexpr int kBankChunkOffset = 160;
// A file larger than this is not an fxp or fxb of ours.
constexpr long kMaxFileSize = 0x40000000L;

constexpr uint32_t FourCC(const char (&s)[5])
{
  return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
         uint32_t(uint8_t(s[3]));
}

constexpr uint32_t kCcnK = FourCC("CcnK");
constexpr uint32_t kFxCk = FourCC("FxCk");
constexpr uint32_t kFPCh = FourCC("FPCh");
constexpr uint32_t kFxBk = FourCC("FxBk");
constexpr uint32_t kFBCh = FourCC("FBCh");

// ---------------------------------------------------------------------------------------------------------------
// Big-endian fields
// ---------------------------------------------------------------------------------------------------------------

void PutBE32(std::vector<uint8_t>& out, uint32_t v)
{
  out.push_back(uint8_t(v >> 24));
  out.push_back(uint8_t(v >> 16));
  out.push_back(uint8_t(v >> 8));
  out.push_back(uint8_t(v));
}

void PutBEFloat(std::vector<uint8_t>& out, float f)
{
  uint32_t v = 0;
  std::memcpy(&v, &f, sizeof(v));
  PutBE32(out, v);
}

// The name field: at most 27 bytes, zero-padded, so it always holds a terminator; a longer name is cut before
// the UTF-8 character that would not fit whole.
void PutName(std::vector<uint8_t>& out, const char* name)
{
  uint8_t field[kNameFieldLen] = {};
  const size_t len = IPreset::NameLength(name, kNameFieldLen - 1);
  if (len) std::memcpy(field, name, len);
  out.insert(out.end(), field, field + kNameFieldLen);
}

// Whether the name field of a chunk-form program stands for the slot's name as its state left it (before:
// the slot's name until then): a prefix of it, where the state brought that name or the field could not hold
// it whole. The state's own name then stays whole.
bool FieldCutsName(const std::string& field, const char* name, const char* before)
{
  const size_t length = std::strlen(name);
  if (field.empty() || field.size() >= length || std::memcmp(name, field.data(), field.size()) != 0) return false;
  return std::strcmp(name, before) != 0 || length > size_t(kNameFieldLen - 1);
}

// A program record up to and including its name: "CcnK", byte size, kind, format version 1, unique id, decimal
// version, parameter count, name.
void PutProgramHeader(std::vector<uint8_t>& out, const PluginBase& plug, uint32_t byteSize, uint32_t kind,
                      const char* name)
{
  PutBE32(out, kCcnK);
  PutBE32(out, byteSize);
  PutBE32(out, kind);
  PutBE32(out, 1);
  PutBE32(out, uint32_t(plug.GetUniqueID()));
  PutBE32(out, uint32_t(plug.GetPluginVersion(true)));
  PutBE32(out, uint32_t(plug.NParams()));
  PutName(out, name);
}

// Reads from a whole file held in memory; every read is bounds-checked by the caller's length checks.
struct FileView
{
  const uint8_t* data;
  int64_t size;

  bool Has(int64_t pos, int64_t len) const { return pos >= 0 && len >= 0 && pos + len <= size; }
  uint32_t BE32(int64_t pos) const
  {
    const uint8_t* p = data + pos;
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
  }
  int32_t BEI32(int64_t pos) const { return static_cast<int32_t>(BE32(pos)); }
  float BEFloat(int64_t pos) const
  {
    const uint32_t v = BE32(pos);
    float f = 0.f;
    std::memcpy(&f, &v, sizeof(f));
    return f;
  }
  // The name field at pos: read up to its first zero, never more than its 28 bytes.
  std::string Name(int64_t pos) const
  {
    const char* p = reinterpret_cast<const char*>(data + pos);
    return std::string(p, strnlen(p, kNameFieldLen));
  }
};

bool ReadWholeFile(const char* path, IByteChunk& chunk)
{
  // Never a FIFO or device: opening one could wait for a writer for ever.
  FILE* f = OpenRegularFile(path, kMaxFileSize);
  if (!f) return false;
  bool ok = true;
  uint8_t buf[16384];
  for (;;)
  {
    const size_t n = std::fread(buf, 1, sizeof(buf), f);
    if (n > 0)
    {
      const int before = chunk.Size();
      if (before + static_cast<long>(n) > kMaxFileSize ||
          chunk.PutBytes(buf, static_cast<int>(n)) != before + static_cast<int>(n))
      {
        ok = false;
        break;
      }
    }
    if (n < sizeof(buf))
    {
      ok = !std::ferror(f);
      break;
    }
  }
  std::fclose(f);
  return ok;
}

// Writes bytes to path through a temporary file in the same folder, so a failed save leaves no partial file and
// an existing file stays intact until the new one is complete.
bool WriteFileAtomically(const char* path, const std::vector<uint8_t>& bytes)
{
  if (!path || !*path) return false;
  const std::string tmp = std::string(path) + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fflush(f) == 0) && ok;
  ok = (std::fclose(f) == 0) && ok;
  if (ok) ok = std::rename(tmp.c_str(), path) == 0;
  if (!ok) std::remove(tmp.c_str());
  return ok;
}

// Copies the chunk-form payload [offset, offset + size) of a file into its own chunk.
bool ExtractChunk(const FileView& file, int64_t sizeFieldPos, int64_t offset, IByteChunk& out)
{
  if (!file.Has(sizeFieldPos, 4)) return false;
  const int32_t chunkSize = file.BEI32(sizeFieldPos);
  if (chunkSize < 0 || !file.Has(offset, chunkSize)) return false;
  return out.PutBytes(file.data + offset, chunkSize) == chunkSize;
}
} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Saving
// ---------------------------------------------------------------------------------------------------------------

bool PluginBase::SaveProgramAsFXP(const char* path) const
{
  if (!path || !*path) return false;
  std::vector<uint8_t> out;
  if (DoesStateChunks())
  {
    IByteChunk chunk;
    chunk.InitChunkWithVersion();
    if (chunk.Size() != 8 || !SerializeState(chunk)) return false;
    if (chunk.Size() > INT32_MAX - kProgramChunkOffset) return false;
    PutProgramHeader(out, *this, uint32_t(chunk.Size() + kProgramChunkOffset), kFPCh, GetPresetName(mCurrentPresetIdx));
    PutBE32(out, uint32_t(chunk.Size()));
    out.insert(out.end(), chunk.GetData(), chunk.GetData() + chunk.Size());
  }
  else
  {
    PutProgramHeader(out, *this, 0, kFxCk, GetPresetName(mCurrentPresetIdx));
    for (int i = 0; i < NParams(); ++i)
      PutBEFloat(out, static_cast<float>(GetParam(i)->GetNormalized()));
  }
  return WriteFileAtomically(path, out);
}

bool PluginBase::SaveBankAsFXB(const char* path) const
{
  if (!path || !*path) return false;
  const int n = NParams();
  std::vector<uint8_t> out;
  PutBE32(out, kCcnK);

  auto putBankFields = [&](uint32_t byteSize, uint32_t kind)
  {
    PutBE32(out, byteSize);
    PutBE32(out, kind);
    PutBE32(out, 2);
    PutBE32(out, uint32_t(GetUniqueID()));
    PutBE32(out, uint32_t(GetPluginVersion(true)));
    PutBE32(out, uint32_t(NPresets()));
    PutBE32(out, uint32_t(mCurrentPresetIdx));
    out.insert(out.end(), kBankHeaderLen - 32, 0);
  };

  if (DoesStateChunks())
  {
    IByteChunk chunk;
    chunk.InitChunkWithVersion();
    if (chunk.Size() != 8 || !SerializePresets(chunk)) return false;
    if (chunk.Size() > INT32_MAX - kBankChunkOffset) return false;
    putBankFields(uint32_t(chunk.Size() + kBankChunkOffset), kFBCh);
    PutBE32(out, uint32_t(chunk.Size()));
    out.insert(out.end(), chunk.GetData(), chunk.GetData() + chunk.Size());
  }
  else
  {
    putBankFields(0, kFxBk);
    for (int p = 0; p < NPresets(); ++p)
    {
      const IPreset* preset = GetPreset(p);
      PutProgramHeader(out, *this, 0, kFxCk, preset->mName);
      int pos = 0;
      for (int i = 0; i < n; ++i)
      {
        double v = 0.0;
        if (pos >= 0) pos = preset->mChunk.Get(v, pos);
        if (pos < 0) v = 0.0; // the chunk is exhausted
        const IParam* param = GetParam(i);
        PutBEFloat(out, static_cast<float>(param->ToNormalized(param->Constrain(v))));
      }
    }
  }
  return WriteFileAtomically(path, out);
}

// ---------------------------------------------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------------------------------------------

namespace
{
// Sets every parameter from the normalised big-endian floats at pos (the caller checked the length). A value that
// is not finite leaves its parameter as it was.
void SetParamsFromFloats(PluginBase& plug, const FileView& file, int64_t pos)
{
  for (int i = 0; i < plug.NParams(); ++i)
  {
    const float f = file.BEFloat(pos + 4 * int64_t(i));
    if (std::isfinite(f)) plug.GetParam(i)->SetNormalized(f);
  }
}

// A parameter-form program record at pos: magics, format version and room for our parameters' values; in a bank
// its parameter count must be ours too.
bool ProgramRecordOK(const FileView& file, int64_t pos, int nParams, bool countMustMatch)
{
  if (!file.Has(pos, kProgramHeaderLen + 4 * int64_t(nParams))) return false;
  return file.BE32(pos) == kCcnK && file.BE32(pos + 8) == kFxCk && file.BEI32(pos + 12) == 1 &&
         (!countMustMatch || file.BEI32(pos + 24) == nParams);
}
} // namespace

bool PluginBase::LoadProgramFromFXP(const char* path)
{
  IByteChunk fileBytes;
  if (!ReadWholeFile(path, fileBytes)) return false;
  const FileView file{fileBytes.GetData(), fileBytes.Size()};

  if (!file.Has(0, kProgramHeaderLen)) return false;
  if (file.BE32(0) != kCcnK || file.BEI32(12) != 1 || file.BEI32(16) != GetUniqueID()) return false;
  const uint32_t kind = file.BE32(8);
  const std::string name = file.Name(28);
  const IPreset* const current = GetPreset(mCurrentPresetIdx);
  const std::string nameBefore = current ? current->mName : "";
  bool keepStateName = false;

  if (kind == kFPCh && DoesStateChunks())
  {
    IByteChunk state;
    if (!ExtractChunk(file, kProgramHeaderLen, kProgramChunkOffset, state)) return false;
    // A state the plug-in refuses changes nothing; should one pass the check and still be refused, the kept
    // state goes back.
    const int pos = state.SkipVersionHeader(0);
    if (CheckState(state, pos) < 1) return false;
    IByteChunk backup;
    const bool haveBackup = SerializeState(backup);
    if (UnserializeCheckedState(state, pos) < 1)
    {
      if (haveBackup) (void)UnserializeState(backup, 0);
      return false;
    }
    if (const IPreset* preset = GetPreset(mCurrentPresetIdx))
      keepStateName = FieldCutsName(name, preset->mName, nameBefore.c_str());
  }
  else if (kind == kFxCk)
  {
    // The count field is not read: a program saved with more parameters loads its first ones.
    if (!ProgramRecordOK(file, 0, NParams(), false)) return false;
    SetParamsFromFloats(*this, file, kProgramHeaderLen);
  }
  else
  {
    return false;
  }

  if (IPreset* preset = GetPreset(mCurrentPresetIdx))
  {
    // The name first, so that a state carrying it stores the program's name.
    if (!name.empty() && !keepStateName) preset->SetName(name.c_str());
    IByteChunk slotState;
    if (SerializeState(slotState))
    {
      preset->mChunk = std::move(slotState);
      preset->mInitialized = true;
    }
  }

  (void)RestorePreset(mCurrentPresetIdx);
  InformHostOfPresetChange();
  return true;
}

bool PluginBase::LoadBankFromFXB(const char* path)
{
  IByteChunk fileBytes;
  if (!ReadWholeFile(path, fileBytes)) return false;
  const FileView file{fileBytes.GetData(), fileBytes.Size()};

  if (!file.Has(0, kBankHeaderLen)) return false;
  if (file.BE32(0) != kCcnK || file.BEI32(16) != GetUniqueID()) return false;
  const uint32_t kind = file.BE32(8);

  if (kind == kFBCh && DoesStateChunks())
  {
    IByteChunk bank;
    if (!ExtractChunk(file, kBankHeaderLen, kBankChunkOffset, bank)) return false;
    const int start = bank.SkipVersionHeader(0);
    if (!CheckPresets(bank, start)) return false;

    // The bank is read in place, so keep everything it can touch and put it back when it is refused.
    struct SavedSlot
    {
      bool initialized;
      std::string name;
      IByteChunk chunk;
    };
    std::vector<SavedSlot> saved;
    saved.reserve(static_cast<size_t>(NPresets()));
    for (int i = 0; i < NPresets(); ++i)
    {
      const IPreset* p = GetPreset(i);
      saved.push_back({p->mInitialized, p->mName, p->mChunk});
    }
    const int savedCurrent = mCurrentPresetIdx;
    IByteChunk savedState;
    const bool haveState = SerializeState(savedState);

    if (UnserializePresets(bank, start) < 1)
    {
      for (int i = 0; i < NPresets(); ++i)
      {
        IPreset* p = GetPreset(i);
        p->mInitialized = saved[i].initialized;
        p->SetName(saved[i].name.c_str());
        p->mChunk = std::move(saved[i].chunk);
      }
      mCurrentPresetIdx = savedCurrent;
      if (haveState && UnserializeState(savedState, 0) >= 1) OnRestoreState();
      return false;
    }
    InformHostOfPresetChange();
    return true;
  }

  if (kind != kFxBk) return false;

  const int n = NParams();
  const int32_t nPrograms = file.BEI32(24);
  const int32_t currentProgram = file.BEI32(28);
  if (nPrograms < 0) return false;
  // Programs beyond our slots have nowhere to go.
  const int nLoad = std::min<int>(nPrograms, NPresets());
  const int64_t recordLen = kProgramHeaderLen + 4 * int64_t(n);
  for (int i = 0; i < nLoad; ++i)
    if (!ProgramRecordOK(file, kBankHeaderLen + i * recordLen, n, true)) return false;

  for (int i = 0; i < nLoad; ++i)
  {
    const int64_t pos = kBankHeaderLen + i * recordLen;
    (void)RestorePreset(i);
    SetParamsFromFloats(*this, file, pos + kProgramHeaderLen);
    IPreset* preset = GetPreset(i);
    const std::string name = file.Name(pos + 28);
    if (!name.empty()) preset->SetName(name.c_str()); // before the state, which may carry it
    IByteChunk slotState;
    if (SerializeState(slotState))
    {
      preset->mChunk = std::move(slotState);
      preset->mInitialized = true;
    }
  }

  (void)RestorePreset(currentProgram);
  InformHostOfPresetChange();
  return true;
}

} // namespace plugin
