// Foundation: the root object with reference counting and autorelease pools, selectors and the class registry,
// strings, numbers, arrays, dictionaries, URLs, character sets, notifications, timers and the run loop,
// formatters, the standard search paths, the file manager and bundles.
//
// Objective-C classes are C++ classes of the same name deriving from NSObject; a selector is a method named by
// its keywords joined with '_'. Objects handed out by class factories and by methods that do not start with
// alloc/new/copy are autoreleased: they stay valid until the innermost NSAutoreleasePool of the calling thread
// ends. A message to nil does nothing in Objective-C: callers check for null here.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

typedef long NSInteger;
typedef unsigned long NSUInteger;
typedef signed char BOOL;
inline constexpr BOOL YES = 1;
inline constexpr BOOL NO = 0;
typedef unsigned short unichar;      // one UTF-16 unit
typedef unsigned int UTF32Char;      // one code point

class NSObject;
class NSString;

// ---- SEL: a selector (target/action) ----
// A name and a typed way to send it: ZQSelector("onTimer:", &MyView::onTimer_) makes a selector that, sent to a
// target of class MyView (or a subclass), calls target->onTimer_(sender) with the sender cast to the method's
// argument type (null when the sender is of another class). Sent to an object of another class it does nothing,
// as a target that does not respond to the selector. A default-made SEL is the null selector.
class SEL
{
public:
  using Sender = std::function<bool(NSObject* target, NSObject* sender)>; // false: the target does not respond
  using Tester = std::function<bool(const NSObject* target)>;

  SEL() = default;
  SEL(const char* name, Sender send, Tester responds)
    : mName(name ? name : ""), mSend(std::move(send)), mResponds(std::move(responds)) {}

  const char* name() const { return mName.c_str(); }
  explicit operator bool() const { return !mName.empty(); }
  bool operator==(const SEL& other) const { return mName == other.mName; }
  // Sends the message; false when target is null or does not respond.
  bool send(NSObject* target, NSObject* sender) const { return target && mSend && mSend(target, sender); }
  bool isRespondedToBy(const NSObject* target) const { return target && mResponds && mResponds(target); }

private:
  std::string mName;
  Sender mSend;
  Tester mResponds;
};

// ---- NSObject: the root class (intrusive reference count) ----
class NSObject
{
public:
  // A new object holds one reference, owned by the creator ([[X alloc] init] is `new X()` then `init()`).
  NSObject() = default;
  NSObject(const NSObject&) = delete;
  NSObject& operator=(const NSObject&) = delete;

  // [any thread] Adds a reference; returns this.
  NSObject* retain();
  // [any thread] Drops a reference; the object is deleted when none is left.
  void release();
  // [any thread] Hands one reference to the calling thread's innermost autorelease pool; returns this.
  NSObject* autorelease();
  // Acquire: a holder's release that brought the count here happens before what the reader does next.
  NSUInteger retainCount() const { return mRetainCount.load(std::memory_order_acquire); }

  // The designated initialiser of the root class: answers this. Subclasses that override it call the base.
  virtual NSObject* init() { return this; }
  // A text describing the object (autoreleased); the root class answers "<NSObject>".
  virtual NSString* description() const;
  // Whether sel, sent to this object, reaches a method.
  BOOL respondsToSelector(const SEL& sel) const { return sel.isRespondedToBy(this) ? YES : NO; }
  // Sends sel with an argument (performSelector:withObject:); NO when the object does not respond.
  BOOL performSelector_withObject(const SEL& sel, NSObject* object) { return sel.send(this, object) ? YES : NO; }

protected:
  virtual ~NSObject();

private:
  std::atomic<NSUInteger> mRetainCount{1};
};

// ---- @autoreleasepool { ... }: a scope object on the stack ----
// Objects autoreleased on this thread while the pool is the innermost one are released when it ends (or on
// drain). Objects autoreleased with no pool in place are released when the thread ends.
class NSAutoreleasePool
{
public:
  NSAutoreleasePool();
  ~NSAutoreleasePool();
  NSAutoreleasePool(const NSAutoreleasePool&) = delete;
  NSAutoreleasePool& operator=(const NSAutoreleasePool&) = delete;

  // Releases what this pool holds now; the pool stays in place.
  void drain();
  // [any thread] Puts one reference of obj into the calling thread's innermost pool (null is ignored).
  static void addObject(NSObject* obj);

private:
  size_t mMark;
};

// ---- NSString: immutable text, held as UTF-8 ----
// Lengths and indexes count UTF-16 units, as on the platform (a code point above U+FFFF is two units).
typedef NSUInteger NSStringEncoding;
enum : NSStringEncoding
{
  NSASCIIStringEncoding = 1,
  NSUTF8StringEncoding = 4,
  NSISOLatin1StringEncoding = 5,
  NSUTF16StringEncoding = 10,
  NSMacOSRomanStringEncoding = 30,
};

