// NSFont: a font face at a point size, on CoreText descriptors.
#pragma once

#include <AppKit/NSGeometry.h>
#include <CoreText/CoreText.h>

class NSFont : public NSObject
{
public:
  // The font of the descriptor (an NSFontDescriptor is a CTFontDescriptorRef here) at size points (0: 12).
  // Autoreleased; nil for a null descriptor.
  static NSFont* fontWithDescriptor_size(CTFontDescriptorRef descriptor, CGFloat size);
  // The installed family or PostScript name; nil when no installed font matches. Autoreleased.
  static NSFont* fontWithName_size(NSString* name, CGFloat size);
  // The system font (a sans-serif face found through fontconfig); autoreleased, never nil.
  static NSFont* systemFontOfSize(CGFloat size);
  static CGFloat systemFontSize() { return 13.0; }

  CGFloat pointSize() const { return mSize; }
  // Not owned.
  CTFontDescriptorRef fontDescriptor() const { return mDescriptor; }
  // Autoreleased; nil when the descriptor has no family.
  NSString* familyName() const;
  // Line height used for cell sizes: ceil(size × 1.2).
  CGFloat ZQLineHeight() const;

protected:
  ~NSFont() override;

private:
  NSFont() = default;
  CTFontDescriptorRef mDescriptor = nullptr; // owned
  CGFloat mSize = 12.0;
};
