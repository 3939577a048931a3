// Controls and cells: NSCell, NSTextFieldCell, NSControl, NSTextField; the field editor (NSText, NSTextView).
//
// Stand-in editing: a text field that becomes first responder starts editing with its whole text selected; the
// cell places the window's field editor with selectWithFrame…. Key events to the editing field edit the text:
// printable characters replace the selection, backspace and forward delete remove, left/right move the caret;
// each change is vetted by the formatter's isPartialStringValid… (a refused edit leaves the text as it was).
// Return, keypad Enter and Tab end editing: the text becomes the string value, NSControlTextDidEndEditing-
// Notification is posted and the delegate hears controlTextDidEndEditing. Losing first responder ends it too.
#pragma once

#include <AppKit/NSColor.h>
#include <AppKit/NSFont.h>
#include <AppKit/NSView.h>
#include <Foundation/NSFormatter.h>

class NSTextField;

typedef NSInteger NSTextAlignment;
enum : NSTextAlignment
{
  NSTextAlignmentLeft = 0,
  NSTextAlignmentRight = 1,
  NSTextAlignmentCenter = 2,
  NSTextAlignmentJustified = 3,
  NSTextAlignmentNatural = 4,
};

typedef NSUInteger NSLineBreakMode;
enum : NSLineBreakMode
{
  NSLineBreakByWordWrapping = 0,
  NSLineBreakByCharWrapping = 1,
  NSLineBreakByClipping = 2,
  NSLineBreakByTruncatingHead = 3,
  NSLineBreakByTruncatingTail = 4,
  NSLineBreakByTruncatingMiddle = 5,
};

extern NSString* const NSControlTextDidBeginEditingNotification;
extern NSString* const NSControlTextDidChangeNotification;
extern NSString* const NSControlTextDidEndEditingNotification;

// ---- The field editor ----
class NSText : public NSView
{
public:
  NSText() = default;
  // The text being edited (autoreleased).
  NSString* string() const;
  void setString(NSString* string);
  // UTF-16 units.
  NSRange selectedRange() const { return mSelected; }
  void setSelectedRange(NSRange range);
  BOOL isFieldEditor() const { return YES; }

protected:
  friend class NSTextField;
  friend class NSCell;
  std::string mText; // UTF-8
  NSRange mSelected = {0, 0};
};

class NSTextView : public NSText
{
public:
  NSTextView() = default;
  NSColor* insertionPointColor() const { return mInsertionPointColor; }
  // Retains.
  void setInsertionPointColor(NSColor* color);

protected:
  ~NSTextView() override;

private:
  NSColor* mInsertionPointColor = nullptr;
};

// ---- NSCell ----
class NSCell : public NSObject
{
public:
  NSCell() = default;
  // Answers this.
  virtual NSCell* initTextCell(NSString* string);

  NSString* stringValue() const;
  // Retains a copy; nil is "".
  void setStringValue(NSString* string);
  int intValue() const;
  double doubleValue() const;
  NSFont* font() const { return mFont; }
  void setFont(NSFont* font);
  NSTextAlignment alignment() const { return mAlignment; }
  void setAlignment(NSTextAlignment alignment) { mAlignment = alignment; }
  NSLineBreakMode lineBreakMode() const { return mLineBreak; }
  void setLineBreakMode(NSLineBreakMode mode) { mLineBreak = mode; }
  BOOL isEditable() const { return mEditable; }
  void setEditable(BOOL b) { mEditable = b; }
  BOOL isSelectable() const { return mSelectable || mEditable; }
  void setSelectable(BOOL b) { mSelectable = b; }
  BOOL isBordered() const { return mBordered; }
  void setBordered(BOOL b) { mBordered = b; }
  BOOL isBezeled() const { return mBezeled; }
  void setBezeled(BOOL b) { mBezeled = b; }
  BOOL wraps() const { return mWraps; }
  void setWraps(BOOL b) { mWraps = b; }
  BOOL isScrollable() const { return mScrollable; }
  void setScrollable(BOOL b) { mScrollable = b; }
  void setUsesSingleLineMode(BOOL b) { mSingleLine = b; }
  BOOL usesSingleLineMode() const { return mSingleLine; }
  BOOL allowsEditingTextAttributes() const { return mEditAttributes; }
  void setAllowsEditingTextAttributes(BOOL b) { mEditAttributes = b; }
  NSFormatter* formatter() const { return mFormatter; }
  // Retains.
  void setFormatter(NSFormatter* formatter);
  // Not retained: the control that shows the cell.
  NSView* controlView() const { return mControlView; }
  void setControlView(NSView* view) { mControlView = view; }

