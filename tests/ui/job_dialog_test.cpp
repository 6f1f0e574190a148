// Start, progress, pause and the end of a job, through the dialog, the
// worker, the launcher and the real cutting tool.
#include <gtest/gtest.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <QLabel>
#include <QProgressBar>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/cmdline.h"
#include "platform/launcher.h"
#include "platform/progress_channel.h"
#include "platform/qt/win_helpers.h"
#include "tests/ui/test_dialog.h"

namespace fs = std::filesystem;

namespace {
class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/zantrel-job-XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

bool Ffmpeg(const std::string& args) {
  zantrel::ChildProcess p;
  zantrel::LaunchOptions o;
  o.quiet = true;
  std::string err;
  if (!p.Start("ffmpeg -nostdin -v error -y " + args, o, &err)) return false;
  const int st = p.Wait();
  return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

// A small H.264/AAC clip of `seconds`.
std::string MakeClip(const TempDir& dir, const std::string& name, int seconds, const char* size) {
  const std::string out = dir.File(name);
  const std::string d = std::to_string(seconds);
  EXPECT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=" + std::string(size) + ":rate=25:duration=" + d +
                     " -f lavfi -i sine=frequency=440:duration=" + d +
                     " -c:v libx264 -preset ultrafast -g 50 -pix_fmt yuv420p -c:a aac -shortest " +
                     zantrel::QuoteArgument(out)));
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

bool JobEnded(TestDlg& d) { return d.m_pSplitTask && d.m_pSplitTask->Finished() && d.m_progress->value() == 100; }

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
  d.m_dDuration = 4;
  d.OnCommand(1008);
  win::SetDlgItemText(&d, 1010, "3");
  win::SetDlgItemText(&d, 1014, dir.File("out"));  // no trailing separator: created
  d.OnCommand(1016);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return JobEnded(d) && d.doneDialogs + d.messages.size() > 0; }, 120000));
  EXPECT_TRUE(d.messages.empty()) << d.messages[0];
  EXPECT_EQ(d.doneDialogs, 1);
  EXPECT_EQ(Status(d), "分割完成");
  EXPECT_EQ(d.m_strOutputDir, dir.File("out") + "/");
  EXPECT_GE(g_nProgress, 90);
  for (int k = 1; k <= 3; ++k) {
    const std::string piece = dir.File("out/clip[" + std::to_string(k) + "].mp4");
    EXPECT_GT(MediaSeconds(piece), 0.9) << piece;
  }
  EXPECT_NEAR(MediaSeconds(dir.File("out/clip[3].mp4")), 2.0, 0.1);  // 1 + 1 + the rest
}

TEST(JobDialog, MissingToolEndsWithTheFailureMessage) {
  TempDir dir, emptyProgramDir;
  TestDlg d;
  d.toolDir = emptyProgramDir.path() + "/";
  win::SetDlgItemText(&d, 1000, dir.File("clip.avi"));
  d.m_dDuration = 10;
  win::SetDlgItemText(&d, 1014, dir.File("out/"));
  d.OnCommand(1016);  // custom mode, no point: one run
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return !d.messages.empty(); }, 30000));
  EXPECT_EQ(d.doneDialogs, 0);
  EXPECT_NE(Status(d), "分割完成");
  EXPECT_EQ(d.messages[0].rfind("Tesmor提示|", 0), 0u);
  EXPECT_NE(d.messages[0].find("第1段"), std::string::npos) << d.messages[0];
}

TEST(JobDialog, UnwritableOutputFolderEndsWithTheFailureMessage) {
  TempDir dir;
  const std::string clip = MakeClip(dir, "clip.mp4", 2, "160x120");
  std::ofstream(dir.File("plainfile")) << "x";
  TestDlg d;
  win::SetDlgItemText(&d, 1000, clip);
  d.m_dDuration = 2;
  // A folder below a plain file can be made by no one, root included.
  win::SetDlgItemText(&d, 1014, dir.File("plainfile/sub"));
  d.OnCommand(1016);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return !d.messages.empty(); }, 60000));
  EXPECT_EQ(d.doneDialogs, 0);
  EXPECT_NE(Status(d), "分割完成");
  EXPECT_TRUE(fs::exists(clip));  // the source is untouched
  // The tool's own reason reaches the user.
  EXPECT_NE(d.messages[0].find("：ZantrelCore: "), std::string::npos) << d.messages[0];
}

