// The main window around a job, through the dialog with the real tool: one
// job at a time, Stop, closing mid-job, progress per job and the question
// before pieces are replaced.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "platform/cmdline.h"
#include "platform/launcher.h"
#include "platform/qt/win_helpers.h"
#include "tests/ui/test_dialog.h"

#include "tests/common/ffmpeg_util.h"
#include "tests/common/test_util.h"

namespace fs = std::filesystem;

namespace {
using zantrel_test::TempDir;

std::string MakeClip(const TempDir& dir, const std::string& name, int seconds, const char* size) {
  const std::string out = dir.File(name);
  EXPECT_TRUE(zantrel_test::MakeToneClip(out, seconds, size));
  return out;
}

std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string Status(TestDlg& d) { return win::GetDlgItemText(&d, 1022); }

// A job of `parts` equal pieces of `clip` into `folder`.
void StartAverage(TestDlg& d, const std::string& clip, int seconds, int parts, const std::string& folder) {
  win::SetDlgItemText(&d, 1000, clip);
  d.Model().SetDuration(seconds);
  d.OnCommand(1008);
  win::SetDlgItemText(&d, 1010, std::to_string(parts));
  win::SetDlgItemText(&d, 1014, folder);
  d.OnCommand(1016);
}

bool RunOf(TestDlg& d, int segment) {
  auto run = d.Model().Job() ? d.Model().Job()->CurrentToolProcess() : nullptr;
  return run && run->segment == segment && run->pid > 0;
}

bool HasHiddenFile(const std::string& dir) {
  for (const auto& name : Names(dir))
    if (name[0] == '.') return true;
  return false;
}
}  // namespace

TEST(MainWindowJob, OneJobAtATimeAndStopKeepsOnlyTheFinishedPieces) {
  TempDir dir;
  const std::string clip = MakeClip(dir, "long.mp4", 30, "640x360");
  fs::create_directory(dir.File("out"));
  TestDlg d;
  StartAverage(d, clip, 30, 3, dir.File("out"));
  ASSERT_TRUE(d.JobRunning());
  // While it runs: no Start, no mode, no browse; Pause and Stop are live.
  for (int id : {1016, 1001, 1015, 1007, 1008, 1009, 1010, 1011, 1012})
    EXPECT_FALSE(d.GetDlgItem(id)->isEnabled()) << id;
  EXPECT_TRUE(d.GetDlgItem(1018)->isEnabled());
  EXPECT_TRUE(d.GetDlgItem(1017)->isEnabled());
  // A second Start (a click that still got through) starts nothing, and the
  // menu's "add file" opens no chooser.
  const zantrel::CSplitTask* first = d.Model().Job();
  d.OnCommand(1016);
  d.OnCommand(32778);
  EXPECT_EQ(d.Model().Job(), first);
  EXPECT_TRUE(d.startDirs.empty());

  // Stop in the middle of the second piece, paused even.
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return RunOf(d, 2) && HasHiddenFile(dir.File("out")); }, 120000));
  d.OnCommand(1018);
  EXPECT_EQ(Status(d), "暂停分割");
  d.OnCommand(1017);
  EXPECT_FALSE(d.GetDlgItem(1017)->isEnabled());
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return !d.JobRunning(); }, 10000));
  EXPECT_EQ(Status(d), "已停止");
  EXPECT_EQ(d.progress()->text(), QString::fromUtf8("已写入 1/3 段"));
  EXPECT_TRUE(d.reports.empty());
  EXPECT_EQ(d.doneDialogs, 0);
  // Only the finished piece; no temporary file, no third run.
  EXPECT_EQ(Names(dir.File("out")), std::vector<std::string>{"long[1].mp4"});
  EXPECT_EQ(d.Model().Job()->Runs().size(), 2u);
  for (int id : {1016, 1001, 1015, 1007, 1008, 1009, 1010, 1011})
    EXPECT_TRUE(d.GetDlgItem(id)->isEnabled()) << id;
  EXPECT_FALSE(d.GetDlgItem(1018)->isEnabled());
  EXPECT_FALSE(d.GetDlgItem(1017)->isEnabled());
}

