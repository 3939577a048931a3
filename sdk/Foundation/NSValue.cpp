// Foundation stand-in: NSNumber.

#include <Foundation/Foundation.h>

#include <climits>
#include <cmath>
#include <cstdio>

namespace
{

NSNumber* Finish(NSNumber* n)
{
  return static_cast<NSNumber*>(n->autorelease());
}

} // namespace

NSNumber* NSNumber::numberWithInt(int value)
{
  return numberWithInteger(value);
}

NSNumber* NSNumber::numberWithInteger(NSInteger value)
{
  auto* n = new NSNumber();
  n->mInteger = value;
  return Finish(n);
}

NSNumber* NSNumber::numberWithDouble(double value)
{
  auto* n = new NSNumber();
  n->mIsFloat = true;
  n->mDouble = value;
  return Finish(n);
}

NSNumber* NSNumber::numberWithFloat(float value)
{
  return numberWithDouble(value);
}

NSNumber* NSNumber::numberWithBool(BOOL value)
{
  return numberWithInteger(value ? 1 : 0);
}

int NSNumber::intValue() const
{
  if (!mIsFloat) return static_cast<int>(mInteger);
  // Out-of-range and NaN conversions are undefined in C++: pin them.
  if (std::isnan(mDouble)) return 0;
  if (mDouble >= 2147483647.0) return INT_MAX;
  if (mDouble <= -2147483648.0) return INT_MIN;
  return static_cast<int>(mDouble);
}

NSInteger NSNumber::integerValue() const
{
  if (!mIsFloat) return static_cast<NSInteger>(mInteger);
  if (std::isnan(mDouble)) return 0;
  if (mDouble >= 9.2e18) return LONG_MAX;
  if (mDouble <= -9.2e18) return LONG_MIN;
  return static_cast<NSInteger>(mDouble);
}

BOOL NSNumber::isEqualToNumber(const NSNumber* other) const
{
  if (!other) return NO;
  if (!mIsFloat && !other->mIsFloat) return mInteger == other->mInteger ? YES : NO;
  return doubleValue() == other->doubleValue() ? YES : NO;
}

NSString* NSNumber::description() const
{
  if (!mIsFloat) return NSString::stringWithFormat("%lld", mInteger);
  return NSString::stringWithFormat("%.17g", mDouble);
}
