// Start, progress, pause and the end of a job, through the dialog, the
// worker, the launcher and the real cutting tool.
#include <gtest/gtest.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <chrono>
#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/cmdline.h"
#include "platform/launcher.h"
#include "platform/progress_channel.h"
#include "platform/qt/trackbar.h"
#include "platform/qt/win_helpers.h"
#include "tests/ui/test_dialog.h"
#include "ui/failure_report_dlg.h"

#include "tests/common/ffmpeg_util.h"
#include "tests/common/test_util.h"

namespace fs = std::filesystem;

namespace {
using zantrel_test::TempDir;

using zantrel_test::RunFfmpeg;

// A small H.264/AAC clip of `seconds`.
std::string MakeClip(const TempDir& dir, const std::string& name, int seconds, const char* size) {
  const std::string out = dir.File(name);
  EXPECT_TRUE(zantrel_test::MakeToneClip(out, seconds, size));
  return out;
}

double MediaSeconds(const std::string& path) {
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) return -1;
  double s = -1;
  if (avformat_find_stream_info(ctx, nullptr) >= 0 && ctx->duration > 0)
    s = ctx->duration / double(AV_TIME_BASE);
  avformat_close_input(&ctx);
  return s;
}

std::string Status(TestDlg& d) { return win::GetDlgItemText(&d, 1022); }

// Every name in a folder, hidden ones included, sorted.
std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool JobEnded(TestDlg& d) { return d.Model().Job() && d.Model().Job()->Finished() && d.progress()->value() == 100; }

// One /proc/<pid>/stat read: the state letter and utime + stime in ticks.
bool ProcStat(pid_t pid, char* state, long* cpu) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const auto close = all.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream rest(all.substr(close + 2));
  std::string field;
  std::vector<std::string> fields;
  while (rest >> field) fields.push_back(field);
  if (fields.size() < 13) return false;
  *state = fields[0][0];
  *cpu = std::stol(fields[11]) + std::stol(fields[12]);
  return true;
}
}  // namespace

TEST(JobDialog, ThreePiecesEndWithTheCompletionDialog) {
  TempDir dir;
  const std::string clip = MakeClip(dir, "clip.mp4", 4, "160x120");
  TestDlg d;
  win::SetDlgItemText(&d, 1000, clip);
  d.Model().SetDuration(4);
  d.OnCommand(1008);
  win::SetDlgItemText(&d, 1010, "3");
  win::SetDlgItemText(&d, 1014, dir.File("out"));  // no trailing separator: created
  d.OnCommand(1016);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return JobEnded(d) && d.doneDialogs + d.messages.size() > 0; }, 120000));
  EXPECT_TRUE(d.messages.empty()) << d.messages[0];
  EXPECT_EQ(d.doneDialogs, 1);
  EXPECT_EQ(Status(d), "分割完成");
  EXPECT_EQ(d.Model().JobOutputFolder(), dir.File("out") + "/");
  EXPECT_GE(d.Model().Progress(), 90);
  for (int k = 1; k <= 3; ++k) {
    const std::string piece = dir.File("out/clip[" + std::to_string(k) + "].mp4");
    EXPECT_GT(MediaSeconds(piece), 0.9) << piece;
  }
  EXPECT_NEAR(MediaSeconds(dir.File("out/clip[3].mp4")), 2.0, 0.1);  // 1 + 1 + the rest
  EXPECT_TRUE(d.GetDlgItem(1016)->isEnabled());  // the controls are back
  EXPECT_FALSE(d.GetDlgItem(1018)->isEnabled());
  EXPECT_FALSE(d.GetDlgItem(1017)->isEnabled());
  EXPECT_TRUE(d.GetDlgItem(1010)->isEnabled());  // average mode's own edit
  EXPECT_FALSE(d.GetDlgItem(1012)->isEnabled());
}

