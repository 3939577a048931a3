// NSEvent: mouse, wheel, tracking and key events; modifier flags, function-key characters and the virtual key
// codes of the Apple keyboard (ANSI layout).
#pragma once

#include <AppKit/NSGeometry.h>

class NSWindow;
class NSTrackingArea;
class NSGraphicsContext;

typedef NSUInteger NSEventType;
enum : NSEventType
{
  NSEventTypeLeftMouseDown = 1,
  NSEventTypeLeftMouseUp = 2,
  NSEventTypeRightMouseDown = 3,
  NSEventTypeRightMouseUp = 4,
  NSEventTypeMouseMoved = 5,
  NSEventTypeLeftMouseDragged = 6,
  NSEventTypeRightMouseDragged = 7,
  NSEventTypeMouseEntered = 8,
  NSEventTypeMouseExited = 9,
  NSEventTypeKeyDown = 10,
  NSEventTypeKeyUp = 11,
  NSEventTypeFlagsChanged = 12,
  NSEventTypeScrollWheel = 22,
  NSEventTypeOtherMouseDown = 25,
  NSEventTypeOtherMouseUp = 26,
  NSEventTypeOtherMouseDragged = 27,
  // The older names.
  NSLeftMouseDown = 1,
  NSLeftMouseUp = 2,
  NSRightMouseDown = 3,
  NSRightMouseUp = 4,
  NSMouseMoved = 5,
  NSLeftMouseDragged = 6,
  NSRightMouseDragged = 7,
  NSMouseEntered = 8,
  NSMouseExited = 9,
  NSKeyDown = 10,
  NSKeyUp = 11,
  NSScrollWheel = 22,
};

typedef NSUInteger NSEventModifierFlags;
enum : NSEventModifierFlags
{
  NSEventModifierFlagCapsLock = 1 << 16,
  NSEventModifierFlagShift = 1 << 17,
  NSEventModifierFlagControl = 1 << 18,
  NSEventModifierFlagOption = 1 << 19,
  NSEventModifierFlagCommand = 1 << 20,
  NSEventModifierFlagNumericPad = 1 << 21,
  NSEventModifierFlagHelp = 1 << 22,
  NSEventModifierFlagFunction = 1 << 23,
  NSEventModifierFlagDeviceIndependentFlagsMask = 0xffff0000UL,
  // The older names.
  NSAlphaShiftKeyMask = 1 << 16,
  NSShiftKeyMask = 1 << 17,
  NSControlKeyMask = 1 << 18,
  NSAlternateKeyMask = 1 << 19,
  NSCommandKeyMask = 1 << 20,
  NSNumericPadKeyMask = 1 << 21,
  NSFunctionKeyMask = 1 << 23,
};

typedef short NSEventSubtype;
enum : NSEventSubtype
{
  NSEventSubtypeMouseEvent = 0,
  NSEventSubtypeTabletPoint = 1,
  NSEventSubtypeTabletProximity = 2,
  NSEventSubtypeTouch = 3,
};

// Characters of special keys (in characters / charactersIgnoringModifiers).
enum : unichar
{
  NSEnterCharacter = 0x0003,
  NSBackspaceCharacter = 0x0008,
  NSTabCharacter = 0x0009,
  NSNewlineCharacter = 0x000a,
  NSCarriageReturnCharacter = 0x000d,
  NSBackTabCharacter = 0x0019,
  NSDeleteCharacter = 0x007f,
  NSUpArrowFunctionKey = 0xF700,
  NSDownArrowFunctionKey = 0xF701,
  NSLeftArrowFunctionKey = 0xF702,
  NSRightArrowFunctionKey = 0xF703,
  NSF1FunctionKey = 0xF704, // F1 … F35 follow in order
  NSInsertFunctionKey = 0xF727,
  NSDeleteFunctionKey = 0xF728,
  NSHomeFunctionKey = 0xF729,
  NSEndFunctionKey = 0xF72B,
  NSPageUpFunctionKey = 0xF72C,
  NSPageDownFunctionKey = 0xF72D,
  NSClearLineFunctionKey = 0xF739,
  NSHelpFunctionKey = 0xF746,
};

