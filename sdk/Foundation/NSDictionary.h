// NSDictionary: a map from string keys to retained objects (property lists read from files).
#pragma once

#include <Foundation/Foundation.h>

#include <map>

class NSURL;

class NSDictionary : public NSObject
{
public:
  // Autoreleased.
  static NSDictionary* dictionary();
  // A property list file (XML or binary) whose root is a dictionary: strings, numbers, booleans (as NSNumber),
  // arrays and dictionaries are converted; other values are left out. Nil when the URL is not a file URL, the file
  // is missing or unreadable or its root is not a dictionary. Autoreleased.
  static NSDictionary* dictionaryWithContentsOfURL(const NSURL* url);
  static NSDictionary* dictionaryWithContentsOfFile(const NSString* path);

  NSUInteger count() const { return mEntries.size(); }
  // Nil for a missing key or a nil key.
  NSObject* objectForKey(const NSString* key) const;
  // The keys in sorted order; autoreleased.
  NSArray* allKeys() const;

protected:
  NSDictionary() = default;
  ~NSDictionary() override;
  std::map<std::string, NSObject*> mEntries;
};

class NSMutableDictionary : public NSDictionary
{
public:
  // Autoreleased.
  static NSMutableDictionary* dictionary();
  // Retains the object; a nil key or object is ignored (where the platform raises an exception).
  void setObject_forKey(NSObject* object, const NSString* key);
  void removeObjectForKey(const NSString* key);

protected:
  NSMutableDictionary() = default;
};
