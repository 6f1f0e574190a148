// The menu bar: creation, the cells' layout, painting, the language refresh
// and the check marks put on before a popup opens.
#include "menubar/menu_wnd.h"

#include <QApplication>
#include <QPainter>

#include "i18n/language.h"
#include "i18n/language_list.h"
#include "i18n/menu_translate.h"
#include "menubar/owner_draw_menu.h"
#include "menubar/popup_menu_wnd.h"
#include "platform/qt/device_context.h"
#include "platform/qt/dialog_base.h"

using zantrel::CMenu;

CMenuWnd* g_pMenuWnd = nullptr;

namespace {
constexpr unsigned kCellTextFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
constexpr int kMenuNumber = 128;  // the number language files know the menu by
constexpr int kSkinPopup = 1;
constexpr int kLanguagePopup = 2;

struct SkinMark {
  int nSkin;
  unsigned id;
};
// Skin number -> its command in the skin popup.
constexpr SkinMark kSkinMarks[] = {
    {1, 32774}, {2, 32771}, {3, 32772}, {4, 32775}, {5, 32776}};

}  // namespace

CMenuWnd::CMenuWnd(CDialogBase* owner, std::unique_ptr<CMenu> menu,
                   const std::string& programDir, const int* pnSkin)
    : QWidget(owner), m_menu(std::move(menu)), m_owner(owner), m_pnSkin(pnSkin) {
  if (!g_pMenuWnd) g_pMenuWnd = this;
  setMouseTracking(true);
  // Every pixel is painted here: the parent's background, then the cells.
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Reached by the pointer or from the keyboard (Alt, F10), never by Tab.
  setFocusPolicy(Qt::NoFocus);
  qApp->installEventFilter(this);
  // Translated before the language items exist, so they show the list's own
  // texts until the first change of language.
  TranslateMenu(*m_menu, kMenuNumber);
  BuildMenuBar(programDir);
  // Created after the layout on purpose: the cells are measured in the
  // default font and only drawn in this one.
  m_font.CreateFont(12, 0, 0, 0, 400, 0, 0, 0, 1, 2, 1, 0, 0, "宋体");
}

CMenuWnd::~CMenuWnd() {
  // A popup still open (the dialog going away under it) ends without a
  // choice; the filter then finds no bar to report to.
  if (m_pPopup) m_pPopup->close();
  if (g_pMenuWnd == this) g_pMenuWnd = nullptr;
}

void CMenuWnd::BuildMenuBar(const std::string& programDir) {
  if (CMenu* popup = m_menu->GetSubMenu(kLanguagePopup))
    m_vecLanguages =
        AppendLanguageItems(*popup, ReadLanguageList(programDir + kLanguageListFile));
  ConvertMenuToOwnerDraw(*m_menu);
  const int n = m_menu->GetMenuItemCount();
  CDC dc;  // a fresh context: measured in its default font
  int x = 0;
  for (int i = 0; i < n; ++i) {
    MenuBarItem item;
    m_menu->GetMenuString(static_cast<unsigned>(i), item.strText, zantrel::MF_BYPOSITION);
    item.nLeft = x;
    item.nWidth = dc.GetTextExtent(item.strText).cx + 2;
    item.nHeight = kCellHeight;
    m_arrItems.push_back(item);
    x += item.nWidth;
  }
  setGeometry(0, 0, x, kCellHeight);
  update();
}

std::string CMenuWnd::GetLanguageName(int id) const {
  return HasLanguage(id) ? m_vecLanguages[static_cast<std::size_t>(id) - kFirstLanguageCommand]
                         : std::string();
}

bool CMenuWnd::HasLanguage(int id) const {
  return id >= static_cast<int>(kFirstLanguageCommand) &&
         static_cast<std::size_t>(id) - kFirstLanguageCommand < m_vecLanguages.size();
}

void CMenuWnd::RefreshMenuTexts() {
  TranslateMenu(*m_menu, kMenuNumber);
  ConvertMenuToOwnerDraw(*m_menu);
  for (int i = 0; i < m_menu->GetMenuItemCount() && i < CellCount(); ++i)
    m_menu->GetMenuString(static_cast<unsigned>(i), m_arrItems[static_cast<std::size_t>(i)].strText,
                         zantrel::MF_BYPOSITION);
  update();
}

QRect CMenuWnd::CellRect(int index) const {
  const MenuBarItem& c = Cell(index);
  return QRect(c.nLeft, 0, c.nWidth, c.nHeight);
}

int CMenuWnd::CellAt(const QPoint& p) const {
  for (int i = 0; i < CellCount(); ++i)
    if (CellRect(i).contains(p)) return i;
  return -1;
}

void CMenuWnd::paintEvent(QPaintEvent*) {
  QPainter p(this);
  m_background.PaintParentBackground(p, this);
  CDC dc(p);
  DrawItems(dc);
}

void CMenuWnd::DrawItems(CDC& dc) {
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(RGB(0, 0, 0));
  const CFont* old = dc.SelectObject(&m_font);
  for (const MenuBarItem& item : m_arrItems) {
    CRect r{item.nLeft, 0, item.nLeft + item.nWidth, item.nHeight};
    if (item.nState == 1 || item.nState == 2) dc.Draw3dRect(r, kFrameColour, kFrameColour);
    dc.DrawText(item.strText, r, kCellTextFormat);
  }
  dc.SelectObject(old);
}

void CMenuWnd::UpdateCheckMarks(int index, CMenu& popup) {
  if (index == kLanguagePopup) SetLanguageCheckMarks(popup, m_vecLanguages, GetCurrentLanguage());
  if (index == kSkinPopup) {
    const int nSkin = m_pnSkin ? *m_pnSkin : 0;
    bool known = false;
    for (const SkinMark& m : kSkinMarks) known = known || m.nSkin == nSkin;
    if (!known) return;  // no known skin: the marks stay as they are
    for (const SkinMark& m : kSkinMarks)
      popup.CheckMenuItem(m.id, zantrel::MF_BYCOMMAND |
                                    (m.nSkin == nSkin ? zantrel::MF_CHECKED : zantrel::MF_UNCHECKED));
  }
}
