#include "menubar/owner_draw_menu.h"

#include "platform/menu.h"
#include "platform/qt/device_context.h"

using zantrel::CMenu;

std::vector<std::unique_ptr<MenuItemData>> g_vecMenuItemData;

namespace {
constexpr unsigned kDrawFormat = DT_VCENTER | DT_SINGLELINE | DT_EXPANDTABS;

const MenuItemData* Record(std::uintptr_t data) {
  return reinterpret_cast<const MenuItemData*>(data);
}
}  // namespace

void ConvertMenuToOwnerDraw(CMenu& menu) {
  for (int i = menu.GetMenuItemCount() - 1; i >= 0; --i)
    if (CMenu* popup = menu.GetSubMenu(i)) ConvertPopupToOwnerDraw(*popup);
}

void ConvertPopupToOwnerDraw(CMenu& popup) {
  for (int p = popup.GetMenuItemCount() - 1; p >= 0; --p) {
    const unsigned pos = static_cast<unsigned>(p);
    auto rec = std::make_unique<MenuItemData>();
    rec->nID = popup.GetMenuItemID(p);
    popup.GetMenuString(pos, rec->strText, zantrel::MF_BYPOSITION);
    // An item still owner-drawn from an earlier pass (a translation without
    // a text for it) has its text only in its record: carry it over, or the
    // item would show blank.
    if (popup.GetMenuState(pos, zantrel::MF_BYPOSITION) & zantrel::MF_OWNERDRAW)
      if (const MenuItemData* old = Record(popup.GetItemData(pos, zantrel::MF_BYPOSITION)))
        rec->strText = old->strText;
    MenuItemData* data = rec.get();
    g_vecMenuItemData.push_back(std::move(rec));
    // A nested popup stays attached to its item (the model keeps it), and
    // its own items are converted as well.
    if (CMenu* nested = popup.GetSubMenu(p)) ConvertPopupToOwnerDraw(*nested);
    popup.ModifyMenu(pos, zantrel::MF_BYPOSITION | zantrel::MF_OWNERDRAW, data->nID, {},
                     reinterpret_cast<std::uintptr_t>(data));
  }
}

void MeasureMenuItem(MEASUREITEMSTRUCT* m) {
  if (m->itemID == 0) {
    m->itemHeight = kSeparatorHeight;
    return;
  }
  const MenuItemData* rec = Record(m->itemData);
  CDC dc;  // a fresh context: its default font, not the popup's
  const CSize size = dc.GetTextExtent(rec ? rec->strText : std::string());
  m->itemWidth = static_cast<unsigned>(size.cx + kItemTextIndent);
  m->itemHeight = static_cast<unsigned>(size.cy + 2);
}

void DrawMenuItem(DRAWITEMSTRUCT* d) {
  CDC& dc = *d->pDC;
  const CRect r = d->rcItem;
  dc.FillRect(r, kItemBackground);
  dc.FillSolidRect(CRect{r.left, r.top, r.left + kItemStripWidth, r.bottom}, kItemStrip);
  dc.SetBkMode(TRANSPARENT);
  if (d->itemID == 0) {
    const int top = r.top + (r.bottom - r.top) / 2;
    dc.Draw3dRect(CRect{r.left + kItemStripWidth, top, r.right - 2, top + 2}, kSeparatorUpper,
                  kSeparatorLower);
    return;
  }
  const bool selected = d->itemState & ODS_SELECTED;
  const bool marked = d->itemState & ODS_CHECKED;
  const bool unavailable = d->itemState & ODS_GRAYED;
  DrawItemSelection(dc, r, selected);
  const CRect t{r.left + kItemTextIndent, r.top, r.right, r.bottom};
  const MenuItemData* rec = Record(d->itemData);
  DrawItemText(dc, rec ? rec->strText : std::string(), t, selected, marked, unavailable);
}

void DrawItemSelection(CDC& dc, const CRect& r, bool selected) {
  if (!selected) return;
  // The box leaves the strip's first column showing.
  dc.Draw3dRect(CRect{r.left + 1, r.top, r.right, r.bottom}, kSelectionOutline, kSelectionOutline);
  dc.FillSolidRect(CRect{r.left + 2, r.top + 1, r.right - 1, r.bottom - 1}, kSelectionFill);
}

void DrawItemText(CDC& dc, const std::string& text, const CRect& t, bool selected, bool marked,
                  bool unavailable) {
  if (marked) {
    // A tick: a short stroke falling over x 8..10, a longer one rising over
    // x 11..15, each column three pixels tall.
    for (int i = 0; i < 3; ++i) {
      dc.MoveTo(8 + i, t.top + 7 + i);
      dc.LineTo(8 + i, t.top + 10 + i);
    }
    for (int j = 0; j < 5; ++j) {
      dc.MoveTo(11 + j, t.top + 9 - j);
      dc.LineTo(11 + j, t.top + 12 - j);
    }
  }
  CRect box = t;
  if (unavailable) {
    dc.SetTextColor(kGrayedText);
    box.left -= 1;
    box.top -= 1;
  } else if (selected) {
    dc.SetTextColor(kSelectedText);
  }
  dc.DrawText(text, box, kDrawFormat);
}
