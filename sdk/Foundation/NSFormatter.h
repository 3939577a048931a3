// NSFormatter: converts between objects and the text of a cell, and vets text while it is typed.
#pragma once

#include <Foundation/Foundation.h>

class NSFormatter : public NSObject
{
public:
  NSFormatter() = default;
  // The text for an object; the base answers nil.
  virtual NSString* stringForObjectValue(NSObject* object);
  // The object for a text: stores it in *object and answers YES, or answers NO with a reason in *error (each
  // output may be null). The base stores the string itself.
  virtual BOOL getObjectValue_forString_errorDescription(NSObject** object, NSString* string, NSString** error);
  // Whether the text being typed may stand; on NO, a replacement may be put in *newString (autoreleased; the
  // field then shows it), otherwise the edit is refused and the text stays as it was. The base answers YES.
  virtual BOOL isPartialStringValid_newEditingString_errorDescription(NSString* partialString, NSString** newString,
                                                                      NSString** error);
};
