// Foundation stand-in: the NSFormatter base.

#include <Foundation/Foundation.h>

NSString* NSFormatter::stringForObjectValue(NSObject*)
{
  return nullptr;
}

BOOL NSFormatter::getObjectValue_forString_errorDescription(NSObject** object, NSString* string, NSString**)
{
  if (object) *object = string;
  return YES;
}

BOOL NSFormatter::isPartialStringValid_newEditingString_errorDescription(NSString*, NSString**, NSString**)
{
  return YES;
}
