// The editor opened the way a host opens it, in a headless window: frames without a drawable, reopening, closing
// from every side, shared font caches, drops and clicks at a draw scale, tooltips, moving between windows.
// What the editor draws and how its controls answer is the `auhost editor` tests' part.

#include "support/MacTestEditor.h"

#include "controls/IControl.h"
#include "controls/IPopupMenuControl.h"
#include "controls/ISpecialControls.h"
#include "graphics/PlatformFont.h"
#include "platform/mac/CoreTextFont.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace mactest;

namespace
{

// A frame without a drawable (a layer of no size) is cancelled: nothing is presented, nothing breaks, and the
// next frame with a drawable shows the editor; frames with nothing dirty present nothing.
TEST(MacEditor, FrameWithoutDrawableIsCancelled)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  e.View()->metalLayer()->setDrawableSize(CGSizeMake(0, 0));
  e.Frame();
  EXPECT_EQ(e.LastFrame().presented, 0u);
  e.View()->metalLayer()->setDrawableSize(CGSizeMake(kW, kH));
  e.G().SetAllControlsDirty();
  e.Frame();
  EXPECT_EQ(e.LastFrame().presented, 1u);
  e.Frame();
  e.Frame();
  EXPECT_EQ(e.LastFrame().presented, 1u);
}

// A second OpenWindow replaces the view and the renderer context; the old view is gone from the window and
// holds neither the graphics nor its timer.
TEST(MacEditor, ReopeningReplacesViewAndContext)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  IGraphicsMac& g = e.G();
  IGraphicsView_vZANIQ_au* first = e.View();
  first->retain();
  auto* second = static_cast<NSView*>(g.OpenWindow(e.window->contentView()));
  EXPECT_NE(second, first);
  EXPECT_EQ(g.GetView(), second);
  EXPECT_NE(g.GetDrawContext(), nullptr);
  EXPECT_EQ(first->superview(), nullptr);
  EXPECT_EQ(first->graphics(), nullptr);
  EXPECT_EQ(first->timer(), nullptr);
  EXPECT_EQ(e.window->contentView()->subviews()->count(), 1u);
  first->release();
  e.Frame();
  EXPECT_GE(e.LastFrame().presented, 1u);
}

// The host removes the view from its window, either on its own or while the editor closes (from inside
// OnUIClose): the editor closes once, and nothing points to what is gone.
TEST(MacEditor, HostRemovingTheViewClosesTheEditorOnce)
{
  for (const bool whileClosing : {false, true})
  {
    SCOPED_TRACE(whileClosing);
    NSAutoreleasePool pool;
    OpenEditor e;
    NSView* content = e.window->contentView();
    if (whileClosing)
    {
      e.editor.onUIClose = [&]() {
        NSArray* subs = content->subviews();
        if (subs->count()) static_cast<NSView*>(subs->objectAtIndex(0))->removeFromSuperview();
      };
      e.editor.CloseWindow();
      e.editor.onUIClose = nullptr;
    }
    else
      e.View()->removeFromSuperview();
    EXPECT_EQ(e.editor.GetUI(), nullptr);
    EXPECT_EQ(e.editor.uiCloses, 1);
    EXPECT_EQ(content->subviews()->count(), 0u);
    // The timer is gone with the view: time passing draws nothing and touches nothing.
    EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0);
  }
}

// What travels past the editor along the responder chain.
class KeyRecorder : public NSResponder
{
public:
  void keyDown(NSEvent*) override { keys.push_back("down"); }
  void keyUp(NSEvent*) override { keys.push_back("up"); }
  std::vector<std::string> keys;
};

