// AppKit stand-in: cells, controls, the text field and its editing.

#include <AppKit/AppKit_p.h>
#include <Foundation/Unicode_p.h>

#include <cmath>

NSString* const NSControlTextDidBeginEditingNotification =
  NSString::alloc_initWithUTF8String("NSControlTextDidBeginEditingNotification");
NSString* const NSControlTextDidChangeNotification =
  NSString::alloc_initWithUTF8String("NSControlTextDidChangeNotification");
NSString* const NSControlTextDidEndEditingNotification =
  NSString::alloc_initWithUTF8String("NSControlTextDidEndEditingNotification");

using zqak::Assign;

// ---------------------------------------------------------------------------------------------------------------
// Field editor
// ---------------------------------------------------------------------------------------------------------------

NSString* NSText::string() const
{
  return NSString::stringWithUTF8String(mText.c_str());
}

void NSText::setString(NSString* string)
{
  mText = string ? string->UTF8String() : "";
  const NSUInteger len = zqns::UTF8ToUTF16(mText).size();
  if (mSelected.location > len) mSelected.location = len;
  if (mSelected.location + mSelected.length > len) mSelected.length = len - mSelected.location;
}

void NSText::setSelectedRange(NSRange range)
{
  const NSUInteger len = zqns::UTF8ToUTF16(mText).size();
  if (range.location > len) range.location = len;
  if (range.length > len - range.location) range.length = len - range.location;
  mSelected = range;
}

NSTextView::~NSTextView()
{
  if (mInsertionPointColor) mInsertionPointColor->release();
}

void NSTextView::setInsertionPointColor(NSColor* color)
{
  Assign(mInsertionPointColor, color);
}

// ---------------------------------------------------------------------------------------------------------------
// NSCell, NSTextFieldCell
// ---------------------------------------------------------------------------------------------------------------

NSCell* NSCell::initTextCell(NSString* string)
{
  setStringValue(string);
  return this;
}

NSCell::~NSCell()
{
  if (mString) mString->release();
  if (mFont) mFont->release();
  if (mFormatter) mFormatter->release();
}

NSString* NSCell::stringValue() const
{
  return NSString::stringWithUTF8String(mString ? mString->UTF8String() : "");
}

void NSCell::setStringValue(NSString* string)
{
  NSString* copy = NSString::alloc_initWithUTF8String(string ? string->UTF8String() : "");
  if (mString) mString->release();
  mString = copy;
}

int NSCell::intValue() const
{
  return mString ? mString->intValue() : 0;
}

double NSCell::doubleValue() const
{
  return mString ? mString->doubleValue() : 0.0;
}

void NSCell::setFont(NSFont* font)
{
  Assign(mFont, font);
}

void NSCell::setFormatter(NSFormatter* formatter)
{
  Assign(mFormatter, formatter);
}

NSSize NSCell::cellSize() const
{
  const CGFloat size = mFont ? mFont->pointSize() : 12.0;
  const CGFloat line = mFont ? mFont->ZQLineHeight() : std::ceil(12.0 * 1.2);
  const CGFloat units = mString ? static_cast<CGFloat>(mString->length()) : 0;
  const bool framed = mBordered || mBezeled;
  return NSMakeSize(std::ceil(units * size * 0.6) + (framed ? 8 : 4), line + (framed ? 8 : 0));
}

NSRect NSCell::drawingRectForBounds(NSRect rect)
{
  return (mBordered || mBezeled) ? NSInsetRect(rect, 3, 3) : NSInsetRect(rect, 2, 0);
}

void NSCell::selectWithFrame_inView_editor_delegate_start_length(NSRect frame, NSView*, NSText* editor, NSObject*,
                                                                 NSInteger start, NSInteger length)
{
  if (!editor) return;
  editor->setFrame(frame);
  editor->mText = mString ? mString->UTF8String() : "";
  editor->setSelectedRange(NSMakeRange(start < 0 ? 0 : static_cast<NSUInteger>(start),
                                       length < 0 ? 0 : static_cast<NSUInteger>(length)));
}

