// The trackbar's tick contract (as the Windows control answers it) and its
// drawing: where the ticks land, and that they are the only black pixels.
#include <gtest/gtest.h>

#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <set>
#include <utility>

#include "platform/qt/trackbar.h"

namespace {

std::vector<int> Tics(const CTrackbar& tb) {
  std::vector<int> out;
  for (int i = 0; tb.GetTic(i) != -1; ++i) out.push_back(tb.GetTic(i));
  return out;
}

QImage Render(CTrackbar& tb) {
  QImage img(tb.size(), QImage::Format_ARGB32);
  img.fill(Qt::white);
  tb.render(&img);
  return img;
}

bool IsBlack(const QImage& img, int x, int y) { return img.pixel(x, y) == qRgb(0, 0, 0); }

}  // namespace

TEST(Trackbar, DefaultsLikeTheWindowsControl) {
  CTrackbar tb;
  EXPECT_EQ(tb.orientation(), Qt::Horizontal);
  EXPECT_EQ(tb.minimum(), 0);
  EXPECT_EQ(tb.maximum(), 100);
  EXPECT_EQ(tb.pageStep(), 20);
  EXPECT_EQ(tb.singleStep(), 1);
  EXPECT_EQ(tb.value(), 0);
  EXPECT_EQ(tb.GetNumTics(), 2);
  EXPECT_EQ(tb.GetTic(0), -1);
}

TEST(Trackbar, TicksAnswerInAscendingOrderWithTwoEndTicksCounted) {
  CTrackbar tb;
  EXPECT_TRUE(tb.SetTic(60));
  EXPECT_TRUE(tb.SetTic(25));
  EXPECT_TRUE(tb.SetTic(80));
  EXPECT_EQ(Tics(tb), (std::vector<int>{25, 60, 80}));
  EXPECT_EQ(tb.GetNumTics(), 5);
  // Past either end of the interior ticks: -1, and the end ticks are not
  // reachable by index.
  EXPECT_EQ(tb.GetTic(3), -1);
  EXPECT_EQ(tb.GetTic(-1), -1);
  EXPECT_EQ(tb.GetTic(1000), -1);
}

TEST(Trackbar, DuplicatesAreStoredAndCounted) {
  CTrackbar tb;
  tb.setRange(0, 10);
  EXPECT_TRUE(tb.SetTic(5));
  EXPECT_TRUE(tb.SetTic(5));
  EXPECT_EQ(tb.GetNumTics(), 4);
  EXPECT_EQ(tb.GetTic(0), 5);
  EXPECT_EQ(tb.GetTic(1), 5);
}

TEST(Trackbar, SetTicOutsideTheRangeIsRefusedEndsIncluded) {
  CTrackbar tb;
  EXPECT_FALSE(tb.SetTic(-1));
  EXPECT_FALSE(tb.SetTic(101));
  EXPECT_EQ(tb.GetNumTics(), 2);
  EXPECT_TRUE(tb.SetTic(0));
  EXPECT_TRUE(tb.SetTic(100));
  EXPECT_EQ(Tics(tb), (std::vector<int>{0, 100}));

  CTrackbar narrow;
  narrow.setRange(5, 10);
  EXPECT_FALSE(narrow.SetTic(0));
  EXPECT_TRUE(narrow.SetTic(5));
  EXPECT_TRUE(narrow.SetTic(10));
  EXPECT_FALSE(narrow.SetTic(20));
  EXPECT_EQ(narrow.GetNumTics(), 4);
}

TEST(Trackbar, ClearTicsLeavesTheTwoEndTicks) {
  CTrackbar tb;
  tb.SetTic(10);
  tb.SetTic(10);
  tb.SetTic(90);
  tb.ClearTics(false);
  EXPECT_EQ(tb.GetNumTics(), 2);
  EXPECT_EQ(tb.GetTic(0), -1);
  tb.SetTic(40);  // usable again after clearing
  EXPECT_EQ(Tics(tb), (std::vector<int>{40}));
  tb.ClearTics(true);
  EXPECT_EQ(tb.GetNumTics(), 2);
}

