#include "platform/qt/trackbar.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>
#include <algorithm>

namespace {
const QColor kTick(0, 0, 0);

// The 3D colours come from the palette, so a skin restyles the slider. Pure
// black is reserved for the ticks (see PaintTicks): a palette colour that is
// pure black is drawn one step lighter.
QColor Shade(const QWidget& w, QPalette::ColorRole role,
             QPalette::ColorGroup group = QPalette::Active) {
  QColor c = w.palette().color(group, role);
  if (c.red() == 0 && c.green() == 0 && c.blue() == 0) c = QColor(1, 1, 1);
  c.setAlpha(255);
  return c;
}

constexpr int kFirstRepeatMs = 400;  // like a held scroll-bar arrow
constexpr int kRepeatMs = 100;

// A one-pixel line as a filled rectangle: exact pixels, no pen rounding.
void HLine(QPainter& p, int x0, int x1, int y, const QColor& c) {
  if (x1 >= x0) p.fillRect(QRect(x0, y, x1 - x0 + 1, 1), c);
}
void VLine(QPainter& p, int x, int y0, int y1, const QColor& c) {
  if (y1 >= y0) p.fillRect(QRect(x, y0, 1, y1 - y0 + 1), c);
}
}  // namespace

CTrackbar::CTrackbar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setRange(0, 100);
  setPageStep(20);
  setSingleStep(1);
  setValue(0);
  setFocusPolicy(Qt::StrongFocus);
  // Nothing behind the channel is painted by default: the parent shows
  // through, as with a trackbar on a dialog.
  setAutoFillBackground(false);
}

bool CTrackbar::SetTic(int pos) {
  if (pos < minimum() || pos > maximum()) return false;
  m_tics.insert(std::upper_bound(m_tics.begin(), m_tics.end(), pos), pos);
  update();
  return true;
}

int CTrackbar::GetTic(int index) const {
  if (index < 0 || index >= static_cast<int>(m_tics.size())) return -1;
  return m_tics[static_cast<size_t>(index)];
}

int CTrackbar::GetNumTics() const { return static_cast<int>(m_tics.size()) + 2; }

void CTrackbar::ClearTics(bool redraw) {
  m_tics.clear();
  if (redraw) update();
}

void CTrackbar::SetTicksBoth(bool both) {
  if (m_bBoth == both) return;
  m_bBoth = both;
  update();
}

int CTrackbar::TickX(int pos) const {
  const int range = maximum() - minimum();
  if (range <= 0) return kInset;
  const int span = std::max(0, width() - 2 * kInset);
  const long long off = static_cast<long long>(span) * (pos - minimum()) / range;
  return kInset + static_cast<int>(off);
}

int CTrackbar::ValueAtX(int x) const {
  const int range = maximum() - minimum();
  const int span = std::max(1, width() - 2 * kInset);
  // Round to the nearest position so the thumb lands where the pointer is.
  const long long num = static_cast<long long>(x - kInset) * range;
  long long v = (num >= 0 ? num + span / 2 : num - span / 2) / span;
  return std::clamp(static_cast<int>(v) + minimum(), minimum(), maximum());
}

QRect CTrackbar::ThumbRect() const {
  const int len = std::clamp(height() - 2 * (kEndTickLength + 3), 8, kThumbLength);
  const int top = (height() - len - 1) / 2;
  return QRect(TickX(sliderPosition()) - kThumbWidth / 2, top, kThumbWidth, len);
}

QRect CTrackbar::ChannelRect() const {
  const QRect t = ThumbRect();
  const int top = t.top() + (t.height() - kChannelHeight) / 2;
  return QRect(kInset, top, std::max(0, width() - 2 * kInset + 1), kChannelHeight);
}

// One blank row between the thumb and the ticks on either side.
int CTrackbar::TopTickBottom() const { return ThumbRect().top() - 2; }
int CTrackbar::BottomTickTop() const { return ThumbRect().bottom() + 2; }

