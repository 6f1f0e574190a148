#include "platform/qt/gdi_font.h"

#include <QStringList>
#include <cstdlib>
#include <cstring>

namespace {
constexpr unsigned char kNonAntialiasedQuality = 3;
constexpr int kDefaultPixelSize = 16;

QStringList FamiliesFor(const char* face) {
  const QString name = QString::fromUtf8(face ? face : "");
  // SimSun is what the face means; where it is missing, the CJK serif comes
  // closest in look, and the sans is the last resort every install has.
  if (name.isEmpty() || name == QStringLiteral("宋体") ||
      name.compare(QStringLiteral("SimSun"), Qt::CaseInsensitive) == 0)
    return {QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("Noto Serif CJK SC"),
            QStringLiteral("Noto Sans CJK SC")};
  return {name, QStringLiteral("Noto Sans CJK SC")};
}
}  // namespace

bool CFont::CreateFont(int height, int, int, int, int weight, unsigned char italic,
                       unsigned char underline, unsigned char strikeOut, unsigned char,
                       unsigned char, unsigned char, unsigned char quality, unsigned char,
                       const char* faceName) {
  QFont f;
  f.setFamilies(FamiliesFor(faceName));
  f.setPixelSize(height == 0 ? kDefaultPixelSize : std::abs(height));
  if (weight > 0) f.setWeight(static_cast<QFont::Weight>(weight < 100 ? 100 : weight > 900 ? 900 : weight));
  f.setItalic(italic != 0);
  f.setUnderline(underline != 0);
  f.setStrikeOut(strikeOut != 0);
  if (quality == kNonAntialiasedQuality) f.setStyleStrategy(QFont::NoAntialias);
  m_font = f;
  m_bCreated = true;
  return true;
}

const CFont& CFont::DefaultFont() {
  static const CFont font = [] {
    CFont f;
    f.CreateFont(kDefaultPixelSize, 0, 0, 0, 400, 0, 0, 0, 1, 0, 0, 0, 0, "宋体");
    return f;
  }();
  return font;
}
