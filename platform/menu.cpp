#include "platform/menu.h"

#include <algorithm>
#include <cstddef>

namespace zantrel {

namespace {
constexpr unsigned kStateBits = MF_GRAYED | MF_DISABLED | MF_CHECKED;
}  // namespace

const CMenu::Item* CMenu::ItemAt(int pos) const {
  if (pos < 0 || pos >= GetMenuItemCount()) return nullptr;
  return &m_items[static_cast<size_t>(pos)];
}

CMenu::Item* CMenu::Find(unsigned item, unsigned flags) {
  return const_cast<Item*>(static_cast<const CMenu*>(this)->Find(item, flags));
}

const CMenu::Item* CMenu::Find(unsigned item, unsigned flags) const {
  if (flags & MF_BYPOSITION) {
    if (item >= m_items.size()) return nullptr;
    return &m_items[item];
  }
  // By command: depth first, the way Windows walks nested popups, so a command
  // inside the skin or language popup is found from the bar's menu.
  for (const Item& it : m_items) {
    if (it.popup) {
      if (const Item* inner = it.popup->Find(item, flags)) return inner;
    } else if (!(it.flags & MF_SEPARATOR) && it.id == item) {
      return &it;
    }
  }
  return nullptr;
}

unsigned CMenu::GetMenuItemID(int pos) const {
  const Item* it = ItemAt(pos);
  if (!it || it->popup) return kMenuNoId;
  return (it->flags & MF_SEPARATOR) ? 0 : it->id;
}

CMenu* CMenu::GetSubMenu(int pos) const {
  const Item* it = ItemAt(pos);
  return it ? it->popup.get() : nullptr;
}

int CMenu::GetMenuString(unsigned item, std::string& text, unsigned flags) const {
  const Item* it = Find(item, flags);
  if (!it) {
    text.clear();
    return 0;
  }
  text = (it->flags & (MF_SEPARATOR | MF_OWNERDRAW)) ? std::string() : it->text;
  return static_cast<int>(text.size());
}

unsigned CMenu::GetMenuState(unsigned item, unsigned flags) const {
  const Item* it = Find(item, flags);
  if (!it) return kMenuNoId;
  return it->flags & (kStateBits | MF_SEPARATOR | MF_OWNERDRAW | MF_POPUP);
}

std::uintptr_t CMenu::GetItemData(unsigned item, unsigned flags) const {
  const Item* it = Find(item, flags);
  return it ? it->itemData : 0;
}

bool CMenu::InsertMenu(unsigned pos, unsigned flags, unsigned id, const std::string& text) {
  if ((flags & MF_POPUP) || !(flags & MF_BYPOSITION)) return false;
  Item it;
  it.flags = flags & ~MF_BYPOSITION;
  if (!(flags & MF_SEPARATOR)) {
    it.id = id;
    it.text = text;
  }
  const std::size_t at = std::min<std::size_t>(pos, m_items.size());
  m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(at), std::move(it));
  return true;
}

bool CMenu::DeleteMenu(unsigned item, unsigned flags) {
  std::size_t at = m_items.size();
  if (flags & MF_BYPOSITION) {
    at = item;
  } else {
    for (std::size_t i = 0; i < m_items.size(); ++i)
      if (!m_items[i].popup && !(m_items[i].flags & MF_SEPARATOR) && m_items[i].id == item) {
        at = i;
        break;
      }
  }
  if (at >= m_items.size()) return false;
  m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(at));
  return true;
}

bool CMenu::AppendMenu(unsigned flags, unsigned id, const std::string& text) {
  if (flags & MF_POPUP) return false;
  Item it;
  it.flags = flags & ~MF_BYPOSITION;
  if (flags & MF_SEPARATOR) {
    it.id = 0;
  } else {
    it.id = id;
    it.text = text;
  }
  m_items.push_back(std::move(it));
  return true;
}

bool CMenu::AppendPopup(std::unique_ptr<CMenu> popup, const std::string& text,
                        unsigned flags) {
  if (!popup) return false;
  Item it;
  it.id = kMenuNoId;
  it.text = text;
  it.flags = (flags & kStateBits) | MF_POPUP;
  it.popup = std::move(popup);
  m_items.push_back(std::move(it));
  return true;
}

bool CMenu::ModifyMenu(unsigned item, unsigned flags, unsigned newId,
                       const std::string& text, std::uintptr_t data) {
  Item* it = Find(item, flags);
  if (!it) return false;
  const unsigned kept = it->popup ? unsigned{MF_POPUP} : 0u;
  it->flags = (flags & ~MF_BYPOSITION & ~MF_POPUP) | kept;
  if (!it->popup) it->id = (flags & MF_SEPARATOR) ? 0 : newId;
  if (flags & MF_OWNERDRAW) {
    it->text.clear();
    it->itemData = data;
  } else if (flags & MF_SEPARATOR) {
    it->text.clear();
  } else {
    it->text = text;
  }
  return true;
}

unsigned CMenu::CheckMenuItem(unsigned item, unsigned flags) {
  Item* it = Find(item, flags);
  if (!it) return kMenuNoId;
  const unsigned prev = it->flags & MF_CHECKED;
  if (flags & MF_CHECKED) {
    it->flags |= MF_CHECKED;
  } else {
    it->flags &= ~MF_CHECKED;
  }
  return prev;
}

unsigned CMenu::EnableMenuItem(unsigned item, unsigned flags) {
  Item* it = Find(item, flags);
  if (!it) return kMenuNoId;
  const unsigned prev = it->flags & (MF_GRAYED | MF_DISABLED);
  it->flags = (it->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
  return prev;
}

}  // namespace zantrel