TEST(JobDialog, MissingToolEndsWithTheFailureReport) {
  TempDir dir, emptyProgramDir;
  std::ofstream(dir.File("clip.avi")) << "x";
  TestDlg d;
  d.toolDir = emptyProgramDir.path() + "/";
  win::SetDlgItemText(&d, 1000, dir.File("clip.avi"));
  d.Model().SetDuration(60);
  d.OnCommand(1008);
  win::SetDlgItemText(&d, 1010, "50");
  win::SetDlgItemText(&d, 1014, dir.File("out/"));
  d.OnCommand(1016);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return !d.reports.empty(); }, 30000));
  EXPECT_TRUE(d.messages.empty());
  EXPECT_EQ(d.doneDialogs, 0);
  EXPECT_EQ(Status(d), "分割失败");
  // One summary line, then each of the 50 pieces with its reason in plain words.
  EXPECT_EQ(d.reports[0].summary, "共 50 段，其中 50 段分割失败；已写入的 0 段已保留。");
  ASSERT_EQ(d.reports[0].lines.size(), 50u);
  EXPECT_EQ(d.reports[0].lines[0], "第1段：找不到分割工具 ZantrelCore，或无法启动它");
  EXPECT_EQ(d.reports[0].lines[49].rfind("第50段：", 0), 0u);
  EXPECT_EQ(d.progress()->text(), QString::fromUtf8("已写入 0/50 段"));
}

TEST(JobDialog, NoRunStartsWhenTheOutputFolderCannotBeMadeOrWritten) {
  TempDir dir;
  const std::string clip = MakeClip(dir, "clip.mp4", 2, "160x120");
  std::ofstream(dir.File("plainfile")) << "x";
  TestDlg d;
  win::SetDlgItemText(&d, 1000, clip);
  d.Model().SetDuration(2);
  // A folder below a plain file can be made by no one, root included.
  win::SetDlgItemText(&d, 1014, dir.File("plainfile/sub"));
  d.OnCommand(1016);
  ASSERT_EQ(d.messages.size(), 1u);
  EXPECT_NE(d.messages[0].find("无法创建输出文件夹"), std::string::npos) << d.messages[0];
  EXPECT_NE(d.messages[0].find(dir.File("plainfile/sub/")), std::string::npos) << d.messages[0];
  EXPECT_EQ(d.Model().Job(), nullptr);
  EXPECT_FALSE(d.JobRunning());
  EXPECT_TRUE(d.GetDlgItem(1016)->isEnabled());

  if (::geteuid() != 0) {
    fs::create_directory(dir.File("ro"));
    fs::permissions(dir.File("ro"), fs::perms::owner_read | fs::perms::owner_exec);
    win::SetDlgItemText(&d, 1014, dir.File("ro"));
    d.OnCommand(1016);
    ASSERT_EQ(d.messages.size(), 2u);
    EXPECT_NE(d.messages[1].find("无法写入输出文件夹（没有写入权限）"), std::string::npos) << d.messages[1];
    EXPECT_EQ(d.Model().Job(), nullptr);
  }
  EXPECT_TRUE(fs::exists(clip));  // the source is untouched
}

TEST(JobDialog, StartIsRefusedWhileTheDurationIsUnknown) {
  TempDir dir;
  const std::string clip = MakeClip(dir, "clip.mp4", 2, "160x120");
  const std::string refused = "Tesmor提示|无法得知源文件的时长，请通过“浏览”重新添加文件，等时长显示后再开始分割！";
  TestDlg d;
  win::SetDlgItemText(&d, 1014, dir.File("out"));
  // A typed path: no duration has ever arrived.
  win::SetDlgItemText(&d, 1000, clip);
  d.OnCommand(1016);
  // A duration that belongs to another file than the one now in the box.
  d.Model().SetSource(dir.File("other.mp4"));
  d.Model().SetDuration(30);
  d.OnCommand(1016);
  // Browsed, but the duration has not arrived yet.
  d.files = {clip};
  d.OnCommand(1001);
  ASSERT_TRUE(d.IsTimerRunning(kTimerDuration));
  d.OnCommand(1016);
  ASSERT_EQ(d.messages.size(), 3u);
  for (const auto& m : d.messages) EXPECT_EQ(m, refused);
  EXPECT_EQ(d.Model().Job(), nullptr);
  EXPECT_FALSE(fs::exists(dir.File("out")));  // nothing created
  // A player that could not open the file gives no duration either.
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return !d.IsTimerRunning(kTimerDuration); }, 10000));
  d.Model().SetDuration(0);
  d.OnCommand(1016);
  ASSERT_EQ(d.messages.size(), 4u);
  EXPECT_EQ(d.messages[3], refused);
  EXPECT_FALSE(fs::exists(dir.File("out")));
}