TEST(JobDialog, ProgressReportsMoveTheBarAndTheStatus) {
  TestDlg d;
  const auto feed = [&](int p) {
    const auto block = zantrel::MakeProgressBlock(p);
    d.OnCopyData(block.data(), block.size());
  };
  g_nProgress = 0;
  const std::pair<int, int> steps[] = {{0, 0}, {50, 50}, {80, 80}, {10, 82}, {50, 91}};
  for (const auto& [report, overall] : steps) {
    feed(report);
    EXPECT_EQ(g_nProgress, overall) << report;
    EXPECT_EQ(d.m_progress->value(), overall);
    EXPECT_EQ(Status(d), "完成 " + std::to_string(overall) + "%");
  }
  feed(100);
  EXPECT_EQ(g_nProgress, 100);
  EXPECT_EQ(d.m_progress->value(), 91);  // 100 is not shown
  EXPECT_EQ(Status(d), "完成 91%");

  g_nProgress = 80;
  feed(150);
  feed(-5);
  EXPECT_EQ(g_nProgress, 80);
  feed(20);
  EXPECT_EQ(g_nProgress, 84);
  const std::uint8_t shortBlock[8] = {};
  d.OnCopyData(shortBlock, sizeof shortBlock);
  EXPECT_EQ(g_nProgress, 84);
  // Pause with no job does nothing.
  d.OnCommand(1018);
  EXPECT_EQ(Status(d), "完成 84%");
}

TEST(JobDialog, PauseStopsTheToolAndASecondPressResumesIt) {
  TempDir dir;
  const std::string clip = MakeClip(dir, "long.mp4", 30, "640x360");
  TestDlg d;
  win::SetDlgItemText(&d, 1000, clip);
  d.m_dDuration = 30;
  win::SetDlgItemText(&d, 1014, dir.path());
  d.OnCommand(1016);
  // Wait for the run to be under way.
  ASSERT_TRUE(TestDlg::PumpUntil(
      [&] {
        auto run = d.m_pSplitTask->CurrentToolProcess();
        return run && run->pid > 0 && Status(d).rfind("完成", 0) == 0;
      },
      60000));
  const pid_t pid = d.m_pSplitTask->CurrentToolProcess()->pid;
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
  ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=160x120:rate=25:duration=5 -c:v mpeg4 " +
                     zantrel::QuoteArgument(avi)));
  std::ofstream(dir.File("text.avi")) << "not a video at all\n";
  TestDlg d;
  d.files = {avi, dir.File("text.avi")};
  d.OnCommand(1001);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return !d.IsTimerRunning(kTimerProbe); }, 20000));
  EXPECT_EQ(d.m_dDuration, 5);
  EXPECT_EQ(win::GetDlgItemText(&d, 1003), "0:00:05");
  EXPECT_EQ(d.m_bPreviewLive, 0);
  EXPECT_TRUE(d.messages.empty());

  d.OnCommand(1001);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return !d.IsTimerRunning(kTimerProbe); }, 20000));
  EXPECT_EQ(d.m_dDuration, 0);
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
    d.m_dDuration = 20;
    win::SetDlgItemText(&d, 1014, dir.path());
    d.OnCommand(1016);
    ASSERT_TRUE(TestDlg::PumpUntil(
        [&] {
          auto run = d.m_pSplitTask->CurrentToolProcess();
          return run && run->pid > 0;
        },
        30000));
    pid = d.m_pSplitTask->CurrentToolProcess()->pid;
    d.OnCommand(1018);  // even a paused run
  }
  // The tool is gone and reaped, and no half-written piece has its final name.
  EXPECT_FALSE(fs::exists("/proc/" + std::to_string(pid)));
  EXPECT_FALSE(fs::exists(dir.File("long[1].mp4")));
}
