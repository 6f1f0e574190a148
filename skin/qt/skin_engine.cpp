#include "skin/qt/skin_engine.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLinearGradient>
#include <QMetaEnum>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QWidget>

// Outside any namespace, as the macro requires: the skins live in a static
// library, whose resource initialiser the linker would otherwise drop.
static void InitSkinResources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(skins);
    return true;
  }();
  (void)done;
}

namespace {

// Fusion with check and radio indicators drawn from the palette, so each
// skin gives them its own frame, well and mark colours. Everything else is
// Fusion's (or the skin's style sheet, which sits on top).
class CSkinStyle : public QProxyStyle {
 public:
  CSkinStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

  void drawPrimitive(PrimitiveElement pe, const QStyleOption* opt, QPainter* p,
                     const QWidget* w) const override {
    if (pe == PE_IndicatorArrowUp || pe == PE_IndicatorArrowDown) {
      DrawArrow(pe == PE_IndicatorArrowUp, opt, p);
      return;
    }
    if (pe != PE_IndicatorCheckBox && pe != PE_IndicatorRadioButton) {
      QProxyStyle::drawPrimitive(pe, opt, p, w);
      return;
    }
    const bool enabled = opt->state & State_Enabled;
    const QPalette::ColorGroup g = enabled ? QPalette::Active : QPalette::Disabled;
    const QPalette& pal = opt->palette;
    const QColor frame = pal.color(g, QPalette::Dark);
    const QColor well = pal.color(g, QPalette::Base);
    QColor mark = pal.color(g, QPalette::Highlight);
    if (!enabled) mark = pal.color(QPalette::Disabled, QPalette::Text);
    const bool hover = enabled && (opt->state & State_MouseOver);

    p->save();
    p->setRenderHint(QPainter::Antialiasing, true);
    const QRectF r = QRectF(opt->rect).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, well.darker(enabled ? 108 : 100));
    fill.setColorAt(1, well);
    p->setPen(QPen(hover ? mark : frame, 1));
    p->setBrush(fill);
    const bool checked = opt->state & State_On;
    if (pe == PE_IndicatorRadioButton) {
      p->drawEllipse(r);
      if (checked) {
        const QRectF dot = r.adjusted(r.width() * 0.28, r.height() * 0.28, -r.width() * 0.28,
                                      -r.height() * 0.28);
        QRadialGradient rg(dot.center(), dot.width() / 2, dot.topLeft() + QPointF(1, 1));
        rg.setColorAt(0, mark.lighter(150));
        rg.setColorAt(1, mark);
        p->setPen(Qt::NoPen);
        p->setBrush(rg);
        p->drawEllipse(dot);
      }
    } else {
      p->drawRoundedRect(r, 2, 2);
      if (checked || (opt->state & State_NoChange)) {
        QPainterPath tick;
        const qreal x = r.left(), y = r.top(), s = r.width();
        tick.moveTo(x + s * 0.22, y + s * 0.52);
        tick.lineTo(x + s * 0.42, y + s * 0.72);
        tick.lineTo(x + s * 0.78, y + s * 0.28);
        p->setPen(QPen(mark, std::max(1.5, s * 0.16), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p->setBrush(Qt::NoBrush);
        p->drawPath(tick);
      }
    }
    p->restore();
  }

 private:
  // Up and down arrows (the up-down control's) in the button text colour,
  // which every skin keeps legible on its button colour.
  static void DrawArrow(bool up, const QStyleOption* opt, QPainter* p) {
    const QColor c = opt->palette.color(
        (opt->state & State_Enabled) ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText);
    const QRect r = opt->rect;
    const int half = std::max(2, std::min(r.width() / 2 - 1, r.height() - 2) - 1);
    const int rows = half;
    const int cx = r.left() + (r.width() - 1) / 2;
    const int top = r.top() + (r.height() - rows) / 2;
    p->save();
    p->setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < rows; ++i) {
      const int k = up ? i : rows - 1 - i;  // row k spans 2k + 1 pixels
      p->fillRect(QRect(cx - k, top + i, 2 * k + 1, 1), c);
    }
    p->restore();
  }
};

// The look before SkinStart, put back by SkinShutdown.
struct Saved {
  QString styleName;
  QPalette palette;
  QString styleSheet;
};
std::optional<Saved> g_saved;

// Replacing one style sheet by another leaves child widgets with the
// application's font instead of their window's (a dialog sets its own, and
// its controls are laid out for it). Every widget whose font was never set
// explicitly gets its parent's again, parents before children.
void RestoreFontInheritance() {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    for (QWidget* w : top->findChildren<QWidget*>()) {
      QWidget* parent = w->parentWidget();
      if (!parent || w->testAttribute(Qt::WA_SetFont) || w->font() == parent->font()) continue;
      w->setFont(parent->font());
      w->setAttribute(Qt::WA_SetFont, false);
    }
  }
}

bool ParseColour(const QString& s, QColor* out) {
  if (!s.startsWith('#') || (s.size() != 7)) return false;
  *out = QColor::fromString(s);
  return out->isValid();
}

}  // namespace

QPalette FixedLightPalette() {
  QPalette pal(QColor(232, 232, 232), QColor(240, 240, 240));
  pal.setColor(QPalette::Base, QColor(255, 255, 255));
  pal.setColor(QPalette::AlternateBase, QColor(245, 245, 245));
  pal.setColor(QPalette::Text, QColor(0, 0, 0));
  pal.setColor(QPalette::WindowText, QColor(0, 0, 0));
  pal.setColor(QPalette::ButtonText, QColor(0, 0, 0));
  pal.setColor(QPalette::Highlight, QColor(48, 120, 200));
  pal.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
  pal.setColor(QPalette::ToolTipBase, QColor(255, 255, 220));
  pal.setColor(QPalette::ToolTipText, QColor(0, 0, 0));
  pal.setColor(QPalette::PlaceholderText, QColor(110, 110, 110));
  pal.setColor(QPalette::Link, QColor(0, 0, 238));
  pal.setColor(QPalette::Disabled, QPalette::WindowText, QColor(110, 110, 110));
  pal.setColor(QPalette::Disabled, QPalette::Text, QColor(90, 90, 90));
  pal.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(120, 120, 120));
  pal.setColor(QPalette::Disabled, QPalette::Base, QColor(240, 240, 240));
  return pal;
}

