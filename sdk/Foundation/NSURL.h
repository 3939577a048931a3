// NSURL: file and network URLs.
#pragma once

#include <Foundation/Foundation.h>

class NSURL : public NSObject
{
public:
  // A file URL of an absolute or relative path (relative paths are taken from the current folder). Nil for a nil
  // or empty path. Autoreleased.
  static NSURL* fileURLWithPath(const NSString* path);
  // A URL parsed from text: a scheme ("[A-Za-z][A-Za-z0-9+.-]*:") is optional, and characters that a URL may not
  // hold (spaces, controls, non-ASCII, '"', '<', '>', '\\', '^', '`', '{', '|', '}') make it nil, as does nil or
  // "". Autoreleased.
  static NSURL* URLWithString(const NSString* text);

  // The whole text ("file:///a%20b" for a file URL of "/a b"). Autoreleased.
  NSString* absoluteString() const;
  // The scheme in lower case, "" when none. Autoreleased.
  NSString* scheme() const;
  // The path, percent-decoded, without a trailing "/" (except "/"); nil when the URL has none. Autoreleased.
  NSString* path() const;
  BOOL isFileURL() const { return mIsFile ? YES : NO; }
  // A new CFURL of the same text (caller owns): the file system path for a file URL.
  CFURLRef copyCFURL() const;
  NSString* description() const override { return absoluteString(); }

private:
  NSURL() = default;
  std::string mText; // the absolute string
  std::string mPath; // decoded path
  bool mIsFile = false;
};
