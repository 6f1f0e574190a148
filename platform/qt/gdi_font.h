#pragma once
// CFont: a font described the way CreateFontA describes one, realised as a
// QFont. The height is taken as the font's pixel size (its absolute value);
// weights use the same 100..900 scale on both sides. The face "宋体" (or
// "SimSun") names a family list: SimSun, 宋体, then the CJK serif and sans
// families this platform ships, so the Chinese glyphs always render.
//
// A fresh device context starts with DefaultFont(): the same family list at
// 16 pixels, larger than the 12-pixel menu font, so texts measured in it have
// room when drawn in the smaller font. UI thread only.
#include <QFont>

class CFont {
 public:
  CFont() = default;
  // CreateFontA. Only height, weight, italic, underline, strike-out, quality
  // and face matter here; the other arguments are accepted and ignored.
  bool CreateFont(int height, int width, int escapement, int orientation, int weight,
                  unsigned char italic, unsigned char underline, unsigned char strikeOut,
                  unsigned char charSet, unsigned char outPrecision,
                  unsigned char clipPrecision, unsigned char quality,
                  unsigned char pitchAndFamily, const char* faceName);
  bool IsCreated() const { return m_bCreated; }
  const QFont& GetQFont() const { return m_font; }
  // The font a device context holds before any font is selected into it.
  static const CFont& DefaultFont();

 private:
  QFont m_font;
  bool m_bCreated = false;
};