std::optional<SkinDefinition> ParseSkin(const QByteArray& text, const QPalette& base) {
  const QString all = QString::fromUtf8(text);
  const QStringList lines = all.split('\n');
  if (lines.isEmpty() || lines.front().trimmed() != QLatin1String("ZANTREL_SKIN_FILE"))
    return std::nullopt;
  SkinDefinition def;
  def.palette = base;
  const QMetaEnum roles = QMetaEnum::fromType<QPalette::ColorRole>();
  const QMetaEnum groups = QMetaEnum::fromType<QPalette::ColorGroup>();
  int i = 1;
  for (; i < lines.size(); ++i) {
    const QString line = lines[i].trimmed();
    if (line == QLatin1String("%%")) break;
    if (line.isEmpty() || line.startsWith('#')) continue;
    if (!line.startsWith('@')) return std::nullopt;
    const qsizetype eq = line.indexOf('=');
    if (eq < 0) return std::nullopt;
    QString name = line.mid(1, eq - 1).trimmed();
    const QStringList colours = line.mid(eq + 1).simplified().split(' ', Qt::SkipEmptyParts);
    if (colours.isEmpty()) return std::nullopt;

    std::optional<QPalette::ColorGroup> group;  // none: every group
    if (const qsizetype dot = name.indexOf('.'); dot >= 0) {
      bool ok = false;
      const int gv = groups.keyToValue(name.left(dot).toLatin1().constData(), &ok);
      if (!ok) return std::nullopt;
      group = static_cast<QPalette::ColorGroup>(gv);
      name = name.mid(dot + 1);
    }
    bool ok = false;
    const int rv = roles.keyToValue(name.toLatin1().constData(), &ok);
    if (!ok) return std::nullopt;
    const auto role = static_cast<QPalette::ColorRole>(rv);

    std::vector<QColor> cs;
    for (const QString& c : colours) {
      QColor col;
      if (!ParseColour(c, &col)) return std::nullopt;
      cs.push_back(col);
    }
    QBrush brush(cs.front());
    if (cs.size() > 1) {
      // In the window's own coordinates, so a child painting the parent's
      // background with a moved brush origin continues it seamlessly.
      QLinearGradient grad(0, 0, 0, kSkinGradientHeight);
      for (size_t k = 0; k < cs.size(); ++k)
        grad.setColorAt(static_cast<qreal>(k) / static_cast<qreal>(cs.size() - 1), cs[k]);
      brush = QBrush(grad);
    }
    // A line without a group sets every group; later lines win, so a
    // "Disabled." line after it gives the disabled state its own colour.
    if (group) {
      def.palette.setBrush(*group, role, brush);
    } else {
      for (auto g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        def.palette.setBrush(g, role, brush);
    }
  }
  if (i >= lines.size()) return std::nullopt;  // no "%%"
  def.styleSheet = lines.mid(i + 1).join('\n');
  return def;
}

bool SkinStart(const char*, int, int) {
  InitSkinResources();
  if (!g_saved) {
    g_saved = Saved{QApplication::style() ? QApplication::style()->name() : QString(),
                    QApplication::palette(), qApp->styleSheet()};
  }
  qApp->setStyleSheet(QString());
  QApplication::setStyle(new CSkinStyle);
  QApplication::setPalette(FixedLightPalette());
  return true;
}

bool SkinLoadFromResource(const char* skinName, const char* resourceType) {
  InitSkinResources();
  if (!skinName || !resourceType || !*skinName || !*resourceType) return false;
  // Resource names and types are matched without regard to letter case.
  const QString type = QString::fromUtf8(resourceType);
  const QString name = QString::fromUtf8(skinName);
  QString path;
  for (const QString& t : QDir(QStringLiteral(":/")).entryList(QDir::Dirs)) {
    if (t.compare(type, Qt::CaseInsensitive) != 0) continue;
    for (const QString& n : QDir(QStringLiteral(":/") + t).entryList(QDir::Files))
      if (n.compare(name, Qt::CaseInsensitive) == 0) path = QStringLiteral(":/") + t + '/' + n;
  }
  if (path.isEmpty()) return false;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  const std::optional<SkinDefinition> def = ParseSkin(f.readAll(), FixedLightPalette());
  if (!def) return false;

  // A skin load before SkinStart still gets the skin's own style.
  if (!dynamic_cast<CSkinStyle*>(QApplication::style())) {
    if (!g_saved)
      g_saved = Saved{QApplication::style()->name(), QApplication::palette(), qApp->styleSheet()};
    QApplication::setStyle(new CSkinStyle);
  }
  // Palette first: the style sheet is polished onto the new palette. Both
  // reach every existing window, which repaints itself.
  QApplication::setPalette(def->palette);
  qApp->setStyleSheet(def->styleSheet);
  RestoreFontInheritance();
  return true;
}

bool SkinSetDialogSkin(const char*) { return true; }

void SkinShutdown() {
  if (!g_saved) return;
  qApp->setStyleSheet(g_saved->styleSheet);
  if (QStyle* s = QStyleFactory::create(g_saved->styleName)) QApplication::setStyle(s);
  QApplication::setPalette(g_saved->palette);
  g_saved.reset();
}
