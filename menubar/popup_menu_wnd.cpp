#include "menubar/popup_menu_wnd.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>

#include "menubar/owner_draw_menu.h"
#include "platform/menu.h"
#include "platform/qt/device_context.h"
#include "platform/qt/dialog_base.h"
#include "platform/qt/gdi_font.h"
#include "platform/qt/owner_draw.h"

using zantrel::CMenu;

namespace {
int g_nOpenPopups = 0;
constexpr COLORREF kFrame = RGB(128, 128, 128);
constexpr COLORREF kPlainBackground = RGB(255, 255, 255);
constexpr COLORREF kPlainText = RGB(0, 0, 0);
constexpr int kPlainIndent = 24;

// The font the popup selects into its context before items draw: the
// 12-pixel "宋体" the desktop's menus use in this program's language.
const CFont& MenuFont() {
  static const CFont font = [] {
    CFont f;
    f.CreateFont(12, 0, 0, 0, 400, 0, 0, 0, 1, 2, 1, 0, 0, "宋体");
    return f;
  }();
  return font;
}

bool IsSeparator(unsigned id, unsigned flags) {
  return (flags & zantrel::MF_SEPARATOR) || id == 0;
}
}  // namespace

CPopupMenuWnd::CPopupMenuWnd(CMenu& menu, CDialogBase* owner)
    : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint), m_menu(menu), m_owner(owner) {
  setAttribute(Qt::WA_NoMouseReplay);  // a press that closes the popup does nothing else
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  Layout();
}

CPopupMenuWnd::~CPopupMenuWnd() = default;

int CPopupMenuWnd::OpenCount() { return g_nOpenPopups; }

void CPopupMenuWnd::Layout() {
  m_items.clear();
  int y = kBorder;
  int width = 0;
  for (int i = 0; i < m_menu.GetMenuItemCount(); ++i) {
    const CMenu::Item* src = m_menu.ItemAt(i);
    Item it;
    it.id = m_menu.GetMenuItemID(i);
    it.flags = src->flags;
    it.data = src->itemData;
    it.ownerDrawn = src->flags & zantrel::MF_OWNERDRAW;
    MEASUREITEMSTRUCT m;
    m.itemID = it.id;
    m.itemData = it.data;
    if (it.ownerDrawn) {
      if (m_owner) m_owner->OnMeasureItem(0, m);
    } else if (IsSeparator(it.id, it.flags)) {
      m.itemHeight = 6;
    } else {
      CDC dc;
      dc.SelectObject(&MenuFont());
      const CSize size = dc.GetTextExtent(src->text);
      m.itemWidth = static_cast<unsigned>(size.cx + kPlainIndent + 8);
      m.itemHeight = static_cast<unsigned>(size.cy + 4);
    }
    it.top = y;
    it.height = static_cast<int>(m.itemHeight);
    y += it.height;
    width = std::max(width, static_cast<int>(m.itemWidth));
    m_items.push_back(it);
  }
  m_nWidth = width;
  resize(width + 2 * kBorder, y + kBorder);
}

QRect CPopupMenuWnd::ItemRect(int index) const {
  const Item& it = m_items[static_cast<std::size_t>(index)];
  return QRect(kBorder, it.top, m_nWidth, it.height);
}

int CPopupMenuWnd::ItemAt(const QPoint& p) const {
  for (int i = 0; i < ItemCount(); ++i)
    if (ItemRect(i).contains(p)) return i;
  return -1;
}

bool CPopupMenuWnd::Selectable(int index) const {
  if (index < 0 || index >= ItemCount()) return false;
  const Item& it = m_items[static_cast<std::size_t>(index)];
  return !IsSeparator(it.id, it.flags);
}

bool CPopupMenuWnd::Choosable(int index) const {
  if (!Selectable(index)) return false;
  const Item& it = m_items[static_cast<std::size_t>(index)];
  return !(it.flags & (zantrel::MF_GRAYED | zantrel::MF_DISABLED)) && it.id != zantrel::kMenuNoId;
}

void CPopupMenuWnd::Select(int index) {
  if (!Selectable(index)) index = -1;
  if (index == m_nSelected) return;
  m_nSelected = index;
  update();
}

void CPopupMenuWnd::Choose(int index) {
  if (!Choosable(index)) return;
  m_nChosen = m_items[static_cast<std::size_t>(index)].id;
  Cancel();
}

void CPopupMenuWnd::Step(int delta) {
  const int n = ItemCount();
  if (n == 0) return;
  int i = m_nSelected;
  for (int tries = 0; tries < n; ++tries) {
    i = (i < 0) ? (delta > 0 ? 0 : n - 1) : (i + delta + n) % n;
    if (Selectable(i)) {
      Select(i);
      return;
    }
  }
}

unsigned CPopupMenuWnd::Track(const QPoint& screenTopLeft, bool selectFirst) {
  QPoint at = screenTopLeft;
  if (const QScreen* screen = QGuiApplication::screenAt(screenTopLeft)) {
    const QRect avail = screen->availableGeometry();
    at.setX(std::max(avail.left(), std::min(at.x(), avail.right() + 1 - width())));
    at.setY(std::max(avail.top(), std::min(at.y(), avail.bottom() + 1 - height())));
  }
  move(at);
  m_nChosen = 0;
  m_nSelected = -1;
  m_bEscaped = false;
  if (selectFirst) Step(1);
  QEventLoop loop;
  m_pLoop = &loop;
  show();
  ++g_nOpenPopups;
  if (isVisible()) loop.exec();
  --g_nOpenPopups;
  m_pLoop = nullptr;
  hide();

  const unsigned chosen = m_nChosen;
  if (chosen != 0 && m_owner) {
    // Posted, as WM_COMMAND is: the handler runs once the bar's popup run
    // has unwound, so a command may open dialogs or rebuild the menu.
    QPointer<CDialogBase> owner = m_owner;
    QMetaObject::invokeMethod(
        m_owner.data(), [owner, chosen] { if (owner) owner->OnCommand(static_cast<int>(chosen)); },
        Qt::QueuedConnection);
  }
  return chosen;
}

