#pragma once
// Raster operations of a GDI device context on QImage, pixel for pixel:
// BitBlt with SRCCOPY, SRCINVERT and SRCAND between colour images and
// monochrome bitmaps, with the colour conversions GDI applies between them.
//
// - A colour image is QImage::Format_ARGB32 or Format_ARGB32_Premultiplied
//   (or Format_RGB32); a monochrome bitmap is Format_Mono made by
//   CreateMonoBitmap (bit 0 = black, bit 1 = white).
// - Colour to monochrome: a source pixel equal to the source DC's background
//   colour becomes 1, every other pixel 0. Pixels are compared whole, alpha
//   included, so a transparent pixel is never taken for opaque black.
// - Monochrome to colour: 0 becomes the destination DC's text colour, 1 its
//   background colour; the raster operation then combines that colour with
//   the destination.
// - SRCINVERT and SRCAND act on the colour bits; the destination's alpha is
//   kept for SRCINVERT/SRCAND and the source's taken for SRCCOPY.
// Rectangles are clipped to both images. Pure functions of their arguments;
// any thread.
#include <QImage>
#include <QRgb>

namespace gdi {

enum class Rop { SrcCopy, SrcInvert, SrcAnd };

// The colours a device context carries for conversions (SetTextColor,
// SetBkColor).
struct DcColors {
  QRgb text = qRgb(0, 0, 0);
  QRgb bk = qRgb(255, 255, 255);
};

// A w x h one-bit bitmap, all bits 0 (black).
QImage CreateMonoBitmap(int w, int h);

// BitBlt(dst, x, y, w, h, src, sx, sy, rop).
void BitBlt(QImage& dst, const DcColors& dstDc, int x, int y, int w, int h, const QImage& src,
            const DcColors& srcDc, int sx, int sy, Rop rop);

}  // namespace gdi
