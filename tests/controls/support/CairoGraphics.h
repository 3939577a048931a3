#pragma once

// A scripted context whose drawing back end is Cairo: every path the graphics context builds (moves, lines, arcs,
// fills, strokes, transforms and clips; the controls draw no curves) is replayed into a Cairo image surface of the
// editor's size, so a test can compare the pixels a control draws with a figure Cairo draws from the numbers the
// drawing rules give. Path calls are still recorded as the recording back end records them. Text is measured 7 units
// per character and as tall as its size (as the primitive recorders measure it); it is drawn in Roboto through
// FreeType, for the pictures only (nothing when the font file is missing). Header-only; include as
// "controls/support/CairoGraphics.h".

#include "support/ScriptedGraphics.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace plugin::igraphics::test
{

class CairoGraphics : public ScriptedGraphics
{
public:
  CairoGraphics(IGEditorDelegate& dlg, int w, int h)
      : ScriptedGraphics(dlg, w, h), mSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)),
        mCr(cairo_create(mSurface))
  {
    LoadRoboto();
  }
  ~CairoGraphics() override
  {
    cairo_destroy(mCr);
    cairo_surface_destroy(mSurface);
    if (mFace) cairo_font_face_destroy(mFace);
  }
  CairoGraphics(const CairoGraphics&) = delete;
  CairoGraphics& operator=(const CairoGraphics&) = delete;

  // Back to a transparent picture, no clip, identity transform.
  void Clear()
  {
    cairo_reset_clip(mCr);
    cairo_identity_matrix(mCr);
    cairo_new_path(mCr);
    cairo_save(mCr);
    cairo_set_operator(mCr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(mCr);
    cairo_restore(mCr);
  }
  // Draws every dirty control through the frame loop (each clipped to its own rectangle), after clearing.
  void DrawAll()
  {
    Clear();
    IRECTList rects;
    rects.Add(GetBounds());
    Draw(rects);
  }
  cairo_surface_t* Surface() const
  {
    cairo_surface_flush(mSurface);
    return mSurface;
  }
  bool SavePNG(const std::string& path) const { return cairo_surface_write_to_png(Surface(), path.c_str()) == 0; }

  // ---- Path replay ----
  void PathClear() override
  {
    ScriptedGraphics::PathClear();
    cairo_new_path(mCr);
  }
  void PathClose() override
  {
    ScriptedGraphics::PathClose();
    cairo_close_path(mCr);
  }
  void PathMoveTo(float x, float y) override
  {
    ScriptedGraphics::PathMoveTo(x, y);
    cairo_move_to(mCr, x, y);
  }
  void PathLineTo(float x, float y) override
  {
    ScriptedGraphics::PathLineTo(x, y);
    cairo_line_to(mCr, x, y);
  }
  // Angles in degrees clockwise from 12 o'clock.
  void PathArc(float cx, float cy, float r, float a1, float a2, EWinding winding) override
  {
    ScriptedGraphics::PathArc(cx, cy, r, a1, a2, winding);
    const double k = 3.14159265358979323846 / 180.0;
    if (winding == kWindingCW)
      cairo_arc(mCr, cx, cy, r, (a1 - 90.0) * k, (a2 - 90.0) * k);
    else
      cairo_arc_negative(mCr, cx, cy, r, (a1 - 90.0) * k, (a2 - 90.0) * k);
  }
  void PathFill(const IPattern& pattern, const IFillOptions& options, const IBlend* blend) override
  {
    ScriptedGraphics::PathFill(pattern, options, blend);
    Source(pattern, blend);
    cairo_set_fill_rule(mCr, options.mFillRule == kFillEvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    if (options.mPreserve)
      cairo_fill_preserve(mCr);
    else
      cairo_fill(mCr);
  }
  void PathStroke(const IPattern& pattern, float thickness, const IStrokeOptions& options, const IBlend* blend) override
  {
    ScriptedGraphics::PathStroke(pattern, thickness, options, blend);
    Source(pattern, blend);
    cairo_set_line_width(mCr, thickness);
    cairo_set_miter_limit(mCr, options.mMiterLimit);
    cairo_set_line_cap(mCr, options.mCapOption == kCapRound    ? CAIRO_LINE_CAP_ROUND
                            : options.mCapOption == kCapSquare ? CAIRO_LINE_CAP_SQUARE
                                                               : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(mCr, options.mJoinOption == kJoinRound   ? CAIRO_LINE_JOIN_ROUND
                             : options.mJoinOption == kJoinBevel ? CAIRO_LINE_JOIN_BEVEL
                                                                 : CAIRO_LINE_JOIN_MITER);
    std::vector<double> dashes(options.mDash.mArray, options.mDash.mArray + options.mDash.mCount);
    cairo_set_dash(mCr, dashes.data(), static_cast<int>(dashes.size()), options.mDash.mOffset);
    if (options.mPreserve)
      cairo_stroke_preserve(mCr);
    else
      cairo_stroke(mCr);
  }
  void PathTransformSetMatrix(const IMatrix& m) override
  {
    ScriptedGraphics::PathTransformSetMatrix(m);
    cairo_matrix_t cm;
    cairo_matrix_init(&cm, m.mXX, m.mYX, m.mXY, m.mYY, m.mTX, m.mTY);
    cairo_set_matrix(mCr, &cm);
  }
  // In graphics units without a transform; an empty rectangle lets nothing through.
  void SetClipRegion(const IRECT& r) override
  {
    ScriptedGraphics::SetClipRegion(r);
    cairo_path_t* path = cairo_copy_path(mCr);
    cairo_matrix_t m;
    cairo_get_matrix(mCr, &m);
    cairo_identity_matrix(mCr);
    cairo_reset_clip(mCr);
    cairo_new_path(mCr);
    cairo_rectangle(mCr, r.L, r.T, r.W(), r.H());
    cairo_clip(mCr);
    cairo_set_matrix(mCr, &m);
    cairo_append_path(mCr, path);
    cairo_path_destroy(path);
  }

  // ---- Text ----
  float DoMeasureText(const IText& text, const char* str, IRECT& bounds) const override
  {
    const float w = charWidth * static_cast<float>(std::string(str).size());
    bounds = IRECT(bounds.L, bounds.T, bounds.L + w, bounds.T + text.mSize);
    return w;
  }
  void DoDrawText(const IText& text, const char* str, const IRECT& r, const IBlend* blend) override
  {
    ScriptedGraphics::DoDrawText(text, str, r, blend);
    if (!str || !*str || !mFace) return;
    cairo_save(mCr);
    cairo_new_path(mCr);
    cairo_set_font_face(mCr, mFace);
    cairo_set_font_size(mCr, text.mSize * 0.8);
    cairo_text_extents_t e;
    cairo_text_extents(mCr, str, &e);
    const double x = text.mAlign == kAlignNear  ? r.L
                     : text.mAlign == kAlignFar ? r.R - e.x_advance
                                                : r.MW() - e.x_advance / 2.0;
    const double y = text.mVAlign == kVAlignTop      ? r.T + text.mSize * 0.8
                     : text.mVAlign == kVAlignBottom ? r.B - text.mSize * 0.2
                                                     : r.MH() + text.mSize * 0.3;
    Source(IPattern(text.mFGColor), blend);
    cairo_move_to(mCr, x, y);
    cairo_show_text(mCr, str);
    cairo_restore(mCr);
  }

private:
  // Roboto, as the default text styles name it; the FreeType face goes with Cairo's last reference to it.
  void LoadRoboto()
  {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&lib) != 0) return;
    if (FT_New_Face(lib, "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf", 0, &face) != 0)
    {
      FT_Done_FreeType(lib);
      return;
    }
    mFace = cairo_ft_font_face_create_for_ft_face(face, 0);
    struct Owned
    {
      FT_Library lib;
      FT_Face face;
    };
    static const cairo_user_data_key_t key{};
    auto* owned = new Owned{lib, face};
    cairo_font_face_set_user_data(mFace, &key, owned,
                                  [](void* p)
                                  {
                                    auto* o = static_cast<Owned*>(p);
                                    FT_Done_Face(o->face);
                                    FT_Done_FreeType(o->lib);
                                    delete o;
                                  });
  }

  void Source(const IPattern& pattern, const IBlend* blend)
  {
    const IColor& c = pattern.mStops[0].mColor;
    const double weight = blend ? blend->weight : 1.0;
    cairo_set_source_rgba(mCr, c.R / 255.0, c.G / 255.0, c.B / 255.0, c.A / 255.0 * weight);
  }

  cairo_surface_t* mSurface;
  cairo_t* mCr;
  cairo_font_face_t* mFace = nullptr;
};

