// The menu bar: hot tracking, presses, and the popup run with its filter.
#include <QMouseEvent>
#include <QPointer>

#include "menubar/menu_msg_filter.h"
#include "menubar/menu_wnd.h"
#include "menubar/popup_menu_wnd.h"

void CMenuWnd::mouseMoveEvent(QMouseEvent* e) { OnMouseMove(e->position().toPoint()); }

void CMenuWnd::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) OnLButtonDown(e->position().toPoint());
}

// The bar takes a second click as another press, as a window without
// double-click messages does.
void CMenuWnd::mouseDoubleClickEvent(QMouseEvent* e) { mousePressEvent(e); }

void CMenuWnd::leaveEvent(QEvent*) {
  m_ptPointer = QPoint(-1, -1);
  OnMouseLeave();
}

void CMenuWnd::SetCellState(int index, int state) {
  m_arrItems[static_cast<std::size_t>(index)].nState = state;
  repaint(CellRect(index));  // at once, as the pointer moves
}

void CMenuWnd::OnMouseMove(const QPoint& point) {
  m_ptPointer = point;
  for (int i = 0; i < CellCount(); ++i) {
    const int state = Cell(i).nState;
    if (CellRect(i).contains(point)) {
      if (m_bTracking) {
        if (state != 2) {
          m_nPendingPopup = i;
          SetCellState(i, 2);
        }
      } else if (state != 1) {
        SetCellState(i, 1);
      }
    } else if (state == 1 || state == 2) {
      SetCellState(i, 0);
    }
  }
  // A pending cell that is not the open one: close the open popup, and the
  // popup run goes on with the pending one.
  if (m_nPendingPopup != -1) CancelMode();
}

void CMenuWnd::OnLButtonDown(const QPoint& point) {
  m_ptPointer = point;
  const int cell = CellAt(point);
  if (m_pPopup) {
    // A press on another cell while a popup is open switches like a move
    // onto it does: that cell pending, the open popup closed, one run.
    if (cell != -1 && cell != m_nOpenIndex && Cell(cell).nState != 2) {
      m_bTracking = 1;
      OnMouseMove(point);
      return;
    }
  } else if (cell == -1) {
    // Nothing open and no cell hit: stay idle, with nothing pending, so later
    // moves only track and no stale popup opens.
    m_bTracking = 0;
    m_nPendingPopup = -1;
    return;
  }

  m_bTracking = 1;
  if (cell != -1) {
    MenuBarItem& item = m_arrItems[static_cast<std::size_t>(cell)];
    if (item.nState == 2) {  // its popup is the open one
      item.nState = 1;
      m_bTracking = 0;
      m_nPendingPopup = -1;
    } else {
      m_nPendingPopup = cell;
      item.nState = 2;
    }
    repaint();
  }
  if (m_nPendingPopup != -1) {
    if (!m_pPopup) TrackPopup(m_nPendingPopup);
    else CancelMode();
  } else {
    CancelMode();
  }
}

void CMenuWnd::OpenPopup(int index) {
  if (index < 0 || index >= CellCount() || m_pPopup) return;
  OnLButtonDown(CellRect(index).center());
}

void CMenuWnd::OnMouseLeave() {
  if (!m_bTracking) ResetItemStates();
}

void CMenuWnd::ResetItemStates() {
  for (MenuBarItem& item : m_arrItems) {
    if (item.nState == 1 || item.nState == 2) {
      item.nState = 0;
      update(QRect(item.nLeft, 0, item.nWidth, item.nHeight));
    }
  }
}

void CMenuWnd::CancelMode() {
  if (m_pPopup) m_pPopup->Cancel();
}

bool CMenuWnd::FilterMenuMessage(bool isMove, const QPoint& screenPoint) {
  const QPoint point = mapFromGlobal(screenPoint);
  const bool inside = rect().contains(point);
  if (isMove) {
    if (inside) OnMouseMove(point);
    else m_ptPointer = QPoint(-1, -1);
    return false;
  }
  if (inside) {
    OnLButtonDown(point);
    return true;
  }
  m_ptPointer = QPoint(-1, -1);
  ResetItemStates();
  return false;
}

void CMenuWnd::TrackPopup(int index) {
  QPointer<CMenuWnd> self(this);
  int last = index;
  bool escaped = false;
  while (index != -1) {
    m_nPendingPopup = -1;
    zantrel::CMenu* popup = m_menu->GetSubMenu(index);
    if (!popup) break;
    const QPoint at = mapToGlobal(QPoint(Cell(index).nLeft, kCellHeight));
    UpdateCheckMarks(index, *popup);
    {
      CPopupMenuWnd wnd(*popup, m_owner);
      CMenuMsgFilter filter(&wnd);
      m_pPopup = &wnd;
      m_nOpenIndex = index;
      // Opened from the keyboard: its first item selected, as a menu does.
      const bool selectFirst = m_bKeyPopup;
      m_bKeyPopup = false;
      wnd.Track(at, selectFirst);
      if (!self) return;  // the dialog, and the bar with it, went away
      m_pPopup = nullptr;
      m_nOpenIndex = -1;
      escaped = wnd.ClosedByEscape();
    }
    last = index;
    index = m_nPendingPopup;
  }
  m_bTracking = 0;
  m_bKeyPopup = false;
  if (m_nKeyCell == -1) {
    StatesFromPointer();
  } else if (escaped) {
    // Escape closes one level: the cell is marked again, a second Escape
    // leaves the bar.
    MarkCell(last);
    setFocus(Qt::ShortcutFocusReason);
  } else {
    LeaveKeyboardMode();  // a choice, or a click elsewhere
  }
}

void CMenuWnd::StatesFromPointer() {
  // However the popup closed (keys, a click elsewhere, a press on its cell),
  // the cells now follow the pointer, so the next press on a cell opens it.
  for (int i = 0; i < CellCount(); ++i) {
    const int want = CellRect(i).contains(m_ptPointer) ? 1 : 0;
    if (Cell(i).nState != want) SetCellState(i, want);
  }
}
