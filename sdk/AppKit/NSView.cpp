// AppKit stand-in: NSResponder, NSView and its helpers (appearance, tracking areas, dragging info).

#include <AppKit/AppKit_p.h>

#include <algorithm>
#include <map>

NSString* const NSViewFrameDidChangeNotification = NSString::alloc_initWithUTF8String("NSViewFrameDidChangeNotification");
NSString* const NSAppearanceNameAqua = NSString::alloc_initWithUTF8String("NSAppearanceNameAqua");
NSString* const NSAppearanceNameDarkAqua = NSString::alloc_initWithUTF8String("NSAppearanceNameDarkAqua");

// ---------------------------------------------------------------------------------------------------------------
// NSResponder: pass everything on
// ---------------------------------------------------------------------------------------------------------------

#define ZQ_FORWARD(method)                                                                                           \
  void NSResponder::method(NSEvent* event)                                                                           \
  {                                                                                                                  \
    if (mNextResponder) mNextResponder->method(event);                                                               \
  }
ZQ_FORWARD(mouseDown)
ZQ_FORWARD(mouseUp)
ZQ_FORWARD(mouseDragged)
ZQ_FORWARD(mouseMoved)
ZQ_FORWARD(rightMouseDown)
ZQ_FORWARD(rightMouseUp)
ZQ_FORWARD(rightMouseDragged)
ZQ_FORWARD(otherMouseDown)
ZQ_FORWARD(otherMouseUp)
ZQ_FORWARD(otherMouseDragged)
ZQ_FORWARD(scrollWheel)
ZQ_FORWARD(mouseEntered)
ZQ_FORWARD(mouseExited)
ZQ_FORWARD(keyDown)
ZQ_FORWARD(keyUp)
ZQ_FORWARD(flagsChanged)
#undef ZQ_FORWARD

// ---------------------------------------------------------------------------------------------------------------
// NSAppearance
// ---------------------------------------------------------------------------------------------------------------

NSAppearance* NSAppearance::appearanceNamed(NSString* name)
{
  if (!name) return nullptr;
  static auto* named = new std::map<std::string, NSAppearance*>();
  NSAppearance*& slot = (*named)[name->UTF8String()];
  if (!slot) slot = new NSAppearance(NSString::alloc_initWithUTF8String(name->UTF8String()));
  return slot;
}

NSAppearance* NSAppearance::currentAppearance()
{
  NSAutoreleasePool pool;
  return appearanceNamed(NSString::stringWithUTF8String(zqak::S().appearance.c_str()));
}

// ---------------------------------------------------------------------------------------------------------------
// NSTrackingArea, NSDraggingInfo, tooltip owners
// ---------------------------------------------------------------------------------------------------------------

NSTrackingArea* NSTrackingArea::initWithRect_options_owner_userInfo(NSRect rect, NSTrackingAreaOptions options,
                                                                    NSObject* owner, NSDictionary* userInfo)
{
  mRect = rect;
  mOptions = options;
  mOwner = owner;
  zqak::Assign(mUserInfo, userInfo);
  return this;
}

NSTrackingArea::~NSTrackingArea()
{
  if (mUserInfo) mUserInfo->release();
}

NSDraggingInfo::NSDraggingInfo(NSPasteboard* pasteboard, NSPoint locationInWindow, NSWindow* window,
                               NSDragOperation mask)
  : mPasteboard(pasteboard), mLocation(locationInWindow), mWindow(window), mMask(mask)
{
  if (mPasteboard) mPasteboard->retain();
}

NSDraggingInfo::~NSDraggingInfo()
{
  if (mPasteboard) mPasteboard->release();
}

NSViewToolTipOwner::~NSViewToolTipOwner() = default;

// ---------------------------------------------------------------------------------------------------------------
// NSView: life and geometry
// ---------------------------------------------------------------------------------------------------------------

NSView::~NSView()
{
  for (NSView* v : mSubviews)
  {
    v->mSuperview = nullptr;
    v->setNextResponder(nullptr);
    v->release();
  }
  for (NSTrackingArea* a : mTrackingAreas)
  {
    a->mView = nullptr;
    a->release();
  }
  if (mLayer) mLayer->release();
}

