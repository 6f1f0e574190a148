// The skin engine: loading the five built-in skins by name, what an unknown
// name leaves, the palette rules every skin keeps, and that a load restyles
// windows that are already open.
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStyleFactory>
#include <map>

#include "platform/qt/trackbar.h"
#include "platform/qt/win_helpers.h"
#include "tests/ui/skin_test_util.h"
#include "tests/ui/test_dialog.h"
#include "ui/about_dlg.h"
#include "ui/split_done_dlg.h"

namespace {
QByteArray SkinFile(const char* name) {
  QFile f(QStringLiteral(":/SKIN/") + QString::fromLatin1(name));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
SkinDefinition Parsed(const char* name) {
  const auto def = ParseSkin(SkinFile(name), FixedLightPalette());
  EXPECT_TRUE(def.has_value()) << name;
  return def ? *def : SkinDefinition{};
}
QImage Shot(QWidget& w) {
  TestDlg::PumpUntil([] { return false; }, 50);
  return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}
// Mean per-channel difference of two pictures of the same size.
double Difference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 255;
  double sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
             std::abs(qBlue(p) - qBlue(q));
    }
  return sum / (3.0 * a.width() * a.height());
}
}  // namespace

TEST_F(SkinTest, FiveSkinsLoadByNameWhateverTheLetterCase) {
  for (const char* name : AllSkins()) {
    const SkinDefinition def = Parsed(name);
    for (QString n : {QString::fromLatin1(name), QString::fromLatin1(name).toLower(),
                      QString::fromLatin1(name).left(2) + QString::fromLatin1(name).mid(2).toLower()}) {
      EXPECT_TRUE(SkinLoadFromResource(n.toUtf8().constData(), "SKIN")) << n.toStdString();
      EXPECT_EQ(qApp->styleSheet(), def.styleSheet) << n.toStdString();
      EXPECT_EQ(QApplication::palette().brush(QPalette::Window),
                def.palette.brush(QPalette::Window));
    }
  }
  EXPECT_TRUE(SkinLoadFromResource("future", "skin")) << "the type matches in any case too";
}

TEST_F(SkinTest, UnknownNameOrTypeLoadsNothingAndKeepsTheLook) {
  ASSERT_TRUE(SkinLoadFromResource("CORONA", "SKIN"));
  const QString sheet = qApp->styleSheet();
  const QPalette pal = QApplication::palette();
  EXPECT_FALSE(SkinLoadFromResource("NOSUCHSKIN", "SKIN"));
  EXPECT_FALSE(SkinLoadFromResource("CORONA", "BITMAP"));
  EXPECT_FALSE(SkinLoadFromResource("", "SKIN"));
  EXPECT_FALSE(SkinLoadFromResource(nullptr, "SKIN"));
  EXPECT_FALSE(SkinLoadFromResource("CORONA ", "SKIN"));
  EXPECT_EQ(qApp->styleSheet(), sheet);
  EXPECT_EQ(QApplication::palette(), pal);
}

TEST_F(SkinTest, WithoutASkinTheLookIsAFixedLightOne) {
  // Whatever the desktop's theme, the start gives the fixed light palette
  // and no style sheet, and a failed first load leaves it so.
  QPalette dark(QColor(40, 40, 40), QColor(30, 30, 30));
  QApplication::setPalette(dark);
  SkinStart("Demo", 0, 0);
  EXPECT_FALSE(SkinLoadFromResource("NOSUCHSKIN", "SKIN"));
  EXPECT_EQ(QApplication::palette().color(QPalette::Window), FixedLightPalette().color(QPalette::Window));
  EXPECT_TRUE(qApp->styleSheet().isEmpty());
  EXPECT_GE(Contrast(QApplication::palette().color(QPalette::Window), Qt::black), 4.5);
  EXPECT_GE(Contrast(QApplication::palette().color(QPalette::Base), QApplication::palette().color(QPalette::Text)), 4.5);
}