QRect CTrackbar::FocusRect() const {
  const int top = std::max(0, (m_bBoth ? TopTickBottom() - kEndTickLength : ThumbRect().top()) - 1);
  const int bottom = std::min(height() - 1, BottomTickTop() + kEndTickLength);
  return QRect(0, top, width(), bottom - top + 1);
}

QSize CTrackbar::sizeHint() const { return QSize(322, 43); }
QSize CTrackbar::minimumSizeHint() const {
  return QSize(2 * kInset + 1, 8 + 2 * (kEndTickLength + 3));
}

void CTrackbar::PaintChannelBackground(QImage&) {}

void CTrackbar::PaintTicks(QPainter& p) {
  const int top = TopTickBottom();
  const int bottom = BottomTickTop();
  auto tick = [&](int pos, int len) {
    const int x = TickX(pos);
    VLine(p, x, bottom, bottom + len - 1, kTick);
    if (m_bBoth) VLine(p, x, top - len + 1, top, kTick);
  };
  tick(minimum(), kEndTickLength);
  tick(maximum(), kEndTickLength);
  for (int t : m_tics) tick(t, kInteriorTickLength);
}

void CTrackbar::PaintChannel(QPainter& p) {
  // Sunken edge: shadow / dark shadow on the top and left, highlight /
  // light on the bottom and right, a white well inside.
  const QRect c = ChannelRect();
  if (c.width() < 4) return;
  const QColor highlight = Shade(*this, QPalette::Light);
  const QColor light = Shade(*this, QPalette::Midlight);
  const QColor shadow = Shade(*this, QPalette::Mid);
  const QColor darkShadow = Shade(*this, QPalette::Dark);
  const int l = c.left(), r = c.right(), t = c.top(), b = c.bottom();
  p.fillRect(c.adjusted(1, 1, -1, -1), highlight);
  HLine(p, l, r - 1, t, shadow);
  VLine(p, l, t, b - 1, shadow);
  HLine(p, l + 1, r - 2, t + 1, darkShadow);
  VLine(p, l + 1, t + 1, b - 2, darkShadow);
  HLine(p, l, r, b, highlight);
  VLine(p, r, t, b, highlight);
  HLine(p, l + 1, r - 1, b - 1, light);
  VLine(p, r - 1, t + 1, b - 1, light);
}

void CTrackbar::PaintThumb(QPainter& p) {
  // A raised thumb pointing both ways, at the ticks above and below: an
  // outline in shadow (darker on the right, so it reads on light and dark
  // backgrounds alike), highlight inside on the left, shadow inside on the
  // right. Drawn row by row so every pixel is exact.
  const QRect r = ThumbRect();
  const int half = r.width() / 2;
  const int c = r.left() + half;
  const QColor highlight = Shade(*this, QPalette::Light);
  const QColor shadow = Shade(*this, QPalette::Mid);
  const QColor darkShadow = Shade(*this, QPalette::Dark);
  const QColor face = !isEnabled()    ? Shade(*this, QPalette::Button, QPalette::Disabled)
                      : isSliderDown() ? Shade(*this, QPalette::Button).darker(110)
                                       : Shade(*this, QPalette::Button);
  for (int y = r.top(); y <= r.bottom(); ++y) {
    const int hw = std::min({half, y - r.top(), r.bottom() - y});
    const int xl = c - hw, xr = c + hw;
    HLine(p, xl, xr, y, face);
    p.fillRect(QRect(xl, y, 1, 1), shadow);
    if (xr - xl >= 3) {
      p.fillRect(QRect(xl + 1, y, 1, 1), highlight);
      p.fillRect(QRect(xr - 1, y, 1, 1), shadow);
    }
    if (xr > xl) p.fillRect(QRect(xr, y, 1, 1), darkShadow);
  }
}

