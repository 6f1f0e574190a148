#pragma once
// A menu as the program's code sees it: items by position, each with a
// command ID, a byte-string text, flags, an item-data word and, for a popup
// item, the nested menu it opens. The on-screen popup is built from this
// model each time it opens; nothing here draws or knows a window.
//
// The calls keep the Windows menu functions' contracts that the program relies
// on:
// - MF_BYPOSITION addresses an item of this menu by index; MF_BYCOMMAND (the
//   default) finds the first item with that command ID, searching nested
//   popups depth first, as Windows does.
// - GetMenuItemID gives 0 for a separator, -1 (as unsigned, 0xFFFFFFFF) for an
//   item that opens a popup or a position out of range.
// - An owner-drawn item (MF_OWNERDRAW) keeps its command ID but no text of its
//   own: ModifyMenu with MF_OWNERDRAW stores `data` as its item data, and
//   GetMenuString then gives "". ModifyMenu with MF_STRING stores the text.
// - Check marks and the grey state are flags of the item (MF_CHECKED,
//   MF_GRAYED / MF_DISABLED).
// Plain data, no Qt; single-threaded (the UI thread owns every menu).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zantrel {

enum MenuFlags : unsigned {
  MF_STRING = 0x0000,
  MF_BYCOMMAND = 0x0000,
  MF_UNCHECKED = 0x0000,
  MF_ENABLED = 0x0000,
  MF_GRAYED = 0x0001,
  MF_DISABLED = 0x0002,
  MF_CHECKED = 0x0008,
  MF_POPUP = 0x0010,
  MF_OWNERDRAW = 0x0100,
  MF_BYPOSITION = 0x0400,
  MF_SEPARATOR = 0x0800,
};

inline constexpr unsigned kMenuNoId = 0xFFFFFFFFu;

class CMenu {
 public:
  struct Item {
    unsigned id = 0;            // command ID; 0 for a separator
    std::string text;           // byte string, '&' marks the mnemonic
    unsigned flags = MF_STRING; // MF_* bits other than the addressing ones
    std::uintptr_t itemData = 0;
    std::unique_ptr<CMenu> popup;  // set for an item that opens a popup
  };

  CMenu() = default;
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;

  int GetMenuItemCount() const { return static_cast<int>(m_items.size()); }
  unsigned GetMenuItemID(int pos) const;
  // The nested popup at `pos`, or null. Owned by this menu.
  CMenu* GetSubMenu(int pos) const;
  // Copies the text into `text` ("" for separators and owner-drawn items);
  // returns its length, or 0 when no item matches.
  int GetMenuString(unsigned item, std::string& text, unsigned flags) const;
  // MF_CHECKED, MF_GRAYED, ... of the item, or kMenuNoId when none matches.
  unsigned GetMenuState(unsigned item, unsigned flags) const;
  std::uintptr_t GetItemData(unsigned item, unsigned flags) const;

  // Appends an item: MF_SEPARATOR, or a command with `text`. Returns false for
  // MF_POPUP (use AppendPopup).
  bool AppendMenu(unsigned flags, unsigned id = 0, const std::string& text = {});
  // Inserts an item (MF_SEPARATOR, or a command with `text`) before the item
  // at position `pos` (flags must hold MF_BYPOSITION); a position past the
  // end appends. False for MF_POPUP or without MF_BYPOSITION.
  bool InsertMenu(unsigned pos, unsigned flags, unsigned id = 0, const std::string& text = {});
  // Removes the item at a position (MF_BYPOSITION) or the first with a
  // command ID, in this menu only, destroying a popup it opens. False when
  // no item matches.
  bool DeleteMenu(unsigned item, unsigned flags);
  // Appends an item that opens `popup`; this menu takes ownership.
  bool AppendPopup(std::unique_ptr<CMenu> popup, const std::string& text,
                   unsigned flags = MF_STRING);
  // Changes an item's command ID and contents in place; a popup item keeps its
  // popup. With MF_OWNERDRAW, `data` becomes the item data and the text is
  // dropped; otherwise `text` becomes the text and the item data is kept.
  // Returns false when no item matches.
  bool ModifyMenu(unsigned item, unsigned flags, unsigned newId,
                  const std::string& text, std::uintptr_t data = 0);
  // Sets or clears the check mark; returns the previous state (MF_CHECKED or
  // MF_UNCHECKED), or kMenuNoId when no item matches.
  unsigned CheckMenuItem(unsigned item, unsigned flags);
  unsigned EnableMenuItem(unsigned item, unsigned flags);

  // Direct access for drawing and tests; null when out of range.
  const Item* ItemAt(int pos) const;

 private:
  Item* Find(unsigned item, unsigned flags);
  const Item* Find(unsigned item, unsigned flags) const;

  std::vector<Item> m_items;
};

}  // namespace zantrel
