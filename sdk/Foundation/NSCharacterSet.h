// NSCharacterSet: a set of Unicode code points.
#pragma once

#include <Foundation/Foundation.h>

#include <set>

class NSCharacterSet : public NSObject
{
public:
  // The code points of the string (surrogate pairs joined); nil string: the empty set. Autoreleased.
  static NSCharacterSet* characterSetWithCharactersInString(const NSString* string);
  // Letters, marks and digits of any script (Unicode general categories L*, M*, N*). Autoreleased.
  static NSCharacterSet* alphanumericCharacterSet();
  // Decimal digits of any script (category Nd). Autoreleased.
  static NSCharacterSet* decimalDigitCharacterSet();
  // Space, tab, newlines and other Unicode white space. Autoreleased.
  static NSCharacterSet* whitespaceAndNewlineCharacterSet();

  // A UTF-16 unit: surrogates are members only when the set holds the unit itself.
  BOOL characterIsMember(unichar c) const { return longCharacterIsMember(c); }
  BOOL longCharacterIsMember(UTF32Char c) const;

private:
  enum class Kind { Explicit, Alphanumeric, Digit, Whitespace };
  explicit NSCharacterSet(Kind kind) : mKind(kind) {}
  Kind mKind;
  std::set<UTF32Char> mMembers;
};
