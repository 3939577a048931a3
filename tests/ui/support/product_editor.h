#pragma once

// The product's editor opened the way a host opens it, shared by the editor tests and the editor benchmark:
// the component bundle known to the platform by its identifier (the editor finds its artwork and fonts through
// it), a ZANIQ whose parameters are set as the editor sets them, and a wait for the frames the GPU still owes.
//
// Threads: main thread only.

#include "engine/ZANIQ.h"
#include "graphics/IGraphics.h"
#include "platform/mac/MVRcontext.h"

#include <AppKit/AppKit.h>
#include <CoreFoundation/CoreFoundation.h>

#include <string>

namespace producteditor
{

// The bundle at path, loaded for as long as this object lives. Ok() is false when it could not be read.
class LoadedBundle
{
public:
  explicit LoadedBundle(const std::string& path)
  {
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(path.data()),
                                                           CFIndex(path.size()), true);
    mBundle = url ? CFBundleCreate(nullptr, url) : nullptr;
    if (url) CFRelease(url);
  }
  ~LoadedBundle()
  {
    if (mBundle) CFRelease(mBundle);
  }
  LoadedBundle(const LoadedBundle&) = delete;
  LoadedBundle& operator=(const LoadedBundle&) = delete;
  bool Ok() const { return mBundle != nullptr; }

private:
  CFBundleRef mBundle = nullptr;
};

// The product with no host; its editor closes with it.
class ProductZANIQ : public ZANIQ
{
public:
  ProductZANIQ() : ZANIQ(plugin::InstanceInfo{}) {}
  ~ProductZANIQ() override { CloseWindow(); }
  // A parameter set as the editor sets it.
  void Change(int idx, double value)
  {
    GetParam(idx)->Set(value);
    OnParamChange(idx, plugin::kUI, -1);
  }
};

// Waits for every frame committed through g's draw context (the queue runs its buffers in order); nothing
// without one.
inline void FinishFrames(plugin::igraphics::IGraphics& g)
{
  if (!g.GetDrawContext()) return;
  NSAutoreleasePool pool;
  MTLCommandBuffer* cb = mvrCommandQueue(static_cast<VRcontext*>(g.GetDrawContext()))->commandBuffer();
  cb->commit();
  cb->waitUntilCompleted();
}

} // namespace producteditor
