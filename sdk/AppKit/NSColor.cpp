// AppKit stand-in: NSColor, the shared colour panel and NSFont.

#include <AppKit/AppKit_p.h>

#include <cmath>

namespace
{

CGFloat Clamp01(CGFloat v)
{
  return v < 0 ? 0 : v > 1 ? 1 : (v == v ? v : 0);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// NSColor
// ---------------------------------------------------------------------------------------------------------------

NSColor* NSColor::colorWithDeviceRed_green_blue_alpha(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
{
  auto* c = new NSColor();
  c->mC[0] = Clamp01(red), c->mC[1] = Clamp01(green), c->mC[2] = Clamp01(blue), c->mC[3] = Clamp01(alpha);
  return static_cast<NSColor*>(c->autorelease());
}

NSColor* NSColor::colorWithCalibratedRed_green_blue_alpha(CGFloat r, CGFloat g, CGFloat b, CGFloat a)
{
  return colorWithDeviceRed_green_blue_alpha(r, g, b, a);
}

NSColor* NSColor::colorWithSRGBRed_green_blue_alpha(CGFloat r, CGFloat g, CGFloat b, CGFloat a)
{
  return colorWithDeviceRed_green_blue_alpha(r, g, b, a);
}

NSColor* NSColor::blackColor() { return colorWithDeviceRed_green_blue_alpha(0, 0, 0, 1); }
NSColor* NSColor::whiteColor() { return colorWithDeviceRed_green_blue_alpha(1, 1, 1, 1); }
NSColor* NSColor::clearColor() { return colorWithDeviceRed_green_blue_alpha(0, 0, 0, 0); }
NSColor* NSColor::textColor() { return blackColor(); }
NSColor* NSColor::textBackgroundColor() { return whiteColor(); }

NSColor::~NSColor()
{
  CGColorRelease(mCG);
}

void NSColor::getRed_green_blue_alpha(CGFloat* red, CGFloat* green, CGFloat* blue, CGFloat* alpha) const
{
  if (red) *red = mC[0];
  if (green) *green = mC[1];
  if (blue) *blue = mC[2];
  if (alpha) *alpha = mC[3];
}

NSColor* NSColor::colorUsingColorSpaceName(NSString*) const
{
  return colorWithDeviceRed_green_blue_alpha(mC[0], mC[1], mC[2], mC[3]);
}

CGColorRef NSColor::CGColor() const
{
  if (!mCG) mCG = CGColorCreateGenericRGB(mC[0], mC[1], mC[2], mC[3]);
  return mCG;
}

BOOL NSColor::isEqualToColor(const NSColor* other) const
{
  return other && other->mC[0] == mC[0] && other->mC[1] == mC[1] && other->mC[2] == mC[2] && other->mC[3] == mC[3]
           ? YES
           : NO;
}

// ---------------------------------------------------------------------------------------------------------------
// NSColorPanel
// ---------------------------------------------------------------------------------------------------------------

namespace
{

NSColorPanel*& SharedPanel()
{
  static NSColorPanel* panel = nullptr;
  return panel;
}

} // namespace

NSColorPanel::NSColorPanel()
{
  mColor = static_cast<NSColor*>(NSColor::whiteColor()->retain());
}

NSColorPanel* NSColorPanel::sharedColorPanel()
{
  if (!SharedPanel()) SharedPanel() = new NSColorPanel();
  return SharedPanel();
}

BOOL NSColorPanel::sharedColorPanelExists()
{
  return SharedPanel() ? YES : NO;
}

void NSColorPanel::setColor(NSColor* color)
{
  if (!color) return;
  color->retain();
  if (mColor) mColor->release();
  mColor = color;
}

// ---------------------------------------------------------------------------------------------------------------
// NSFont
// ---------------------------------------------------------------------------------------------------------------

NSFont::~NSFont()
{
  if (mDescriptor) CFRelease(mDescriptor);
}

NSFont* NSFont::fontWithDescriptor_size(CTFontDescriptorRef descriptor, CGFloat size)
{
  if (!descriptor) return nullptr;
  auto* f = new NSFont();
  CFRetain(descriptor);
  f->mDescriptor = descriptor;
  f->mSize = size > 0 ? size : 12.0;
  return static_cast<NSFont*>(f->autorelease());
}

namespace
{

CTFontDescriptorRef DescriptorForFamily(const char* family)
{
  CFStringRef name = CFStringCreateWithCString(nullptr, family, kCFStringEncodingUTF8);
  if (!name) return nullptr;
  const void* keys[] = {kCTFontFamilyNameAttribute};
  const void* values[] = {name};
  CFDictionaryRef attrs =
    CFDictionaryCreate(nullptr, keys, values, 1, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFRelease(name);
  if (!attrs) return nullptr;
  CTFontDescriptorRef d = CTFontDescriptorCreateWithAttributes(attrs);
  CFRelease(attrs);
  return d;
}

} // namespace

NSFont* NSFont::fontWithName_size(NSString* name, CGFloat size)
{
  if (!name) return nullptr;
  CTFontDescriptorRef d = DescriptorForFamily(name->UTF8String());
  if (!d) return nullptr;
  CFTypeRef url = CTFontDescriptorCopyAttribute(d, kCTFontURLAttribute);
  NSFont* f = url ? fontWithDescriptor_size(d, size) : nullptr;
  if (url) CFRelease(url);
  CFRelease(d);
  return f;
}

NSFont* NSFont::systemFontOfSize(CGFloat size)
{
  CTFontDescriptorRef d = DescriptorForFamily("sans-serif");
  NSFont* f = fontWithDescriptor_size(d, size > 0 ? size : systemFontSize());
  if (d) CFRelease(d);
  if (!f)
  {
    f = new NSFont();
    f->mSize = size > 0 ? size : systemFontSize();
    f->autorelease();
  }
  return f;
}

NSString* NSFont::familyName() const
{
  if (!mDescriptor) return nullptr;
  auto family = static_cast<CFStringRef>(CTFontDescriptorCopyAttribute(mDescriptor, kCTFontFamilyNameAttribute));
  if (!family) return nullptr;
  char buf[512];
  NSString* s = CFStringGetCString(family, buf, sizeof buf, kCFStringEncodingUTF8) ? NSString::stringWithUTF8String(buf)
                                                                                    : nullptr;
  CFRelease(family);
  return s;
}

CGFloat NSFont::ZQLineHeight() const
{
  return std::ceil(mSize * 1.2);
}