NSView* NSView::initWithFrame(NSRect frame)
{
  mFrame = frame;
  return this;
}

void NSView::setFrame(NSRect frame)
{
  const NSRect old = mFrame;
  mFrame = frame;
  FrameChanged(old);
}

void NSView::setFrameSize(NSSize size)
{
  const NSRect old = mFrame;
  mFrame.size = size;
  FrameChanged(old);
}

void NSView::setFrameOrigin(NSPoint origin)
{
  const NSRect old = mFrame;
  mFrame.origin = origin;
  FrameChanged(old);
}

void NSView::FrameChanged(NSRect old)
{
  if (NSEqualRects(old, mFrame)) return;
  retain();
  if (mWindow && (old.size.width != mFrame.size.width || old.size.height != mFrame.size.height)) updateTrackingAreas();
  if (mPostsFrameChanged)
    NSNotificationCenter::defaultCenter()->postNotificationName_object(NSViewFrameDidChangeNotification, this);
  release();
}

// One step from a view's coordinates into its superview's (or the window's, which is not flipped).
NSPoint NSView::ToBase(NSPoint p) const
{
  for (const NSView* v = this; v; v = v->mSuperview)
  {
    const CGFloat h = v->mFrame.size.height;
    const CGFloat fromBottom = v->isFlipped() ? h - p.y : p.y;
    const bool parentFlipped = v->mSuperview && v->mSuperview->isFlipped();
    p.x = v->mFrame.origin.x + p.x;
    p.y = parentFlipped ? v->mFrame.origin.y + (h - fromBottom) : v->mFrame.origin.y + fromBottom;
  }
  return p;
}

NSPoint NSView::FromBase(NSPoint p) const
{
  std::vector<const NSView*> chain;
  for (const NSView* v = this; v; v = v->mSuperview) chain.push_back(v);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
  {
    const NSView* v = *it;
    const CGFloat h = v->mFrame.size.height;
    const bool parentFlipped = v->mSuperview && v->mSuperview->isFlipped();
    const CGFloat fromBottom = parentFlipped ? h - (p.y - v->mFrame.origin.y) : p.y - v->mFrame.origin.y;
    p.x = p.x - v->mFrame.origin.x;
    p.y = v->isFlipped() ? h - fromBottom : fromBottom;
  }
  return p;
}

NSPoint NSView::convertPoint_fromView(NSPoint point, const NSView* view) const
{
  return FromBase(view ? view->ToBase(point) : point);
}

NSPoint NSView::convertPoint_toView(NSPoint point, const NSView* view) const
{
  const NSPoint base = ToBase(point);
  return view ? view->FromBase(base) : base;
}

namespace
{

NSRect RectOfCorners(NSPoint a, NSPoint b)
{
  return NSMakeRect(std::min(a.x, b.x), std::min(a.y, b.y), std::fabs(a.x - b.x), std::fabs(a.y - b.y));
}

} // namespace

NSRect NSView::convertRect_fromView(NSRect rect, const NSView* view) const
{
  return RectOfCorners(convertPoint_fromView(rect.origin, view),
                       convertPoint_fromView(NSMakePoint(NSMaxX(rect), NSMaxY(rect)), view));
}

NSRect NSView::convertRect_toView(NSRect rect, const NSView* view) const
{
  return RectOfCorners(convertPoint_toView(rect.origin, view),
                       convertPoint_toView(NSMakePoint(NSMaxX(rect), NSMaxY(rect)), view));
}

NSView* NSView::hitTest(NSPoint point)
{
  if (mHidden) return nullptr;
  const bool parentFlipped = mSuperview && mSuperview->isFlipped();
  if (!NSMouseInRect(point, mFrame, parentFlipped ? YES : NO)) return nullptr;
  // Into this view's coordinates.
  const CGFloat h = mFrame.size.height;
  const CGFloat fromBottom = parentFlipped ? h - (point.y - mFrame.origin.y) : point.y - mFrame.origin.y;
  const NSPoint local = NSMakePoint(point.x - mFrame.origin.x, isFlipped() ? h - fromBottom : fromBottom);
  for (auto it = mSubviews.rbegin(); it != mSubviews.rend(); ++it)
    if (NSView* hit = (*it)->hitTest(local)) return hit;
  return this;
}

