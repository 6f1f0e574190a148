#pragma once
// A trackbar (msctls_trackbar32) on QSlider: horizontal, range 0..100 by
// default, with an explicit sorted set of interior tick positions that
// answers like the Windows control (TBM_SETTIC / GETTIC / GETNUMTICS /
// CLEARTICS), and drawing in stages so a subclass can paint under the
// channel.
#include <QSlider>
#include <vector>

class CTrackbar : public QSlider {
  Q_OBJECT
 public:
  explicit CTrackbar(QWidget* parent = nullptr);

  // TBM_SETTIC: adds an interior tick when min <= pos <= max (duplicates are
  // stored and counted); false otherwise.
  bool SetTic(int pos);
  // TBM_GETTIC: position of interior tick `index` in ascending order; -1 for
  // any index outside 0 .. GetNumTics() - 3.
  int GetTic(int index) const;
  // TBM_GETNUMTICS: interior ticks + 2 (the two end ticks).
  int GetNumTics() const;
  // TBM_CLEARTICS: removes every interior tick; repaints when `redraw`.
  void ClearTics(bool redraw);
  // TBS_BOTH: ticks drawn above and below the channel.
  void SetTicksBoth(bool both);

  // Pixel x of a position's tick in widget coordinates.
  int TickX(int pos) const;

 protected:
  // Draw stages, called in this order by paintEvent. The default channel
  // background paints nothing; a subclass may paint the parent's background.
  virtual void PaintChannelBackground(QPainter& p);
  virtual void PaintTicks(QPainter& p);
  virtual void PaintChannel(QPainter& p);
  virtual void PaintThumb(QPainter& p);
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<int> m_tics;  // sorted ascending
  bool m_bBoth = true;
};
