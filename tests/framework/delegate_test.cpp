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
using Log = std::vector<std::string>;

namespace
{

// The product's editor shape: 424 × 610, resizable from half to double; records the hooks in order.
class EditorDelegate : public RecordingDelegate
{
public:
  EditorDelegate() : RecordingDelegate(3)
  {
    SetEditorSize(424, 610);
    SetSizeConstraints(848, 212, 305, 1220); // given the wrong way round on purpose
    GetParam(0)->InitDouble("Gain", 0.0, 0.0, 10.0, 0.0);
    GetParam(1)->InitDouble("Steps", 0.0, 0.0, 10.0, 2.0, "", IParam::kFlagStepped);
    GetParam(2)->InitBool("On", false);
    SetMakeGraphicsFunc([this] { return ++graphicsMade, new ScriptedGraphics(*this, 424, 610, 60, 1.f); });
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
  void OnParamChangeUI(int idx, EParamSource source) override
  {
    log.push_back("ui " + std::to_string(idx) + " " + std::to_string(source));
  }
  ScriptedGraphics* Graphics() const { return static_cast<ScriptedGraphics*>(GetUI()); }
  ScriptedGraphics* Open()
  {
    EXPECT_NE(OpenWindow(nullptr), nullptr);
    return Graphics();
  }
  std::vector<int> Remembered() const { return {GetRememberedWidth(), GetRememberedHeight()}; }
  Log log;
  int graphicsMade = 0;
  bool closeAgainFromHook = false;
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

// ---- Window ----

TEST(EditorWindow, APluginWithoutSizeLimitsReopensAtItsSize)
{
  // No limits set (all 0), or only some: 0 means "none", so neither the resize nor the reopening shrinks the
  // editor to nothing; real limits still hold.
  for (const auto& [maxW, maxH, reopened] : {std::tuple{0, 0, std::vector<int>{500, 700}}, {450, 650, {450, 650}}})
  {
    EditorDelegate dlg;
    dlg.SetSizeConstraints(0, maxW, 0, maxH);
    dlg.Open()->Resize(500, 700, 1.f, true);
    dlg.CloseWindow();
    ScriptedGraphics* again = dlg.Open();
    EXPECT_EQ((std::vector<int>{again->Width(), again->Height()}), reopened) << maxW;
  }
}

TEST(EditorWindow, OpenCloseOpenRemembersSizeAndScale)
{
  EditorDelegate dlg;
  int parent = 0;
  ASSERT_NE(dlg.OpenWindow(&parent), nullptr);
  ScriptedGraphics* first = dlg.Graphics();
  EXPECT_EQ(first->lastParent, &parent);
  // The platform lays the controls out with the new context, then announces the open editor, which sends every
  // value to the controls.
  EXPECT_EQ(dlg.log, (Log{"layout", "open", "ui 0 4", "ui 1 4", "ui 2 4"}));
  first->Resize(500, 700, 1.5f, true);
  dlg.CloseWindow();
  EXPECT_EQ(std::pair(dlg.Remembered(), dlg.GetRememberedScale()), std::pair(std::vector<int>{500, 700}, 1.5f));

  // The new context starts at the base size; the delegate brings it to what the first one had.
  ScriptedGraphics* second = dlg.Open();
  EXPECT_EQ(std::make_tuple(dlg.graphicsMade, second->Width(), second->Height(), second->GetDrawScale()),
            std::make_tuple(2, 500, 700, 1.5f));
}

TEST(EditorWindow, CloseIsGuardedAndRepeatable)
{
  EditorDelegate none;
  none.SetMakeGraphicsFunc(nullptr);
  EXPECT_EQ(none.OpenWindow(nullptr), nullptr);
  EXPECT_FALSE(none.HasRememberedSize());

  EditorDelegate dlg;
  dlg.Open()->Resize(300, 400, 1.f, true);
  dlg.closeAgainFromHook = true;
  dlg.log.clear();
  dlg.CloseWindow();
  EXPECT_EQ(dlg.log, (Log{"close(with context)"}));

  // A second close leaves what was remembered.
  dlg.closeAgainFromHook = false;
  dlg.CloseWindow();
  EXPECT_EQ(dlg.Remembered(), (std::vector<int>{300, 400}));

  // Opening over an open editor closes the old one first.
  dlg.Open();
  dlg.log.clear();
  dlg.Open();
  EXPECT_EQ(std::pair(dlg.log.front(), dlg.graphicsMade), std::pair(std::string("close(with context)"), 3));
}

// ---- Values and messages for the controls ----

TEST(EditorControls, ValuesReachEveryLinkedSlot)
{
  EditorDelegate dlg;
  IGraphics* g = dlg.Open();
  auto* a = new RecordingControl(IRECT(0, 0, 10, 10), 1);
  auto* b = new RecordingControl(IRECT(10, 0, 20, 10), std::vector<int>{0, 1});
  auto* c = new RecordingControl(IRECT(20, 0, 30, 10), 2);
  ASSERT_TRUE(g->AttachControl(a, 7) && g->AttachControl(b) && g->AttachControl(c));

  // A real value is step-rounded before it is normalised: 2.9 with step 2 on 0..10 is 2, so 0.2.
  dlg.log.clear();
  dlg.SendParameterValueFromDelegate(1, 2.9, false);
  EXPECT_EQ((std::vector<double>{a->GetValue(0), b->GetValue(1), b->GetValue(0), c->GetValue(0)}),
            (std::vector<double>{0.2, 0.2, 0.0, 0.0}));
  EXPECT_EQ(dlg.log, (Log{"ui 1 4"}));
  dlg.SendControlValueFromDelegate(7, 0.9);
  EXPECT_DOUBLE_EQ(a->GetValue(0), 0.9);
}

// A control closes the editor from the value, MIDI message or message handed to it: the hand-off goes no
// further (the next control linked to the parameter gets nothing), the plug-in's own hook still runs, and the
// context, controls and all, goes once the hand-off has returned. On any graphics back end, not only the Mac one.
TEST(EditorControls, HandOffStopsWhenAControlClosesTheEditor)
{
  class Closer : public RecordingControl
  {
  public:
    Closer(const IRECT& r, int paramIdx, IGEditorDelegate& dlg) : RecordingControl(r, paramIdx), mDlg(dlg)
    {
      SetWantsMidi(true);
    }
    void SetValueFromDelegate(double value, int valIdx) override
    {
      mDlg.CloseWindow();
      RecordingControl::SetValueFromDelegate(value, valIdx);
    }
    void OnMidi(const IMidiMsg&) override { mDlg.CloseWindow(); }

  private:
    IGEditorDelegate& mDlg;
  };

  class Next : public RecordingControl
  {
  public:
    Next(const IRECT& r, int& handed) : RecordingControl(r, 0), mHanded(handed) { SetWantsMidi(true); }
    void SetValueFromDelegate(double, int) override { ++mHanded; }
    void OnMidi(const IMidiMsg&) override { ++mHanded; }

  private:
    int& mHanded;
  };

  for (const std::string via : {"value", "midi"})
  {
    SCOPED_TRACE(via);
    EditorDelegate dlg;
    IGraphics* g = dlg.Open();
    int deleted = 0, handed = 0;
    auto* closer = new Closer(IRECT(0, 0, 10, 10), 0, dlg);
    auto* next = new Next(IRECT(10, 0, 20, 10), handed);
    closer->deleted = next->deleted = &deleted;
    ASSERT_TRUE(g->AttachControl(closer) && g->AttachControl(next));
    dlg.log.clear();
    if (via == "value")
      dlg.SendParameterValueFromDelegate(0, 4.0, false);
    else
      dlg.SendMidiMsgFromDelegate(IMidiMsg(0, 0x90, 60, 100));
    EXPECT_EQ(dlg.GetUI(), nullptr);
    EXPECT_EQ(handed, 0);
    EXPECT_EQ(deleted, 2) << "gone once the hand-off returned";
    EXPECT_EQ(dlg.log, (via == "value" ? Log{"close(with context)", "ui 0 4"} : Log{"close(with context)"}));
  }
}

// ---- Editor state ----

TEST(EditorState, RoundTripAndDamagedInput)
{
  EditorDelegate dlg;
  dlg.Open()->Resize(500, 600, 1.25f, true);
  IByteChunk chunk;
  chunk.Put(int32_t(-5)); // something in front
  ASSERT_TRUE(dlg.SerializeEditorState(chunk));
  ASSERT_EQ(chunk.Size(), 16);
  dlg.CloseWindow();

  // Closed: the state read is remembered, written back as it was, and the next window takes it.
  EditorDelegate other;
  other.Open();
  other.CloseWindow();
  EXPECT_EQ(other.UnserializeEditorState(chunk, 4), 16);
  EXPECT_EQ(std::pair(other.Remembered(), other.GetRememberedScale()), std::pair(std::vector<int>{500, 600}, 1.25f));
  EXPECT_EQ(other.Open()->Width(), 500);
  EXPECT_EQ(other.Graphics()->GetDrawScale(), 1.25f);
  other.CloseWindow();

  // Short, zero or non-finite states are not remembered.
  const std::vector<int> remembered = other.Remembered();
  IByteChunk eight;
  eight.Put(int32_t(640));
  eight.Put(int32_t(480));
  EXPECT_EQ(other.UnserializeEditorState(eight, 0), -1);
  EXPECT_EQ(other.UnserializeEditorState(EditorState(0, 0, 0.f), 0), 12);
  EXPECT_EQ(other.UnserializeEditorState(EditorState(640, 480, std::numeric_limits<float>::quiet_NaN()), 0), 12);
  EXPECT_EQ(std::pair(other.Remembered(), other.GetRememberedScale()), std::pair(remembered, 1.25f));
  EXPECT_EQ(other.Open()->Width(), 500);
}