// A key the editor does not take goes on along the responder chain. A key handler that closes the editor takes
// the view's last references with it (its window's and the context's); the view stays whole until its key
// method has returned, and the key then goes nowhere: the view has left the chain.
TEST(MacEditor, KeyHandlerClosingTheEditor)
{
  enum class CloseOn { Never, Down, Up };
  for (const CloseOn closeOn : {CloseOn::Never, CloseOn::Down, CloseOn::Up})
  {
    SCOPED_TRACE(static_cast<int>(closeOn));
    NSAutoreleasePool pool;
    OpenEditor e;
    auto* recorder = new KeyRecorder();
    e.window->contentView()->setNextResponder(recorder);
    MacTestEditor* editor = &e.editor;
    e.G().SetKeyHandlerFunc([editor, closeOn](const IKeyPress&, bool isUp) {
      // Nothing of this closure is read after the close: it goes with the context.
      if (closeOn == (isUp ? CloseOn::Up : CloseOn::Down)) editor->CloseWindow();
      return false;
    });
    ZQAppKitKeyEvent(e.window, NSEventTypeKeyDown, 0, "a", "a");
    ZQAppKitKeyEvent(e.window, NSEventTypeKeyUp, 0, "a", "a");
    const std::vector<std::string> passedOn[] = {{"down", "up"}, {}, {"down"}};
    EXPECT_EQ(recorder->keys, passedOn[static_cast<int>(closeOn)]);
    EXPECT_EQ(e.editor.GetUI() == nullptr, closeOn != CloseOn::Never);
    EXPECT_EQ(e.window->contentView()->subviews()->count(), closeOn == CloseOn::Never ? 1u : 0u);
    e.window->contentView()->setNextResponder(e.window);
    recorder->release();
  }
}

// A control that closes the editor from its key or rescale handler (and leaves the key unused): the context and the
// view stay whole until the event that reached the control has returned, the editor's own key handler is not
// asked for a key of an editor that is going, and nothing is left in the window.
TEST(MacEditor, ControlClosingTheEditorFromItsKeyOrRescaleHandler)
{
  class ClosingControl : public IControl
  {
  public:
    ClosingControl(const IRECT& r, std::function<void()> close, bool onKeyUp, bool onRescale)
        : IControl(r), mClose(std::move(close)), mOnKeyUp(onKeyUp), mOnRescale(onRescale)
    {
    }
    void Arm(std::function<void()> close) { mClose = std::move(close); }
    void Draw(IGraphics& g) override { g.FillRect(IColor(255, 40, 120, 40), mRECT); }
    bool OnKeyDown(float, float, const IKeyPress&) override { return Close(!mOnKeyUp && !mOnRescale); }
    bool OnKeyUp(float, float, const IKeyPress&) override { return Close(mOnKeyUp); }
    void OnRescale() override { Close(mOnRescale); }

  private:
    bool Close(bool now)
    {
      if (now && mClose) std::exchange(mClose, nullptr)();
      return false;
    }
    std::function<void()> mClose;
    bool mOnKeyUp, mOnRescale;
  };

  for (const std::string when : {"key down", "key up", "rescale"})
  {
    SCOPED_TRACE(when);
    NSAutoreleasePool pool;
    OpenEditor e;
    MacTestEditor* editor = &e.editor;
    int handlerKeys = 0;
    e.G().SetKeyHandlerFunc([&handlerKeys](const IKeyPress&, bool) { return ++handlerKeys, false; });
    // Armed once attached: attaching rescales the control too.
    auto* control = new ClosingControl(IRECT(120.f, 10.f, 190.f, 60.f), nullptr, when == "key up", when == "rescale");
    e.G().AttachControl(control);
    ZQAppKitMouseEvent(e.window, NSEventTypeMouseMoved, e.At(150, 30));
    if (when == "rescale")
    {
      // The window is at 2x while the editor still draws for 1x; the view hears of it the way AppKit tells it,
      // holding no reference of its own while it does.
      ZQAppKitSetBackingScale(e.window, 2.0);
      e.G().SetScreenScale(1.f);
      control->Arm([editor] { editor->CloseWindow(); });
      e.View()->viewDidChangeBackingProperties();
    }
    else
    {
      control->Arm([editor] { editor->CloseWindow(); });
      ZQAppKitKeyEvent(e.window, NSEventTypeKeyDown, 0, "a", "a");
      ZQAppKitKeyEvent(e.window, NSEventTypeKeyUp, 0, "a", "a");
    }
    EXPECT_EQ(e.editor.GetUI(), nullptr);
    EXPECT_EQ(e.window->contentView()->subviews()->count(), 0u);
    // Before the close the editor's handler had the keys the control left; none after it.
    EXPECT_EQ(handlerKeys, when == "key up" ? 1 : 0);
    EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0);
  }
}

