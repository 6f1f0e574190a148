// Pictures of the dialog for people to look at, not checks: run with
//   ZANTREL_SHOTS=<folder> ui_tests --gtest_also_run_disabled_tests --gtest_filter='*Screenshot*'
// docs/hidpi-2x.png is the split-point scene taken with QT_SCALE_FACTOR=2.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QImage>
#include <QPainter>
#include <QProgressBar>
#include <filesystem>

#include "platform/cmdline.h"
#include "platform/launcher.h"
#include "platform/qt/trackbar.h"
#include "platform/qt/win_helpers.h"
#include "tests/ui/test_dialog.h"
#include "ui/about_dlg.h"
#include "ui/split_done_dlg.h"
#include "ui/split_point_bar.h"

namespace fs = std::filesystem;

namespace {
std::string ShotDir() {
  const char* d = std::getenv("ZANTREL_SHOTS");
  return d ? d : "/tmp";
}
void Save(QWidget& w, const std::string& name) {
  w.show();
  TestDlg::PumpUntil([] { return false; }, 300);
  w.grab().save(QString::fromStdString(ShotDir() + "/" + name));
}
std::string Clip(const std::string& dir, int seconds) {
  const std::string shared = std::string(ZANTREL_SOURCE_DIR) + "/../shared/media/bun33s.flv";
  if (fs::exists(shared)) return shared;
  const std::string out = dir + "/clip.flv";
  zantrel::ChildProcess p;
  zantrel::LaunchOptions o;
  o.quiet = true;
  std::string err;
  const std::string d = std::to_string(seconds);
  p.Start("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=480x270:rate=25:duration=" + d +
              " -f lavfi -i sine=duration=" + d + " -c:v libx264 -c:a aac -shortest " + out,
          o, &err);
  p.Wait();
  return out;
}
}  // namespace

TEST(Screenshots, DISABLED_DialogWithFourSplitPointsAndAPausedClip) {
  TestDlg d;
  d.files.push_back(Clip("/tmp", 30));
  d.show();
  d.OnCommand(1001);
  TestDlg::PumpUntil([&] { return !d.IsTimerRunning(kTimerDuration); }, 10000);
  for (int p : {20, 45, 70, 50}) {
    d.m_slider->setValue(p);
    if (p != 50) d.OnCommand(1004);
  }
  TestDlg::PumpUntil([] { return false; }, 1500);
  Save(d, "dialog-split-points.png");
}

TEST(Screenshots, DISABLED_JobRunningPausedAndDone) {
  const std::string clip = Clip("/tmp", 30);
  const std::string out = "/tmp/zantrel-shot-out";
  fs::remove_all(out);
  TestDlg d;
  d.files.push_back(clip);
  d.OnCommand(1001);
  TestDlg::PumpUntil([&] { return !d.IsTimerRunning(kTimerDuration); }, 10000);
  qobject_cast<QAbstractButton*>(d.GetDlgItem(1008))->click();
  win::SetDlgItemText(&d, 1010, "3");
  win::SetDlgItemText(&d, 1014, out);
  d.OnCommand(1016);
  TestDlg::PumpUntil([&] { return d.m_progress->value() >= 40; }, 60000);
  Save(d, "job-running.png");
  d.OnCommand(1018);
  Save(d, "job-paused.png");
  d.OnCommand(1018);
  TestDlg::PumpUntil([&] { return d.m_pSplitTask->Finished() && d.m_progress->value() == 100; }, 120000);
  Save(d, "job-done.png");
  CSplitDoneDlg done(d.m_strSourceName, d.m_strOutputDir, nullptr);
  done.Create();
  Save(done, "split-done-dialog.png");
}

TEST(Screenshots, DISABLED_SliderAlone) {
  TestDlg d;
  d.show();
  win::EnableWindow(d.m_slider, true);
  d.m_slider->SetTic(30);
  Save(*d.m_slider, "slider-alone.png");
  d.m_pointBar->hide();
  Save(d, "dialog-nobar.png");
}

TEST(Screenshots, DISABLED_AboutBox) {
  CAboutDlg about(nullptr);
  about.Create();
  Save(about, "about.png");
}
