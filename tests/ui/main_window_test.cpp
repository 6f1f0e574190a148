// The main window where a new user trips: the slider's thumb under the
// split-point bar, the choosers' folders, the home page, the path boxes,
// the failure report's size and texts that must not clip.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTest>
#include <filesystem>
#include <cstdlib>
#include <fstream>

#include "platform/module.h"
#include "platform/qt/trackbar.h"
#include "platform/qt/win_helpers.h"
#include "tests/ui/test_dialog.h"
#include "ui/failure_report_dlg.h"
#include "ui/split_point_bar.h"

namespace fs = std::filesystem;

namespace {
std::string Videos() {
  QString base = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
  if (base.isEmpty()) base = QDir::homePath();
  std::string dir = base.toStdString();
  if (dir.back() != '/') dir += '/';
  return dir;
}

struct TempDir {
  std::string path;
  TempDir() {
    char tmpl[] = "/tmp/zantrel-win-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { fs::remove_all(path); }
};
}  // namespace

TEST(MainWindow, TheThumbIsGrabbedInItsMiddleThroughTheSplitPointBar) {
  TestDlg d;
  d.show();
  win::EnableWindow(d.GetDlgItem(1002), true);
  d.slider()->setValue(50);
  // The bar lies over the middle of the thumb: that is where a user grabs it.
  const QRect thumb(d.slider()->mapTo(&d, d.slider()->ThumbRect().topLeft()), d.slider()->ThumbRect().size());
  const QRect overlap = thumb.intersected(d.pointBar()->geometry());
  ASSERT_FALSE(overlap.isEmpty());
  const QPoint grab = overlap.center();
  EXPECT_EQ(d.childAt(grab), d.slider());

  const QPoint local = d.slider()->mapFrom(&d, grab);
  QTest::mousePress(d.slider(), Qt::LeftButton, {}, local);
  QTest::mouseMove(d.slider(), local + QPoint(60, 0));
  QTest::mouseRelease(d.slider(), Qt::LeftButton, {}, local + QPoint(60, 0));
  EXPECT_GT(d.slider()->value(), 60);
}

TEST(MainWindow, ChoosersOpenBesideTheSourceOrOutputElseInTheVideosFolder) {
  TempDir dir;
  fs::create_directory(dir.path + "/out");
  std::ofstream(dir.path + "/a.avi") << "x";
  TestDlg d;
  win::SetDlgItemText(&d, 1014, "");
  d.OnCommand(1001);  // no source yet
  d.OnCommand(1015);  // no output folder
  ASSERT_EQ(d.startDirs.size(), 2u);
  EXPECT_EQ(d.startDirs[0], Videos());
  EXPECT_EQ(d.startDirs[1], Videos());
  EXPECT_NE(d.startDirs[0], zantrel::GetModuleDir());

  win::SetDlgItemText(&d, 1000, dir.path + "/a.avi");
  win::SetDlgItemText(&d, 1014, dir.path + "/out");
  d.OnCommand(1001);
  d.OnCommand(1015);
  EXPECT_EQ(d.startDirs[2], dir.path + "/");
  EXPECT_EQ(d.startDirs[3], dir.path + "/out");
  // A folder still to be made opens its parent; cancelling empties the box.
  win::SetDlgItemText(&d, 1014, dir.path + "/out/new/");
  d.OnCommand(1015);
  EXPECT_EQ(d.startDirs[4], dir.path + "/out/");
  EXPECT_EQ(win::GetDlgItemText(&d, 1014), "");
}

TEST(MainWindow, AHomePageThatCannotBeOpenedSaysSo) {
  TestDlg d;
  d.openWorks = false;
  d.OnCommand(32786);
  ASSERT_EQ(d.messages.size(), 1u);
  EXPECT_NE(d.messages[0].find("无法打开主页"), std::string::npos);
  EXPECT_NE(d.messages[0].find("home.html"), std::string::npos);
  d.openWorks = true;
  d.OnCommand(32786);
  EXPECT_EQ(d.messages.size(), 1u);
}

TEST(MainWindow, PathBoxesShowTheBeginningAndTheWholePathAsToolTip) {
  TestDlg d;
  d.show();
  const std::string path = "/home/someone/Videos/" + std::string(120, 'x') + "/ZantrelOutput/";
  win::SetDlgItemText(&d, 1014, path);
  auto* edit = qobject_cast<QLineEdit*>(d.GetDlgItem(1014));
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->cursorPosition(), 0);
  EXPECT_EQ(edit->toolTip().toStdString(), path);
  // The default output folder, too.
  TestDlg fresh;
  auto* out = qobject_cast<QLineEdit*>(fresh.GetDlgItem(1014));
  EXPECT_EQ(out->cursorPosition(), 0);
  EXPECT_EQ(out->toolTip(), out->text());
}

