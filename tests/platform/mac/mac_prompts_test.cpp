// File and folder prompts of IGraphicsMac through scripted panels, and revealing paths in the file viewer.

#include "support/MacTestEditor.h"
#include "support/ScopedHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace mactest;

namespace
{

// The empty path starts on the desktop and, cancelled, stays empty; a chosen folder comes back with a "/".
TEST(MacPrompts, Directory)
{
  ScopedHome home;
  NSAutoreleasePool pool;
  OpenEditor e;
  Util_String dir;
  ZQAppKitScriptFilePanel(false);
  e.G().PromptForDirectory(dir);
  EXPECT_STREQ(dir.Get(), "");
  ASSERT_EQ(ZQAppKitFilePanelRecords().size(), 1u);
  const ZQFilePanelRecord& rec = ZQAppKitFilePanelRecords().back();
  EXPECT_TRUE(rec.open);
  EXPECT_EQ(rec.title, "Choose a Directory");
  EXPECT_TRUE(rec.canChooseDirectories);
  EXPECT_FALSE(rec.canChooseFiles);
  EXPECT_TRUE(rec.resolvesAliases);
  EXPECT_TRUE(rec.canCreateDirectories);
  EXPECT_EQ(rec.directory, (home.Path() / "Desktop").string());

  dir.Set("/tmp");
  ZQAppKitScriptFilePanel(true, {"/tmp/presets"});
  e.G().PromptForDirectory(dir);
  EXPECT_STREQ(dir.Get(), "/tmp/presets/");
  EXPECT_EQ(ZQAppKitFilePanelRecords().back().directory, "/tmp");
}

// Open and save: the start folder and name go to the panel, the extensions are split at spaces; the answer is the
// chosen file and its folder with a "/". A cancelled panel empties the file name and keeps the path.
TEST(MacPrompts, File)
{
  NSAutoreleasePool pool;
  OpenEditor e;
  struct Row
  {
    EFileAction action;
    const char* ext;
    bool ok;
    std::string chosen;
    std::vector<std::string> types;
    const char *file, *path;
  };
  const Row rows[] = {
      {EFileAction::Open, "fxp fxb", true, "/tmp/x/b.fxp", {"fxp", "fxb"}, "/tmp/x/b.fxp", "/tmp/x/"},
      {EFileAction::Open, "", true, "/c.fxp", {}, "/c.fxp", "/"},
      {EFileAction::Save, "fxp", true, "/tmp/y/d.fxp", {"fxp"}, "/tmp/y/d.fxp", "/tmp/y/"},
      {EFileAction::Save, "fxp", false, "", {"fxp"}, "", "/tmp/start"},
      {EFileAction::Open, nullptr, false, "", {}, "", "/tmp/start"},
  };
  for (const Row& r : rows)
  {
    SCOPED_TRACE(r.chosen + (r.action == EFileAction::Save ? " saved" : " opened"));
    Util_String file, path;
    file.Set("a.fxp");
    path.Set("/tmp/start");
    if (r.ok)
      ZQAppKitScriptFilePanel(true, {r.chosen});
    else
      ZQAppKitScriptFilePanel(false);
    e.G().PromptForFile(file, path, r.action, r.ext);
    EXPECT_STREQ(file.Get(), r.file);
    EXPECT_STREQ(path.Get(), r.path);
    const ZQFilePanelRecord& rec = ZQAppKitFilePanelRecords().back();
    EXPECT_EQ(rec.open, r.action == EFileAction::Open);
    EXPECT_EQ(rec.directory, "/tmp/start");
    EXPECT_EQ(rec.file, "a.fxp");
    EXPECT_EQ(rec.allowedTypes, r.types);
    EXPECT_TRUE(rec.floating);
    if (rec.open)
    {
      EXPECT_TRUE(rec.canChooseFiles);
      EXPECT_FALSE(rec.canChooseDirectories);
      EXPECT_TRUE(rec.resolvesAliases);
    }
    else
      EXPECT_FALSE(rec.allowsOtherFileTypes);
  }

  // Empty start values are not passed on.
  Util_String file, path;
  ZQAppKitScriptFilePanel(false);
  e.G().PromptForFile(file, path, EFileAction::Open, "wav");
  EXPECT_EQ(ZQAppKitFilePanelRecords().back().directory, "");
  EXPECT_EQ(ZQAppKitFilePanelRecords().back().file, "");

  // With the editor closed no panel shows and the file name is emptied.
  const size_t shown = ZQAppKitFilePanelRecords().size();
  e.editor.CloseWindow();
  IGraphicsMac closed(e.editor, kW, kH);
  file.Set("keep");
  path.Set("/tmp/start");
  closed.PromptForFile(file, path);
  EXPECT_STREQ(file.Get(), "");
  EXPECT_STREQ(path.Get(), "/tmp/start");
  EXPECT_EQ(ZQAppKitFilePanelRecords().size(), shown);
}

// The host disposes of the plug-in, or the editor is closed, while an open, save or folder panel is up, and the
// panel then answers OK with a path. The prompt comes from a key handler (the view's call is on the stack: the
// context goes when it returns) or straight from the test (the plug-in and its context go at once). Either way
// the answer is dropped: the caller's strings stay as they were when the panel came up.
TEST(MacPrompts, PanelAnsweredAfterThePluginOrEditorWent)
{
  enum class Prompt { Open, Save, Folder };
  enum class Gone { PluginUnderHandler, EditorUnderHandler, PluginOutright };
  for (const Prompt prompt : {Prompt::Open, Prompt::Save, Prompt::Folder})
    for (const Gone gone : {Gone::PluginUnderHandler, Gone::EditorUnderHandler, Gone::PluginOutright})
    {
      SCOPED_TRACE(testing::Message() << "prompt " << static_cast<int>(prompt) << ", gone " << static_cast<int>(gone));
      NSAutoreleasePool pool;
      DisposableEditor d;
      Util_String file, path, dir;
      file.Set("a.fxp");
      path.Set("/tmp/start/");
      dir.Set("/tmp/start/");
      const auto ask = [&](IGraphics& g) {
        if (prompt == Prompt::Folder)
          g.PromptForDirectory(dir);
        else
          g.PromptForFile(file, path, prompt == Prompt::Open ? EFileAction::Open : EFileAction::Save, "fxp");
      };
      ZQAppKitScriptFilePanel(true, {"/tmp/chosen/b.fxp"}, [&] {
        if (gone == Gone::EditorUnderHandler)
          d.editor->CloseWindow();
        else
          d.DisposeThroughLifetime();
      });
      IGraphics* g = d.editor->GetUI();
      if (gone == Gone::PluginOutright)
        ask(*g);
      else
      {
        g->SetKeyHandlerFunc([&ask, g](const IKeyPress&, bool isUp) {
          if (!isUp) ask(*g);
          return true;
        });
        ZQAppKitKeyEvent(d.window, NSEventTypeKeyDown, 0, "a", "a");
      }
      ASSERT_EQ(ZQAppKitFilePanelRecords().size(), 1u);
      EXPECT_TRUE(ZQAppKitFilePanelRecords().back().ok);
      // The file name is emptied before the panel comes up.
      EXPECT_STREQ(file.Get(), prompt == Prompt::Folder ? "a.fxp" : "");
      EXPECT_STREQ(path.Get(), "/tmp/start/");
      EXPECT_STREQ(dir.Get(), "/tmp/start/");
      EXPECT_EQ(d.editor == nullptr, gone != Gone::EditorUnderHandler);
      EXPECT_EQ(d.window->contentView()->subviews()->count(), 0u);
      EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0);
    }
}

