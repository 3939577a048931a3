#pragma once

// The native helpers of the Cocoa editor view: a menu built from an IPopupMenu and the receiver that remembers the
// chosen item; the text field of a text entry, its vertically centring cell, and the formatter that limits what
// may be typed.
//
// Threads: [main thread], inside the view's modal menu tracking or text editing.

#include "graphics/IPopupMenu.h"

#include <AppKit/NSMenu.h>
#include <AppKit/NSTextField.h>
#include <Foundation/NSCharacterSet.h>
#include <Foundation/NSFormatter.h>

#include <string>

class IGraphicsMenuRcvr_vZANIQ_au;

// A native menu of an IPopupMenu, submenus included. Every entry (separators too) makes one native item, so an
// item's index in the native menu is its index in the IPopupMenu.
class IGraphicsMenu_vZANIQ_au : public NSMenu
{
public:
  IGraphicsMenu_vZANIQ_au() = default;
  // Builds the items (titles numbered by the menu's prefix style, flags as enabled, indentation and check mark),
  // their actions aimed at receiver, and remembers menu (not owned). Answers this.
  IGraphicsMenu_vZANIQ_au* initWithIPopupMenuAndReceiver(plugin::igraphics::IPopupMenu* menu,
                                                        IGraphicsMenuRcvr_vZANIQ_au* receiver);
  plugin::igraphics::IPopupMenu* iPopupMenu() const { return mIPopupMenu; }

private:
  plugin::igraphics::IPopupMenu* mIPopupMenu = nullptr;
};

// The target of the menu items: remembers the item chosen.
class IGraphicsMenuRcvr_vZANIQ_au : public NSView
{
public:
  IGraphicsMenuRcvr_vZANIQ_au() = default;
  void onMenuSelection(NSMenuItem* sender);
  // The chosen item (retained by its menu), or null before a choice.
  NSMenuItem* menuItem() const { return nsMenuItem; }

private:
  NSMenuItem* nsMenuItem = nullptr;
};

// The text field of a text entry: the caret takes the text colour, so it shows on any background.
class IGraphicsTextField_vZANIQ_au : public NSTextField
{
public:
  IGraphicsTextField_vZANIQ_au() = default;
  BOOL becomeFirstResponder() override;
};

// A text-field cell that centres its text vertically, the field editor included.
class IGraphicsTextFieldCell_vZANIQ_au : public NSTextFieldCell
{
public:
  IGraphicsTextFieldCell_vZANIQ_au() = default;
  NSRect drawingRectForBounds(NSRect rect) override;
  void selectWithFrame_inView_editor_delegate_start_length(NSRect frame, NSView* controlView, NSText* editor,
                                                           NSObject* delegate, NSInteger start,
                                                           NSInteger length) override;
  void editWithFrame_inView_editor_delegate_event(NSRect frame, NSView* controlView, NSText* editor,
                                                  NSObject* delegate, NSEvent* event) override;

private:
  bool mIsEditingOrSelecting = false;
};

// Limits typing: the characters of a set, a maximum length and a maximum integer value. A label that the field
// opened with after the number (" dB") stays out of the checks, so the number in front of it can be edited.
class IGraphicsFormatter_vZANIQ_au : public NSFormatter
{
public:
  IGraphicsFormatter_vZANIQ_au() = default;

  // Retains the new set and releases the old one; null accepts every character.
  void setAcceptableCharacterSet(NSCharacterSet* set);
  // 0: no limit.
  void setMaximumLength(int maxLen) { maxLength = maxLen; }
  void setMaximumValue(int maxVal) { maxValue = maxVal; }
  // A text the partial string may end with that is not vetted (the parameter's label with its blank); null or
  // empty for none.
  void setLabelSuffix(NSString* suffix);
  // The text the field opens with (null: empty): the first text edits are made from.
  void setInitialString(NSString* text);

  // Every code point of the number part a member of the set, at most the maximum length of them, its integer
  // value at most the maximum value. An empty string is accepted, and so is every deletion from the text last
  // accepted (or the initial one): whatever that text holds (a label, too many characters), it can be erased.
  BOOL isPartialStringValid_newEditingString_errorDescription(NSString* partialString, NSString** newString,
                                                              NSString** error) override;
  // The object when it is a string, else null.
  NSString* stringForObjectValue(NSObject* object) override;
  // Stores a copy of the string when both exist; always YES.
  BOOL getObjectValue_forString_errorDescription(NSObject** object, NSString* string, NSString** error) override;

protected:
  ~IGraphicsFormatter_vZANIQ_au() override;

private:
  // The checks of the set, the length and the value on text (the label taken off first).
  bool IsAcceptable(std::string text) const;

  NSCharacterSet* filterCharacterSet = nullptr; // retained
  NSString* mLabelSuffix = nullptr;             // retained
  std::string mLastAccepted;                    // the field's text as this formatter last let it through
  int maxLength = 0;
  int maxValue = 0;
};
