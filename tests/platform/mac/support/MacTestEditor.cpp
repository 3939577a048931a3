#include "MacTestEditor.h"

#include "controls/IControlBases.h"
#include "controls/ITextControls.h"
#include "controls/IVKnobSliderControls.h"
#include "framework/IParam.h"
#include "platform/mac/MVRcontext.h"

#include <utility>

namespace mactest
{

MacTestEditor::MacTestEditor(float drawScale) : IGEditorDelegate(kNumParams)
{
  GetParam(kGain)->InitDouble("Gain", 2.5, 0.0, 10.0, 0.1, "dB");
  SetSizeConstraints(50, 1000, 50, 1000);

  SetMakeGraphicsFunc([this, drawScale]() -> IGraphics* { return new IGraphicsMac(*this, kW, kH, 60, drawScale); });
  SetLayoutFunc([this](IGraphics* g) {
    if (!GetGraphicsReady()) return;
    g->LoadFont("Roboto-Regular", "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf");
    g->AttachPanelBackground(IPattern(IColor(255, 230, 230, 230)));
    knob = g->AttachControl(new IVKnobControl(kKnobR, kGain, ""));
    g->AttachControl(new ICaptionControl(kGainR, kGain, IText(14.f, COLOR_BLACK), COLOR_WHITE))
      ->SetPromptShowsParamLabel(true);
    g->AttachControl(new ProbeControl(kProbeR, events));
    knob->SetTooltip("Gain knob");
    g->EnableTooltips(true);
  });
}

MacTestEditor::~MacTestEditor()
{
  CloseWindow();
}

void MacTestEditor::OnUIOpen()
{
  ++uiOpens;
  IGEditorDelegate::OnUIOpen();
}

void MacTestEditor::OnUIClose()
{
  ++uiCloses;
  knob = nullptr;
  if (auto hear = std::exchange(onUIClose, nullptr)) hear();
}

void MacTestEditor::EndInformHostOfParamChangeFromUI(int)
{
  if (auto hear = std::exchange(onGestureEnd, nullptr)) hear();
}

bool MacTestEditor::EditorResizeFromUI(int width, int height, bool needsPlatformResize)
{
  if (auto hear = std::exchange(onResize, nullptr)) hear();
  return IGEditorDelegate::EditorResizeFromUI(width, height, needsPlatformResize);
}

OpenEditor::OpenEditor(float screenScale, float drawScale)
    : editor(*new MacTestEditor(drawScale)), drawScale(drawScale)
{
  ZQAppKitReset();
  ZQAppKitSetMainScreen(1920, 1080, screenScale);
  window = ZQAppKitMakeWindow(kW * drawScale, kH * drawScale, screenScale);
  auto* view = static_cast<NSView*>(editor.OpenWindow(nullptr));
  if (view) window->contentView()->addSubview(view);
}

OpenEditor::~OpenEditor()
{
  if (!disposed) delete &editor;
  window->release();
}

void OpenEditor::Dispose()
{
  editor.GetLifetime().Dispose([this] {
    delete &editor;
    disposed = true;
  });
}

void OpenEditor::Frame()
{
  ZQAppKitAdvanceClock(1.0 / 60.0 + 1e-6);
  IGraphicsMac* g = editor.Graphics();
  if (!g || !g->GetDrawContext()) return;
  // Waits for the GPU work queued so far.
  NSAutoreleasePool pool;
  MTLCommandBuffer* cb = mvrCommandQueue(static_cast<VRcontext*>(g->GetDrawContext()))->commandBuffer();
  cb->commit();
  cb->waitUntilCompleted();
}

ZQFrame OpenEditor::LastFrame() const
{
  ZQFrame f;
  ZQAppKitLastFrame(window, &f);
  return f;
}

NSPoint OpenEditor::At(float x, float y) const
{
  // The kit speaks in the content view's coordinates, which run upwards; the editor's view sits at its origin.
  const double h = window->contentView()->frame().size.height;
  return NSMakePoint(x * drawScale, h - y * drawScale);
}

DisposableEditor::DisposableEditor()
{
  ZQAppKitReset();
  window = ZQAppKitMakeWindow(kW, kH, 1.0);
  window->contentView()->addSubview(static_cast<NSView*>(editor->OpenWindow(nullptr)));
}

DisposableEditor::~DisposableEditor()
{
  delete editor;
  window->release();
}

void DisposableEditor::Dispose()
{
  delete editor;
  editor = nullptr;
}

void DisposableEditor::DisposeThroughLifetime()
{
  MacTestEditor* gone = editor;
  if (!gone) return;
  gone->GetLifetime().Dispose([this, gone] {
    delete gone;
    if (editor == gone) editor = nullptr;
  });
}

} // namespace mactest
