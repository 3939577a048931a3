// One painter per bitmap: draws frame `frame` (0-based) into the rectangle (0, 0, w, h), in points.
#pragma once

#include <cairo.h>

#include <string_view>

namespace zaniq::artwork
{

using Painter = void (*)(cairo_t* cr, int frame, double w, double h);

// The painter of a resource name, or nullptr when the name is unknown.
Painter FindPainter(std::string_view name);

// Controls.cpp
void PaintResizer(cairo_t*, int, double, double);
void PaintLed(cairo_t*, int, double, double);
void PaintOverLed(cairo_t*, int, double, double);
void PaintPluginModeSelector(cairo_t*, int, double, double);
void PaintMeterModeSelector(cairo_t*, int, double, double);
void PaintValueField(cairo_t*, int, double, double);
void PaintOverEnable(cairo_t*, int, double, double);
void PaintDriveKnob(cairo_t*, int, double, double);
void PaintPrePost(cairo_t*, int, double, double);
void PaintPrePostLarge(cairo_t*, int, double, double);
void PaintGuiMode(cairo_t*, int, double, double);
void PaintSnapshot1(cairo_t*, int, double, double);
void PaintSnapshot2(cairo_t*, int, double, double);
void PaintSnapshot3(cairo_t*, int, double, double);
void PaintSnapshot4(cairo_t*, int, double, double);
void PaintPluginMenu(cairo_t*, int, double, double);
void PaintUpdateIcon(cairo_t*, int, double, double);

// Panels.cpp
void PaintSenderBackground(cairo_t*, int, double, double);
void PaintReceiverBackground(cairo_t*, int, double, double);
void PaintSimplePost(cairo_t*, int, double, double);
void PaintSimplePre(cairo_t*, int, double, double);
void PaintHelpPage(cairo_t*, int, double, double);
void PaintConfigPage(cairo_t*, int, double, double);

} // namespace zaniq::artwork
