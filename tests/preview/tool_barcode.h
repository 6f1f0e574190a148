#pragma once
// The cutting tool tests' barcode (8 blocks across the top half, white = 1)
// read from a player's picture, which the 4:3 clips fill; -1 when the
// picture is none of those frames.
#include <QImage>

inline int ToolBarcode(const QImage& img) {
  if (img.isNull()) return -1;
  int value = 0;
  for (int bit = 0; bit < 8; ++bit) {
    const int level = qGray(img.pixel((2 * bit + 1) * img.width() / 16, img.height() / 4));
    if (level >= 180)
      value |= 1 << bit;
    else if (level > 80)
      return -1;
  }
  return value;
}
