#pragma once

// A small editor for the Cocoa platform tests: a vector knob, a caption control (a gain entered in a native text
// field) and a probe that records what reaches it, opened the way a host opens an editor: the delegate's
// OpenWindow runs the make-graphics function (an IGraphicsMac), the platform opens the view and lays the controls
// out, and the view goes into a headless window.

#include "controls/IControl.h"
#include "framework/IGEditorDelegate.h"
#include "graphics/IGraphics.h"
#include "platform/mac/IGraphicsMac.h"
#include "platform/mac/IGraphicsView.h"

#include <AppKit/AppKitTesting.h>

#include <functional>
#include <string>
#include <vector>

namespace mactest
{
using namespace plugin::igraphics;

constexpr int kW = 200;
constexpr int kH = 120;
inline const IRECT kKnobR(10.f, 10.f, 70.f, 70.f);
inline const IRECT kGainR(80.f, 76.f, 190.f, 100.f);
inline const IRECT kProbeR(10.f, 80.f, 70.f, 110.f);

enum EParams
{
  kGain = 0, // double 0..10 dB
  kNumParams
};

// One event as the probe control saw it.
struct ProbeEvent
{
  std::string kind; // "down", "up", "dbl", "drag", "drop", "out"
  float x = 0.f, y = 0.f;
  float dX = 0.f, dY = 0.f; // drags
  IMouseMod mod;
  std::string text; // drop path
};

class ProbeControl : public IControl
{
public:
  ProbeControl(const IRECT& r, std::vector<ProbeEvent>& log) : IControl(r), mLog(log) {}
  void Draw(IGraphics& g) override { g.FillRect(IColor(255, 60, 60, 60), mRECT); }
  void OnMouseDown(float x, float y, const IMouseMod& mod) override { Add("down", x, y, mod); }
  void OnMouseUp(float x, float y, const IMouseMod& mod) override { Add("up", x, y, mod); }
  void OnMouseDblClick(float x, float y, const IMouseMod& mod) override { Add("dbl", x, y, mod); }
  void OnMouseDrag(float x, float y, float dX, float dY, const IMouseMod& mod) override
  {
    Add("drag", x, y, mod);
    mLog.back().dX = dX, mLog.back().dY = dY;
  }
  void OnMouseOut() override
  {
    Add("out");
    IControl::OnMouseOut();
  }
  void OnDrop(const char* path) override { Add("drop", 0.f, 0.f, IMouseMod(), path ? path : ""); }

private:
  void Add(const char* kind, float x = 0.f, float y = 0.f, const IMouseMod& mod = IMouseMod(), std::string text = "")
  {
    mLog.push_back(ProbeEvent{kind, x, y, 0.f, 0.f, mod, std::move(text)});
  }
  std::vector<ProbeEvent>& mLog;
};

class MacTestEditor : public IGEditorDelegate
{
public:
  // drawScale: the editor's draw scale; the editor is kW × kH graphics units.
  explicit MacTestEditor(float drawScale = 1.f);
  ~MacTestEditor() override;

  IGraphicsMac* Graphics() const { return static_cast<IGraphicsMac*>(GetUI()); }
  IGraphicsView_vZANIQ_au* View() const { return Graphics() ? Graphics()->GetView() : nullptr; }

  void OnUIOpen() override;
  void OnUIClose() override;
  void BeginInformHostOfParamChangeFromUI(int) override {}
  void EndInformHostOfParamChangeFromUI(int) override;
  bool EditorResizeFromUI(int width, int height, bool needsPlatformResize) override;

  int uiOpens = 0;
  int uiCloses = 0;
  std::vector<ProbeEvent> events;
  // Run once, inside OnUIClose, as the host hears a gesture end or a new editor size (a host reacting there).
  std::function<void()> onUIClose, onGestureEnd, onResize;

  IControl* knob = nullptr;
};

// A headless window (content kW × kH × drawScale points at a backing scale) showing the editor: the editor is
// opened through its delegate and its view added to the window's content view.
struct OpenEditor
{
  OpenEditor(float screenScale = 1.f, float drawScale = 1.f);
  ~OpenEditor();
  OpenEditor(const OpenEditor&) = delete;
  OpenEditor& operator=(const OpenEditor&) = delete;

  IGraphicsMac& G() const { return *editor.Graphics(); }
  IGraphicsView_vZANIQ_au* View() const { return editor.View(); }
  // Runs the render timer for one frame period and waits until the GPU has presented.
  void Frame();
  // The last presented frame (RGBA, straight alpha).
  ZQFrame LastFrame() const;
  // The point of the window's content view where the editor shows the graphics point (x, y).
  NSPoint At(float x, float y) const;

  // The host disposes of the plug-in as the Audio Unit adapter does: through its lifetime. The editor is gone
  // (disposed set) once the outermost call of it returns.
  void Dispose();

  MacTestEditor& editor;
  NSWindow* window = nullptr;
  float drawScale;
  bool disposed = false;
};

// An editor whose delegate (the plug-in) can be deleted outright, or disposed of as the Audio Unit adapter does it
// for a host: through the delegate's lifetime, at once from outside its calls, when the outermost one returns from
// inside. The delegate owns the graphics context, which owns the view in the window.
struct DisposableEditor
{
  DisposableEditor();
  ~DisposableEditor();
  DisposableEditor(const DisposableEditor&) = delete;
  DisposableEditor& operator=(const DisposableEditor&) = delete;
  void Dispose();
  void DisposeThroughLifetime();

  MacTestEditor* editor = new MacTestEditor(); // null once gone
  NSWindow* window = nullptr;
};

} // namespace mactest
