// AppKit stand-in: NSScreen and the headless NSWindow with its event routing.

#include <AppKit/AppKit_p.h>

#include <algorithm>

NSString* const NSWindowDidBecomeKeyNotification = NSString::alloc_initWithUTF8String("NSWindowDidBecomeKeyNotification");
NSString* const NSWindowDidResignKeyNotification = NSString::alloc_initWithUTF8String("NSWindowDidResignKeyNotification");
NSString* const NSWindowDidBecomeMainNotification =
  NSString::alloc_initWithUTF8String("NSWindowDidBecomeMainNotification");
NSString* const NSWindowDidResignMainNotification =
  NSString::alloc_initWithUTF8String("NSWindowDidResignMainNotification");
NSString* const NSWindowWillCloseNotification = NSString::alloc_initWithUTF8String("NSWindowWillCloseNotification");

using zqak::S;

// ---------------------------------------------------------------------------------------------------------------
// NSScreen
// ---------------------------------------------------------------------------------------------------------------

NSScreen* NSScreen::mainScreen()
{
  static NSScreen* screen = new NSScreen();
  return screen;
}

NSArray* NSScreen::screens()
{
  NSObject* main = mainScreen();
  return NSArray::arrayWithObjects_count(&main, 1);
}

// ---------------------------------------------------------------------------------------------------------------
// NSWindow: life, content, scale
// ---------------------------------------------------------------------------------------------------------------

NSWindow::NSWindow()
{
  static NSInteger next = 1;
  mNumber = next++;
  mBackingScale = NSScreen::mainScreen()->backingScaleFactor();
  S().windows.push_back(this);
}

NSWindow::~NSWindow()
{
  std::erase(S().windows, this);
  if (S().keyWindow == this) S().keyWindow = nullptr;
  if (S().mainWindow == this) S().mainWindow = nullptr;
  if (mMouseDownView) mMouseDownView->release();
  if (mRightDownView) mRightDownView->release();
  mMouseDownView = mRightDownView = nullptr;
  mFirstResponder = nullptr;
  if (NSView* content = mContentView)
  {
    mContentView = nullptr;
    content->setNextResponder(nullptr);
    content->SetWindowRecursive(nullptr);
    content->release();
  }
  if (mTitle) mTitle->release();
}

NSWindow* NSWindow::initWithContentRect_styleMask_backing_defer(NSRect contentRect, NSWindowStyleMask, NSBackingStoreType,
                                                                BOOL)
{
  mContentRect = contentRect;
  if (!mContentView)
  {
    NSView* view = new NSView(NSMakeRect(0, 0, contentRect.size.width, contentRect.size.height));
    setContentView(view);
    view->release();
  }
  return this;
}

void NSWindow::setContentView(NSView* view)
{
  if (view == mContentView) return;
  if (view) view->retain();
  if (NSView* old = mContentView)
  {
    ForgetView(old);
    mContentView = nullptr;
    old->setNextResponder(nullptr);
    old->SetWindowRecursive(nullptr);
    old->release();
  }
  if (!view) return;
  // A view that lives in a superview leaves it first (without the overridable removeFromSuperview).
  view->Detach();
  if (NSWindow* other = view->window(); other && other != this && other->mContentView == view)
  {
    other->mContentView = nullptr;
    other->ForgetView(view);
    view->release();
  }
  mContentView = view;
  view->setFrame(NSMakeRect(0, 0, mContentRect.size.width, mContentRect.size.height));
  view->setNextResponder(this);
  view->SetWindowRecursive(this);
}

void NSWindow::setContentSize(NSSize size)
{
  mContentRect.size = size;
  if (mContentView) mContentView->setFrameSize(size);
}

void NSWindow::setTitle(NSString* title)
{
  zqak::Assign(mTitle, title);
}

// ---------------------------------------------------------------------------------------------------------------
// NSWindow: responders, key and main
// ---------------------------------------------------------------------------------------------------------------

