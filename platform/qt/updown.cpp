#include "platform/qt/updown.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>

#include "platform/qt/win_helpers.h"

CUpDownCtrl::CUpDownCtrl(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::NoFocus); }

void CUpDownCtrl::SetBuddy(QLineEdit* buddy) {
  if (m_buddy) m_buddy->removeEventFilter(this);
  m_buddy = buddy;
  if (m_buddy) m_buddy->installEventFilter(this);
}

void CUpDownCtrl::SetRange(int lower, int upper) {
  m_lower = lower;
  m_upper = upper;
}

void CUpDownCtrl::SetPos(int pos) {
  const int lo = std::min(m_lower, m_upper), hi = std::max(m_lower, m_upper);
  pos = std::clamp(pos, lo, hi);
  if (m_buddy) m_buddy->setText(QString::number(pos));
}

int CUpDownCtrl::GetPos() const {
  const int lo = std::min(m_lower, m_upper), hi = std::max(m_lower, m_upper);
  const int v = m_buddy ? win::AtoiText(m_buddy->text().toStdString()) : lo;
  return std::clamp(v, lo, hi);
}

void CUpDownCtrl::Step(int delta) {
  if (!isEnabled()) return;
  // A reversed range steps the other way, as the Windows control does.
  if (m_lower > m_upper) delta = -delta;
  SetPos(GetPos() + delta);
}

void CUpDownCtrl::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int h = height() / 2;
  const QRect halves[2] = {QRect(0, 0, width(), h), QRect(0, h, width(), height() - h)};
  for (int i = 0; i < 2; ++i) {
    QStyleOptionButton opt;
    opt.initFrom(this);
    opt.rect = halves[i];
    opt.state |= QStyle::State_Raised;
    style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &opt, &p, this);
    QStyleOption arrow;
    arrow.initFrom(this);
    arrow.rect = halves[i].adjusted(1, 1, -1, -1);
    style()->drawPrimitive(i == 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown,
                           &arrow, &p, this);
  }
}

void CUpDownCtrl::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  Step(e->position().y() < height() / 2 ? +1 : -1);
}

bool CUpDownCtrl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_buddy && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      Step(key == Qt::Key_Up ? +1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}
