#include "ui/split_point_bar.h"

#include <QPainter>
#include <algorithm>

CSplitPointBar::CSplitPointBar(QWidget* parent) : QWidget(parent) {
  // Every pixel is painted here (the parent's background, then the marks),
  // so Qt need not paint the parent behind the bar first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  // The bar lies over the slider's channel: a press on it belongs to the
  // slider (its thumb must be grabbable anywhere).
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CSplitPointBar::AddPoint(int pos) { m_points.push_back(pos); }

void CSplitPointBar::RemovePoint(int pos) {
  m_points.erase(std::remove(m_points.begin(), m_points.end(), pos), m_points.end());
}

int CSplitPointBar::MarkLeft(int width, int pos) {
  // Integer arithmetic on purpose: the marks must fall on the same pixels
  // as the slider's ticks for the same percentage.
  int x = static_cast<int>(static_cast<long long>(width) * pos / 100);
  if (pos > 50) x -= kMarkWidth;
  return x;
}

void CSplitPointBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  // A bar without a parent (never the case in the dialog) erases itself.
  if (!m_background.PaintParentBackground(p, this))
    p.fillRect(rect(), palette().brush(backgroundRole()));
  const int w = width();
  for (int v : m_points) p.fillRect(QRect(MarkLeft(w, v), 0, kMarkWidth, height()), Qt::black);
}