// A control closes the editor from inside a call of it: its mouse-down (then marks itself dirty), its answer from
// the framework's own popup menu, a value or a message the plug-in hands it (the message showing a box while the
// host takes the view away and opens the editor again), a value it gets while the editor opens, or its
// animation-end action or the display tick while a frame checks what is dirty, its mouse-up or mouse-out, or as it
// is laid out. Or the host acts (closes, closes and reopens, or takes the view away and disposes of the plug-in)
// as it hears the view's new frame, a gesture end, OnUIClose (reopening more than once, or closing what it
// reopened) or the size a reopened editor takes before it has a window. The control, and the context with it, stay
// whole until the call has returned and go then, once, hearing nothing more; the view goes at once. An editor
// opened again meanwhile is a fresh one that draws and takes clicks; none is kept without its view.
namespace closing
{

double sNow = 0.0;
double TestClock()
{
  return sNow;
}

enum class When
{
  MouseDown, PopupAnswer, DelegateValue, DelegateMessage, Opening, AnimationEnd, DisplayTick, Layout,
  MouseUp, MouseOut, CornerDrag, MenuScale, IdleRescale, HostClose, HostReopen, Restore // the control attached first
};
// Where the host acts: nowhere (the control closes), or as it hears of these.
enum class Host { None, Frame, GestureEnd, UIClose, Resize };

// The host watching the editor view's frame, as hosts do to size their window.
struct FrameWatch : NSObject
{
  ~FrameWatch() override { NSNotificationCenter::defaultCenter()->removeObserver(this); }
  void changed(NSNotification*) { ++heard; if (auto act = std::exchange(onChange, nullptr)) act(); }
  std::function<void()> onChange;
  int heard = 0;
};

struct Outcome
{
  int deleted = 0;
  int closes = 0;
  int late = 0; // calls heard while the editor winds down
  bool contextWhole = false; // after the close, still inside the call: the context is there, winding down
};

class ClosingControl : public IControl
{
public:
  ClosingControl(const IRECT& r, When when, std::function<void()> close, Outcome& outcome)
      : IControl(r, kGain), mWhen(when), mClose(std::move(close)), mOutcome(outcome)
  {
    mMenu.AddItem("Close");
    mMenu.AddItem("Stay");
    if (when == When::AnimationEnd) SetAnimation(DefaultAnimationFunc); // no duration: ends at the first check
    SetAnimationEndActionFunction([this](IControl*) { Close(); });
  }
  void OnAttached() override
  {
    if (mWhen == When::DisplayTick) GetUI()->SetDisplayTickFunc([this] { Close(); });
    if (mWhen == When::Layout) Close();
  }
  ~ClosingControl() override { ++mOutcome.deleted; }
  void Draw(IGraphics& g) override { g.FillRect(IColor(255, 120, 40, 40), mRECT); }
  void OnMouseDown(float, float, const IMouseMod&) override
  {
    if (mWhen == When::PopupAnswer || mWhen == When::MenuScale)
      GetUI()->CreatePopupMenu(this, mMenu, mRECT);
    else if (mWhen == When::MouseDown)
      Close();
  }
  void OnMouseUp(float, float, const IMouseMod&) override { Late(); if (mWhen == When::MouseUp) Close(); }
  void OnMouseOver(float x, float y, const IMouseMod& mod) override { Late(); IControl::OnMouseOver(x, y, mod); }
  void OnMouseOut() override { Late(); if (mWhen == When::MouseOut) Close(); IControl::OnMouseOut(); }
  void OnResize() override { Late(); }
  // These two touch nothing of their own after closing: what the framework does after them must hold by itself.
  void OnPopupMenuSelection(IPopupMenu* menu, int valIdx) override
  {
    if (mWhen == When::MenuScale) return GetUI()->Resize(kW, kH, 1.5f);
    if (menu && menu->GetChosenItemIdx() == 0 && mClose) return Close(false);
    IControl::OnPopupMenuSelection(menu, valIdx);
  }
  void SetValueFromDelegate(double value, int valIdx) override
  {
    if ((mWhen == When::DelegateValue || mWhen == When::Opening) && mClose) return Close(mWhen == When::Opening);
    IControl::SetValueFromDelegate(value, valIdx);
  }
  void OnMsgFromDelegate(int, int, const void*) override
  {
    // The host closes and reopens the editor while the box is up.
    GetUI()->ShowMessageBox("Closing?", "Test", kMB_OK);
    SetDirty(false);
    mOutcome.contextWhole = GetUI()->IsWindingDown();
  }

private:
  void Late() { mOutcome.late += GetUI() && GetUI()->IsWindingDown(); }
  void Close(bool touch = true)
  {
    if (!mClose) return;
    Outcome& outcome = mOutcome;
    std::exchange(mClose, nullptr)();
    ++outcome.closes;
    if (!touch) return;
    // Everything of the control is still there for the rest of its handler.
    SetDirty(false);
    outcome.contextWhole = GetUI()->IsWindingDown() && GetUI()->GetDelegate() != nullptr;
  }

