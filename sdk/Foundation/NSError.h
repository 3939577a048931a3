// NSError: a domain, a code and a localised description.
#pragma once

#include <Foundation/Foundation.h>

class NSError : public NSObject
{
public:
  // Autoreleased.
  static NSError* errorWithDomain_code_description(const char* domain, NSInteger code, const char* description);

  NSString* domain() const { return mDomain; }
  NSInteger code() const { return mCode; }
  NSString* localizedDescription() const { return mDescription; }

protected:
  ~NSError() override;

private:
  NSError() = default;
  NSString* mDomain = nullptr;
  NSInteger mCode = 0;
  NSString* mDescription = nullptr;
};