TEST(MainWindow, FiftyFailuresGiveABoxThatFitsTheScreen) {
  std::vector<std::string> lines;
  for (int k = 1; k <= 50; ++k)
    lines.push_back("第" + std::to_string(k) + "段：分割出错（cannot open the video encoder libx264: " +
                    std::string(200, 'w') + "）");
  CFailureReportDlg box("Tesmor提示", "共 50 段，其中 50 段分割失败；已写入的 0 段已保留。", lines, nullptr);
  box.show();
  TestDlg::PumpUntil([] { return false; }, 100);
  const QRect avail = box.screen()->availableGeometry();
  EXPECT_LE(box.frameGeometry().height(), avail.height());
  EXPECT_LE(box.frameGeometry().width(), avail.width());
  EXPECT_EQ(box.List()->count(), 50);
  EXPECT_TRUE(box.List()->verticalScrollBar()->isVisible()) << "the rest scroll";
  auto* ok = box.findChild<QPushButton*>();
  ASSERT_NE(ok, nullptr);
  EXPECT_TRUE(box.rect().contains(QRect(ok->mapTo(&box, QPoint(0, 0)), ok->size())));
  // A short report stays small.
  CFailureReportDlg small("Tesmor提示", "共 2 段，其中 1 段分割失败；已写入的 1 段已保留。",
                          {"第2段：磁盘空间不足"}, nullptr);
  EXPECT_LT(small.height(), box.height());
}

TEST(MainWindow, TextsFitTheirControlsInEveryState) {
  TestDlg d;
  d.show();
  TestDlg::PumpUntil([] { return false; }, 50);
  auto fits = [&](QWidget* w, const QString& text) {
    const int need = w->fontMetrics().horizontalAdvance(QString(text).remove('&'));
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      // Room for the frame, or for the box of a check box or radio button.
      const int extra = qobject_cast<QPushButton*>(w) ? 6 : 18;
      return need + extra <= button->width();
    }
    return need <= qobject_cast<QLabel*>(w)->contentsRect().width();
  };
  for (QWidget* w : d.findChildren<QWidget*>()) {
    if (!w->isVisible()) continue;
    if (auto* l = qobject_cast<QLabel*>(w); l && !l->text().isEmpty() && l->pixmap().isNull()) {
      EXPECT_TRUE(fits(l, l->text())) << l->text().toStdString();
    }
    if (auto* b = qobject_cast<QAbstractButton*>(w); b && !b->text().isEmpty()) {
      EXPECT_TRUE(fits(b, b->text())) << b->text().toStdString();
    }
  }
  QWidget* status = d.GetDlgItem(1022);
  // The state words that used to be written there do not fit: the check bites.
  EXPECT_FALSE(fits(status, QString::fromUtf8("分割失败 4/10")));
  for (const char* s : {"准备就绪", "完成 0%", "完成 99%", "暂停分割", "正在停止", "已停止", "分割失败", "分割完成"})
    EXPECT_TRUE(fits(status, QString::fromUtf8(s))) << s;
  // The counts go on the bar, which has room for them.
  auto* bar = d.progress();
  EXPECT_LE(bar->fontMetrics().horizontalAdvance(QString::fromUtf8("已写入 50/50 段，50 段为空")), bar->width() / 2);
}

TEST(MainWindow, AClickOnThePreviewPlaysAndPausesTheSource) {
  TempDir dir;
  const std::string clip = dir.path + "/clip.mp4";
  ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=160x120:rate=25:duration=20 "
                         "-c:v libx264 -preset ultrafast -pix_fmt yuv420p '" + clip + "'").c_str()),
            0);
  TestDlg d;
  d.show();
  QWidget* preview = d.preview();
  ASSERT_NE(preview, nullptr);
  d.files = {clip};
  d.OnCommand(1001);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return !d.IsTimerRunning(kTimerDuration) && d.Model().Source().durationSeconds == 20; }, 10000));
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return d.previewPaused(); }, 5000));  // browsing pauses it
  QTest::mouseClick(preview, Qt::LeftButton, {}, preview->rect().center());
  EXPECT_TRUE(TestDlg::PumpUntil([&] { return !d.previewPaused(); }, 5000));
  QTest::mouseClick(preview, Qt::LeftButton, {}, preview->rect().center());
  EXPECT_TRUE(TestDlg::PumpUntil([&] { return d.previewPaused(); }, 5000));

  // The placeholder shown for other sources is not the user's to play or
  // pause.
  const std::string avi = dir.path + "/clip.avi";
  std::filesystem::copy_file(clip, avi);
  d.files = {avi};
  d.OnCommand(1001);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return !d.IsTimerRunning(kTimerProbe) && d.PreviewLive() == 0; }, 15000));
  TestDlg::PumpUntil([] { return false; }, 300);
  const bool paused = d.previewPaused();
  QTest::mouseClick(preview, Qt::LeftButton, {}, preview->rect().center());
  TestDlg::PumpUntil([] { return false; }, 300);
  EXPECT_EQ(d.previewPaused(), paused);
}
