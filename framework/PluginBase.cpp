#include "framework/PluginBase.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace plugin
{

namespace
{
const char* const kAPINames[] = {"VST2", "VST3", "AU", "AUv3", "AAX", "APP", "WAM", "WEB"};

int DecimalVersion(int packed)
{
  const int major = (packed >> 16) & 0xffff;
  const int minor = (packed >> 8) & 0xff;
  const int patch = packed & 0xff;
  return major * 1000 + minor * 100 + patch * 10;
}

void VersionStr(int packed, Util_String& str)
{
  str.SetFormatted(32, "v%d.%d.%d", (packed >> 16) & 0xffff, (packed >> 8) & 0xff, packed & 0xff);
}
} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------------------------------------------

PluginBase::PluginBase(int nParams, int nPresets) : IGEditorDelegate(nParams), mPresets(4096), mParamGroups(4096)
{
  for (int i = 0; i < nPresets; ++i)
  {
    auto* preset = new IPreset();
    if (!mPresets.Add(preset))
    {
      delete preset;
      break;
    }
  }
}

PluginBase::~PluginBase()
{
  mPresets.Empty(true);
  mParamGroups.Empty(true);
}

// ---------------------------------------------------------------------------------------------------------------
// Identity
// ---------------------------------------------------------------------------------------------------------------

int PluginBase::GetPluginVersion(bool decimal) const
{
  return decimal ? DecimalVersion(mVersion) : mVersion;
}

void PluginBase::GetPluginVersionStr(Util_String& str) const
{
  VersionStr(mVersion, str);
}

int PluginBase::GetHostVersion(bool decimal) const
{
  return decimal ? DecimalVersion(mHostVersion) : mHostVersion;
}

void PluginBase::GetHostVersionStr(Util_String& str) const
{
  VersionStr(mHostVersion, str);
}

const char* PluginBase::GetAPIStr() const
{
  return (mAPI >= 0 && mAPI < 8) ? kAPINames[mAPI] : "";
}

void PluginBase::GetBuildInfoStr(Util_String& str) const
{
  GetBuildInfoStr(str, __DATE__, __TIME__);
}

void PluginBase::GetBuildInfoStr(Util_String& str, const char* date, const char* time) const
{
  Util_String version;
  GetPluginVersionStr(version);
  str.SetFormatted(256, "%s version %s %s (%s), built on %s at %.5s ", GetPluginName(), version.Get(), GetAPIStr(),
                   GetArchStr(), date ? date : "", time ? time : "");
}

int PluginBase::AddParamGroup(const char* name)
{
  auto* str = new Util_String(name ? name : "");
  if (!mParamGroups.Add(str)) delete str;
  return mParamGroups.GetSize();
}

const char* PluginBase::GetParamGroupName(int idx) const
{
  const Util_String* str = mParamGroups.Get(idx);
  return str ? str->Get() : "";
}

// ---------------------------------------------------------------------------------------------------------------
// Parameter state
// ---------------------------------------------------------------------------------------------------------------

bool PluginBase::CompareState(const uint8_t* incoming, int dataSize, int startPos) const
{
  const int n = NParams();
  if (n == 0) return true;
  if (!incoming || startPos < 0 || dataSize < 0) return false;
  if ((static_cast<int64_t>(startPos) + n) * static_cast<int64_t>(sizeof(double)) > dataSize) return false;

  for (int i = 0; i < n; ++i)
  {
    double v = 0.0;
    std::memcpy(&v, incoming + (static_cast<size_t>(startPos) + i) * sizeof(double), sizeof(double));
    const float ours = static_cast<float>(GetParam(i)->Value());
    if (!(std::fabs(ours - static_cast<float>(v)) < 1e-5f)) return false;
  }
  return true;
}

bool PluginBase::SerializeParams(IByteChunk& chunk) const
{
  for (int i = 0; i < NParams(); ++i)
  {
    const int before = chunk.Size();
    const double v = GetParam(i)->Value();
    if (chunk.Put(v) != before + static_cast<int>(sizeof(double))) return false;
  }
  return true;
}

int PluginBase::CheckState(const IByteChunk& chunk, int startPos) const
{
  const int64_t end = int64_t(startPos) + int64_t(sizeof(double)) * NParams();
  return startPos >= 0 && end <= chunk.Size() ? int(end) : -1;
}

int PluginBase::UnserializeCheckedState(const IByteChunk& chunk, int startPos)
{
  if (CheckState(chunk, startPos) < 1) return -1;
  const int pos = UnserializeState(chunk, startPos);
  return pos >= 1 && LastStateApplied() ? pos : -1;
}

int PluginBase::UnserializeParams(const IByteChunk& chunk, int startPos)
{
  int pos = startPos;
  for (int i = 0; i < NParams() && pos >= 0; ++i)
  {
    double v = 0.0;
    pos = chunk.Get(v, pos);
    // IParam::Set itself refuses a non-finite value, so such a parameter keeps its value.
    if (pos >= 0) GetParam(i)->Set(v);
  }
  OnParamReset(kPresetRecall);
  return pos;
}

// ---------------------------------------------------------------------------------------------------------------
// Operations over the parameter list
// ---------------------------------------------------------------------------------------------------------------

void PluginBase::InitParamRange(int startIdx, int endIdx, int countStart, const char* nameFmtStr, double defaultVal,
                                 double minVal, double maxVal, double step, const char* label, int flags,
                                 const char* group, const IParam::Shape& shape, EParamUnit unit,
                                 IParam::DisplayFunc displayFunc)
{
  int count = countStart;
  ForParamInRange(startIdx, endIdx,
                  [&](int, IParam& param)
                  {
                    char name[IParam::kTextLen] = {};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
                    std::snprintf(name, sizeof(name), nameFmtStr ? nameFmtStr : "", count++);
#pragma GCC diagnostic pop
                    param.InitDouble(name, defaultVal, minVal, maxVal, step, label, flags, group, shape, unit,
                                     displayFunc);
                  });
}

void PluginBase::CloneParamRange(int cloneStartIdx, int cloneEndIdx, int startIdx, const char* searchStr,
                                  const char* replaceStr, const char* newGroup)
{
  for (int s = cloneStartIdx; s <= cloneEndIdx; ++s)
  {
    const IParam* source = GetParam(s);
    IParam* target = GetParam(startIdx + (s - cloneStartIdx));
    if (!source || !target) continue;
    target->Init(*source, searchStr, replaceStr, newGroup);
    target->Set(source->Value());
  }
}

void PluginBase::CopyParamValues(int startIdx, int destIdx, int nParams)
{
  for (int i = 0; i < nParams; ++i)
  {
    const IParam* source = GetParam(startIdx + i);
    IParam* dest = GetParam(destIdx + i);
    if (source && dest) dest->Set(source->Value());
  }
}

void PluginBase::CopyParamValues(const char* inGroup, const char* outGroup)
{
  Util_PtrList<IParam> in(256);
  Util_PtrList<IParam> out(256);
  ForParamInGroup(inGroup, [&](int, IParam& param) { in.Add(&param); });
  ForParamInGroup(outGroup, [&](int, IParam& param) { out.Add(&param); });
  const int n = std::min(in.GetSize(), out.GetSize());
  for (int i = 0; i < n; ++i)
    out.Get(i)->Set(in.Get(i)->Value());
}

void PluginBase::ForParamInRange(int startIdx, int endIdx, const ParamFunc& func)
{
  for (int i = std::max(startIdx, 0); i <= endIdx && i < NParams(); ++i)
    func(i, *GetParam(i));
}

void PluginBase::ForParamInGroup(const char* paramGroup, const ParamFunc& func)
{
  if (!paramGroup) return;
  for (int i = 0; i < NParams(); ++i)
  {
    IParam& param = *GetParam(i);
    if (std::strcmp(param.GetGroup(), paramGroup) == 0) func(i, param);
  }
}

void PluginBase::DefaultParamValues()
{
  DefaultParamValues(0, NParams() - 1);
}

void PluginBase::DefaultParamValues(int startIdx, int endIdx)
{
  ForParamInRange(startIdx, endIdx, [](int, IParam& param) { param.SetToDefault(); });
}

void PluginBase::DefaultParamValues(const char* paramGroup)
{
  ForParamInGroup(paramGroup, [](int, IParam& param) { param.SetToDefault(); });
}

namespace
{
void Randomise(int, IParam& param)
{
  // The float conversion rounds the largest results up to 2^31, so 1.0 is reachable.
  param.SetNormalized(static_cast<double>(static_cast<float>(std::rand()) * 4.656613e-10f));
}
} // namespace

void PluginBase::RandomiseParamValues()
{
  RandomiseParamValues(0, NParams() - 1);
}

void PluginBase::RandomiseParamValues(int startIdx, int endIdx)
{
  ForParamInRange(startIdx, endIdx, Randomise);
}

void PluginBase::RandomiseParamValues(const char* paramGroup)
{
  ForParamInGroup(paramGroup, Randomise);
}

void PluginBase::PrintParamValues()
{
  ForParamInRange(0, NParams() - 1, [](int, IParam& param) { param.PrintDetails(); });
}

} // namespace plugin