// Revealing opens the file, or with select opens its folder and selects it there; paths that do not exist, and
// folders that cannot be opened, answer false.
TEST(MacPrompts, RevealPath)
{
  ScopedHome home;
  NSAutoreleasePool pool;
  OpenEditor e;
  const std::string file = (home.Path() / "preset.fxp").string();
  std::ofstream(file) << "x";
  const auto& requests = ZQAppKitWorkspaceRequests();
  Util_String p;
  EXPECT_FALSE(e.G().RevealPathInExplorerOrFinder(p));
  p.Set((home.Path() / "missing.fxp").c_str());
  EXPECT_FALSE(e.G().RevealPathInExplorerOrFinder(p, true));
  EXPECT_TRUE(requests.empty());

  p.Set(file.c_str());
  EXPECT_TRUE(e.G().RevealPathInExplorerOrFinder(p, false));
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].kind, "openFile");
  EXPECT_EQ(requests[0].target, file);

  EXPECT_TRUE(e.G().RevealPathInExplorerOrFinder(p, true));
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1].kind, "openFile");
  EXPECT_EQ(requests[1].target, home.Path().string());
  EXPECT_EQ(requests[2].kind, "selectFile");
  EXPECT_EQ(requests[2].target, file);
  EXPECT_EQ(requests[2].root, home.Path().string());

  // A file at the root selects in "/".
  p.Set("/tmp");
  EXPECT_TRUE(e.G().RevealPathInExplorerOrFinder(p, true));
  EXPECT_EQ(requests[requests.size() - 2].target, "/");
  EXPECT_EQ(requests.back().root, "/");

  // The folder does not open: nothing is selected.
  ZQAppKitSetWorkspaceAnswer(0);
  p.Set(file.c_str());
  const size_t n = requests.size();
  EXPECT_FALSE(e.G().RevealPathInExplorerOrFinder(p, true));
  ASSERT_EQ(requests.size(), n + 1);
  EXPECT_EQ(requests.back().kind, "openFile");
}

} // namespace
