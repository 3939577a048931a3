// NSView with its hierarchy, frames, layers, tracking areas, tooltips, appearance and drag destination; and the
// small classes a view uses (NSTrackingArea, NSAppearance, NSDraggingInfo).
//
// Stand-in: headless. A view's frame is in its superview's coordinates (a content view's in its window's, origin
// bottom left, y up); bounds are (0, 0, frame size). A flipped view measures y from its top edge downwards.
#pragma once

#include <AppKit/NSResponder.h>

class NSWindow;
class NSView;
class NSPasteboard;
class CALayer;

// ---- NSAppearance ----
typedef NSString* NSAppearanceName;
extern NSString* const NSAppearanceNameAqua;
extern NSString* const NSAppearanceNameDarkAqua;

class NSAppearance : public NSObject
{
public:
  // The named appearance (Aqua or DarkAqua; other names are kept as given); nil for nil. Never released.
  static NSAppearance* appearanceNamed(NSString* name);
  // The appearance in force for drawing (the application's, as the kit sets it).
  static NSAppearance* currentAppearance();
  NSString* name() const { return mName; }

private:
  explicit NSAppearance(NSString* name) : mName(name) {}
  NSString* mName; // retained for good
};

// ---- NSTrackingArea ----
typedef NSUInteger NSTrackingAreaOptions;
enum : NSTrackingAreaOptions
{
  NSTrackingMouseEnteredAndExited = 0x01,
  NSTrackingMouseMoved = 0x02,
  NSTrackingCursorUpdate = 0x04,
  NSTrackingActiveWhenFirstResponder = 0x10,
  NSTrackingActiveInKeyWindow = 0x20,
  NSTrackingActiveInActiveApp = 0x40,
  NSTrackingActiveAlways = 0x80,
  NSTrackingAssumeInside = 0x100,
  NSTrackingInVisibleRect = 0x200,
  NSTrackingEnabledDuringMouseDrag = 0x400,
};

// A rectangle of a view (view coordinates) whose owner hears mouseEntered:/mouseExited: (and mouseMoved: with
// NSTrackingMouseMoved) as the mouse crosses it. The owner is not retained.
class NSTrackingArea : public NSObject
{
public:
  NSTrackingArea() = default;
  // Answers this.
  NSTrackingArea* initWithRect_options_owner_userInfo(NSRect rect, NSTrackingAreaOptions options, NSObject* owner,
                                                      NSDictionary* userInfo);
  NSRect rect() const { return mRect; }
  NSTrackingAreaOptions options() const { return mOptions; }
  NSObject* owner() const { return mOwner; }
  NSDictionary* userInfo() const { return mUserInfo; }

protected:
  ~NSTrackingArea() override;

private:
  friend class NSWindow;
  friend class NSView;
  NSRect mRect = NSZeroRect;
  NSTrackingAreaOptions mOptions = 0;
  NSObject* mOwner = nullptr;
  NSDictionary* mUserInfo = nullptr; // retained
  NSView* mView = nullptr;           // the view it was added to
  bool mInside = false;              // the mouse was inside at the last mouse event
};

// ---- Drag and drop ----
typedef NSUInteger NSDragOperation;
enum : NSDragOperation
{
  NSDragOperationNone = 0,
  NSDragOperationCopy = 1,
  NSDragOperationLink = 2,
  NSDragOperationGeneric = 4,
  NSDragOperationPrivate = 8,
  NSDragOperationMove = 16,
  NSDragOperationDelete = 32,
  NSDragOperationEvery = ~NSDragOperation(0),
};

// What a drag destination learns about the drag.
class NSDraggingInfo : public NSObject
{
public:
  NSDraggingInfo(NSPasteboard* pasteboard, NSPoint locationInWindow, NSWindow* window, NSDragOperation mask);
  NSPasteboard* draggingPasteboard() const { return mPasteboard; }
  // Window coordinates (origin bottom left).
  NSPoint draggingLocation() const { return mLocation; }
  NSWindow* draggingDestinationWindow() const { return mWindow; }
  NSDragOperation draggingSourceOperationMask() const { return mMask; }

protected:
  ~NSDraggingInfo() override;

private:
  NSPasteboard* mPasteboard; // retained
  NSPoint mLocation;
  NSWindow* mWindow;
  NSDragOperation mMask;
};

// ---- Tooltips ----
typedef NSInteger NSToolTipTag;

// The owner of a tooltip rectangle answers its text when the tooltip is about to show.
class NSViewToolTipOwner
{
public:
  virtual ~NSViewToolTipOwner();
  // point: view coordinates of the mouse. Autoreleased; nil or "" shows nothing.
  virtual NSString* view_stringForToolTip_point_userData(NSView* view, NSToolTipTag tag, NSPoint point,
                                                         void* userData) = 0;
};

