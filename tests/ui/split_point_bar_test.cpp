// The split-point bar: its points, the pixels of its marks, the parent's
// background painted under them, and its marks on the dialog's slider.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <cstdlib>
#include <initializer_list>

#include "engine/plan.h"
#include "platform/qt/trackbar.h"
#include "platform/qt/win_helpers.h"
#include "tests/ui/test_dialog.h"
#include "platform/qt/parent_background.h"
#include "ui/split_point_bar.h"

namespace {

// A parent whose background colour changes with x and y, as a skin's
// image would, set as a textured palette brush.
QImage PatternImage(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(x % 256, 40 + y, 128));
  return img;
}

QImage Render(QWidget& w) {
  QImage img(w.size(), QImage::Format_RGB32);
  img.fill(qRgb(255, 0, 255));
  w.render(&img);
  return img;
}

// Columns whose every pixel is black.
std::vector<int> BlackColumns(const QImage& img) {
  std::vector<int> cols;
  for (int x = 0; x < img.width(); ++x) {
    bool all = true;
    for (int y = 0; y < img.height(); ++y) all = all && img.pixel(x, y) == qRgb(0, 0, 0);
    if (all) cols.push_back(x);
  }
  return cols;
}

struct BarInParent : ::testing::Test {
  BarInParent() : bar(&parent) {
    parent.resize(361, 40);
    QPalette pal = parent.palette();
    pal.setBrush(QPalette::Window, QBrush(PatternImage(361, 40)));
    parent.setPalette(pal);
    bar.setGeometry(27, 13, 307, 7);
  }
  QWidget parent;
  CSplitPointBar bar;
};

class PaintingParent : public QWidget, public IParentBackgroundPainter {
 public:
  bool PaintChildBackground(QPainter& painter, QWidget* child) override {
    asked = child;
    if (!answer) return false;
    painter.fillRect(child->rect(), QColor(1, 2, 3));
    return true;
  }
  QWidget* asked = nullptr;
  bool answer = true;
};

}  // namespace

TEST_F(BarInParent, MarksFallOnTheDocumentedPixelColumns) {
  struct Case {
    int point, first;
  } cases[] = {{0, 0}, {50, 153}, {51, 153}, {100, 304}, {1, 3}, {99, 300}};
  for (const Case& c : cases) {
    bar.AddPoint(c.point);
    EXPECT_EQ(BlackColumns(Render(bar)), (std::vector<int>{c.first, c.first + 1, c.first + 2}))
        << "point " << c.point;
    bar.RemovePoint(c.point);
  }
}

TEST_F(BarInParent, AllMarksAreDrawnAndEverythingElseIsTheParentsBackground) {
  bar.AddPoint(20);
  bar.AddPoint(70);
  const QImage img = Render(bar);
  const QImage pattern = PatternImage(361, 40);
  int marks = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const bool inMark = (x >= 61 && x < 64) || (x >= 211 && x < 214);
      if (inMark) {
        marks += img.pixel(x, y) == qRgb(0, 0, 0);
      } else {
        // The parent's pattern exactly where it lies behind the bar.
        ASSERT_EQ(img.pixel(x, y), pattern.pixel(x + 27, y + 13)) << x << "," << y;
      }
    }
  EXPECT_EQ(marks, 2 * 3 * 7);
}

TEST_F(BarInParent, RenderedWithTheParentTheBarIsSeamless) {
  bar.AddPoint(50);
  const QImage img = Render(parent);
  const QImage pattern = PatternImage(361, 40);
  EXPECT_EQ(img.pixel(27 + 10, 13 + 3), pattern.pixel(27 + 10, 13 + 3));
  EXPECT_EQ(img.pixel(27 + 153, 13), qRgb(0, 0, 0));
  EXPECT_EQ(img.pixel(27 + 155, 13 + 6), qRgb(0, 0, 0));
  EXPECT_EQ(img.pixel(27 + 156, 13 + 6), pattern.pixel(27 + 156, 13 + 6));
}

TEST(SplitPointBar, PointsKeepInsertionOrderAndRemoveTakesEveryEqualEntry) {
  CSplitPointBar bar;
  bar.AddPoint(60);
  bar.AddPoint(25);
  bar.AddPoint(60);  // no duplicate test: the caller guards against it
  bar.AddPoint(90);
  EXPECT_EQ(bar.Points(), (std::vector<int>{60, 25, 60, 90}));
  bar.RemovePoint(60);
  EXPECT_EQ(bar.Points(), (std::vector<int>{25, 90}));
  bar.RemovePoint(42);  // absent: nothing changes
  EXPECT_EQ(bar.Points(), (std::vector<int>{25, 90}));
  bar.RemovePoint(25);
  bar.RemovePoint(90);
  EXPECT_TRUE(bar.Points().empty());
}

