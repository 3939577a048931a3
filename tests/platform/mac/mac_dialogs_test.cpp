// Message boxes, URLs and the clipboard of IGraphicsMac.

#include "support/MacTestEditor.h"

#include <gtest/gtest.h>

using namespace mactest;

namespace
{

TEST(MacDialogs, MessageBoxButtonsAndResults)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  // A message box ends the mouse capture first.
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDown, e.At(40, 40));
  ASSERT_TRUE(e.G().ControlIsCaptured());
  struct Row
  {
    EMsgBoxType type;
    int button;
    EMsgBoxResult result;
    std::vector<std::string> buttons;
  };
  const Row rows[] = {
    {kMB_OK, 1, kOK, {"OK"}},
    {kMB_OKCANCEL, 2, kCANCEL, {"OK", "Cancel"}},
    {kMB_YESNOCANCEL, 2, kCANCEL, {"Yes", "Cancel", "No"}},
    {kMB_YESNOCANCEL, 3, kNO, {"Yes", "Cancel", "No"}},
    {kMB_YESNO, 2, kNO, {"Yes", "No"}},
    {static_cast<EMsgBoxType>(5), 1, static_cast<EMsgBoxResult>(4), {"Retry", "Cancel"}},
  };
  for (const Row& r : rows)
  {
    SCOPED_TRACE(std::to_string(r.type) + "/" + std::to_string(r.button));
    ZQAppKitScriptAlert(r.button);
    EMsgBoxResult completed = kNoResult;
    EXPECT_EQ(e.G().ShowMessageBox("Body 100%", "Title", r.type, [&](EMsgBoxResult res) { completed = res; }), r.result);
    EXPECT_EQ(completed, r.result);
    EXPECT_FALSE(e.G().ControlIsCaptured());
    const ZQAlertRecord& rec = ZQAppKitAlertRecords().back();
    EXPECT_EQ(rec.message, "Body 100%");
    EXPECT_EQ(rec.buttons, r.buttons);
  }
  const size_t shown = ZQAppKitAlertRecords().size();
  EXPECT_EQ(e.G().ShowMessageBox("x", "y", static_cast<EMsgBoxType>(2)), kCANCEL);
  EXPECT_EQ(ZQAppKitAlertRecords().size(), shown);
  // Null texts are empty; text that is not UTF-8 still shows.
  e.G().ShowMessageBox(nullptr, "\xff", kMB_OK);
  EXPECT_EQ(ZQAppKitAlertRecords().back().message, "");
  EXPECT_FALSE(ZQAppKitAlertRecords().back().title.empty());
}

TEST(MacDialogs, OpenURL)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  ZQAppKitSetWorkspaceAnswer(1);
  EXPECT_TRUE(e.G().OpenURL("https://example.com/a"));
  EXPECT_EQ(ZQAppKitWorkspaceRequests().back().kind, "openURL");
  EXPECT_EQ(ZQAppKitWorkspaceRequests().back().target, "https://example.com/a");
  EXPECT_TRUE(e.G().OpenURL("/tmp/some folder"));
  EXPECT_EQ(ZQAppKitWorkspaceRequests().back().target.rfind("file://", 0), 0u);
  // Text that makes no URL opened nothing: false, and no request.
  const size_t n = ZQAppKitWorkspaceRequests().size();
  EXPECT_FALSE(e.G().OpenURL("http://bad url"));
  EXPECT_FALSE(e.G().OpenURL(""));
  EXPECT_FALSE(e.G().OpenURL(nullptr));
  EXPECT_EQ(ZQAppKitWorkspaceRequests().size(), n);
  ZQAppKitSetWorkspaceAnswer(0);
  EXPECT_FALSE(e.G().OpenURL("https://example.com"));
}

TEST(MacDialogs, Clipboard)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  Util_String s;
  EXPECT_FALSE(e.G().GetTextFromClipboard(s));
  EXPECT_STREQ(s.Get(), "");
  EXPECT_TRUE(e.G().SetTextInClipboard("Gain 2.5 dB"));
  EXPECT_EQ(ZQAppKitPasteboardString(), "Gain 2.5 dB");
  EXPECT_TRUE(e.G().GetTextFromClipboard(s));
  EXPECT_STREQ(s.Get(), "Gain 2.5 dB");
}

} // namespace
