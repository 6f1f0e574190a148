// Cut where you see: through the real window, the real player and the real
// cutting tool, the first frame of the piece that starts at a split point is
// the frame the preview showed when the point was added. Frames carry their
// index as a barcode; points are placed by the slider, by frame and second
// steps and by pausing playback, in a 2 s and a 10 s GOP source.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <cstdlib>
#include <set>

#include "engine/plan.h"
#include "platform/qt/win_helpers.h"
#include "tests/preview/tool_barcode.h"
#include "tests/tool/tool_test_support.h"
#include "tests/ui/test_dialog.h"

namespace {

using zantrel::tooltest::ClipRecipe;
using zantrel::tooltest::GetRecipeClip;
using zantrel::tooltest::ReadPiece;

MpvPlayerWidget* Player(TestDlg& d) { return qobject_cast<MpvPlayerWidget*>(d.preview()); }

bool Settled(TestDlg& d) { return !Player(d)->MovePending(); }

// 12 s at 20 fps: 240 frames, each barcode once.
ClipRecipe Source(const std::string& name, int gop) {
  const std::string g = std::to_string(gop);
  return {name, "mp4", "320x240", "20", 12,
          {"-c:v", "libx264", "-preset", "veryfast", "-g", g, "-keyint_min", g, "-sc_threshold", "0", "-bf", "2"},
          {"-c:a", "aac"}};
}

class ExactCut : public ::testing::TestWithParam<int> {
 protected:
  // Adds a point through the Add button; returns the barcode the preview
  // showed for it.
  int Add(TestDlg& d, const std::string& how) {
    const std::size_t before = d.Model().Points().size();
    d.OnCommand(1004);
    const int shown = ToolBarcode(Player(d)->CurrentFrame());
    EXPECT_GE(shown, 0) << how;
    EXPECT_EQ(d.Model().Points().size(), before + 1) << how;
    // The label names the point's exact time, and the list shows it.
    EXPECT_EQ(win::GetDlgItemText(&d, 1006), zantrel::FormatTimeUs(d.PositionUs())) << how;
    hows.push_back(how);
    return shown;
  }
  std::vector<std::string> hows;
};

}  // namespace

TEST_P(ExactCut, ThePieceStartsOnTheFrameThePreviewShowed) {
  const int gop = GetParam();
  const auto& clip = GetRecipeClip(Source("exact_gop" + std::to_string(gop), gop));
  ASSERT_FALSE(clip.path.empty()) << "ffmpeg could not make the clip";
  zantrel::tooltest::TempDir out;

  TestDlg d;
  d.show();
  QApplication::setActiveWindow(&d);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
  ASSERT_TRUE(d.OpenSourceFromOutside(clip.path));
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return d.Model().Source().durationSeconds > 0 && !d.IsTimerRunning(kTimerDuration); }, 15000));
  ASSERT_EQ(d.Model().Source().durationSeconds, 12);
  MpvPlayerWidget* player = Player(d);
  ASSERT_NE(player, nullptr);
  std::map<std::int64_t, int> shownAt;  // point time -> barcode on screen
  auto record = [&](const std::string& how) {
    const int code = Add(d, how);
    shownAt[d.PositionUs()] = code;
  };

  // By the slider alone: a click (exact seek), and a drag released mid-GOP.
  d.slider()->setValue(23);  // 2.76 s
  record("slider at 23");
  d.slider()->setSliderDown(true);
  d.slider()->setValue(37);
  d.slider()->setValue(41);  // 4.92 s
  d.slider()->setSliderDown(false);
  record("slider dragged to 41");

  // By frame steps, from the focus on the preview: `.` three times, `,`
  // once; then a second forward by Shift+Right from the slider.
  d.slider()->setValue(55);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return Settled(d); }, 5000));
  d.preview()->setFocus();
  for (int k = 0; k < 3; ++k) QTest::keyClick(d.preview(), Qt::Key_Period);
  QTest::keyClick(d.preview(), Qt::Key_Comma);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return Settled(d); }, 5000));
  record("slider at 55, two frames on");
  d.slider()->setFocus();
  const std::int64_t before = d.PositionUs();
  QTest::keyClick(d.slider(), Qt::Key_Right, Qt::ShiftModifier);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return Settled(d); }, 5000));
  record("a second on");
  EXPECT_EQ(d.PositionUs(), before + 1000000);  // a second, not the slider's percent

  // By pausing playback: the slider and label follow it, at least four
  // times a second, and nothing seeks back.
  d.slider()->setValue(80);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return Settled(d); }, 5000));
  std::set<std::int64_t> followed;
  QObject::connect(player, &MpvPlayerWidget::playbackPosition, &d, [&](std::int64_t) { followed.insert(d.PositionUs()); });
  d.TogglePreviewPlayback();
  QTest::qWait(1000);
  EXPECT_FALSE(player->MovePending());
  d.TogglePreviewPlayback();
  EXPECT_GE(followed.size(), 4u);
  EXPECT_GT(d.slider()->value(), 80);
  record("paused after playing");

  // The list: exact times in time order.
  ASSERT_EQ(d.list()->count(), 5);
  std::vector<std::int64_t> times;
  for (const auto& [us, code] : shownAt) times.push_back(us);
  ASSERT_EQ(times.size(), 5u) << "two points at one time";
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(d.list()->item(i)->text().toStdString(), zantrel::FormatTimeUs(times[static_cast<std::size_t>(i)]));

  // A picture for people: ZANTREL_SHOTS=<folder>.
  if (const char* shots = std::getenv("ZANTREL_SHOTS"); shots && gop == 40)
    d.grab().save(QString::fromUtf8(shots) + "/exact-points.png");

  // Cut with the real tool and read each piece's first frame.
  win::SetDlgItemText(&d, 1014, out.path());
  d.OnCommand(1016);
  ASSERT_TRUE(d.JobRunning());
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return !d.JobRunning(); }, 180000));
  ASSERT_TRUE(d.reports.empty()) << d.reports[0].summary << "\n" << d.reports[0].lines[0] << "\n"
                                 << d.reports[0].lines[1];
  int k = 2;
  for (const auto& [us, code] : shownAt) {
    const auto piece = ReadPiece(out.File("exact_gop" + std::to_string(gop) + "[" + std::to_string(k) + "].mp4"));
    ASSERT_TRUE(piece.opened) << k;
    ASSERT_FALSE(piece.frameIndices.empty()) << k;
    EXPECT_EQ(piece.frameIndices.front(), code) << "piece " << k << " at " << us << " us";
    ++k;
  }

  // A click on an entry takes the preview to its point; Delete removes it.
  QListWidgetItem* second = d.list()->item(1);
  const QRect r = d.list()->visualItemRect(second);
  QTest::mouseClick(d.list()->viewport(), Qt::LeftButton, {}, r.center());
  EXPECT_EQ(player->ShownFrameTimeUs(), times[1]);
  EXPECT_EQ(ToolBarcode(player->CurrentFrame()), shownAt[times[1]]);
  EXPECT_EQ(d.PositionUs(), times[1]);
  QTest::keyClick(d.list(), Qt::Key_Delete);
  ASSERT_EQ(d.list()->count(), 4);
  EXPECT_EQ(d.Model().Points()[1].timeUs, times[2]);
}

INSTANTIATE_TEST_SUITE_P(Gops, ExactCut, ::testing::Values(40, 200),
                         [](const auto& info) { return "Gop" + std::to_string(info.param); });