TEST(JobDialog, MorePartsThanSecondsAreRefusedBeforeAnyFolderIsMade) {
  TempDir dir;
  TestDlg d;
  win::SetDlgItemText(&d, 1000, dir.File("clip.mp4"));
  d.Model().SetDuration(4);
  d.OnCommand(1008);
  win::SetDlgItemText(&d, 1014, dir.File("out"));
  for (const char* n : {"5", "2000000000"}) {
    win::SetDlgItemText(&d, 1010, n);
    d.OnCommand(1016);
  }
  ASSERT_EQ(d.messages.size(), 2u);
  EXPECT_EQ(d.messages[0], "Tesmor提示|分割段数（5）超过了视频的秒数（4），每段至少要有一秒，请减少段数！");
  EXPECT_NE(d.messages[1].find("2000000000"), std::string::npos);
  EXPECT_EQ(d.Model().Job(), nullptr);
  EXPECT_FALSE(fs::exists(dir.File("out")));
}

TEST(JobDialog, EmptyPiecesAreNotFailuresAndTheJobEndsDone) {
  TempDir dir;
  const std::string clip = MakeClip(dir, "clip.mp4", 2, "160x120");
  TestDlg d;
  win::SetDlgItemText(&d, 1000, clip);
  d.Model().SetDuration(2);
  // The user's one split point, with the thumb at 0.
  d.slider()->setValue(0);
  d.OnCommand(1004);
  win::SetDlgItemText(&d, 1014, dir.File("out"));
  d.OnCommand(1016);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return !d.JobRunning(); }, 120000));
  EXPECT_TRUE(d.reports.empty()) << d.reports[0].lines[0];
  EXPECT_TRUE(d.messages.empty()) << d.messages[0];
  EXPECT_EQ(Status(d), "分割完成");
  EXPECT_EQ(d.progress()->text(), QString::fromUtf8("已写入 1/2 段，1 段为空"));
  EXPECT_EQ(d.doneDialogs, 1);
  // The numbering keeps the empty first piece's place.
  EXPECT_FALSE(fs::exists(dir.File("out/clip[1].mp4")));
  EXPECT_NEAR(MediaSeconds(dir.File("out/clip[2].mp4")), 2.0, 0.1);
}

TEST(JobDialog, ReportsMoveNothingWithoutARunningJob) {
  TestDlg d;
  const auto block = zantrel::MakeProgressBlock(50);
  d.OnCopyData(block.data(), block.size());
  EXPECT_EQ(d.Model().Progress(), 0);
  EXPECT_EQ(d.progress()->value(), 0);
  EXPECT_EQ(Status(d), "准备就绪");
  d.OnCommand(1018);  // Pause with no job does nothing
  d.OnCommand(1017);  // nor Stop
  EXPECT_EQ(Status(d), "准备就绪");
}

TEST(JobDialog, PauseStopsTheToolAndASecondPressResumesIt) {
  TempDir dir;
  const std::string clip = MakeClip(dir, "long.mp4", 30, "640x360");
  TestDlg d;
  win::SetDlgItemText(&d, 1000, clip);
  d.Model().SetDuration(30);
  win::SetDlgItemText(&d, 1014, dir.path());
  d.OnCommand(1016);
  // Wait for the run to be under way.
  ASSERT_TRUE(TestDlg::PumpUntil(
      [&] {
        auto run = d.Model().Job()->CurrentToolProcess();
        return run && run->pid > 0 && Status(d).rfind("完成", 0) == 0;
      },
      60000));
  const pid_t pid = d.Model().Job()->CurrentToolProcess()->pid;
  d.OnCommand(1018);
  EXPECT_EQ(Status(d), "暂停分割");
  char state = 0;
  long cpu1 = 0, cpu2 = 0;
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return ProcStat(pid, &state, &cpu1) && state == 'T'; }, 5000));
  TestDlg::PumpUntil([] { return false; }, 600);
  ASSERT_TRUE(ProcStat(pid, &state, &cpu2));
  EXPECT_EQ(state, 'T');
  EXPECT_EQ(cpu1, cpu2) << "a stopped tool uses no CPU";
  EXPECT_EQ(Status(d), "暂停分割");

  d.OnCommand(1018);
  EXPECT_EQ(Status(d).rfind("完成", 0), 0u) << Status(d);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return JobEnded(d); }, 180000));
  EXPECT_TRUE(d.messages.empty()) << d.messages[0];
  EXPECT_EQ(Status(d), "分割完成");
  EXPECT_NEAR(MediaSeconds(dir.File("long[1].mp4")), 30.0, 0.1);
}

