#include "controls/IDirBrowseControlBase.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

using namespace plugin::igraphics;
namespace fs = std::filesystem;

namespace
{

struct Browser : IDirBrowseControlBase
{
  using IDirBrowseControlBase::IDirBrowseControlBase;
  void Draw(IGraphics&) override {}
};

// The texts of a menu level; submenus marked with a trailing "/".
std::vector<std::string> Level(const IPopupMenu& m)
{
  std::vector<std::string> out;
  for (int i = 0; i < m.NItems(); ++i)
    out.push_back(std::string(m.GetItemText(i)) + (m.GetItem(i)->GetSubmenu() ? "/" : ""));
  return out;
}

struct DirBrowseTest : ::testing::Test
{
  fs::path root;

  void SetUp() override
  {
    char tmpl[] = "/tmp/zaniq_dirbrowse_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root = tmpl;
    for (const char* f : {"b.tps", "A.tps", "c.txt", ".hidden.tps", ".tps", "x.tps.bak", "%s%n%x.tps", "Sub/z.tps",
                          "Deep/Deeper/d.tps", "OnlyText/readme.txt"})
    {
      fs::create_directories((root / f).parent_path());
      std::ofstream(root / f) << "x";
    }
    fs::create_directories(root / "Empty");
    fs::create_directory_symlink(root / "Sub", root / "LinkToSub");
  }
  void TearDown() override { fs::remove_all(root); }
};

} // namespace

TEST_F(DirBrowseTest, OneFolderFillsTheMainMenuSortedWithoutCase)
{
  Browser b(IRECT(), ".tps", false);
  b.AddPath((root.string() + "/").c_str(), "ignored"); // a trailing separator is dropped
  b.SetupMenu();
  IPopupMenu& m = b.GetMainMenu();
  // Hidden files, other extensions, the link (a file without the extension) and folders with no match are gone;
  // folders and files are mixed in one case-insensitive order.
  EXPECT_EQ(Level(m), (std::vector<std::string>{"%s%n%x", "A", "b", "Deep/", "Sub/"}));
  EXPECT_EQ(Level(*m.GetItem(3)->GetSubmenu()), std::vector<std::string>{"Deeper/"});
  EXPECT_EQ(Level(*m.GetItem(4)->GetSubmenu()), std::vector<std::string>{"z"});

  // Every file once, in menu order, each tag naming its own path (so no two share a tag).
  ASSERT_EQ(b.NItems(), 5);
  const char* expected[] = {"%s%n%x", "A", "b", "d", "z"};
  for (int i = 0; i < b.NItems(); ++i)
  {
    const IPopupMenu::Item* item = b.GetItem(i);
    EXPECT_STREQ(item->GetText(), expected[i]);
    const std::string path = b.GetFilePath(item->GetTag());
    EXPECT_EQ(fs::path(path).filename().string(), std::string(expected[i]) + ".tps");
    EXPECT_TRUE(fs::exists(path)) << path;
  }
}

TEST_F(DirBrowseTest, NoExtensionAndSeveralFolders)
{
  // No extension: no files, and the then empty folders disappear.
  Browser noExt(IRECT(), "");
  noExt.AddPath(root.c_str(), "");
  noExt.SetupMenu();
  EXPECT_EQ(noExt.GetMainMenu().NItems(), 0);
  EXPECT_EQ(noExt.NItems(), 0);

  // Several folders: one submenu each, labelled and in the order added; a missing folder gives an empty one.
  Browser several(IRECT(), ".tps", false);
  several.AddPath((root / "Sub").c_str(), "Zeta");
  several.AddPath((root / "Deep").c_str(), "Alpha");
  several.AddPath((root / "missing").c_str(), "Gone");
  several.SetupMenu();
  EXPECT_EQ(Level(several.GetMainMenu()), (std::vector<std::string>{"Zeta/", "Alpha/", "Gone/"}));
  EXPECT_EQ(several.NItems(), 2);
  EXPECT_STREQ(several.GetItem(0)->GetText(), "z");
  EXPECT_STREQ(several.GetItem(1)->GetText(), "d");
}

