// The editor delegates: parameter list, change fan-out, window open/close with remembered size and scale, values
// and messages to controls, and the editor state.

#include "framework/IGEditorDelegate.h"
#include "support/ScriptedGraphics.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

using namespace plugin;
using namespace plugin::igraphics;
using plugin::igraphics::test::RecordingControl;
using plugin::igraphics::test::RecordingDelegate;
using plugin::igraphics::test::ScriptedGraphics;

namespace
{

// The product's editor shape: 424 × 610, resizable from half to double; records the hooks in order.
class EditorDelegate : public RecordingDelegate
{
public:
  explicit EditorDelegate(int nParams = 3) : RecordingDelegate(nParams)
  {
    SetEditorSize(424, 610);
    SetSizeConstraints(848, 212, 305, 1220); // given the wrong way round on purpose
    GetParam(0)->InitDouble("Gain", 0.0, 0.0, 10.0, 0.0);
    GetParam(1)->InitDouble("Steps", 0.0, 0.0, 10.0, 2.0, "", IParam::kFlagStepped);
    GetParam(2)->InitBool("On", false);
    SetMakeGraphicsFunc(
        [this]
        {
          ++graphicsMade;
          lastGraphics = new ScriptedGraphics(*this, GetEditorWidth(), GetEditorHeight(), 60, 1.f);
          return lastGraphics;
        });
    SetLayoutFunc([this](IGraphics* g) { log.push_back(g == GetUI() ? "layout" : "layout(other)"); });
  }

  void OnUIOpen() override
  {
    log.push_back("open");
    RecordingDelegate::OnUIOpen();
  }
  void OnUIClose() override
  {
    log.push_back(GetUI() ? "close(with context)" : "close");
    if (closeAgainFromHook) CloseWindow(); // a re-entrant close must be ignored
  }
  void OnParamChange(int idx, EParamSource source, int offset) override
  {
    log.push_back("change " + std::to_string(idx) + " " + std::to_string(source) + " " + std::to_string(offset));
  }
  void OnParamChangeUI(int idx, EParamSource source) override
  {
    log.push_back("ui " + std::to_string(idx) + " " + std::to_string(source));
  }
  bool OnMessage(int msgTag, int ctrlTag, int, const void*) override
  {
    log.push_back("msg " + std::to_string(msgTag) + " " + std::to_string(ctrlTag));
    return true;
  }
  void OnMidiMsgUI(const IMidiMsg&) override { log.push_back("midi"); }

  ScriptedGraphics* Graphics() const { return static_cast<ScriptedGraphics*>(GetUI()); }

  std::vector<std::string> log;
  int graphicsMade = 0;
  ScriptedGraphics* lastGraphics = nullptr;
  bool closeAgainFromHook = false;
};

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Parameter list and change fan-out
// ---------------------------------------------------------------------------------------------------------------

TEST(EditorDelegate, ParameterListAndResetOrder)
{
  EditorDelegate dlg;
  EXPECT_EQ(dlg.NParams(), 3);
  EXPECT_EQ(dlg.GetParam(-1), nullptr);
  EXPECT_EQ(dlg.GetParam(3), nullptr);
  EXPECT_EQ(dlg.GetMinWidth(), 212);
  EXPECT_EQ(dlg.GetMaxWidth(), 848);

  dlg.OnParamReset(kReset);
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"change 0 0 -1", "ui 0 0", "change 1 0 -1", "ui 1 0", "change 2 0 -1",
                                               "ui 2 0"}));

  // Without an editor the value still reaches the editor-side hook, and messages fall back to OnMessage.
  dlg.log.clear();
  dlg.SendParameterValueFromDelegate(1, 3.0, false);
  dlg.SendControlMsgFromDelegate(5, 9, 0, nullptr);
  dlg.SendArbitraryMsgFromDelegate(4, 0, nullptr);
  dlg.SendControlValueFromDelegate(5, 0.5);
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"ui 1 4", "msg 4 -1"}));
}

TEST(EditorDelegate, UiValuesSetTheParameterAndIgnoreBadIndices)
{
  EditorDelegate dlg;
  dlg.SendParameterValueFromUI(0, 0.25, true);
  EXPECT_EQ(dlg.GetParam(0)->Value(), 2.5);
  dlg.SendParameterValueFromUI(7, 0.25, true);
  EXPECT_EQ(dlg.log.back(), "ui 7 3");
}

// ---------------------------------------------------------------------------------------------------------------
// Window
// ---------------------------------------------------------------------------------------------------------------

TEST(EditorWindow, WithoutMakeGraphicsNothingOpens)
{
  EditorDelegate dlg;
  dlg.SetMakeGraphicsFunc(nullptr);
  EXPECT_EQ(dlg.OpenWindow(nullptr), nullptr);
  EXPECT_EQ(dlg.GetUI(), nullptr);
  EXPECT_TRUE(dlg.log.empty());
  dlg.CloseWindow();
  EXPECT_FALSE(dlg.HasRememberedSize());
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"close"}));
}

