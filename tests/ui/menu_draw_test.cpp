// Device-context drawing and the owner-drawn popup items, pixel by pixel, on
// offscreen images at device pixel ratio 1.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include "menubar/owner_draw_menu.h"
#include "platform/menu.h"
#include "platform/qt/device_context.h"
#include "platform/qt/gdi_font.h"

using zantrel::CMenu;

namespace {
COLORREF At(const QImage& img, int x, int y) {
  const QColor c = img.pixelColor(x, y);
  return RGB(c.red(), c.green(), c.blue());
}

QImage Blank(int w, int h, COLORREF fill = RGB(255, 255, 255)) {
  QImage img(w, h, QImage::Format_RGB32);
  img.setDevicePixelRatio(1);
  img.fill(QColor(GetRValue(fill), GetGValue(fill), GetBValue(fill)));
  return img;
}

// Bounding box of the pixels that differ from `bg` inside `area`.
QRect InkBox(const QImage& img, const QRect& area, COLORREF bg) {
  QRect box;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (At(img, x, y) != bg) box |= QRect(x, y, 1, 1);
  return box;
}

// Draws one owner-drawn item with `state` into a fresh image.
QImage DrawItem(unsigned id, const std::string& text, unsigned state, const CRect& rc, int w, int h) {
  static MenuItemData rec;
  rec.strText = text;
  rec.nID = id;
  QImage img = Blank(w, h, RGB(9, 9, 9));
  {
    QPainter p(&img);
    CDC dc(p);
    dc.SelectObject(nullptr);
    DRAWITEMSTRUCT d;
    d.itemID = id;
    d.itemState = state;
    d.pDC = &dc;
    d.rcItem = rc;
    d.itemData = reinterpret_cast<std::uintptr_t>(&rec);
    DrawMenuItem(&d);
  }
  return img;
}
}  // namespace

TEST(DeviceContext, RectanglesLinesAndThe3dFrameFollowGdiPixels) {
  QImage img = Blank(20, 12);
  {
    QPainter p(&img);
    CDC dc(p);
    dc.FillRect(CRect{1, 1, 4, 3}, RGB(10, 0, 0));  // right and bottom excluded
    dc.Draw3dRect(CRect{6, 1, 10, 5}, RGB(0, 20, 0), RGB(0, 0, 30));
    dc.MoveTo(12, 2);
    dc.LineTo(12, 6);  // the end point is not drawn
    dc.MoveTo(14, 2);
    dc.LineTo(18, 2);
  }
  EXPECT_EQ(At(img, 3, 2), RGB(10, 0, 0));
  EXPECT_EQ(At(img, 4, 2), RGB(255, 255, 255));
  EXPECT_EQ(At(img, 3, 3), RGB(255, 255, 255));
  // Draw3dRect: top row and left column in the first colour except the last
  // pixel of each, right column and bottom row wholly in the second.
  EXPECT_EQ(At(img, 6, 1), RGB(0, 20, 0));
  EXPECT_EQ(At(img, 8, 1), RGB(0, 20, 0));
  EXPECT_EQ(At(img, 9, 1), RGB(0, 0, 30));
  EXPECT_EQ(At(img, 6, 3), RGB(0, 20, 0));
  EXPECT_EQ(At(img, 6, 4), RGB(0, 0, 30));
  EXPECT_EQ(At(img, 7, 2), RGB(255, 255, 255));
  for (int y = 2; y < 6; ++y) EXPECT_EQ(At(img, 12, y), RGB(0, 0, 0)) << y;
  EXPECT_EQ(At(img, 12, 6), RGB(255, 255, 255));
  EXPECT_EQ(At(img, 17, 2), RGB(0, 0, 0));
  EXPECT_EQ(At(img, 18, 2), RGB(255, 255, 255));
}

TEST(DeviceContext, PrefixesFollowDrawTextRules) {
  int u = 0;
  EXPECT_EQ(CDC::StripPrefixes("A&bc&&d", &u), "Abc&d");
  EXPECT_EQ(u, 1);
  EXPECT_EQ(CDC::StripPrefixes("Save&", &u), "Save&");
  EXPECT_EQ(u, -1);
  EXPECT_EQ(CDC::StripPrefixes("&a&b", &u), "ab");
  EXPECT_EQ(u, 1);  // the last prefixed character
  EXPECT_EQ(CDC::StripPrefixes("Lost & Found", &u), "Lost  Found");
  EXPECT_EQ(u, 5);
  EXPECT_EQ(CDC::StripPrefixes("文件(&F)", &u), "文件(F)");
  EXPECT_EQ(u, 3);
}