// The browser's submenus are made without a function: they answer through the main menu's when it has one (at
// every depth, for one folder and for several), and through none when it has none.
TEST_F(DirBrowseTest, SubmenusAnswerThroughTheMainMenusFunctionOrNone)
{
  std::vector<const IPopupMenu*> subs;
  std::function<void(const IPopupMenu&)> collect = [&](const IPopupMenu& m)
  {
    for (int i = 0; i < m.NItems(); ++i)
      if (const IPopupMenu* sub = m.GetItem(i)->GetSubmenu())
      {
        subs.push_back(sub);
        collect(*sub);
      }
  };
  for (const bool twoPaths : {false, true})
  {
    Browser b(IRECT(), ".tps", false);
    b.AddPath(root.c_str(), "All");
    if (twoPaths) b.AddPath((root / "Deep").c_str(), "Deep");
    b.SetupMenu();
    subs.clear();
    collect(b.GetMainMenu());
    ASSERT_GE(subs.size(), 3u) << twoPaths;
    for (const IPopupMenu* sub : subs)
      EXPECT_FALSE(sub->GetFunction()) << twoPaths;

    std::vector<std::string> ran;
    b.GetMainMenu().SetFunction([&ran](IPopupMenu* m) { ran.push_back(m->GetItemText(0)); });
    b.SetupMenu();
    subs.clear();
    collect(b.GetMainMenu());
    for (const IPopupMenu* sub : subs)
      const_cast<IPopupMenu*>(sub)->ExecFunction();
    EXPECT_EQ(ran.size(), subs.size()) << twoPaths;
  }
}

TEST_F(DirBrowseTest, EntriesWithoutATypeAreLookedAt)
{
  using dirbrowse::EntryIsFolder;
  EXPECT_TRUE(EntryIsFolder((root / "Sub").c_str(), DT_UNKNOWN));
  EXPECT_FALSE(EntryIsFolder((root / "A.tps").c_str(), DT_UNKNOWN));
  EXPECT_FALSE(EntryIsFolder((root / "LinkToSub").c_str(), DT_UNKNOWN)); // a link stays a link
  EXPECT_FALSE(EntryIsFolder((root / "missing").c_str(), DT_UNKNOWN));
  EXPECT_TRUE(EntryIsFolder("/no/such/place", DT_DIR));
  EXPECT_FALSE(EntryIsFolder((root / "Sub").c_str(), DT_LNK));
}

// A submenu follows its parent's completion function when the parent has one (a copy, replacing the submenu's own);
// under a parent without one it keeps its own. Either way both insertion forms place the item by index.
TEST(PopupMenuInsertion, SubmenusTakeACopyOfTheParentsFunctionOrKeepTheirOwn)
{
  std::vector<std::string> ran;
  for (const bool parentHasFunction : {true, false})
  {
    IPopupMenu parent("p", 0, false, {"b", "c"});
    if (parentHasFunction)
      parent.SetFunction([&](IPopupMenu* m) { ran.push_back(std::string("parent ") + m->GetRootTitle()); });
    auto* first = new IPopupMenu("first");
    auto* sorted = new IPopupMenu("sorted");
    for (IPopupMenu* sub : {first, sorted})
      sub->SetFunction([&](IPopupMenu* m) { ran.push_back(std::string("own ") + m->GetRootTitle()); });
    parent.AddSubMenuItem("z", 0, first);
    parent.AddSubMenuItem("bb", sorted, IPopupMenu::kSorted);
    EXPECT_EQ(Level(parent), (std::vector<std::string>{"z/", "b", "bb/", "c"}));

    ran.clear();
    first->ExecFunction();
    sorted->ExecFunction();
    EXPECT_EQ(ran, parentHasFunction ? (std::vector<std::string>{"parent first", "parent sorted"})
                                     : (std::vector<std::string>{"own first", "own sorted"}))
        << parentHasFunction;
  }
}
