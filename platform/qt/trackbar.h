#pragma once
// A trackbar (msctls_trackbar32) on QSlider: horizontal, range 0..100 by
// default, page step 20, line step 1, with an explicit sorted set of interior
// tick positions that answers like the Windows control (TBM_SETTIC / GETTIC /
// GETNUMTICS / CLEARTICS), and drawing in stages so a subclass can paint
// under the channel.
//
// Geometry (widget coordinates, any size; laid out for about 322 x 43):
// - TickX maps min..max onto kInset .. width - kInset;
// - the channel is 4 px tall and covers exactly those columns (a 322 px
//   slider has a 307 px channel, the width of the split-point bar laid over
//   it in the main dialog);
// - the thumb, kThumbWidth wide and pointed at both ends, is centred on
//   TickX(value) (ThumbRect is its bounding box),
//   centred vertically (one row higher when the spare rows are odd), with
//   the channel centred on it;
// - ticks sit above the thumb and, with TBS_BOTH (the default), also below
//   it, one blank row away; they never overlap the thumb or the channel.
//
// Owned by its Qt parent; used on the UI thread only.
#include <QBasicTimer>
#include <QImage>
#include <QSlider>
#include <vector>

class CTrackbar : public QSlider {
  Q_OBJECT
 public:
  static constexpr int kMargin = 3;          // room beside the thumb at either end
  static constexpr int kThumbWidth = 11;     // thumb width in pixels (odd: has a centre pixel)
  static constexpr int kThumbLength = 21;    // thumb height when the widget is tall enough
  static constexpr int kChannelHeight = 4;
  static constexpr int kInset = kMargin + kThumbWidth / 2;  // TickX(min)
  static constexpr int kInteriorTickLength = 3;
  static constexpr int kEndTickLength = 4;

  explicit CTrackbar(QWidget* parent = nullptr);

  // TBM_SETTIC: adds an interior tick when min <= pos <= max (duplicates are
  // stored and counted); false otherwise. Repaints.
  bool SetTic(int pos);
  // TBM_GETTIC: position of interior tick `index` in ascending order; -1 for
  // any index outside 0 .. GetNumTics() - 3.
  int GetTic(int index) const;
  // TBM_GETNUMTICS: interior ticks + 2 (the two end ticks).
  int GetNumTics() const;
  // TBM_CLEARTICS: removes every interior tick; repaints only when `redraw`.
  void ClearTics(bool redraw);
  // TBS_BOTH: ticks drawn above and below the channel (on by default);
  // off: below only.
  void SetTicksBoth(bool both);
  bool TicksBoth() const { return m_bBoth; }

  // Pixel x of a position's tick in widget coordinates (also the thumb's
  // centre at that value): kInset + (span * (pos - min)) / (max - min), with
  // span = width - 2 * kInset. kInset for an empty range.
  int TickX(int pos) const;
  // Where the parts are, for painting and hit testing.
  QRect ThumbRect() const;
  QRect ChannelRect() const;
  // Rows of the ticks: those above the thumb end at row TopTickBottom()
  // (a tick of length n covers TopTickBottom() - n + 1 .. TopTickBottom()),
  // those below start at row BottomTickTop() (BottomTickTop() .. + n - 1).
  int TopTickBottom() const;
  int BottomTickTop() const;
  // The focus frame: the full width, one row beyond the ticks above and
  // below (the thumb when there are none above), within the widget. The rows
  // outside it are left to whatever the dialog lays next to the slider.
  QRect FocusRect() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  // Draw stages, called in this order by paintEvent, on one off-screen
  // frame (device pixels, the widget's device pixel ratio) that starts
  // transparent: ticks, channel background, channel, thumb. Ticks are pure
  // black (RGB 0, 0, 0), opaque and never antialiased; nothing else is ever
  // pure black (palette colours that are get drawn one step lighter), so a
  // channel background stage can tell tick pixels from everything else in
  // the frame. The default channel background paints nothing, and the
  // parent shows through. The 3D colours come from the palette: Button
  // (thumb face), Light, Midlight, Mid and Dark (edges, channel well).
  virtual void PaintTicks(QPainter& p);
  virtual void PaintChannelBackground(QImage& frame);
  virtual void PaintChannel(QPainter& p);
  virtual void PaintThumb(QPainter& p);
  void paintEvent(QPaintEvent* event) override;

  // Trackbar input: the thumb is dragged; a press beside it pages toward
  // the press point and repeats while held until the thumb reaches it;
  // Left/Up and Right/Down step by 1, Page Up/Down by the page, Home/End go
  // to the ends.
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  int ValueAtX(int x) const;
  // One page toward m_pagePoint; false when the thumb is already there.
  bool PageTowardPress();

  std::vector<int> m_tics;  // sorted ascending, duplicates kept
  bool m_bBoth = true;
  bool m_bDragging = false;
  int m_dragOffset = 0;  // press x minus the thumb centre
  bool m_bPaging = false;
  QPoint m_pagePoint;
  QBasicTimer m_pageTimer;
};
