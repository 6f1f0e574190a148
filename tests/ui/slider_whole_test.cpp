// The position slider in the main dialog, drawn whole under every skin at
// the ends, next to them and in between, with the widest position text: the
// thumb as the slider draws it (nothing laid over it cuts it), label 1006
// clear of the thumb, fully shown and within the slider's span, and the
// focus frame within the slider, off every label.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>

#include "platform/qt/trackbar.h"
#include "platform/qt/win_helpers.h"
#include "tests/ui/skin_test_util.h"
#include "tests/ui/test_dialog.h"

namespace {
class SliderWhole : public SkinTest, public ::testing::WithParamInterface<const char*> {};

// The pixels of the thumb's shape, in slider coordinates.
std::vector<QPoint> ThumbPixels(const CTrackbar& s) {
  const QRect r = s.ThumbRect();
  const int half = r.width() / 2, c = r.left() + half;
  std::vector<QPoint> out;
  for (int y = r.top(); y <= r.bottom(); ++y) {
    const int hw = std::min({half, y - r.top(), r.bottom() - y});
    for (int x = c - hw; x <= c + hw; ++x) out.emplace_back(x, y);
  }
  return out;
}
}  // namespace

TEST_P(SliderWhole, AtEveryPositionTheThumbLabelAndFocusFrameStayWhole) {
  ASSERT_TRUE(SkinLoadFromResource(GetParam(), "SKIN"));
  TestDlg d;
  d.show();
  d.activateWindow();
  CTrackbar* s = d.slider();
  auto* label = qobject_cast<QLabel*>(d.GetDlgItem(1006));
  ASSERT_TRUE(s && label);
  win::EnableWindow(s, true);
  const QRect sr = s->geometry();
  std::vector<QWidget*> others;  // what the label must not run into
  for (QWidget* w : d.findChildren<QWidget*>())
    if (w->isVisible() && w->parentWidget() == &d && w != s && w != label &&
        !sr.contains(w->geometry()))
      others.push_back(w);

  for (int pos : {0, 1, 37, 50, 99, 100}) {
    SCOPED_TRACE(std::string(GetParam()) + " at " + std::to_string(pos));
    s->setValue(pos == 0 ? 1 : 0);
    s->setValue(pos);
    label->setText(QStringLiteral("10:00:00.000"));  // the widest text there is
    s->clearFocus();
    TestDlg::PumpUntil([] { return false; }, 20);
    const QImage unfocused = s->grab().toImage();
    s->setFocus();
    TestDlg::PumpUntil([] { return false; }, 20);
    const QImage shown = d.grab().toImage();
    const QImage own = s->grab().toImage();

    // The thumb as the slider draws it, every pixel, in the dialog.
    int cut = 0;
    for (const QPoint& p : ThumbPixels(*s))
      cut += shown.pixel(p + sr.topLeft()) != own.pixel(p);
    EXPECT_EQ(cut, 0);

    // The label: below the thumb, its text whole, within the slider's span,
    // running into no other control.
    const QRect lr = label->geometry();
    const QRect thumb = s->ThumbRect().translated(sr.topLeft());
    EXPECT_FALSE(lr.intersects(thumb)) << lr.x() << "," << lr.y();
    EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()),
              label->contentsRect().width());
    EXPECT_GE(lr.left(), sr.left());
    EXPECT_LE(lr.right(), sr.right());
    for (QWidget* w : others) EXPECT_FALSE(lr.intersects(w->geometry())) << w->objectName().toStdString();
    if (pos * 290 / 100 + 20 + lr.width() <= sr.right() + 1) {
      EXPECT_EQ(lr.x(), pos * 290 / 100 + 20);  // where it fits: the formula
    }

    // The focus frame (what focusing changes in the slider's own picture)
    // runs through none of the labels laid over the slider's edges.
    int frame = 0, onLabels = 0;
    for (int y = 0; y < own.height(); ++y)
      for (int x = 0; x < own.width(); ++x) {
        if (own.pixel(x, y) == unfocused.pixel(x, y)) continue;
        ++frame;
        for (int id : {1032, 1003, 1006})
          onLabels += d.GetDlgItem(id)->geometry().contains(QPoint(x, y) + sr.topLeft());
      }
    EXPECT_GT(frame, 0);
    EXPECT_EQ(onLabels, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(EverySkin, SliderWhole, ::testing::ValuesIn(AllSkins()),
                         [](const auto& info) { return std::string(info.param); });
