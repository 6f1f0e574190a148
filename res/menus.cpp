#include "res/menus.h"

#include "platform/codepage.h"

namespace res {

const std::vector<MenuPopupDef>& MainMenu() {
  static const std::vector<MenuPopupDef> menu = {
      {"文件(&F)", {{32778, "添加文件"}, {0, ""}, {57665, "退出程序"}}},
      {"皮肤(&S)",
       {{32774, "Tesmor经典"}, {32771, "灰色金属"}, {32776, "未来战士"}, {32772, "蓝色WM"},
        {32775, "银色XP"}}},
      // The language list's items are appended after the separator.
      {"语言(&L)", {{32784, "自动选择"}, {0, ""}}},
      {"帮助(&H)", {{32786, "访问主页"}, {0, ""}, {57664, "关于"}}},
  };
  return menu;
}

std::unique_ptr<zantrel::CMenu> LoadMainMenu() {
  auto bar = std::make_unique<zantrel::CMenu>();
  for (const MenuPopupDef& p : MainMenu()) {
    auto popup = std::make_unique<zantrel::CMenu>();
    for (const MenuItemDef& item : p.items) {
      if (item.id == 0) popup->AppendMenu(zantrel::MF_SEPARATOR);
      else popup->AppendMenu(zantrel::MF_STRING, item.id, zantrel::FromUtf8(item.text));
    }
    bar->AppendPopup(std::move(popup), zantrel::FromUtf8(p.text));
  }
  return bar;
}

}  // namespace res
