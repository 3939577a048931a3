#include "platform/mac/IGraphicsMacNative.h"

#include "platform/mac/MacInput.h"

#include <Foundation/NSObjCRuntime.h>

#include <cstring>
#include <string>

using plugin::igraphics::IPopupMenu;

// ---------------------------------------------------------------------------------------------------------------
// Menu and receiver
// ---------------------------------------------------------------------------------------------------------------

IGraphicsMenu_vZANIQ_au* IGraphicsMenu_vZANIQ_au::initWithIPopupMenuAndReceiver(IPopupMenu* menu,
                                                                                IGraphicsMenuRcvr_vZANIQ_au* receiver)
{
  initWithTitle(NSString::string());
  // Each item's enabled state is set from its flags; automatic enabling would override it.
  setAutoenablesItems(NO);
  mIPopupMenu = menu;
  if (!menu) return this;

  const SEL action = ZQSelector("onMenuSelection:", &IGraphicsMenuRcvr_vZANIQ_au::onMenuSelection);
  for (int i = 0; i < menu->NItems(); ++i)
  {
    const IPopupMenu::Item* item = menu->GetItem(i);
    if (!item) continue;
    NSMenuItem* nsItem = nullptr;
    if (item->GetIsSeparator())
    {
      // Separators keep their place, so the indexes of the two menus stay the same.
      addItem(NSMenuItem::separatorItem());
      continue;
    }
    NSString* title = NSString::stringWithUTF8String(
      plugin::igraphics::MacMenuItemTitle(menu->GetPrefix(), i, item->GetText()).c_str());
    if (IPopupMenu* sub = item->GetSubmenu())
    {
      nsItem = addItemWithTitle_action_keyEquivalent(title, SEL(), NSString::string());
      auto* subMenu = new IGraphicsMenu_vZANIQ_au();
      subMenu->initWithIPopupMenuAndReceiver(sub, receiver);
      setSubmenu_forItem(subMenu, nsItem);
      subMenu->release();
    }
    else
    {
      nsItem = addItemWithTitle_action_keyEquivalent(title, action, NSString::string());
      nsItem->setTarget(receiver);
    }
    nsItem->setIndentationLevel(item->GetIsTitle() ? 1 : 0);
    nsItem->setEnabled(item->GetEnabled() ? YES : NO);
    nsItem->setState(item->GetChecked() ? NSControlStateValueOn : NSControlStateValueOff);
  }
  return this;
}

void IGraphicsMenuRcvr_vZANIQ_au::onMenuSelection(NSMenuItem* sender)
{
  nsMenuItem = sender;
}

// ---------------------------------------------------------------------------------------------------------------
// Text field and cell
// ---------------------------------------------------------------------------------------------------------------

BOOL IGraphicsTextField_vZANIQ_au::becomeFirstResponder()
{
  const BOOL ok = NSTextField::becomeFirstResponder();
  if (ok)
  {
    if (auto* editor = dynamic_cast<NSTextView*>(currentEditor())) editor->setInsertionPointColor(textColor());
  }
  return ok;
}

NSRect IGraphicsTextFieldCell_vZANIQ_au::drawingRectForBounds(NSRect rect)
{
  NSRect r = NSTextFieldCell::drawingRectForBounds(rect);
  if (!mIsEditingOrSelecting)
  {
    const float d = static_cast<float>(r.size.height) - static_cast<float>(cellSize().height);
    r.size.height -= d;
    r.origin.y += d * 0.5f;
  }
  return r;
}

void IGraphicsTextFieldCell_vZANIQ_au::selectWithFrame_inView_editor_delegate_start_length(
  NSRect frame, NSView* controlView, NSText* editor, NSObject* delegate, NSInteger start, NSInteger length)
{
  const NSRect centred = drawingRectForBounds(frame);
  mIsEditingOrSelecting = true;
  NSTextFieldCell::selectWithFrame_inView_editor_delegate_start_length(centred, controlView, editor, delegate, start,
                                                                      length);
  mIsEditingOrSelecting = false;
}

void IGraphicsTextFieldCell_vZANIQ_au::editWithFrame_inView_editor_delegate_event(NSRect frame, NSView* controlView,
                                                                                NSText* editor, NSObject* delegate,
                                                                                NSEvent* event)
{
  const NSRect centred = drawingRectForBounds(frame);
  mIsEditingOrSelecting = true;
  NSTextFieldCell::editWithFrame_inView_editor_delegate_event(centred, controlView, editor, delegate, event);
  mIsEditingOrSelecting = false;
}