// ---- NSView ----
typedef NSInteger NSViewLayerContentsRedrawPolicy;
enum : NSViewLayerContentsRedrawPolicy
{
  NSViewLayerContentsRedrawNever = 0,
  NSViewLayerContentsRedrawOnSetNeedsDisplay = 1,
  NSViewLayerContentsRedrawDuringViewResize = 2,
  NSViewLayerContentsRedrawBeforeViewResize = 3,
  NSViewLayerContentsRedrawCrossfade = 4,
};

typedef NSUInteger NSFocusRingType;
enum : NSFocusRingType
{
  NSFocusRingTypeDefault = 0,
  NSFocusRingTypeNone = 1,
  NSFocusRingTypeExterior = 2,
};

enum : NSAutoresizingMaskOptions
{
  NSViewNotSizable = 0,
  NSViewMinXMargin = 1,
  NSViewWidthSizable = 2,
  NSViewMaxXMargin = 4,
  NSViewMinYMargin = 8,
  NSViewHeightSizable = 16,
  NSViewMaxYMargin = 32,
};

// Posted (object: the view) whenever setFrame/setFrameSize/setFrameOrigin changes the frame, while
// postsFrameChangedNotifications is YES (the default).
extern NSString* const NSViewFrameDidChangeNotification;

class NSView : public NSResponder
{
public:
  NSView() = default;
  // [[NSView alloc] initWithFrame:] as a constructor; the same as NSView() then initWithFrame(frame).
  explicit NSView(NSRect frame) : mFrame(frame) {}
  // Sets the frame (no notification); answers this.
  virtual NSView* initWithFrame(NSRect frame);

  // ---- Geometry ----
  NSRect frame() const { return mFrame; }
  NSRect bounds() const { return NSMakeRect(0, 0, mFrame.size.width, mFrame.size.height); }
  virtual void setFrame(NSRect frame);
  virtual void setFrameSize(NSSize size);
  virtual void setFrameOrigin(NSPoint origin);
  BOOL postsFrameChangedNotifications() const { return mPostsFrameChanged; }
  void setPostsFrameChangedNotifications(BOOL b) { mPostsFrameChanged = b; }
  virtual BOOL isFlipped() const { return NO; }
  virtual BOOL isOpaque() const { return NO; }
  // The bounds (the stand-in does not clip by ancestors).
  NSRect visibleRect() const { return bounds(); }
  // Converts a point from another view's coordinates (nil: the window's) into this view's. Views in different
  // windows (or none) are related through their own top-level coordinates.
  NSPoint convertPoint_fromView(NSPoint point, const NSView* view) const;
  // Converts a point of this view into another view's coordinates (nil: the window's).
  NSPoint convertPoint_toView(NSPoint point, const NSView* view) const;
  NSRect convertRect_fromView(NSRect rect, const NSView* view) const;
  NSRect convertRect_toView(NSRect rect, const NSView* view) const;
  // The deepest visible view at point (the superview's coordinates) — this view or a descendant — or nil.
  virtual NSView* hitTest(NSPoint point);
  NSAutoresizingMaskOptions autoresizingMask() const { return mAutoresizingMask; }
  void setAutoresizingMask(NSAutoresizingMaskOptions mask) { mAutoresizingMask = mask; }
  BOOL isHidden() const { return mHidden; }
  void setHidden(BOOL hidden) { mHidden = hidden; }

  // ---- Hierarchy ----
  NSView* superview() const { return mSuperview; }
  NSWindow* window() const { return mWindow; }
  // A snapshot of the subviews, back to front (autoreleased).
  NSArray* subviews() const;
  // Retains the view; takes it from its previous superview first; it joins this view's window (if any), which
  // calls viewDidMoveToWindow on it and its descendants. Its next responder becomes this view.
  void addSubview(NSView* view);
  // Takes the view out of its superview (releasing the superview's reference) and out of its window (a first
  // responder inside it gives way to the window); a window's content view leaves the window (which releases it).
  // Nothing for a view without superview or window. Safe when the view is deleted by the release, and when an
  // override removes views re-entrantly.
  virtual void removeFromSuperview();
  BOOL isDescendantOf(const NSView* view) const;
  virtual void viewWillMoveToWindow(NSWindow* /*newWindow*/) {}
  virtual void viewDidMoveToWindow() {}
  virtual void viewWillMoveToSuperview(NSView* /*newSuperview*/) {}
  virtual void viewDidMoveToSuperview() {}
  // Called on every view of a window's tree when the window's backing scale factor changes.
  virtual void viewDidChangeBackingProperties() {}