BOOL NSWindow::makeFirstResponder(NSResponder* responder)
{
  if (responder == this) responder = nullptr;
  if (responder == mFirstResponder) return YES;
  if (NSResponder* old = mFirstResponder)
  {
    old->retain();
    mFirstResponder = nullptr; // so that a nested call does not ask it to resign again
    if (!old->resignFirstResponder())
    {
      if (!mFirstResponder) mFirstResponder = old;
      old->release();
      return NO;
    }
    old->release();
  }
  if (!responder) return YES;
  if (mFirstResponder == responder) return YES; // made first responder while the old one resigned
  responder->retain();
  const BOOL ok = responder->becomeFirstResponder();
  // A view that left the window while becoming first responder cannot stay.
  auto* view = dynamic_cast<NSView*>(responder);
  if (ok && (!view || view->window() == this)) mFirstResponder = responder;
  else if (mFirstResponder == responder) mFirstResponder = nullptr;
  responder->release();
  return ok && mFirstResponder == responder ? YES : NO;
}

void NSWindow::ForgetView(NSView* view)
{
  if (auto* first = dynamic_cast<NSView*>(mFirstResponder); first && first->isDescendantOf(view)) makeFirstResponder(nullptr);
  if (mMouseDownView && mMouseDownView->isDescendantOf(view))
  {
    NSView* v = mMouseDownView;
    mMouseDownView = nullptr;
    v->release();
  }
  if (mRightDownView && mRightDownView->isDescendantOf(view))
  {
    NSView* v = mRightDownView;
    mRightDownView = nullptr;
    v->release();
  }
}

void NSWindow::makeKeyWindow()
{
  if (S().keyWindow == this) return;
  if (NSWindow* old = S().keyWindow) old->ResignKey();
  S().keyWindow = this;
  mKey = true;
  NSNotificationCenter::defaultCenter()->postNotificationName_object(NSWindowDidBecomeKeyNotification, this);
}

void NSWindow::makeMainWindow()
{
  if (S().mainWindow == this) return;
  if (NSWindow* old = S().mainWindow) old->ResignMain();
  S().mainWindow = this;
  mMain = true;
  NSNotificationCenter::defaultCenter()->postNotificationName_object(NSWindowDidBecomeMainNotification, this);
}

void NSWindow::makeKeyAndOrderFront(NSObject*)
{
  mVisible = true;
  makeKeyWindow();
  makeMainWindow();
}

namespace
{
// window gives up being the key or main window (flag its own record, slot the process's); the notification is
// posted with the window kept alive, as an observer may drop the last other reference.
void Resign(NSWindow* window, bool& flag, NSWindow*& slot, NSString* notification)
{
  if (!flag) return;
  flag = false;
  if (slot == window) slot = nullptr;
  window->retain();
  NSNotificationCenter::defaultCenter()->postNotificationName_object(notification, window);
  window->release();
}
} // namespace

void NSWindow::ResignKey()
{
  Resign(this, mKey, S().keyWindow, NSWindowDidResignKeyNotification);
}

void NSWindow::ResignMain()
{
  Resign(this, mMain, S().mainWindow, NSWindowDidResignMainNotification);
}

void NSWindow::orderOut(NSObject*)
{
  mVisible = false;
  retain();
  ResignKey();
  ResignMain();
  release();
}

void NSWindow::close()
{
  retain();
  NSNotificationCenter::defaultCenter()->postNotificationName_object(NSWindowWillCloseNotification, this);
  orderOut(nullptr);
  release();
}

NSArray* NSWindow::windows()
{
  std::vector<NSObject*> objs(S().windows.begin(), S().windows.end());
  return NSArray::arrayWithObjects_count(objs.data(), objs.size());
}

NSWindow* NSWindow::keyWindow()
{
  return S().keyWindow;
}

// ---------------------------------------------------------------------------------------------------------------
// NSWindow: coordinates
// ---------------------------------------------------------------------------------------------------------------

NSPoint NSWindow::convertPointFromScreen(NSPoint p) const
{
  return NSMakePoint(p.x - mContentRect.origin.x, p.y - mContentRect.origin.y);
}

NSPoint NSWindow::convertPointToScreen(NSPoint p) const
{
  return NSMakePoint(p.x + mContentRect.origin.x, p.y + mContentRect.origin.y);
}