TEST(Trackbar, TickXSpansTheChannelInsetByHalfTheThumb) {
  CTrackbar tb;
  tb.resize(322, 43);
  EXPECT_EQ(tb.TickX(0), CTrackbar::kInset);
  EXPECT_EQ(tb.TickX(100), 322 - CTrackbar::kInset);
  for (int p = 1; p <= 100; ++p) EXPECT_GE(tb.TickX(p), tb.TickX(p - 1)) << p;
  // Another range maps its own ends onto the same pixels.
  tb.setRange(-10, 10);
  EXPECT_EQ(tb.TickX(-10), CTrackbar::kInset);
  EXPECT_EQ(tb.TickX(10), 322 - CTrackbar::kInset);
  EXPECT_EQ(tb.TickX(0), (CTrackbar::kInset + 322 - CTrackbar::kInset) / 2);
}

// In the main dialog the slider sits at x 19 (322 px wide) and the split-
// point bar at x 27 (307 px wide); the tick of a percentage must fall on the
// bar's point for it, 27 + 307 p / 100, within a pixel.
TEST(Trackbar, TicksLineUpWithTheSplitPointBarInTheDialog) {
  CTrackbar tb;
  tb.resize(322, 43);
  for (int p = 0; p <= 100; ++p) {
    const int tick = 19 + tb.TickX(p);
    const int point = 27 + (307 * p) / 100;
    EXPECT_LE(std::abs(tick - point), 1) << "p=" << p;
  }
}

TEST(Trackbar, TicksAreDrawnAboveAndBelowAndAreTheOnlyBlackPixels) {
  CTrackbar tb;
  tb.resize(322, 43);
  tb.SetTic(25);
  tb.SetTic(60);
  tb.setValue(25);  // the thumb over a tick must not hide it
  const QImage img = Render(tb);

  const int top = tb.TopTickBottom();
  const int bottom = tb.BottomTickTop();
  ASSERT_GE(top - CTrackbar::kEndTickLength + 1, 0);
  ASSERT_LT(bottom + CTrackbar::kEndTickLength - 1, tb.height());
  EXPECT_LT(top, tb.ThumbRect().top());
  EXPECT_GT(bottom, tb.ThumbRect().bottom());

  std::set<std::pair<int, int>> expected;
  auto tick = [&](int pos, int len) {
    for (int i = 0; i < len; ++i) {
      expected.insert({tb.TickX(pos), top - i});
      expected.insert({tb.TickX(pos), bottom + i});
    }
  };
  tick(0, 4);
  tick(100, 4);
  tick(25, 3);
  tick(60, 3);

  std::set<std::pair<int, int>> black;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (IsBlack(img, x, y)) black.insert({x, y});
  EXPECT_EQ(black, expected);

  // Spot checks in plain words: 3 px interior, 4 px end ticks.
  EXPECT_TRUE(IsBlack(img, tb.TickX(60), top - 2));
  EXPECT_FALSE(IsBlack(img, tb.TickX(60), top - 3));
  EXPECT_TRUE(IsBlack(img, tb.TickX(0), bottom + 3));
  EXPECT_FALSE(IsBlack(img, tb.TickX(0), bottom + 4));
}

TEST(Trackbar, WithoutBothTicksAreBelowOnly) {
  CTrackbar tb;
  tb.resize(322, 43);
  tb.SetTicksBoth(false);
  tb.SetTic(40);
  const QImage img = Render(tb);
  EXPECT_TRUE(IsBlack(img, tb.TickX(40), tb.BottomTickTop()));
  EXPECT_FALSE(IsBlack(img, tb.TickX(40), tb.TopTickBottom()));
}

