#pragma once

// IGEditorDelegate — binds the editor delegate to a graphics context: creates and destroys the editor window
// through two installed functions (make-graphics and layout), forwards values and messages to the controls, and
// keeps the editor's size and scale while the window is closed.
//
// Lifecycle: closed (no context) → OpenWindow (context created, window opened by the platform, which sets
// graphics ready and lays out the controls) → CloseWindow (size and scale remembered, context deleted).
//
// Threads: main thread only.

#include "framework/IEditorDelegate.h"

#include <functional>

namespace plugin::igraphics
{

class IGraphics;

class IGEditorDelegate : public IEditorDelegate
{
public:
  // Creates the graphics context for the editor's size and scale; the delegate owns what it returns.
  using MakeGraphicsFunc = std::function<IGraphics*()>;
  // Builds the controls of a new context.
  using LayoutFunc = std::function<void(IGraphics*)>;

  explicit IGEditorDelegate(int nParams);
  // Deletes the graphics context, releases both functions, then the parameters go.
  ~IGEditorDelegate() override;

  // Installed once by the product, make-graphics first.
  void SetMakeGraphicsFunc(MakeGraphicsFunc func) { mMakeGraphicsFunc = std::move(func); }
  void SetLayoutFunc(LayoutFunc func) { mLayoutFunc = std::move(func); }
  // Whether an editor could be made at all: a host is offered a view only then.
  bool HasMakeGraphicsFunc() const { return static_cast<bool>(mMakeGraphicsFunc); }

  // The open editor's context; null while the editor is closed.
  IGraphics* GetUI() const { return mGraphics; }

  // The make-graphics function's result, or null when none is installed.
  virtual IGraphics* CreateGraphics();
  // Runs the layout function with graphics when one is installed. Called by the platform while it opens the
  // window.
  virtual void LayoutUI(IGraphics* graphics);

  // ---------------------------------------------------------------------------------------------------------
  // Window
  // ---------------------------------------------------------------------------------------------------------

  // Closes a context that is still open, creates a new one (null result and no window without a make-graphics
  // function), gives it the size and scale remembered at the last close, and returns the platform view. The
  // opening runs inside a scope of the plug-in and of the new context: closed (or replaced) while it opens, or the
  // plug-in disposed of meanwhile, it returns null and the context goes when it returns. Asked from inside a close,
  // it opens a new editor and leaves the old one to that close; an editor opened again inside its own closing of
  // the old one, or a second one while a close runs, makes it return null and open nothing.
  void* OpenWindow(void* parent) override;
  // OnUIClose, then, when a context exists, remembers its width, height and draw scale, releases its mouse capture
  // (ending open host gestures), closes its window and deletes it. Inside a call of the context (a control's
  // handler) the window only lets go of its view, and the context, controls and all, goes when the outermost such
  // call returns. A second call in a row runs OnUIClose again and touches nothing else. Runs inside a scope of the
  // plug-in, and closes only the context open when it began: one opened from OnUIClose or from the host's answer
  // to the gestures ending stays open. Called again meanwhile it returns at once, unless such a context has been
  // opened: that one it closes the same way (at any depth), so no context is kept whose window is gone.
  void CloseWindow() override;

  // The platform copies its drawing-ready flag here when it opens the window; never cleared by the delegate.
  bool GetGraphicsReady() const { return mGraphicsReady; }
  void SetGraphicsReady(bool ready) { mGraphicsReady = ready; }

  // Size and scale kept while the window is closed. The graphics context's constructor writes its initial size
  // and scale here; CloseWindow writes the closing ones.
  void SetRememberedEditorSize(int width, int height, float scale)
  {
    mRememberedWidth = width;
    mRememberedHeight = height;
    mRememberedScale = scale;
  }
  int GetRememberedWidth() const { return mRememberedWidth; }
  int GetRememberedHeight() const { return mRememberedHeight; }
  float GetRememberedScale() const { return mRememberedScale; }
  // True once a window with a context has closed; only then does OpenWindow apply the remembered values.
  bool HasRememberedSize() const { return mHasRememberedSize; }

  // ---------------------------------------------------------------------------------------------------------
  // Overrides that reach the controls
  // ---------------------------------------------------------------------------------------------------------

  // With graphics ready and a context: the context's key handling at the current mouse position; else false.
  bool OnKeyDown(const IKeyPress& key) override;
  bool OnKeyUp(const IKeyPress& key) override;
  // The hand-offs below run inside a scope of the plug-in and of the context (a control may close or reopen the
  // editor from its handler, the host dispose of the plug-in from a box it shows): they stop at the first control
  // after which the context is closing or no longer the editor's, and skip the plug-in's own hook once it is
  // being disposed of.
  // SetValueFromDelegate(value, 0) on the control with ctrlTag, when a context and such a control exist.
  void SendControlValueFromDelegate(int ctrlTag, double normalizedValue) override;
  // OnMsgFromDelegate on the control with ctrlTag, when a context and such a control exist; else nothing.
  void SendControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize, const void* data) override;
  // OnMidi on every listed control that wants MIDI (list order), then OnMidiMsgUI.
  void SendMidiMsgFromDelegate(const IMidiMsg& msg) override;
  // With a context: every value slot linked to paramIdx takes the value (normalised first, from the constrained
  // real value, unless normalized is true). Then OnParamChangeUI(paramIdx, kDelegate).
  void SendParameterValueFromDelegate(int paramIdx, double value, bool normalized) override;

  // Appends width (i32), height (i32) and draw scale (f32): the context's when one exists, else the remembered
  // ones. False when the chunk could not grow.
  bool SerializeEditorState(IByteChunk& chunk) const override;
  // Reads the three values back; startPos + 12, or -1 when the chunk is too short. Only a complete state with a
  // positive width, height and finite scale is used: applied to an open, ready context (with a platform resize),
  // else remembered for the next opening. Anything else changes nothing.
  [[nodiscard]] int UnserializeEditorState(const IByteChunk& chunk, int startPos) override;
  // With graphics ready and a context: the context's screen scale.
  void SetScreenScale(double scale) override;

private:
  // graphics is still the open editor, and not closing.
  bool EditorUnchanged(const IGraphics* graphics) const;

  MakeGraphicsFunc mMakeGraphicsFunc;
  LayoutFunc mLayoutFunc;
  IGraphics* mGraphics = nullptr;
  int mRememberedWidth = 0;
  int mRememberedHeight = 0;
  float mRememberedScale = 0.f;
  bool mHasRememberedSize = false;
  bool mClosing = false;
  const IGraphics* mClosingGraphics = nullptr; // the editor a close under way began with
  bool mGraphicsReady = false;
};

} // namespace plugin::igraphics
