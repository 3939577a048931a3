// Application-level AppKit: the version number, loading AppKit into a host, modal responses and
// NSAnimationContext.
#pragma once

#include <AppKit/NSGeometry.h>

// The AppKit release (2487: macOS 14). Stand-in: a read-only view of a value the test kit sets.
extern const double& NSAppKitVersionNumber;
inline constexpr double NSAppKitVersionNumber10_10 = 1343;
inline constexpr double NSAppKitVersionNumber10_11 = 1404;
inline constexpr double NSAppKitVersionNumber10_14 = 1671;

// Startup of AppKit inside a host that is not a Cocoa application; always YES here.
BOOL NSApplicationLoad();

typedef NSInteger NSModalResponse;
enum : NSModalResponse
{
  NSModalResponseCancel = 0,
  NSModalResponseOK = 1,
  NSFileHandlingPanelCancelButton = 0,
  NSFileHandlingPanelOKButton = 1,
};

// Animation groups: the stand-in animates nothing, so changes inside a group take effect at once.
class NSAnimationContext : public NSObject
{
public:
  static void beginGrouping();
  static void endGrouping();
  // The innermost group's context (a shared object; never released).
  static NSAnimationContext* currentContext();
  void setDuration(double seconds) { mDuration = seconds; }
  double duration() const { return mDuration; }
  static void runAnimationGroup_completionHandler(std::function<void(NSAnimationContext*)> changes,
                                                  std::function<void()> completion);

private:
  NSAnimationContext() = default;
  double mDuration = 0.25;
};
