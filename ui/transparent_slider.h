#pragma once
// CTransparentSliderCtrl: the main dialog's position slider (trackbar 1002).
// It keeps the trackbar's behaviour, channel and thumb, but its channel
// background stage paints a snapshot of the dialog's background behind it,
// keeping the tick marks: every pixel of the stage's frame that is pure black
// (the ticks, drawn before the stage) stays black, every other pixel shows
// the snapshot. Nothing is erased before painting.
//
// The snapshot is taken at the first paint and kept; it is retaken when the
// look changes (a skin load: a palette or style change here or in the
// parent) or the slider's size changes, so the slider never shows an old
// skin's background.
// Owned by its Qt parent; UI thread only.
#include <QImage>

#include "platform/qt/trackbar.h"
#include "platform/qt/parent_background.h"

class CTransparentSliderCtrl : public CTrackbar {
  Q_OBJECT
 public:
  explicit CTransparentSliderCtrl(QWidget* parent = nullptr);

  // Whether a snapshot is held (none until the first channel paint, and
  // none again right after a look change).
  bool HasSnapshot() const { return !m_cache.isNull(); }

 protected:
  void PaintChannelBackground(QImage& frame) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void TakeSnapshot(const QImage& like);

  CParentBackground m_background;
  QImage m_cache;  // the parent's background under the slider, frame-sized
  qint64 m_cacheKey = 0;  // the parent's palette when it was taken
};