TEST(DeviceContext, DrawTextCentresUnderlinesAndExpandsTabs) {
  CDC measure;
  const QFontMetrics fm(CFont::DefaultFont().GetQFont());
  // The extent counts every character, "&" included.
  EXPECT_EQ(measure.GetTextExtent("A&B").cx, fm.horizontalAdvance("A&B"));
  EXPECT_EQ(measure.GetTextExtent("A&B").cy, fm.height());

  QImage img = Blank(200, 40);
  int ret = 0;
  {
    QPainter p(&img);
    CDC dc(p);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(200, 0, 0));
    CRect r{0, 0, 200, 40};
    ret = dc.DrawText("&HH", r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  const int w = fm.horizontalAdvance("HH"), h = fm.height();
  const int x = (0 + 200 - w) / 2, y = 20 - h / 2;
  EXPECT_EQ(ret, y + h);
  // The underline: one row at top + ascent + 1 under the first H only.
  const int uy = y + fm.ascent() + 1, hw = fm.horizontalAdvance("H");
  for (int i = 0; i < hw; ++i) EXPECT_EQ(At(img, x + i, uy), RGB(200, 0, 0)) << i;
  EXPECT_NE(At(img, x + hw + 1, uy), RGB(200, 0, 0));
  // Ink stays inside the centred box.
  const QRect ink = InkBox(img, img.rect(), RGB(255, 255, 255));
  EXPECT_GE(ink.left(), x - 1);
  EXPECT_LE(ink.right(), x + w);

  // A tab moves to the next stop, eight average characters from the left.
  QImage tabs = Blank(300, 30);
  {
    QPainter p(&tabs);
    CDC dc(p);
    CRect r{0, 0, 300, 30};
    dc.SetBkMode(TRANSPARENT);
    dc.DrawText("\tH", r, DT_SINGLELINE | DT_EXPANDTABS);
  }
  const int stop = 8 * fm.averageCharWidth();
  const QRect tabInk = InkBox(tabs, tabs.rect(), RGB(255, 255, 255));
  EXPECT_GE(tabInk.left(), stop);
  EXPECT_LT(tabInk.left(), stop + hw);
}

TEST(OwnerDrawItems, SeparatorIsATwoToneLineWhateverItsState) {
  const CRect rc{0, 0, 100, 6};
  for (unsigned state : {0u, unsigned(ODS_SELECTED), unsigned(ODS_SELECTED | ODS_CHECKED)}) {
    const QImage img = DrawItem(0, "", state, rc, 100, 6);
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < 100; ++x) {
        COLORREF want = x < 22 ? kItemStrip : kItemBackground;
        if (y == 3 && x >= 22 && x < 97) want = kSeparatorUpper;  // upper row, last pixel white
        EXPECT_EQ(At(img, x, y), want) << "state " << state << " at " << x << "," << y;
      }
    }
  }
}

TEST(OwnerDrawItems, SelectionBoxStartsOnePixelRightOfTheItemAndTextIsBlack) {
  const CRect rc{0, 10, 120, 30};
  const QImage img = DrawItem(32784, "AB", ODS_SELECTED, rc, 120, 40);
  for (int y = 10; y < 30; ++y) {
    EXPECT_EQ(At(img, 0, y), kItemStrip) << y;  // the strip's first column shows
    EXPECT_EQ(At(img, 1, y), kSelectionOutline) << y;
    EXPECT_EQ(At(img, 119, y), kSelectionOutline) << y;
  }
  for (int x = 1; x < 120; ++x) {
    EXPECT_EQ(At(img, x, 10), kSelectionOutline) << x;
    EXPECT_EQ(At(img, x, 29), kSelectionOutline) << x;
  }
  EXPECT_EQ(At(img, 2, 11), kSelectionFill);
  EXPECT_EQ(At(img, 21, 28), kSelectionFill);
  EXPECT_EQ(At(img, 118, 28), kSelectionFill);
  EXPECT_EQ(At(img, 5, 30), RGB(9, 9, 9));  // nothing outside the item
  // The text sits from left + 24, drawn in black.
  const QRect ink = InkBox(img, QRect(2, 11, 116, 18), kSelectionFill);
  ASSERT_FALSE(ink.isEmpty());
  EXPECT_GE(ink.left(), 24);
  bool black = false;
  for (int y = ink.top(); y <= ink.bottom(); ++y)
    for (int x = ink.left(); x <= ink.right(); ++x) black = black || At(img, x, y) == RGB(0, 0, 0);
  EXPECT_TRUE(black);
}

