// NSImage with bitmap representations, and NSGraphicsContext (the bridge to a CoreGraphics context).
//
// Stand-in: images are read from PNG data (whatever the file is called); other file kinds (PDF) are not decoded.
#pragma once

#include <AppKit/NSGeometry.h>

class NSGraphicsContext;

class NSImageRep : public NSObject
{
public:
  NSSize size() const { return mSize; }
  void setSize(NSSize size) { mSize = size; }
  NSInteger pixelsWide() const { return mPixelsWide; }
  NSInteger pixelsHigh() const { return mPixelsHigh; }

protected:
  NSImageRep() = default;
  NSSize mSize = NSZeroSize;
  NSInteger mPixelsWide = 0, mPixelsHigh = 0;
};

class NSBitmapImageRep : public NSImageRep
{
public:
  NSBitmapImageRep() = default;
  // Keeps the image; size = its pixel size. Nil (and released) for a null image.
  NSBitmapImageRep* initWithCGImage(CGImageRef image);
  // Not owned.
  CGImageRef CGImage() const { return mImage; }

protected:
  ~NSBitmapImageRep() override;

private:
  CGImageRef mImage = nullptr;
};

class NSImage : public NSObject
{
public:
  NSImage() = default;
  // An empty image of a size (points). Answers this.
  NSImage* initWithSize(NSSize size);
  // The file at path. Stand-in: a PNG becomes a bitmap representation of its pixels (size in pixels); nil (and
  // released) when the file is missing or is not a PNG that can be read. Answers this.
  NSImage* initByReferencingFile(NSString* path);
  NSImage* initWithContentsOfFile(NSString* path) { return initByReferencingFile(path); }

  NSSize size() const { return mSize; }
  void setSize(NSSize size) { mSize = size; }
  BOOL isValid() const { return mSize.width > 0 && mSize.height > 0 ? YES : NO; }
  // Retains the representation.
  void addRepresentation(NSImageRep* rep);
  // Autoreleased snapshot.
  NSArray* representations() const;
  // A bitmap of the image for a rectangle (points; null: the image's size) in a context (null: scale 1; the
  // context's CTM scale otherwise): the representation nearest that pixel size, scaled. Autoreleased as the
  // platform's (valid while the image lives). Null for an image without bitmap.
  CGImageRef CGImageForProposedRect_context_hints(NSRect* proposedRect, NSGraphicsContext* context,
                                                  NSDictionary* hints);

protected:
  ~NSImage() override;

private:
  NSSize mSize = NSZeroSize;
  std::vector<NSImageRep*> mReps;      // retained
  std::vector<CGImageRef> mMadeImages; // answers of CGImageForProposedRect (owned)
};

class NSGraphicsContext : public NSObject
{
public:
  // The context drawing happens in on this thread, or nil (the stand-in draws no views, so nil unless set).
  static NSGraphicsContext* currentContext();
  static void setCurrentContext(NSGraphicsContext* context);
  // A context over a CoreGraphics context (retained). Autoreleased; nil for null.
  static NSGraphicsContext* graphicsContextWithCGContext_flipped(CGContextRef context, BOOL flipped);
  CGContextRef CGContext() const { return mContext; }
  BOOL isFlipped() const { return mFlipped; }

protected:
  ~NSGraphicsContext() override;

private:
  NSGraphicsContext() = default;
  CGContextRef mContext = nullptr;
  BOOL mFlipped = NO;
};