TEST(EditorWindow, OpenCloseOpenRemembersSizeAndScale)
{
  EditorDelegate dlg;
  int parent = 0;
  void* view = dlg.OpenWindow(&parent);
  ASSERT_NE(view, nullptr);
  ScriptedGraphics* first = dlg.Graphics();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->lastParent, &parent);
  EXPECT_TRUE(dlg.GetGraphicsReady());
  EXPECT_EQ(first->Width(), 424);
  EXPECT_FALSE(dlg.HasRememberedSize());
  // The platform lays the controls out with the new context, then announces the open editor.
  ASSERT_GE(dlg.log.size(), 2u);
  EXPECT_EQ(dlg.log[0], "layout");
  EXPECT_EQ(dlg.log[1], "open");

  first->Resize(500, 700, 1.5f, true);
  dlg.log.clear();
  dlg.CloseWindow();
  EXPECT_EQ(dlg.GetUI(), nullptr);
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"close(with context)"}));
  EXPECT_TRUE(dlg.HasRememberedSize());
  EXPECT_EQ(dlg.GetRememberedWidth(), 500);
  EXPECT_EQ(dlg.GetRememberedHeight(), 700);
  EXPECT_FLOAT_EQ(dlg.GetRememberedScale(), 1.5f);

  // The new context starts at the base size; the delegate brings it to what the first one had.
  ASSERT_NE(dlg.OpenWindow(nullptr), nullptr);
  ScriptedGraphics* second = dlg.Graphics();
  EXPECT_EQ(dlg.graphicsMade, 2);
  EXPECT_EQ(second->Width(), 500);
  EXPECT_EQ(second->Height(), 700);
  EXPECT_FLOAT_EQ(second->GetDrawScale(), 1.5f);
  EXPECT_GE(second->Count("PlatformResize(1)"), 1);
}

TEST(EditorWindow, CloseIsGuardedAndRepeatable)
{
  EditorDelegate dlg;
  ASSERT_NE(dlg.OpenWindow(nullptr), nullptr);
  dlg.Graphics()->Resize(300, 400, 1.f, true);
  dlg.closeAgainFromHook = true;
  dlg.log.clear();
  dlg.CloseWindow();
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"close(with context)"}));

  // A second close calls the hook again and leaves what was remembered.
  dlg.closeAgainFromHook = false;
  dlg.CloseWindow();
  EXPECT_EQ(dlg.log.back(), "close");
  EXPECT_EQ(dlg.GetRememberedWidth(), 300);
  EXPECT_EQ(dlg.GetRememberedHeight(), 400);

  // Opening over an open editor closes the old one first.
  ASSERT_NE(dlg.OpenWindow(nullptr), nullptr);
  dlg.log.clear();
  ASSERT_NE(dlg.OpenWindow(nullptr), nullptr);
  EXPECT_EQ(dlg.log.front(), "close(with context)");
  EXPECT_EQ(dlg.graphicsMade, 3);
}

// ---------------------------------------------------------------------------------------------------------------
// Values and messages for the controls
// ---------------------------------------------------------------------------------------------------------------

TEST(EditorControls, ValuesReachEveryLinkedSlot)
{
  EditorDelegate dlg;
  ASSERT_NE(dlg.OpenWindow(nullptr), nullptr);
  IGraphics* g = dlg.GetUI();
  auto* a = new RecordingControl(IRECT(0, 0, 10, 10), 1);
  auto* b = new RecordingControl(IRECT(10, 0, 20, 10), std::vector<int>{0, 1});
  auto* c = new RecordingControl(IRECT(20, 0, 30, 10), 2);
  ASSERT_TRUE(g->AttachControl(a, 7));
  ASSERT_TRUE(g->AttachControl(b));
  ASSERT_TRUE(g->AttachControl(c));

  // A real value is step-rounded before it is normalised: 2.9 with step 2 on 0..10 is 2, so 0.2.
  dlg.log.clear();
  dlg.SendParameterValueFromDelegate(1, 2.9, false);
  EXPECT_DOUBLE_EQ(a->GetValue(0), 0.2);
  EXPECT_DOUBLE_EQ(b->GetValue(1), 0.2);
  EXPECT_DOUBLE_EQ(b->GetValue(0), 0.0);
  EXPECT_DOUBLE_EQ(c->GetValue(0), 0.0);
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"ui 1 4"}));

  dlg.SendParameterValueFromDelegate(0, 0.75, true);
  EXPECT_DOUBLE_EQ(b->GetValue(0), 0.75);

  dlg.SendControlValueFromDelegate(7, 0.9);
  EXPECT_DOUBLE_EQ(a->GetValue(0), 0.9);
  dlg.SendControlValueFromDelegate(99, 0.9); // no such tag

  dlg.SendControlMsgFromDelegate(7, 3, 12, "data");
  EXPECT_EQ(a->delegateMsgs, 1);
  EXPECT_EQ(a->lastMsgTag, 3);
  EXPECT_EQ(a->lastMsgSize, 12);
  dlg.SendControlMsgFromDelegate(99, 3, 0, nullptr);

  c->SetWantsMidi(true);
  dlg.log.clear();
  dlg.SendMidiMsgFromDelegate(IMidiMsg(0, 0x90, 60, 100));
  EXPECT_EQ(a->midiMsgs, 0);
  EXPECT_EQ(c->midiMsgs, 1);
  EXPECT_EQ(dlg.log, (std::vector<std::string>{"midi"}));
}

