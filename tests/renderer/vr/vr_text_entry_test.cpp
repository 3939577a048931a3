// The in-editor text field drawn for real through IGraphicsVR: opened over a control, first with its text
// selected, then with the cursor after the text; frames saved as PNG.

#include "controls/ITextEntryControl.h"
#include "framework/IParam.h"
#include "support/vr_rig.h"

#include <cmath>
#include <cstdio>

using namespace vrtest;

namespace
{

const IColor kFieldBG(255, 250, 248, 232), kFieldFG(255, 20, 60, 160), kPanel(255, 200, 206, 214);

class ValueBox : public IControl
{
public:
  ValueBox(const IRECT& r, int paramIdx) : IControl(r, paramIdx) {}
  void Draw(IGraphics& g) override { g.FillRect(kPanel, GetRECT()); }
};

} // namespace

TEST(VRTextEntry, SelectionTextAndCursorDrawIntoTheLayer)
{
  for (float scale : {1.f, 2.f})
  {
    Editor e(240, 80, scale, 1);
    TestGraphicsVR& g = e.g;
    e.dlg.GetParam(0)->InitDouble("Gain", 0.0, -12.0, 12.0, 0.1, "dB");
    e.dlg.SetGraphicsReady(true);
    ASSERT_TRUE(g.LoadFont("Roboto-Regular", kRoboto));

    auto* box = static_cast<ValueBox*>(g.AttachControl(new ValueBox(g.GetBounds(), 0)));
    box->SetText(IText(20.f, COLOR_BLACK, "Roboto-Regular", kAlignCenter, kVAlignMiddle, 0.f, kFieldBG, kFieldFG));
    box->SetPromptShowsParamLabel(true);
    box->DisablePrompt(false);
    g.AttachTextEntryControl();
    auto* entry = static_cast<ITextEntryControl*>(g.GetTextEntryControl());
    const IRECT field(40.f, 20.f, 200.f, 60.f);
    g.PromptUserInput(box, field, 0);
    ASSERT_TRUE(entry->IsEditing());
    ASSERT_EQ(entry->GetUTF8(), "0.0 dB");

    int w = 0, h = 0;
    const auto at = [&](const std::vector<uint8_t>& px, float x, float y)
    { return &px[(size_t(y * scale) * size_t(w) + size_t(x * scale)) * 4]; };
    // BGRA; the selection is the foreground at weight 0.2 over the field's background.
    const auto mix = [](uint8_t bg, uint8_t fg) { return 0.8 * bg + 0.2 * fg; };

    g.DrawFrame();
    const auto selected = g.Pixels(&w, &h);
    ASSERT_EQ(w, int(240 * scale));
    const std::string name = ::testing::TempDir() + "vr_text_entry_x" + std::to_string(int(scale));
    if (KeepImages()) g.SavePNG(name + "_selected.png");
    EXPECT_EQ(at(selected, 20.f, 40.f)[2], kPanel.R);     // outside the field
    EXPECT_EQ(at(selected, 45.f, 24.f)[2], kFieldBG.R);   // inside, away from the text
    const uint8_t* tint = at(selected, 120.f, 32.f);     // inside the selection, above the glyphs
    EXPECT_NEAR(tint[0], mix(kFieldBG.B, kFieldFG.B), 2.0);
    EXPECT_NEAR(tint[2], mix(kFieldBG.R, kFieldFG.R), 2.0);

    // End: no selection, the cursor after the text. The column right of the last glyph ink is the cursor's.
    IKeyPress end;
    end.VK = 35;
    EXPECT_TRUE(g.OnKeyDown(0, 0, end));
    ASSERT_TRUE(entry->IsCursorVisible());
    g.DrawFrame();
    const auto cursor = g.Pixels(&w, &h);
    if (KeepImages()) g.SavePNG(name + "_cursor.png");
    EXPECT_EQ(at(cursor, 120.f, 32.f)[2], kFieldBG.R); // no selection tint any more
    int cursorColumn = -1;
    for (int px = int(199 * scale); px > int(100 * scale) && cursorColumn < 0; --px)
    {
      int dark = 0;
      for (int py = int(30 * scale); py < int(50 * scale); ++py)
        dark += cursor[(size_t(py) * size_t(w) + size_t(px)) * 4 + 2] < 100;
      if (dark >= int(16 * scale)) cursorColumn = px; // a solid bar, not a glyph's stroke
    }
    // The cursor after the text stands where the selection of the whole text ended.
    int selectionEnd = -1;
    const int row = int(32 * scale);
    for (int px = 0; px < w; ++px)
      if (std::abs(selected[(size_t(row) * size_t(w) + size_t(px)) * 4 + 2] - mix(kFieldBG.R, kFieldFG.R)) < 3)
        selectionEnd = px;
    EXPECT_GT(selectionEnd, int(120 * scale));
    EXPECT_NEAR(cursorColumn, selectionEnd, 2);
  }
}
