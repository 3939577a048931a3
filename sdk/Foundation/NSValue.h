// NSNumber: a boxed integer, floating-point number or boolean.
#pragma once

#include <Foundation/Foundation.h>

class NSNumber : public NSObject
{
public:
  // Autoreleased.
  static NSNumber* numberWithInt(int value);
  static NSNumber* numberWithInteger(NSInteger value);
  static NSNumber* numberWithDouble(double value);
  static NSNumber* numberWithFloat(float value);
  static NSNumber* numberWithBool(BOOL value);

  int intValue() const;
  NSInteger integerValue() const;
  double doubleValue() const { return mIsFloat ? mDouble : static_cast<double>(mInteger); }
  float floatValue() const { return static_cast<float>(doubleValue()); }
  BOOL boolValue() const { return mIsFloat ? (mDouble != 0.0) : (mInteger != 0); }
  BOOL isEqualToNumber(const NSNumber* other) const;
  NSString* description() const override;

private:
  NSNumber() = default;
  bool mIsFloat = false;
  long long mInteger = 0;
  double mDouble = 0.0;
};