void NSCell::editWithFrame_inView_editor_delegate_event(NSRect frame, NSView* controlView, NSText* editor,
                                                        NSObject* delegate, NSEvent*)
{
  selectWithFrame_inView_editor_delegate_start_length(frame, controlView, editor, delegate, 0, 0);
}

void NSCell::endEditing(NSText*) {}

NSTextFieldCell::~NSTextFieldCell()
{
  if (mTextColor) mTextColor->release();
  if (mBackgroundColor) mBackgroundColor->release();
}

void NSTextFieldCell::setTextColor(NSColor* color)
{
  Assign(mTextColor, color);
}

void NSTextFieldCell::setBackgroundColor(NSColor* color)
{
  Assign(mBackgroundColor, color);
}

// ---------------------------------------------------------------------------------------------------------------
// NSControl
// ---------------------------------------------------------------------------------------------------------------

NSControl::~NSControl()
{
  if (mCell) mCell->release();
}

void NSControl::setCell(NSCell* cell)
{
  Assign(mCell, cell);
  if (mCell) mCell->setControlView(this);
}

NSString* NSControl::stringValue() const
{
  return mCell ? mCell->stringValue() : NSString::string();
}

void NSControl::setStringValue(NSString* string)
{
  if (mCell) mCell->setStringValue(string);
}

int NSControl::intValue() const { return mCell ? mCell->intValue() : 0; }
double NSControl::doubleValue() const { return mCell ? mCell->doubleValue() : 0.0; }
NSFont* NSControl::font() const { return mCell ? mCell->font() : nullptr; }
void NSControl::setFont(NSFont* font) { if (mCell) mCell->setFont(font); }
NSTextAlignment NSControl::alignment() const { return mCell ? mCell->alignment() : NSTextAlignmentNatural; }
void NSControl::setAlignment(NSTextAlignment alignment) { if (mCell) mCell->setAlignment(alignment); }
NSFormatter* NSControl::formatter() const { return mCell ? mCell->formatter() : nullptr; }
void NSControl::setFormatter(NSFormatter* formatter) { if (mCell) mCell->setFormatter(formatter); }

NSTextFieldDelegate::~NSTextFieldDelegate() = default;

// ---------------------------------------------------------------------------------------------------------------
// NSTextField
// ---------------------------------------------------------------------------------------------------------------

NSTextField::NSTextField()
{
  auto* cell = new NSTextFieldCell();
  cell->setEditable(YES);
  cell->setSelectable(YES);
  cell->setBezeled(YES);
  cell->setDrawsBackground(YES);
  setCell(cell);
  cell->release();
}

NSTextField::~NSTextField()
{
  if (mEditor) mEditor->release();
}

NSView* NSTextField::initWithFrame(NSRect frame)
{
  return NSControl::initWithFrame(frame);
}

NSTextFieldCell* NSTextField::textFieldCell() const { return dynamic_cast<NSTextFieldCell*>(mCell); }
NSColor* NSTextField::textColor() const { return textFieldCell() ? textFieldCell()->textColor() : nullptr; }
void NSTextField::setTextColor(NSColor* color) { if (textFieldCell()) textFieldCell()->setTextColor(color); }
NSColor* NSTextField::backgroundColor() const { return textFieldCell() ? textFieldCell()->backgroundColor() : nullptr; }
void NSTextField::setBackgroundColor(NSColor* color) { if (textFieldCell()) textFieldCell()->setBackgroundColor(color); }
BOOL NSTextField::drawsBackground() const { return textFieldCell() ? textFieldCell()->drawsBackground() : NO; }
void NSTextField::setDrawsBackground(BOOL b) { if (textFieldCell()) textFieldCell()->setDrawsBackground(b); }
BOOL NSTextField::isBordered() const { return mCell ? mCell->isBordered() : NO; }
void NSTextField::setBordered(BOOL b) { if (mCell) mCell->setBordered(b); }
BOOL NSTextField::isBezeled() const { return mCell ? mCell->isBezeled() : NO; }
void NSTextField::setBezeled(BOOL b) { if (mCell) mCell->setBezeled(b); }
BOOL NSTextField::isEditable() const { return mCell ? mCell->isEditable() : NO; }
void NSTextField::setEditable(BOOL b) { if (mCell) mCell->setEditable(b); }
BOOL NSTextField::isSelectable() const { return mCell ? mCell->isSelectable() : NO; }
void NSTextField::setSelectable(BOOL b) { if (mCell) mCell->setSelectable(b); }
void NSTextField::setAllowsEditingTextAttributes(BOOL b) { if (mCell) mCell->setAllowsEditingTextAttributes(b); }

