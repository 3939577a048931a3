// NSError stand-in.

#include <Foundation/NSError.h>

NSError* NSError::errorWithDomain_code_description(const char* domain, NSInteger code, const char* description)
{
  auto* error = new NSError();
  error->mDomain = NSString::alloc_initWithUTF8String(domain ? domain : "");
  error->mCode = code;
  error->mDescription = NSString::alloc_initWithUTF8String(description ? description : "");
  error->autorelease();
  return error;
}

NSError::~NSError()
{
  if (mDomain) mDomain->release();
  if (mDescription) mDescription->release();
}
