// Message boxes, file and folder prompts, URLs and the clipboard of IGraphicsMac.

#include "support/MacTestEditor.h"

#include <gtest/gtest.h>

using namespace mactest;

namespace
{

TEST(MacDialogs, MessageBoxButtonsAndResults)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  struct Row
  {
    EMsgBoxType type;
    int button;
    EMsgBoxResult result;
    std::vector<std::string> buttons;
  };
  const Row rows[] = {
    {kMB_OK, 1, kOK, {"OK"}},
    {kMB_OKCANCEL, 1, kOK, {"OK", "Cancel"}},
    {kMB_OKCANCEL, 2, kCANCEL, {"OK", "Cancel"}},
    {kMB_YESNOCANCEL, 1, kYES, {"Yes", "Cancel", "No"}},
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
    const ZQAlertRecord& rec = ZQAppKitAlertRecords().back();
    EXPECT_EQ(rec.title, "Title");
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

TEST(MacDialogs, MessageBoxEndsTheMouseCapture)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  ZQAppKitMouseEvent(e.window, NSEventTypeLeftMouseDown, e.At(40, 40));
  ASSERT_TRUE(e.G().ControlIsCaptured());
  e.G().ShowMessageBox("a", "b", kMB_OK);
  EXPECT_FALSE(e.G().ControlIsCaptured());
}

TEST(MacDialogs, PromptForDirectory)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  Util_String dir;
  ZQAppKitScriptFilePanel(false);
  e.G().PromptForDirectory(dir);
  EXPECT_STREQ(dir.Get(), "");
  const ZQFilePanelRecord& rec = ZQAppKitFilePanelRecords().back();
  EXPECT_EQ(rec.title, "Choose a Directory");
  EXPECT_TRUE(rec.canChooseDirectories);
  EXPECT_FALSE(rec.canChooseFiles);
  EXPECT_TRUE(rec.canCreateDirectories);
  EXPECT_NE(rec.directory.find("Desktop"), std::string::npos);

  dir.Set("/tmp");
  ZQAppKitScriptFilePanel(true, {"/tmp/presets"});
  e.G().PromptForDirectory(dir);
  EXPECT_STREQ(dir.Get(), "/tmp/presets/");
}

TEST(MacDialogs, PromptForFile)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  Util_String file, path;
  file.Set("a.fxp");
  path.Set("/tmp/start");
  ZQAppKitScriptFilePanel(true, {"/tmp/x/b.fxp"});
  e.G().PromptForFile(file, path, EFileAction::Open, "fxp fxb");
  EXPECT_STREQ(file.Get(), "/tmp/x/b.fxp");
  EXPECT_STREQ(path.Get(), "/tmp/x/");
  const ZQFilePanelRecord& open = ZQAppKitFilePanelRecords().back();
  EXPECT_TRUE(open.open);
  EXPECT_EQ(open.allowedTypes, (std::vector<std::string>{"fxp", "fxb"}));
  EXPECT_EQ(open.directory, "/tmp/start");
  EXPECT_EQ(open.file, "a.fxp");

  ZQAppKitScriptFilePanel(false);
  e.G().PromptForFile(file, path, EFileAction::Save, "fxp");
  EXPECT_STREQ(file.Get(), "");
  EXPECT_STREQ(path.Get(), "/tmp/x/");
  EXPECT_FALSE(ZQAppKitFilePanelRecords().back().open);
  EXPECT_FALSE(ZQAppKitFilePanelRecords().back().allowsOtherFileTypes);

  e.editor.CloseWindow();
  IGraphicsMac closed(e.editor, kW, kH);
  file.Set("keep");
  closed.PromptForFile(file, path);
  EXPECT_STREQ(file.Get(), "");
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

TEST(MacDialogs, RevealPath)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  ZQAppKitSetWorkspaceAnswer(1);
  Util_String p;
  EXPECT_FALSE(e.G().RevealPathInExplorerOrFinder(p));
  p.Set("/nonexistent/zaniq/file");
  EXPECT_FALSE(e.G().RevealPathInExplorerOrFinder(p, true));
  p.Set("/tmp");
  EXPECT_TRUE(e.G().RevealPathInExplorerOrFinder(p, true));
  const auto& r = ZQAppKitWorkspaceRequests();
  ASSERT_GE(r.size(), 2u);
  EXPECT_EQ(r[r.size() - 2].kind, "openFile");
  EXPECT_EQ(r[r.size() - 2].target, "/");
  EXPECT_EQ(r.back().kind, "selectFile");
  EXPECT_EQ(r.back().target, "/tmp");
  EXPECT_TRUE(e.G().RevealPathInExplorerOrFinder(p, false));
  EXPECT_EQ(ZQAppKitWorkspaceRequests().back().target, "/tmp");
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
  EXPECT_STREQ(e.G().GetPlatformAPIStr(), "Cocoa");
}

} // namespace
