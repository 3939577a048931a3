// The editor delegates' messages: the base delegate's defaults (window hooks, values and messages falling back to
// the editor-side hooks, editor state of nothing) and the graphics delegate's routing of keys, control messages,
// MIDI and the screen scale to an open editor.

#include "framework/IGEditorDelegate.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using namespace plugin;
using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;
using Log = std::vector<std::string>;

namespace
{

// The base delegate alone, with every editor-side hook recorded.
class BareDelegate : public IEditorDelegate
{
public:
  BareDelegate() : IEditorDelegate(3)
  {
    GetParam(0)->InitDouble("Gain", 5.0, 0.0, 10.0, 0.0);
    GetParam(1)->InitInt("Count", 2, 0, 8);
    GetParam(2)->InitBool("On", true);
  }
  void BeginInformHostOfParamChangeFromUI(int idx) override { Add("begin", idx); }
  void EndInformHostOfParamChangeFromUI(int idx) override { Add("end", idx); }
  void OnUIOpen() override
  {
    log.push_back("open");
    IEditorDelegate::OnUIOpen();
  }
  void OnUIClose() override { log.push_back("close"); }
  void OnParamChange(int idx, EParamSource source, int offset) override
  {
    log.push_back("change " + std::to_string(idx) + " " + std::to_string(source) + " " + std::to_string(offset));
    IEditorDelegate::OnParamChange(idx, source, offset);
  }
  void OnParamChange(int idx) override { Add("changed", idx); }
  void OnParamChangeUI(int idx, EParamSource source) override
  {
    log.push_back("ui " + std::to_string(idx) + " " + std::to_string(source));
  }
  bool OnMessage(int msgTag, int ctrlTag, int dataSize, const void*) override
  {
    log.push_back("msg " + std::to_string(msgTag) + " " + std::to_string(ctrlTag) + " " + std::to_string(dataSize));
    return true;
  }
  void OnMidiMsgUI(const IMidiMsg& msg) override { Add("midi", msg.mData1); }
  void OnSysexMsgUI(const ISysEx& msg) override { Add("sysex", msg.mSize); }
  std::vector<double> Values() const
  {
    return {GetParam(0)->Value(), GetParam(1)->Value(), GetParam(2)->Value()};
  }
  void Add(const char* what, int n) { log.push_back(std::string(what) + " " + std::to_string(n)); }
  Log log;
};

// A graphics delegate with an editor of two controls: control 0 is the background, control 1 (tag 7) covers
// 10..20 × 10..20 and wants MIDI.
class KeyDelegate : public RecordingDelegate
{
public:
  KeyDelegate() : RecordingDelegate(1)
  {
    GetParam(0)->InitDouble("Gain", 0.0, 0.0, 10.0, 0.0);
    SetMakeGraphicsFunc([this] { return new ScriptedGraphics(*this, 100, 100, 60, 1.f); });
    SetLayoutFunc([this](IGraphics* g) {
      g->AttachControl(background = new RecordingControl(IRECT(0, 0, 100, 100)));
      g->AttachControl(knob = new RecordingControl(IRECT(10, 10, 20, 20), 0), 7);
      knob->SetWantsMidi(true);
    });
  }
  void OnMidiMsgUI(const IMidiMsg&) override { ++midiUI; }
  ScriptedGraphics* Graphics() const { return static_cast<ScriptedGraphics*>(GetUI()); }
  RecordingControl* background = nullptr;
  RecordingControl* knob = nullptr;
  int midiUI = 0;
};

} // namespace

TEST(EditorDelegateDefaults, WindowHooksAndParameterFanOut)
{
  BareDelegate dlg;
  EXPECT_TRUE(dlg.GetParam(-1) == nullptr && dlg.GetParam(3) == nullptr);

  // Without a graphics layer, opening only announces the editor, which sends every value; no view comes back.
  EXPECT_EQ(dlg.OpenWindow(nullptr), nullptr);
  dlg.CloseWindow();
  EXPECT_EQ(dlg.log, (Log{"open", "ui 0 4", "ui 1 4", "ui 2 4", "close"}));

  // A reset announces each parameter to the plug-in (offset -1, which the default passes on by index) and then to
  // the editor, parameter by parameter.
  dlg.log.clear();
  dlg.OnParamReset(kReset);
  EXPECT_EQ(dlg.log, (Log{"change 0 0 -1", "changed 0", "ui 0 0", "change 1 0 -1", "changed 1", "ui 1 0",
                          "change 2 0 -1", "changed 2", "ui 2 0"}));

  // A restored state shows every value to the editor.
  dlg.log.clear();
  dlg.OnRestoreState();
  EXPECT_EQ(dlg.log, (Log{"ui 0 4", "ui 1 4", "ui 2 4"}));

  // A value from the editor sets the parameter from its normalised form; a bad index only reaches the hook.
  dlg.log.clear();
  dlg.SendParameterValueFromUI(0, 0.25, true);
  dlg.SendParameterValueFromUI(7, 0.25, true);
  EXPECT_EQ(std::make_pair(dlg.Values(), dlg.log),
            std::make_pair(std::vector<double>{2.5, 2.0, 1.0}, Log{"ui 0 3", "ui 7 3"}));
}

