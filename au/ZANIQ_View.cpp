// ZANIQ_View: the view factory and its registration when the bundle loads.

#include "au/ZANIQ_View.h"

#include "au/PluginAU.h"
#include "graphics/IGraphics.h"
#include "platform/mac/MVRcontext.h"

namespace
{

NSObject* MakeZaniqView()
{
  return new ZANIQ_View();
}

// Commands of one queue run in order: an empty buffer completed means every frame before it is presented.
void FlushEditorFrames(plugin::igraphics::IGraphics& ui)
{
  auto* ctx = static_cast<VRcontext*>(ui.GetDrawContext());
  MTLCommandQueue* queue = ctx ? mvrCommandQueue(ctx) : nullptr;
  if (!queue) return;
  NSAutoreleasePool pool;
  MTLCommandBuffer* buffer = queue->commandBuffer();
  buffer->commit();
  buffer->waitUntilCompleted();
}

Class RegisterZaniqView()
{
  plugin::PluginAU::SetEditorFlushFunc(&FlushEditorFrames);
  return ZQRegisterClass(kZaniqViewClassName, &MakeZaniqView);
}

// Runs when the bundle's image loads; this object file is linked whole into bundles with an editor.
const Class sZaniqViewClass = RegisterZaniqView();

} // namespace

NSObject* ZANIQ_View::init()
{
  mPlug = nullptr;
  return NSObject::init();
}

unsigned ZANIQ_View::interfaceVersion()
{
  return 0;
}

NSView* ZANIQ_View::uiViewForAudioUnit_withSize(AudioUnit inAudioUnit, NSSize inPreferredSize)
{
  (void)inPreferredSize;
  (void)sZaniqViewClass;
  plugin::PluginAU* plug = nullptr;
  UInt32 size = sizeof(plug);
  if (AudioUnitGetProperty(inAudioUnit, plugin::PluginAU::kPrivatePropertyPlugin, kAudioUnitScope_Global, 0, &plug,
                           &size) != noErr)
    return nullptr;
  mPlug = plug;
  if (!plug || !plug->HasUI()) return nullptr;
  // The platform layer hands its view out as the NSView it is.
  return static_cast<NSView*>(plug->OpenWindow(nullptr));
}

NSString* ZANIQ_View::description() const
{
  return NSString::stringWithCString_encoding("ZANIQ View", NSUTF8StringEncoding);
}