// ---- Pictures and how far two of them differ ----

// A w × h ARGB picture that Cairo draws with figure (a transparent start).
inline cairo_surface_t* CairoFigure(int w, int h, const std::function<void(cairo_t*)>& figure)
{
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(s);
  figure(cr);
  cairo_destroy(cr);
  cairo_surface_flush(s);
  return s;
}

inline void CairoFill(cairo_t* cr, const IColor& c)
{
  cairo_set_source_rgba(cr, c.R / 255.0, c.G / 255.0, c.B / 255.0, c.A / 255.0);
  cairo_fill(cr);
}

inline void CairoPolygon(cairo_t* cr, std::initializer_list<std::pair<double, double>> points)
{
  bool first = true;
  for (const auto& [x, y] : points)
  {
    if (first)
      cairo_move_to(cr, x, y);
    else
      cairo_line_to(cr, x, y);
    first = false;
  }
  cairo_close_path(cr);
}

// The summed difference of the premultiplied channels within area, as a fraction of the reference's summed alpha
// there. Past limit both pictures go to one PNG named name.png in the working folder: the reference's alpha in
// green, ours in red, agreement yellow.
inline double PixelMismatch(cairo_surface_t* ours, cairo_surface_t* ref, const IRECT& area, const std::string& name,
                            double limit = 0.01)
{
  cairo_surface_flush(ours);
  cairo_surface_flush(ref);
  const int w = cairo_image_surface_get_width(ref), h = cairo_image_surface_get_height(ref);
  const int so = cairo_image_surface_get_stride(ours), sr = cairo_image_surface_get_stride(ref);
  const uint8_t* po = cairo_image_surface_get_data(ours);
  const uint8_t* pr = cairo_image_surface_get_data(ref);
  const int x0 = std::max(0, int(std::floor(area.L))), x1 = std::min(w, int(std::ceil(area.R)));
  const int y0 = std::max(0, int(std::floor(area.T))), y1 = std::min(h, int(std::ceil(area.B)));
  double diff = 0.0, mass = 0.0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
    {
      const uint8_t* a = po + y * so + 4 * x;
      const uint8_t* b = pr + y * sr + 4 * x;
      for (int k = 0; k < 4; ++k)
        diff += std::abs(int(a[k]) - int(b[k])) / 4.0;
      mass += b[3];
    }
  const double mismatch = mass > 0.0 ? diff / mass : (diff > 0.0 ? 1.0 : 0.0);
  if (mismatch > limit)
  {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    auto* px = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
    const int ss = cairo_image_surface_get_stride(s) / 4;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        px[y * ss + x] = uint32_t(po[y * so + 4 * x + 3]) << 16 | uint32_t(pr[y * sr + 4 * x + 3]) << 8;
    cairo_surface_mark_dirty(s);
    cairo_surface_write_to_png(s, (name + ".png").c_str());
    cairo_surface_destroy(s);
  }
  return mismatch;
}

// The premultiplied colour of one pixel as (A, R, G, B).
inline IColor PixelAt(cairo_surface_t* s, int x, int y)
{
  cairo_surface_flush(s);
  const uint8_t* p = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + 4 * x;
  return IColor(p[3], p[2], p[1], p[0]);
}

} // namespace plugin::igraphics::test