TEST(EditorDelegateDefaults, MessagesFallBackToTheEditorSideHooks)
{
  BareDelegate dlg;
  const uint8_t bytes[] = {0xF0, 0x7D, 0x01, 0xF7};
  // Without controls, a control message is a message to the editor with its control tag, an arbitrary one has
  // tag -1; MIDI and SysEx go to their editor-side hooks; a value for a control goes nowhere.
  dlg.SendControlMsgFromDelegate(5, 12, 3, "abc");
  dlg.SendArbitraryMsgFromDelegate(13, 0, nullptr);
  dlg.SendMidiMsgFromDelegate(IMidiMsg(0, 0x90, 60, 100));
  dlg.SendSysexMsgFromDelegate(ISysEx(0, bytes, 4));
  dlg.SendControlValueFromDelegate(5, 0.5);
  dlg.SendParameterValueFromDelegate(1, 0.5, true);
  EXPECT_EQ(dlg.log, (Log{"msg 12 5 3", "msg 13 -1 0", "midi 60", "sysex 4", "ui 1 4"}));

  // What the editor sends towards the plug-in goes nowhere in the base: no hook, no parameter, no resize.
  dlg.log.clear();
  const std::vector<double> before = dlg.Values();
  dlg.SendMidiMsgFromUI(IMidiMsg(0, 0x90, 61, 100));
  dlg.SendSysexMsgFromUI(ISysEx(0, bytes, 4));
  dlg.SendArbitraryMsgFromUI(14, 2, 0, nullptr);
  dlg.DeferMidiMsg(IMidiMsg(0, 0x80, 61, 0));
  dlg.DeferSysexMsg(ISysEx(0, bytes, 4));
  dlg.DirtyParametersFromUI();
  dlg.SetScreenScale(2.0);
  dlg.SpareHook();
  EXPECT_FALSE(dlg.EditorResizeFromUI(640, 480, true));
  EXPECT_EQ(std::make_pair(dlg.log, dlg.Values()), std::make_pair(Log{}, before));

  // No message or key is taken, and the editor state is empty: nothing written, the position passed back.
  EXPECT_FALSE(dlg.IEditorDelegate::OnMessage(12, 5, 0, nullptr));
  EXPECT_FALSE(dlg.OnKeyDown(IKeyPress("a", 65)) || dlg.OnKeyUp(IKeyPress("a", 65)));
  IByteChunk chunk;
  chunk.Put(int32_t(9));
  EXPECT_TRUE(dlg.SerializeEditorState(chunk));
  EXPECT_EQ(std::make_pair(chunk.Size(), dlg.UnserializeEditorState(chunk, 2)), std::make_pair(4, 2));
}

TEST(EditorControls, KeysGoToTheControlUnderTheMouseOnlyWhileTheEditorIsReady)
{
  KeyDelegate dlg;
  const IKeyPress key("a", 65);
  EXPECT_FALSE(dlg.OnKeyDown(key) || dlg.OnKeyUp(key)); // no editor
  ASSERT_NE(dlg.OpenWindow(nullptr), nullptr);
  ScriptedGraphics* g = dlg.Graphics();

  // Over the control that takes the key: true; over the background only: not taken.
  dlg.knob->keyResult = true;
  g->mouseX = g->mouseY = 15.f;
  EXPECT_TRUE(dlg.OnKeyDown(key) && dlg.OnKeyUp(key));
  g->mouseX = g->mouseY = 50.f;
  EXPECT_FALSE(dlg.OnKeyDown(key) || dlg.OnKeyUp(key));
  EXPECT_EQ(std::make_tuple(dlg.knob->keysDown, dlg.knob->keysUp, dlg.background->keysDown),
            std::make_tuple(1, 1, 0));

  // Before the platform says the context is ready, nothing reaches the controls; nor does the screen scale.
  dlg.SetGraphicsReady(false);
  g->mouseX = g->mouseY = 15.f;
  dlg.SetScreenScale(2.0);
  EXPECT_FALSE(dlg.OnKeyDown(key) || dlg.OnKeyUp(key));
  EXPECT_EQ(std::make_pair(dlg.knob->keysDown, g->GetScreenScale()), std::make_pair(1, 1.f));
  dlg.SetGraphicsReady(true);
  dlg.SetScreenScale(2.0);
  EXPECT_EQ(g->GetScreenScale(), 2.f);
  dlg.CloseWindow();
}

