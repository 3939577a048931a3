#pragma once

// The track base with nothing of its own: background and tracks, as a meter or sequencer would draw them, in the
// bare style (no texts). Header-only; include as "controls/support/VectorTracks.h".

#include "controls/IVTrackControls.h"
#include "controls/support/PrimitiveRecorder.h"

#include <initializer_list>
#include <vector>

namespace plugin::igraphics::test
{

class Tracks : public IVTrackControlBase
{
public:
  Tracks(const IRECT& r, const std::vector<int>& params, int steps, EDirection dir, float spacing = 0.f,
         double base = 0.0, bool extraStep = true, std::initializer_list<const char*> names = {})
      : IVTrackControlBase(r, params, "", Bare(), steps, dir, names)
  {
    mTrackPadding = spacing;
    mBaseValue = base;
    mHasExtraStep = extraStep;
  }
  void Draw(IGraphics& g) override
  {
    DrawBackground(g, mRECT);
    DrawWidget(g);
  }
  void Highlight(int track) { mHighlightedTrack = track; }
};

} // namespace plugin::igraphics::test