  When mWhen;
  std::function<void()> mClose;
  Outcome& mOutcome;
  IPopupMenu mMenu;
};

} // namespace closing

TEST(MacEditor, ControlClosingTheEditorInsideItsOwnCall)
{
  using closing::When, closing::Host;
  const IRECT r(120.f, 10.f, 190.f, 60.f);
  struct Case
  {
    std::string name;
    When when;
    bool reopen;
    Host host = Host::None;
    bool dispose = false;
    int reopens = 0; // editors the host opens one after another, if not just the one it reopens
  };
  std::vector<Case> cases = {
    {"mouse down", When::MouseDown, false},          {"mouse down, reopened", When::MouseDown, true},
    {"popup answer", When::PopupAnswer, false},      {"popup answer, reopened", When::PopupAnswer, true},
    {"delegate value", When::DelegateValue, false},  {"delegate value, reopened", When::DelegateValue, true},
    {"delegate message", When::DelegateMessage, true}, {"opening", When::Opening, false},
    {"animation end", When::AnimationEnd, false},    {"animation end, reopened", When::AnimationEnd, true},
    {"display tick", When::DisplayTick, false},      {"mouse out", When::MouseOut, false},
    {"laid out", When::Layout, false},
    {"mouse up, reopened as its gesture ends", When::MouseUp, true, Host::GestureEnd},
    {"host close, reopened in OnUIClose", When::HostClose, true, Host::UIClose},
    {"host close, disposed of in OnUIClose", When::HostClose, false, Host::UIClose, true},
    {"idle rescale, disposed of as a gesture ends", When::IdleRescale, false, Host::GestureEnd, true},
    {"host reopen, reopened in OnUIClose", When::HostReopen, true, Host::UIClose},
    {"host close, reopened twice in OnUIClose", When::HostClose, true, Host::UIClose, false, 2},
    {"host close, reopened and closed in OnUIClose", When::HostClose, false, Host::UIClose, false, 1},
    {"remembered size, closed as the host hears it", When::Restore, false, Host::Resize},
    {"remembered size, disposed of as the host hears it", When::Restore, false, Host::Resize, true},
  };
  for (const auto& [when, how] : {std::pair(When::CornerDrag, "corner drag"), std::pair(When::MenuScale, "menu scale"),
                                  std::pair(When::IdleRescale, "idle rescale")})
    for (const std::string act : {"closed", "reopened", "closed and disposed of"})
      cases.push_back({std::string(how) + ", " + act + " in the frame change", when, act == "reopened", Host::Frame,
                       act.ends_with("disposed of")});
  IGraphics::SetClock(closing::TestClock);
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.name);
    NSAutoreleasePool pool;
    OpenEditor e;
    MacTestEditor* editor = &e.editor;
    NSWindow* window = e.window;
    IGraphics* first = editor->GetUI();
    NSView* reopened = nullptr;
    // The host (or the control) closes the editor; reopening puts a fresh editor into the window, as often as the
    // row says, and the last one may be closed again.
    const int reopens = std::max<int>(c.reopens, c.reopen);
    auto close = [editor, window, &c, &reopened, reopens] {
      for (int i = 0; i < reopens; ++i)
      {
        if (NSView* view = editor->View()) view->removeFromSuperview();
        reopened = static_cast<NSView*>(editor->OpenWindow(nullptr));
        if (reopened) window->contentView()->addSubview(reopened);
      }
      if (editor->GetUI() && !c.reopen) editor->CloseWindow();
    };
    // The host acts where the row says; disposing as it hears the frame change, it closes its window first.
    auto host = [&e, &c, close] {
      if (!c.dispose) return close();
      if (NSView* view = e.editor.View(); view && c.host == Host::Frame) view->removeFromSuperview();
      e.Dispose();
    };
    closing::FrameWatch watch;
    NSNotificationCenter::defaultCenter()->addObserver_selector_name_object(
      &watch, ZQSelector("changed:", &closing::FrameWatch::changed), NSViewFrameDidChangeNotification, e.View());
    closing::Outcome outcome;
    if (c.host == Host::Resize) // a size heard after the host acted comes from an editor that is gone
      editor->onResize = [editor, host, &outcome] { host(); editor->onResize = [&outcome] { ++outcome.late; }; };
    else if (c.host != Host::None)
      (c.host == Host::Frame ? watch.onChange : c.host == Host::UIClose ? editor->onUIClose : editor->onGestureEnd) = host;
    const bool controlCloses = c.host == Host::None || c.when == When::MouseUp;
    std::function<void()> own = c.host == Host::None ? std::function<void()>(close) : [editor] { editor->CloseWindow(); };
    auto* control = new closing::ClosingControl(r, c.when, controlCloses ? own : nullptr, outcome);
    if (c.when >= When::MouseUp) { e.G().AttachControl(control); e.G().EnableMouseOver(true); }
    switch (c.when)
    {
      case When::MouseDown: e.G().AttachControl(control); ZQAppKitClick(window, e.At(r.MW(), r.MH())); break;
      case When::AnimationEnd:
      case When::DisplayTick: e.G().AttachControl(control); e.Frame(); break;
      case When::PopupAnswer:
      {
        e.G().AttachControl(control);
        e.G().AttachPopupMenuControl();
        auto* popup = static_cast<IPopupMenuControl*>(e.G().GetPopupMenuControl());
        ZQAppKitClick(window, e.At(r.MW(), r.MH()));
        for (int i = 0; i < 10 && popup->GetState() != IPopupMenuControl::kExpanded; ++i)
        {
          closing::sNow += 1.0;
          e.Frame();
        }
        ASSERT_EQ(popup->GetState(), IPopupMenuControl::kExpanded);
        const IRECT cell = *popup->GetPanel(0)->GetCell(0);
        ZQAppKitMouseEvent(window, NSEventTypeMouseMoved, e.At(cell.MW(), cell.MH()));
        ZQAppKitMouseEvent(window, NSEventTypeLeftMouseDown, e.At(cell.MW(), cell.MH()));
        ZQAppKitMouseEvent(window, NSEventTypeLeftMouseUp, e.At(cell.MW(), cell.MH()));
        break;
      }
      case When::DelegateValue:
        e.G().AttachControl(control);
        editor->SendParameterValueFromDelegate(kGain, 5.0, false);
        break;
      case When::DelegateMessage:
        e.G().AttachControl(control, 77);
        ZQAppKitScriptAlert(1, close);
        editor->SendControlMsgFromDelegate(77, 1, 0, nullptr);
        break;
      case When::MouseUp: // over the control, pressed there and released over the probe (or moved onto another)
      case When::MouseOut:
        if (c.when == When::MouseOut) e.G().AttachControl(new closing::ClosingControl(kProbeR, c.when, nullptr, outcome));
        ZQAppKitMouseEvent(window, NSEventTypeMouseMoved, e.At(r.MW(), r.MH()));
        if (c.when == When::MouseUp) ZQAppKitMouseEvent(window, NSEventTypeLeftMouseDown, e.At(r.MW(), r.MH()));
        ZQAppKitMouseEvent(window, c.when == When::MouseUp ? NSEventTypeLeftMouseUp : NSEventTypeMouseMoved,
                           e.At(kProbeR.MW(), kProbeR.MH()));
        break;
      case When::CornerDrag:
        e.G().AttachCornerResizer(new ICornerResizerControl(e.G().GetBounds(), 20.f), EUIResizerMode::Size);
        ZQAppKitMouseEvent(window, NSEventTypeLeftMouseDown, e.At(kW - 5, kH - 5));
        ZQAppKitMouseEvent(window, NSEventTypeLeftMouseDragged, e.At(kW - 20, kH - 5));
        break;
      case When::MenuScale: ZQAppKitScriptMenuPath("Close"); ZQAppKitClick(window, e.At(r.MW(), r.MH())); break;
      case When::IdleRescale: // with a gesture of the control open, or none
        if (c.host == Host::GestureEnd) ZQAppKitMouseEvent(window, NSEventTypeLeftMouseDown, e.At(r.MW(), r.MH()));
        e.G().Resize(kW, kH, 1.5f);
        break;
      case When::HostClose: editor->CloseWindow(); break;
      case When::HostReopen:
        EXPECT_EQ(editor->OpenWindow(nullptr), nullptr) << "opened again while the old one closed";
        break;
      case When::Restore: // reopened at the scale it closed at, which the host hears before there is a window
        editor->CloseWindow();
        editor->SetRememberedEditorSize(kW, kH, 1.5f);
        EXPECT_EQ(editor->OpenWindow(nullptr), nullptr) << "the editor closed while it opened";
        break;
      case When::Layout:
      case When::Opening:
      {
        editor->CloseWindow();
        editor->SetLayoutFunc([control](IGraphics* g) { g->AttachControl(control); });
        EXPECT_EQ(editor->OpenWindow(nullptr), nullptr) << "the editor closed while it opened";
        first = nullptr;
        break;
      }
    }
    EXPECT_EQ(outcome.deleted, c.when == When::MouseOut ? 2 : 1) << "gone once its call returned";
    EXPECT_EQ(outcome.contextWhole, controlCloses && c.when != When::PopupAnswer && c.when != When::DelegateValue);
    EXPECT_EQ(outcome.closes, controlCloses && c.when != When::DelegateMessage ? 1 : 0);
    EXPECT_EQ(outcome.late, 0) << "heard after the close";
    EXPECT_EQ(watch.heard, c.host == Host::Frame ? 1 : 0) << "frame changes the host heard";
    EXPECT_EQ(window->contentView()->subviews()->count(), c.reopen ? 1u : 0u);
    if (c.dispose)
    {
      EXPECT_TRUE(e.disposed);
      EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0) << "no timer left";
      continue;
    }
    EXPECT_EQ(editor->uiOpens, 1 + reopens + (c.when == When::Opening)) << "told the editor is open";
    IGraphics* now = editor->GetUI();
    EXPECT_EQ(editor->View() != nullptr, now != nullptr) << "an editor kept without its view";
    if (!c.reopen)
    {
      EXPECT_EQ(now, nullptr);
      EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0) << "no timer left";
      continue;
    }
    // A fresh editor: its own context and view, drawing and taking clicks.
    ASSERT_NE(now, nullptr);
    EXPECT_NE(now, first);
    EXPECT_EQ(static_cast<NSView*>(editor->View()), reopened);
    const size_t clicks = editor->events.size();
    ZQAppKitClick(window, e.At(kProbeR.MW(), kProbeR.MH()));
    EXPECT_GT(editor->events.size(), clicks);
    const NSUInteger presented = e.LastFrame().presented;
    now->SetAllControlsDirty();
    e.Frame();
    EXPECT_GT(e.LastFrame().presented, presented);
  }
  IGraphics::SetClock(nullptr);
}

