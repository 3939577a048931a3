// Once the host disposes of the plug-in, or a handler closes the editor, under a call of the editor that is still
// on the stack, the editor opens nothing new: no message box, open, save, folder or colour panel, native or
// in-editor menu or text field, URL or file-viewer request. Each entry answers as if cancelled and calls no
// completion. Every panel is scripted with an answer, so an entry that did open would be seen answering it.

#include "support/MacTestEditor.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using namespace mactest;

namespace
{

// What the platform shows, counted.
struct Shown
{
  size_t alerts = 0, panels = 0, menus = 0, workspace = 0;
  bool colourPanel = false, textField = false, inMenu = false, inTextEntry = false;
  bool operator==(const Shown&) const = default;
};

Shown ShownNow(NSWindow* window, const IGraphics& g)
{
  Shown s;
  s.alerts = ZQAppKitAlertRecords().size();
  s.panels = ZQAppKitFilePanelRecords().size();
  s.menus = ZQAppKitMenuRecords().size();
  s.workspace = ZQAppKitWorkspaceRequests().size();
  s.colourPanel = NSColorPanel::sharedColorPanelExists() && NSColorPanel::sharedColorPanel()->isVisible();
  s.textField = ZQAppKitFocusedTextField(window) != nullptr;
  s.inMenu = g.GetControlInPopupMenu() != nullptr;
  s.inTextEntry = g.GetControlInTextEntry() != nullptr;
  return s;
}

bool FilePanelCancelled(IGraphics& g, EFileAction action)
{
  Util_String file, path;
  file.Set("a.fxp");
  path.Set("/tmp/start/");
  g.PromptForFile(file, path, action, "fxp");
  return std::string(file.Get()).empty() && std::string(path.Get()) == "/tmp/start/";
}

std::ostream& operator<<(std::ostream& os, const Shown& s)
{
  return os << "alerts " << s.alerts << ", panels " << s.panels << ", menus " << s.menus << ", workspace "
            << s.workspace << ", colour panel " << s.colourPanel << ", text field " << s.textField << ", in menu "
            << s.inMenu << ", in text entry " << s.inTextEntry;
}

TEST(MacWindingDown, NoEntryOpensAnythingOnceThePluginOrEditorIsGoing)
{
  enum class Going { Plugin, Editor };
  // ask returns true when the answer is the cancelled one and nothing was completed.
  struct Row
  {
    const char* name;
    std::function<void(IGraphics&)> prepare;
    std::function<bool(IGraphics&, IControl* knob)> ask;
  };
  const IRECT r(10.f, 10.f, 60.f, 30.f);
  const Row rows[] = {
      {"message box", nullptr,
       [](IGraphics& g, IControl*) {
         bool completed = false;
         const EMsgBoxResult answer = g.ShowMessageBox("Reset?", "Title", kMB_YESNO, [&](EMsgBoxResult) { completed = true; });
         return answer == kCANCEL && !completed;
       }},
      {"open panel", nullptr, [](IGraphics& g, IControl*) { return FilePanelCancelled(g, EFileAction::Open); }},
      {"save panel", nullptr, [](IGraphics& g, IControl*) { return FilePanelCancelled(g, EFileAction::Save); }},
      {"folder panel", nullptr,
       [](IGraphics& g, IControl*) {
         Util_String dir;
         dir.Set("/tmp/start/");
         g.PromptForDirectory(dir);
         return std::string(dir.Get()).empty();
       }},
      {"colour panel", nullptr,
       [](IGraphics& g, IControl*) {
         IColor colour = COLOR_RED;
         return !g.PromptForColor(colour, "Colour", [](const IColor&) {});
       }},
      {"native menu", nullptr,
       [r](IGraphics& g, IControl*) {
         IPopupMenu menu;
         menu.AddItem("A");
         menu.AddItem("B");
         bool completed = false;
         menu.SetFunction([&](IPopupMenu*) { completed = true; });
         g.CreatePopupMenu(nullptr, menu, r);
         return !completed && menu.GetChosenItemIdx() == -1;
       }},
      {"in-editor menu", [](IGraphics& g) { g.AttachPopupMenuControl(); },
       [r](IGraphics& g, IControl* knob) {
         IPopupMenu menu;
         menu.AddItem("A");
         g.CreatePopupMenu(knob, menu, r);
         return true;
       }},
      {"value prompt", nullptr,
       [r](IGraphics& g, IControl* knob) {
         g.PromptUserInput(knob, r, 0);
         return true;
       }},
      {"native text field", nullptr,
       [r](IGraphics& g, IControl* knob) {
         g.CreateTextEntry(knob, IText(14.f, COLOR_BLACK), r, "2.5", 0);
         return true;
       }},
      {"in-editor text field", [](IGraphics& g) { g.AttachTextEntryControl(); },
       [r](IGraphics& g, IControl* knob) {
         g.CreateTextEntry(knob, IText(14.f, COLOR_BLACK), r, "2.5", 0);
         return true;
       }},
      {"URL", nullptr, [](IGraphics& g, IControl*) { return !g.OpenURL("https://example.com/manual"); }},
      {"file viewer", nullptr,
       [](IGraphics& g, IControl*) {
         Util_String path;
         path.Set("/tmp");
         return !g.RevealPathInExplorerOrFinder(path, true);
       }},
  };

  for (const Going going : {Going::Plugin, Going::Editor})
    for (const Row& row : rows)
    {
      SCOPED_TRACE(testing::Message() << row.name << (going == Going::Plugin ? ", plug-in going" : ", editor closing"));
      NSAutoreleasePool pool;
      DisposableEditor d;
      ZQAppKitSetWorkspaceAnswer(1);
      ZQAppKitScriptAlert(1);
      ZQAppKitScriptFilePanel(true, {"/tmp/chosen/b.fxp"});
      ZQAppKitScriptMenu([](NSMenu* menu) -> NSMenuItem* { return menu->itemAtIndex(0); });
      IGraphics* g = d.editor->GetUI();
      ASSERT_NE(g, nullptr);
      if (row.prepare) row.prepare(*g);
      IControl* knob = d.editor->knob;

      bool asked = false, cancelled = false;
      Shown before, after;
      // A key handler is a call of the editor: the plug-in and the editor go once it returns.
      g->SetKeyHandlerFunc([&, g](const IKeyPress&, bool isUp) {
        if (isUp) return true;
        before = ShownNow(d.window, *g);
        if (going == Going::Plugin)
          d.DisposeThroughLifetime();
        else
          d.editor->CloseWindow();
        EXPECT_TRUE(g->IsWindingDown());
        cancelled = row.ask(*g, knob);
        after = ShownNow(d.window, *g);
        asked = true;
        return true;
      });
      ZQAppKitKeyEvent(d.window, NSEventTypeKeyDown, 0, "a", "a");
      ASSERT_TRUE(asked);
      EXPECT_TRUE(cancelled);
      EXPECT_EQ(after, before);
      EXPECT_EQ(d.editor == nullptr, going == Going::Plugin);
      EXPECT_EQ(d.window->contentView()->subviews()->count(), 0u);
      EXPECT_EQ(ZQAppKitAdvanceClock(0.5), 0);
    }
}

} // namespace
