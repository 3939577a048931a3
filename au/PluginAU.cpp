// PluginAU — object, buses, connections, initialise.

#include "au/PluginAU.h"
#include "au/PluginAU_p.h"

#include <CoreFoundation/CoreFoundation.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace plugin
{

namespace
{

// Reads a decimal number at *p (saturating), advancing past its digits.
uint32_t ReadVersionNumber(const char*& p)
{
  uint32_t n = 0;
  while (*p >= '0' && *p <= '9')
  {
    n = n > 0x0FFFFFFFu ? 0xFFFFFFFFu : n * 10u + static_cast<uint32_t>(*p - '0');
    ++p;
  }
  return n;
}

// "10.7.3" → 0x000A0703: the first number shifted by 16, then (after one separator character) the low byte of
// the second shifted by 8, then the low byte of the third. Missing parts are 0.
int ParseBundleVersion(const char* text)
{
  if (!text) return 0;
  const char* p = text;
  uint32_t version = (ReadVersionNumber(p) & 0xFFFFu) << 16;
  if (*p)
  {
    ++p;
    version |= (ReadVersionNumber(p) & 0xFFu) << 8;
    if (*p)
    {
      ++p;
      version |= ReadVersionNumber(p) & 0xFFu;
    }
  }
  return static_cast<int>(version);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Construction and destruction
// ---------------------------------------------------------------------------------------------------------------

PluginAU::PluginAU(const InstanceInfo& info, const Config& config)
: PluginAPIBase(config, kAPIAU)
, PluginProcessor(config, kAPIAU)
, mCocoaViewFactoryClassName(info.mCocoaViewFactoryClassName)
, mMainThread(std::this_thread::get_id())
{
  int nInBuses = MaxNBuses(kInput);
  if (nInBuses == 1 && MaxNChannelsForBus(kInput, 0) == 0) nInBuses = 0;
  const int nOutBuses = MaxNBuses(kOutput);

  for (int i = 0; i < nInBuses; ++i) mInputBusConnections.Add(new AUInputConnection());

  int start = 0;
  for (int i = 0; i < nInBuses; ++i)
  {
    auto* bus = new AUBus();
    bus->mNPlugChannels = std::abs(MaxNChannelsForBus(kInput, i));
    bus->mPlugChannelStartIdx = start;
    start += bus->mNPlugChannels;
    mInBuses.Add(bus);
  }
  start = 0;
  for (int i = 0; i < nOutBuses; ++i)
  {
    auto* bus = new AUBus();
    bus->mNPlugChannels = std::abs(MaxNChannelsForBus(kOutput, i));
    bus->mPlugChannelStartIdx = start;
    start += bus->mNPlugChannels;
    mOutBuses.Add(bus);
  }

  UpdateInputConnections();
  (void)ApplyBlockSize(512);
  CreateTimer();
}

PluginAU::~PluginAU()
{
  // No tick may reach an object whose derived parts are gone; the entry points already stopped it, this covers
  // objects deleted any other way.
  StopIdleTimers();
  mPropertyListeners.Empty(true);
  mInputBusConnections.Empty(true);
  mOutBuses.Empty(true);
  mInBuses.Empty(true);
}

// ---------------------------------------------------------------------------------------------------------------
// Buses
// ---------------------------------------------------------------------------------------------------------------

const AUBus* PluginAU::GetBus(AudioUnitScope scope, AudioUnitElement element) const
{
  if (element > 0x7fffffffu) return nullptr;
  const int idx = static_cast<int>(element);
  if (scope == kAudioUnitScope_Input) return mInBuses.Get(idx);
  if (scope == kAudioUnitScope_Output || scope == kAudioUnitScope_Global) return mOutBuses.Get(idx);
  return nullptr;
}

AUBus* PluginAU::GetBusMutable(AudioUnitScope scope, AudioUnitElement element)
{
  return const_cast<AUBus*>(GetBus(scope, element));
}

int PluginAU::SumHostChannels(const Util_PtrList<AUBus>& buses, int except) const
{
  int sum = 0;
  bool counted = false;
  for (int i = 0; i < buses.GetSize(); ++i)
  {
    const AUBus* bus = buses.Get(i);
    if (i == except || bus->mNHostChannels < 0) continue;
    sum += bus->mNHostChannels;
    counted = true;
  }
  return counted ? sum : -1;
}

bool PluginAU::IsLegalBusFormat(AudioUnitScope scope, AudioUnitElement element, int channels) const
{
  const int idx = element > 0x7fffffffu ? -1 : static_cast<int>(element);
  int nIn, nOut;
  if (scope == kAudioUnitScope_Input)
  {
    nIn = std::max(SumHostChannels(mInBuses, idx), 0) + channels;
    nOut = mInitialized ? SumHostChannels(mOutBuses) : -1;
  }
  else
  {
    nIn = mInitialized ? SumHostChannels(mInBuses) : -1;
    nOut = std::max(SumHostChannels(mOutBuses, idx), 0) + channels;
  }
  return LegalIO(nIn, nOut);
}

void PluginAU::UpdateInputConnections()
{
  if (mHoldRoute) return; // a compound change publishes once, at its end
  std::vector<AURenderInput> inputs;
  try
  {
    inputs.resize(static_cast<size_t>(mInBuses.GetSize()));
  }
  catch (...)
  {
    return; // no memory: the render keeps the route it has
  }
  for (int i = 0; i < mInBuses.GetSize(); ++i)
  {
    AUBus* bus = mInBuses.Get(i);
    AUInputConnection* conn = mInputBusConnections.Get(i);
    if (conn->mUpstreamRenderProc && conn->mUpstreamObj)
      conn->mInputType = AUInputType::DirectFastProc;
    else if (conn->mUpstreamUnit)
      conn->mInputType = AUInputType::DirectNoFastProc;
    else if (conn->mInputCallback.inputProc)
      conn->mInputType = AUInputType::RenderCallback;
    else
      conn->mInputType = AUInputType::NotConnected;

    bus->mConnected = conn->mInputType != AUInputType::NotConnected;
    if (bus->mConnected && bus->mNHostChannels < 0) bus->mNHostChannels = bus->mNPlugChannels;
    AURenderInput& in = inputs[static_cast<size_t>(i)];
    in.mConnected = bus->mConnected;
    // Channels beyond the bus's own belong to the next bus: never connect or pull those.
    in.mNChannels = bus->mConnected ? std::clamp(std::min(bus->mNHostChannels, bus->mNPlugChannels), 0,
                                                 kMaxBusChannels)
                                    : 0;
    in.mPlugChannelStartIdx = bus->mPlugChannelStartIdx;
    in.mNPlugChannels = bus->mNPlugChannels;
    in.mConnection = *conn;
  }
  if (!mRoute.Publish(inputs)) return;
  // Nothing renders while not initialised, so the marks can be made here already.
  if (!mInitialized) ApplyInputChannelConnections(mRoute.Current());
}

void PluginAU::ApplyInputChannelConnections(const AURenderRoute& route)
{
  SetChannelConnections(kInput, 0, NChannels(kInput), false);
  for (const AURenderInput& in : route.mInputs)
  {
    if (!in.mConnected) continue;
    SetChannelConnections(kInput, in.mPlugChannelStartIdx, in.mNChannels, true);
    SetChannelConnections(kInput, in.mPlugChannelStartIdx + in.mNChannels,
                          std::max(in.mNPlugChannels - in.mNChannels, 0), false);
  }
}

void PluginAU::ClearConnections()
{
  for (int i = 0; i < mInBuses.GetSize(); ++i)
  {
    AUBus* bus = mInBuses.Get(i);
    bus->mConnected = false;
    bus->mNHostChannels = -1;
    if (AUInputConnection* conn = mInputBusConnections.Get(i)) *conn = AUInputConnection();
  }
  for (int i = 0; i < mOutBuses.GetSize(); ++i)
  {
    AUBus* bus = mOutBuses.Get(i);
    bus->mConnected = false;
    bus->mNHostChannels = -1;
    bus->mNRenderChannels = -1;
  }
  UpdateInputConnections();
}

bool PluginAU::ApplyBlockSize(int frames)
{
  if (SetBlockSize(frames) && ResizeScratchBuffers()) return true;
  // Out of memory: render nothing until a block size succeeds, rather than render past the scratch.
  (void)SetBlockSize(0);
  (void)ResizeScratchBuffers();
  return false;
}

bool PluginAU::ResizeScratchBuffers()
{
  // A bus may claim more channels than the processor has slots (per-bus maxima come from different
  // configurations); the scratch covers whichever is larger so every bus offset stays inside it.
  auto resize = [this](Util_TypedBuf<float>& buf, ERoute dir, const Util_PtrList<AUBus>& buses) {
    int64_t channels = 0;
    for (int i = 0; i < buses.GetSize(); ++i) channels += buses.Get(i)->mNPlugChannels;
    const int64_t n = std::max<int64_t>(channels, NChannels(dir)) * GetBlockSize();
    if (n > 0x1fffffff) return false;
    if (n == 0)
    {
      buf.Resize(0);
      return true;
    }
    if (!buf.Resize(static_cast<int>(n))) return false;
    std::memset(buf.Get(), 0, static_cast<size_t>(n) * sizeof(float));
    return true;
  };
  const bool inOk = resize(mInScratchBuf, kInput, mInBuses);
  const bool outOk = resize(mOutScratchBuf, kOutput, mOutBuses);
  return inOk && outOk;
}

// ---------------------------------------------------------------------------------------------------------------
// Lifecycle
// ---------------------------------------------------------------------------------------------------------------

void PluginAU::IdentifyHostFromMainBundle()
{
  CFBundleRef mainBundle = CFBundleGetMainBundle();
  if (!mainBundle)
  {
    SetHost("", 0);
    return;
  }
  Util_String identifier, versionText;
  CFStringRef bundleID = CFBundleGetIdentifier(mainBundle);
  au_detail::CopyUTF8(bundleID, identifier);
  au_detail::CopyUTF8(CFBundleGetValueForInfoDictionaryKey(mainBundle, kCFBundleVersionKey), versionText);
  // No identifier: an empty name; an identifier that converts to nothing: no name at all.
  const char* name = !bundleID ? "" : (identifier.GetLength() ? identifier.Get() : nullptr);
  SetHost(name, ParseBundleVersion(versionText.Get()));
}

OSStatus PluginAU::Initialize()
{
  if (GetHost() == -1) IdentifyHostFromMainBundle();

  const int nIn = SumHostChannels(mInBuses);
  const int nOut = SumHostChannels(mOutBuses);
  if (!(nIn == 0 && nOut == 0) && !LegalIO(nIn, nOut)) return badComponentSelector;

  mInitialized = true;
  OnParamReset(kReset);
  OnActivate(true);
  return noErr;
}

OSStatus PluginAU::Uninitialize()
{
  mInitialized = false;
  OnActivate(false);
  return noErr;
}

OSStatus PluginAU::Reset(AudioUnitScope, AudioUnitElement)
{
  OnReset();
  return noErr;
}

} // namespace plugin