// Another application becomes active while a control holds the mouse: the capture ends. The editor closes while
// a control holds the mouse with the cursor hidden: the capture ends, the host gesture is closed and the cursor
// shows again.
TEST(MacEditor, DeactivatingOrClosingReleasesTheMouseCapture)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDown, e.At(20, 90));
  ASSERT_TRUE(e.G().ControlIsCaptured());
  ZQAppKitDeactivate();
  EXPECT_FALSE(e.G().ControlIsCaptured());
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseUp, e.At(20, 90));

  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDown, e.At(40, 40));
  ASSERT_TRUE(e.G().ControlIsCaptured());
  e.G().HideMouseCursor(true, true);
  EXPECT_EQ(ZQAppKitCursorHideCount(), 1);
  e.editor.CloseWindow();
  EXPECT_EQ(ZQAppKitCursorHideCount(), 0);
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseUp, e.At(40, 40));
}

// Two editors share the font caches; closing one keeps them, closing the last empties them.
TEST(MacEditor, TwoEditorsShareTheFontCaches)
{
  NSAutoreleasePool pool;
  auto a = std::make_unique<OpenEditor>();
  NSWindow* w2 = ZQAppKitMakeWindow(kW, kH, 1.0);
  MacTestEditor b;
  w2->contentView()->addSubview(static_cast<NSView*>(b.OpenWindow(nullptr)));
  EXPECT_EQ(CoreTextFontDescriptorCache().GetRefCount(), 2);
  b.CloseWindow();
  EXPECT_EQ(CoreTextFontDescriptorCache().GetRefCount(), 1);
  EXPECT_NE(FindCoreTextFont("Roboto-Regular"), nullptr);
  a.reset();
  EXPECT_EQ(CoreTextFontDescriptorCache().GetSize(), 0);
  EXPECT_EQ(FontDataCache().GetSize(), 0);
  w2->release();
}