TEST(SkinFiles, ParsingRejectsMalformedSkinsAndKeepsBaseColours) {
  const QPalette base = FixedLightPalette();
  EXPECT_FALSE(ParseSkin("QPushButton {}", base)) << "no marker";
  EXPECT_FALSE(ParseSkin("ZANTREL_SKIN_FILE\n@Window = #ffffff\n", base)) << "no %% line";
  EXPECT_FALSE(ParseSkin("ZANTREL_SKIN_FILE\n@Wndow = #ffffff\n%%\n", base)) << "unknown role";
  EXPECT_FALSE(ParseSkin("ZANTREL_SKIN_FILE\n@Window = white\n%%\n", base)) << "not #rrggbb";
  EXPECT_FALSE(ParseSkin("ZANTREL_SKIN_FILE\n@Sometimes.Window = #ffffff\n%%\n", base));
  EXPECT_FALSE(ParseSkin("ZANTREL_SKIN_FILE\nWindow = #ffffff\n%%\n", base));

  const auto def = ParseSkin(
      "ZANTREL_SKIN_FILE\r\n# comment\r\n@Text = #102030\r\n@Disabled.Text = #405060\r\n"
      "@Window = #ffffff #808080\r\n%%\r\nQLabel { color: red; }\r\n",
      base);
  ASSERT_TRUE(def);
  EXPECT_EQ(def->palette.color(QPalette::Active, QPalette::Text), QColor(0x10, 0x20, 0x30));
  EXPECT_EQ(def->palette.color(QPalette::Inactive, QPalette::Text), QColor(0x10, 0x20, 0x30));
  EXPECT_EQ(def->palette.color(QPalette::Disabled, QPalette::Text), QColor(0x40, 0x50, 0x60));
  EXPECT_EQ(def->palette.color(QPalette::Base), base.color(QPalette::Base));
  const QGradient* g = def->palette.brush(QPalette::Window).gradient();
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->stops().size(), 2);
  EXPECT_TRUE(def->styleSheet.contains("QLabel { color: red; }"));
}

TEST(SkinFiles, EveryBackgroundKeepsContrastWithBlackAndTextStaysLegible) {
  for (const char* name : AllSkins()) {
    const SkinDefinition def = Parsed(name);
    const QPalette& p = def.palette;
    // Menu bar text, split-point marks and slider ticks are black on it.
    for (const QColor& c : BrushColours(p.brush(QPalette::Window)))
      EXPECT_GE(Contrast(c, Qt::black), 4.5) << name << " " << c.name().toStdString();
    for (const QColor& c : BrushColours(p.brush(QPalette::Window))) {
      EXPECT_GE(Contrast(c, p.color(QPalette::WindowText)), 4.5) << name;
      EXPECT_GE(Contrast(c, p.color(QPalette::Disabled, QPalette::WindowText)), 3.0) << name;
    }
    EXPECT_GE(Contrast(p.color(QPalette::Base), p.color(QPalette::Text)), 4.5) << name;
    EXPECT_GE(Contrast(p.color(QPalette::Disabled, QPalette::Base),
                       p.color(QPalette::Disabled, QPalette::Text)), 4.5) << name;
    EXPECT_GE(Contrast(p.color(QPalette::Button), p.color(QPalette::ButtonText)), 4.5) << name;
    EXPECT_GE(Contrast(p.color(QPalette::Highlight), p.color(QPalette::HighlightedText)), 4.5)
        << name;
    // The slider keeps pure black for its ticks.
    for (auto role : {QPalette::Button, QPalette::Light, QPalette::Midlight, QPalette::Mid,
                      QPalette::Dark})
      EXPECT_NE(p.color(role), QColor(Qt::black)) << name;
  }
}

