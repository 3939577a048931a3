// NSColor (device RGB) and the shared colour panel.
//
// Stand-in: the colour panel is never on a screen; the kit "picks" a colour (ZQAppKitPickColor), which sets the
// panel's colour and sends its action to its target, as a user's pick does.
#pragma once

#include <AppKit/NSGeometry.h>

class NSColor : public NSObject
{
public:
  // Components are clamped to 0…1 (device and calibrated colours are the same here). Autoreleased.
  static NSColor* colorWithDeviceRed_green_blue_alpha(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
  static NSColor* colorWithCalibratedRed_green_blue_alpha(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
  static NSColor* colorWithSRGBRed_green_blue_alpha(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);
  static NSColor* blackColor();
  static NSColor* whiteColor();
  static NSColor* clearColor();
  static NSColor* textColor();
  static NSColor* textBackgroundColor();

  CGFloat redComponent() const { return mC[0]; }
  CGFloat greenComponent() const { return mC[1]; }
  CGFloat blueComponent() const { return mC[2]; }
  CGFloat alphaComponent() const { return mC[3]; }
  void getRed_green_blue_alpha(CGFloat* red, CGFloat* green, CGFloat* blue, CGFloat* alpha) const;
  // The colour itself (every colour is device RGB here). Autoreleased.
  NSColor* colorUsingColorSpaceName(NSString* name) const;
  // The colour as a CGColor: not owned, valid while the colour lives.
  CGColorRef CGColor() const;
  BOOL isEqualToColor(const NSColor* other) const;

protected:
  ~NSColor() override;

private:
  NSColor() = default;
  CGFloat mC[4] = {0, 0, 0, 1};
  mutable CGColorRef mCG = nullptr;
};

class NSColorPanel : public NSObject
{
public:
  // Made on first use and kept for the process.
  static NSColorPanel* sharedColorPanel();
  static BOOL sharedColorPanelExists();

  // Not retained.
  void setTarget(NSObject* target) { mTarget = target; }
  NSObject* target() const { return mTarget; }
  void setAction(SEL action) { mAction = std::move(action); }
  SEL action() const { return mAction; }
  BOOL showsAlpha() const { return mShowsAlpha; }
  void setShowsAlpha(BOOL b) { mShowsAlpha = b; }
  BOOL isContinuous() const { return mContinuous; }
  void setContinuous(BOOL b) { mContinuous = b; }
  // Sets the shown colour (retained); sends no action.
  void setColor(NSColor* color);
  NSColor* color() const { return mColor; }
  void orderFront(NSObject* /*sender*/) { mVisible = true; }
  void makeKeyAndOrderFront(NSObject* /*sender*/) { mVisible = true; }
  void close() { mVisible = false; }
  void orderOut(NSObject* /*sender*/) { mVisible = false; }
  BOOL isVisible() const { return mVisible; }

private:
  friend bool ZQAppKitPickColor(CGFloat, CGFloat, CGFloat, CGFloat);
  friend void ZQAppKitReset();
  NSColorPanel();
  NSObject* mTarget = nullptr;
  SEL mAction;
  BOOL mShowsAlpha = NO;
  BOOL mContinuous = YES;
  NSColor* mColor = nullptr; // retained
  bool mVisible = false;
};
