// Foundation: the root object with reference counting and autorelease pools, strings, arrays, the standard
// search paths, the file manager and bundles.
//
// Objective-C classes are C++ classes of the same name deriving from NSObject; a selector is a method named by
// its keywords joined with '_'. Objects handed out by class factories and by methods that do not start with
// alloc/new/copy are autoreleased: they stay valid until the innermost NSAutoreleasePool of the calling thread
// ends. A message to nil does nothing in Objective-C: callers check for null here.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <atomic>
#include <string>
#include <vector>

typedef long NSInteger;
typedef unsigned long NSUInteger;
typedef signed char BOOL;
inline constexpr BOOL YES = 1;
inline constexpr BOOL NO = 0;

// ---- NSObject: the root class (intrusive reference count) ----
class NSObject
{
public:
  // A new object holds one reference, owned by the creator.
  NSObject() = default;
  NSObject(const NSObject&) = delete;
  NSObject& operator=(const NSObject&) = delete;

  // [any thread] Adds a reference; returns this.
  NSObject* retain();
  // [any thread] Drops a reference; the object is deleted when none is left.
  void release();
  // [any thread] Hands one reference to the calling thread's innermost autorelease pool; returns this.
  NSObject* autorelease();
  NSUInteger retainCount() const { return mRetainCount.load(std::memory_order_relaxed); }

protected:
  virtual ~NSObject() = default;

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
class NSString : public NSObject
{
public:
  // Autoreleased; nil for a null text.
  static NSString* stringWithUTF8String(const char* text);
  // Not autoreleased: the caller owns the reference (the alloc/init family).
  static NSString* alloc_initWithUTF8String(const char* text);

  // Valid while the string lives.
  const char* UTF8String() const { return mText.c_str(); }
  BOOL isEqualToString(const NSString* other) const { return other && mText == other->mText; }

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

private:
  explicit NSString(std::string text) : mText(std::move(text)) {}
  static NSString* Make(std::string text);

  std::string mText;
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

protected:
  ~NSArray() override;

private:
  NSArray() = default;
  std::vector<NSObject*> mObjects;
};

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
  CFBundleRef CFBundle() const { return mBundle; }

protected:
  ~NSBundle() override;

private:
  explicit NSBundle(CFBundleRef bundle);
  CFBundleRef mBundle;
};