TEST(ParentBackground, AParentThatPaintsIsAskedFirstElseItsPaletteIsUsed) {
  PaintingParent parent;
  parent.resize(100, 20);
  QPalette pal = parent.palette();
  pal.setColor(QPalette::Window, QColor(10, 200, 30));
  parent.setPalette(pal);
  CSplitPointBar bar(&parent);
  bar.setGeometry(5, 5, 50, 7);

  QImage img = Render(bar);
  EXPECT_EQ(parent.asked, &bar);
  EXPECT_EQ(img.pixel(10, 3), qRgb(1, 2, 3));

  parent.answer = false;
  img = Render(bar);
  EXPECT_EQ(img.pixel(10, 3), qRgb(10, 200, 30));
}

TEST(ParentBackground, AChildWithoutParentGetsNothing) {
  QWidget orphan;
  QImage img(10, 10, QImage::Format_RGB32);
  img.fill(qRgb(7, 7, 7));
  QPainter p(&img);
  CParentBackground bg;
  EXPECT_FALSE(bg.PaintParentBackground(p, &orphan));
  EXPECT_FALSE(bg.PaintParentBackground(p, nullptr));
  p.end();
  EXPECT_EQ(img.pixel(5, 5), qRgb(7, 7, 7));
}

// The bar and the slider as the main dialog lays them out: every mark sits
// on its tick, and both are really drawn there.
namespace {
struct DialogWithPoints {
  explicit DialogWithPoints(std::initializer_list<int> points, int thumb) {
    d.Model().SetDuration(200);
    win::EnableWindow(d.slider(), true);
    for (int p : points) {
      d.slider()->setValue(p);
      d.OnCommand(1004);
    }
    d.slider()->setValue(thumb);
  }
  TestDlg d;
};
}  // namespace

TEST(SplitPointBarInDialog, MarksSitOnTheSlidersTicks) {
  DialogWithPoints w({10, 25, 51, 80}, 40);
  CTrackbar* s = w.d.slider();
  CSplitPointBar* bar = w.d.pointBar();
  ASSERT_EQ(s->geometry(), QRect(19, 356, 322, 43));
  ASSERT_EQ(bar->geometry(), QRect(27, 373, 307, 7));
  const QImage img = w.d.grab().toImage().convertToFormat(QImage::Format_RGB32);

  for (int p : {10, 25, 51, 80}) {
    const int markLeft = bar->x() + CSplitPointBar::MarkLeft(bar->width(), p);
    const int tick = s->x() + s->TickX(p);
    EXPECT_LE(std::abs(tick - (27 + 307 * p / 100)), 1) << p;
    EXPECT_GE(tick, markLeft - 1) << p;
    EXPECT_LE(tick, markLeft + CSplitPointBar::kMarkWidth) << p;
    for (int y = bar->y(); y < bar->y() + bar->height(); ++y)
      for (int x = markLeft; x < markLeft + CSplitPointBar::kMarkWidth; ++x)
        ASSERT_EQ(img.pixel(x, y), qRgb(0, 0, 0)) << p << " at " << x << "," << y;
    // The 3 px tick above the channel, in dialog coordinates.
    for (int i = 0; i < CTrackbar::kInteriorTickLength; ++i)
      EXPECT_EQ(img.pixel(tick, s->y() + s->TopTickBottom() - i), qRgb(0, 0, 0)) << p;
  }
}

// A picture for people: ZANTREL_SHOTS=<folder> ui_tests
// --gtest_also_run_disabled_tests --gtest_filter='*Screenshot*'
TEST(Screenshots, DISABLED_SplitPointsOnTheSlider) {
  DialogWithPoints w({10, 25, 51, 80}, 40);
  win::SetDlgItemText(&w.d, 1003, zantrel::FormatTime(200));
  w.d.show();
  TestDlg::PumpUntil([] { return false; }, 300);
  const QImage dialog = w.d.grab().toImage();
  const QRect strip(12, 345, 338, 58);
  const QImage zoom = dialog.copy(strip).scaled(strip.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  QImage out(std::max(dialog.width(), zoom.width()), dialog.height() + zoom.height() + 8, QImage::Format_RGB32);
  out.fill(Qt::white);
  QPainter p(&out);
  p.drawImage((out.width() - dialog.width()) / 2, 0, dialog);
  p.drawImage(0, dialog.height() + 8, zoom);
  p.end();
  const char* dir = std::getenv("ZANTREL_SHOTS");
  out.save(QString::fromStdString(std::string(dir ? dir : "/tmp") + "/split-points.png"));
}
