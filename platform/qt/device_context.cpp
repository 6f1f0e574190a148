#include "platform/qt/device_context.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/codepage.h"
#include "platform/qt/gdi_font.h"

namespace {
QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

QString ToQ(const std::string& bytes) { return QString::fromStdString(zantrel::ToUtf8(bytes)); }

// One stretch of text between tabs, placed at x relative to the text's left.
struct Run {
  QString text;
  int x = 0;
  int firstIndex = 0;  // index of its first character in the shown text
};
}  // namespace

CDC::CDC()
    : m_ownSurface(std::make_unique<QImage>(1, 1, QImage::Format_RGB32)),
      m_font(&CFont::DefaultFont()) {
  m_ownSurface->fill(Qt::white);
  m_ownPainter = std::make_unique<QPainter>(m_ownSurface.get());
  m_p = m_ownPainter.get();
  m_p->setRenderHint(QPainter::Antialiasing, false);
}

CDC::CDC(QPainter& painter) : m_p(&painter), m_font(&CFont::DefaultFont()) {
  // Whatever the caller set up comes back when we go; GDI drawing is
  // aliased, so the shapes land on whole pixels.
  m_p->save();
  m_p->setRenderHint(QPainter::Antialiasing, false);
}

CDC::~CDC() {
  if (!m_ownPainter) m_p->restore();
}

void CDC::Pixel(int x, int y, COLORREF clr) { m_p->fillRect(QRect(x, y, 1, 1), ToQColor(clr)); }

void CDC::FillRect(const CRect& r, COLORREF brush) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  m_p->fillRect(QRect(r.left, r.top, r.Width(), r.Height()), ToQColor(brush));
}

void CDC::FillSolidRect(const CRect& r, COLORREF clr) {
  m_bkColor = clr;
  FillRect(r, clr);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr) {
  FillSolidRect(CRect{x, y, x + cx, y + cy}, clr);
}

void CDC::Draw3dRect(const CRect& r, COLORREF topLeft, COLORREF bottomRight) {
  Draw3dRect(r.left, r.top, r.Width(), r.Height(), topLeft, bottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF tl, COLORREF br) {
  FillSolidRect(x, y, cx - 1, 1, tl);
  FillSolidRect(x, y, 1, cy - 1, tl);
  FillSolidRect(x + cx - 1, y, 1, cy, br);
  FillSolidRect(x, y + cy - 1, cx, 1, br);
}

int CDC::SetBkMode(int mode) {
  const int old = m_bkMode;
  m_bkMode = mode;
  return old;
}

COLORREF CDC::SetTextColor(COLORREF clr) {
  const COLORREF old = m_textColor;
  m_textColor = clr;
  return old;
}

COLORREF CDC::SetBkColor(COLORREF clr) {
  const COLORREF old = m_bkColor;
  m_bkColor = clr;
  return old;
}

COLORREF CDC::SetPenColor(COLORREF clr) {
  const COLORREF old = m_penColor;
  m_penColor = clr;
  return old;
}

const CFont* CDC::SelectObject(const CFont* font) {
  const CFont* old = m_font;
  m_font = font ? font : &CFont::DefaultFont();
  return old;
}

CSize CDC::GetTextExtent(const std::string& text) const {
  const QFontMetrics fm(m_font->GetQFont());
  return CSize{fm.horizontalAdvance(ToQ(text)), fm.height()};
}

QString CDC::StripPrefixes(const QString& text, int* underlined) {
  QString shown;
  *underlined = -1;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('&') && i + 1 < text.size()) {
      ++i;
      // "&&" is a literal "&"; any other character after "&" is the
      // mnemonic, and the last one wins.
      if (text[i] != QLatin1Char('&')) *underlined = static_cast<int>(shown.size());
    }
    shown += text[i];
  }
  return shown;
}