NSRect NSWindow::convertRectFromScreen(NSRect r) const
{
  r.origin = convertPointFromScreen(r.origin);
  return r;
}

NSRect NSWindow::convertRectToScreen(NSRect r) const
{
  r.origin = convertPointToScreen(r.origin);
  return r;
}

// ---------------------------------------------------------------------------------------------------------------
// NSWindow: events
// ---------------------------------------------------------------------------------------------------------------

namespace
{

void CollectAreas(NSView* view, std::vector<NSTrackingArea*>& out)
{
  if (!view || view->isHidden()) return;
  NSArray* areas = view->trackingAreas();
  for (NSUInteger i = 0; i < areas->count(); ++i)
    out.push_back(static_cast<NSTrackingArea*>(areas->objectAtIndex(i)->retain()));
  NSArray* subs = view->subviews();
  for (NSUInteger i = 0; i < subs->count(); ++i) CollectAreas(static_cast<NSView*>(subs->objectAtIndex(i)), out);
}

bool AreaActive(const NSTrackingArea* a, const NSWindow* w)
{
  const NSTrackingAreaOptions o = a->options();
  if (o & NSTrackingActiveAlways) return true;
  if (o & NSTrackingActiveInKeyWindow) return w->isKeyWindow();
  if (o & NSTrackingActiveInActiveApp) return S().keyWindow != nullptr;
  if (o & NSTrackingActiveWhenFirstResponder) return w->firstResponder() == a->owner();
  return false;
}

} // namespace

void NSWindow::UpdateTracking(NSPoint windowPoint, bool dragging, NSEvent* cause)
{
  NSAutoreleasePool pool;
  std::vector<NSTrackingArea*> areas;
  CollectAreas(mContentView, areas);
  std::vector<std::pair<NSTrackingArea*, bool>> changes; // area, entered
  for (NSTrackingArea* a : areas)
  {
    NSView* v = a->mView;
    if (!v || !(a->mOptions & NSTrackingMouseEnteredAndExited)) continue;
    if (dragging && !(a->mOptions & NSTrackingEnabledDuringMouseDrag)) continue;
    if (!AreaActive(a, this)) continue;
    const NSPoint local = v->convertPoint_fromView(windowPoint, nullptr);
    const NSRect r = (a->mOptions & NSTrackingInVisibleRect) ? v->visibleRect() : a->mRect;
    const bool inside = mMouseInside && NSMouseInRect(local, r, v->isFlipped());
    if (inside != a->mInside)
    {
      a->mInside = inside;
      changes.emplace_back(a, inside);
    }
  }
  std::stable_partition(changes.begin(), changes.end(), [](const auto& c) { return !c.second; });
  for (auto& [a, entered] : changes)
  {
    auto* owner = dynamic_cast<NSResponder*>(a->mOwner);
    if (!owner || !a->mView) continue;
    zqak::EventDesc d;
    d.type = entered ? NSEventTypeMouseEntered : NSEventTypeMouseExited;
    d.location = windowPoint;
    d.flags = cause ? cause->modifierFlags() : S().modifiers;
    d.window = this;
    d.trackingArea = a;
    NSEvent* e = zqak::MakeEvent(d);
    owner->retain();
    if (entered)
      owner->mouseEntered(e);
    else
      owner->mouseExited(e);
    owner->release();
  }
  for (NSTrackingArea* a : areas) a->release();
}

void NSWindow::DeliverMouseMoveToAreas(NSPoint windowPoint, NSEvent* event)
{
  std::vector<NSTrackingArea*> areas;
  CollectAreas(mContentView, areas);
  for (NSTrackingArea* a : areas)
  {
    NSView* v = a->mView;
    if (v && (a->mOptions & NSTrackingMouseMoved) && AreaActive(a, this))
    {
      const NSPoint local = v->convertPoint_fromView(windowPoint, nullptr);
      const NSRect r = (a->mOptions & NSTrackingInVisibleRect) ? v->visibleRect() : a->mRect;
      if (NSMouseInRect(local, r, v->isFlipped()))
        if (auto* owner = dynamic_cast<NSResponder*>(a->mOwner); owner && owner != mFirstResponder)
        {
          owner->retain();
          owner->mouseMoved(event);
          owner->release();
        }
    }
  }
  for (NSTrackingArea* a : areas) a->release();
}

