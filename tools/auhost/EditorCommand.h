#pragma once

// `auhost editor`: the chain of `auhost chain` with one instance's editor open, driven by events:
//   auhost editor [chain options] [--open sender|receiver] [--screen-scale 1|2] [--event "EVENT@SECONDS"]...
//                 [--snapshot "SECONDS:FILE"]... [--png FILE] [--json]
// Before the first block the chosen instance's editor (default: the Receiver) opens through the CocoaUI property
// in a headless window at the screen scale. The run loop's clock follows the audio, so the editor's timers fire as
// while audio plays. Unless the command line sets "Online Update Check", both instances start with it off.
// Everything set for one time happens once the audio up to that time has been rendered, at the first block
// boundary at or after it: first --command, then events in command-line order, then snapshots. A time past the
// end of the run is an error; the end itself is allowed. A frame drawn for an event shows in a snapshot after the
// next render tick (1 / frame rate later), not at the event's own time.
// --png writes the last presented frame at the end (an error when the editor is closed then). --json prints the
// chain's report with an "editor" object: width and height (editor units), draw_scale, screen_scale,
// frames_presented and controls.
// A bundle that does not pair as Sender and Receiver runs as two instances of it in series, the first called
// Sender and the second Receiver; settings by name apply to each as given.
// Failures print one line "auhost: ..." on stderr: exit code 2 for a wrong command line, 1 for anything else (no
// editor, an event that finds nothing to act on, a menu or alert answer never used).

#include "tools/auhost/EditorArgs.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace auhost
{

// The frame (at `rate`) where an event or snapshot at `seconds` happens; false when it is past `frames`.
bool EditorFrameOf(double seconds, double rate, uint64_t frames, uint64_t& frame);

// [main thread] Runs `auhost editor` with the arguments after "editor"; returns the exit code (Cli.h).
int RunEditorCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace auhost