// Virtual key codes (the hardware keys of the ANSI layout), as keyCode reports them.
enum : unsigned short
{
  kVK_ANSI_A = 0x00, kVK_ANSI_S = 0x01, kVK_ANSI_D = 0x02, kVK_ANSI_F = 0x03, kVK_ANSI_H = 0x04, kVK_ANSI_G = 0x05,
  kVK_ANSI_Z = 0x06, kVK_ANSI_X = 0x07, kVK_ANSI_C = 0x08, kVK_ANSI_V = 0x09, kVK_ANSI_B = 0x0B, kVK_ANSI_Q = 0x0C,
  kVK_ANSI_W = 0x0D, kVK_ANSI_E = 0x0E, kVK_ANSI_R = 0x0F, kVK_ANSI_Y = 0x10, kVK_ANSI_T = 0x11, kVK_ANSI_1 = 0x12,
  kVK_ANSI_2 = 0x13, kVK_ANSI_3 = 0x14, kVK_ANSI_4 = 0x15, kVK_ANSI_6 = 0x16, kVK_ANSI_5 = 0x17,
  kVK_ANSI_Equal = 0x18, kVK_ANSI_9 = 0x19, kVK_ANSI_7 = 0x1A, kVK_ANSI_Minus = 0x1B, kVK_ANSI_8 = 0x1C,
  kVK_ANSI_0 = 0x1D, kVK_ANSI_RightBracket = 0x1E, kVK_ANSI_O = 0x1F, kVK_ANSI_U = 0x20,
  kVK_ANSI_LeftBracket = 0x21, kVK_ANSI_I = 0x22, kVK_ANSI_P = 0x23, kVK_Return = 0x24, kVK_ANSI_L = 0x25,
  kVK_ANSI_J = 0x26, kVK_ANSI_Quote = 0x27, kVK_ANSI_K = 0x28, kVK_ANSI_Semicolon = 0x29,
  kVK_ANSI_Backslash = 0x2A, kVK_ANSI_Comma = 0x2B, kVK_ANSI_Slash = 0x2C, kVK_ANSI_N = 0x2D, kVK_ANSI_M = 0x2E,
  kVK_ANSI_Period = 0x2F, kVK_Tab = 0x30, kVK_Space = 0x31, kVK_ANSI_Grave = 0x32, kVK_Delete = 0x33,
  kVK_Escape = 0x35, kVK_Command = 0x37, kVK_Shift = 0x38, kVK_CapsLock = 0x39, kVK_Option = 0x3A,
  kVK_Control = 0x3B, kVK_ANSI_KeypadDecimal = 0x41, kVK_ANSI_KeypadMultiply = 0x43, kVK_ANSI_KeypadPlus = 0x45,
  kVK_ANSI_KeypadClear = 0x47, kVK_ANSI_KeypadDivide = 0x4B, kVK_ANSI_KeypadEnter = 0x4C,
  kVK_ANSI_KeypadMinus = 0x4E, kVK_ANSI_KeypadEquals = 0x51, kVK_ANSI_Keypad0 = 0x52, kVK_ANSI_Keypad1 = 0x53,
  kVK_ANSI_Keypad2 = 0x54, kVK_ANSI_Keypad3 = 0x55, kVK_ANSI_Keypad4 = 0x56, kVK_ANSI_Keypad5 = 0x57,
  kVK_ANSI_Keypad6 = 0x58, kVK_ANSI_Keypad7 = 0x59, kVK_ANSI_Keypad8 = 0x5B, kVK_ANSI_Keypad9 = 0x5C,
  kVK_F5 = 0x60, kVK_F6 = 0x61, kVK_F7 = 0x62, kVK_F3 = 0x63, kVK_F8 = 0x64, kVK_F9 = 0x65, kVK_F11 = 0x67,
  kVK_F13 = 0x69, kVK_F16 = 0x6A, kVK_F14 = 0x6B, kVK_F10 = 0x6D, kVK_F12 = 0x6F, kVK_F15 = 0x71,
  kVK_Help = 0x72, kVK_Home = 0x73, kVK_PageUp = 0x74, kVK_ForwardDelete = 0x75, kVK_F4 = 0x76, kVK_End = 0x77,
  kVK_F2 = 0x78, kVK_PageDown = 0x79, kVK_F1 = 0x7A, kVK_LeftArrow = 0x7B, kVK_RightArrow = 0x7C,
  kVK_DownArrow = 0x7D, kVK_UpArrow = 0x7E,
};

