#pragma once

// One plug-in editor opened the way a macOS host opens it: the CocoaUI property names a bundle and a view factory
// class; the bundle is loaded, the class found with NSClassFromString, instantiated, and asked for a view with
// uiViewForAudioUnit:withSize:; the view goes into a headless window at the screen scale. Events are posted to
// that window as the test kit of the AppKit stand-in posts them, menus and alerts answer from scripts.
// [main thread]

#include "tools/auhost/EditorArgs.h"
#include "tools/auhost/Status.h"

#include <cstdint>
#include <memory>
#include <string>

namespace auhost
{

class Instance;

struct EditorReport
{
  bool open = false;
  double width = 0.0;   // editor units: the view's size over the draw scale
  double height = 0.0;
  double drawScale = 1.0;
  double screenScale = 1.0;
  uint64_t framesPresented = 0; // over every view this session opened
  int controls = 0;
};

class EditorSession
{
public:
  // Opens the editor of `unit` at the screen scale (1 or 2). Failure: one line, e.g. "the plug-in has no editor".
  static Status Open(Instance& unit, double screenScale, std::unique_ptr<EditorSession>& out);
  // Closes the editor (as a host removing the view) when it is open.
  virtual ~EditorSession() = default;

  // Plays one event. An event that finds nothing to act on (a mouse event while closed, a menu path that matches
  // no enabled item, an alert without that button, open while open) fails with one line.
  virtual Status Play(const EditorEvent& event) = 0;
  // The window's last presented frame as PNG. Fails while closed or before the first frame.
  virtual Status Snapshot(const std::string& file) = 0;
  // Fails when a menu or alert answer went wrong since the last check outside an event: panels the plug-in shows
  // from its idle work use their answers while the audio plays, between events.
  virtual Status CheckScript() = 0;
  // Fails as CheckScript does, or when a menu or alert answer was set and no menu or alert came to use it.
  virtual Status CheckAnswersUsed() = 0;
  virtual EditorReport Report() = 0;
};

} // namespace auhost
