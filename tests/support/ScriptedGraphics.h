#pragma once

// Test doubles for the editor side: a graphics context whose platform operations are scripted and recorded, a
// control that records what the context and the delegate did to it, and a bare editor delegate that records what
// controls send back. Header-only; include as "support/ScriptedGraphics.h".
//
// ScriptedGraphics::OpenWindow behaves as the platform layer does when it opens a window: it copies its
// draw-context-ready flag into the delegate's graphics-ready flag, applies the screen scale, lays the controls out
// through the delegate and calls OnUIOpen.

#include "controls/IControl.h"
#include "framework/IGEditorDelegate.h"
#include "graphics/IGraphics.h"

#include <string>
#include <vector>

namespace plugin::igraphics::test
{

class ScriptedGraphics : public IGraphics
{
public:
  ScriptedGraphics(IGEditorDelegate& dlg, int w, int h, int fps = 0, float scale = 1.f)
      : IGraphics(dlg, w, h, fps, scale), mDlg(dlg)
  {
  }

  // Script.
  float platformWindowScale = 1.f;
  float mouseX = 0.f, mouseY = 0.f;

  // Record: one entry per platform call, e.g. "OpenWindow", "PlatformResize(1)", "HideMouseCursor(0,1)".
  std::vector<std::string> calls;
  void* lastParent = nullptr;
  int platformResizes = 0;
  int tooltipUpdates = 0;

  int Count(const std::string& call) const
  {
    int n = 0;
    for (const auto& c : calls)
      n += c == call ? 1 : 0;
    return n;
  }

  // Platform operations.
  void* OpenWindow(void* parent) override
  {
    calls.push_back("OpenWindow");
    lastParent = parent;
    mDlg.SetGraphicsReady(GetDrawContextReady());
    SetScreenScale(1.f);
    mDlg.LayoutUI(this);
    mDlg.OnUIOpen();
    return &mView;
  }
  void CloseWindow() override { calls.push_back("CloseWindow"); }
  void GetMouseLocation(float& x, float& y) const override
  {
    x = mouseX;
    y = mouseY;
  }
  float GetPlatformWindowScale() const override { return platformWindowScale; }
  void PlatformResize(bool parentHasResized) override
  {
    calls.push_back(std::string("PlatformResize(") + (parentHasResized ? "1" : "0") + ")");
    ++platformResizes;
  }
  void HideMouseCursor(bool hide, bool lock) override
  {
    calls.push_back(std::string("HideMouseCursor(") + (hide ? "1" : "0") + "," + (lock ? "1" : "0") + ")");
    SetCursorHidden(hide);
  }
  void UpdateTooltips() override { ++tooltipUpdates; }
  IPopupMenu* CreatePlatformPopupMenu(IPopupMenu&, const IRECT&, bool& isAsync) override
  {
    isAsync = false;
    return nullptr;
  }
  void CreatePlatformTextEntry(int, const IText&, const IRECT&, int, const char*) override {}
  bool GetDrawContextReady() const override { return true; }
  void DrawResize() override { calls.push_back("DrawResize"); }

private:
  IGEditorDelegate& mDlg;
  int mView = 0; // stands for the platform view handed back by OpenWindow
};

// A control that draws nothing and records what reaches it.
class RecordingControl : public IControl
{
public:
  using IControl::IControl;

  int inits = 0, resizes = 0, rescales = 0, attached = 0, midiMsgs = 0, delegateMsgs = 0;
  int lastMsgTag = 0, lastMsgSize = 0;
  bool keyResult = false; // what OnKeyDown/OnKeyUp answer
  int keysDown = 0, keysUp = 0;
  int* deleted = nullptr; // incremented by the destructor when set

  ~RecordingControl() override
  {
    if (deleted) ++*deleted;
  }

  void Draw(IGraphics&) override {}
  void OnInit() override { ++inits; }
  void OnResize() override { ++resizes; }
  void OnRescale() override { ++rescales; }
  void OnAttached() override { ++attached; }
  void OnMidi(const IMidiMsg&) override { ++midiMsgs; }
  void OnMsgFromDelegate(int msgTag, int dataSize, const void*) override
  {
    ++delegateMsgs;
    lastMsgTag = msgTag;
    lastMsgSize = dataSize;
  }
  bool OnKeyDown(float, float, const IKeyPress&) override { return ++keysDown, keyResult; }
  bool OnKeyUp(float, float, const IKeyPress&) override { return ++keysUp, keyResult; }
};

// An editor delegate without a host: records what controls send and answers resizes from a script.
class RecordingDelegate : public IGEditorDelegate
{
public:
  explicit RecordingDelegate(int nParams) : IGEditorDelegate(nParams) {}

  struct Sent
  {
    int paramIdx;
    double value;
  };
  std::vector<Sent> sentFromUI;
  bool resizeAnswer = true;
  int resizeRequests = 0;
  int lastResizeW = 0, lastResizeH = 0;

  void BeginInformHostOfParamChangeFromUI(int) override {}
  void EndInformHostOfParamChangeFromUI(int) override {}
  void SendParameterValueFromUI(int paramIdx, double normalizedValue, bool notifyPlugin) override
  {
    sentFromUI.push_back({paramIdx, normalizedValue});
    IGEditorDelegate::SendParameterValueFromUI(paramIdx, normalizedValue, notifyPlugin);
  }
  bool EditorResizeFromUI(int width, int height, bool) override
  {
    ++resizeRequests;
    lastResizeW = width;
    lastResizeH = height;
    return resizeAnswer;
  }
};

} // namespace plugin::igraphics::test
