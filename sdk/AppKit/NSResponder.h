// NSResponder: the chain that mouse and key events travel along.
#pragma once

#include <AppKit/NSGeometry.h>

class NSEvent;

// The default event handlers pass the event to the next responder (nothing happens at the end of the chain,
// where the platform beeps for keys).
class NSResponder : public NSObject
{
public:
  NSResponder() = default;

  // Not retained.
  NSResponder* nextResponder() const { return mNextResponder; }
  void setNextResponder(NSResponder* responder) { mNextResponder = responder; }

  virtual void mouseDown(NSEvent* event);
  virtual void mouseUp(NSEvent* event);
  virtual void mouseDragged(NSEvent* event);
  virtual void mouseMoved(NSEvent* event);
  virtual void rightMouseDown(NSEvent* event);
  virtual void rightMouseUp(NSEvent* event);
  virtual void rightMouseDragged(NSEvent* event);
  virtual void otherMouseDown(NSEvent* event);
  virtual void otherMouseUp(NSEvent* event);
  virtual void otherMouseDragged(NSEvent* event);
  virtual void scrollWheel(NSEvent* event);
  virtual void mouseEntered(NSEvent* event);
  virtual void mouseExited(NSEvent* event);
  virtual void keyDown(NSEvent* event);
  virtual void keyUp(NSEvent* event);
  virtual void flagsChanged(NSEvent* event);

  // First-responder protocol: the base accepts nothing and agrees to become and resign.
  virtual BOOL acceptsFirstResponder() { return NO; }
  virtual BOOL becomeFirstResponder() { return YES; }
  virtual BOOL resignFirstResponder() { return YES; }

private:
  NSResponder* mNextResponder = nullptr;
};
