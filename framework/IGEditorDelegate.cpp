#include "framework/IGEditorDelegate.h"

#include "controls/IControl.h"
#include "graphics/IGraphics.h"

#include <cmath>
#include <utility>

namespace plugin::igraphics
{

IGEditorDelegate::IGEditorDelegate(int nParams) : IEditorDelegate(nParams) {}

IGEditorDelegate::~IGEditorDelegate()
{
  IGraphics* graphics = mGraphics;
  mGraphics = nullptr;
  // Gestures still open end unheard: the derived parts that would tell the host are gone already. No call of the
  // context can be on the stack here (its scopes sit inside ours), so it goes now.
  if (graphics) graphics->DropOpenGestures();
  delete graphics;
  mLayoutFunc = nullptr;
  mMakeGraphicsFunc = nullptr;
}

IGraphics* IGEditorDelegate::CreateGraphics()
{
  return mMakeGraphicsFunc ? mMakeGraphicsFunc() : nullptr;
}

void IGEditorDelegate::LayoutUI(IGraphics* graphics)
{
  if (mLayoutFunc) mLayoutFunc(graphics);
}

// ---------------------------------------------------------------------------------------------------------------
// Window
// ---------------------------------------------------------------------------------------------------------------

void* IGEditorDelegate::OpenWindow(void* parent)
{
  // Opening hands the controls their first values and lays them out: a control may close or reopen the editor
  // from there, and the host may dispose of us from a box it shows. Either goes once the opening has returned.
  Lifetime::Scope self(GetLifetime());
  if (mGraphics)
  {
    // Asked while closing (from OnUIClose or the gestures ending), the close under way takes its editor itself.
    if (!mClosing) CloseWindow();
    // Opened again inside that close, or twice while one closes: the host has an editor already.
    if (mGraphics && mGraphics != mClosingGraphics) return nullptr;
  }
  if (IsDisposing()) return nullptr;

  // The new context's constructor overwrites the remembered values with its initial size, so take them first.
  const bool restore = mHasRememberedSize;
  const int width = mRememberedWidth;
  const int height = mRememberedHeight;
  const float scale = mRememberedScale;

  IGraphics* graphics = CreateGraphics();
  mGraphics = graphics;
  if (!graphics) return nullptr;

  IGraphics::CallScope scope(*graphics);
  if (restore) graphics->Resize(width, height, scale, true);
  // The host hears of that size and may close the editor, or dispose of us, in its answer.
  if (!EditorUnchanged(graphics) || IsDisposing()) return nullptr;
  void* view = graphics->OpenWindow(parent);
  // A view of an editor closed while it opened goes with it: the host gets none.
  return EditorUnchanged(graphics) && !IsDisposing() ? view : nullptr;
}

void IGEditorDelegate::CloseWindow()
{
  // Asked again inside a close: the editor that close began with is its to take. One opened meanwhile is closed
  // here like any other, at any depth; skipped, we would keep an editor whose view the host has taken away.
  if (mClosing && (!mGraphics || mGraphics == mClosingGraphics)) return;
  // OnUIClose and the host's answers to the gestures ending run foreign code: the host may dispose of us there, or
  // open the editor again. We stay whole until the close returns, and it closes the editor it began with; one
  // opened meanwhile stays open unless it is closed in turn.
  Lifetime::Scope self(GetLifetime());
  const bool outerClosing = std::exchange(mClosing, true);
  IGraphics* graphics = mGraphics;
  const IGraphics* outerGraphics = std::exchange(mClosingGraphics, graphics);

  OnUIClose();

  if (graphics)
  {
    mHasRememberedSize = true;
    mRememberedWidth = graphics->Width();
    mRememberedHeight = graphics->Height();
    mRememberedScale = graphics->GetDrawScale();
    // A control holding the mouse (its host gesture open, the cursor hidden) must let go before it goes.
    graphics->ReleaseMouseCapture();
    graphics->CloseWindow();
    // Controls torn down with the context must not find it through the delegate any more.
    if (mGraphics == graphics) mGraphics = nullptr;
    // A control may have closed the editor from inside a call of the context: it goes once that call returns.
    graphics->GetLifetime().Dispose([graphics] { delete graphics; });
  }

  // A close this one ran inside goes on with its own editor.
  mClosingGraphics = outerGraphics;
  mClosing = outerClosing;
}

// ---------------------------------------------------------------------------------------------------------------
// Input and values for the controls
// ---------------------------------------------------------------------------------------------------------------

bool IGEditorDelegate::OnKeyDown(const IKeyPress& key)
{
  if (!mGraphicsReady || !mGraphics) return false;
  float x = 0.f, y = 0.f;
  mGraphics->GetMouseLocation(x, y);
  return mGraphics->OnKeyDown(x, y, key);
}

bool IGEditorDelegate::OnKeyUp(const IKeyPress& key)
{
  if (!mGraphicsReady || !mGraphics) return false;
  float x = 0.f, y = 0.f;
  mGraphics->GetMouseLocation(x, y);
  return mGraphics->OnKeyUp(x, y, key);
}

bool IGEditorDelegate::EditorUnchanged(const IGraphics* graphics) const
{
  return graphics && mGraphics == graphics && !graphics->IsWindingDown();
}

// A control may close the editor (or close and reopen it), and the host dispose of us from a box the control
// shows, inside any hand-off below: a scope of the editor and of the plug-in keeps both whole until the hand-off
// returns, and it goes no further once the editor it began with is closing or replaced.

void IGEditorDelegate::SendControlValueFromDelegate(int ctrlTag, double normalizedValue)
{
  IGraphics* graphics = mGraphics;
  if (!graphics) return;
  IGraphics::CallScope scope(*graphics);
  if (IControl* control = graphics->GetControlWithTag(ctrlTag)) control->SetValueFromDelegate(normalizedValue, 0);
}

void IGEditorDelegate::SendControlMsgFromDelegate(int ctrlTag, int msgTag, int dataSize, const void* data)
{
  IGraphics* graphics = mGraphics;
  if (!graphics) return;
  IGraphics::CallScope scope(*graphics);
  if (IControl* control = graphics->GetControlWithTag(ctrlTag)) control->OnMsgFromDelegate(msgTag, dataSize, data);
}

void IGEditorDelegate::SendMidiMsgFromDelegate(const IMidiMsg& msg)
{
  Lifetime::Scope self(GetLifetime());
  if (IGraphics* graphics = mGraphics)
  {
    IGraphics::CallScope scope(*graphics);
    for (int i = 0; i < graphics->NControls() && EditorUnchanged(graphics); ++i)
    {
      IControl* control = graphics->GetControl(i);
      if (control && control->GetWantsMidi()) control->OnMidi(msg);
    }
  }
  if (!IsDisposing()) OnMidiMsgUI(msg);
}

void IGEditorDelegate::SendParameterValueFromDelegate(int paramIdx, double value, bool normalized)
{
  Lifetime::Scope self(GetLifetime());
  if (IGraphics* graphics = mGraphics)
  {
    const IParam* param = GetParam(paramIdx);
    // A real value needs its parameter to be normalised; without one no control can take it.
    if (normalized || param)
    {
      if (!normalized) value = param->ToNormalized(param->Constrain(value));
      IGraphics::CallScope scope(*graphics);
      for (int i = 0; i < graphics->NControls() && EditorUnchanged(graphics); ++i)
      {
        IControl* control = graphics->GetControl(i);
        for (int v = 0; control && v < control->NVals() && EditorUnchanged(graphics); ++v)
          if (control->GetParamIdx(v) == paramIdx) control->SetValueFromDelegate(value, v);
      }
    }
  }
  if (!IsDisposing()) OnParamChangeUI(paramIdx, kDelegate);
}

// ---------------------------------------------------------------------------------------------------------------
// Editor state
// ---------------------------------------------------------------------------------------------------------------

bool IGEditorDelegate::SerializeEditorState(IByteChunk& chunk) const
{
  const int32_t width = mGraphics ? mGraphics->Width() : mRememberedWidth;
  const int32_t height = mGraphics ? mGraphics->Height() : mRememberedHeight;
  const float scale = mGraphics ? mGraphics->GetDrawScale() : mRememberedScale;
  const int start = chunk.Size();
  chunk.Put(width);
  chunk.Put(height);
  chunk.Put(scale);
  return chunk.Size() == start + 12;
}

int IGEditorDelegate::UnserializeEditorState(const IByteChunk& chunk, int startPos)
{
  int32_t width = 0;
  int32_t height = 0;
  float scale = 0.f;
  int pos = chunk.Get(width, startPos);
  pos = chunk.Get(height, pos);
  pos = chunk.Get(scale, pos);
  if (pos < 0) return -1;

  // A zero or damaged size would later open an editor of no size; keep what we have instead.
  if (width <= 0 || height <= 0 || !std::isfinite(scale) || scale <= 0.f) return pos;

  if (mGraphicsReady && mGraphics)
    mGraphics->Resize(width, height, scale, true);
  else
    SetRememberedEditorSize(width, height, scale);
  return pos;
}

void IGEditorDelegate::SetScreenScale(double scale)
{
  if (mGraphicsReady && mGraphics) mGraphics->SetScreenScale(static_cast<float>(scale));
}

} // namespace plugin::igraphics