struct NSRange
{
  NSUInteger location;
  NSUInteger length;
};
inline NSRange NSMakeRange(NSUInteger location, NSUInteger length) { return NSRange{location, length}; }
inline constexpr NSInteger NSNotFound = 0x7fffffffffffffffL;

class NSString : public NSObject
{
public:
  // Autoreleased; nil for a null text or one that is not valid UTF-8.
  static NSString* stringWithUTF8String(const char* text);
  // Not autoreleased: the caller owns the reference (the alloc/init family). Nil as above.
  static NSString* alloc_initWithUTF8String(const char* text);
  // Autoreleased. UTF-8 as stringWithUTF8String; ASCII and Latin-1 map each byte to the code point of the same
  // number (bytes above 127 are taken as Latin-1 for ASCII too, so the conversion never fails); other encodings nil.
  static NSString* stringWithCString_encoding(const char* text, NSStringEncoding encoding);
  // Autoreleased copy; nil for nil.
  static NSString* stringWithString(const NSString* other);
  // Autoreleased; length UTF-16 units (unpaired surrogates become U+FFFD). Nil for null characters with length > 0.
  static NSString* stringWithCharacters_length(const unichar* characters, NSUInteger length);
  // printf-style formatting (no %@); autoreleased.
  static NSString* stringWithFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
  // An empty string; autoreleased.
  static NSString* string();

  // Valid while the string lives (and, for a mutable string, until it changes).
  const char* UTF8String() const { return mText.c_str(); }
  // The text in the encoding (UTF-8; ASCII only when every character is ASCII), else null. Valid while the string lives.
  const char* cStringUsingEncoding(NSStringEncoding encoding) const;
  BOOL isEqualToString(const NSString* other) const { return other && mText == other->mText; }
  // Number of UTF-16 units.
  NSUInteger length() const;
  // The UTF-16 unit at index; 0 outside the string (where the platform raises an exception).
  unichar characterAtIndex(NSUInteger index) const;
  // The leading decimal integer after optional white space and sign; 0 when there is none; clamped to INT_MIN..INT_MAX.
  int intValue() const;
  NSInteger integerValue() const;
  // The leading decimal floating-point number (C locale); 0 when there is none.
  double doubleValue() const;
  float floatValue() const { return static_cast<float>(doubleValue()); }
  BOOL hasPrefix(const NSString* prefix) const;
  BOOL hasSuffix(const NSString* suffix) const;
  // The range of the first occurrence (in UTF-16 units), {NSNotFound, 0} when absent.
  NSRange rangeOfString(const NSString* other) const;
  // Units [from, end); autoreleased. Out-of-range indexes are clamped.
  NSString* substringFromIndex(NSUInteger from) const;
  NSString* substringToIndex(NSUInteger to) const;
  NSString* substringWithRange(NSRange range) const;
  NSString* stringByAppendingString(const NSString* other) const;
  NSString* description() const override;

  // Path operations (all autoreleased, POSIX paths, "/" separators).
  // A leading "~" or "~/" becomes the home folder.
  NSString* stringByExpandingTildeInPath() const;
  // this + "/" + component, without doubling a "/" at the join; a nil component gives a copy.
  NSString* stringByAppendingPathComponent(const NSString* component) const;
  // this + "." + extension; a nil or empty extension gives a copy.
  NSString* stringByAppendingPathExtension(const NSString* extension) const;
  // The last component ("" for ""; "/" for "/"); trailing "/" ignored.
  NSString* lastPathComponent() const;
  // The text after the last "." of the last component, "" when there is none.
  NSString* pathExtension() const;
  // The path without the extension of its last component (and its ".").
  NSString* stringByDeletingPathExtension() const;

protected:
  explicit NSString(std::string text) : mText(std::move(text)) {}
  static NSString* Make(std::string text);

  std::string mText;
  mutable std::string mCString; // cStringUsingEncoding's answer
};

// ---- NSMutableString ----
class NSMutableString : public NSString
{
public:
  // Autoreleased.
  static NSMutableString* string();
  static NSMutableString* stringWithString(const NSString* other);
  static NSMutableString* stringWithUTF8String(const char* text); // nil as NSString's
  static NSMutableString* stringWithCapacity(NSUInteger capacity);

  void appendString(const NSString* other);
  // Inserts at a UTF-16 index (clamped to the length; an index inside a surrogate pair inserts after the pair).
  void insertString_atIndex(const NSString* other, NSUInteger index);
  void deleteCharactersInRange(NSRange range);
  void setString(const NSString* other);

protected:
  explicit NSMutableString(std::string text) : NSString(std::move(text)) {}
};

