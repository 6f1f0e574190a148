#include "menubar/menu_wnd.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include "i18n/language.h"
#include "i18n/language_list.h"
#include "i18n/menu_translate.h"
#include "platform/codepage.h"
#include "platform/qt/dialog_base.h"

CMenuWnd* g_pMenuWnd = nullptr;

namespace {
constexpr int kCellHeight = 18;
constexpr int kCellPadding = 8;
constexpr int kMenuNumber = 128;  // the number language files know the menu by
constexpr int kLanguagePopup = 2;

QString ToQ(const std::string& bytes) { return QString::fromStdString(zantrel::ToUtf8(bytes)); }

// The text as drawn: '&x' shows x underlined, '&&' shows one '&'.
QString Displayed(const QString& t, int* underlined) {
  QString out;
  *underlined = -1;
  for (int i = 0; i < t.size(); ++i) {
    if (t[i] == '&' && i + 1 < t.size()) {
      ++i;
      if (t[i] != '&') *underlined = out.size();
    }
    out += t[i];
  }
  return out;
}

QString TopLevelText(const zantrel::CMenu& menu, int pos) {
  std::string text;
  menu.GetMenuString(static_cast<unsigned>(pos), text, zantrel::MF_BYPOSITION);
  return ToQ(text);
}

// The on-screen popup of a menu: items, separators, check marks, grey
// states and nested popups as the model holds them.
void FillPopup(QMenu& out, const zantrel::CMenu& menu) {
  for (int p = 0; p < menu.GetMenuItemCount(); ++p) {
    const zantrel::CMenu::Item* item = menu.ItemAt(p);
    if (item->flags & zantrel::MF_SEPARATOR) {
      out.addSeparator();
      continue;
    }
    if (item->popup) {
      FillPopup(*out.addMenu(ToQ(item->text)), *item->popup);
      continue;
    }
    QAction* a = out.addAction(ToQ(item->text));
    a->setData(item->id);
    if (item->flags & zantrel::MF_CHECKED) {
      a->setCheckable(true);
      a->setChecked(true);
    }
    a->setEnabled(!(item->flags & (zantrel::MF_GRAYED | zantrel::MF_DISABLED)));
  }
}
}  // namespace

CMenuWnd::CMenuWnd(CDialogBase* owner, std::unique_ptr<zantrel::CMenu> menu,
                   const std::string& programDir)
    : QWidget(owner), m_owner(owner), m_menu(std::move(menu)) {
  if (!g_pMenuWnd) g_pMenuWnd = this;
  setMouseTracking(true);
  // Translated before the language items exist, so they show the list's own
  // texts until the first change of language.
  TranslateMenu(*m_menu, kMenuNumber);
  BuildMenuBar(programDir);
}

CMenuWnd::~CMenuWnd() {
  if (g_pMenuWnd == this) g_pMenuWnd = nullptr;
}

void CMenuWnd::BuildMenuBar(const std::string& programDir) {
  if (zantrel::CMenu* popup = m_menu->GetSubMenu(kLanguagePopup))
    m_vecLanguages =
        AppendLanguageItems(*popup, ReadLanguageList(programDir + kLanguageListFile));
  int left = 0;
  for (int i = 0; i < m_menu->GetMenuItemCount(); ++i) {
    Cell c;
    c.text = TopLevelText(*m_menu, i);
    int u;
    c.left = left;
    c.width = fontMetrics().horizontalAdvance(Displayed(c.text, &u)) + 2 * kCellPadding;
    left += c.width;
    m_cells.push_back(c);
  }
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
  for (int i = 0; i < CellCount() && i < m_menu->GetMenuItemCount(); ++i)
    m_cells[static_cast<std::size_t>(i)].text = TopLevelText(*m_menu, i);
  update();
}

void CMenuWnd::UpdateCheckMarks(int index, zantrel::CMenu& popup) {
  if (index == kLanguagePopup) SetLanguageCheckMarks(popup, m_vecLanguages, GetCurrentLanguage());
}

QRect CMenuWnd::CellRect(int index) const {
  const Cell& c = m_cells[static_cast<std::size_t>(index)];
  return QRect(c.left, 0, c.width, kCellHeight);
}

int CMenuWnd::CellAt(const QPoint& p) const {
  for (int i = 0; i < CellCount(); ++i)
    if (CellRect(i).contains(p)) return i;
  return -1;
}

void CMenuWnd::paintEvent(QPaintEvent*) {
  QPainter p(this);
  m_background.PaintParentBackground(p, this);
  for (int i = 0; i < CellCount(); ++i) {
    const QRect r = CellRect(i);
    if (i == m_hot) {
      p.setPen(QColor(0, 0, 255));
      p.drawRect(r.adjusted(0, 0, -1, -1));
    }
    int underlined;
    const QString shown = Displayed(m_cells[static_cast<std::size_t>(i)].text, &underlined);
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm = fontMetrics();
    const int x = r.left() + (r.width() - fm.horizontalAdvance(shown)) / 2;
    const int y = r.top() + (r.height() - fm.height()) / 2 + fm.ascent();
    p.drawText(x, y, shown);
    if (underlined >= 0) {
      const int ux = x + fm.horizontalAdvance(shown.left(underlined));
      const int uw = fm.horizontalAdvance(shown.mid(underlined, 1));
      p.drawLine(ux, y + 1, ux + uw - 1, y + 1);
    }
  }
}

void CMenuWnd::mouseMoveEvent(QMouseEvent* e) {
  const int hot = CellAt(e->position().toPoint());
  if (hot != m_hot) {
    m_hot = hot;
    update();
  }
}

void CMenuWnd::leaveEvent(QEvent*) {
  m_hot = -1;
  update();
}

void CMenuWnd::mousePressEvent(QMouseEvent* e) {
  const int cell = CellAt(e->position().toPoint());
  if (cell >= 0 && e->button() == Qt::LeftButton) OpenPopup(cell);
}

void CMenuWnd::OpenPopup(int index) {
  zantrel::CMenu* popup = m_menu->GetSubMenu(index);
  if (!popup) return;
  UpdateCheckMarks(index, *popup);
  QMenu menu(this);
  FillPopup(menu, *popup);
  QAction* chosen = menu.exec(mapToGlobal(CellRect(index).bottomLeft()));
  m_hot = -1;
  update();
  if (chosen && m_owner) m_owner->OnCommand(chosen->data().toInt());
}
