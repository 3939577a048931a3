// SVG text → SVGDocument, on SVG++ over rapidxml_ns. All of SVG++ stays in this file: it is heavy on templates.
//
// Flow: limits are checked on the raw text (size, nesting), rapidxml builds the tree, one walk counts elements and
// indexes ids, then SVG++ walks the drawable elements (svg, g, shapes) with a context per element that carries the
// inherited style and the transform. Each shape's path arrives in user space, is turned into cubics, and is mapped
// to drawing space when the element ends; gradients are read on demand (following href) at that point, because
// their geometry depends on the shape's box and transform.

#include "graphics/ISVG.h"
#include "graphics/SVGGeometry_p.h"

#include <rapidxml_ns/rapidxml_ns.hpp>
#include <svgpp/policy/xml/rapidxml_ns.hpp>
#include <svgpp/svgpp.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace plugin::igraphics
{
namespace
{

namespace tag = svgpp::tag;
using Node = rapidxml_ns::xml_node<char>;
using IriRange = boost::iterator_range<const char*>; // an attribute's text as the parser hands it over
using namespace svgdetail;

// ---------------------------------------------------------------------------------------------------------------
// Limits
// ---------------------------------------------------------------------------------------------------------------

constexpr int kMaxDepth = 128;             // element nesting
constexpr size_t kMaxElements = 200000;    // elements in the whole document
constexpr size_t kMaxPoints = 4000000;     // path points in the whole document
constexpr int kMaxHrefChain = 16;          // gradients followed through href
constexpr size_t kMaxIdLength = 256;       // longer references find nothing (styles are copied to every child)
constexpr size_t kMaxStops = 256;          // stops kept per gradient element
constexpr size_t kMaxStopsTotal = 1000000; // stops in all paints of the document
constexpr double kMaxCoord = 1e7;          // largest coordinate or size kept, drawing units

double Clamp01(double v)
{
  return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 1.0;
}

SVGColor PackRGB(int rgb, double alpha)
{
  const auto a = static_cast<uint8_t>(std::lround(Clamp01(alpha) * 255.0));
  return SVGMakeColor(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb), a);
}

// The value of an attribute without namespace, or null.
const char* Attr(const Node* n, const char* name, size_t& len)
{
  for (auto* a = n->first_attribute(); a; a = a->next_attribute())
  {
    if (a->namespace_uri_size() != 0) continue;
    if (a->local_name_size() == std::strlen(name) && std::memcmp(a->local_name(), name, a->local_name_size()) == 0)
    {
      len = a->value_size();
      return a->value();
    }
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------------------------
// Lengths
// ---------------------------------------------------------------------------------------------------------------

// A length whose percentages stay unresolved until the element knows what they are a percentage of (gradients in
// bounding-box units take them as fractions).
struct Len
{
  double v = 0;
  uint8_t pct = 0; // 0 user units; 1, 2, 3: fraction of the viewport's width, height, normalised diagonal
};

class LengthFactory
{
public:
  typedef Len length_type;
  typedef double number_type;
  typedef double coordinate_type;

  double dpi = 72, viewW = 100, viewH = 100;

  Len create_length(double n, tag::length_units::none) const { return {n}; }
  Len create_length(double n, tag::length_units::px) const { return {n}; }
  Len create_length(double n, tag::length_units::em) const { return {n * 16}; }
  Len create_length(double n, tag::length_units::ex) const { return {n * 8}; }
  Len create_length(double n, tag::length_units::in) const { return {n * dpi}; }
  Len create_length(double n, tag::length_units::cm) const { return {n * dpi / 2.54}; }
  Len create_length(double n, tag::length_units::mm) const { return {n * dpi / 25.4}; }
  Len create_length(double n, tag::length_units::pt) const { return {n * dpi / 72}; }
  Len create_length(double n, tag::length_units::pc) const { return {n * dpi / 6}; }
  Len create_length(double n, tag::length_units::percent, tag::length_dimension::width) const { return {n / 100, 1}; }
  Len create_length(double n, tag::length_units::percent, tag::length_dimension::height) const { return {n / 100, 2}; }
  Len create_length(double n, tag::length_units::percent, tag::length_dimension::not_width_nor_height) const
  {
    return {n / 100, 3};
  }

  double length_to_user_coordinate(Len l, tag::length_dimension::any const&) const { return Resolve(l); }

  double Resolve(Len l) const
  {
    switch (l.pct)
    {
    case 1:
      return l.v * viewW;
    case 2:
      return l.v * viewH;
    case 3:
      return l.v * std::sqrt((viewW * viewW + viewH * viewH) / 2);
    default:
      return l.v;
    }
  }
};

// ---------------------------------------------------------------------------------------------------------------
// Errors: a damaged attribute or element is skipped, never the document
// ---------------------------------------------------------------------------------------------------------------

// Every context derives from this: the policies below are shared by all of them.
struct ErrorContext
{
  typedef LengthFactory length_factory_type;
  explicit ErrorContext(const LengthFactory& lengths) : mLengthFactory(&lengths) {}
  const LengthFactory& length_factory() const { return *mLengthFactory; }

private:
  const LengthFactory* mLengthFactory;
};

struct LenientErrors
{
  typedef ErrorContext context_type;

  template <class E, class N> static bool unknown_element(ErrorContext const&, E const&, N const&) { return true; }
  template <class A, class N, class NS>
  static bool unknown_attribute(ErrorContext const&, A const&, N const&, NS, tag::source::attribute)
  {
    return true;
  }
  template <class A, class N> static bool unknown_attribute(ErrorContext const&, A const&, N const&, tag::source::css)
  {
    return true;
  }
  template <class Id, class S> static bool unexpected_attribute(ErrorContext const&, Id, S) { return true; }
  template <class T> static bool required_attribute_not_found(ErrorContext const&, T) { return true; }
  template <class T, class V> static bool parse_failed(ErrorContext const&, T, V const&) { return true; }
  template <class E> static bool unexpected_element(ErrorContext const&, E const&) { return true; }
  template <class T> static bool negative_value(ErrorContext const&, T) { return true; }
};

// A missing required attribute is handled by the defaults of the length type (a rect without width has width 0).
struct AttributeTraversal : svgpp::policy::attribute_traversal::default_policy
{
  typedef boost::mpl::always<boost::mpl::empty_sequence> get_required_attributes_by_element;
};

// ---------------------------------------------------------------------------------------------------------------
// Document-wide state
// ---------------------------------------------------------------------------------------------------------------

struct GradientAttrs
{
  bool radial = false;
  std::optional<Len> x1, y1, x2, y2, cx, cy, r;
  std::optional<bool> userSpace;
  std::optional<Matrix> xform;
  std::optional<ESVGSpread> spread;
  std::string href; // local id, empty for none
  struct Stop
  {
    double offset = 0;
    int rgb = 0;
    double opacity = 1;
  };
  std::vector<Stop> stops;
};

struct Builder
{
  LengthFactory lengths;
  SVGDocument doc;
  std::unordered_map<std::string_view, const Node*> ids;
  std::unordered_map<const Node*, GradientAttrs> gradients;
  size_t cubics = 0;
  size_t stops = 0;
  bool overflow = false; // the document passed a limit: it is refused whole

  const GradientAttrs* Gradient(const Node* node);
};

// ---------------------------------------------------------------------------------------------------------------
// Style, inherited through group contexts
// ---------------------------------------------------------------------------------------------------------------

struct PaintSpec
{
  enum Kind : uint8_t
  {
    None,
    Color,
    CurrentColor,
    Ref
  };
  Kind kind = None;
  int rgb = 0;
  std::string ref;
  Kind fallback = None; // for Ref: used when the reference finds no gradient
  int fallbackRgb = 0;
};

struct Style
{
  PaintSpec fill{PaintSpec::Color, 0, {}, PaintSpec::None, 0}; // black
  PaintSpec stroke;
  int color = 0; // currentColor
  double fillOpacity = 1, strokeOpacity = 1;
  Len strokeWidth{1};
  double miterLimit = 4;
  ESVGLineCap cap = ESVGLineCap::Butt;
  ESVGLineJoin join = ESVGLineJoin::Miter;
  ESVGFillRule fillRule = ESVGFillRule::NonZero;
  std::vector<Len> dashes;
  Len dashOffset;
  bool visible = true;
};

class ElementContext : public ErrorContext
{
public:
  explicit ElementContext(Builder& b) : ErrorContext(b.lengths), mB(b) {}
  ElementContext(ElementContext& parent)
      : ErrorContext(parent.mB.lengths), mB(parent.mB), mStyle(parent.mStyle), mCTM(parent.mCTM),
        mParentOpacity(parent.Opacity()), mHidden(parent.mHidden)
  {
  }

  void on_exit_element() {}

  void transform_matrix(const boost::array<double, 6>& m)
  {
    mCTM = Multiply(mCTM, Matrix{m[0], m[1], m[2], m[3], m[4], m[5]});
  }

  // Paints
  void set(tag::attribute::fill, tag::value::none) { mStyle.fill = PaintSpec{}; }
  void set(tag::attribute::stroke, tag::value::none) { mStyle.stroke = PaintSpec{}; }
  void set(tag::attribute::fill, tag::value::currentColor) { mStyle.fill = Plain(PaintSpec::CurrentColor, 0); }
  void set(tag::attribute::stroke, tag::value::currentColor) { mStyle.stroke = Plain(PaintSpec::CurrentColor, 0); }
  void set(tag::attribute::fill, int rgb) { mStyle.fill = Plain(PaintSpec::Color, rgb); }
  void set(tag::attribute::stroke, int rgb) { mStyle.stroke = Plain(PaintSpec::Color, rgb); }
  template <class Icc> void set(tag::attribute::fill, int rgb, Icc const&) { set(tag::attribute::fill(), rgb); }
  template <class Icc> void set(tag::attribute::stroke, int rgb, Icc const&) { set(tag::attribute::stroke(), rgb); }
  template <class R> void set(tag::attribute::fill, tag::iri_fragment, R const& id)
  {
    mStyle.fill = Ref(id, PaintSpec::None, 0);
  }
  template <class R> void set(tag::attribute::stroke, tag::iri_fragment, R const& id)
  {
    mStyle.stroke = Ref(id, PaintSpec::None, 0);
  }
  template <class R> void set(tag::attribute::fill, tag::iri_fragment, R const& id, tag::value::none)
  {
    mStyle.fill = Ref(id, PaintSpec::None, 0);
  }
  template <class R> void set(tag::attribute::stroke, tag::iri_fragment, R const& id, tag::value::none)
  {
    mStyle.stroke = Ref(id, PaintSpec::None, 0);
  }
  template <class R> void set(tag::attribute::fill, tag::iri_fragment, R const& id, tag::value::currentColor)
  {
    mStyle.fill = Ref(id, PaintSpec::CurrentColor, 0);
  }
  template <class R> void set(tag::attribute::stroke, tag::iri_fragment, R const& id, tag::value::currentColor)
  {
    mStyle.stroke = Ref(id, PaintSpec::CurrentColor, 0);
  }
  template <class R> void set(tag::attribute::fill, tag::iri_fragment, R const& id, int rgb)
  {
    mStyle.fill = Ref(id, PaintSpec::Color, rgb);
  }
  template <class R> void set(tag::attribute::stroke, tag::iri_fragment, R const& id, int rgb)
  {
    mStyle.stroke = Ref(id, PaintSpec::Color, rgb);
  }
  // A paint server in another document cannot be read: its fallback paints, or nothing (not the inherited paint).
  void set(tag::attribute::fill, const IriRange&) { mStyle.fill = PaintSpec{}; }
  void set(tag::attribute::stroke, const IriRange&) { mStyle.stroke = PaintSpec{}; }
  void set(tag::attribute::fill, const IriRange&, tag::value::none) { mStyle.fill = PaintSpec{}; }
  void set(tag::attribute::stroke, const IriRange&, tag::value::none) { mStyle.stroke = PaintSpec{}; }
  void set(tag::attribute::fill, const IriRange&, tag::value::currentColor)
  {
    mStyle.fill = Plain(PaintSpec::CurrentColor, 0);
  }
  void set(tag::attribute::stroke, const IriRange&, tag::value::currentColor)
  {
    mStyle.stroke = Plain(PaintSpec::CurrentColor, 0);
  }
  void set(tag::attribute::fill, const IriRange&, int rgb) { mStyle.fill = Plain(PaintSpec::Color, rgb); }
  void set(tag::attribute::stroke, const IriRange&, int rgb) { mStyle.stroke = Plain(PaintSpec::Color, rgb); }
  template <class Icc> void set(tag::attribute::fill, const IriRange&, int rgb, Icc const&)
  {
    mStyle.fill = Plain(PaintSpec::Color, rgb);
  }
  template <class Icc> void set(tag::attribute::stroke, const IriRange&, int rgb, Icc const&)
  {
    mStyle.stroke = Plain(PaintSpec::Color, rgb);
  }
  void set(tag::attribute::color, int rgb) { mStyle.color = rgb; }

  // Opacities: a value out of 0..1 is clamped; one that is not finite is ignored.
  void set(tag::attribute::fill_opacity, double v) { SetUnit(mStyle.fillOpacity, v); }
  void set(tag::attribute::stroke_opacity, double v) { SetUnit(mStyle.strokeOpacity, v); }
  void set(tag::attribute::opacity, double v) { SetUnit(mOwnOpacity, v); }

  // Stroke
  void set(tag::attribute::stroke_width, Len v) { mStyle.strokeWidth = v; }
  void set(tag::attribute::stroke_miterlimit, double v)
  {
    if (std::isfinite(v) && v >= 1) mStyle.miterLimit = v;
  }
  void set(tag::attribute::stroke_linecap, tag::value::butt) { mStyle.cap = ESVGLineCap::Butt; }
  void set(tag::attribute::stroke_linecap, tag::value::round) { mStyle.cap = ESVGLineCap::Round; }
  void set(tag::attribute::stroke_linecap, tag::value::square) { mStyle.cap = ESVGLineCap::Square; }
  void set(tag::attribute::stroke_linejoin, tag::value::miter) { mStyle.join = ESVGLineJoin::Miter; }
  void set(tag::attribute::stroke_linejoin, tag::value::round) { mStyle.join = ESVGLineJoin::Round; }
  void set(tag::attribute::stroke_linejoin, tag::value::bevel) { mStyle.join = ESVGLineJoin::Bevel; }
  void set(tag::attribute::stroke_dasharray, tag::value::none) { mStyle.dashes.clear(); }
  template <class Range> void set(tag::attribute::stroke_dasharray, Range const& lengths)
  {
    mStyle.dashes.clear();
    for (const Len& l : lengths)
    {
      if (mStyle.dashes.size() >= 64) break; // more than the model keeps anyway
      mStyle.dashes.push_back(l);
    }
  }
  void set(tag::attribute::stroke_dashoffset, Len v) { mStyle.dashOffset = v; }
  void set(tag::attribute::fill_rule, tag::value::nonzero) { mStyle.fillRule = ESVGFillRule::NonZero; }
  void set(tag::attribute::fill_rule, tag::value::evenodd) { mStyle.fillRule = ESVGFillRule::EvenOdd; }

  // Visibility is inherited and a child may undo it; display none hides the element and everything in it.
  void set(tag::attribute::visibility, tag::value::visible) { mStyle.visible = true; }
  void set(tag::attribute::visibility, tag::value::hidden) { mStyle.visible = false; }
  void set(tag::attribute::visibility, tag::value::collapse) { mStyle.visible = false; }
  void set(tag::attribute::display, tag::value::none) { mHidden = true; }

  // Everything else (ids, classes, inherit, attributes we do not draw) is ignored.
  template <class... A> void set(A const&...) {}

  double Opacity() const { return mParentOpacity * mOwnOpacity; }

protected:
  static PaintSpec Plain(PaintSpec::Kind kind, int rgb)
  {
    PaintSpec p;
    p.kind = kind;
    p.rgb = rgb;
    return p;
  }
  template <class R> static PaintSpec Ref(R const& id, PaintSpec::Kind fallback, int rgb)
  {
    PaintSpec p;
    p.kind = PaintSpec::Ref;
    if (static_cast<size_t>(boost::size(id)) <= kMaxIdLength) p.ref.assign(boost::begin(id), boost::end(id));
    p.fallback = fallback;
    p.fallbackRgb = rgb;
    return p;
  }
  static void SetUnit(double& dst, double v)
  {
    if (std::isfinite(v)) dst = std::clamp(v, 0.0, 1.0);
  }

  Builder& mB;
  Style mStyle;
  Matrix mCTM = kIdentity;
  double mParentOpacity = 1, mOwnOpacity = 1;
  bool mHidden = false;
};

// ---------------------------------------------------------------------------------------------------------------
// Shapes: path events in user space → cubics
// ---------------------------------------------------------------------------------------------------------------

struct UserPath
{
  std::vector<double> pts; // x, y pairs as in SVGPath
  bool closed = false;
};

class ShapeContext : public ElementContext
{
public:
  explicit ShapeContext(ElementContext& parent) : ElementContext(parent) {}

  using ElementContext::set;

  void path_move_to(double x, double y, tag::coordinate::absolute)
  {
    EndSubpath();
    mStartX = mX = x;
    mStartY = mY = y;
    mOpen = false;
  }
  void path_line_to(double x, double y, tag::coordinate::absolute)
  {
    Cubic(mX + (x - mX) / 3, mY + (y - mY) / 3, x + (mX - x) / 3, y + (mY - y) / 3, x, y);
  }
  void path_line_to_ortho(double v, bool horizontal, tag::coordinate::absolute)
  {
    path_line_to(horizontal ? v : mX, horizontal ? mY : v, tag::coordinate::absolute());
  }
  void path_line_to_ortho(double v, bool horizontal, tag::coordinate::relative)
  {
    path_line_to(horizontal ? mX + v : mX, horizontal ? mY : mY + v, tag::coordinate::absolute());
  }
  void path_cubic_bezier_to(double x1, double y1, double x2, double y2, double x, double y, tag::coordinate::absolute)
  {
    Cubic(x1, y1, x2, y2, x, y);
  }
  void path_quadratic_bezier_to(double qx, double qy, double x, double y, tag::coordinate::absolute)
  {
    // The same curve, degree raised: control points two thirds of the way to the quadratic's control point.
    Cubic(mX + 2.0 / 3 * (qx - mX), mY + 2.0 / 3 * (qy - mY), x + 2.0 / 3 * (qx - x), y + 2.0 / 3 * (qy - y), x, y);
  }
  void path_elliptical_arc_to(double rx, double ry, double rotationDeg, bool largeArc, bool sweep, double x, double y,
                              tag::coordinate::absolute)
  {
    Arc(rx, ry, rotationDeg, largeArc, sweep, x, y);
  }
  void path_close_subpath()
  {
    if (!mOpen) return;
    if (mX != mStartX || mY != mStartY) path_line_to(mStartX, mStartY, tag::coordinate::absolute());
    mCur.closed = true;
    EndSubpath();
    mX = mStartX;
    mY = mStartY;
  }
  void path_exit() { EndSubpath(); }

  void on_exit_element();

private:
  void Begin()
  {
    if (mOpen) return;
    mCur = UserPath{};
    mCur.pts = {mX, mY};
    mOpen = true;
  }
  void Cubic(double x1, double y1, double x2, double y2, double x, double y)
  {
    if (mB.overflow) return;
    if (++mB.cubics > kMaxPoints / 3)
    {
      mB.overflow = true;
      return;
    }
    Begin();
    mCur.pts.insert(mCur.pts.end(), {x1, y1, x2, y2, x, y});
    mX = x;
    mY = y;
  }
  void EndSubpath()
  {
    if (mOpen && mCur.pts.size() >= 8) mPaths.push_back(std::move(mCur));
    mCur = UserPath{};
    mOpen = false;
  }
  void Arc(double rx, double ry, double rotationDeg, bool largeArc, bool sweep, double x, double y)
  {
    if (!ArcToCubics(mX, mY, rx, ry, rotationDeg, largeArc, sweep, x, y,
                     [this](const double* c) { Cubic(c[0], c[1], c[2], c[3], c[4], c[5]); }))
      path_line_to(x, y, tag::coordinate::absolute());
  }
  bool ResolvePaint(const PaintSpec& spec, double paintOpacity, const double* userBox, SVGPaint& out) const;
  bool Stroke(SVGShape& s) const;

  std::vector<UserPath> mPaths;
  UserPath mCur;
  bool mOpen = false;
  double mX = 0, mY = 0, mStartX = 0, mStartY = 0;
};

// ---------------------------------------------------------------------------------------------------------------
// Gradients
// ---------------------------------------------------------------------------------------------------------------

class GradientContext : public ErrorContext
{
public:
  GradientContext(GradientAttrs& out, const LengthFactory& lengths) : ErrorContext(lengths), mOut(out) {}

  void on_exit_element() {}

  void transform_matrix(const boost::array<double, 6>& m) { mOut.xform = Matrix{m[0], m[1], m[2], m[3], m[4], m[5]}; }
  void set(tag::attribute::x1, Len v) { mOut.x1 = v; }
  void set(tag::attribute::y1, Len v) { mOut.y1 = v; }
  void set(tag::attribute::x2, Len v) { mOut.x2 = v; }
  void set(tag::attribute::y2, Len v) { mOut.y2 = v; }
  void set(tag::attribute::cx, Len v) { mOut.cx = v; }
  void set(tag::attribute::cy, Len v) { mOut.cy = v; }
  void set(tag::attribute::r, Len v) { mOut.r = v; }
  void set(tag::attribute::gradientUnits, tag::value::userSpaceOnUse) { mOut.userSpace = true; }
  void set(tag::attribute::gradientUnits, tag::value::objectBoundingBox) { mOut.userSpace = false; }
  void set(tag::attribute::spreadMethod, tag::value::pad) { mOut.spread = ESVGSpread::Pad; }
  void set(tag::attribute::spreadMethod, tag::value::reflect) { mOut.spread = ESVGSpread::Reflect; }
  void set(tag::attribute::spreadMethod, tag::value::repeat) { mOut.spread = ESVGSpread::Repeat; }
  template <class R> void set(tag::attribute::xlink::href, tag::iri_fragment, R const& id)
  {
    if (static_cast<size_t>(boost::size(id)) <= kMaxIdLength) mOut.href.assign(boost::begin(id), boost::end(id));
  }
  template <class... A> void set(A const&...) {}

  GradientAttrs& mOut;
};

class StopContext : public ErrorContext
{
public:
  explicit StopContext(GradientContext& parent) : ErrorContext(parent.length_factory()), mParent(parent) {}

  void on_exit_element()
  {
    if (mParent.mOut.stops.size() < kMaxStops)
      mParent.mOut.stops.push_back({mOffset, mCurrent ? mColor : mRgb, mOpacity});
  }

  void set(tag::attribute::offset, double v)
  {
    if (std::isfinite(v)) mOffset = v;
  }
  void set(tag::attribute::stop_color, int rgb)
  {
    mRgb = rgb;
    mCurrent = false;
  }
  template <class Icc> void set(tag::attribute::stop_color, int rgb, Icc const&)
  {
    set(tag::attribute::stop_color(), rgb);
  }
  void set(tag::attribute::stop_color, tag::value::currentColor) { mCurrent = true; }
  void set(tag::attribute::color, int rgb) { mColor = rgb; }
  void set(tag::attribute::stop_opacity, double v)
  {
    if (std::isfinite(v)) mOpacity = std::clamp(v, 0.0, 1.0);
  }
  template <class... A> void set(A const&...) {}

private:
  GradientContext& mParent;
  double mOffset = 0, mOpacity = 1;
  int mRgb = 0, mColor = 0;
  bool mCurrent = false;
};

struct GradientFactories
{
  template <class Parent, class ElementTag> struct apply
  {
    typedef svgpp::factory::context::on_stack<StopContext> type;
  };
};

typedef boost::mpl::set<tag::element::linearGradient, tag::element::radialGradient, tag::element::stop>::type
    GradientElements;

typedef boost::mpl::set<tag::attribute::x1, tag::attribute::y1, tag::attribute::x2, tag::attribute::y2,
                        tag::attribute::cx, tag::attribute::cy, tag::attribute::r, tag::attribute::gradientUnits,
                        tag::attribute::gradientTransform, tag::attribute::spreadMethod, tag::attribute::xlink::href,
                        tag::attribute::offset, tag::attribute::stop_color, tag::attribute::stop_opacity,
                        tag::attribute::color>::type GradientAttributes;

typedef svgpp::document_traversal<svgpp::processed_elements<GradientElements>,
                                  svgpp::processed_attributes<GradientAttributes>,
                                  svgpp::context_factories<GradientFactories>, svgpp::error_policy<LenientErrors>,
                                  svgpp::attribute_traversal_policy<AttributeTraversal>,
                                  svgpp::length_policy<svgpp::policy::length::forward_to_method<ErrorContext>>>
    GradientTraversal;

const GradientAttrs* Builder::Gradient(const Node* node)
{
  if (auto it = gradients.find(node); it != gradients.end()) return &it->second;
  const std::string_view name(node->local_name(), node->local_name_size());
  const bool radial = name == "radialGradient";
  if (!radial && name != "linearGradient") return nullptr;
  GradientAttrs attrs;
  attrs.radial = radial;
  GradientContext ctx(attrs, lengths);
  const bool ok = radial ? GradientTraversal::load_expected_element(node, ctx, tag::element::radialGradient())
                         : GradientTraversal::load_expected_element(node, ctx, tag::element::linearGradient());
  if (!ok) return nullptr;
  // The href without the xlink prefix, as newer documents write it.
  size_t len = 0;
  if (const char* href = Attr(node, "href", len);
      attrs.href.empty() && href && len > 1 && len <= kMaxIdLength + 1 && href[0] == '#')
    attrs.href.assign(href + 1, len - 1);
  return &gradients.emplace(node, std::move(attrs)).first->second;
}

// Resolves a paint for a shape whose user-space bounds are userBox. False leaves out is unchanged.
bool ShapeContext::ResolvePaint(const PaintSpec& spec, double paintOpacity, const double* userBox, SVGPaint& out) const
{
  PaintSpec::Kind kind = spec.kind;
  int rgb = kind == PaintSpec::CurrentColor ? mStyle.color : spec.rgb;
  if (kind == PaintSpec::Ref)
  {
    // Merge the chain of hrefs: the first gradient that sets an attribute wins; stops come from the first that has any.
    auto idIt = mB.ids.find(spec.ref);
    const GradientAttrs* first = idIt == mB.ids.end() ? nullptr : mB.Gradient(idIt->second);
    if (!first)
    {
      kind = spec.fallback;
      rgb = kind == PaintSpec::CurrentColor ? mStyle.color : spec.fallbackRgb;
    }
    else
    {
      GradientAttrs g = *first;
      std::unordered_set<const GradientAttrs*> seen{first};
      std::string href = first->href;
      for (int depth = 0; depth < kMaxHrefChain && !href.empty(); ++depth)
      {
        auto next = mB.ids.find(href);
        const GradientAttrs* a = next == mB.ids.end() ? nullptr : mB.Gradient(next->second);
        if (!a || !seen.insert(a).second) break; // missing, not a gradient, or a cycle
        auto inherit = [](std::optional<Len>& dst, const std::optional<Len>& src)
        {
          if (!dst) dst = src;
        };
        if (a->radial == g.radial) // geometry only passes between gradients of one kind
        {
          inherit(g.x1, a->x1);
          inherit(g.y1, a->y1);
          inherit(g.x2, a->x2);
          inherit(g.y2, a->y2);
          inherit(g.cx, a->cx);
          inherit(g.cy, a->cy);
          inherit(g.r, a->r);
        }
        if (!g.userSpace) g.userSpace = a->userSpace;
        if (!g.xform) g.xform = a->xform;
        if (!g.spread) g.spread = a->spread;
        if (g.stops.empty()) g.stops = a->stops;
        href = a->href;
      }
      if (g.stops.empty())
      {
        out = SVGPaint{};
        return true;
      }
      std::vector<SVGGradientStop> stops;
      mB.stops += g.stops.size();
      if (mB.stops > kMaxStopsTotal)
      {
        mB.overflow = true;
        return false;
      }
      stops.reserve(g.stops.size());
      float last = 0.f;
      for (const auto& s : g.stops)
      {
        last = std::max(last, static_cast<float>(Clamp01(s.offset)));
        stops.push_back({PackRGB(s.rgb, s.opacity * paintOpacity), last});
      }
      const bool user = g.userSpace.value_or(false);
      // Percentages are fractions of the box in bounding-box units, of the viewport in user space.
      auto val = [&](const std::optional<Len>& l, double dflt)
      {
        if (!l) return dflt;
        return user ? mB.lengths.Resolve(*l) : l->v;
      };
      Matrix units = kIdentity;
      if (!user)
      {
        const double w = userBox[2] - userBox[0], h = userBox[3] - userBox[1];
        if (!(w > 0) || !(h > 0)) // a box without area has nothing to spread a gradient over
        {
          out = SVGPaint{};
          return true;
        }
        units = {w, 0, 0, h, userBox[0], userBox[1]};
      }
      const double fullW = user ? mB.lengths.viewW : 1, fullH = user ? mB.lengths.viewH : 1;
      Matrix canon;
      bool degenerate;
      if (g.radial)
      {
        const double cx = val(g.cx, fullW / 2), cy = val(g.cy, fullH / 2);
        const double r = val(g.r, user ? mB.lengths.Resolve(Len{0.5, 3}) : 0.5);
        canon = {r, 0, 0, r, cx, cy};
        degenerate = !(r > 0);
      }
      else
      {
        const double x1 = val(g.x1, 0), y1 = val(g.y1, 0), x2 = val(g.x2, fullW), y2 = val(g.y2, 0);
        const double dx = x2 - x1, dy = y2 - y1;
        canon = {dy, -dx, dx, dy, x1, y1};
        degenerate = dx == 0 && dy == 0;
      }
      const Matrix toDrawing = Multiply(mCTM, Multiply(units, Multiply(g.xform.value_or(kIdentity), canon)));
      Matrix inv;
      if (degenerate || stops.size() == 1 || !Invert(toDrawing, inv))
      {
        // Nothing to interpolate across: the area takes the last stop's colour.
        out = SVGPaint{};
        out.type = ESVGPaintType::Color;
        out.color = stops.back().color;
        return true;
      }
      out = SVGPaint{};
      out.type = g.radial ? ESVGPaintType::RadialGradient : ESVGPaintType::LinearGradient;
      for (int i = 0; i < 6; ++i)
        out.gradient.xform[i] = static_cast<float>(inv[i]);
      out.gradient.spread = g.spread.value_or(ESVGSpread::Pad);
      out.gradient.stops = std::move(stops);
      return true;
    }
  }
  out = SVGPaint{};
  if (kind == PaintSpec::None) return true;
  out.type = ESVGPaintType::Color;
  out.color = PackRGB(rgb, paintOpacity);
  return true;
}

// ---------------------------------------------------------------------------------------------------------------
// Shape → model
// ---------------------------------------------------------------------------------------------------------------

// Stroke settings in drawing units: the shape's transform scales widths and dashes by its mean scale.
bool ShapeContext::Stroke(SVGShape& s) const
{
  const double scale = std::sqrt(std::fabs(mCTM[0] * mCTM[3] - mCTM[1] * mCTM[2]));
  const double width = mB.lengths.Resolve(mStyle.strokeWidth) * scale;
  if (!std::isfinite(width) || width > kMaxCoord) return false;
  if (!(width > 0)) s.stroke = SVGPaint{};
  s.strokeWidth = static_cast<float>(std::max(width, 0.0));
  s.miterLimit = static_cast<float>(mStyle.miterLimit);
  s.lineCap = mStyle.cap;
  s.lineJoin = mStyle.join;
  s.fillRule = mStyle.fillRule;
  // An odd list repeats to become even; a negative length or an all-zero list means a solid line.
  std::vector<double> dashes;
  double sum = 0;
  for (const Len& l : mStyle.dashes)
  {
    const double d = mB.lengths.Resolve(l) * scale;
    if (!std::isfinite(d) || d < 0 || d > kMaxCoord) return true;
    dashes.push_back(d);
    sum += d;
  }
  if (dashes.empty() || !(sum > 0)) return true;
  if (dashes.size() % 2) dashes.insert(dashes.end(), dashes.begin(), dashes.end());
  s.dashCount = static_cast<int>(std::min<size_t>(dashes.size(), kSVGMaxDashes)) & ~1;
  for (int i = 0; i < s.dashCount; ++i)
    s.dashArray[i] = static_cast<float>(dashes[i]);
  const double offset = mB.lengths.Resolve(mStyle.dashOffset) * scale;
  s.dashOffset = std::isfinite(offset) && std::fabs(offset) <= kMaxCoord ? static_cast<float>(offset) : 0.f;
  return true;
}

void ShapeContext::on_exit_element()
{
  EndSubpath();
  if (mHidden || mPaths.empty() || mB.overflow) return;
  constexpr double inf = std::numeric_limits<double>::infinity();
  double userBox[4] = {inf, inf, -inf, -inf};
  for (const UserPath& p : mPaths)
    PathBounds(p.pts, userBox);

  SVGShape s;
  s.visible = mStyle.visible;
  s.opacity = static_cast<float>(Clamp01(Opacity()));
  if (!ResolvePaint(mStyle.fill, mStyle.fillOpacity, userBox, s.fill)) return;
  if (!ResolvePaint(mStyle.stroke, mStyle.strokeOpacity, userBox, s.stroke)) return;
  if (!Stroke(s)) return;

  double shapeBox[4] = {inf, inf, -inf, -inf};
  s.paths.reserve(mPaths.size());
  for (const UserPath& up : mPaths)
  {
    SVGPath p;
    p.closed = up.closed;
    std::vector<double> drawn(up.pts.size());
    for (size_t i = 0; i + 1 < up.pts.size(); i += 2)
    {
      Apply(mCTM, up.pts[i], up.pts[i + 1], drawn[i], drawn[i + 1]);
      // A shape with a coordinate beyond any sensible size is left out whole.
      if (!std::isfinite(drawn[i]) || !std::isfinite(drawn[i + 1]) || std::fabs(drawn[i]) > kMaxCoord ||
          std::fabs(drawn[i + 1]) > kMaxCoord)
        return;
    }
    double b[4] = {inf, inf, -inf, -inf};
    PathBounds(drawn, b);
    p.pts.assign(drawn.begin(), drawn.end());
    for (int i = 0; i < 4; ++i)
    {
      p.bounds[i] = static_cast<float>(b[i]);
      shapeBox[i] = i < 2 ? std::min(shapeBox[i], b[i]) : std::max(shapeBox[i], b[i]);
    }
    s.paths.push_back(std::move(p));
  }
  for (int i = 0; i < 4; ++i)
    s.bounds[i] = static_cast<float>(shapeBox[i]);
  if (mB.doc.shapes.size() >= kMaxElements)
  {
    mB.overflow = true;
    return;
  }
  mB.doc.shapes.push_back(std::move(s));
}

// ---------------------------------------------------------------------------------------------------------------
// Document traversal
// ---------------------------------------------------------------------------------------------------------------

struct DocumentFactories
{
  template <class Parent, class ElementTag> struct apply
  {
    typedef svgpp::factory::context::on_stack<ShapeContext> type;
  };
};
template <class Parent> struct DocumentFactories::apply<Parent, tag::element::g>
{
  typedef svgpp::factory::context::on_stack<ElementContext> type;
};
template <class Parent> struct DocumentFactories::apply<Parent, tag::element::a>
{
  typedef svgpp::factory::context::on_stack<ElementContext> type;
};
template <class Parent> struct DocumentFactories::apply<Parent, tag::element::svg>
{
  typedef svgpp::factory::context::on_stack<ElementContext> type;
};

typedef boost::mpl::set<tag::element::svg, tag::element::g, tag::element::a, tag::element::path, tag::element::rect,
                        tag::element::circle, tag::element::ellipse, tag::element::line, tag::element::polyline,
                        tag::element::polygon>::type DocumentElements;

typedef boost::mpl::set<tag::attribute::transform, tag::attribute::fill, tag::attribute::fill_opacity,
                        tag::attribute::fill_rule, tag::attribute::stroke, tag::attribute::stroke_width,
                        tag::attribute::stroke_opacity, tag::attribute::stroke_linecap, tag::attribute::stroke_linejoin,
                        tag::attribute::stroke_miterlimit, tag::attribute::stroke_dasharray,
                        tag::attribute::stroke_dashoffset, tag::attribute::opacity, tag::attribute::visibility,
                        tag::attribute::display, tag::attribute::color>::type StyleAttributes;

typedef boost::mpl::fold<svgpp::traits::shapes_attributes_by_element, StyleAttributes,
                         boost::mpl::insert<boost::mpl::_1, boost::mpl::_2>>::type DocumentAttributes;

typedef svgpp::document_traversal<
    svgpp::processed_elements<DocumentElements>, svgpp::processed_attributes<DocumentAttributes>,
    svgpp::context_factories<DocumentFactories>, svgpp::error_policy<LenientErrors>,
    svgpp::attribute_traversal_policy<AttributeTraversal>, svgpp::path_policy<svgpp::policy::path::no_shorthands>,
    svgpp::length_policy<svgpp::policy::length::forward_to_method<ErrorContext>>>
    DocumentTraversal;

// ---------------------------------------------------------------------------------------------------------------
// Root element: size, viewBox and its fit
// ---------------------------------------------------------------------------------------------------------------

// Pixels in one of a length unit at dpi pixels to the inch; px, no unit and unknown units are the pixel.
double PixelsPerUnit(std::string_view unit, double dpi)
{
  if (unit == "in") return dpi;
  if (unit == "cm") return dpi / 2.54;
  if (unit == "mm") return dpi / 25.4;
  if (unit == "pt") return dpi / 72;
  if (unit == "pc") return dpi / 6;
  if (unit == "em") return 16;
  if (unit == "ex") return 8;
  return 1;
}

// width or height of the root: user units, or a fraction of the viewBox for percentages. False when absent or bad.
bool RootLength(const Node* root, const char* name, double dpi, double& v, bool& percent)
{
  size_t len = 0;
  const char* p = Attr(root, name, len);
  if (!p) return false;
  const char* end = p + len;
  p = SkipSpace(p, end, false);
  if (!ReadNumber(p, end, v)) return false;
  std::string_view unit(p, static_cast<size_t>(end - p));
  while (!unit.empty() && (unit.back() == ' ' || unit.back() == '\t' || unit.back() == '\n' || unit.back() == '\r'))
    unit.remove_suffix(1);
  percent = unit == "%";
  v = percent ? v / 100 : v * PixelsPerUnit(unit, dpi);
  return std::isfinite(v) && v >= 0;
}

// Drawing units per pixel when drawing space is measured in units: physical units by their definitions at dpi
// pixels to the inch (so a document sized in inches comes out the same in millimetres whatever the dpi), em and ex
// as the lengths of the document take them. An absent or unknown unit is the pixel.
double DrawingUnitsPerPixel(const char* units, double dpi)
{
  return 1 / PixelsPerUnit(units ? units : "", dpi);
}

// The transform that fits the viewBox into the document size, with preserveAspectRatio.
Matrix ViewBoxTransform(const Node* root, const double* vb, double w, double h)
{
  size_t len = 0;
  const char* p = Attr(root, "preserveAspectRatio", len);
  std::string_view par = p ? std::string_view(p, len) : std::string_view("xMidYMid meet");
  while (!par.empty() && (par.front() == ' ' || par.front() == '\t' || par.front() == '\n' || par.front() == '\r'))
    par.remove_prefix(1);
  double sx = w / vb[2], sy = h / vb[3];
  if (par.substr(0, 4) == "none") return {sx, 0, 0, sy, -vb[0] * sx, -vb[1] * sy};
  int ax = 1, ay = 1; // 0 min, 1 mid, 2 max
  if (par.size() >= 8 && par[0] == 'x' && par[4] == 'Y')
  {
    const std::string_view x = par.substr(1, 3), y = par.substr(5, 3);
    ax = x == "Min" ? 0 : x == "Max" ? 2 : 1;
    ay = y == "Min" ? 0 : y == "Max" ? 2 : 1;
  }
  const bool slice = par.find("slice") != std::string_view::npos;
  const double s = slice ? std::max(sx, sy) : std::min(sx, sy);
  const double tx = (w - vb[2] * s) * ax / 2, ty = (h - vb[3] * s) * ay / 2;
  return {s, 0, 0, s, tx - vb[0] * s, ty - vb[1] * s};
}

// ---------------------------------------------------------------------------------------------------------------
// Raw text checks
// ---------------------------------------------------------------------------------------------------------------

constexpr char kSVGNamespace[] = "http://www.w3.org/2000/svg";

// Counts the elements and indexes their ids (the first element with an id keeps it). A document that never names
// the SVG namespace gets it on its unprefixed elements, so that they are read. False past the limits.
bool IndexElements(Node* root, Builder& b)
{
  const bool adopt = root->namespace_uri_size() == 0;
  std::vector<std::pair<Node*, int>> stack{{root, 1}};
  size_t count = 0;
  while (!stack.empty())
  {
    const auto [n, depth] = stack.back();
    stack.pop_back();
    if (++count > kMaxElements || depth > kMaxDepth) return false;
    if (adopt && n->namespace_uri_size() == 0 && n->prefix_size() == 0)
      n->namespace_uri(kSVGNamespace, sizeof kSVGNamespace - 1);
    size_t len = 0;
    if (const char* id = Attr(n, "id", len); id && len) b.ids.try_emplace(std::string_view(id, len), n);
    for (Node* c = n->first_node(); c; c = c->next_sibling())
      if (c->type() == rapidxml_ns::node_element) stack.push_back({c, depth + 1});
  }
  return true;
}

ISVG Parse(const char* data, size_t size, float dpi, const char* units)
{
  if (!data || size == 0 || size > kSVGMaxBytes || !std::isfinite(dpi) || dpi <= 0 || dpi > 100000) return {};
  size = strnlen(data, size);
  if (size == 0 || NestingDepth(data, data + size, kMaxDepth) > kMaxDepth) return {};
  std::vector<char> text(data, data + size);
  text.push_back(0);

  rapidxml_ns::xml_document<char> xml;
  xml.parse<rapidxml_ns::parse_no_data_nodes>(text.data());
  Node* root = xml.first_node();
  while (root && root->type() != rapidxml_ns::node_element)
    root = root->next_sibling();
  if (!root || std::string_view(root->local_name(), root->local_name_size()) != "svg") return {};
  const std::string_view ns(root->namespace_uri(), root->namespace_uri_size());
  if (!ns.empty() && ns != kSVGNamespace) return {};

  Builder b;
  if (!IndexElements(root, b)) return {};
  b.lengths.dpi = dpi;

  // Document size from width and height, else from the viewBox; the viewBox fits into that size. A viewBox
  // without area, or one shown at no size, leaves nothing to draw.
  double vb[4] = {};
  bool hasViewBox = false, drawNothing = false;
  size_t len = 0;
  if (const char* p = Attr(root, "viewBox", len))
  {
    const char* end = p + len;
    hasViewBox = true;
    for (int i = 0; i < 4 && hasViewBox; ++i)
    {
      p = SkipSpace(p, end, i > 0);
      hasViewBox = ReadNumber(p, end, vb[i]);
    }
    hasViewBox = hasViewBox && std::fabs(vb[0]) <= kMaxCoord && std::fabs(vb[1]) <= kMaxCoord && vb[2] <= kMaxCoord &&
                 vb[3] <= kMaxCoord;
    if (hasViewBox && (vb[2] <= 0 || vb[3] <= 0))
    {
      hasViewBox = false;
      drawNothing = true;
    }
  }
  double w = 0, h = 0;
  bool wPct = false, hPct = false;
  const bool hasW = RootLength(root, "width", dpi, w, wPct), hasH = RootLength(root, "height", dpi, h, hPct);
  if (!hasW || wPct) w = hasViewBox ? vb[2] * (hasW ? w : 1) : -1;
  if (!hasH || hPct) h = hasViewBox ? vb[3] * (hasH ? h : 1) : -1;
  if (w > kMaxCoord || h > kMaxCoord) return {};
  Matrix rootCTM = kIdentity;
  if (hasViewBox)
  {
    drawNothing = drawNothing || w <= 0 || h <= 0;
    rootCTM = drawNothing ? kIdentity : ViewBoxTransform(root, vb, w, h);
    b.lengths.viewW = vb[2];
    b.lengths.viewH = vb[3];
  }
  else
  {
    b.lengths.viewW = w > 0 ? w : 100;
    b.lengths.viewH = h > 0 ? h : 100;
  }
  // Lengths so far are pixels; drawing space is in the caller's unit, for the size and everything under the root.
  // A size still unknown (below 0) comes from the shapes, which are in that unit already.
  const double unit = DrawingUnitsPerPixel(units, dpi);
  rootCTM = Multiply(Matrix{unit, 0, 0, unit, 0, 0}, rootCTM);
  if (w > 0) w *= unit;
  if (h > 0) h *= unit;
  if (w > kMaxCoord || h > kMaxCoord) return {};

  ElementContext ctx(b);
  ctx.transform_matrix(
      boost::array<double, 6>{{rootCTM[0], rootCTM[1], rootCTM[2], rootCTM[3], rootCTM[4], rootCTM[5]}});
  if (!drawNothing && !DocumentTraversal::load_document(root, ctx)) return {};
  if (b.overflow) return {};

  // Without a size, the document reaches from the origin to the right and bottom of what it draws.
  if (w < 0 || h < 0)
  {
    double right = 0, bottom = 0;
    for (const SVGShape& s : b.doc.shapes)
    {
      right = std::max(right, static_cast<double>(s.bounds[2]));
      bottom = std::max(bottom, static_cast<double>(s.bounds[3]));
    }
    if (w < 0) w = right;
    if (h < 0) h = bottom;
  }
  b.doc.width = static_cast<float>(w);
  b.doc.height = static_cast<float>(h);
  return ISVG(std::make_shared<const SVGDocument>(std::move(b.doc)));
}

} // namespace

ISVG ParseSVG(const void* data, size_t size, float dpi, const char* units)
{
  try
  {
    return Parse(static_cast<const char*>(data), size, dpi, units);
  }
  catch (...)
  {
    // Malformed XML, a value the parser refuses, or memory running out: no document.
    return {};
  }
}

ISVG ParseSVGFile(const char* path, float dpi, const char* units)
{
  if (!path) return {};
  FILE* f = std::fopen(path, "rb");
  if (!f) return {};
  std::vector<char> bytes;
  bool ok = std::fseek(f, 0, SEEK_END) == 0;
  const long end = ok ? std::ftell(f) : -1;
  ok = ok && end > 0 && static_cast<uint64_t>(end) <= kSVGMaxBytes && std::fseek(f, 0, SEEK_SET) == 0;
  if (ok)
  {
    try
    {
      bytes.resize(static_cast<size_t>(end));
    }
    catch (...)
    {
      ok = false;
    }
    // A file that shrank reads short; one that grew has bytes left over: either way not the file that was sized.
    ok = ok && std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fgetc(f) == EOF;
  }
  std::fclose(f);
  return ok ? ParseSVG(bytes.data(), bytes.size(), dpi, units) : ISVG{};
}

} // namespace plugin::igraphics
