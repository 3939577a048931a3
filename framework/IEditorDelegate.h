#pragma once

// IEditorDelegate — the lowest class of the plug-in chain. It owns the parameter list and declares the operations
// by which values and messages travel between the host/audio side and the editor, each with a do-nothing (or
// forwarding) default. IGEditorDelegate binds them to a graphics context; the API base and the product override
// the rest.
//
// Threads: the parameter list is fixed after construction; parameter values are atomic (IParam). Everything that
// reaches the editor runs on the main thread unless a comment says otherwise.

#include "framework/IByteChunk.h"
#include "framework/IParam.h"
#include "framework/Lifetime.h"
#include "framework/PluginConstants.h"
#include "framework/PluginMidi.h"
#include "graphics/IGraphicsStructs.h"
#include "graphics/Util.h"

namespace plugin
{

class IEditorDelegate
{
public:
  // Creates nParams default parameters (a negative count counts as 0). [main thread]
  explicit IEditorDelegate(int nParams);
  // Deletes every parameter.
  virtual ~IEditorDelegate();

  IEditorDelegate(const IEditorDelegate&) = delete;
  IEditorDelegate& operator=(const IEditorDelegate&) = delete;

  // ---------------------------------------------------------------------------------------------------------
  // Parameters [any thread: the list never changes after construction]
  // ---------------------------------------------------------------------------------------------------------

  // The parameter at idx, or null when idx is not a valid index.
  IParam* GetParam(int idx) const { return mParams.Get(idx); }
  int NParams() const { return mParams.GetSize(); }

  // ---------------------------------------------------------------------------------------------------------
  // Editor size, in graphics units [main thread]; set by the API base from the configuration
  // ---------------------------------------------------------------------------------------------------------

  int GetEditorWidth() const { return mEditorWidth; }
  int GetEditorHeight() const { return mEditorHeight; }
  void SetEditorSize(int width, int height)
  {
    mEditorWidth = width;
    mEditorHeight = height;
  }
  // Each pair is stored as its smaller and its larger value.
  void SetSizeConstraints(int minWidth, int maxWidth, int minHeight, int maxHeight);
  int GetMinWidth() const { return mMinWidth; }
  int GetMaxWidth() const { return mMaxWidth; }
  int GetMinHeight() const { return mMinHeight; }
  int GetMaxHeight() const { return mMaxHeight; }

  // ---------------------------------------------------------------------------------------------------------
  // Window [main thread]
  // ---------------------------------------------------------------------------------------------------------

  // Opens the editor inside parent and returns the platform view. Default: OnUIOpen, then null.
  virtual void* OpenWindow(void* parent);
  // Default: OnUIClose.
  virtual void CloseWindow();
  // Reserved hook; nothing.
  virtual void SpareHook() {}
  // The editor has opened. Default: every parameter's normalised value to SendParameterValueFromDelegate.
  virtual void OnUIOpen();
  // The editor has closed. Default: nothing.
  virtual void OnUIClose() {}

  // ---------------------------------------------------------------------------------------------------------
  // Change notifications
  // ---------------------------------------------------------------------------------------------------------

  // A parameter changed; sampleOffset is -1 outside the audio callback. Default: OnParamChange(paramIdx).
  // [thread of the caller: host automation may arrive on the audio thread]
  virtual void OnParamChange(int paramIdx, EParamSource source, int sampleOffset);
  // Default: nothing.
  virtual void OnParamChange(int paramIdx) { (void)paramIdx; }
  // The editor-side twin of OnParamChange. Default: nothing. [main thread]
  virtual void OnParamChangeUI(int paramIdx, EParamSource source)
  {
    (void)paramIdx;
    (void)source;
  }
  // For every parameter in index order: OnParamChange(i, source, -1), then OnParamChangeUI(i, source).
  virtual void OnParamReset(EParamSource source);
  // Default: nothing. [main thread]
  virtual void OnMidiMsgUI(const IMidiMsg& msg) { (void)msg; }
  virtual void OnSysexMsgUI(const ISysEx& msg) { (void)msg; }
  // An arbitrary message; true when handled. Default: false.
  virtual bool OnMessage(int msgTag, int ctrlTag, int dataSize, const void* data);
  // State was restored. Default: every parameter's normalised value to SendParameterValueFromDelegate.
  virtual void OnRestoreState();