int CDC::DrawText(const std::string& text, CRect& rect, unsigned format) {
  const QFont& font = m_font->GetQFont();
  const QFontMetrics fm(font);
  const int height = fm.height();
  if (text.empty()) {
    if (format & DT_CALCRECT) {
      rect.right = rect.left;
      rect.bottom = rect.top + height;
      return height;
    }
    return 0;
  }

  int underlined = -1;
  QString shown = ToQ(text);
  if (!(format & DT_NOPREFIX)) shown = StripPrefixes(shown, &underlined);
  if (format & DT_HIDEPREFIX) underlined = -1;

  // Split at tabs when they are expanded; otherwise the text is one run.
  std::vector<Run> runs;
  int width = 0;
  if (format & DT_EXPANDTABS) {
    int chars = (format & DT_TABSTOP) ? static_cast<int>((format >> 8) & 0xFF) : 0;
    if (chars == 0) chars = 8;
    const int tabWidth = std::max(1, chars * fm.averageCharWidth());
    Run cur;
    for (qsizetype i = 0; i <= shown.size(); ++i) {
      if (i == shown.size() || shown[i] == QLatin1Char('\t')) {
        cur.x = width;
        width += fm.horizontalAdvance(cur.text);
        runs.push_back(cur);
        if (i == shown.size()) break;
        width = (width / tabWidth + 1) * tabWidth;
        cur = Run{};
        cur.firstIndex = static_cast<int>(i + 1);
      } else {
        cur.text += shown[i];
      }
    }
  } else {
    runs.push_back(Run{shown, 0, 0});
    width = fm.horizontalAdvance(shown);
  }

  int x = rect.left;
  if (format & DT_CENTER) x = (rect.left + rect.right - width) / 2;
  else if (format & DT_RIGHT) x = rect.right - width;
  int y = rect.top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) y = rect.top + (rect.bottom - rect.top) / 2 - height / 2;
    else if (format & DT_BOTTOM) y = rect.bottom - height;
  }

  if (format & DT_CALCRECT) {
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
    return height;
  }

  m_p->save();
  if (!(format & DT_NOCLIP))
    m_p->setClipRect(QRect(rect.left, rect.top, rect.Width(), rect.Height()), Qt::IntersectClip);
  if (m_bkMode == OPAQUE) m_p->fillRect(QRect(x, y, width, height), ToQColor(m_bkColor));
  m_p->setFont(font);
  m_p->setPen(ToQColor(m_textColor));
  if (!(format & DT_PREFIXONLY))
    for (const Run& r : runs) m_p->drawText(QPoint(x + r.x, y + fm.ascent()), r.text);
  if (underlined >= 0) {
    for (const Run& r : runs) {
      const int at = underlined - r.firstIndex;
      if (at < 0 || at >= r.text.size()) continue;
      const int ux = x + r.x + fm.horizontalAdvance(r.text.left(at));
      const int uw = fm.horizontalAdvance(r.text.mid(at, 1));
      m_p->fillRect(QRect(ux, y + fm.ascent() + 1, uw, 1), ToQColor(m_textColor));
    }
  }
  m_p->restore();

  if (format & (DT_VCENTER | DT_BOTTOM)) {
    const int h = y + height - rect.top;
    return h == 0 ? 1 : h;
  }
  return height;
}

CPoint CDC::MoveTo(int x, int y) {
  const CPoint old = m_pos;
  m_pos = CPoint{x, y};
  return old;
}

bool CDC::LineTo(int x, int y) {
  // Bresenham from the current position, stopping before the end point.
  int x0 = m_pos.x, y0 = m_pos.y;
  const int dx = std::abs(x - x0), dy = -std::abs(y - y0);
  const int sx = x0 < x ? 1 : -1, sy = y0 < y ? 1 : -1;
  int err = dx + dy;
  while (x0 != x || y0 != y) {
    Pixel(x0, y0, m_penColor);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
  m_pos = CPoint{x, y};
  return true;
}
