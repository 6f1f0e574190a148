// Pictures of the dialog for people to look at, not checks: run with
//   ZANTREL_SHOTS=<folder> ui_tests --gtest_also_run_disabled_tests --gtest_filter='*Screenshot*'
// docs/hidpi-2x.png is the split-point scene taken with QT_SCALE_FACTOR=2.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <filesystem>

#include "menubar/menu_wnd.h"
#include "platform/cmdline.h"
#include "platform/launcher.h"
#include "platform/qt/trackbar.h"
#include "platform/qt/win_helpers.h"
#include "skin/qt/skin_engine.h"
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
    d.slider()->setValue(p);
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
  TestDlg::PumpUntil([&] { return d.progress()->value() >= 40; }, 60000);
  Save(d, "job-running.png");
  d.OnCommand(1018);
  Save(d, "job-paused.png");
  d.OnCommand(1018);
  TestDlg::PumpUntil([&] { return d.Model().Job()->Finished() && d.progress()->value() == 100; }, 120000);
  Save(d, "job-done.png");
  CSplitDoneDlg done(d.Model().Source().name, d.Model().JobOutputFolder(), nullptr);
  done.Create();
  Save(done, "split-done-dialog.png");
}

TEST(Screenshots, DISABLED_SliderAlone) {
  TestDlg d;
  d.show();
  win::EnableWindow(d.slider(), true);
  d.slider()->SetTic(30);
  Save(*d.slider(), "slider-alone.png");
  d.pointBar()->hide();
  Save(d, "dialog-nobar.png");
}

TEST(Screenshots, DISABLED_AboutBox) {
  CAboutDlg about(nullptr);
  about.Create();
  Save(about, "about.png");
}

// One picture per skin: a source loaded, four split points, the skin popup
// open (drawn into the picture where it sits over the dialog).
TEST(Screenshots, DISABLED_EverySkin) {
  SkinStart("Demo", 0, 0);
  TestDlg d;
  d.files.push_back(Clip("/tmp", 30));
  d.show();
  d.OnCommand(1001);
  TestDlg::PumpUntil([&] { return !d.IsTimerRunning(kTimerDuration); }, 10000);
  for (int p : {20, 45, 70, 85}) {
    d.slider()->setValue(p);
    d.OnCommand(1004);
  }
  d.slider()->setValue(60);
  const struct {
    int command;
    const char* file;
  } skins[] = {{32774, "skin-korvane.png"}, {32771, "skin-devior.png"}, {32772, "skin-corona.png"},
               {32775, "skin-xp-argent.png"}, {32776, "skin-future.png"}};
  for (const auto& s : skins) {
    d.OnCommand(s.command);
    TestDlg::PumpUntil([] { return false; }, 800);
    QImage shot = d.grab().toImage();
    QTimer::singleShot(300, &d, [&] {
      if (QWidget* popup = QApplication::activePopupWidget()) {
        QPainter p(&shot);
        p.drawPixmap(popup->mapToGlobal(QPoint()) - d.mapToGlobal(QPoint()), popup->grab());
        popup->close();
      }
    });
    d.menuBar()->OpenPopup(1);
    shot.save(QString::fromStdString(ShotDir() + "/" + s.file));
  }
  SkinShutdown();
}

// The other windows under every skin: the About box, the completion dialog,
// a message box, and the main dialog's progress bar part-way.
TEST(Screenshots, DISABLED_OtherWindowsUnderEverySkin) {
  SkinStart("Demo", 0, 0);
  TestDlg d;
  d.show();
  d.progress()->setValue(45);
  CAboutDlg about(nullptr);
  about.Create();
  about.show();
  CSplitDoneDlg done("片段.flv", "/tmp", nullptr);
  done.Create();
  done.show();
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8("Tesmor提示"),
                  QString::fromUtf8("请选择要分割的文件！"), QMessageBox::Ok, &d);
  box.show();
  for (const char* name : {"KORVANE", "DEVIOR", "CORONA", "XP_ARGENT", "FUTURE"}) {
    SkinLoadFromResource(name, "SKIN");
    TestDlg::PumpUntil([] { return false; }, 300);
    const QImage a = about.grab().toImage(), b = done.grab().toImage(), c = box.grab().toImage();
    const QImage p = d.grab(QRect(0, 430, d.width(), d.height() - 430)).toImage();
    QImage sheet(std::max({a.width() + b.width() + c.width() + 20, p.width()}),
                 std::max({a.height(), b.height(), c.height()}) + p.height() + 10,
                 QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    painter.drawImage(0, 0, a);
    painter.drawImage(a.width() + 10, 0, b);
    painter.drawImage(a.width() + b.width() + 20, 0, c);
    painter.drawImage(0, sheet.height() - p.height(), p);
    painter.end();
    sheet.save(QString::fromStdString(ShotDir() + "/others-" + name + ".png"));
  }
  SkinShutdown();
}
