#pragma once
// CSplitPointBar: the thin strip under the position slider that shows one
// 3 px black mark per split point over its parent's background.
//
// The bar takes no pointer input: presses go through to the slider beneath.
// Points are percentages (0..100) of the time axis, kept in the order they
// were added. The bar never repaints by itself: after AddPoint, RemovePoint
// or SetPoints the caller calls update(). Owned by its Qt parent; UI thread
// only.
#include <QWidget>
#include <vector>

#include "platform/qt/parent_background.h"

class CSplitPointBar : public QWidget {
  Q_OBJECT
 public:
  explicit CSplitPointBar(QWidget* parent = nullptr);

  // Appends `pos`; no test for duplicates (the caller adds a position only
  // when the slider has no tick there).
  void AddPoint(int pos);
  // Removes every entry equal to `pos`; the others keep their order.
  void RemovePoint(int pos);
  // Replaces every point, kept in the given order.
  void SetPoints(std::vector<int> points) { m_points = std::move(points); }
  const std::vector<int>& Points() const { return m_points; }

  // Left pixel of the mark for `pos` in a bar `width` pixels wide: the mark
  // starts at the point up to 50 % and ends there above, so marks at 0 and
  // 100 stay inside the bar.
  static int MarkLeft(int width, int pos);
  static constexpr int kMarkWidth = 3;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  CParentBackground m_background;
  std::vector<int> m_points;  // insertion order
};
