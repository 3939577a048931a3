#pragma once

// ZANIQ_View — the editor view factory a host instantiates by name after reading the CocoaUI property. Every
// bundle of the framework with an editor links this class into its own image and registers it with the class
// registry when the bundle loads (as an Objective-C class joins the run time), so NSClassFromString finds it.
// [main thread]

#include <AppKit/AUCocoaUIView.h>
#include <AppKit/AppKit.h>

namespace plugin
{
class PluginAU;
}

class ZANIQ_View : public NSObject, public AUCocoaUIBase
{
public:
  ZANIQ_View() = default;

  // mPlug becomes nil; answers the superclass's init.
  NSObject* init() override;
  // 0.
  unsigned interfaceVersion() override;
  // The plug-in object through the unit's private property -101; when that fails, nil. With a plug-in that has
  // an editor, its OpenWindow(nullptr): the editor view (the graphics context owns it; the host puts it in a
  // window and closes the editor by removing it). Otherwise nil. The size is not used.
  NSView* uiViewForAudioUnit_withSize(AudioUnit inAudioUnit, NSSize inPreferredSize) override;
  // "ZANIQ View".
  NSString* description() const override;

  plugin::PluginAU* GetPlug() const { return mPlug; }

private:
  plugin::PluginAU* mPlug = nullptr; // not owned
};

// The registry's name of the class; also the class name the CocoaUI property gives.
inline constexpr const char* kZaniqViewClassName = "ZANIQ_View";
