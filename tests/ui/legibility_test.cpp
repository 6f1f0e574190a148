// Every text of the main dialog, its progress bar and the file chooser's
// column headers, measured from rendered pixels under each skin: the
// contrast of the text against what is drawn behind it, at least 4.5 : 1
// (3 : 1 for disabled texts).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QStyleOptionHeader>
#include <functional>
#include <string>

#include "tests/ui/skin_test_util.h"
#include "tests/ui/test_dialog.h"

namespace {
// The text's contrast with everything drawn behind it: its colour is the
// pixel the text changes most (a glyph's full colour, not an antialiased
// edge), and the answer is that colour against the worst of the pixels the
// text covers, as they are without it. 0 when the text changes nothing.
double TextContrast(const QImage& with, const QImage& without) {
  double best = 0;
  QColor ink;
  std::vector<QPoint> covered;
  for (int y = 0; y < with.height(); ++y)
    for (int x = 0; x < with.width(); ++x) {
      if (with.pixel(x, y) == without.pixel(x, y)) continue;
      covered.emplace_back(x, y);
      const double c = Contrast(with.pixelColor(x, y), without.pixelColor(x, y));
      if (c > best) {
        best = c;
        ink = with.pixelColor(x, y);
      }
    }
  double worst = covered.empty() ? 0 : 1e9;
  for (const QPoint& p : covered) worst = std::min(worst, Contrast(ink, without.pixelColor(p)));
  return worst;
}

QImage Shot(QWidget& top, QWidget* w) {
  return top.grab(QRect(w->mapTo(&top, QPoint(0, 0)), w->size())).toImage();
}

// The same text as blanks of the same width (an ideographic space for each
// CJK character), so that nothing but the glyphs changes: a group box's
// frame keeps its gap, a label its alignment.
QString Blank(const QString& t) {
  QString b = t;
  for (QChar& c : b) c = c.unicode() >= 0x2E80 ? QChar(0x3000) : QChar(u' ');
  return b;
}

// How to take a widget's text away and give it back; null for widgets
// without a text of their own.
std::function<void(bool)> TextSwitch(QWidget* w) {
  if (auto* b = qobject_cast<QProgressBar*>(w)) {
    const QString t = b->format();
    return [b, t](bool on) { b->setFormat(on ? t : Blank(t)); };
  }
  if (auto* l = qobject_cast<QLabel*>(w)) {
    const QString t = l->text();
    if (t.isEmpty()) return {};
    return [l, t](bool on) { l->setText(on ? t : Blank(t)); };
  }
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    const QString t = b->text();
    if (t.isEmpty()) return {};
    return [b, t](bool on) { b->setText(on ? t : Blank(t)); };
  }
  if (auto* g = qobject_cast<QGroupBox*>(w)) {
    const QString t = g->title();
    return [g, t](bool on) { g->setTitle(on ? t : Blank(t)); };
  }
  if (auto* e = qobject_cast<QLineEdit*>(w)) {
    const QString t = e->text().isEmpty() ? QStringLiteral("/媒体/Videos/输出") : e->text();
    return [e, t](bool on) { e->setText(on ? t : Blank(t)); };
  }
  if (auto* l = qobject_cast<QListWidget*>(w)) {
    if (l->count() == 0) l->addItem(QStringLiteral("0:00:06"));
    return [l](bool on) { l->item(0)->setText(on ? QStringLiteral("0:00:06") : QString()); };
  }
  return {};
}

double Measure(QWidget& top, QWidget* w, const std::function<void(bool)>& text) {
  text(true);
  const QImage with = Shot(top, w);
  text(false);
  const QImage without = Shot(top, w);
  text(true);
  return TextContrast(with, without);
}

class Legibility : public SkinTest {};
}  // namespace

TEST_F(Legibility, EveryTextOfTheMainDialogUnderEverySkin) {
  for (const char* skin : AllSkins()) {
    ASSERT_TRUE(SkinLoadFromResource(skin, "SKIN"));
    TestDlg d;
    d.show();
    TestDlg::PumpUntil([] { return false; }, 30);
    // No caret or focus frame in the pictures.
    if (QWidget* f = d.focusWidget()) f->clearFocus();
    int measured = 0;
    for (QWidget* w : d.findChildren<QWidget*>()) {
      if (!w->isVisible() || qobject_cast<QProgressBar*>(w)) continue;
      const std::function<void(bool)> text = TextSwitch(w);
      if (!text) continue;
      const bool wasEnabled = w->isEnabled();
      w->setEnabled(true);
      EXPECT_GE(Measure(d, w, text), 4.5) << skin << " " << w->metaObject()->className() << " "
                                          << w->objectName().toStdString();
      w->setEnabled(false);
      EXPECT_GE(Measure(d, w, text), 3.0) << skin << " disabled " << w->metaObject()->className()
                                          << " " << w->objectName().toStdString();
      w->setEnabled(wasEnabled);
      ++measured;
    }
    EXPECT_GE(measured, 20) << skin;

    // The bar's text over the empty part and over the filled part.
    auto* bar = qobject_cast<QProgressBar*>(d.GetDlgItem(1019));
    ASSERT_NE(bar, nullptr);
    bar->setTextVisible(true);
    bar->setFormat(QStringLiteral("已写入 0/2 段"));
    for (int value : {0, 100}) {
      bar->setValue(value);
      EXPECT_GE(Measure(d, bar, TextSwitch(bar)), 4.5) << skin << " progress at " << value;
    }
  }
}

// The chooser's column headers, drawn by the style the chooser's own header
// view uses, with and without their text.
TEST_F(Legibility, FileChooserHeadersUnderEverySkin) {
  for (const char* skin : AllSkins()) {
    ASSERT_TRUE(SkinLoadFromResource(skin, "SKIN"));
    QFileDialog chooser(nullptr);
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setViewMode(QFileDialog::Detail);
    chooser.show();
    TestDlg::PumpUntil([] { return false; }, 30);
    QHeaderView* header = nullptr;
    for (QHeaderView* h : chooser.findChildren<QHeaderView*>())
      if (h->isVisible() && h->orientation() == Qt::Horizontal) header = h;
    ASSERT_NE(header, nullptr) << skin;
    auto draw = [&](const QString& text, bool hover) {
      QImage img(header->sectionSize(0), header->height(), QImage::Format_ARGB32_Premultiplied);
      img.fill(header->palette().color(QPalette::Window));
      QPainter p(&img);
      QStyleOptionHeader opt;
      opt.initFrom(header);
      opt.rect = img.rect();
      opt.section = 0;
      opt.text = text;
      opt.orientation = Qt::Horizontal;
      opt.position = QStyleOptionHeader::Beginning;
      opt.state |= QStyle::State_Horizontal | QStyle::State_Raised | QStyle::State_Enabled;
      if (hover) opt.state |= QStyle::State_MouseOver;
      header->style()->drawControl(QStyle::CE_Header, &opt, &p, header);
      return img;
    };
    for (bool hover : {false, true})
      EXPECT_GE(TextContrast(draw(QStringLiteral("Name 名称"), hover), draw(QString(), hover)), 4.5)
          << skin << (hover ? " hovered" : "");
  }
}