class NSEvent : public NSObject
{
public:
  // A mouse event (down, up, moved, dragged) at a window point. windowNumber 0: no window. Autoreleased; nil for
  // a type that is not a mouse button or motion type.
  static NSEvent* mouseEventWithType_location_modifierFlags_timestamp_windowNumber_context_eventNumber_clickCount_pressure(
    NSEventType type, NSPoint location, NSEventModifierFlags flags, double time, NSInteger windowNumber,
    NSGraphicsContext* context, NSInteger eventNumber, NSInteger clickCount, float pressure);
  // A key event. Autoreleased; nil for a type that is not keyDown/keyUp/flagsChanged.
  static NSEvent* keyEventWithType_location_modifierFlags_timestamp_windowNumber_context_characters_charactersIgnoringModifiers_isARepeat_keyCode(
    NSEventType type, NSPoint location, NSEventModifierFlags flags, double time, NSInteger windowNumber,
    NSGraphicsContext* context, NSString* characters, NSString* charactersIgnoringModifiers, BOOL isARepeat,
    unsigned short keyCode);

  // The pointer position now, screen coordinates (origin bottom left, y up).
  static NSPoint mouseLocation();
  // The modifier keys held now (+[NSEvent modifierFlags]; renamed beside the instance method of that name).
  static NSEventModifierFlags classModifierFlags();
  // The mouse buttons held now (bit 0 left, bit 1 right).
  static NSUInteger pressedMouseButtons();

  NSEventType type() const { return mType; }
  NSEventSubtype subtype() const { return mSubtype; }
  // Window coordinates (origin bottom left); for key events the mouse position at the time.
  NSPoint locationInWindow() const { return mLocation; }
  NSEventModifierFlags modifierFlags() const { return mFlags; }
  NSInteger clickCount() const { return mClickCount; }
  NSInteger buttonNumber() const { return mButton; }
  double timestamp() const { return mTimestamp; }
  NSWindow* window() const { return mWindow; }
  NSInteger windowNumber() const { return mWindowNumber; }
  float pressure() const { return mPressure; }
  // Motion since the previous mouse event (points; y down) for moves and drags; wheel lines for scroll events.
  CGFloat deltaX() const { return mDeltaX; }
  CGFloat deltaY() const { return mDeltaY; }
  CGFloat deltaZ() const { return 0.0; }
  CGFloat scrollingDeltaX() const { return mPrecise ? mDeltaX * 10.0 : mDeltaX; }
  CGFloat scrollingDeltaY() const { return mPrecise ? mDeltaY * 10.0 : mDeltaY; }
  BOOL hasPreciseScrollingDeltas() const { return mPrecise; }
  // Key events.
  unsigned short keyCode() const { return mKeyCode; }
  NSString* characters() const { return mCharacters; }
  NSString* charactersIgnoringModifiers() const { return mCharactersIgnoringModifiers; }
  BOOL isARepeat() const { return mRepeat; }
  // Entered/exited events.
  NSTrackingArea* trackingArea() const { return mTrackingArea; }
  void* userData() const { return nullptr; }

protected:
  ~NSEvent() override;

private:
  friend struct ZQEventAccess;
  NSEvent() = default;
  NSEventType mType = 0;
  NSEventSubtype mSubtype = NSEventSubtypeMouseEvent;
  NSPoint mLocation = NSZeroPoint;
  NSEventModifierFlags mFlags = 0;
  NSInteger mClickCount = 0;
  NSInteger mButton = 0;
  double mTimestamp = 0.0;
  NSWindow* mWindow = nullptr;
  NSInteger mWindowNumber = 0;
  float mPressure = 0.0f;
  CGFloat mDeltaX = 0.0, mDeltaY = 0.0;
  BOOL mPrecise = NO;
  unsigned short mKeyCode = 0;
  NSString* mCharacters = nullptr;                  // retained
  NSString* mCharactersIgnoringModifiers = nullptr; // retained
  BOOL mRepeat = NO;
  NSTrackingArea* mTrackingArea = nullptr;          // retained
};
