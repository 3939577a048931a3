#include "platform/mac/IGraphicsView.h"

#include "controls/IControl.h"
#include "framework/IGEditorDelegate.h"
#include "framework/IParam.h"
#include "platform/mac/CoreTextFont.h"
#include "platform/mac/IGraphicsMac.h"
#include "platform/mac/IGraphicsMacNative.h"
#include "platform/mac/MacInput.h"

#include <AppKit/NSApplication.h>
#include <AppKit/NSColor.h>
#include <AppKit/NSEvent.h>
#include <AppKit/NSFont.h>
#include <AppKit/NSImage.h>
#include <AppKit/NSPasteboard.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSObjCRuntime.h>
#include <Foundation/NSURL.h>
#include <Foundation/NSValue.h>
#include <Metal/Metal.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

using namespace plugin::igraphics;

namespace
{

// Holds one reference to the view, and a call scope of its editor, for the length of a handler: a control may
// close the editor from inside it (which releases the view), the host may dispose of the plug-in from a menu or
// message box the handler shows. The editor and the plug-in go when the handler has returned, the view last.
class KeepAlive
{
public:
  KeepAlive(NSObject* obj, IGraphics* graphics) : mObj(obj)
  {
    mObj->retain();
    if (graphics) mScope.emplace(*graphics);
  }
  ~KeepAlive()
  {
    mScope.reset();
    mObj->release();
  }
  KeepAlive(const KeepAlive&) = delete;
  KeepAlive& operator=(const KeepAlive&) = delete;

private:
  NSObject* mObj;
  std::optional<IGraphics::CallScope> mScope;
};

constexpr NSTrackingAreaOptions kTrackingOptions =
  NSTrackingMouseEnteredAndExited | NSTrackingActiveAlways | NSTrackingEnabledDuringMouseDrag; // 0x481

// Odd presses of a click sequence are mouse-downs, even ones double-clicks (the third press starts over).
void PressOrDoubleClick(IGraphics& graphics, const IMouseInfo& info, NSInteger clickCount)
{
  if (clickCount % 2 == 1)
    graphics.OnMouseDown({info});
  else
    graphics.OnMouseDblClick(info.x, info.y, info.ms);
}

const char* const kMoveCursorFolder = "/System/Library/Frameworks/ApplicationServices.framework/Versions/A/Frameworks/"
                                      "HIServices.framework/Versions/A/Resources/cursors/";

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Creation, timer, frames
// ---------------------------------------------------------------------------------------------------------------

IGraphicsView_vZANIQ_au* IGraphicsView_vZANIQ_au::initWithIGraphics(IGraphicsMac* graphics)
{
  mGraphics = graphics;
  const float scale = graphics ? graphics->GetDrawScale() : 1.f;
  const double w = graphics ? std::trunc(static_cast<float>(graphics->Width()) * scale) : 0.0;
  const double h = graphics ? std::trunc(static_cast<float>(graphics->Height()) * scale) : 0.0;
  initWithFrame(NSMakeRect(0, 0, w, h));
  mMouseOutDuringDrag = false;
  setWantsLayer(YES);
  if (CALayer* plain = layer()) plain->setOpaque(YES);
  setLayerContentsRedrawPolicy(NSViewLayerContentsRedrawDuringViewResize);
  NSObject* types[] = {NSFilenamesPboardType};
  registerForDraggedTypes(NSArray::arrayWithObjects_count(types, 1));

  auto* metal = new CAMetalLayer();
  metal->setPixelFormat(MTLPixelFormatBGRA8Unorm);
  MTLDevice* device = MTLCreateSystemDefaultDevice();
  metal->setDevice(device);
  if (device) device->release();
  setLayer(metal);
  metal->release();
  // The platform sizes a view's layer by itself; here the drawable gets its device pixels from the start, so
  // that frames drawn before the view joins a window are not lost.
  setDrawableSizeForScale(NSScreen::mainScreen()->backingScaleFactor());

  setTimer();
  return this;
}

IGraphicsView_vZANIQ_au::~IGraphicsView_vZANIQ_au()
{
  killTimer();
  if (NSColorPanel::sharedColorPanelExists())
  {
    NSColorPanel* panel = NSColorPanel::sharedColorPanel();
    // The panel keeps its target without a reference: it must not report a colour to a view that is gone.
    if (panel->target() == this)
    {
      panel->setTarget(nullptr);
      panel->setAction(SEL());
    }
    if (mUsedColorPanel) panel->close();
  }
  mColorPickerFunc = nullptr;
  if (mMoveCursor) mMoveCursor->release();
  if (mTrackingArea) mTrackingArea->release();
  if (mTextFieldView)
  {
    mTextFieldView->setDelegate(nullptr);
    mTextFieldView->release();
  }
  releaseRetiredTextField();
  NSNotificationCenter::defaultCenter()->removeObserver(this);
  if (mGraphics) mGraphics->ForgetView(this);
}

void IGraphicsView_vZANIQ_au::detachGraphics()
{
  killTimer();
  endUserInput();
  mColorPickerFunc = nullptr;
  mGraphics = nullptr;
}

void IGraphicsView_vZANIQ_au::setTimer()
{
  if (!mGraphics || mTimer) return;
  const double interval = 1.0 / static_cast<double>(mGraphics->FPS() > 0 ? mGraphics->FPS() : 60);
  mTimer = NSTimer::timerWithTimeInterval_target_selector_userInfo_repeats(
    interval, this, ZQSelector("onTimer:", &IGraphicsView_vZANIQ_au::onTimer), nullptr, YES);
  mTimer->retain();
  NSRunLoop::currentRunLoop()->addTimer_forMode(mTimer, NSRunLoopCommonModes);
}

void IGraphicsView_vZANIQ_au::killTimer()
{
  if (!mTimer) return;
  NSTimer* timer = mTimer;
  mTimer = nullptr;
  timer->invalidate();
  timer->release();
}

void IGraphicsView_vZANIQ_au::onTimer(NSTimer*)
{
  render();
}

void IGraphicsView_vZANIQ_au::render()
{
  releaseRetiredTextField();
  if (!mGraphics) return;
  KeepAlive keep(this, mGraphics);
  if (mCloseAfterModal)
  {
    if (!mGraphics->InPlatformModal()) closeEditor();
    return;
  }
  IGraphicsMac* g = mGraphics;
  mDirtyRects.Clear();
  // The check runs the display tick and animation-end actions: one may close the editor, or the host answer by
  // taking this view away or opening the editor again. The frame ends with the editor it began with.
  if (!g->IsDirty(mDirtyRects) || mGraphics != g || g->IsWindingDown()) return;
  g->SetAllControlsClean();
  g->Draw(mDirtyRects);
}

CAMetalLayer* IGraphicsView_vZANIQ_au::metalLayer() const
{
  return dynamic_cast<CAMetalLayer*>(layer());
}

CGContextRef IGraphicsView_vZANIQ_au::getCGContextRef() const
{
  NSGraphicsContext* current = NSGraphicsContext::currentContext();
  if (!current) return nullptr;
  NSGraphicsContext* flipped = NSGraphicsContext::graphicsContextWithCGContext_flipped(current->CGContext(), YES);
  return flipped ? flipped->CGContext() : nullptr;
}

void IGraphicsView_vZANIQ_au::setDrawableSizeForScale(CGFloat scale)
{
  if (CAMetalLayer* metal = metalLayer())
    metal->setDrawableSize(CGSizeMake(frame().size.width * scale, frame().size.height * scale));
}

// ---------------------------------------------------------------------------------------------------------------
// Window and appearance
// ---------------------------------------------------------------------------------------------------------------

void IGraphicsView_vZANIQ_au::viewDidMoveToWindow()
{
  NSWindow* win = window();
  if (!win) return;
  KeepAlive keep(this, mGraphics);
  // Shown again before its deferred close: it stays open.
  mCloseAfterModal = false;
  win->makeFirstResponder(this);
  win->setAcceptsMouseMovedEvents(YES);
  if (mGraphics) mGraphics->SetScreenScale(static_cast<float>(win->backingScaleFactor()));
  setDrawableSizeForScale(win->backingScaleFactor());

  NSNotificationCenter* centre = NSNotificationCenter::defaultCenter();
  // A view that moves between windows listens to the new one only, and once.
  centre->removeObserver(this);
  const SEL resign = ZQSelector("windowDidResign:", &IGraphicsView_vZANIQ_au::windowDidResign);
  centre->addObserver_selector_name_object(this, resign, NSWindowDidResignKeyNotification, win);
  centre->addObserver_selector_name_object(this, resign, NSWindowDidResignMainNotification, win);
  centre->addObserver_selector_name_object(
    this, ZQSelector("frameDidChange:", &IGraphicsView_vZANIQ_au::frameDidChange), NSViewFrameDidChangeNotification,
    this);
}

void IGraphicsView_vZANIQ_au::viewDidChangeBackingProperties()
{
  NSWindow* win = window();
  if (!win) return;
  // Held until the drawable is sized too: a scale change may close the editor.
  KeepAlive keep(this, mGraphics);
  const CGFloat scale = win->backingScaleFactor();
  if (mGraphics)
  {
    mGraphics->SetPlatformContext(nullptr);
    if (static_cast<float>(scale) != mGraphics->GetScreenScale()) mGraphics->SetScreenScale(static_cast<float>(scale));
  }
  setDrawableSizeForScale(scale);
}

void IGraphicsView_vZANIQ_au::frameDidChange(NSNotification*)
{
  NSWindow* win = window();
  setDrawableSizeForScale(win ? win->backingScaleFactor()
                              : (mGraphics ? mGraphics->GetScreenScale() : NSScreen::mainScreen()->backingScaleFactor()));
}

void IGraphicsView_vZANIQ_au::viewDidChangeEffectiveAppearance()
{
  if (!mGraphics || NSAppKitVersionNumber < NSAppKitVersionNumber10_14) return;
  NSAppearance* appearance = effectiveAppearance();
  const bool dark = appearance && appearance->name() && appearance->name()->isEqualToString(NSAppearanceNameDarkAqua);
  mGraphics->OnAppearanceChanged(dark ? 1 : 0);
}

void IGraphicsView_vZANIQ_au::windowDidResign(NSNotification*)
{
  if (mTimer && mGraphics) mGraphics->OnFocusLost();
}

BOOL IGraphicsView_vZANIQ_au::resignFirstResponder()
{
  if (mGraphics) mGraphics->OnFocusLost();
  return YES;
}

void IGraphicsView_vZANIQ_au::removeFromSuperview()
{
  // The close below releases this view (the context's reference, the superview's): it must outlive the call.
  KeepAlive keep(this, mGraphics);
  if (mGraphics && mGraphics->InPlatformModal())
  {
    // The context is below us on the stack, inside a menu or panel it opened: deleting it now would pull it from
    // under its own call. The view leaves the window now; the editor closes once the loop has returned.
    endUserInput();
    mCloseAfterModal = true;
  }
  else
    closeEditor();
  NSView::removeFromSuperview();
}

void IGraphicsView_vZANIQ_au::closeEditor()
{
  mCloseAfterModal = false;
  IGraphicsMac* g = mGraphics;
  if (!g) return;
  endUserInput();
  g->SetPlatformContext(nullptr);
  if (IGEditorDelegate* dlg = g->GetDelegate()) dlg->CloseWindow();
  // A delegate that is already closing (the host removes the view while the editor closes) returns at once:
  // the context lets go of the view here, so that it never points to a view that is gone.
  if (mGraphics == g) g->CloseWindow();
}

// ---------------------------------------------------------------------------------------------------------------
// Mouse
// ---------------------------------------------------------------------------------------------------------------

void IGraphicsView_vZANIQ_au::getMouseXY(NSEvent* event, float& x, float& y)
{
  const NSPoint pt = convertPoint_fromView(event->locationInWindow(), nullptr);
  const float scale = mGraphics->GetDrawScale();
  x = static_cast<float>(pt.x) / scale;
  y = static_cast<float>(pt.y) / scale;
  mGraphics->TrackMousePosition(x, y, mPrevX, mPrevY);
  mGraphics->SetTabletInput(event->subtype() == NSEventSubtypeTabletPoint);
}

IMouseInfo IGraphicsView_vZANIQ_au::getMouseLeft(NSEvent* event)
{
  IMouseInfo info;
  getMouseXY(event, info.x, info.y);
  const NSEventModifierFlags mods = event->modifierFlags();
  const NSEventType type = event->type();
  // Command-click stands for the right button; Control-click does not.
  info.ms = IMouseMod(type == NSEventTypeLeftMouseDown || type == NSEventTypeLeftMouseDragged,
                      (mods & NSEventModifierFlagCommand) != 0, (mods & NSEventModifierFlagShift) != 0,
                      (mods & NSEventModifierFlagControl) != 0, (mods & NSEventModifierFlagOption) != 0);
  return info;
}

IMouseInfo IGraphicsView_vZANIQ_au::getMouseRight(NSEvent* event)
{
  IMouseInfo info;
  getMouseXY(event, info.x, info.y);
  const NSEventModifierFlags mods = event->modifierFlags();
  info.ms = IMouseMod(false, true, (mods & NSEventModifierFlagShift) != 0, (mods & NSEventModifierFlagControl) != 0,
                      (mods & NSEventModifierFlagOption) != 0);
  return info;
}

void IGraphicsView_vZANIQ_au::mouseDown(NSEvent* event)
{
  if (!mGraphics) return;
  KeepAlive keep(this, mGraphics);
  PressOrDoubleClick(*mGraphics, getMouseLeft(event), event->clickCount());
}

void IGraphicsView_vZANIQ_au::rightMouseDown(NSEvent* event)
{
  if (!mGraphics) return;
  KeepAlive keep(this, mGraphics);
  PressOrDoubleClick(*mGraphics, getMouseRight(event), event->clickCount());
}

void IGraphicsView_vZANIQ_au::mouseUp(NSEvent* event)
{
  if (!mGraphics) return;
  KeepAlive keep(this, mGraphics);
  const IMouseInfo info = getMouseLeft(event);
  mGraphics->OnMouseUp({info});
  if (mGraphics && mMouseOutDuringDrag)
  {
    mGraphics->OnMouseOut();
    mMouseOutDuringDrag = false;
  }
}

void IGraphicsView_vZANIQ_au::rightMouseUp(NSEvent* event)
{
  if (!mGraphics) return;
  KeepAlive keep(this, mGraphics);
  mGraphics->OnMouseUp({getMouseRight(event)});
}

void IGraphicsView_vZANIQ_au::mouseDragged(NSEvent* event)
{
  if (!mGraphics) return;
  KeepAlive keep(this, mGraphics);
  const float prevX = mPrevX, prevY = mPrevY;
  IMouseInfo info = getMouseLeft(event);
  if (mGraphics->GetControlInTextEntry() && !mGraphics->GetTextEntryControl()) return;
  info.dX = info.x - prevX;
  info.dY = info.y - prevY;
  mGraphics->OnMouseDrag({info});
}

void IGraphicsView_vZANIQ_au::rightMouseDragged(NSEvent* event)
{
  if (!mGraphics) return;
  KeepAlive keep(this, mGraphics);
  const float prevX = mPrevX, prevY = mPrevY;
  IMouseInfo info = getMouseRight(event);
  if (mTextFieldView) return;
  info.dX = info.x - prevX;
  info.dY = info.y - prevY;
  mGraphics->OnMouseDrag({info});
}

void IGraphicsView_vZANIQ_au::mouseMoved(NSEvent* event)
{
  if (!mGraphics) return;
  KeepAlive keep(this, mGraphics);
  const IMouseInfo info = getMouseLeft(event);
  mGraphics->OnMouseOver(info.x, info.y, info.ms);
}

void IGraphicsView_vZANIQ_au::scrollWheel(NSEvent* event)
{
  if (!mGraphics) return;
  KeepAlive keep(this, mGraphics);
  if (mTextFieldView) endUserInput();
  const IMouseInfo info = getMouseLeft(event);
  mGraphics->OnMouseWheel(info.x, info.y, info.ms, static_cast<float>(event->deltaY()));
}

void IGraphicsView_vZANIQ_au::updateTrackingAreas()
{
  NSView::updateTrackingAreas();
  if (mTrackingArea)
  {
    removeTrackingArea(mTrackingArea);
    mTrackingArea->release();
  }
  mTrackingArea = new NSTrackingArea();
  mTrackingArea->initWithRect_options_owner_userInfo(bounds(), kTrackingOptions, this, nullptr);
  addTrackingArea(mTrackingArea);
}

void IGraphicsView_vZANIQ_au::mouseEntered(NSEvent*)
{
  mMouseOutDuringDrag = false;
  if (mGraphics) mGraphics->SetMouseCursor(mGraphics->GetCursorType());
}

void IGraphicsView_vZANIQ_au::mouseExited(NSEvent*)
{
  if (!mGraphics) return;
  if (!mGraphics->ControlIsCaptured())
    mGraphics->OnMouseOut();
  else
    mMouseOutDuringDrag = true;
}

// ---------------------------------------------------------------------------------------------------------------
// Keys
// ---------------------------------------------------------------------------------------------------------------

namespace
{

IKeyPress KeyFromEvent(NSEvent* event)
{
  std::u16string chars;
  if (NSString* s = event->charactersIgnoringModifiers())
    for (NSUInteger i = 0; i < s->length(); ++i)
      chars.push_back(static_cast<char16_t>(s->characterAtIndex(i)));
  return TranslateMacKey(event->keyCode(), event->modifierFlags(), chars.data(), chars.size());
}

} // namespace

void IGraphicsView_vZANIQ_au::keyDown(NSEvent* event)
{
  // Held until the chain has been asked too: the handler may close the editor.
  KeepAlive keep(this, mGraphics);
  const bool handled = mGraphics && mGraphics->OnKeyDown(mPrevX, mPrevY, KeyFromEvent(event));
  if (!handled && nextResponder()) nextResponder()->keyDown(event);
}

void IGraphicsView_vZANIQ_au::keyUp(NSEvent* event)
{
  KeepAlive keep(this, mGraphics);
  const bool handled = mGraphics && mGraphics->OnKeyUp(mPrevX, mPrevY, KeyFromEvent(event));
  if (!handled && nextResponder()) nextResponder()->keyUp(event);
}

// ---------------------------------------------------------------------------------------------------------------
// Drops
// ---------------------------------------------------------------------------------------------------------------

namespace
{

bool HoldsFileNames(NSPasteboard* pb)
{
  if (!pb) return false;
  NSArray* types = pb->types();
  for (NSUInteger i = 0; types && i < types->count(); ++i)
  {
    auto* type = dynamic_cast<NSString*>(types->objectAtIndex(i));
    if (type && type->isEqualToString(NSFilenamesPboardType)) return true;
  }
  return false;
}

} // namespace

NSDragOperation IGraphicsView_vZANIQ_au::draggingEntered(NSDraggingInfo* sender)
{
  return sender && HoldsFileNames(sender->draggingPasteboard()) ? NSDragOperationGeneric : NSDragOperationNone;
}

BOOL IGraphicsView_vZANIQ_au::performDragOperation(NSDraggingInfo* sender)
{
  if (!mGraphics || !sender) return YES;
  NSPasteboard* pb = sender->draggingPasteboard();
  if (!HoldsFileNames(pb)) return YES;
  auto* files = dynamic_cast<NSArray*>(pb->propertyListForType(NSFilenamesPboardType));
  auto* first = files ? dynamic_cast<NSString*>(files->firstObject()) : nullptr;
  if (!first) return YES;
  KeepAlive keep(this, mGraphics);
  const NSPoint pt = convertPoint_fromView(sender->draggingLocation(), nullptr);
  // Graphics units, as every other mouse position.
  const float scale = mGraphics->GetDrawScale();
  mGraphics->OnDrop(first->UTF8String(), static_cast<float>(pt.x) / scale, static_cast<float>(pt.y) / scale);
  return YES;
}

// ---------------------------------------------------------------------------------------------------------------
// Tooltips
// ---------------------------------------------------------------------------------------------------------------

void IGraphicsView_vZANIQ_au::registerToolTip(const IRECT& r)
{
  if (!mGraphics) return;
  const IRECT s = ScaleRectOutward(r, mGraphics->GetDrawScale());
  addToolTipRect_owner_userData(NSMakeRect(s.L, s.T, s.W(), s.H()), this, nullptr);
}

NSString* IGraphicsView_vZANIQ_au::view_stringForToolTip_point_userData(NSView*, NSToolTipTag, NSPoint, void*)
{
  if (!mGraphics || !mGraphics->TooltipsEnabled()) return NSString::string();
  // The control the graphics context found under the pointer owns the tooltip: the same one that shows its
  // mouse-over, and none while an open menu covers the controls.
  IControl* c = mGraphics->GetControl(mGraphics->GetTooltipIdx()); // null for a negative or out-of-range index
  if (!c || c->IsHidden()) return NSString::string();
  const char* tip = c->GetTooltip();
  NSString* s = tip && *tip ? NSString::stringWithUTF8String(tip) : nullptr;
  return s ? s : NSString::string();
}

// ---------------------------------------------------------------------------------------------------------------
// Cursor
// ---------------------------------------------------------------------------------------------------------------

NSCursor* IGraphicsView_vZANIQ_au::moveCursor()
{
  if (mMoveCursorTried) return mMoveCursor;
  mMoveCursorTried = true;
  NSAutoreleasePool pool;
  const std::string folder = std::string(kMoveCursorFolder) + "move";
  auto* pdf = new NSImage();
  pdf = pdf->initByReferencingFile(NSString::stringWithUTF8String((folder + "/cursor.pdf").c_str()));
  NSDictionary* info =
    NSDictionary::dictionaryWithContentsOfURL(NSURL::fileURLWithPath(NSString::stringWithUTF8String((folder + "/info.plist").c_str())));
  // Without the system's cursor files there is no move cursor: the caller falls back to the arrow.
  if (!pdf || !info || !pdf->isValid())
  {
    if (pdf) pdf->release();
    return nullptr;
  }
  auto number = [](NSObject* obj) {
    auto* n = dynamic_cast<NSNumber*>(obj);
    const double v = n ? n->doubleValue() : 0.0;
    return std::isfinite(v) ? v : 0.0;
  };
  auto value = [&](const char* key) { return number(info->objectForKey(NSString::stringWithUTF8String(key))); };
  const double blur = value("blur"), offsetX = value("shadowoffsetx"), offsetY = value("shadowoffsety");
  // The shadow colour is red, green, blue, alpha; anything else casts no shadow.
  CGColorRef shadowColor = nullptr;
  if (auto* rgba = dynamic_cast<NSArray*>(info->objectForKey(NSString::stringWithUTF8String("shadowcolor")));
      rgba && rgba->count() == 4)
    shadowColor = CGColorCreateGenericRGB(number(rgba->objectAtIndex(0)), number(rgba->objectAtIndex(1)),
                                          number(rgba->objectAtIndex(2)), number(rgba->objectAtIndex(3)));

  // One bitmap for each backing scale a screen may have, the PDF rendered at that scale with its shadow.
  const NSSize size = pdf->size();
  auto* image = (new NSImage())->initWithSize(size);
  for (int factor = 1; factor <= 4; ++factor)
  {
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef scaled = CGBitmapContextCreate(nullptr, 1, 1, 8, 0, space, kCGImageAlphaPremultipliedLast);
    CGColorSpaceRelease(space);
    CGContextScaleCTM(scaled, factor, factor);
    NSRect proposed = NSMakeRect(0, 0, size.width, size.height);
    CGImageRef rendered = pdf->CGImageForProposedRect_context_hints(
      &proposed, NSGraphicsContext::graphicsContextWithCGContext_flipped(scaled, NO), nullptr);
    CGContextRelease(scaled);
    if (!rendered) continue;
    const size_t w = CGImageGetWidth(rendered), h = CGImageGetHeight(rendered);
    CGContextRef ctx = CGBitmapContextCreate(nullptr, w, h, CGImageGetBitsPerComponent(rendered), 0,
                                             CGImageGetColorSpace(rendered), CGImageGetBitmapInfo(rendered));
    if (!ctx) continue;
    CGContextSetShadowWithColor(ctx, CGSizeMake(offsetX * factor, offsetY * factor), blur * factor, shadowColor);
    CGContextDrawImage(ctx, CGRectMake(0, 0, static_cast<CGFloat>(w), static_cast<CGFloat>(h)), rendered);
    CGImageRef shadowed = CGBitmapContextCreateImage(ctx);
    CGContextRelease(ctx);
    if (NSBitmapImageRep* rep = (new NSBitmapImageRep())->initWithCGImage(shadowed))
    {
      rep->setSize(size);
      image->addRepresentation(rep);
      rep->release();
    }
    CGImageRelease(shadowed);
  }
  CGColorRelease(shadowColor);
  pdf->release();
  mMoveCursor = (new NSCursor())->initWithImage_hotSpot(image, NSMakePoint(value("hotx-scaled"), value("hoty-scaled")));
  image->release();
  return mMoveCursor;
}

namespace
{

// A cursor of the system's private class methods, sent only when this system has it; else the fallback.
NSCursor* PrivateCursor(const char* selector, NSCursor* fallback)
{
  NSCursor* cursor = NSCursor::respondsToClassSelector(selector) ? NSCursor::performClassSelector(selector) : nullptr;
  return cursor ? cursor : fallback;
}

} // namespace

void IGraphicsView_vZANIQ_au::setMouseCursor(ECursor cursorType)
{
  NSCursor* cursor = nullptr;
  const int type = static_cast<int>(cursorType);
  switch (type)
  {
    case 1:
      cursor = NSCursor::IBeamCursor();
      break;
    case 2:
    case 12:
      cursor = PrivateCursor("busyButClickableCursor", nullptr);
      break;
    case 3:
      cursor = NSCursor::crosshairCursor();
      break;
    case 4:
      cursor = PrivateCursor("_windowResizeNorthCursor", NSCursor::resizeUpCursor());
      break;
    case 5:
      cursor = PrivateCursor("_windowResizeNorthWestSouthEastCursor", nullptr);
      break;
    case 6:
      cursor = PrivateCursor("_windowResizeNorthEastSouthWestCursor", nullptr);
      break;
    case 7:
      cursor = PrivateCursor("_windowResizeEastWestCursor", NSCursor::resizeLeftRightCursor());
      break;
    case 8:
      cursor = PrivateCursor("_windowResizeNorthSouthCursor", NSCursor::resizeUpDownCursor());
      break;
    case 9:
      cursor = moveCursor();
      break;
    case 10:
      cursor = NSCursor::operationNotAllowedCursor();
      break;
    case 11:
      cursor = NSCursor::pointingHandCursor();
      break;
    case 13:
      cursor = PrivateCursor("_helpCursor", nullptr);
      break;
    default: // 0 and anything above 13
      break;
  }
  // The help cursor stays up over whatever is set until it is switched off.
  if (type != 13 && NSCursor::respondsToClassSelector("helpCursorShown") &&
      NSCursor::respondsToClassSelector("_setHelpCursor:") && NSCursor::helpCursorShown())
    NSCursor::_setHelpCursor(NO);
  if (!cursor) cursor = NSCursor::arrowCursor();
  cursor->set();
}

// ---------------------------------------------------------------------------------------------------------------
// Popup menu
// ---------------------------------------------------------------------------------------------------------------

IPopupMenu* IGraphicsView_vZANIQ_au::createPopupMenu(IPopupMenu& menu, NSRect r)
{
  KeepAlive keep(this, mGraphics);
  NSAutoreleasePool pool;
  auto* receiver = new IGraphicsMenuRcvr_vZANIQ_au();
  receiver->initWithFrame(r);
  receiver->autorelease();
  auto* nsMenu = new IGraphicsMenu_vZANIQ_au();
  nsMenu->initWithIPopupMenuAndReceiver(&menu, receiver);
  nsMenu->autorelease();

  nsMenu->popUpMenuPositioningItem_atLocation_inView(nullptr, NSMakePoint(r.origin.x, r.origin.y + r.size.height + 4.0),
                                                    this);

  // The context let go of us while the menu was up (closed or deleted): the menu data may have gone with it.
  if (!mGraphics) return nullptr;
  NSMenuItem* chosen = receiver->menuItem();
  auto* chosenMenu = chosen ? dynamic_cast<IGraphicsMenu_vZANIQ_au*>(chosen->menu()) : nullptr;
  if (!chosenMenu) return nullptr;
  IPopupMenu* result = chosenMenu->iPopupMenu();
  const NSInteger idx = chosenMenu->indexOfItem(chosen);
  if (!result || idx < 0) return nullptr;
  result->SetChosenItemIdx(static_cast<int>(idx));
  return result;
}

// ---------------------------------------------------------------------------------------------------------------
// Text entry
// ---------------------------------------------------------------------------------------------------------------

void IGraphicsView_vZANIQ_au::createTextEntry(int paramIdx, const IText& text, const char* str, int length, NSRect r)
{
  if (mTextFieldView || !mGraphics) return;
  NSAutoreleasePool pool;
  auto* field = new IGraphicsTextField_vZANIQ_au();
  field->initWithFrame(r);
  mTextFieldView = field;

  if (text.mVAlign == kVAlignMiddle)
  {
    auto* cell = new IGraphicsTextFieldCell_vZANIQ_au();
    cell->initTextCell(NSString::stringWithUTF8String("textfield"));
    cell->setEditable(YES);
    cell->setDrawsBackground(YES);
    field->setCell(cell);
    cell->release();
  }

  if (const CoreTextFontDescriptor* desc = FindCoreTextFont(text.mFont))
  {
    const double size = static_cast<double>(text.mSize) * mGraphics->GetDrawScale() * desc->GetSizeFactor();
    if (NSFont* font = NSFont::fontWithDescriptor_size(desc->GetDescriptor(), size)) field->setFont(font);
  }

  switch (text.mAlign)
  {
    case kAlignNear:
      field->setAlignment(NSTextAlignmentLeft);
      break;
    case kAlignCenter:
      field->setAlignment(NSTextAlignmentCenter);
      break;
    case kAlignFar:
      field->setAlignment(NSTextAlignmentRight);
      break;
    default:
      break;
  }

  IGEditorDelegate* dlg = mGraphics->GetDelegate();
  const plugin::IParam* param = (paramIdx >= 0 && dlg) ? dlg->GetParam(paramIdx) : nullptr;
  if (param)
  {
    const char* chars = "";
    switch (param->Type())
    {
      case plugin::IParam::kTypeBool:
      case plugin::IParam::kTypeInt:
      case plugin::IParam::kTypeEnum:
        chars = "0123456789-+";
        break;
      case plugin::IParam::kTypeDouble:
        chars = "0123456789.-+kK";
        break;
      default:
        break;
    }
    auto* formatter = new IGraphicsFormatter_vZANIQ_au();
    formatter->setAcceptableCharacterSet(NSCharacterSet::characterSetWithCharactersInString(NSString::stringWithUTF8String(chars)));
    formatter->setMaximumLength(length);
    formatter->setInitialString(NSString::stringWithUTF8String(str ? str : ""));
    // A prompt that shows the parameter's label opens with it after the number.
    const char* label = param->GetLabel();
    if (label && *label && str)
    {
      const std::string suffix = std::string(" ") + label;
      const std::string initial = str;
      if (initial.size() >= suffix.size() && initial.compare(initial.size() - suffix.size(), suffix.size(), suffix) == 0)
        formatter->setLabelSuffix(NSString::stringWithUTF8String(suffix.c_str()));
    }
    field->setFormatter(formatter);
    formatter->release();
  }

  if (NSCell* cell = field->cell()) cell->setLineBreakMode(NSLineBreakByTruncatingTail);
  field->setAllowsEditingTextAttributes(NO);
  const IColor& fg = text.mTextEntryFGColor;
  const IColor& bg = text.mTextEntryBGColor;
  field->setTextColor(NSColor::colorWithDeviceRed_green_blue_alpha(fg.R / 255.0, fg.G / 255.0, fg.B / 255.0, fg.A / 255.0));
  field->setBackgroundColor(NSColor::colorWithDeviceRed_green_blue_alpha(bg.R / 255.0, bg.G / 255.0, bg.B / 255.0, bg.A / 255.0));
  NSString* initial = NSString::stringWithUTF8String(str ? str : "");
  field->setStringValue(initial ? initial : NSString::string());
  field->setBordered(NO);
  field->setFocusRingType(NSFocusRingTypeNone);
  field->setDelegate(this);
  addSubview(field);
  if (NSWindow* win = window())
  {
    win->makeKeyAndOrderFront(nullptr);
    win->makeFirstResponder(field);
  }
}

void IGraphicsView_vZANIQ_au::controlTextDidEndEditing(NSNotification* notification)
{
  IGraphicsTextField_vZANIQ_au* field = mTextFieldView;
  if (!field || (notification && notification->object() && notification->object() != field)) return;
  KeepAlive keep(this, mGraphics);
  const std::string value = field->stringValue() ? field->stringValue()->UTF8String() : "";
  if (IGraphicsMac* g = mGraphics)
  {
    g->SetControlValueAfterTextEdit(value.c_str());
    if (mGraphics) mGraphics->SetAllControlsDirty();
  }
  endUserInput();
}

void IGraphicsView_vZANIQ_au::endUserInput()
{
  IGraphicsTextField_vZANIQ_au* field = mTextFieldView;
  if (!field) return;
  mTextFieldView = nullptr;
  // Without a delegate the field's own end of editing hands nothing on: closing here commits nothing.
  field->setDelegate(nullptr);
  field->removeFromSuperview();
  if (NSWindow* win = window()) win->makeFirstResponder(this);
  // The field may be closing from inside its own key handling: it goes at the next frame, not now.
  releaseRetiredTextField();
  mRetiredTextField = field;
  // The context must not wait for a value that will never come.
  if (mGraphics && mGraphics->GetControlInTextEntry() && !mGraphics->TextEntryIsOpen()) mGraphics->ClearInTextEntry();
}

void IGraphicsView_vZANIQ_au::releaseRetiredTextField()
{
  if (!mRetiredTextField) return;
  IGraphicsTextField_vZANIQ_au* field = mRetiredTextField;
  mRetiredTextField = nullptr;
  field->release();
}

// ---------------------------------------------------------------------------------------------------------------
// Colour panel
// ---------------------------------------------------------------------------------------------------------------

bool IGraphicsView_vZANIQ_au::promptForColor(const IColor& color, IGraphics::IColorPickerHandlerFunc func)
{
  NSColorPanel* panel = NSColorPanel::sharedColorPanel();
  if (!panel) return false;
  mColorPickerFunc = std::move(func);
  mUsedColorPanel = true;
  panel->setTarget(this);
  panel->setShowsAlpha(YES);
  panel->setAction(ZQSelector("onColorPicked:", &IGraphicsView_vZANIQ_au::onColorPicked));
  panel->setColor(NSColor::colorWithDeviceRed_green_blue_alpha(color.R / 255.0, color.G / 255.0, color.B / 255.0,
                                                               color.A / 255.0));
  panel->orderFront(nullptr);
  return true;
}

void IGraphicsView_vZANIQ_au::onColorPicked(NSColorPanel* panel)
{
  if (!panel || !panel->color()) return;
  NSColor* c = panel->color();
  const IColor color(static_cast<int>(c->alphaComponent() * 255.0), static_cast<int>(c->redComponent() * 255.0),
                     static_cast<int>(c->greenComponent() * 255.0), static_cast<int>(c->blueComponent() * 255.0));
  if (mColorPickerFunc)
  {
    KeepAlive keep(this, mGraphics);
    // The completion stays stored: every later pick calls it again.
    auto func = mColorPickerFunc;
    func(color);
  }
}
