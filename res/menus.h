#pragma once
// Menu resource 141: the bar's four popups with their command IDs and the
// built-in Simplified Chinese texts.
#include <memory>
#include <vector>

#include "platform/menu.h"

namespace res {

inline constexpr int IDR_MAIN_MENU = 141;

struct MenuItemDef {
  unsigned id;       // 0 = separator
  const char* text;  // UTF-8 in the source
};
struct MenuPopupDef {
  const char* text;  // UTF-8, '&' marks the mnemonic
  std::vector<MenuItemDef> items;
};

// The resource as a table, top-level popups in bar order.
const std::vector<MenuPopupDef>& MainMenu();

// A fresh menu built from the table, texts converted to the current code
// page (menus hold byte strings). The caller owns it.
std::unique_ptr<zantrel::CMenu> LoadMainMenu();

}  // namespace res
