// Pictures of the main window's job states for people to look at, not
// checks: run with
//   ZANTREL_SHOTS=<folder> ui_tests --gtest_also_run_disabled_tests --gtest_filter='*MainWindowShots*'
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLibraryInfo>
#include <QTranslator>
#include <QApplication>
#include <QMessageBox>
#include <QProgressBar>
#include <QTimer>
#include <filesystem>

#include "platform/cmdline.h"
#include "platform/codepage.h"
#include "platform/launcher.h"
#include "platform/qt/win_helpers.h"
#include "tests/ui/test_dialog.h"
#include <functional>

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
std::string Clip(const std::string& out, int seconds) {
  zantrel::ChildProcess p;
  zantrel::LaunchOptions o;
  o.quiet = true;
  std::string err;
  const std::string d = std::to_string(seconds);
  p.Start("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=640x360:rate=25:duration=" + d +
              " -f lavfi -i sine=frequency=440:duration=" + d +
              " -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest " +
              zantrel::QuoteArgument(out),
          o, &err);
  p.Wait();
  return out;
}
// Saves the modal box that `open` shows, then closes it.
void SaveModal(const std::string& name, const std::function<void()>& open) {
  QTimer::singleShot(400, [name] {
    QWidget* box = QApplication::activeModalWidget();
    if (!box) return;
    box->grab().save(QString::fromStdString(ShotDir() + "/" + name));
    box->close();
  });
  open();
}
}  // namespace

TEST(MainWindowShots, DISABLED_RunningPausedStoppedReplaceAndFailures) {
  const std::string dir = "/tmp/zantrel-shots-main";
  fs::remove_all(dir);
  fs::create_directories(dir + "/out");
  const std::string clip = Clip(dir + "/clip.mp4", 30);
  Clip(dir + "/out/clip[2].mp4", 1);  // from an earlier run
  // Qt's own buttons as the program shows them.
  QTranslator qtTexts;
  if (qtTexts.load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(&qtTexts);
  TestDlg d;
  d.files.push_back(clip);
  d.OnCommand(1001);
  TestDlg::PumpUntil([&] { return !d.IsTimerRunning(kTimerDuration); }, 10000);
  qobject_cast<QAbstractButton*>(d.GetDlgItem(1008))->click();
  d.answers = {true};
  win::SetDlgItemText(&d, 1010, "3");
  win::SetDlgItemText(&d, 1014, dir + "/out");
  d.OnCommand(1016);
  TestDlg::PumpUntil([&] { return d.progress()->value() >= 20; }, 60000);
  Save(d, "main-job-running.png");
  d.OnCommand(1018);
  Save(d, "main-job-paused.png");
  d.OnCommand(1017);
  TestDlg::PumpUntil([&] { return !d.JobRunning(); }, 10000);
  Save(d, "main-job-stopped.png");

  // The question Start asked before the first run, as the user sees it.
  ASSERT_EQ(d.questions.size(), 1u);
  const std::string asked = d.questions[0].substr(d.questions[0].find('|') + 1);
  SaveModal("main-replace-question.png", [&] { d.CSplitterDlg::AskYesNo(asked, words::MessageCaption()); });

  std::vector<std::string> lines;
  for (int k = 1; k <= 50; ++k)
    lines.push_back("第" + std::to_string(k) + "段：" + (k % 3 ? "同名文件已存在" : "磁盘空间不足"));
  SaveModal("main-failure-report.png", [&] {
    d.CSplitterDlg::ShowFailureReport("共 50 段，其中 50 段分割失败；已写入的 0 段已保留。", lines);
  });
  // The source chooser opens beside the current source, in Chinese.
  SaveModal("main-source-chooser.png", [&] { d.CSplitterDlg::PromptSourceFile(dir); });
  fs::remove_all(dir);
}