  // ---------------------------------------------------------------------------------------------------------
  // Input from the platform [main thread]
  // ---------------------------------------------------------------------------------------------------------

  // True when the key was used. Default: false.
  virtual bool OnKeyDown(const IKeyPress& key);
  virtual bool OnKeyUp(const IKeyPress& key);
  virtual void OnMouseDownHook() {}
  virtual void OnMouseUpHook() {}

  // ---------------------------------------------------------------------------------------------------------
  // Plug-in → editor [main thread]
  // ---------------------------------------------------------------------------------------------------------

  // Sets the value of the control with ctrlTag (value slot 0). Default: nothing.
  virtual void SendControlValueFromDelegate(int ctrlTag, double normalizedValue);
  // Default: OnMessage(msgTag, ctrlTag, dataSize, data).
  virtual void SendControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize, const void* data);
  // Default: OnMessage(msgTag, -1, dataSize, data).
  virtual void SendArbitraryMsgFromDelegate(int msgTag, int dataSize, const void* data);
  // Default: OnMidiMsgUI.
  virtual void SendMidiMsgFromDelegate(const IMidiMsg& msg);
  // Default: OnSysexMsgUI.
  virtual void SendSysexMsgFromDelegate(const ISysEx& msg);
  // A parameter value for the editor: real when normalized is false. Default: OnParamChangeUI(paramIdx,
  // kDelegate).
  virtual void SendParameterValueFromDelegate(int paramIdx, double value, bool normalized);

  // ---------------------------------------------------------------------------------------------------------
  // Editor → plug-in [main thread]; the API base provides the host side
  // ---------------------------------------------------------------------------------------------------------

  // Default: nothing.
  virtual void DirtyParametersFromUI() {}
  // A gesture on paramIdx begins / ends; the API base tells the host.
  virtual void BeginInformHostOfParamChangeFromUI(int paramIdx) = 0;
  // Default: SetNormalized on the parameter (ignored for an invalid index), then OnParamChangeUI(paramIdx, kUI);
  // notifyPlugin is for the API base.
  virtual void SendParameterValueFromUI(int paramIdx, double normalizedValue, bool notifyPlugin);
  virtual void EndInformHostOfParamChangeFromUI(int paramIdx) = 0;
  // True when the host accepted the new size. Default: false.
  virtual bool EditorResizeFromUI(int width, int height, bool needsPlatformResize);
  // Defaults: nothing.
  virtual void SendMidiMsgFromUI(const IMidiMsg& msg) { (void)msg; }
  virtual void SendSysexMsgFromUI(const ISysEx& msg) { (void)msg; }
  virtual void SendArbitraryMsgFromUI(int msgTag, int ctrlTag, int dataSize, const void* data);
  virtual void DeferMidiMsg(const IMidiMsg& msg) { (void)msg; }
  virtual void DeferSysexMsg(const ISysEx& msg) { (void)msg; }

  // ---------------------------------------------------------------------------------------------------------
  // Editor state [main thread]
  // ---------------------------------------------------------------------------------------------------------

  // Appends the editor's own state. Default: nothing, true.
  virtual bool SerializeEditorState(IByteChunk& chunk) const;
  // Reads it back; the position after it or -1. Default: startPos.
  [[nodiscard]] virtual int UnserializeEditorState(const IByteChunk& chunk, int startPos);
  // The display's backing scale changed. Default: nothing.
  virtual void SetScreenScale(double scale) { (void)scale; }

  // ---------------------------------------------------------------------------------------------------------
  // Lifetime [any thread]
  // ---------------------------------------------------------------------------------------------------------

  // Every entry from outside (host calls, timer ticks, editor events) opens a scope on it, so that the host may
  // dispose of the plug-in from inside any of them.
  Lifetime& GetLifetime() { return mLifetime; }
  // True once the host has disposed of the plug-in while one of its calls was still on the stack: those calls
  // finish, but start nothing new and tell the host nothing more.
  bool IsDisposing() const { return mLifetime.IsDisposing(); }

protected:
  Util_PtrList<IParam> mParams;
  int mEditorWidth = 0;
  int mEditorHeight = 0;
  int mMinWidth = 0;
  int mMaxWidth = 0;
  int mMinHeight = 0;
  int mMaxHeight = 0;

private:
  Lifetime mLifetime;
};

} // namespace plugin
