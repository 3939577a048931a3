#include "framework/IParam.h"

#include <cmath>

namespace plugin
{

namespace
{

// NaN-safe clamp to [0, 1]: NaN and anything below zero give 0.
double Clamp01(double x)
{
  if (!(x > 0.0)) return 0.0;
  return x > 1.0 ? 1.0 : x;
}

// Where (v - min) lies in the range; 0 for an empty range, so no division by zero ever happens.
double RangeRatio(double value, const IParam& param)
{
  const double range = param.GetMax() - param.GetMin();
  if (!(range > 0.0)) return 0.0;
  return (value - param.GetMin()) / range;
}

double SafeExponent(double exponent)
{
  return (std::isfinite(exponent) && exponent > 0.0) ? exponent : 1.0;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Shape
// ---------------------------------------------------------------------------------------------------------------

void IParam::Shape::Init(const IParam&) {}

IParam::EDisplayType IParam::Shape::GetDisplayType() const { return kDisplayLinear; }

// ---------------------------------------------------------------------------------------------------------------
// ShapeLinear
// ---------------------------------------------------------------------------------------------------------------

std::unique_ptr<IParam::Shape> IParam::ShapeLinear::Clone() const { return std::make_unique<ShapeLinear>(*this); }

IParam::EDisplayType IParam::ShapeLinear::GetDisplayType() const { return kDisplayLinear; }

double IParam::ShapeLinear::NormalizedToValue(double normalized, const IParam& param) const
{
  return param.GetMin() + Clamp01(normalized) * (param.GetMax() - param.GetMin());
}

double IParam::ShapeLinear::ValueToNormalized(double value, const IParam& param) const
{
  return RangeRatio(value, param);
}

// ---------------------------------------------------------------------------------------------------------------
// ShapePowCurve
// ---------------------------------------------------------------------------------------------------------------

IParam::ShapePowCurve::ShapePowCurve(double exponent) : mShape(SafeExponent(exponent)) {}

std::unique_ptr<IParam::Shape> IParam::ShapePowCurve::Clone() const
{
  return std::make_unique<ShapePowCurve>(*this);
}

IParam::EDisplayType IParam::ShapePowCurve::GetDisplayType() const
{
  if (mShape > 2.5) return kDisplayCubeRoot;
  if (mShape > 1.5) return kDisplaySquareRoot;
  if (mShape < 0.4) return kDisplayCubed;
  if (mShape < 0.6666666666666666) return kDisplaySquared;
  return kDisplayLinear;
}

double IParam::ShapePowCurve::NormalizedToValue(double normalized, const IParam& param) const
{
  const double e = SafeExponent(mShape);
  return param.GetMin() + std::pow(Clamp01(normalized), e) * (param.GetMax() - param.GetMin());
}

double IParam::ShapePowCurve::ValueToNormalized(double value, const IParam& param) const
{
  // A fractional power of a negative ratio is NaN: clamp the ratio first.
  const double e = SafeExponent(mShape);
  return std::pow(Clamp01(RangeRatio(value, param)), 1.0 / e);
}

// ---------------------------------------------------------------------------------------------------------------
// ShapeExp
// ---------------------------------------------------------------------------------------------------------------

std::unique_ptr<IParam::Shape> IParam::ShapeExp::Clone() const { return std::make_unique<ShapeExp>(*this); }

void IParam::ShapeExp::Init(const IParam& param)
{
  // A logarithmic curve cannot start at zero or below; it starts just above instead.
  const double lo = param.GetMin() > 0.0 ? param.GetMin() : 1e-8;
  mAdd = std::log(lo);
  // ln(max) - ln(lo) rather than ln(max / lo): the quotient can overflow for huge ranges.
  mMul = param.GetMax() > lo ? std::log(param.GetMax()) - mAdd : 0.0;
  if (!std::isfinite(mMul)) mMul = 0.0;
}

IParam::EDisplayType IParam::ShapeExp::GetDisplayType() const { return kDisplayLog; }

double IParam::ShapeExp::NormalizedToValue(double normalized, const IParam& param) const
{
  const double v = std::exp(Clamp01(normalized) * mMul + mAdd);
  return std::isfinite(v) ? v : param.GetMax();
}

double IParam::ShapeExp::ValueToNormalized(double value, const IParam&) const
{
  // Zero or below lies under the whole curve; a flat curve has no position to give.
  if (!(value > 0.0) || !(mMul > 0.0)) return 0.0;
  return (std::log(value) - mAdd) / mMul;
}

} // namespace plugin