// Clicks and dropped files arrive at the control under the point, in graphics units at any draw scale.
TEST(MacEditor, ClicksAndDropsInGraphicsUnits)
{
  NSAutoreleasePool pool;
  for (float drawScale : {1.f, 2.f})
  {
    SCOPED_TRACE(drawScale);
    OpenEditor e(1.f, drawScale);
    NSDragOperation op = 0;
    BOOL done = NO;
    ASSERT_TRUE(ZQAppKitDropFiles(e.window, e.At(20, 90), {"/tmp/a.wav", "/tmp/b.wav"}, &op, &done));
    EXPECT_EQ(op, NSDragOperationGeneric);
    EXPECT_TRUE(done);
    ZQAppKitClick(e.window, e.At(20, 90));
    ASSERT_EQ(e.editor.events.size(), 3u);
    EXPECT_EQ(e.editor.events[0].kind, "drop");
    EXPECT_EQ(e.editor.events[0].text, "/tmp/a.wav");
    EXPECT_EQ(e.editor.events[1].kind, "down");
    EXPECT_FLOAT_EQ(e.editor.events[1].x, 20.f);
    EXPECT_FLOAT_EQ(e.editor.events[1].y, 90.f);
  }
}

// The text shown is the tooltip of the control the pointer last moved over, as the graphics context found it.
TEST(MacEditor, TooltipsFollowTheControls)
{
  NSAutoreleasePool pool;
  OpenEditor e(1.f, 2.f);
  e.G().EnableMouseOver(true);
  const std::vector<NSRect> rects = ZQAppKitToolTipRects(e.View());
  EXPECT_EQ(rects.size(), static_cast<size_t>(e.G().NControls()));
  // Points of the editor's own (flipped) view. Before the pointer has moved over anything there is no text.
  EXPECT_EQ(ZQAppKitToolTipText(e.View(), NSMakePoint(80, 80)), "");
  ZQAppKitMouseEvent(e.window, NSEventTypeMouseMoved, e.At(40, 40));
  EXPECT_EQ(ZQAppKitToolTipText(e.View(), NSMakePoint(80, 80)), "Gain knob");
  ZQAppKitMouseEvent(e.window, NSEventTypeMouseMoved, e.At(20, 90)); // the probe has no tooltip
  EXPECT_EQ(ZQAppKitToolTipText(e.View(), NSMakePoint(40, 180)), "");
  ZQAppKitMouseEvent(e.window, NSEventTypeMouseMoved, e.At(40, 40));
  e.editor.knob->Hide(true);
  e.G().UpdateTooltips();
  EXPECT_EQ(ZQAppKitToolTipRects(e.View()).size(), rects.size() - 1);
  e.editor.knob->Hide(false);
  // Switched off, no control shows its tooltip; switched on again, they all do.
  e.G().EnableTooltips(false);
  EXPECT_TRUE(ZQAppKitToolTipRects(e.View()).empty());
  EXPECT_EQ(ZQAppKitToolTipText(e.View(), NSMakePoint(80, 80)), "");
  e.G().EnableTooltips(true);
  EXPECT_EQ(ZQAppKitToolTipRects(e.View()).size(), rects.size());
  EXPECT_EQ(ZQAppKitToolTipText(e.View(), NSMakePoint(80, 80)), "Gain knob");
  // The pointer gone from the view takes the text with it.
  ZQAppKitMouseLeaveWindow(e.window);
  EXPECT_EQ(ZQAppKitToolTipText(e.View(), NSMakePoint(80, 80)), "");
}

