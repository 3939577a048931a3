// Foundation stand-in: NSCharacterSet over whole code points.

#include <Foundation/Foundation.h>
#include <Foundation/Unicode_p.h>

#include <locale.h>
#include <wctype.h>

namespace
{

// A UTF-8 locale for the wide-character classes; null when the system has none (then ASCII rules apply).
locale_t UnicodeLocale()
{
  static locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    if (!l) l = newlocale(LC_CTYPE_MASK, "en_US.UTF-8", nullptr);
    return l;
  }();
  return loc;
}

} // namespace

NSCharacterSet* NSCharacterSet::characterSetWithCharactersInString(const NSString* string)
{
  auto* set = new NSCharacterSet(Kind::Explicit);
  if (string)
    for (char32_t c : zqns::UTF8ToUTF32(string->UTF8String())) set->mMembers.insert(c);
  return static_cast<NSCharacterSet*>(set->autorelease());
}

NSCharacterSet* NSCharacterSet::alphanumericCharacterSet()
{
  static NSCharacterSet* set = new NSCharacterSet(Kind::Alphanumeric);
  return set;
}

NSCharacterSet* NSCharacterSet::decimalDigitCharacterSet()
{
  static NSCharacterSet* set = new NSCharacterSet(Kind::Digit);
  return set;
}

NSCharacterSet* NSCharacterSet::whitespaceAndNewlineCharacterSet()
{
  static NSCharacterSet* set = new NSCharacterSet(Kind::Whitespace);
  return set;
}

BOOL NSCharacterSet::longCharacterIsMember(UTF32Char c) const
{
  locale_t loc = UnicodeLocale();
  switch (mKind)
  {
  case Kind::Explicit: return mMembers.count(c) ? YES : NO;
  case Kind::Alphanumeric:
    if (c < 128 || !loc) return c < 128 && ((c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z')) ? YES : NO;
    return iswalnum_l(static_cast<wint_t>(c), loc) ? YES : NO;
  case Kind::Digit:
    if (c < 128 || !loc) return c >= '0' && c <= '9' ? YES : NO;
    return iswdigit_l(static_cast<wint_t>(c), loc) ? YES : NO;
  case Kind::Whitespace:
    if (c < 128 || !loc) return c == ' ' || (c >= 9 && c <= 13) ? YES : NO;
    return iswspace_l(static_cast<wint_t>(c), loc) || c == 0x85 || c == 0xA0 ? YES : NO;
  }
  return NO;
}