void CTrackbar::paintEvent(QPaintEvent*) {
  // The stages paint into an off-screen frame, the device context of the
  // custom-draw stages: the channel background stage reads back what the
  // ticks left there. The frame starts transparent, so whatever a stage
  // leaves unpainted shows the parent.
  const qreal dpr = devicePixelRatioF();
  QImage frame((QSizeF(size()) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
  frame.setDevicePixelRatio(dpr);
  frame.fill(Qt::transparent);
  {
    QPainter p(&frame);
    PaintTicks(p);
  }
  PaintChannelBackground(frame);
  {
    QPainter p(&frame);
    PaintChannel(p);
    PaintThumb(p);
    if (hasFocus()) {
      // Dotted focus frame around the client area, never pure black: it
      // would be taken for a tick by a subclass that keeps black pixels.
      QPen pen(Shade(*this, QPalette::Dark), 1, Qt::DotLine);
      p.setPen(pen);
      p.setBrush(Qt::NoBrush);
      p.drawRect(FocusRect().adjusted(0, 0, -1, -1));
    }
  }
  QPainter(this).drawImage(0, 0, frame);
}

void CTrackbar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || maximum() <= minimum()) {
    event->ignore();
    return;
  }
  event->accept();
  setFocus(Qt::MouseFocusReason);
  const QPoint pt = event->position().toPoint();
  const QRect thumb = ThumbRect();
  if (thumb.contains(pt)) {
    m_bDragging = true;
    m_dragOffset = pt.x() - TickX(sliderPosition());
    setSliderDown(true);
    update();
    return;
  }
  // Beside the thumb: page toward the press, then keep paging while held.
  m_bPaging = true;
  m_pagePoint = pt;
  if (PageTowardPress()) m_pageTimer.start(kFirstRepeatMs, this);
}

void CTrackbar::mouseMoveEvent(QMouseEvent* event) {
  if (m_bDragging) {
    setSliderPosition(ValueAtX(event->position().toPoint().x() - m_dragOffset));
    event->accept();
    return;
  }
  if (m_bPaging) {
    m_pagePoint = event->position().toPoint();
    event->accept();
    return;
  }
  event->ignore();
}

void CTrackbar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->ignore();
    return;
  }
  event->accept();
  m_pageTimer.stop();
  m_bPaging = false;
  if (m_bDragging) {
    m_bDragging = false;
    setSliderDown(false);  // emits sliderReleased, sets the value when not tracking
    update();
  }
}

bool CTrackbar::PageTowardPress() {
  const QRect thumb = ThumbRect();
  if (m_pagePoint.x() < thumb.left() && sliderPosition() > minimum()) {
    triggerAction(SliderPageStepSub);
    return true;
  }
  if (m_pagePoint.x() > thumb.right() && sliderPosition() < maximum()) {
    triggerAction(SliderPageStepAdd);
    return true;
  }
  return false;
}

void CTrackbar::timerEvent(QTimerEvent* event) {
  if (event->timerId() != m_pageTimer.timerId()) {
    QSlider::timerEvent(event);
    return;
  }
  if (!m_bPaging || !PageTowardPress()) {
    m_pageTimer.stop();
    return;
  }
  m_pageTimer.start(kRepeatMs, this);
}

void CTrackbar::keyPressEvent(QKeyEvent* event) {
  // The trackbar's keys: Up moves left like Left, and Page Up pages left.
  SliderAction action = SliderNoAction;
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
      action = SliderSingleStepSub;
      break;
    case Qt::Key_Right:
    case Qt::Key_Down:
      action = SliderSingleStepAdd;
      break;
    case Qt::Key_PageUp:
      action = SliderPageStepSub;
      break;
    case Qt::Key_PageDown:
      action = SliderPageStepAdd;
      break;
    case Qt::Key_Home:
      action = SliderToMinimum;
      break;
    case Qt::Key_End:
      action = SliderToMaximum;
      break;
    default:
      QSlider::keyPressEvent(event);
      return;
  }
  triggerAction(action);
  event->accept();
}