TEST(MainWindowJob, ClosingMidJobAsksThenStopsAndLeavesNothingNew) {
  TempDir dir;
  const std::string clip = MakeClip(dir, "long.mp4", 20, "640x360");
  fs::create_directory(dir.File("out"));
  {
    TestDlg d;
    d.Create();
    d.show();
    StartAverage(d, clip, 20, 2, dir.File("out"));
    // Held mid-cut: a smart cut of the first piece may otherwise end before
    // the question is asked.
    ASSERT_TRUE(TestDlg::PumpUntil([&] { return RunOf(d, 1); }, 60000));
    d.OnCommand(1018);
    d.answers = {false, true};
    static_cast<QDialog&>(d).reject();  // Escape or the close box: No keeps the window and the job
    ASSERT_EQ(d.questions.size(), 1u);
    EXPECT_NE(d.questions[0].find("确定要停止分割并退出吗"), std::string::npos);
    EXPECT_TRUE(d.isVisible());
    EXPECT_TRUE(d.JobRunning());
    static_cast<QDialog&>(d).reject();  // Yes: the job stops the same way, then the window goes
    EXPECT_EQ(d.questions.size(), 2u);
    EXPECT_FALSE(d.JobRunning());
    EXPECT_FALSE(d.isVisible());
    EXPECT_TRUE(d.reports.empty());
  }
  EXPECT_EQ(Names(dir.File("out")), std::vector<std::string>{});
}

TEST(MainWindowJob, ProgressIsTheJobsShareFromZeroAndNeverGoesBack) {
  TempDir dir;
  const std::string clip = MakeClip(dir, "clip.mp4", 8, "320x240");
  TestDlg d;
  std::vector<std::pair<int, int>> seen;  // (running piece, bar value)
  QObject::connect(d.progress(), &QProgressBar::valueChanged, [&](int v) {
    auto run = d.Model().Job() ? d.Model().Job()->CurrentToolProcess() : nullptr;
    seen.emplace_back(run ? run->segment : 0, v);
  });
  for (int job = 1; job <= 2; ++job) {
    seen.clear();
    d.answers = {true};  // the second job replaces the first one's pieces
    StartAverage(d, clip, 8, 4, dir.File("out"));
    ASSERT_TRUE(d.JobRunning()) << job;
    // The bar starts from nothing at every Start.
    EXPECT_EQ(d.progress()->value(), 0) << job;
    EXPECT_EQ(Status(d), "完成 0%");
    ASSERT_TRUE(TestDlg::PumpUntil([&] { return !d.JobRunning(); }, 180000));
    EXPECT_EQ(Status(d), "分割完成");
    EXPECT_EQ(d.progress()->value(), 100);
    EXPECT_EQ(d.doneDialogs, job);
    ASSERT_GE(seen.size(), 4u) << job;
    for (std::size_t i = 1; i < seen.size(); ++i)
      EXPECT_GE(seen[i].second, seen[i - 1].second) << "job " << job << " step " << i;
    // While piece k runs, the bar shows at most k quarters.
    for (const auto& [piece, value] : seen)
      if (piece > 0 && value < 100) {
        EXPECT_LE(value, piece * 25) << "piece " << piece;
      }
    int distinct = 0;
    for (std::size_t i = 1; i < seen.size(); ++i) distinct += seen[i].second != seen[i - 1].second;
    EXPECT_GE(distinct, 4) << "the bar moves through the job";
  }
  EXPECT_EQ(d.questions.size(), 1u);  // asked before the second job only
}

TEST(MainWindowJob, ExistingPiecesAreReplacedOnlyWhenTheUserSaysSo) {
  TempDir dir;
  const std::string clip = MakeClip(dir, "clip.mp4", 3, "160x120");
  fs::create_directory(dir.File("out"));
  std::ofstream(dir.File("out/clip[2].mp4")) << "an older piece";
  std::ofstream(dir.File("out/clip[4].mp4")) << "not one of this job's names";
  TestDlg d;
  d.answers = {false};
  StartAverage(d, clip, 3, 3, dir.File("out"));
  ASSERT_EQ(d.questions.size(), 1u);
  EXPECT_NE(d.questions[0].find("clip[2].mp4"), std::string::npos) << d.questions[0];
  EXPECT_EQ(d.questions[0].find("clip[4].mp4"), std::string::npos);
  // No: nothing starts and nothing changes.
  EXPECT_FALSE(d.JobRunning());
  EXPECT_EQ(d.Model().Job(), nullptr);
  EXPECT_EQ(fs::file_size(dir.File("out/clip[2].mp4")), 14u);

  // Yes: exactly the job's names go, then every piece is written.
  d.answers = {true};
  d.OnCommand(1016);
  ASSERT_EQ(d.questions.size(), 2u);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return d.Model().Job() && !d.JobRunning(); }, 120000));
  EXPECT_TRUE(d.reports.empty()) << d.reports[0].lines[0];
  EXPECT_EQ(Status(d), "分割完成");
  EXPECT_GT(fs::file_size(dir.File("out/clip[2].mp4")), 1000u);
  EXPECT_EQ(fs::file_size(dir.File("out/clip[4].mp4")), 27u);
  EXPECT_EQ(Names(dir.File("out")), (std::vector<std::string>{"clip[1].mp4", "clip[2].mp4",
                                                              "clip[3].mp4", "clip[4].mp4"}));
}
