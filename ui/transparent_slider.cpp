#include "ui/transparent_slider.h"

#include <QEvent>
#include <QPainter>

#include "platform/qt/raster_ops.h"

CTransparentSliderCtrl::CTransparentSliderCtrl(QWidget* parent) : CTrackbar(parent) {
  // The erase does nothing: every pixel is painted by the stages.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CTransparentSliderCtrl::TakeSnapshot(const QImage& like) {
  m_cache = QImage(like.size(), QImage::Format_ARGB32_Premultiplied);
  m_cache.setDevicePixelRatio(like.devicePixelRatio());
  // What the parent paints behind us; opaque so that no frame pixel is left
  // to show through.
  m_cache.fill(palette().color(QPalette::Window));
  if (QWidget* parent = parentWidget()) m_cacheKey = parent->palette().cacheKey();
  QPainter p(&m_cache);
  m_background.PaintParentBackground(p, this);
}

void CTransparentSliderCtrl::PaintChannelBackground(QImage& d) {
  // The parent's palette is checked too: a look change must not depend on
  // an event reaching this child.
  const QWidget* parent = parentWidget();
  if (m_cache.isNull() || m_cache.size() != d.size() ||
      (parent && parent->palette().cacheKey() != m_cacheKey))
    TakeSnapshot(d);
  const int w = d.width(), h = d.height();

  // D's colours for the conversions: background black, text white.
  const gdi::DcColors dc{qRgb(255, 255, 255), qRgb(0, 0, 0)};
  const gdi::DcColors mono;  // a memory DC's defaults
  QImage image = gdi::CreateMonoBitmap(w, h);
  QImage mask = gdi::CreateMonoBitmap(w, h);

  // 1 in the image for every pixel of D that is pure black (the ticks).
  gdi::BitBlt(image, mono, 0, 0, w, h, d, dc, 0, 0, gdi::Rop::SrcCopy);
  gdi::BitBlt(d, dc, 0, 0, w, h, m_cache, mono, 0, 0, gdi::Rop::SrcCopy);
  gdi::BitBlt(mask, mono, 0, 0, w, h, image, mono, 0, 0, gdi::Rop::SrcCopy);
  // XOR, AND, XOR: the black pixels come back black, the rest show the
  // snapshot unchanged.
  gdi::BitBlt(d, dc, 0, 0, w, h, image, mono, 0, 0, gdi::Rop::SrcInvert);
  gdi::BitBlt(d, dc, 0, 0, w, h, mask, mono, 0, 0, gdi::Rop::SrcAnd);
  gdi::BitBlt(d, dc, 0, 0, w, h, image, mono, 0, 0, gdi::Rop::SrcInvert);
}

void CTransparentSliderCtrl::changeEvent(QEvent* event) {
  // A skin load restyles the dialog (its palette and style sheet); the old
  // background must not stay in the channel.
  switch (event->type()) {
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
    case QEvent::ParentChange:
      m_cache = QImage();
      update();
      break;
    default:
      break;
  }
  CTrackbar::changeEvent(event);
}

void CTransparentSliderCtrl::resizeEvent(QResizeEvent* event) {
  m_cache = QImage();
  CTrackbar::resizeEvent(event);
}