TEST_F(SkinTest, DisabledEditsStayLegibleUnderEverySkin) {
  TestDlg d;
  d.show();
  auto* edit = qobject_cast<QLineEdit*>(d.GetDlgItem(1012));  // disabled "120"
  ASSERT_NE(edit, nullptr);
  ASSERT_FALSE(edit->isEnabled());
  for (const char* name : AllSkins()) {
    ASSERT_TRUE(SkinLoadFromResource(name, "SKIN"));
    const QImage img = Shot(*edit);
    // The fill is the most common colour inside the frame; the text's
    // strongest pixel must stand out from it.
    std::map<QRgb, int> count;
    for (int y = 3; y < img.height() - 3; ++y)
      for (int x = 3; x < img.width() - 3; ++x) ++count[img.pixel(x, y)];
    QRgb fill = 0;
    int most = 0;
    for (auto [c, n] : count)
      if (n > most) most = n, fill = c;
    double best = 1;
    for (auto [c, n] : count) best = std::max(best, Contrast(QColor(c), QColor(fill)));
    EXPECT_GE(best, 4.5) << name;
  }
}

TEST_F(SkinTest, LoadingASkinRestylesTheWindowsAlreadyOpen) {
  TestDlg d;
  d.show();
  CAboutDlg about(nullptr);
  about.Create();
  about.show();
  CSplitDoneDlg done("clip.flv", "/tmp", nullptr);
  done.Create();
  done.show();
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8("Tesmor提示"),
                  QString::fromUtf8("请选择要分割的文件！"), QMessageBox::Ok, &d);
  box.show();
  win::EnableWindow(d.slider(), true);
  d.progress()->setValue(40);
  QListWidget* list = d.list();
  list->addItem(QStringLiteral("0:00:12"));
  for (int i = 0; i < 8; ++i) list->addItem(QStringLiteral("0:01:0%1").arg(i));

  struct Part {
    const char* what;
    QWidget* w;
  };
  const std::vector<Part> parts = {
      {"dialog 102", &d},
      {"button", d.GetDlgItem(1016)},
      {"disabled button", d.GetDlgItem(1017)},
      {"radio", d.GetDlgItem(1007)},
      {"check box", d.GetDlgItem(1021)},
      {"edit", d.GetDlgItem(1014)},
      {"disabled edit", d.GetDlgItem(1012)},
      {"up-down", d.GetDlgItem(1011)},
      {"label", d.GetDlgItem(1023)},
      {"list box", d.GetDlgItem(1013)},
      {"progress", d.GetDlgItem(1019)},
      {"slider", d.slider()},
      {"dialog 100", &about},
      {"dialog 142", &done},
      {"message box", &box},
  };
  std::map<std::string, std::map<std::string, QImage>> shots;
  for (const char* name : AllSkins()) {
    ASSERT_TRUE(SkinLoadFromResource(name, "SKIN"));
    for (const Part& p : parts) shots[name][p.what] = Shot(*p.w);
  }
  // Every part looks different under every pair of skins.
  for (size_t i = 0; i < AllSkins().size(); ++i)
    for (size_t j = i + 1; j < AllSkins().size(); ++j)
      for (const Part& p : parts) {
        const double diff = Difference(shots[AllSkins()[i]][p.what], shots[AllSkins()[j]][p.what]);
        EXPECT_GT(diff, 2.0) << p.what << ": " << AllSkins()[i] << " vs " << AllSkins()[j];
      }
  // The group box frame is drawn, and the dialog's background is the skin's.
  ASSERT_TRUE(SkinLoadFromResource("FUTURE", "SKIN"));
  const QImage img = Shot(d);
  const QColor top = BrushColours(Parsed("FUTURE").palette.brush(QPalette::Window)).front();
  EXPECT_LE(std::abs(QColor(img.pixel(d.width() - 3, 30)).green() - top.green()), 6);
}

TEST_F(SkinTest, ChildrenKeepTheirDialogsFontAcrossSkinChanges) {
  TestDlg d;
  d.show();
  QWidget* label = d.GetDlgItem(1006);
  const QFont dialogFont = d.font();
  for (const char* name : AllSkins()) {
    ASSERT_TRUE(SkinLoadFromResource(name, "SKIN"));
    EXPECT_EQ(label->font().families(), dialogFont.families()) << name;
    EXPECT_EQ(label->font().pixelSize(), dialogFont.pixelSize()) << name;
  }
}
