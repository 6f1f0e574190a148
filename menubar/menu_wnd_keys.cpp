// The menu bar from the keyboard: Alt and F10 mark a cell, Alt+mnemonic opens
// a popup from anywhere in the window, the arrows move between cells and
// between open popups, and the focus goes back where it was.
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>

#include "menubar/menu_wnd.h"
#include "menubar/popup_menu_wnd.h"

namespace {
// A key that may be a mnemonic: an ASCII letter or digit, by key code, so
// that Alt (which changes the event's text on some keyboards) does not matter.
QChar MnemonicOfKey(int key) {
  if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
    return QChar(key).toLower();
  return QChar();
}

bool AltOnly(Qt::KeyboardModifiers m) {
  return (m & Qt::AltModifier) && !(m & (Qt::ControlModifier | Qt::MetaModifier));
}
}  // namespace

int CMenuWnd::CellForMnemonic(QChar ch) const {
  if (ch.isNull()) return -1;
  for (int i = 0; i < CellCount(); ++i) {
    const QString text = QString::fromStdString(Cell(i).strText);
    for (qsizetype k = 0; k + 1 < text.size(); ++k) {
      if (text[k] != u'&') continue;
      if (text[k + 1] == u'&') {
        ++k;  // "&&" is a plain "&"
        continue;
      }
      if (text[k + 1].toLower() == ch.toLower()) return i;
      break;
    }
  }
  return -1;
}

bool CMenuWnd::OwnsKeyEvent(QObject* watched) const {
  if (!watched->isWidgetType()) return false;
  const QWidget* w = static_cast<QWidget*>(watched);
  return isVisible() && isEnabled() && w->window() == window();
}

bool CMenuWnd::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
    return false;
  auto* ke = static_cast<QKeyEvent*>(event);
  if (!OwnsKeyEvent(watched) || m_pPopup) {
    if (type == QEvent::KeyPress) m_bAltAlone = false;
    return false;
  }
  const int key = ke->key();
  if (type == QEvent::ShortcutOverride) {
    // Alt+mnemonic belongs to the bar: no shortcut of the window takes it,
    // and the key press that follows is handled below.
    if (AltOnly(ke->modifiers()) && CellForMnemonic(MnemonicOfKey(key)) != -1) {
      ke->accept();
      return true;
    }
    return false;
  }
  if (type == QEvent::KeyRelease) {
    if (key != Qt::Key_Alt || !m_bAltAlone) return false;
    m_bAltAlone = false;
    if (m_nKeyCell != -1) LeaveKeyboardMode();
    else EnterKeyboardMode(0);
    return true;
  }
  if (key == Qt::Key_Alt) {
    if (!ke->isAutoRepeat()) m_bAltAlone = true;
    return false;
  }
  m_bAltAlone = false;
  if (key == Qt::Key_F10 && !(ke->modifiers() & ~Qt::KeypadModifier)) {
    if (m_nKeyCell != -1) LeaveKeyboardMode();
    else EnterKeyboardMode(0);
    return true;
  }
  if (AltOnly(ke->modifiers())) {
    const int cell = CellForMnemonic(MnemonicOfKey(key));
    if (cell == -1) return false;
    // Opened from the event loop: the popup runs its own loop, which must
    // not start inside this key's delivery.
    if (m_nKeyCell == -1) EnterKeyboardMode(cell);
    QMetaObject::invokeMethod(this, [this, cell] { OpenFromKeyboard(cell); }, Qt::QueuedConnection);
    return true;  // the letter never reaches the control
  }
  return false;
}

void CMenuWnd::EnterKeyboardMode(int cell) {
  if (m_pPopup || CellCount() == 0) return;
  QWidget* focus = QApplication::focusWidget();
  m_pFocusBefore = (focus && focus != this && focus->window() == window()) ? focus : nullptr;
  m_nKeyCell = cell;
  MarkCell(cell);
  setFocus(Qt::ShortcutFocusReason);
}

void CMenuWnd::MarkCell(int cell) {
  m_nKeyCell = cell;
  for (int i = 0; i < CellCount(); ++i) {
    const int want = i == cell ? 1 : 0;
    if (Cell(i).nState != want) SetCellState(i, want);
  }
}

void CMenuWnd::LeaveKeyboardMode() {
  if (m_nKeyCell == -1) return;
  m_nKeyCell = -1;
  StatesFromPointer();
  QPointer<QWidget> back = m_pFocusBefore;
  m_pFocusBefore = nullptr;
  if (back && back->isEnabled() && back->isVisible()) back->setFocus(Qt::ShortcutFocusReason);
  else if (hasFocus()) focusNextChild();
}

void CMenuWnd::OpenFromKeyboard(int cell) {
  if (m_pPopup || cell < 0 || cell >= CellCount() || m_nKeyCell == -1) return;
  m_nKeyCell = cell;
  for (int i = 0; i < CellCount(); ++i)
    if (Cell(i).nState != (i == cell ? 2 : 0)) SetCellState(i, i == cell ? 2 : 0);
  m_bTracking = 1;
  m_bKeyPopup = true;
  TrackPopup(cell);
}

bool CMenuWnd::FilterMenuKey(int key) {
  if (!m_pPopup || (key != Qt::Key_Left && key != Qt::Key_Right)) return false;
  const int n = CellCount();
  const int next = (m_nOpenIndex + (key == Qt::Key_Left ? n - 1 : 1)) % n;
  if (m_nKeyCell != -1) m_nKeyCell = next;
  m_bKeyPopup = true;
  m_nPendingPopup = next;
  for (int i = 0; i < n; ++i)
    if (Cell(i).nState != (i == next ? 2 : 0)) SetCellState(i, i == next ? 2 : 0);
  CancelMode();
  return true;
}

void CMenuWnd::keyPressEvent(QKeyEvent* e) {
  if (m_nKeyCell == -1) {
    QWidget::keyPressEvent(e);
    return;
  }
  const int n = CellCount();
  switch (e->key()) {
    case Qt::Key_Left: MarkCell((m_nKeyCell + n - 1) % n); break;
    case Qt::Key_Right: MarkCell((m_nKeyCell + 1) % n); break;
    case Qt::Key_Down:
    case Qt::Key_Up:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: OpenFromKeyboard(m_nKeyCell); break;
    case Qt::Key_Alt:  // its release leaves the bar (see eventFilter)
    case Qt::Key_AltGr:
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta: break;
    default: {
      const int cell = CellForMnemonic(MnemonicOfKey(e->key()));
      if (cell != -1) OpenFromKeyboard(cell);
      else LeaveKeyboardMode();  // Escape, Tab or any other key leaves the bar
      break;
    }
  }
  e->accept();
}

void CMenuWnd::focusOutEvent(QFocusEvent* e) {
  QWidget::focusOutEvent(e);
  // A popup of ours taking the focus keeps the bar in keyboard mode; a
  // click elsewhere or another window does not.
  if (m_nKeyCell == -1 || m_pPopup || m_bKeyPopup || e->reason() == Qt::PopupFocusReason) return;
  // A click on another control keeps the focus it gave; otherwise the
  // focus goes back to where it was.
  if (e->reason() == Qt::MouseFocusReason) m_pFocusBefore = nullptr;
  LeaveKeyboardMode();
}