void NSWindow::sendEvent(NSEvent* event)
{
  if (!event) return;
  NSAutoreleasePool pool;
  event->retain();
  retain();
  const NSEventType type = event->type();
  const NSPoint p = event->locationInWindow();
  const bool isMouse = type == NSEventTypeLeftMouseDown || type == NSEventTypeLeftMouseUp ||
                       type == NSEventTypeRightMouseDown || type == NSEventTypeRightMouseUp ||
                       type == NSEventTypeMouseMoved || type == NSEventTypeLeftMouseDragged ||
                       type == NSEventTypeRightMouseDragged || type == NSEventTypeScrollWheel;
  if (isMouse)
  {
    mMouseLocation = p;
    mMouseInside = NSMouseInRect(p, NSMakeRect(0, 0, mContentRect.size.width, mContentRect.size.height), NO) ||
                   mMouseDownView || mRightDownView;
  }
  NSView* hit = mContentView && isMouse ? mContentView->hitTest(p) : nullptr;
  if (hit) hit->retain();

  switch (type)
  {
  case NSEventTypeLeftMouseDown:
  case NSEventTypeRightMouseDown:
  {
    UpdateTracking(p, false, event);
    if (!hit) break;
    NSView*& slot = type == NSEventTypeLeftMouseDown ? mMouseDownView : mRightDownView;
    if (slot) slot->release();
    slot = static_cast<NSView*>(hit->retain());
    if (hit != mFirstResponder && hit->acceptsFirstResponder()) makeFirstResponder(hit);
    if (type == NSEventTypeLeftMouseDown)
      hit->mouseDown(event);
    else
      hit->rightMouseDown(event);
    break;
  }
  case NSEventTypeLeftMouseDragged:
  case NSEventTypeRightMouseDragged:
  {
    UpdateTracking(p, true, event);
    NSView* target = type == NSEventTypeLeftMouseDragged ? mMouseDownView : mRightDownView;
    if (!target) target = hit;
    if (!target) break;
    target->retain();
    if (type == NSEventTypeLeftMouseDragged)
      target->mouseDragged(event);
    else
      target->rightMouseDragged(event);
    target->release();
    break;
  }
  case NSEventTypeLeftMouseUp:
  case NSEventTypeRightMouseUp:
  {
    NSView*& slot = type == NSEventTypeLeftMouseUp ? mMouseDownView : mRightDownView;
    NSView* target = slot ? slot : (hit ? static_cast<NSView*>(hit->retain()) : nullptr);
    slot = nullptr;
    if (target)
    {
      if (type == NSEventTypeLeftMouseUp)
        target->mouseUp(event);
      else
        target->rightMouseUp(event);
      target->release();
    }
    mMouseInside = NSMouseInRect(p, NSMakeRect(0, 0, mContentRect.size.width, mContentRect.size.height), NO);
    UpdateTracking(p, false, event);
    break;
  }
  case NSEventTypeMouseMoved:
    UpdateTracking(p, false, event);
    DeliverMouseMoveToAreas(p, event);
    if (mAcceptsMouseMoved) firstResponder()->mouseMoved(event);
    break;
  case NSEventTypeScrollWheel:
    UpdateTracking(p, false, event);
    if (hit) hit->scrollWheel(event);
    break;
  case NSEventTypeKeyDown: firstResponder()->keyDown(event); break;
  case NSEventTypeKeyUp: firstResponder()->keyUp(event); break;
  case NSEventTypeFlagsChanged: firstResponder()->flagsChanged(event); break;
  case NSEventTypeMouseEntered:
  case NSEventTypeMouseExited:
    if (NSTrackingArea* a = event->trackingArea())
      if (auto* owner = dynamic_cast<NSResponder*>(a->owner()))
      {
        if (type == NSEventTypeMouseEntered)
          owner->mouseEntered(event);
        else
          owner->mouseExited(event);
      }
    break;
  default: break;
  }
  if (hit) hit->release();
  release();
  event->release();
}