void CPopupMenuWnd::Cancel() {
  hide();
  if (m_pLoop) m_pLoop->quit();
}

void CPopupMenuWnd::hideEvent(QHideEvent* e) {
  QWidget::hideEvent(e);
  if (m_pLoop) m_pLoop->quit();
}

void CPopupMenuWnd::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  CDC dc(painter);
  // The frame follows the loaded skin (its palette's shadow tone); the items
  // inside keep their fixed colours.
  const QColor shadow = palette().color(QPalette::Shadow);
  const COLORREF frame = RGB(shadow.red(), shadow.green(), shadow.blue());
  dc.Draw3dRect(CRect{0, 0, width(), height()}, frame, frame);
  dc.SelectObject(&MenuFont());
  for (int i = 0; i < ItemCount(); ++i) {
    const Item& it = m_items[static_cast<std::size_t>(i)];
    const QRect q = ItemRect(i);
    CRect r{q.left(), q.top(), q.right() + 1, q.bottom() + 1};
    dc.SetTextColor(kPlainText);
    dc.SetBkMode(OPAQUE);
    dc.SetBkColor(kPlainBackground);
    if (it.ownerDrawn) {
      DRAWITEMSTRUCT d;
      d.itemID = it.id;
      d.itemState = (i == m_nSelected ? ODS_SELECTED : 0u) |
                    ((it.flags & zantrel::MF_CHECKED) ? ODS_CHECKED : 0u) |
                    ((it.flags & zantrel::MF_GRAYED) ? ODS_GRAYED : 0u);
      d.pDC = &dc;
      d.rcItem = r;
      d.itemData = it.data;
      if (m_owner) m_owner->OnDrawItem(0, d);
      continue;
    }
    // Plain items: only reachable before the bar converts its popups.
    dc.FillRect(r, i == m_nSelected ? RGB(223, 235, 248) : kPlainBackground);
    if (IsSeparator(it.id, it.flags)) {
      const int y = r.top + r.Height() / 2;
      dc.FillRect(CRect{r.left + kPlainIndent, y, r.right - 2, y + 1}, kFrame);
      continue;
    }
    std::string text;
    m_menu.GetMenuString(static_cast<unsigned>(i), text, zantrel::MF_BYPOSITION);
    dc.SetBkMode(TRANSPARENT);
    if (it.flags & zantrel::MF_GRAYED) dc.SetTextColor(RGB(127, 127, 127));
    CRect t{r.left + kPlainIndent, r.top, r.right, r.bottom};
    dc.DrawText(text, t, DT_VCENTER | DT_SINGLELINE | DT_EXPANDTABS);
  }
}

void CPopupMenuWnd::mouseMoveEvent(QMouseEvent* e) {
  Select(ItemAt(e->position().toPoint()));
}

void CPopupMenuWnd::mousePressEvent(QMouseEvent* e) {
  if (!rect().contains(e->position().toPoint())) Cancel();
}

void CPopupMenuWnd::mouseReleaseEvent(QMouseEvent* e) {
  const int i = ItemAt(e->position().toPoint());
  if (i >= 0) Choose(i);
}

std::string CPopupMenuWnd::ItemText(int index) const {
  const Item& it = m_items[static_cast<std::size_t>(index)];
  if (it.ownerDrawn)
    return it.data ? reinterpret_cast<const MenuItemData*>(it.data)->strText : std::string();
  std::string text;
  m_menu.GetMenuString(static_cast<unsigned>(index), text, zantrel::MF_BYPOSITION);
  return text;
}

void CPopupMenuWnd::ChooseByMnemonic(QChar ch) {
  ch = ch.toLower();
  // Items whose "&" letter is ch; failing those, items beginning with ch.
  std::vector<int> marked, initial;
  for (int i = 0; i < ItemCount(); ++i) {
    if (!Selectable(i)) continue;
    const QString t = QString::fromStdString(ItemText(i));
    for (qsizetype k = 0; k + 1 < t.size(); ++k) {
      if (t[k] != u'&') continue;
      if (t[k + 1] == u'&') {
        ++k;
        continue;
      }
      if (t[k + 1].toLower() == ch) marked.push_back(i);
      break;
    }
    const QString plain = QString(t).remove(u'&');
    if (!plain.isEmpty() && plain[0].toLower() == ch) initial.push_back(i);
  }
  const std::vector<int>& hits = marked.empty() ? initial : marked;
  if (hits.empty()) return;
  if (hits.size() == 1) {
    Select(hits[0]);
    Choose(hits[0]);
    return;
  }
  // Several: the next one after the selection, in turn.
  auto next = std::upper_bound(hits.begin(), hits.end(), m_nSelected);
  Select(next == hits.end() ? hits.front() : *next);
}

void CPopupMenuWnd::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Up: Step(-1); break;
    case Qt::Key_Down: Step(1); break;
    case Qt::Key_Home: Select(-1); Step(1); break;
    case Qt::Key_End: Select(-1); Step(-1); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: Choose(m_nSelected); break;
    case Qt::Key_Escape:
      m_bEscaped = true;
      Cancel();
      break;
    default:
      if (e->text().size() == 1 && e->text()[0].isLetterOrNumber() &&
          !(e->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)))
        ChooseByMnemonic(e->text()[0]);
      break;
  }
}