// ---- NSArray: an immutable list of retained objects ----
class NSArray : public NSObject
{
public:
  // Autoreleased; null entries are skipped.
  static NSArray* arrayWithObjects_count(NSObject* const* objects, NSUInteger count);

  NSUInteger count() const { return mObjects.size(); }
  // The object at index; nil outside the list (where the platform raises an exception).
  NSObject* objectAtIndex(NSUInteger index) const { return index < mObjects.size() ? mObjects[index] : nullptr; }
  NSObject* firstObject() const { return objectAtIndex(0); }
  NSObject* lastObject() const { return mObjects.empty() ? nullptr : mObjects.back(); }
  // Autoreleased.
  static NSArray* array();
  static NSArray* arrayWithObject(NSObject* object);
  // Equality: the same object, or strings/numbers of equal value.
  BOOL containsObject(const NSObject* object) const;
  // NSNotFound when absent.
  NSUInteger indexOfObject(const NSObject* object) const;

protected:
  NSArray() = default;
  ~NSArray() override;
  std::vector<NSObject*> mObjects;
};

// ---- NSMutableArray ----
class NSMutableArray : public NSArray
{
public:
  // Autoreleased.
  static NSMutableArray* array();
  static NSMutableArray* arrayWithCapacity(NSUInteger capacity);

  // Retains; null is ignored (where the platform raises an exception).
  void addObject(NSObject* object);
  void insertObject_atIndex(NSObject* object, NSUInteger index);
  void removeObjectAtIndex(NSUInteger index);
  // Removes every entry equal to object.
  void removeObject(const NSObject* object);
  void removeAllObjects();

protected:
  NSMutableArray() = default;
};

// Object equality as isEqual: the same object, or two strings or two numbers of equal value.
BOOL NSObjectsAreEqual(const NSObject* a, const NSObject* b);

// ---- Standard folders (NSPathUtilities) ----
enum NSSearchPathDirectory : NSUInteger
{
  NSLibraryDirectory = 5,
  NSDesktopDirectory = 12,
  NSApplicationSupportDirectory = 14,
  NSMusicDirectory = 18,
};

enum NSSearchPathDomainMask : NSUInteger
{
  NSUserDomainMask = 1,    // the user's home folder
  NSLocalDomainMask = 2,   // "/Library"
  NSNetworkDomainMask = 4, // "/Network/Library"
  NSSystemDomainMask = 8,  // "/System/Library"
  NSAllDomainsMask = 0x0ffff,
};

// The user's home folder: $HOME, else the account database's entry, else "/". Autoreleased.
NSString* NSHomeDirectory();
// The folders of `directory` in each domain of `domainMask`, in the order user, local, network, system;
// domains where the folder does not exist on the platform are left out. User-domain paths start with "~"
// unless expandTilde is set. Autoreleased; never nil (possibly empty).
NSArray* NSSearchPathForDirectoriesInDomains(NSSearchPathDirectory directory, NSSearchPathDomainMask domainMask,
                                             BOOL expandTilde);

// ---- NSFileManager ----
class NSFileManager : public NSObject
{
public:
  // The shared manager (never released).
  static NSFileManager* defaultManager();
  // Whether something exists at path (following symbolic links); NO for nil.
  BOOL fileExistsAtPath(const NSString* path) const;
  // The same; *isDirectory (when given) tells whether it is a folder.
  BOOL fileExistsAtPath_isDirectory(const NSString* path, BOOL* isDirectory) const;

private:
  NSFileManager() = default;
};

// ---- NSBundle (on CFBundle) ----
class NSBundle : public NSObject
{
public:
  // The live bundle with that identifier, or nil. Autoreleased.
  static NSBundle* bundleWithIdentifier(const NSString* identifier);

  // Resources/<name>.<ext> (ext nil or "": <name> as given) when that file exists, else nil. Autoreleased.
  NSString* pathForResource_ofType(const NSString* name, const NSString* ext) const;
  // The Resources folder, or nil. Autoreleased.
  NSString* resourcePath() const;
  // The bundle's executable file, or nil. Autoreleased.
  NSString* executablePath() const;
  // The bundle folder, or nil. Autoreleased.
  NSString* bundlePath() const;
  // Info.plist's CFBundleIdentifier, or nil. Autoreleased.
  NSString* bundleIdentifier() const;
  CFBundleRef CFBundle() const { return mBundle; }

protected:
  ~NSBundle() override;

private:
  explicit NSBundle(CFBundleRef bundle);
  CFBundleRef mBundle;
};

// The rest of the framework.
#include <Foundation/NSObjCRuntime.h>
#include <Foundation/NSValue.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSURL.h>
#include <Foundation/NSNotification.h>
#include <Foundation/NSCharacterSet.h>
#include <Foundation/NSTimer.h>
#include <Foundation/NSFormatter.h>
