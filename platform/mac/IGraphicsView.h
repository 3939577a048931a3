#pragma once

// IGraphicsView_vZANIQ_au — the Cocoa view that shows one editor.
//
// It owns the CAMetalLayer the renderer draws into and the render timer (an NSTimer on the run loop) that drives
// the frame loop of its graphics context; it turns AppKit mouse, wheel, key and drop events into the framework's
// records (positions in graphics units: view points divided by the draw scale), shows tooltips, sets the cursor,
// and hosts the native popup menu, the native text field and the colour panel.
//
// Lifecycle: IGraphicsMac creates it when the editor opens and releases it when the editor closes; detachGraphics
// cuts the link first, after which every handler does nothing. A host that removes the view from its superview
// closes the editor; the view keeps itself alive until that close has finished, also when the close removes or
// releases the view again from inside.
//
// Threads: [main thread] for everything.

#include "graphics/IGraphics.h"

#include <AppKit/NSCursor.h>
#include <AppKit/NSTextField.h>
#include <AppKit/NSView.h>
#include <AppKit/NSWindow.h>
#include <Foundation/NSNotification.h>
#include <Foundation/NSTimer.h>
#include <QuartzCore/QuartzCore.h>

#include <string>

class NSColorPanel;
class IGraphicsTextField_vZANIQ_au;

namespace plugin::igraphics
{
class IGraphicsMac;
}

class IGraphicsView_vZANIQ_au : public NSView, public NSViewToolTipOwner, public NSTextFieldDelegate
{
public:
  using IGraphicsMac = plugin::igraphics::IGraphicsMac;

  IGraphicsView_vZANIQ_au() = default;
  // Frame trunc(size × draw scale) in points, a Metal layer (BGRA, the system device) sized in device pixels,
  // files accepted as drops, and the render timer running. Answers this.
  IGraphicsView_vZANIQ_au* initWithIGraphics(IGraphicsMac* graphics);
  // Stops the timer, ends a text entry (telling the context) and forgets the context: the view is inert.
  void detachGraphics();
  IGraphicsMac* graphics() const { return mGraphics; }

  // ---- Timer and frames ----
  void setTimer();
  void killTimer();
  void onTimer(NSTimer* timer);
  // One frame: the dirty rectangles, when there are any, are drawn and presented.
  void render();
  NSTimer* timer() const { return mTimer; }
  CAMetalLayer* metalLayer() const;
  // The CoreGraphics context of the current graphics context, flipped; null when nothing is being drawn.
  CGContextRef getCGContextRef() const;

  // ---- NSView ----
  BOOL isOpaque() const override { return mGraphics ? YES : NO; }
  BOOL isFlipped() const override { return YES; }
  BOOL acceptsFirstResponder() override { return YES; }
  BOOL acceptsFirstMouse(NSEvent*) override { return YES; }
  BOOL resignFirstResponder() override;
  void viewDidMoveToWindow() override;
  void viewDidChangeBackingProperties() override;
  void viewDidChangeEffectiveAppearance() override;
  void updateTrackingAreas() override;
  // Ends a text entry and closes the editor (the delegate's CloseWindow), then leaves the superview.
  void removeFromSuperview() override;
  void frameDidChange(NSNotification* notification);
  void windowDidResign(NSNotification* notification);

  // ---- Mouse, wheel, keys ----
  // Position of the event in graphics units; updates the previous position (cursor lock) and the tablet flag.
  void getMouseXY(NSEvent* event, float& x, float& y);
  plugin::igraphics::IMouseInfo getMouseLeft(NSEvent* event);
  plugin::igraphics::IMouseInfo getMouseRight(NSEvent* event);
  void mouseDown(NSEvent* event) override;
  void mouseUp(NSEvent* event) override;
  void mouseDragged(NSEvent* event) override;
  void rightMouseDown(NSEvent* event) override;
  void rightMouseUp(NSEvent* event) override;
  void rightMouseDragged(NSEvent* event) override;
  void mouseMoved(NSEvent* event) override;
  void scrollWheel(NSEvent* event) override;
  void mouseEntered(NSEvent* event) override;
  void mouseExited(NSEvent* event) override;
  void keyDown(NSEvent* event) override;
  void keyUp(NSEvent* event) override;

  // ---- Drops ----
  NSDragOperation draggingEntered(NSDraggingInfo* sender) override;
  BOOL performDragOperation(NSDraggingInfo* sender) override;

  // ---- Tooltips ----
  // r in graphics units.
  void registerToolTip(const plugin::igraphics::IRECT& r);
  NSString* view_stringForToolTip_point_userData(NSView* view, NSToolTipTag tag, NSPoint point,
                                                 void* userData) override;

  // ---- Cursor ----
  void setMouseCursor(plugin::igraphics::ECursor cursorType);

  // ---- Menu, text entry, colour ----
  // Shows menu modally below r (view points). The menu chosen from with its chosen index set, or null; null too
  // when the context let go of the view while the menu was up.
  plugin::igraphics::IPopupMenu* createPopupMenu(plugin::igraphics::IPopupMenu& menu, NSRect r);
  // A native text field over r (view points) holding str; nothing when one is open.
  void createTextEntry(int paramIdx, const plugin::igraphics::IText& text, const char* str, int length, NSRect r);
  void controlTextDidEndEditing(NSNotification* notification) override;
  // Closes the text field without handing its text on; the context no longer has a control in text entry.
  void endUserInput();
  IGraphicsTextField_vZANIQ_au* textField() const { return mTextFieldView; }
  bool promptForColor(const plugin::igraphics::IColor& color, plugin::igraphics::IGraphics::IColorPickerHandlerFunc func);
  void onColorPicked(NSColorPanel* panel);

protected:
  // Closes the colour panel it used, releases the cursor and tracking area, leaves the notification centre.
  ~IGraphicsView_vZANIQ_au() override;

private:
  void setDrawableSizeForScale(CGFloat scale);
  NSCursor* moveCursor();
  void releaseRetiredTextField();
  // Closes the editor as a host's removal of the view does: the delegate closes, the context lets go of the view.
  void closeEditor();

  [[maybe_unused]] void* mDisplayLink = nullptr;   // unused on this platform
  [[maybe_unused]] void* mDisplaySource = nullptr; // unused on this platform
  NSTimer* mTimer = nullptr;      // retained while running
  NSTrackingArea* mTrackingArea = nullptr;
  IGraphicsTextField_vZANIQ_au* mTextFieldView = nullptr;
  // A closed field whose own event handling may still be running: released at the next frame or with the view.
  IGraphicsTextField_vZANIQ_au* mRetiredTextField = nullptr;
  NSCursor* mMoveCursor = nullptr;
  bool mMoveCursorTried = false;
  float mPrevX = 0.f;
  float mPrevY = 0.f;
  bool mMouseOutDuringDrag = false;
  plugin::igraphics::IRECTList mDirtyRects;
  plugin::igraphics::IGraphics::IColorPickerHandlerFunc mColorPickerFunc;
  bool mUsedColorPanel = false;
  // The host took the view away during a modal loop of the context: the editor closes at the next frame after it.
  bool mCloseAfterModal = false;
  IGraphicsMac* mGraphics = nullptr;
};
