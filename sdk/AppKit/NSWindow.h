// NSWindow (headless) and NSScreen.
//
// Stand-in: a window is a content view with a backing scale factor, key and main state and a first responder;
// nothing is shown. Events come from the test kit (AppKitTesting.h) through sendEvent. Screen coordinates are
// points with the origin at the bottom left of the main screen, y up; window coordinates have their origin at
// the bottom left of the content area.
#pragma once

#include <AppKit/NSView.h>

// ---- NSScreen ----
class NSScreen : public NSObject
{
public:
  // The one screen (never released); its size and scale come from the kit (default 1920 × 1080 at scale 1).
  static NSScreen* mainScreen();
  // An array of the main screen (autoreleased).
  static NSArray* screens();
  NSRect frame() const { return mFrame; }
  NSRect visibleFrame() const { return mFrame; }
  CGFloat backingScaleFactor() const { return mScale; }

private:
  friend void ZQAppKitSetMainScreen(CGFloat, CGFloat, CGFloat);
  NSScreen() = default;
  NSRect mFrame = NSMakeRect(0, 0, 1920, 1080);
  CGFloat mScale = 1.0;
};

typedef NSUInteger NSWindowStyleMask;
enum : NSWindowStyleMask
{
  NSWindowStyleMaskBorderless = 0,
  NSWindowStyleMaskTitled = 1,
  NSWindowStyleMaskClosable = 2,
  NSWindowStyleMaskMiniaturizable = 4,
  NSWindowStyleMaskResizable = 8,
};
typedef NSUInteger NSBackingStoreType;
enum : NSBackingStoreType
{
  NSBackingStoreBuffered = 2,
};

extern NSString* const NSWindowDidBecomeKeyNotification;
extern NSString* const NSWindowDidResignKeyNotification;
extern NSString* const NSWindowDidBecomeMainNotification;
extern NSString* const NSWindowDidResignMainNotification;
extern NSString* const NSWindowWillCloseNotification;

// ---- NSWindow ----
class NSWindow : public NSResponder
{
public:
  NSWindow();
  // contentRect: screen coordinates of the content area. The backing scale is the main screen's. Answers this.
  NSWindow* initWithContentRect_styleMask_backing_defer(NSRect contentRect, NSWindowStyleMask style,
                                                        NSBackingStoreType backing, BOOL defer);

  // ---- Content ----
  NSView* contentView() const { return mContentView; }
  // Retains the view (releasing the old one, which leaves the window); its frame becomes (0, 0, content size);
  // it and its descendants get viewDidMoveToWindow. Its next responder is the window.
  void setContentView(NSView* view);
  // Screen coordinates of the content area.
  NSRect contentRectForFrameRect(NSRect frame) const { return frame; }
  NSRect frame() const { return mContentRect; }
  // Resizes the content area (the content view follows).
  void setContentSize(NSSize size);
  void setFrameOrigin(NSPoint origin) { mContentRect.origin = origin; }
  NSString* title() const { return mTitle; }
  void setTitle(NSString* title);

  // ---- Scale ----
  CGFloat backingScaleFactor() const { return mBackingScale; }
  NSScreen* screen() const { return NSScreen::mainScreen(); }

  // ---- Responders ----
  // The window itself when no view is first responder.
  NSResponder* firstResponder() const { return mFirstResponder ? mFirstResponder : const_cast<NSWindow*>(this); }
  // Asks the current first responder to resign (NO from it: nothing changes, answers NO), then asks the new one
  // (nil or the window: the window) to accept and become; one that refuses leaves the window as first responder
  // and answers NO. Re-entrant calls from the resigning or becoming responder are allowed; the last one wins.
  BOOL makeFirstResponder(NSResponder* responder);

  // ---- Key and main ----
  // One window of the application is key (and main) at a time: making another key resigns this one
  // (NSWindowDidResignKeyNotification / NSWindowDidResignMainNotification, object the window).
  BOOL isKeyWindow() const { return mKey; }
  BOOL isMainWindow() const { return mMain; }
  BOOL isVisible() const { return mVisible; }
  void makeKeyAndOrderFront(NSObject* sender);
  void makeKeyWindow();
  void makeMainWindow();
  void orderFront(NSObject* /*sender*/) { mVisible = true; }
  // Hides the window; a key or main window resigns.
  void orderOut(NSObject* sender);
  // orderOut, after NSWindowWillCloseNotification. The content stays.
  void close();
  // The windows of the process (autoreleased snapshot, in creation order).
  static NSArray* windows();
  static NSWindow* keyWindow();

  // ---- Events ----
  BOOL acceptsMouseMovedEvents() const { return mAcceptsMouseMoved; }
  void setAcceptsMouseMovedEvents(BOOL b) { mAcceptsMouseMoved = b; }
  // Delivers an event as the window's event loop does: a mouse-down goes to the view under the pointer (which
  // becomes first responder when it accepts), drags and the mouse-up to the view that got the mouse-down,
  // mouse-moves to the first responder (when mouse-moved events are on), the wheel to the view under the pointer,
  // keys to the first responder. Before a mouse event the tracking areas whose state changed hear
  // mouseExited:/mouseEntered: (exits first).
  void sendEvent(NSEvent* event);
  // The mouse position of the last mouse event, window coordinates.
  NSPoint mouseLocationOutsideOfEventStream() const { return mMouseLocation; }

  // ---- Coordinates ----
  NSRect convertRectFromScreen(NSRect rect) const;
  NSRect convertRectToScreen(NSRect rect) const;
  NSPoint convertPointFromScreen(NSPoint point) const;
  NSPoint convertPointToScreen(NSPoint point) const;

  NSInteger windowNumber() const { return mNumber; }

protected:
  ~NSWindow() override;

private:
  friend class NSView;
  friend void ZQAppKitSetBackingScale(NSWindow*, CGFloat);
  friend NSWindow* ZQAppKitMakeWindow(CGFloat, CGFloat, CGFloat);
  friend void ZQAppKitSetAppearance(NSString*);
  void UpdateTracking(NSPoint windowPoint, bool dragging, NSEvent* cause);
  void ForgetView(NSView* view); // a view leaves the window
  void ResignKey();
  void ResignMain();
  void DeliverMouseMoveToAreas(NSPoint windowPoint, NSEvent* event);
  friend void ZQAppKitMouseLeaveWindow(NSWindow*);
  friend void ZQAppKitDeactivate();

  NSRect mContentRect = NSMakeRect(200, 200, 0, 0);
  NSView* mContentView = nullptr;     // retained
  NSResponder* mFirstResponder = nullptr;
  NSView* mMouseDownView = nullptr;   // retained while the button is down
  NSView* mRightDownView = nullptr;   // retained while the button is down
  NSString* mTitle = nullptr;         // retained
  CGFloat mBackingScale = 1.0;
  bool mKey = false, mMain = false, mVisible = false;
  bool mAcceptsMouseMoved = false;
  NSPoint mMouseLocation = NSZeroPoint;
  bool mMouseInside = false; // the pointer is over the content area
  NSInteger mNumber = 0;
};
