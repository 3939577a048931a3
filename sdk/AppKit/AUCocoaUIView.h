// The Cocoa view factory protocol of Audio Unit editors. A host reads kAudioUnitProperty_CocoaUI
// (AudioUnitCocoaViewInfo: the bundle and the class name), loads the bundle, finds the class with
// NSClassFromString, makes an instance and asks it for the view.
#pragma once

#include <AppKit/NSView.h>
#include <AudioToolbox/AudioUnitProperties.h>
#include <AudioUnit/AudioUnit.h>

// The protocol AUCocoaUIBase as an abstract class: a factory class derives from NSObject and from it; a host
// finds it with dynamic_cast<AUCocoaUIBase*> on the instance.
class AUCocoaUIBase
{
public:
  virtual ~AUCocoaUIBase();
  // The protocol's version (0 for this interface).
  virtual unsigned interfaceVersion() = 0;
  // A view for the unit, or nil. The caller does not own it: it retains the view or puts it in a window.
  // inPreferredSize is a hint.
  virtual NSView* uiViewForAudioUnit_withSize(AudioUnit inAudioUnit, NSSize inPreferredSize) = 0;
};