// A view that moves to another window listens to that window only, once, and draws at its backing scale.
TEST(MacEditor, MovingToAnotherWindow)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  IGraphicsView_vZANIQ_au* view = e.View();
  const NSUInteger registrations = NSNotificationCenter::defaultCenter()->ZQObserverCount(view);
  EXPECT_EQ(registrations, 3u);
  NSWindow* other = ZQAppKitMakeWindow(kW, kH, 2.0);
  // Moving keeps the editor open: the view goes straight into the other window.
  other->contentView()->addSubview(view);
  EXPECT_EQ(view->window(), other);
  EXPECT_EQ(e.G().GetScreenScale(), 2.f);
  EXPECT_EQ(NSNotificationCenter::defaultCenter()->ZQObserverCount(view), registrations);
  EXPECT_EQ(e.editor.uiCloses, 0);
  e.Frame();
  EXPECT_EQ(view->metalLayer()->drawableSize().width, kW * 2);
  e.editor.CloseWindow();
  other->release();
}

// The editor's whole picture in a frame of w × h pixels, s pixels per graphics unit (RGBA, straight alpha): the
// panel, the probe and the control at (120, 10, 190, 60) drawn, and nothing left out over the editor's first area
// (the panel keeps its size when the editor grows).
::testing::AssertionResult WholeEditor(const ZQFrame& f, size_t w, size_t h, size_t s)
{
  if (f.width != w || f.height != h)
    return ::testing::AssertionFailure() << "frame " << f.width << " x " << f.height << ", expected " << w << " x "
                                         << h;
  const auto at = [&](size_t x, size_t y) { return &f.rgba[(y * s * w + x * s) * 4]; };
  if (at(100, 5)[0] != 230) return ::testing::AssertionFailure() << "no panel";
  if (at(40, 100)[0] != 60) return ::testing::AssertionFailure() << "no probe";
  if (at(150, 30)[0] != 200) return ::testing::AssertionFailure() << "no resizing control";
  for (size_t y = 0; y < kH * s; ++y)
    for (size_t x = 0; x < kW * s; ++x)
      if (f.rgba[(y * w + x) * 4 + 3] != 255) return ::testing::AssertionFailure() << "nothing at " << x << "," << y;
  return ::testing::AssertionSuccess();
}

