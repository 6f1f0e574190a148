#include "i18n/menu_translate.h"

#include <string>

#include "i18n/language.h"

using namespace zantrel;

namespace {
constexpr unsigned kKeptState = MF_CHECKED | MF_GRAYED | MF_DISABLED;

void SetText(CMenu& menu, unsigned item, unsigned by, const std::string& text) {
  const unsigned state = menu.GetMenuState(item, by) & kKeptState;
  const unsigned id = (by & MF_BYPOSITION) ? menu.GetMenuItemID(static_cast<int>(item)) : item;
  menu.ModifyMenu(item, by | MF_STRING | state, id, text);
}
}  // namespace

void TranslateMenu(CMenu& menu, int menuNumber) {
  std::string text;
  const int count = menu.GetMenuItemCount();
  for (int p = 0; p < count; ++p) {
    if (LookUpLanguageText("CMenu", MenuKey(menuNumber, p), text))
      SetText(menu, static_cast<unsigned>(p), MF_BYPOSITION, text);
    // The popup is translated whether or not its own title changed.
    if (CMenu* popup = menu.GetSubMenu(p)) TranslateSubMenu(*popup, menuNumber);
  }
}

void TranslateSubMenu(CMenu& popup, int menuNumber) {
  std::string text;
  const int count = popup.GetMenuItemCount();
  for (int p = 0; p < count; ++p) {
    const unsigned id = popup.GetMenuItemID(p);
    if (CMenu* nested = popup.GetSubMenu(p)) {
      if (LookUpLanguageText("CMenu", MenuKey(menuNumber, -1), text))
        SetText(popup, static_cast<unsigned>(p), MF_BYPOSITION, text);
      TranslateSubMenu(*nested, menuNumber);
    } else if (id != 0 && id != kMenuNoId) {
      if (LookUpLanguageText("CMenu", MenuKey(menuNumber, static_cast<int>(id)), text))
        SetText(popup, id, MF_BYCOMMAND, text);
    }
  }
}
