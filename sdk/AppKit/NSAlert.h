// Alert panels: NSRunAlertPanel and NSAlert.
//
// Stand-in: nothing is shown; the answer comes from the kit's script (ZQAppKitScriptAlert), one entry per panel:
// the 1-based button number. An unscripted panel answers its first button. Every panel shown is recorded.
#pragma once

#include <AppKit/NSApplication.h>

enum : NSInteger
{
  NSAlertDefaultReturn = 1,
  NSAlertAlternateReturn = 0,
  NSAlertOtherReturn = -1,
  NSAlertErrorReturn = -2,
};

enum : NSModalResponse
{
  NSAlertFirstButtonReturn = 1000,
  NSAlertSecondButtonReturn = 1001,
  NSAlertThirdButtonReturn = 1002,
};

// A modal alert panel with up to three buttons: default (nil: "OK"), alternate and other (nil: absent). The
// message is msgFormat with each "%@" replaced by the next argument (NSString* or other NSObject*, by its
// description; nil as "(null)") and "%%" by "%". Answers NSAlertDefaultReturn, NSAlertAlternateReturn or
// NSAlertOtherReturn for the button pressed.
NSInteger NSRunAlertPanel(NSString* title, NSString* msgFormat, NSString* defaultButton, NSString* alternateButton,
                          NSString* otherButton, ...);

typedef NSUInteger NSAlertStyle;
enum : NSAlertStyle
{
  NSAlertStyleWarning = 0,
  NSAlertStyleInformational = 1,
  NSAlertStyleCritical = 2,
};

class NSAlert : public NSObject
{
public:
  NSAlert() = default;
  NSString* messageText() const { return mMessage; }
  void setMessageText(NSString* text);
  NSString* informativeText() const { return mInformative; }
  void setInformativeText(NSString* text);
  NSAlertStyle alertStyle() const { return mStyle; }
  void setAlertStyle(NSAlertStyle style) { mStyle = style; }
  // Buttons are added left to right as first, second, third …; answers nil (no button object here).
  void addButtonWithTitle(NSString* title);
  NSUInteger ZQButtonCount() const { return mButtons.size(); }
  // NSAlertFirstButtonReturn + index of the button pressed (an alert without buttons has "OK").
  NSModalResponse runModal();

protected:
  ~NSAlert() override;

private:
  NSString* mMessage = nullptr;     // retained
  NSString* mInformative = nullptr; // retained
  NSAlertStyle mStyle = NSAlertStyleWarning;
  std::vector<std::string> mButtons;
};
