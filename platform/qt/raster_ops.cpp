#include "platform/qt/raster_ops.h"

#include <algorithm>

namespace gdi {

namespace {
bool IsMono(const QImage& img) { return img.format() == QImage::Format_Mono; }

// Bit of a Format_Mono image (most significant bit first).
bool MonoBit(const QImage& img, int x, int y) {
  return (img.constScanLine(y)[x >> 3] >> (7 - (x & 7))) & 1;
}
void SetMonoBit(QImage& img, int x, int y, bool on) {
  uchar& b = img.scanLine(y)[x >> 3];
  const uchar m = static_cast<uchar>(0x80 >> (x & 7));
  b = on ? (b | m) : (b & ~m);
}

// Colour pixels are read and written as non-premultiplied ARGB so the
// comparison with a DC colour sees the colour the user sees.
QRgb ColourAt(const QImage& img, int x, int y) {
  const QRgb v = reinterpret_cast<const QRgb*>(img.constScanLine(y))[x];
  if (img.format() == QImage::Format_ARGB32_Premultiplied) return qUnpremultiply(v);
  if (img.format() == QImage::Format_RGB32) return v | 0xff000000u;
  return v;
}
void SetColourAt(QImage& img, int x, int y, QRgb v) {
  if (img.format() == QImage::Format_ARGB32_Premultiplied) v = qPremultiply(v);
  else if (img.format() == QImage::Format_RGB32) v |= 0xff000000u;
  reinterpret_cast<QRgb*>(img.scanLine(y))[x] = v;
}

QRgb Combine(QRgb d, QRgb s, Rop rop) {
  constexpr QRgb kRgb = 0x00ffffffu;
  switch (rop) {
    case Rop::SrcCopy: return s;
    case Rop::SrcInvert: return (d & ~kRgb) | ((d ^ s) & kRgb);
    case Rop::SrcAnd: return (d & ~kRgb) | ((d & s) & kRgb);
  }
  return d;
}
}  // namespace

QImage CreateMonoBitmap(int w, int h) {
  QImage img(std::max(w, 0), std::max(h, 0), QImage::Format_Mono);
  img.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  img.fill(0);
  return img;
}

void BitBlt(QImage& dst, const DcColors& dstDc, int x, int y, int w, int h, const QImage& src,
            const DcColors& srcDc, int sx, int sy, Rop rop) {
  // Clip the rectangle to both images, moving source and destination alike.
  if (x < 0) { sx -= x; w += x; x = 0; }
  if (y < 0) { sy -= y; h += y; y = 0; }
  if (sx < 0) { x -= sx; w += sx; sx = 0; }
  if (sy < 0) { y -= sy; h += sy; sy = 0; }
  w = std::min({w, dst.width() - x, src.width() - sx});
  h = std::min({h, dst.height() - y, src.height() - sy});
  if (w <= 0 || h <= 0) return;

  const bool srcMono = IsMono(src), dstMono = IsMono(dst);
  const QRgb bkKey = srcDc.bk | 0xff000000u;
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      const int dx = x + i, dy = y + j, px = sx + i, py = sy + j;
      if (dstMono) {
        const bool s = srcMono ? MonoBit(src, px, py) : ColourAt(src, px, py) == bkKey;
        const bool d = MonoBit(dst, dx, dy);
        const bool r = rop == Rop::SrcCopy ? s : rop == Rop::SrcInvert ? (d != s) : (d && s);
        SetMonoBit(dst, dx, dy, r);
      } else {
        const QRgb s = srcMono ? ((MonoBit(src, px, py) ? dstDc.bk : dstDc.text) | 0xff000000u)
                               : ColourAt(src, px, py);
        SetColourAt(dst, dx, dy, Combine(ColourAt(dst, dx, dy), s, rop));
      }
    }
  }
}

}  // namespace gdi