// ---------------------------------------------------------------------------------------------------------------
// NSView: hierarchy
// ---------------------------------------------------------------------------------------------------------------

NSArray* NSView::subviews() const
{
  std::vector<NSObject*> objs(mSubviews.begin(), mSubviews.end());
  return NSArray::arrayWithObjects_count(objs.data(), objs.size());
}

BOOL NSView::isDescendantOf(const NSView* view) const
{
  for (const NSView* v = this; v; v = v->mSuperview)
    if (v == view) return YES;
  return NO;
}

namespace
{

// The view and its descendants, each retained (release with ReleaseAll).
void CollectTree(NSView* view, std::vector<NSView*>& out)
{
  out.push_back(static_cast<NSView*>(view->retain()));
  NSArray* subs = view->subviews();
  for (NSUInteger i = 0; i < subs->count(); ++i) CollectTree(static_cast<NSView*>(subs->objectAtIndex(i)), out);
}

void ReleaseAll(std::vector<NSView*>& views)
{
  for (NSView* v : views) v->release();
  views.clear();
}

// Calls notify on the view and every descendant, each kept alive while the calls run.
void NotifyTree(NSView* view, void (NSView::*notify)())
{
  NSAutoreleasePool pool;
  std::vector<NSView*> tree;
  CollectTree(view, tree);
  for (NSView* v : tree) (v->*notify)();
  ReleaseAll(tree);
}

} // namespace

void NSView::SetWindowRecursive(NSWindow* window)
{
  NSAutoreleasePool pool;
  std::vector<NSView*> tree;
  CollectTree(this, tree);
  for (NSView* v : tree)
    if (v->mWindow != window) v->viewWillMoveToWindow(window);
  for (NSView* v : tree)
  {
    if (v->mWindow == window) continue;
    v->mWindow = window;
    v->viewDidMoveToWindow();
    if (v->mWindow) v->updateTrackingAreas();
  }
  ReleaseAll(tree);
}

void NSView::NotifyBackingChanged()
{
  NotifyTree(this, &NSView::viewDidChangeBackingProperties);
}

void NSView::NotifyAppearanceChanged()
{
  NotifyTree(this, &NSView::viewDidChangeEffectiveAppearance);
}

void NSView::addSubview(NSView* view)
{
  if (!view || view == this || isDescendantOf(view)) return;
  view->retain(); // ours while it moves
  view->Detach();
  view->viewWillMoveToSuperview(this);
  mSubviews.push_back(view); // the reference taken above
  view->mSuperview = this;
  view->setNextResponder(this);
  view->viewDidMoveToSuperview();
  view->SetWindowRecursive(mWindow);
}

void NSView::Detach()
{
  // Taken from its old place without the overridable removeFromSuperview, as the platform does when a view moves.
  NSView* old = mSuperview;
  if (!old) return;
  if (NSWindow* w = mWindow) w->ForgetView(this);
  auto it = std::find(old->mSubviews.begin(), old->mSubviews.end(), this);
  mSuperview = nullptr;
  setNextResponder(nullptr);
  if (it != old->mSubviews.end())
  {
    old->mSubviews.erase(it);
    release(); // the old superview's reference; the caller holds another
  }
}

void NSView::removeFromSuperview()
{
  NSView* parent = mSuperview;
  if (!parent)
  {
    // A window's content view leaves its window.
    if (mWindow && mWindow->contentView() == this)
    {
      retain();
      mWindow->setContentView(nullptr);
      release();
    }
    return;
  }
  retain();
  if (NSWindow* w = mWindow) w->ForgetView(this);
  if (mSuperview != parent) // removed again while the window let go of it
  {
    release();
    return;
  }
  viewWillMoveToSuperview(nullptr);
  auto it = std::find(parent->mSubviews.begin(), parent->mSubviews.end(), this);
  const bool listed = it != parent->mSubviews.end();
  if (listed) parent->mSubviews.erase(it);
  mSuperview = nullptr;
  setNextResponder(nullptr);
  SetWindowRecursive(nullptr);
  viewDidMoveToSuperview();
  if (listed) release(); // the superview's reference
  release();
}

