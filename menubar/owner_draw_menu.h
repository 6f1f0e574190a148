#pragma once
// Owner-drawn popup items: every item of the bar's popups is measured and
// drawn here rather than by the popup itself: a white row with a blue-grey
// strip along its left side, a light box with a blue outline under the
// selected item, a tick drawn with line segments, grey text for unavailable
// items and a two-tone line for separators.
//
// Records: each conversion gives every item a fresh MenuItemData holding its
// text and ID at that moment; the item's item data points at it. Records are
// kept in g_vecMenuItemData in creation order until the program ends (earlier
// ones too), so an item's pointer stays valid across later conversions.
// UI thread only.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt/gdi.h"
#include "platform/qt/owner_draw.h"

namespace zantrel {
class CMenu;
}
class CDC;

struct MenuItemData {
  std::string strText;  // "&" prefix included; empty for a separator
  unsigned nID = 0;     // 0 separator, 0xFFFFFFFF an item opening a popup
};

extern std::vector<std::unique_ptr<MenuItemData>> g_vecMenuItemData;

// Colours of the items; fixed, whatever the desktop's theme.
inline constexpr COLORREF kItemBackground = RGB(255, 255, 255);
inline constexpr COLORREF kItemStrip = RGB(202, 212, 224);
inline constexpr COLORREF kSelectionOutline = RGB(0, 0, 255);
inline constexpr COLORREF kSelectionFill = RGB(223, 235, 248);
inline constexpr COLORREF kGrayedText = RGB(127, 127, 127);
inline constexpr COLORREF kSelectedText = RGB(0, 0, 0);
inline constexpr COLORREF kSeparatorUpper = RGB(181, 179, 252);
inline constexpr COLORREF kSeparatorLower = RGB(255, 255, 255);
inline constexpr int kItemStripWidth = 22;
inline constexpr int kItemTextIndent = 24;
inline constexpr int kSeparatorHeight = 6;

// Converts every item of every popup of `menu` (whose top-level items all
// open popups), last to first.
void ConvertMenuToOwnerDraw(zantrel::CMenu& menu);
// Converts one popup, nested popups first; each item keeps its command ID.
// An item already owner-drawn keeps the text of its current record.
void ConvertPopupToOwnerDraw(zantrel::CMenu& popup);

// Separator: height 6, width untouched. Others: the record's text measured in
// a fresh context's default font, "&" included; width + 24, height + 2.
void MeasureMenuItem(MEASUREITEMSTRUCT* m);
// Draws one item into d->pDC within d->rcItem. The tick's x positions are
// absolute in the drawing surface (8 to 15), not offset by rcItem.left.
void DrawMenuItem(DRAWITEMSTRUCT* d);
void DrawItemSelection(CDC& dc, const CRect& r, bool selected);
void DrawItemText(CDC& dc, const std::string& text, const CRect& t, bool selected, bool marked,
                  bool unavailable);