TEST(EditorControls, KeysAndScreenScaleNeedAReadyContext)
{
  EditorDelegate dlg;
  EXPECT_FALSE(dlg.OnKeyDown(IKeyPress("a", 65)));
  dlg.SetScreenScale(2.0);

  ASSERT_NE(dlg.OpenWindow(nullptr), nullptr);
  ScriptedGraphics* g = dlg.Graphics();
  auto* bg = new RecordingControl(IRECT(0, 0, 424, 610));
  auto* key = new RecordingControl(IRECT(10, 10, 50, 50));
  key->keyResult = true;
  g->AttachControl(bg);
  g->AttachControl(key);
  g->mouseX = 20.f;
  g->mouseY = 20.f;
  EXPECT_TRUE(dlg.OnKeyDown(IKeyPress("a", 65)));
  EXPECT_TRUE(dlg.OnKeyUp(IKeyPress("a", 65)));
  EXPECT_EQ(key->keysDown, 1);
  EXPECT_EQ(key->keysUp, 1);

  dlg.SetScreenScale(2.0);
  EXPECT_FLOAT_EQ(g->GetScreenScale(), 2.f);

  dlg.SetGraphicsReady(false);
  EXPECT_FALSE(dlg.OnKeyDown(IKeyPress("a", 65)));
  dlg.SetScreenScale(1.0);
  EXPECT_FLOAT_EQ(g->GetScreenScale(), 2.f);
}

// ---------------------------------------------------------------------------------------------------------------
// Editor state
// ---------------------------------------------------------------------------------------------------------------

TEST(EditorState, RoundTripAndDamagedInput)
{
  EditorDelegate dlg;
  ASSERT_NE(dlg.OpenWindow(nullptr), nullptr);
  dlg.Graphics()->Resize(500, 600, 1.25f, true);
  IByteChunk chunk;
  chunk.Put(int32_t(-5)); // something in front
  ASSERT_TRUE(dlg.SerializeEditorState(chunk));
  ASSERT_EQ(chunk.Size(), 16);
  dlg.CloseWindow();

  // Closed: the state read is remembered and the next window takes it.
  EditorDelegate other;
  ASSERT_NE(other.OpenWindow(nullptr), nullptr);
  other.CloseWindow();
  EXPECT_EQ(other.UnserializeEditorState(chunk, 4), 16);
  EXPECT_EQ(other.GetRememberedWidth(), 500);
  EXPECT_EQ(other.GetRememberedHeight(), 600);
  EXPECT_FLOAT_EQ(other.GetRememberedScale(), 1.25f);
  IByteChunk closed;
  ASSERT_TRUE(other.SerializeEditorState(closed));
  EXPECT_TRUE(closed.IsEqual(
      [&]
      {
        IByteChunk c;
        c.PutBytes(chunk.GetData() + 4, 12);
        return c;
      }()));
  ASSERT_NE(other.OpenWindow(nullptr), nullptr);
  EXPECT_EQ(other.Graphics()->Width(), 500);
  EXPECT_FLOAT_EQ(other.Graphics()->GetDrawScale(), 1.25f);

  // Open and ready: applied to the context at once.
  IByteChunk resize;
  resize.Put(int32_t(400));
  resize.Put(int32_t(500));
  resize.Put(1.0f);
  EXPECT_EQ(other.UnserializeEditorState(resize, 0), 12);
  EXPECT_EQ(other.Graphics()->Width(), 400);
  other.CloseWindow();

  // Short, zero or non-finite states are not remembered.
  const int w = other.GetRememberedWidth();
  IByteChunk eight;
  eight.Put(int32_t(640));
  eight.Put(int32_t(480));
  EXPECT_EQ(other.UnserializeEditorState(eight, 0), -1);
  EXPECT_EQ(other.UnserializeEditorState(resize, -1), -1);
  IByteChunk zeros;
  zeros.Put(int32_t(0));
  zeros.Put(int32_t(0));
  zeros.Put(0.0f);
  EXPECT_EQ(other.UnserializeEditorState(zeros, 0), 12);
  IByteChunk nan;
  nan.Put(int32_t(640));
  nan.Put(int32_t(480));
  nan.Put(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(other.UnserializeEditorState(nan, 0), 12);
  EXPECT_EQ(other.GetRememberedWidth(), w);
  EXPECT_FLOAT_EQ(other.GetRememberedScale(), 1.f);
  ASSERT_NE(other.OpenWindow(nullptr), nullptr);
  EXPECT_EQ(other.Graphics()->Width(), 400);
}
