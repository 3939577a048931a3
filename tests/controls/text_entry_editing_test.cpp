// The in-editor text entry beyond typing: where the row and cursor sit for each alignment, the double click, the
// edit menu's commands, and the space, delete and insert keys. Positions are worked out by hand (7 units per
// character, text size 14).

#include "controls/ITextEntryControl.h"
#include "controls/support/ClockedFixture.h"
#include "controls/support/PrimitiveRecorder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

using namespace plugin::igraphics;
using namespace plugin::igraphics::test;

namespace
{

constexpr int kRight = 39, kHome = 36, kEnd = 35, kInsert = 45, kDelete = 46;

struct TextEntryEditingTest : ClockedFixture<PrimitiveRecorder>
{
  ITextEntryControl* entry = nullptr;
  RecordingControl* label = nullptr;

  TextEntryEditingTest() : ClockedFixture(1) {}
  void SetUp() override
  {
    ClockedFixture::SetUp();
    g = std::make_unique<PrimitiveRecorder>(dlg, 400, 300);
    g->AttachTextEntryControl();
    entry = static_cast<ITextEntryControl*>(g->GetTextEntryControl());
    label = static_cast<RecordingControl*>(g->AttachControl(new RecordingControl(IRECT(20, 100, 200, 130), -1)));
  }
  void Open(const char* str, int align = kAlignNear, int vAlign = kVAlignMiddle)
  {
    g->CreateTextEntry(label, IText(14.f, COLOR_BLACK, "Roboto-Regular", align, vAlign), IRECT(20, 100, 200, 130), str,
                       -1);
  }
  bool Key(int vk, const std::string& utf8 = "", bool shift = false, bool ctrl = false)
  {
    return g->OnKeyDown(0, 0, IKeyPress(utf8.c_str(), vk, shift, ctrl, false));
  }
  void Type(const std::string& s)
  {
    for (char ch : s)
      Key(0, std::string(1, ch));
  }
  void RightClick(float x, float y, int choice)
  {
    g->menuChoice = choice;
    g->OnMouseDown({IMouseInfo{x, y, 0, 0, IMouseMod(false, true)}});
    g->OnMouseUp({IMouseInfo{x, y, 0, 0, IMouseMod(false, true)}});
  }
  std::string Text() const { return entry->GetUTF8(); }
  // The last rectangle filled while drawing the entry: the cursor when nothing is selected.
  IRECT Cursor()
  {
    g->Reset();
    entry->Draw(*g);
    const auto fills = g->Of("FillRect");
    return fills.empty() ? IRECT() : fills.back().r;
  }
};

} // namespace

TEST_F(TextEntryEditingTest, TheCursorSitsWhereTheAlignmentsPutTheRow)
{
  // Field 20..200 × 100..130; a 14-high row: top at 0, middle at (30 − 14) / 2 = 8, bottom at 16; the cursor is
  // shrunk by 1.4 at top and bottom and one unit wide, ending at x0 plus the widths before it.
  struct Case
  {
    int align, vAlign;
    const char* text;
    bool toEnd;
    IRECT cursor;
  };
  const Case cases[] = {
      {kAlignNear, kVAlignTop, "", false, {19, 101.4f, 20, 112.6f}},
      {kAlignCenter, kVAlignMiddle, "", false, {109, 109.4f, 110, 120.6f}}, // empty: the centre of the field
      {kAlignFar, kVAlignBottom, "", false, {199, 117.4f, 200, 128.6f}},
      {kAlignFar, kVAlignMiddle, "ab", false, {185, 109.4f, 186, 120.6f}}, // x0 = 200 − 14
      {kAlignFar, kVAlignMiddle, "ab", true, {199, 109.4f, 200, 120.6f}},
      {kAlignCenter, kVAlignTop, "abcd", true, {123, 101.4f, 124, 112.6f}}, // x0 = 110 − 14, plus 28
  };
  for (const Case& c : cases)
  {
    Open(c.text, c.align, c.vAlign);
    Key(kHome); // drops the selection the entry opened with
    if (c.toEnd) Key(kEnd);
    EXPECT_TRUE(Near(Cursor(), c.cursor)) << c.align << " " << c.vAlign << " " << c.text;
    Key(27);
  }
}

TEST_F(TextEntryEditingTest, ADoubleClickSelectsEverythingWhileOpenOnly)
{
  Open("hello");
  Key(kEnd);
  g->OnMouseDblClick(60, 115, IMouseMod(true));
  EXPECT_EQ((std::tuple{entry->GetEditState().select_start, entry->GetEditState().select_end}), (std::tuple{0, 5}));
  // The selection is drawn at a fifth of the text colour's weight over the five characters.
  g->Reset();
  entry->Draw(*g);
  const auto fills = g->Of("FillRect");
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_TRUE(Near(fills[1].r, {20, 109.4f, 55, 120.6f}));
  EXPECT_FLOAT_EQ(fills[1].weight, 0.2f);

  Key(27);
  const auto closed = entry->GetEditState();
  entry->OnMouseDblClick(60, 115, IMouseMod(true));
  EXPECT_EQ((std::tuple{entry->GetEditState().select_start, entry->GetEditState().select_end}),
            (std::tuple{closed.select_start, closed.select_end}));
}

TEST_F(TextEntryEditingTest, TheEditMenuCutsPastesOrDoesNothing)
{
  Open("hello world");
  Key(kHome);
  Key(kRight, "", true, true); // "hello " selected
  RightClick(60, 115, 0);      // Cut
  ASSERT_EQ(g->menus.size(), 1u);
  EXPECT_EQ(g->menus[0].items, (std::vector<std::string>{"Cut", "Copy", "Paste"}));
  EXPECT_EQ((std::tuple{g->clipboard, Text()}), (std::tuple{std::string("hello "), std::string("world")}));

  g->clipboard = "X";
  Key(kEnd);
  RightClick(60, 115, 2); // Paste at the cursor
  EXPECT_EQ(Text(), "worldX");
  RightClick(60, 115, -1); // dismissed
  EXPECT_EQ(Text(), "worldX");
  EXPECT_TRUE(entry->IsEditing());
}

TEST_F(TextEntryEditingTest, SpaceDeleteAndInsertModeEditAtTheCursor)
{
  Open("abc");
  Key(kHome);
  EXPECT_TRUE(Key(kDelete));
  EXPECT_EQ(Text(), "bc");
  EXPECT_TRUE(Key(32, " "));
  EXPECT_EQ(Text(), " bc");
  Key(kInsert); // insert mode: a typed character replaces the one at the cursor
  Type("X");
  EXPECT_EQ(Text(), " Xc");
  Key(kInsert);
  Type("Y");
  EXPECT_EQ(Text(), " XYc");
  Key(kEnd);
  Key(kInsert);
  Type("Z"); // at the end there is nothing to replace
  EXPECT_EQ(Text(), " XYcZ");
  // A character beyond 16 bits replaces one character too, as its pair.
  Key(kHome);
  Key(kRight);
  EXPECT_TRUE(Key(0, "\xF0\x9F\x8E\xB5"));
  EXPECT_EQ(Text(), " \xF0\x9F\x8E\xB5YcZ");
}
