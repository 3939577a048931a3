// NSPasteboard: the general pasteboard (text and file names) and drag pasteboards.
#pragma once

#include <AppKit/NSGeometry.h>

typedef NSString* NSPasteboardType;
// "public.utf8-plain-text"; NSStringPboardType is the same type.
extern NSString* const NSPasteboardTypeString;
extern NSString* const NSStringPboardType;
// "NSFilenamesPboardType": a property list, an array of path strings.
extern NSString* const NSFilenamesPboardType;
extern NSString* const NSPasteboardTypeFileURL;

class NSPasteboard : public NSObject
{
public:
  // The clipboard (never released).
  static NSPasteboard* generalPasteboard();
  // A new private pasteboard (autoreleased), as drags use.
  static NSPasteboard* pasteboardWithUniqueName();

  // Empties the pasteboard; answers the new change count.
  NSInteger clearContents();
  // Empties the pasteboard and declares the types (owner ignored); answers the new change count.
  NSInteger declareTypes_owner(NSArray* newTypes, NSObject* owner);
  NSInteger changeCount() const { return mChangeCount; }
  // The types held, in the order they were declared or first set (autoreleased).
  NSArray* types() const;
  // Stores text for a type (a copy); NO for nil. Setting a type not declared adds it.
  BOOL setString_forType(NSString* string, NSString* type);
  // Nil when the type holds no text.
  NSString* stringForType(NSString* type) const;
  // Stores a property list (NSString, NSNumber, NSArray or NSDictionary; retained); NO for nil.
  BOOL setPropertyList_forType(NSObject* plist, NSString* type);
  // The stored property list; for a type holding text, that string. Nil when absent.
  NSObject* propertyListForType(NSString* type) const;
  // The first of types that the pasteboard holds, or nil.
  NSString* availableTypeFromArray(NSArray* types) const;

protected:
  ~NSPasteboard() override;

private:
  NSPasteboard() = default;
  struct Entry
  {
    std::string type;
    NSObject* value; // retained; null while only declared
  };
  std::vector<Entry> mEntries;
  NSInteger mChangeCount = 0;
};