TEST(Trackbar, ChannelAndThumbArePaintedOverTheParentsBackground) {
  const QRgb under = qRgb(200, 0, 200);
  QWidget parent;
  parent.resize(340, 50);
  QPalette pal = parent.palette();
  pal.setColor(QPalette::Window, QColor(under));
  parent.setPalette(pal);
  CTrackbar tb(&parent);
  tb.setGeometry(10, 4, 322, 43);
  pal.setColor(QPalette::Window, Qt::green);  // would show if the slider erased itself
  tb.setPalette(pal);
  tb.setValue(50);
  QImage img(parent.size(), QImage::Format_RGB32);
  img.fill(Qt::white);
  parent.render(&img);
  img = img.copy(tb.geometry());

  const QRect c = tb.ChannelRect();
  EXPECT_EQ(c.height(), 4);
  // The channel, away from the thumb, is drawn; the thumb is centred on its
  // value's tick position; the default channel background leaves the
  // parent's background alone (corners, the row beside a tick).
  EXPECT_NE(img.pixel(tb.TickX(10), c.center().y()), under);
  EXPECT_NE(img.pixel(c.left(), c.top()), under);
  EXPECT_EQ(tb.ThumbRect().center().x(), tb.TickX(50));
  EXPECT_NE(img.pixel(tb.TickX(50), tb.ThumbRect().top()), under);
  EXPECT_EQ(img.pixel(0, 0), under);
  EXPECT_EQ(img.pixel(tb.TickX(10), tb.TopTickBottom()), under);
  EXPECT_EQ(img.pixel(321, 42), under);
}

TEST(Trackbar, KeysStepLikeATrackbar) {
  CTrackbar tb;
  tb.resize(322, 43);
  tb.setValue(50);
  QTest::keyClick(&tb, Qt::Key_Right);
  EXPECT_EQ(tb.value(), 51);
  QTest::keyClick(&tb, Qt::Key_Up);
  QTest::keyClick(&tb, Qt::Key_Left);
  EXPECT_EQ(tb.value(), 49);
  QTest::keyClick(&tb, Qt::Key_Down);
  EXPECT_EQ(tb.value(), 50);
  QTest::keyClick(&tb, Qt::Key_PageDown);
  EXPECT_EQ(tb.value(), 70);
  QTest::keyClick(&tb, Qt::Key_PageUp);
  QTest::keyClick(&tb, Qt::Key_PageUp);
  EXPECT_EQ(tb.value(), 30);
  QTest::keyClick(&tb, Qt::Key_End);
  EXPECT_EQ(tb.value(), 100);
  QTest::keyClick(&tb, Qt::Key_Home);
  EXPECT_EQ(tb.value(), 0);
}

TEST(Trackbar, ClickBesideTheThumbPagesDragMovesTheThumb) {
  CTrackbar tb;
  tb.resize(322, 43);
  tb.setValue(50);
  QSignalSpy moved(&tb, &QSlider::valueChanged);
  const int y = tb.ThumbRect().center().y();

  // One page per click, toward the click.
  QTest::mouseClick(&tb, Qt::LeftButton, {}, QPoint(tb.TickX(95), y));
  EXPECT_EQ(tb.value(), 70);
  QTest::mouseClick(&tb, Qt::LeftButton, {}, QPoint(tb.TickX(5), y));
  EXPECT_EQ(tb.value(), 50);

  // Drag: grab the thumb at its centre and let go over position 80.
  QTest::mousePress(&tb, Qt::LeftButton, {}, QPoint(tb.TickX(50), y));
  EXPECT_TRUE(tb.isSliderDown());
  QMouseEvent move(QEvent::MouseMove, QPointF(tb.TickX(80), y), tb.mapToGlobal(QPointF(tb.TickX(80), y)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&tb, &move);
  EXPECT_EQ(tb.value(), 80);
  QTest::mouseRelease(&tb, Qt::LeftButton, {}, QPoint(tb.TickX(80), y));
  EXPECT_FALSE(tb.isSliderDown());
  EXPECT_EQ(tb.value(), 80);
  EXPECT_GE(moved.count(), 3);
}