BOOL NSTextField::becomeFirstResponder()
{
  if (!mCell || (!isEditable() && !isSelectable())) return NO;
  if (!mEditor) mEditor = new NSTextView();
  mEditing = true;
  const NSInteger length = static_cast<NSInteger>(mCell->stringValue()->length());
  mCell->selectWithFrame_inView_editor_delegate_start_length(bounds(), this, mEditor, this, 0, length);
  return YES;
}

BOOL NSTextField::resignFirstResponder()
{
  EndEditing(true);
  return YES;
}

void NSTextField::EndEditing(bool commit)
{
  if (!mEditing) return;
  mEditing = false; // first, so that re-entrant calls from the delegate find editing over
  retain();
  if (commit && mCell)
  {
    NSString* text = mEditor->string();
    NSObject* value = nullptr;
    NSFormatter* f = mCell->formatter();
    if (!f || f->getObjectValue_forString_errorDescription(&value, text, nullptr)) mCell->setStringValue(text);
  }
  if (mCell) mCell->endEditing(mEditor);
  NSAutoreleasePool pool;
  NSNotification* n = NSNotification::notificationWithName_object_userInfo(NSControlTextDidEndEditingNotification, this,
                                                                           nullptr);
  NSNotificationCenter::defaultCenter()->postNotification(n);
  if (mDelegate) mDelegate->controlTextDidEndEditing(n);
  release();
}

bool NSTextField::ProposeEdit(size_t from, size_t to, const std::u16string& insert)
{
  if (!isEditable()) return false;
  std::u16string text = zqns::UTF8ToUTF16(mEditor->mText);
  if (from > text.size()) from = text.size();
  if (to > text.size()) to = text.size();
  if (to < from) to = from;
  std::u16string proposed = text.substr(0, from) + insert + text.substr(to);
  size_t caret = from + insert.size();
  NSAutoreleasePool pool;
  NSString* partial = NSString::stringWithUTF8String(zqns::UTF16ToUTF8(proposed).c_str());
  if (NSFormatter* f = mCell ? mCell->formatter() : nullptr)
  {
    NSString* replacement = nullptr;
    NSString* error = nullptr;
    if (!f->isPartialStringValid_newEditingString_errorDescription(partial, &replacement, &error))
    {
      if (!replacement) return false;
      proposed = zqns::UTF8ToUTF16(replacement->UTF8String());
      caret = proposed.size();
    }
  }
  mEditor->mText = zqns::UTF16ToUTF8(proposed);
  mEditor->setSelectedRange(NSMakeRange(caret, 0));
  retain();
  NSNotification* n = NSNotification::notificationWithName_object_userInfo(NSControlTextDidChangeNotification, this,
                                                                           nullptr);
  NSNotificationCenter::defaultCenter()->postNotification(n);
  if (mDelegate) mDelegate->controlTextDidChange(n);
  release();
  return true;
}