  // ---- Drawing and layers ----
  virtual void drawRect(NSRect /*dirtyRect*/) {}
  BOOL needsDisplay() const { return mNeedsDisplay; }
  void setNeedsDisplay(BOOL b) { mNeedsDisplay = b; }
  void setNeedsDisplayInRect(NSRect) { mNeedsDisplay = YES; }
  BOOL wantsLayer() const { return mWantsLayer; }
  // YES makes a plain CALayer when the view has none.
  void setWantsLayer(BOOL wants);
  CALayer* layer() const { return mLayer; }
  // Retains the new layer (nil allowed) and releases the old one.
  void setLayer(CALayer* layer);
  NSViewLayerContentsRedrawPolicy layerContentsRedrawPolicy() const { return mRedrawPolicy; }
  void setLayerContentsRedrawPolicy(NSViewLayerContentsRedrawPolicy policy) { mRedrawPolicy = policy; }
  NSFocusRingType focusRingType() const { return mFocusRingType; }
  void setFocusRingType(NSFocusRingType type) { mFocusRingType = type; }

  // ---- Appearance ----
  // Own appearance (nil: inherited).
  NSAppearance* appearance() const { return mAppearance; }
  void setAppearance(NSAppearance* appearance);
  // Own, else the superview's, else the window's, else the application's.
  NSAppearance* effectiveAppearance() const;
  // Called when the effective appearance changes (own, ancestors', window's or application's).
  virtual void viewDidChangeEffectiveAppearance() {}

  // ---- Events ----
  virtual BOOL acceptsFirstMouse(NSEvent* /*event*/) { return NO; }

  // ---- Tracking areas ----
  // Retains the area.
  void addTrackingArea(NSTrackingArea* area);
  // Releases the area; nothing when it is not this view's.
  void removeTrackingArea(NSTrackingArea* area);
  // A snapshot (autoreleased).
  NSArray* trackingAreas() const;
  // Called when the view's geometry changes (frame size, joining a window) so the view can rebuild its areas.
  virtual void updateTrackingAreas() {}

  // ---- Tooltips ----
  // rect: view coordinates. The owner (not retained) must be an NSViewToolTipOwner to show text. Answers a tag
  // unique in the process (never 0).
  NSToolTipTag addToolTipRect_owner_userData(NSRect rect, NSObject* owner, void* userData);
  void removeToolTip(NSToolTipTag tag);
  void removeAllToolTips();

  // ---- Drag destination ----
  // Types are NSStrings (e.g. NSFilenamesPboardType).
  void registerForDraggedTypes(NSArray* types);
  void unregisterDraggedTypes();
  // A snapshot (autoreleased).
  NSArray* registeredDraggedTypes() const;
  virtual NSDragOperation draggingEntered(NSDraggingInfo* /*sender*/) { return NSDragOperationNone; }
  virtual NSDragOperation draggingUpdated(NSDraggingInfo* sender) { return draggingEntered(sender); }
  virtual void draggingExited(NSDraggingInfo* /*sender*/) {}
  virtual BOOL prepareForDragOperation(NSDraggingInfo* /*sender*/) { return YES; }
  virtual BOOL performDragOperation(NSDraggingInfo* /*sender*/) { return NO; }
  virtual void concludeDragOperation(NSDraggingInfo* /*sender*/) {}

  // Stand-in extension for the kit: the view's tooltip rectangles.
  struct ZQToolTip
  {
    NSToolTipTag tag;
    NSRect rect;
    NSObject* owner;
    void* userData;
  };
  const std::vector<ZQToolTip>& ZQToolTips() const { return mToolTips; }

protected:
  ~NSView() override;

private:
  friend class NSWindow;
  friend void ZQAppKitSetBackingScale(NSWindow*, CGFloat);
  friend void ZQAppKitSetAppearance(NSString*);
  void SetWindowRecursive(NSWindow* window);
  void Detach(); // out of the superview, keeping the window (the caller holds a reference)
  void NotifyBackingChanged();
  void NotifyAppearanceChanged();
  void FrameChanged(NSRect old);
  // Point conversions to and from the coordinates of the top-level ancestor's parent (the window).
  NSPoint ToBase(NSPoint p) const;
  NSPoint FromBase(NSPoint p) const;

  NSRect mFrame = NSZeroRect;
  NSView* mSuperview = nullptr;
  NSWindow* mWindow = nullptr;
  std::vector<NSView*> mSubviews; // retained
  bool mPostsFrameChanged = true;
  bool mHidden = false;
  bool mNeedsDisplay = false;
  bool mWantsLayer = false;
  CALayer* mLayer = nullptr; // retained
  NSViewLayerContentsRedrawPolicy mRedrawPolicy = NSViewLayerContentsRedrawOnSetNeedsDisplay;
  NSFocusRingType mFocusRingType = NSFocusRingTypeDefault;
  NSAutoresizingMaskOptions mAutoresizingMask = 0;
  NSAppearance* mAppearance = nullptr;
  std::vector<NSTrackingArea*> mTrackingAreas; // retained
  std::vector<ZQToolTip> mToolTips;
  std::vector<std::string> mDraggedTypes;
};