// ---------------------------------------------------------------------------------------------------------------
// Formatter
// ---------------------------------------------------------------------------------------------------------------

namespace
{

// The code points of a UTF-8 text (NSString keeps valid UTF-8).
std::u32string CodePoints(const char* s)
{
  std::u32string out;
  const auto* p = reinterpret_cast<const unsigned char*>(s);
  while (p && *p)
  {
    char32_t cp = *p;
    int n = 0;
    if (cp >= 0xF0)
      cp &= 0x07, n = 3;
    else if (cp >= 0xE0)
      cp &= 0x0F, n = 2;
    else if (cp >= 0xC0)
      cp &= 0x1F, n = 1;
    ++p;
    for (int i = 0; i < n && *p; ++i, ++p)
      cp = (cp << 6) | (*p & 0x3F);
    out.push_back(cp);
  }
  return out;
}

// Whether after is before with one run of characters taken out (and nothing put in), or before itself.
bool IsDeletionFrom(const std::string& before, const std::string& after)
{
  if (after == before) return true;
  if (after.size() > before.size()) return false;
  size_t head = 0;
  while (head < after.size() && after[head] == before[head])
    ++head;
  size_t tail = 0;
  while (tail < after.size() - head && after[after.size() - 1 - tail] == before[before.size() - 1 - tail])
    ++tail;
  return head + tail == after.size();
}

} // namespace

IGraphicsFormatter_vZANIQ_au::~IGraphicsFormatter_vZANIQ_au()
{
  if (filterCharacterSet) filterCharacterSet->release();
  if (mLabelSuffix) mLabelSuffix->release();
}

void IGraphicsFormatter_vZANIQ_au::setAcceptableCharacterSet(NSCharacterSet* set)
{
  if (set) set->retain();
  if (filterCharacterSet) filterCharacterSet->release();
  filterCharacterSet = set;
}

void IGraphicsFormatter_vZANIQ_au::setLabelSuffix(NSString* suffix)
{
  NSString* copy = (suffix && suffix->length() > 0) ? NSString::alloc_initWithUTF8String(suffix->UTF8String()) : nullptr;
  if (mLabelSuffix) mLabelSuffix->release();
  mLabelSuffix = copy;
}

void IGraphicsFormatter_vZANIQ_au::setInitialString(NSString* text)
{
  mLastAccepted = text ? text->UTF8String() : "";
}

BOOL IGraphicsFormatter_vZANIQ_au::isPartialStringValid_newEditingString_errorDescription(NSString* partialString,
                                                                                         NSString** newString,
                                                                                         NSString** error)
{
  (void)newString;
  (void)error;
  if (!partialString) return YES;
  std::string text = partialString->UTF8String();
  if (IsDeletionFrom(mLastAccepted, text) || IsAcceptable(text))
  {
    mLastAccepted = partialString->UTF8String();
    return YES;
  }
  return NO;
}

bool IGraphicsFormatter_vZANIQ_au::IsAcceptable(std::string text) const
{
  // The label the field opened with is not typed: only the number in front of it is vetted.
  if (mLabelSuffix)
  {
    const std::string suffix = mLabelSuffix->UTF8String();
    if (text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0)
      text.resize(text.size() - suffix.size());
  }
  const std::u32string cps = CodePoints(text.c_str());
  if (filterCharacterSet)
  {
    for (char32_t cp : cps)
      if (!filterCharacterSet->longCharacterIsMember(cp)) return false;
  }
  if (maxLength != 0 && cps.size() > static_cast<size_t>(maxLength)) return false;
  if (maxValue != 0)
  {
    NSString* number = NSString::stringWithUTF8String(text.c_str());
    return (number ? number->intValue() : 0) <= maxValue;
  }
  return true;
}

NSString* IGraphicsFormatter_vZANIQ_au::stringForObjectValue(NSObject* object)
{
  return dynamic_cast<NSString*>(object);
}

BOOL IGraphicsFormatter_vZANIQ_au::getObjectValue_forString_errorDescription(NSObject** object, NSString* string,
                                                                            NSString** error)
{
  (void)error;
  if (object && string) *object = NSString::stringWithString(string);
  return YES;
}
