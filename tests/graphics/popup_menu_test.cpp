#include "graphics/IPopupMenu.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace plugin::igraphics;

namespace
{

std::vector<std::string> Texts(const IPopupMenu& m)
{
  std::vector<std::string> out;
  for (int i = 0; i < m.NItems(); ++i)
    out.push_back(m.GetItemText(i));
  return out;
}

} // namespace

TEST(IPopupMenu, PlacesItemsByIndexRule)
{
  IPopupMenu m("root", 0, false, {"x", nullptr});
  EXPECT_EQ(Texts(m), (std::vector<std::string>{"x", ""}));

  struct Case
  {
    std::vector<std::pair<const char*, int>> adds;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {{{"b", -2}, {"A", -2}, {"c", -2}}, {"A", "b", "c"}},                 // sorted, without regard to case
      {{{"a", -1}, {"b", -1}, {"c", -1}, {"d", 10}}, {"a", "b", "c", "d"}}, // beyond the end: appended
      {{{"a", -1}, {"b", -1}, {"z", 1}, {"y", -7}}, {"y", "a", "z", "b"}},  // inside, and negative → front
  };
  for (const Case& c : cases)
  {
    IPopupMenu menu;
    for (const auto& [text, index] : c.adds)
      menu.AddItem(text, index);
    EXPECT_EQ(Texts(menu), c.expected);
  }
}

TEST(IPopupMenu, SubMenusTakeTheParentsFunctionAndDieWithIt)
{
  // A shared token held by the completion functions tells how many copies are alive.
  auto token = std::make_shared<int>(0);
  {
    auto* parent = new IPopupMenu("p");
    parent->SetFunction([token](IPopupMenu*) { ++*token; });
    auto* sub = new IPopupMenu("s");
    auto* deeper = new IPopupMenu("d");
    sub->AddSubMenuItem("deeper", deeper); // sub has no function: deeper keeps none
    EXPECT_FALSE(deeper->GetFunction());
    parent->AddSubMenuItem("sub", sub);
    ASSERT_TRUE(sub->GetFunction());
    sub->ExecFunction();
    EXPECT_EQ(*token, 1);
    EXPECT_EQ(token.use_count(), 3);
    delete parent; // frees every level
  }
  EXPECT_EQ(token.use_count(), 1);
}
