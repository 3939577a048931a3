// AppKit stand-in: NSEvent and the process-wide kit state.

#include <AppKit/AppKit_p.h>

namespace zqak
{

State& S()
{
  static State* state = new State();
  return *state;
}

NSEvent* MakeEvent(const EventDesc& desc)
{
  return ZQEventAccess::Make(desc);
}

std::string UTF8(const NSString* s)
{
  return s ? std::string(s->UTF8String()) : std::string();
}

CAMetalLayer* FindMetalLayer(NSView* view)
{
  if (!view) return nullptr;
  if (auto* metal = dynamic_cast<CAMetalLayer*>(view->layer())) return metal;
  NSArray* subs = view->subviews();
  for (NSUInteger i = 0; i < subs->count(); ++i)
    if (CAMetalLayer* m = FindMetalLayer(static_cast<NSView*>(subs->objectAtIndex(i)))) return m;
  return nullptr;
}

} // namespace zqak

NSEvent* ZQEventAccess::Make(const zqak::EventDesc& d)
{
  auto* e = new NSEvent();
  e->mType = d.type;
  e->mSubtype = d.subtype;
  e->mLocation = d.location;
  e->mFlags = d.flags;
  e->mClickCount = d.clickCount;
  e->mButton = d.button;
  e->mTimestamp = (zqak::S().eventTime += 0.001);
  e->mWindow = d.window;
  e->mWindowNumber = d.window ? d.window->windowNumber() : 0;
  e->mPressure = d.pressure;
  e->mDeltaX = d.deltaX;
  e->mDeltaY = d.deltaY;
  e->mKeyCode = d.keyCode;
  if (d.characters) e->mCharacters = NSString::alloc_initWithUTF8String(d.characters);
  if (d.charactersIgnoringModifiers)
    e->mCharactersIgnoringModifiers = NSString::alloc_initWithUTF8String(d.charactersIgnoringModifiers);
  e->mRepeat = d.repeat ? YES : NO;
  e->mTrackingArea = d.trackingArea ? static_cast<NSTrackingArea*>(d.trackingArea->retain()) : nullptr;
  return static_cast<NSEvent*>(e->autorelease());
}

NSEvent::~NSEvent()
{
  if (mCharacters) mCharacters->release();
  if (mCharactersIgnoringModifiers) mCharactersIgnoringModifiers->release();
  if (mTrackingArea) mTrackingArea->release();
}

namespace
{

NSWindow* WindowNumbered(NSInteger number)
{
  for (NSWindow* w : zqak::S().windows)
    if (w->windowNumber() == number) return w;
  return nullptr;
}

} // namespace

NSEvent* NSEvent::mouseEventWithType_location_modifierFlags_timestamp_windowNumber_context_eventNumber_clickCount_pressure(
  NSEventType type, NSPoint location, NSEventModifierFlags flags, double time, NSInteger windowNumber,
  NSGraphicsContext*, NSInteger, NSInteger clickCount, float pressure)
{
  switch (type)
  {
  case NSEventTypeLeftMouseDown:
  case NSEventTypeLeftMouseUp:
  case NSEventTypeRightMouseDown:
  case NSEventTypeRightMouseUp:
  case NSEventTypeMouseMoved:
  case NSEventTypeLeftMouseDragged:
  case NSEventTypeRightMouseDragged:
  case NSEventTypeOtherMouseDown:
  case NSEventTypeOtherMouseUp:
  case NSEventTypeOtherMouseDragged: break;
  default: return nullptr;
  }
  zqak::EventDesc d;
  d.type = type;
  d.location = location;
  d.flags = flags;
  d.clickCount = clickCount;
  d.window = WindowNumbered(windowNumber);
  d.pressure = pressure;
  d.button = (type == NSEventTypeRightMouseDown || type == NSEventTypeRightMouseUp || type == NSEventTypeRightMouseDragged)
               ? 1
               : (type >= NSEventTypeOtherMouseDown ? 2 : 0);
  NSEvent* e = zqak::MakeEvent(d);
  e->mTimestamp = time;
  return e;
}

NSEvent* NSEvent::keyEventWithType_location_modifierFlags_timestamp_windowNumber_context_characters_charactersIgnoringModifiers_isARepeat_keyCode(
  NSEventType type, NSPoint location, NSEventModifierFlags flags, double time, NSInteger windowNumber,
  NSGraphicsContext*, NSString* characters, NSString* charactersIgnoringModifiers, BOOL isARepeat,
  unsigned short keyCode)
{
  if (type != NSEventTypeKeyDown && type != NSEventTypeKeyUp && type != NSEventTypeFlagsChanged) return nullptr;
  zqak::EventDesc d;
  d.type = type;
  d.location = location;
  d.flags = flags;
  d.window = WindowNumbered(windowNumber);
  d.keyCode = keyCode;
  d.characters = characters ? characters->UTF8String() : "";
  d.charactersIgnoringModifiers = charactersIgnoringModifiers ? charactersIgnoringModifiers->UTF8String() : "";
  d.repeat = isARepeat;
  NSEvent* e = zqak::MakeEvent(d);
  e->mTimestamp = time;
  return e;
}

NSPoint NSEvent::mouseLocation()
{
  return zqak::S().cursor;
}

NSEventModifierFlags NSEvent::classModifierFlags()
{
  return zqak::S().modifiers;
}

NSUInteger NSEvent::pressedMouseButtons()
{
  return zqak::S().buttons;
}