TEST(JobDialog, ProbeGivesTheDurationOfSourcesThePlayerDoesNotPreview) {
  TempDir dir;
  const std::string avi = dir.File("clip.avi");
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc2=size=160x120:rate=25:duration=5 -c:v mpeg4 " +
                     zantrel::QuoteArgument(avi)));
  std::ofstream(dir.File("text.avi")) << "not a video at all\n";
  TestDlg d;
  d.files = {avi, dir.File("text.avi")};
  d.OnCommand(1001);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return !d.IsTimerRunning(kTimerProbe); }, 20000));
  EXPECT_EQ(d.Model().Source().durationSeconds, 5);
  EXPECT_EQ(win::GetDlgItemText(&d, 1003), "0:00:05");
  EXPECT_EQ(d.PreviewLive(), 0);
  EXPECT_TRUE(d.messages.empty());

  d.OnCommand(1001);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return !d.IsTimerRunning(kTimerProbe); }, 20000));
  EXPECT_EQ(d.Model().Source().durationSeconds, 0);
  ASSERT_EQ(d.messages.size(), 1u);
  EXPECT_EQ(d.messages[0], "Tesmor提示|文件读取失败，请重新添加文件!");
}

TEST(JobDialog, ClosingTheDialogMidJobNeitherHangsNorCrashes) {
  TempDir dir;
  const std::string clip = MakeClip(dir, "long.mp4", 20, "640x360");
  pid_t pid = -1;
  {
    TestDlg d;
    win::SetDlgItemText(&d, 1000, clip);
    d.Model().SetDuration(20);
    win::SetDlgItemText(&d, 1014, dir.path());
    d.OnCommand(1016);
    ASSERT_TRUE(TestDlg::PumpUntil(
        [&] {
          auto run = d.Model().Job()->CurrentToolProcess();
          return run && run->pid > 0;
        },
        30000));
    pid = d.Model().Job()->CurrentToolProcess()->pid;
    d.OnCommand(1018);  // even a paused run
  }
  // The tool is gone and reaped, and nothing new is in the folder, hidden
  // temporary files included.
  EXPECT_FALSE(fs::exists("/proc/" + std::to_string(pid)));
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"long.mp4"});
}

// The output folder removed after the first piece: the job ends as failed,
// and the report names the vanished folder for each later piece in the
// user's words, in the real report box too.
TEST(JobDialog, FolderRemovedMidJobIsReportedInPlainWords) {
  TempDir dir;
  const std::string clip = MakeClip(dir, "clip.mp4", 3, "160x120");
  TestDlg d;
  win::SetDlgItemText(&d, 1000, clip);
  d.Model().SetDuration(3);
  d.OnCommand(1008);
  win::SetDlgItemText(&d, 1010, "3");
  win::SetDlgItemText(&d, 1014, dir.File("out"));
  d.OnCommand(1016);
  bool removed = false;
  ASSERT_TRUE(TestDlg::PumpUntil(
      [&] {
        if (!removed && fs::exists(dir.File("out/clip[1].mp4"))) {
          std::error_code ec;
          fs::remove_all(dir.File("out"), ec);
          removed = !fs::exists(dir.File("out"));
        }
        return !d.reports.empty() || d.doneDialogs > 0;
      },
      120000));
  ASSERT_TRUE(removed);
  EXPECT_EQ(d.doneDialogs, 0);
  EXPECT_EQ(Status(d), "分割失败");
  ASSERT_EQ(d.reports.size(), 1u);
  const auto& lines = d.reports[0].lines;
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "第2段：输出文件夹已不存在");
  EXPECT_EQ(lines.back(), "第3段：输出文件夹已不存在");
  EXPECT_FALSE(fs::exists(dir.File("out")));  // not made again

  CFailureReportDlg box("Tesmor提示", d.reports[0].summary, lines, nullptr);
  box.show();
  TestDlg::PumpUntil([] { return false; }, 50);
  ASSERT_EQ(box.List()->count(), static_cast<int>(lines.size()));
  EXPECT_EQ(box.List()->item(box.List()->count() - 1)->text(), QString::fromUtf8("第3段：输出文件夹已不存在"));
  if (const char* shots = std::getenv("ZANTREL_FAULT_SHOT")) box.grab().save(QString::fromUtf8(shots));
}