TEST(OwnerDrawItems, TickColumnsAreAbsoluteAndThreePixelsTall) {
  // An item whose rectangle starts at x 40: the tick still sits at x 8..15.
  const CRect rc{40, 20, 160, 42};
  const QImage img = DrawItem(2000, "", ODS_CHECKED, rc, 170, 50);
  auto black = [&](int x, int y) { return At(img, x, y) == RGB(0, 0, 0); };
  for (int i = 0; i < 3; ++i)
    for (int y = 20; y < 42; ++y)
      EXPECT_EQ(black(8 + i, y), y >= 27 + i && y < 30 + i) << "x " << 8 + i << " y " << y;
  for (int j = 0; j < 5; ++j)
    for (int y = 20; y < 42; ++y)
      EXPECT_EQ(black(11 + j, y), y >= 29 - j && y < 32 - j) << "x " << 11 + j << " y " << y;
  for (int y = 20; y < 42; ++y) {
    EXPECT_FALSE(black(7, y));
    EXPECT_FALSE(black(16, y));
  }
}

TEST(OwnerDrawItems, UnavailableTextIsGreyAndOnePixelUpAndLeft) {
  const CRect rc{0, 0, 140, 24};
  const QImage normal = DrawItem(32778, "添加文件", 0, rc, 140, 24);
  const QImage grey = DrawItem(32778, "添加文件", ODS_GRAYED, rc, 140, 24);
  const QRect area(22, 0, 118, 24);
  const QRect a = InkBox(normal, area, kItemBackground), b = InkBox(grey, area, kItemBackground);
  ASSERT_FALSE(a.isEmpty());
  EXPECT_EQ(b, a.translated(-1, -1));
  bool sawGrey = false;
  for (int y = b.top(); y <= b.bottom(); ++y)
    for (int x = b.left(); x <= b.right(); ++x) {
      const COLORREF c = At(grey, x, y);
      sawGrey = sawGrey || c == kGrayedText;
      EXPECT_GE(GetRValue(c), 127) << x << "," << y;  // nothing darker than the grey
    }
  EXPECT_TRUE(sawGrey);
}

TEST(OwnerDrawItems, MeasureUsesTheFreshContextsFont) {
  MenuItemData rec{"自动选择", 32784};
  MEASUREITEMSTRUCT m;
  m.itemID = 32784;
  m.itemData = reinterpret_cast<std::uintptr_t>(&rec);
  MeasureMenuItem(&m);
  const CSize ext = CDC().GetTextExtent("自动选择");
  EXPECT_EQ(m.itemWidth, unsigned(ext.cx + 24));
  EXPECT_EQ(m.itemHeight, unsigned(ext.cy + 2));

  MEASUREITEMSTRUCT sep;
  sep.itemID = 0;
  sep.itemWidth = 77;
  MeasureMenuItem(&sep);
  EXPECT_EQ(sep.itemHeight, 6u);
  EXPECT_EQ(sep.itemWidth, 77u);
}

TEST(OwnerDrawItems, ConversionKeepsIdsAndEveryRecordStaysValid) {
  CMenu menu;
  auto a = std::make_unique<CMenu>();
  a->AppendMenu(zantrel::MF_STRING, 32778, "添加文件");
  a->AppendMenu(zantrel::MF_SEPARATOR);
  a->AppendMenu(zantrel::MF_STRING, 57665, "退出程序");
  menu.AppendPopup(std::move(a), "文件(&F)");
  const std::size_t before = g_vecMenuItemData.size();
  ConvertMenuToOwnerDraw(menu);
  ASSERT_EQ(g_vecMenuItemData.size(), before + 3);
  CMenu* popup = menu.GetSubMenu(0);
  const auto* first = reinterpret_cast<const MenuItemData*>(popup->GetItemData(0, zantrel::MF_BYPOSITION));
  EXPECT_EQ(first->strText, "添加文件");
  EXPECT_EQ(first->nID, 32778u);
  EXPECT_EQ(popup->GetMenuItemID(1), 0u);
  EXPECT_TRUE(popup->GetMenuState(2, zantrel::MF_BYPOSITION) & zantrel::MF_OWNERDRAW);

  // A second pass (as after a language change) adds fresh records; the old
  // ones are still there for anything holding their address.
  popup->ModifyMenu(0, zantrel::MF_BYPOSITION, 32778, "Add file");
  ConvertMenuToOwnerDraw(menu);
  EXPECT_EQ(g_vecMenuItemData.size(), before + 6);
  EXPECT_EQ(first->strText, "添加文件");
  const auto* fresh = reinterpret_cast<const MenuItemData*>(popup->GetItemData(0, zantrel::MF_BYPOSITION));
  EXPECT_EQ(fresh->strText, "Add file");
  // An item that was not given a new text keeps the one its record held.
  const auto* kept = reinterpret_cast<const MenuItemData*>(popup->GetItemData(2, zantrel::MF_BYPOSITION));
  EXPECT_EQ(kept->strText, "退出程序");
  EXPECT_EQ(kept->nID, 57665u);
}
