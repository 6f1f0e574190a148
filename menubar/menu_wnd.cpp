#include "menubar/menu_wnd.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include "platform/qt/dialog_base.h"

const std::vector<MenuPopupDef>& MainMenu() {
  static const std::vector<MenuPopupDef> menu = {
      {"文件(&F)", {{32778, "添加文件"}, {0, ""}, {57665, "退出程序"}}},
      {"皮肤(&S)",
       {{32774, "Tesmor经典"}, {32771, "灰色金属"}, {32776, "未来战士"}, {32772, "蓝色WM"},
        {32775, "银色XP"}}},
      {"语言(&L)", {{32784, "自动选择"}, {0, ""}}},
      {"帮助(&H)", {{32786, "访问主页"}, {57664, "关于"}}},
  };
  return menu;
}

namespace {
constexpr int kCellHeight = 18;
constexpr int kCellPadding = 8;

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
}  // namespace

CMenuWnd::CMenuWnd(CDialogBase* owner) : QWidget(owner), m_owner(owner) {
  setMouseTracking(true);
  int left = 0;
  for (const auto& popup : MainMenu()) {
    Cell c;
    c.text = QString::fromUtf8(popup.text);
    int u;
    c.left = left;
    c.width = fontMetrics().horizontalAdvance(Displayed(c.text, &u)) + 2 * kCellPadding;
    left += c.width;
    m_cells.push_back(c);
  }
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
  QMenu menu(this);
  for (const MenuItemDef& item : MainMenu()[static_cast<std::size_t>(index)].items) {
    if (item.id == 0) {
      menu.addSeparator();
      continue;
    }
    QAction* a = menu.addAction(QString::fromUtf8(item.text));
    a->setData(item.id);
  }
  QAction* chosen = menu.exec(mapToGlobal(CellRect(index).bottomLeft()));
  m_hot = -1;
  update();
  if (chosen && m_owner) m_owner->OnCommand(chosen->data().toInt());
}
