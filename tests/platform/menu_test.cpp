#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "platform/menu.h"

using namespace zantrel;

namespace {
// A bar with two popups; the second nests a third.
std::unique_ptr<CMenu> MakeBar() {
  auto bar = std::make_unique<CMenu>();
  auto file = std::make_unique<CMenu>();
  file->AppendMenu(MF_STRING, 100, "&Open");
  file->AppendMenu(MF_SEPARATOR);
  file->AppendMenu(MF_STRING, 101, "E&xit");
  auto view = std::make_unique<CMenu>();
  view->AppendMenu(MF_STRING, 200, "A");
  auto nested = std::make_unique<CMenu>();
  nested->AppendMenu(MF_STRING, 300, "Deep");
  view->AppendPopup(std::move(nested), "More");
  bar->AppendPopup(std::move(file), "&File");
  bar->AppendPopup(std::move(view), "&View");
  return bar;
}
}  // namespace

TEST(PlatformMenu, IdsTextsAndPopupsByPosition) {
  auto bar = MakeBar();
  ASSERT_EQ(bar->GetMenuItemCount(), 2);
  EXPECT_EQ(bar->GetMenuItemID(0), kMenuNoId);  // opens a popup
  EXPECT_EQ(bar->GetMenuItemID(5), kMenuNoId);
  std::string s;
  EXPECT_EQ(bar->GetMenuString(1, s, MF_BYPOSITION), 5);
  EXPECT_EQ(s, "&View");
  CMenu* file = bar->GetSubMenu(0);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->GetMenuItemID(0), 100u);
  EXPECT_EQ(file->GetMenuItemID(1), 0u);  // separator
  EXPECT_EQ(file->GetMenuString(1, s, MF_BYPOSITION), 0);
  EXPECT_EQ(bar->GetSubMenu(1)->GetMenuItemID(1), kMenuNoId);
  EXPECT_EQ(bar->GetSubMenu(-1), nullptr);
  EXPECT_EQ(file->GetSubMenu(0), nullptr);
}

TEST(PlatformMenu, ByCommandSearchesNestedPopupsAndChecks) {
  auto bar = MakeBar();
  std::string s;
  EXPECT_EQ(bar->GetMenuString(300, s, MF_BYCOMMAND), 4);
  EXPECT_EQ(s, "Deep");
  EXPECT_EQ(bar->CheckMenuItem(300, MF_BYCOMMAND | MF_CHECKED), MF_UNCHECKED);
  EXPECT_EQ(bar->CheckMenuItem(300, MF_BYCOMMAND | MF_UNCHECKED), MF_CHECKED);
  bar->CheckMenuItem(200, MF_CHECKED);
  EXPECT_TRUE(bar->GetMenuState(200, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_EQ(bar->CheckMenuItem(999, MF_CHECKED), kMenuNoId);
  EXPECT_EQ(bar->GetMenuState(999, MF_BYCOMMAND), kMenuNoId);
  // A separator's ID 0 is never matched by command.
  EXPECT_EQ(bar->CheckMenuItem(0, MF_CHECKED), kMenuNoId);
}

TEST(PlatformMenu, OwnerDrawKeepsIdDropsTextAndBackToString) {
  auto bar = MakeBar();
  CMenu* file = bar->GetSubMenu(0);
  int record = 42;
  const auto data = reinterpret_cast<std::uintptr_t>(&record);
  ASSERT_TRUE(file->ModifyMenu(0, MF_BYPOSITION | MF_OWNERDRAW, 100, "", data));
  std::string s = "x";
  EXPECT_EQ(file->GetMenuString(0, s, MF_BYPOSITION), 0);
  EXPECT_EQ(s, "");
  EXPECT_EQ(file->GetMenuItemID(0), 100u);
  EXPECT_EQ(file->GetItemData(100, MF_BYCOMMAND), data);
  EXPECT_TRUE(file->GetMenuState(0, MF_BYPOSITION) & MF_OWNERDRAW);
  // A check survives the conversion; back to a string item keeps the data.
  file->CheckMenuItem(100, MF_CHECKED);
  ASSERT_TRUE(file->ModifyMenu(0, MF_BYPOSITION | MF_STRING | MF_CHECKED, 100, "&Open2"));
  EXPECT_EQ(file->GetMenuString(100, s, MF_BYCOMMAND), 6);
  EXPECT_EQ(s, "&Open2");
  EXPECT_EQ(file->GetItemData(0, MF_BYPOSITION), data);
  // Renaming a popup item keeps its popup.
  ASSERT_TRUE(bar->ModifyMenu(1, MF_BYPOSITION | MF_STRING, 0, "&Vue"));
  EXPECT_NE(bar->GetSubMenu(1), nullptr);
  EXPECT_EQ(bar->GetMenuItemID(1), kMenuNoId);
  EXPECT_FALSE(bar->ModifyMenu(7, MF_BYPOSITION, 1, "none"));
}

TEST(PlatformMenu, EnableAndAppendRules) {
  CMenu m;
  EXPECT_FALSE(m.AppendMenu(MF_POPUP, 1, "x"));
  EXPECT_FALSE(m.AppendPopup(nullptr, "x"));
  m.AppendMenu(MF_STRING, 2000, "English");
  EXPECT_EQ(m.EnableMenuItem(2000, MF_GRAYED), MF_ENABLED);
  EXPECT_EQ(m.GetMenuState(0, MF_BYPOSITION) & MF_GRAYED, MF_GRAYED);
  EXPECT_EQ(m.EnableMenuItem(2000, MF_ENABLED), MF_GRAYED);
  EXPECT_EQ(m.GetMenuState(0, MF_BYPOSITION), 0u);
  ASSERT_NE(m.ItemAt(0), nullptr);
  EXPECT_EQ(m.ItemAt(0)->text, "English");
  EXPECT_EQ(m.ItemAt(1), nullptr);
}