  // The size the text needs: width = UTF-16 length × size × 0.6 (a plain estimate), height = the font's line
  // height (ceil(size × 1.2); 12 pt without font), plus 4 in each direction for a border or bezel, 2 otherwise
  // in width only. Single-line; wrapping is not measured.
  virtual NSSize cellSize() const;
  // The text's rectangle inside the bounds: inset 2 (horizontally) without border, 3 in both directions with one.
  virtual NSRect drawingRectForBounds(NSRect rect);
  virtual NSRect titleRectForBounds(NSRect rect) { return drawingRectForBounds(rect); }
  // Start editing in the field editor: frame is where it goes in the control view (the stand-in sets the editor's
  // frame to it), the editor takes the cell's text and selects start…start+length (UTF-16 units).
  virtual void selectWithFrame_inView_editor_delegate_start_length(NSRect frame, NSView* controlView, NSText* editor,
                                                                   NSObject* delegate, NSInteger start,
                                                                   NSInteger length);
  virtual void editWithFrame_inView_editor_delegate_event(NSRect frame, NSView* controlView, NSText* editor,
                                                          NSObject* delegate, NSEvent* event);
  virtual void endEditing(NSText* editor);

protected:
  ~NSCell() override;

private:
  NSString* mString = nullptr; // retained
  NSFont* mFont = nullptr;     // retained
  NSTextAlignment mAlignment = NSTextAlignmentNatural;
  NSLineBreakMode mLineBreak = NSLineBreakByWordWrapping;
  BOOL mEditable = NO, mSelectable = NO, mBordered = NO, mBezeled = NO, mWraps = NO, mScrollable = NO;
  BOOL mSingleLine = NO, mEditAttributes = NO;
  NSFormatter* mFormatter = nullptr; // retained
  NSView* mControlView = nullptr;
};

class NSTextFieldCell : public NSCell
{
public:
  NSTextFieldCell() = default;
  NSColor* textColor() const { return mTextColor; }
  void setTextColor(NSColor* color);
  NSColor* backgroundColor() const { return mBackgroundColor; }
  void setBackgroundColor(NSColor* color);
  BOOL drawsBackground() const { return mDrawsBackground; }
  void setDrawsBackground(BOOL b) { mDrawsBackground = b; }

protected:
  ~NSTextFieldCell() override;

private:
  NSColor* mTextColor = nullptr;       // retained
  NSColor* mBackgroundColor = nullptr; // retained
  BOOL mDrawsBackground = NO;
};

// ---- NSControl ----
class NSControl : public NSView
{
public:
  NSControl() = default;
  NSCell* cell() const { return mCell; }
  // Retains the cell, which takes this control as its control view.
  void setCell(NSCell* cell);
  NSString* stringValue() const;
  void setStringValue(NSString* string);
  int intValue() const;
  double doubleValue() const;
  NSFont* font() const;
  void setFont(NSFont* font);
  NSTextAlignment alignment() const;
  void setAlignment(NSTextAlignment alignment);
  NSFormatter* formatter() const;
  void setFormatter(NSFormatter* formatter);
  BOOL isEnabled() const { return mEnabled; }
  void setEnabled(BOOL b) { mEnabled = b; }
  NSObject* target() const { return mTarget; }
  void setTarget(NSObject* target) { mTarget = target; }
  SEL action() const { return mAction; }
  void setAction(SEL action) { mAction = std::move(action); }
  // The field editor while the control is being edited, else nil.
  virtual NSText* currentEditor() const { return nullptr; }

protected:
  ~NSControl() override;
  NSCell* mCell = nullptr; // retained

private:
  BOOL mEnabled = YES;
  NSObject* mTarget = nullptr;
  SEL mAction;
};

// The delegate of a text field (informal on the platform; a base class with empty defaults here). Not retained.
class NSTextFieldDelegate
{
public:
  virtual ~NSTextFieldDelegate();
  // object: the text field.
  virtual void controlTextDidBeginEditing(NSNotification* /*notification*/) {}
  virtual void controlTextDidChange(NSNotification* /*notification*/) {}
  virtual void controlTextDidEndEditing(NSNotification* /*notification*/) {}
};

// ---- NSTextField ----
class NSTextField : public NSControl
{
public:
  // Makes an NSTextFieldCell (editable, selectable, bezeled, drawing its background).
  NSTextField();
  // Sets the frame; answers this.
  NSView* initWithFrame(NSRect frame) override;

  NSTextFieldDelegate* delegate() const { return mDelegate; }
  void setDelegate(NSTextFieldDelegate* delegate) { mDelegate = delegate; }
  NSTextFieldCell* textFieldCell() const;
  NSColor* textColor() const;
  void setTextColor(NSColor* color);
  NSColor* backgroundColor() const;
  void setBackgroundColor(NSColor* color);
  BOOL drawsBackground() const;
  void setDrawsBackground(BOOL b);
  BOOL isBordered() const;
  void setBordered(BOOL b);
  BOOL isBezeled() const;
  void setBezeled(BOOL b);
  BOOL isEditable() const;
  void setEditable(BOOL b);
  BOOL isSelectable() const;
  void setSelectable(BOOL b);
  void setAllowsEditingTextAttributes(BOOL b);
  // Stand-in: editing lives in the field itself; the editor reflects the text and selection.
  NSText* currentEditor() const override { return mEditing ? mEditor : nullptr; }
  BOOL ZQIsEditing() const { return mEditing; }

  BOOL acceptsFirstResponder() override { return isEditable() || isSelectable(); }
  // Starts editing (see above) and answers YES; NO when neither editable nor selectable.
  BOOL becomeFirstResponder() override;
  // Ends editing (committing the text) and answers YES.
  BOOL resignFirstResponder() override;
  void keyDown(NSEvent* event) override;
  void keyUp(NSEvent* event) override;
  void mouseDown(NSEvent* event) override;

protected:
  ~NSTextField() override;

private:
  void EndEditing(bool commit);
  // Proposes the editor's text with [from, to) replaced by insert; the formatter decides.
  bool ProposeEdit(size_t from, size_t to, const std::u16string& insert);

  NSTextFieldDelegate* mDelegate = nullptr;
  NSTextView* mEditor = nullptr; // owned
  bool mEditing = false;
};