void NSTextField::keyDown(NSEvent* event)
{
  if (!mEditing || !event)
  {
    NSControl::keyDown(event);
    return;
  }
  const std::u16string chars = zqns::UTF8ToUTF16(zqak::UTF8(event->characters()));
  const std::u16string plain = zqns::UTF8ToUTF16(zqak::UTF8(event->charactersIgnoringModifiers()));
  const char16_t c = chars.empty() ? 0 : chars[0];
  const NSRange sel = mEditor->selectedRange();
  const std::u16string text = zqns::UTF8ToUTF16(mEditor->mText);
  auto isHigh = [](char16_t u) { return u >= 0xD800 && u <= 0xDBFF; };
  auto isLow = [](char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; };

  if (event->modifierFlags() & NSEventModifierFlagCommand)
  {
    const char16_t k = plain.empty() ? 0 : plain[0];
    NSPasteboard* pb = NSPasteboard::generalPasteboard();
    NSAutoreleasePool pool;
    if (k == 'a')
      mEditor->setSelectedRange(NSMakeRange(0, text.size()));
    else if ((k == 'c' || k == 'x') && sel.length > 0)
    {
      pb->clearContents();
      pb->setString_forType(
        NSString::stringWithUTF8String(zqns::UTF16ToUTF8(text.substr(sel.location, sel.length)).c_str()),
        NSPasteboardTypeString);
      if (k == 'x') ProposeEdit(sel.location, sel.location + sel.length, u"");
    }
    else if (k == 'v')
    {
      if (NSString* s = pb->stringForType(NSPasteboardTypeString))
        ProposeEdit(sel.location, sel.location + sel.length, zqns::UTF8ToUTF16(s->UTF8String()));
    }
    return;
  }
  switch (event->keyCode())
  {
  case kVK_Return:
  case kVK_ANSI_KeypadEnter:
  case kVK_Tab: EndEditing(true); return;
  case kVK_Escape: return;
  case kVK_Delete:
    if (sel.length > 0)
      ProposeEdit(sel.location, sel.location + sel.length, u"");
    else if (sel.location > 0)
    {
      size_t from = sel.location - 1;
      if (from > 0 && isLow(text[from]) && isHigh(text[from - 1])) --from;
      ProposeEdit(from, sel.location, u"");
    }
    return;
  case kVK_ForwardDelete:
    if (sel.length > 0)
      ProposeEdit(sel.location, sel.location + sel.length, u"");
    else if (sel.location < text.size())
    {
      size_t to = sel.location + 1;
      if (to < text.size() && isHigh(text[to - 1]) && isLow(text[to])) ++to;
      ProposeEdit(sel.location, to, u"");
    }
    return;
  case kVK_LeftArrow:
  {
    size_t at = sel.length > 0 ? sel.location : (sel.location > 0 ? sel.location - 1 : 0);
    if (sel.length == 0 && at > 0 && isLow(text[at]) && isHigh(text[at - 1])) --at;
    mEditor->setSelectedRange(NSMakeRange(at, 0));
    return;
  }
  case kVK_RightArrow:
  {
    size_t at = sel.length > 0 ? sel.location + sel.length : std::min(text.size(), sel.location + 1);
    if (sel.length == 0 && at < text.size() && at > 0 && isHigh(text[at - 1]) && isLow(text[at])) ++at;
    mEditor->setSelectedRange(NSMakeRange(at, 0));
    return;
  }
  case kVK_UpArrow:
  case kVK_Home: mEditor->setSelectedRange(NSMakeRange(0, 0)); return;
  case kVK_DownArrow:
  case kVK_End: mEditor->setSelectedRange(NSMakeRange(text.size(), 0)); return;
  default: break;
  }
  if (c == NSCarriageReturnCharacter || c == NSEnterCharacter || c == NSTabCharacter || c == NSBackTabCharacter)
  {
    EndEditing(true);
    return;
  }
  // Printable text: not a control character, not DEL, not a function key of the private-use block.
  if (chars.empty() || c < 0x20 || c == 0x7F || (c >= 0xF700 && c <= 0xF8FF)) return;
  ProposeEdit(sel.location, sel.location + sel.length, chars);
}

void NSTextField::keyUp(NSEvent* event)
{
  if (!mEditing) NSControl::keyUp(event);
}

void NSTextField::mouseDown(NSEvent* event)
{
  if (!mEditing) NSControl::mouseDown(event);
}
