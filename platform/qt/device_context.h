#pragma once
// CDC: a GDI device context over a QPainter, with exactly the operations the
// program's drawing uses, pixel for pixel where GDI defines the pixels:
// - FillRect / FillSolidRect fill left..right-1 x top..bottom-1;
//   FillSolidRect also makes its colour the background colour, as MFC does.
// - Draw3dRect(x, y, cx, cy, tl, br): top row x..x+cx-2 and left column
//   y..y+cy-2 in tl, then the right column x+cx-1 (all rows) and the bottom
//   row y+cy-1 (all columns) in br.
// - MoveTo / LineTo with the current pen (one pixel, black unless set):
//   the end point is not drawn.
// - DrawText with the DT_* formats below; GetTextExtent measures every byte,
//   "&" included, in the selected font (height = the font's line height).
// Texts are byte strings in the current code page.
//
// DrawText rules (single-line; multi-line text is drawn as one line without
// vertical centring):
// - prefixes unless DT_NOPREFIX: "&x" hides the "&" and underlines x, "&&"
//   shows one "&", a lone "&" at the end is drawn; with several prefixes the
//   last prefixed character is underlined; DT_HIDEPREFIX draws no underline.
//   The underline is one pixel in the text colour at text top + ascent + 1,
//   from the character's left edge to its right edge - 1.
// - DT_CENTER: x = (left + right - width) / 2; DT_RIGHT: right - width.
// - DT_SINGLELINE | DT_VCENTER: y = top + (bottom - top) / 2 - height / 2;
//   DT_BOTTOM: bottom - height.
// - DT_EXPANDTABS: tab stops every 8 average character widths from the
//   text's left edge (bits 8..15 with DT_TABSTOP give another count); a tab
//   always moves to the next stop.
// - Clipped to the rectangle unless DT_NOCLIP; DT_CALCRECT only measures and
//   sets the rectangle's right and bottom.
// - In OPAQUE mode the text's box is filled with the background colour first.
// - Returns the text height, or with DT_VCENTER / DT_BOTTOM the distance from
//   top to the text's bottom (at least 1); 0 for an empty text.
//
// A context made with the default constructor is "fresh": its own 1 x 1
// surface, default font, black text, white background, OPAQUE mode, black
// pen; it is what measuring uses. A context over a caller's painter draws
// there with antialiasing off and restores the painter's state when it goes.
// UI thread only.
#include <QImage>
#include <memory>
#include <string>

#include "platform/qt/gdi.h"

class CFont;
class QPainter;
class QString;

class CDC {
 public:
  CDC();
  explicit CDC(QPainter& painter);
  ~CDC();
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  void FillRect(const CRect& r, COLORREF brush);
  void FillSolidRect(const CRect& r, COLORREF clr);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF clr);
  void Draw3dRect(const CRect& r, COLORREF topLeft, COLORREF bottomRight);
  void Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight);

  int SetBkMode(int mode);  // returns the previous mode
  int GetBkMode() const { return m_bkMode; }
  COLORREF SetTextColor(COLORREF clr);  // returns the previous colour
  COLORREF GetTextColor() const { return m_textColor; }
  COLORREF SetBkColor(COLORREF clr);
  COLORREF GetBkColor() const { return m_bkColor; }
  // Selects `font` (null: the default font); returns the one it replaces.
  const CFont* SelectObject(const CFont* font);
  // The pen's colour (the pen is always one pixel wide, solid).
  COLORREF SetPenColor(COLORREF clr);

  CSize GetTextExtent(const std::string& text) const;
  int DrawText(const std::string& text, CRect& rect, unsigned format);

  CPoint MoveTo(int x, int y);
  bool LineTo(int x, int y);

  // Prefix processing on its own: the text as drawn, and the index in it of
  // the underlined character (-1 for none).
  static QString StripPrefixes(const QString& text, int* underlined);

 private:
  void Pixel(int x, int y, COLORREF clr);

  std::unique_ptr<QImage> m_ownSurface;  // a fresh context's own 1 x 1 image
  std::unique_ptr<QPainter> m_ownPainter;
  QPainter* m_p;
  const CFont* m_font;
  COLORREF m_textColor = RGB(0, 0, 0);
  COLORREF m_bkColor = RGB(255, 255, 255);
  COLORREF m_penColor = RGB(0, 0, 0);
  int m_bkMode = OPAQUE;
  CPoint m_pos;
};