// A control that resizes the editor while it is drawn: the editor's size, the window's backing scale (the screen
// scale follows), or only the framebuffer. The frame drawn across it is shown at most once, never half drawn nor
// empty, and the next tick shows every control at the new size.
TEST(MacEditor, ResizeWhileDrawingShowsNoHalfDrawnFrame)
{
  class ResizingControl : public IControl
  {
  public:
    ResizingControl(const IRECT& r, std::function<void()> resize) : IControl(r), mResize(std::move(resize)) {}
    void Draw(IGraphics& g) override
    {
      g.FillRect(IColor(255, 200, 40, 40), mRECT);
      if (auto resize = std::exchange(mResize, nullptr)) resize();
    }

  private:
    std::function<void()> mResize;
  };

  NSAutoreleasePool pool;
  for (const std::string kind : {"resize", "backing_scale", "draw_resize"})
  {
    SCOPED_TRACE(kind);
    OpenEditor e;
    e.Frame();
    const NSUInteger before = e.LastFrame().presented;
    ASSERT_GE(before, 1u);
    const size_t s = kind == "backing_scale" ? 2 : 1;
    const size_t w = kind == "resize" ? 240 : kW * s, h = kind == "resize" ? 150 : kH * s;
    IGraphicsMac& g = e.G();
    g.AttachControl(new ResizingControl(IRECT(120.f, 10.f, 190.f, 60.f),
                                        [&]
                                        {
                                          if (kind == "resize") g.Resize(240, 150, 1.f, true);
                                          if (kind == "backing_scale") ZQAppKitSetBackingScale(e.window, 2.0);
                                          if (kind == "draw_resize") g.DrawResize();
                                        }));
    const std::string png = ::testing::TempDir() + "mac_resize_in_frame_" + kind;
    e.Frame();
    const NSUInteger presented = e.LastFrame().presented - before;
    EXPECT_LE(presented, 1u) << "one frame drawn, one present at most";
    if (presented > 0)
    {
      EXPECT_TRUE(WholeEditor(e.LastFrame(), w, h, s)) << "the frame drawn across the resize";
      if (HasFailure()) ZQAppKitSaveFrame(e.window, (png + "_during.png").c_str());
    }
    e.Frame();
    EXPECT_EQ(e.LastFrame().presented - before, presented + 1) << "the next tick draws again";
    EXPECT_TRUE(WholeEditor(e.LastFrame(), w, h, s)) << "the frame after the resize";
    if (HasFailure() || std::getenv("MAC_SAVE")) ZQAppKitSaveFrame(e.window, (png + "_after.png").c_str());
  }
}

} // namespace