TEST(EditorControls, MessagesAndMidiReachTheControls)
{
  KeyDelegate dlg;
  // Without an editor: nothing for controls, MIDI still reaches the editor-side hook.
  dlg.SendControlMsgFromDelegate(7, 3, 12, "data");
  dlg.SendMidiMsgFromDelegate(IMidiMsg(0, 0x90, 60, 100));
  EXPECT_EQ(dlg.midiUI, 1);

  ASSERT_NE(dlg.OpenWindow(nullptr), nullptr);
  // A control message reaches the control with that tag, and no other; an unknown tag reaches nothing.
  dlg.SendControlMsgFromDelegate(7, 3, 12, "data");
  dlg.SendControlMsgFromDelegate(99, 4, 0, nullptr);
  EXPECT_EQ((std::vector<int>{dlg.knob->delegateMsgs, dlg.knob->lastMsgTag, dlg.knob->lastMsgSize,
                              dlg.background->delegateMsgs}),
            (std::vector<int>{1, 3, 12, 0}));

  // MIDI reaches every control that wants it, then the editor-side hook.
  dlg.SendMidiMsgFromDelegate(IMidiMsg(0, 0x90, 60, 100));
  EXPECT_EQ(std::make_tuple(dlg.knob->midiMsgs, dlg.background->midiMsgs, dlg.midiUI), std::make_tuple(1, 0, 2));

  // The editor state of an open editor is its size and scale; closed, the remembered ones.
  dlg.Graphics()->Resize(120, 80, 1.25f, true);
  IByteChunk open, closed;
  ASSERT_TRUE(dlg.SerializeEditorState(open));
  dlg.CloseWindow();
  ASSERT_TRUE(dlg.SerializeEditorState(closed));
  EXPECT_TRUE(open.IsEqual(closed));
  int32_t w = 0, h = 0;
  float scale = 0.f;
  EXPECT_EQ(closed.Get(scale, closed.Get(h, closed.Get(w, 0))), 12);
  EXPECT_EQ(std::make_tuple(w, h, scale), std::make_tuple(120, 80, 1.25f));
}

namespace
{

// Logs every close with whether a context was there.
class WindowDelegate : public RecordingDelegate
{
public:
  WindowDelegate() : RecordingDelegate(1)
  {
    SetMakeGraphicsFunc([this] { return new ScriptedGraphics(*this, 100, 100, 60, 1.f); });
  }
  void OnUIClose() override { log.push_back(GetUI() ? "close(with context)" : "close"); }
  ScriptedGraphics* Graphics() const { return static_cast<ScriptedGraphics*>(GetUI()); }
  std::vector<float> Remembered() const
  {
    return {float(GetRememberedWidth()), float(GetRememberedHeight()), GetRememberedScale()};
  }
  Log log;
};

IByteChunk EditorState(int width, int height, float scale)
{
  IByteChunk c;
  c.Put(int32_t(width));
  c.Put(int32_t(height));
  c.Put(scale);
  return c;
}

} // namespace

TEST(EditorWindowRestore, ReopeningResizesThroughThePlatformAndEveryCloseCallsTheHook)
{
  // Without a way to make an editor nothing opens, a close still calls the hook, and nothing is remembered.
  WindowDelegate none;
  none.SetMakeGraphicsFunc(nullptr);
  EXPECT_EQ(none.OpenWindow(nullptr), nullptr);
  none.CloseWindow();
  EXPECT_EQ(std::make_pair(none.log, none.HasRememberedSize()), std::make_pair(Log{"close"}, false));

  WindowDelegate dlg;
  ASSERT_NE(dlg.OpenWindow(nullptr), nullptr);
  dlg.Graphics()->Resize(300, 200, 1.5f, true);
  dlg.CloseWindow();
  dlg.CloseWindow(); // a second close calls the hook again and keeps what was remembered
  EXPECT_EQ(std::make_pair(dlg.log, dlg.Remembered()),
            std::make_pair(Log{"close(with context)", "close"}, std::vector<float>{300.f, 200.f, 1.5f}));

  // The next editor is brought to the remembered size with a platform resize.
  ASSERT_NE(dlg.OpenWindow(nullptr), nullptr);
  ScriptedGraphics* g = dlg.Graphics();
  EXPECT_GE(g->Count("PlatformResize(1)"), 1);
  EXPECT_EQ(std::make_tuple(g->Width(), g->Height(), g->GetDrawScale()), std::make_tuple(300, 200, 1.5f));

  // With the editor open and ready, a restored editor state resizes it at once; what is remembered stays.
  const std::vector<float> remembered = dlg.Remembered();
  EXPECT_EQ(dlg.UnserializeEditorState(EditorState(400, 250, 1.f), 0), 12);
  EXPECT_EQ(std::make_tuple(g->Width(), g->Height(), g->GetDrawScale()), std::make_tuple(400, 250, 1.f));
  EXPECT_EQ(dlg.Remembered(), remembered);
  EXPECT_EQ(dlg.UnserializeEditorState(EditorState(500, 500, 1.f), -1), -1);
  EXPECT_EQ(g->Width(), 400);
  dlg.CloseWindow();
}
