#pragma once

// The interaction bases with an empty drawing, for tests of their value, gesture and cursor rules.
// Header-only; include as "controls/support/DrawnBases.h".

#include "controls/IControlBases.h"

namespace plugin::igraphics::test
{

template <class Base> struct Drawn : Base
{
  using Base::Base;
  void Draw(IGraphics&) override {}
};
using Knob = Drawn<IKnobControlBase>;
using Slider = Drawn<ISliderControlBase>;
using Switch = Drawn<ISwitchControlBase>;

} // namespace plugin::igraphics::test