// ---------------------------------------------------------------------------------------------------------------
// NSView: layers and appearance
// ---------------------------------------------------------------------------------------------------------------

void NSView::setWantsLayer(BOOL wants)
{
  mWantsLayer = wants;
  if (wants && !mLayer) mLayer = new CALayer();
}

void NSView::setLayer(CALayer* layer)
{
  if (layer == mLayer) return;
  zqak::Assign(mLayer, layer);
}

void NSView::setAppearance(NSAppearance* appearance)
{
  if (appearance == mAppearance) return;
  mAppearance = appearance;
  NotifyAppearanceChanged();
}

NSAppearance* NSView::effectiveAppearance() const
{
  for (const NSView* v = this; v; v = v->mSuperview)
    if (v->mAppearance) return v->mAppearance;
  return NSAppearance::currentAppearance();
}

// ---------------------------------------------------------------------------------------------------------------
// NSView: tracking areas, tooltips, dragged types
// ---------------------------------------------------------------------------------------------------------------

void NSView::addTrackingArea(NSTrackingArea* area)
{
  if (!area || std::find(mTrackingAreas.begin(), mTrackingAreas.end(), area) != mTrackingAreas.end()) return;
  mTrackingAreas.push_back(static_cast<NSTrackingArea*>(area->retain()));
  area->mView = this;
  // An area made while the mouse is already inside starts inside, without an entered event.
  area->mInside = false;
  if (mWindow)
  {
    const NSPoint local = convertPoint_fromView(mWindow->mouseLocationOutsideOfEventStream(), nullptr);
    const NSRect r = (area->mOptions & NSTrackingInVisibleRect) ? visibleRect() : area->mRect;
    area->mInside = NSMouseInRect(local, r, isFlipped()) && mWindow->mMouseInside;
  }
}

void NSView::removeTrackingArea(NSTrackingArea* area)
{
  auto it = std::find(mTrackingAreas.begin(), mTrackingAreas.end(), area);
  if (it == mTrackingAreas.end()) return;
  mTrackingAreas.erase(it);
  area->mView = nullptr;
  area->release();
}

NSArray* NSView::trackingAreas() const
{
  std::vector<NSObject*> objs(mTrackingAreas.begin(), mTrackingAreas.end());
  return NSArray::arrayWithObjects_count(objs.data(), objs.size());
}

NSToolTipTag NSView::addToolTipRect_owner_userData(NSRect rect, NSObject* owner, void* userData)
{
  static NSToolTipTag next = 1;
  const NSToolTipTag tag = next++;
  mToolTips.push_back(ZQToolTip{tag, rect, owner, userData});
  return tag;
}

void NSView::removeToolTip(NSToolTipTag tag)
{
  std::erase_if(mToolTips, [tag](const ZQToolTip& t) { return t.tag == tag; });
}

void NSView::removeAllToolTips()
{
  mToolTips.clear();
}

void NSView::registerForDraggedTypes(NSArray* types)
{
  if (!types) return;
  for (NSUInteger i = 0; i < types->count(); ++i)
    if (auto* s = dynamic_cast<NSString*>(types->objectAtIndex(i)))
      if (std::find(mDraggedTypes.begin(), mDraggedTypes.end(), s->UTF8String()) == mDraggedTypes.end())
        mDraggedTypes.push_back(s->UTF8String());
}

void NSView::unregisterDraggedTypes()
{
  mDraggedTypes.clear();
}

NSArray* NSView::registeredDraggedTypes() const
{
  std::vector<NSObject*> objs;
  for (const std::string& t : mDraggedTypes) objs.push_back(NSString::stringWithUTF8String(t.c_str()));
  return NSArray::arrayWithObjects_count(objs.data(), objs.size());
}
