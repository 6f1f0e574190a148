#include <cerrno>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/job.h"
#include "platform/tool_args.h"
#include "engine/plan.h"
#include "tests/common/test_util.h"
#include "platform/cmdline.h"

using namespace zantrel;
using zantrel_test::TempDir;
using zantrel_test::WaitUntil;

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Names and command lines

TEST(SegmentOutputName, ExtensionOfTheFileNameOnly) {
  EXPECT_EQ(SegmentOutputName("/d/out/my.clip.3gp", 1), "/d/out/my.clip[1].3gp");
  EXPECT_EQ(SegmentOutputName("/d/out/my.clip.3gp", 3), "/d/out/my.clip[3].3gp");
  EXPECT_EQ(OutputExtension("/d/out/my.clip.3gp"), "3gp");

  // A '.' in a folder name never splits.
  EXPECT_EQ(SegmentOutputName("/d/my.folder/clip", 2), "/d/my.folder/clip[2]");
  EXPECT_EQ(OutputExtension("/d/my.folder/clip"), "");
  EXPECT_EQ(SegmentOutputName("/d/my.folder/clip.mp4", 12), "/d/my.folder/clip[12].mp4");

  EXPECT_EQ(SegmentOutputName("clip", 1), "clip[1]");
  EXPECT_EQ(OutputExtension("clip.FLV"), "FLV");
  EXPECT_EQ(OutputExtension("a.verylongextension"), "verylongextension");
}

TEST(SegmentOutputName, LongPathsAreKeptWhole) {
  const std::string folder = "/" + std::string(300, 'f') + "/" + std::string(200, 'g');
  const std::string base = folder + "/" + std::string(250, 'n') + ".mp4";
  EXPECT_EQ(SegmentOutputName(base, 7), folder + "/" + std::string(250, 'n') + "[7].mp4");
}

TEST(CutCommandLine, ExactFormsByExtension) {
  EXPECT_EQ(BuildCutCommandLine("3gp", "/v/a.3gp", 0, 30, "/o/a[1].3gp"),
            "ZantrelCore.exe -i \"/v/a.3gp\" -ss 0 -t 30 -y -ar 8000 -ac 1 -ab 12.2k "
            "\"/o/a[1].3gp\"  6 100 100");
  EXPECT_EQ(BuildCutCommandLine("flv", "/v/a.flv", 30, 40, "/o/a[2].flv"),
            "ZantrelCore.exe -i \"/v/a.flv\" -ar 22050 -ss 30 -t 40 \"/o/a[2].flv\"  6 100 100 ");
  EXPECT_EQ(BuildCutCommandLine("mp4", "/v/a.mp4", 5, 6, "/o/a[1].mp4"),
            "ZantrelCore.exe -i \"/v/a.mp4\"  -ss 5 -t 6 \"/o/a[1].mp4\"  6 100 100 ");
  // The choice is case-sensitive: FLV takes the general form.
  EXPECT_EQ(BuildCutCommandLine("FLV", "/v/clip.FLV", 0, 1, "/o/clip[1].FLV"),
            "ZantrelCore.exe -i \"/v/clip.FLV\"  -ss 0 -t 1 \"/o/clip[1].FLV\"  6 100 100 ");
  EXPECT_EQ(BuildCutCommandLine("", "/v/clip", 0, 1, "/o/clip[1]"),
            "ZantrelCore.exe -i \"/v/clip\"  -ss 0 -t 1 \"/o/clip[1]\"  6 100 100 ");
}

TEST(CutCommandLine, AnyPathSplitsBackWholeAndAddsNoArgument) {
  const std::vector<std::string> paths = {
      "/home/u/My Videos/a.mp4", "/v/say \"hi\".mp4", "/v/x\" -y \"/etc/passwd",
      "/v/trailing\\",          "/v/two\\\\",        "/v/\\\"mixed\\\\\"", ""};
  for (const std::string ext : {"3gp", "flv", "avi"}) {
    const size_t expected = SplitCommandLine(BuildCutCommandLine(ext, "/s", 1, 2, "/o")).size();
    for (const std::string& src : paths) {
      for (const std::string& out : paths) {
        const auto argv = SplitCommandLine(BuildCutCommandLine(ext, src, 1, 2, out));
        ASSERT_EQ(argv.size(), expected) << ext << " [" << src << "] [" << out << "]";
        EXPECT_EQ(argv[2], src);
        EXPECT_EQ(argv[argv.size() - 4], out);
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Folders

TEST(CreateFolderPath, NestedExistingAndMessyPaths) {
  TempDir dir;
  EXPECT_FALSE(CreateFolderPath(""));

  const std::string nested = dir / "a/b/c";
  EXPECT_TRUE(CreateFolderPath(nested));
  EXPECT_TRUE(fs::is_directory(nested));
  EXPECT_TRUE(CreateFolderPath(nested));  // already there

  EXPECT_TRUE(CreateFolderPath(dir.path() + "//x///y//"));
  EXPECT_TRUE(fs::is_directory(dir / "x/y"));

  EXPECT_TRUE(CreateFolderPath("/"));
  EXPECT_TRUE(CreateFolderPath(dir.path()));
}

TEST(CreateFolderPath, BackslashIsAPlainNameCharacter) {
  TempDir dir;
  EXPECT_TRUE(CreateFolderPath(dir / "back\\slash"));
  EXPECT_TRUE(fs::is_directory(dir / "back\\slash"));
  EXPECT_FALSE(fs::exists(dir / "back"));
}

TEST(CreateFolderPath, AFileInTheWayFails) {
  TempDir dir;
  zantrel_test::WriteFile(dir / "file", "x");
  EXPECT_FALSE(CreateFolderPath(dir / "file/sub"));  // fails for root too
  EXPECT_FALSE(CreateFolderPath(dir / "file"));      // a file is not a folder
}

TEST(CreateFolderPath, UnwritableParentFails) {
  if (::geteuid() == 0) GTEST_SKIP() << "root can write into any folder";
  TempDir dir;
  ASSERT_TRUE(CreateFolderPath(dir / "ro"));
  ::chmod((dir / "ro").c_str(), 0500);
  EXPECT_FALSE(CreateFolderPath(dir / "ro/sub/deeper"));
  EXPECT_FALSE(fs::exists(dir / "ro/sub"));
}

// ---------------------------------------------------------------------------
// The job, run through the real launcher with a fake tool

namespace {

class JobTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string programDir_ = zantrel_test::InstallTool(dir_, ZANTREL_FAKE_TOOL);
  std::atomic<int> doneCalls_{0};

  SplitJob MakeJob(const std::string& source, const std::string& outputBase, int duration,
                   const SplitPlan& plan) {
    SplitJob job;
    job.sourcePath = source;
    job.outputBase = outputBase;
    job.duration = duration;
    job.count = plan.count;
    job.boundaries.assign(plan.boundaries.begin(), plan.boundaries.end());
    return job;
  }

  std::unique_ptr<CSplitTask> MakeTask(SplitJob job, std::vector<std::string> env = {},
                                       const std::string& programDir = "") {
    return std::make_unique<CSplitTask>(
        std::move(job), [this](CSplitTask&) { ++doneCalls_; },
        programDir.empty() ? programDir_ : programDir, std::move(env));
  }

  // Starts the task and waits for its end.
  void RunToEnd(CSplitTask& task) {
    task.Start();
    ASSERT_TRUE(WaitUntil([&] { return doneCalls_.load() == 1; }));
    EXPECT_TRUE(task.Finished());
  }

  std::string SpinEnv() const { return "ZANTREL_FAKE_STOPFILE=" + dir_ / "stop"; }
  void LetSpinnersFinish() { zantrel_test::WriteFile(dir_ / "stop", ""); }

  // argv the fake tool recorded in an output file.
  static std::vector<std::string> RecordedArgv(const std::string& output) {
    return zantrel_test::SplitNul(zantrel_test::ReadFile(output));
  }
};

SplitPlan AveragePlan(int parts, double duration) {
  SplitPlanInput in;
  in.mode = kSplitAverage;
  in.parts = parts;
  in.duration = duration;
  return BuildSplitPlan(in);
}

bool NoChildLeft() {
  int status;
  return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

}  // namespace

TEST_F(JobTest, ThreeGpInANewFolderTypedWithoutSeparator) {
  const std::string folder = dir_ / "out";  // no trailing separator
  ASSERT_TRUE(CreateFolderPath(folder));
  const std::string source = dir_ / "my.clip.3gp";
  auto task = MakeTask(MakeJob(source, folder + "/my.clip.3gp", 30, AveragePlan(3, 30)));
  RunToEnd(*task);

  const auto runs = task->Runs();
  ASSERT_EQ(runs.size(), 3u);
  for (int k = 1; k <= 3; ++k) {
    const auto& run = runs[k - 1];
    const std::string output = folder + "/my.clip[" + std::to_string(k) + "].3gp";
    EXPECT_EQ(run->segment, k);
    EXPECT_EQ(run->outputPath, output);
    EXPECT_TRUE(run->started);
    EXPECT_FALSE(run->Failed()) << run->toolMessage;
    // The last run asks for a second more, to reach the source's real end.
    const int length = k == 3 ? 11 : 10;
    EXPECT_EQ(run->commandLine, BuildCutCommandLine("3gp", source, (k - 1) * 10, length, output));
    const auto argv = RecordedArgv(output);
    ASSERT_EQ(argv.size(), 18u);
    EXPECT_EQ(argv[2], source);
    EXPECT_EQ(argv[4], std::to_string((k - 1) * 10));
    EXPECT_EQ(argv[6], std::to_string(length));
    EXPECT_EQ(argv[8], "-ar");
    EXPECT_EQ(argv[9], "8000");
  }
  EXPECT_EQ(doneCalls_.load(), 1);
  EXPECT_TRUE(NoChildLeft());
}

TEST_F(JobTest, UpperCaseFlvUsesTheGeneralForm) {
  auto task = MakeTask(MakeJob(dir_ / "clip.FLV", dir_ / "clip.FLV", 20, AveragePlan(2, 20)));
  RunToEnd(*task);
  const auto argv = RecordedArgv(dir_ / "clip[2].FLV");
  ASSERT_EQ(argv.size(), 11u);
  EXPECT_EQ(argv[3], "-ss");
  EXPECT_EQ(argv[4], "10");
  EXPECT_EQ(argv[6], "11");  // the last piece runs on to the real end
}

TEST_F(JobTest, NoExtensionAndDottedFolder) {
  const std::string folder = dir_ / "my.folder";
  ASSERT_TRUE(CreateFolderPath(folder));
  auto task = MakeTask(MakeJob(dir_ / "clip", folder + "/clip", 10, AveragePlan(2, 10)));
  RunToEnd(*task);
  EXPECT_TRUE(fs::is_regular_file(folder + "/clip[1]"));
  EXPECT_TRUE(fs::is_regular_file(folder + "/clip[2]"));
}

TEST_F(JobTest, PathsWithQuotesAndBlanksReachTheToolWhole) {
  const std::string folder = dir_ / "out dir \"q\"";
  ASSERT_TRUE(CreateFolderPath(folder));
  const std::string source = dir_ / "my videos/say \"hi\" now.mp4";
  auto task = MakeTask(MakeJob(source, folder + "/say \"hi\" now.mp4", 8, AveragePlan(2, 8)));
  RunToEnd(*task);
  for (int k = 1; k <= 2; ++k) {
    const std::string output = folder + "/say \"hi\" now[" + std::to_string(k) + "].mp4";
    const auto argv = RecordedArgv(output);
    ASSERT_EQ(argv.size(), 11u) << output;
    EXPECT_EQ(argv[2], source);
    EXPECT_EQ(argv[7], output);
  }
}

TEST_F(JobTest, NoSegmentMeansDoneAtOnce) {
  auto task = MakeTask(MakeJob(dir_ / "a.mp4", dir_ / "a.mp4", 100, AveragePlan(0, 100)));
  RunToEnd(*task);
  EXPECT_TRUE(task->Runs().empty());
  EXPECT_EQ(task->CurrentToolProcess(), nullptr);
  EXPECT_FALSE(task->Pause());
}

TEST_F(JobTest, CustomWithoutPointsCutsTheWholeSource) {
  SplitPlanInput in;
  in.mode = kSplitCustom;
  in.duration = 75;
  auto task = MakeTask(MakeJob(dir_ / "a.avi", dir_ / "a.avi", 75, BuildSplitPlan(in)));
  RunToEnd(*task);
  ASSERT_EQ(task->Runs().size(), 1u);
  const auto argv = RecordedArgv(dir_ / "a[1].avi");
  ASSERT_EQ(argv.size(), 11u);
  EXPECT_EQ(argv[4], "0");
  EXPECT_EQ(argv[6], "76");
}

TEST_F(JobTest, ManySegmentsAreNotCapped) {
  auto task = MakeTask(MakeJob(dir_ / "a.mp4", dir_ / "a.mp4", 60, AveragePlan(12, 60)));
  RunToEnd(*task);
  ASSERT_EQ(task->Runs().size(), 12u);
  EXPECT_TRUE(fs::is_regular_file(dir_ / "a[12].mp4"));
  EXPECT_EQ(RecordedArgv(dir_ / "a[12].mp4")[4], "55");
}

TEST_F(JobTest, MissingToolSkipsEverySegmentAndStillEnds) {
  TempDir empty;
  auto task = MakeTask(MakeJob(dir_ / "a.mp4", dir_ / "a.mp4", 30, AveragePlan(3, 30)), {},
                       empty.path() + "/");
  RunToEnd(*task);
  const auto runs = task->Runs();
  ASSERT_EQ(runs.size(), 3u);
  for (const auto& run : runs) {
    EXPECT_FALSE(run->started);
    EXPECT_FALSE(run->startError.empty());
    EXPECT_TRUE(run->Failed());
    EXPECT_EQ(run->Reason(), FailureReason::kToolMissing);
  }
  EXPECT_EQ(task->CurrentToolProcess(), nullptr);
  EXPECT_FALSE(task->Pause());
}

TEST_F(JobTest, FailedRunsAreRecorded) {
  auto task = MakeTask(MakeJob(dir_ / "a.mp4", dir_ / "a.mp4", 30, AveragePlan(2, 30)),
                       {"ZANTREL_FAKE_MODE=fail"});
  RunToEnd(*task);
  const auto runs = task->Runs();
  ASSERT_EQ(runs.size(), 2u);
  for (const auto& run : runs) {
    EXPECT_TRUE(run->started);
    ASSERT_TRUE(WIFEXITED(run->waitStatus));
    EXPECT_EQ(WEXITSTATUS(run->waitStatus), 1);
    EXPECT_FALSE(run->outputExists);
    EXPECT_TRUE(run->Failed());
    EXPECT_EQ(run->ExitCode(), 1);
    EXPECT_EQ(run->Reason(), FailureReason::kOther);
  }
}

TEST_F(JobTest, MissingOutputFolderFailsTheRun) {
  // The output folder does not exist: nothing can be written there.
  auto task = MakeTask(MakeJob(dir_ / "a.mp4", dir_ / "none/a.mp4", 10, AveragePlan(1, 10)));
  RunToEnd(*task);
  ASSERT_EQ(task->Runs().size(), 1u);
  EXPECT_FALSE(task->Runs()[0]->outputExists);
  EXPECT_TRUE(task->Runs()[0]->Failed());
  EXPECT_TRUE(task->Runs()[0]->outputFolderGone);
  // The source never existed: it cannot have gone.
  EXPECT_FALSE(task->Runs()[0]->sourceGone);
  EXPECT_EQ(task->Runs()[0]->Reason(), FailureReason::kFolderMissing);
}

TEST_F(JobTest, PauseStopsTheToolAndResumeContinuesIt) {
  auto task = MakeTask(MakeJob(dir_ / "a.mp4", dir_ / "a.mp4", 10, AveragePlan(1, 10)),
                       {"ZANTREL_FAKE_MODE=spin", SpinEnv()});
  EXPECT_FALSE(task->Pause());  // nothing started yet
  task->Start();
  ASSERT_TRUE(WaitUntil([&] { return task->CurrentToolProcess() != nullptr; }));
  const pid_t pid = task->CurrentToolProcess()->pid;
  ASSERT_GT(pid, 0);
  // Wait until it really burns CPU.
  const auto first = zantrel_test::ReadProcStat(pid).cpuTicks;
  ASSERT_TRUE(WaitUntil([&] { return zantrel_test::ReadProcStat(pid).cpuTicks > first; }));

  ASSERT_TRUE(task->Pause());
  EXPECT_TRUE(task->IsPaused());
  EXPECT_EQ(task->CurrentToolProcess()->paused.load(), 1);
  ASSERT_TRUE(WaitUntil([&] { return zantrel_test::ReadProcStat(pid).state == 'T'; }));
  const auto stopped = zantrel_test::ReadProcStat(pid).cpuTicks;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(zantrel_test::ReadProcStat(pid).cpuTicks, stopped);
  EXPECT_EQ(zantrel_test::ReadProcStat(pid).state, 'T');
  EXPECT_EQ(doneCalls_.load(), 0);

  ASSERT_TRUE(task->Resume());
  EXPECT_FALSE(task->IsPaused());
  EXPECT_EQ(task->CurrentToolProcess()->paused.load(), 0);
  ASSERT_TRUE(WaitUntil([&] { return zantrel_test::ReadProcStat(pid).cpuTicks > stopped; }));

  LetSpinnersFinish();
  ASSERT_TRUE(WaitUntil([&] { return doneCalls_.load() == 1; }));
  EXPECT_FALSE(task->Runs()[0]->Failed()) << task->Runs()[0]->toolMessage;
  EXPECT_TRUE(zantrel_test::ProcessGone(pid));
}

TEST_F(JobTest, PauseIsKeptForTheNextRun) {
  auto task = MakeTask(MakeJob(dir_ / "a.mp4", dir_ / "a.mp4", 20, AveragePlan(2, 20)),
                       {"ZANTREL_FAKE_MODE=spin", SpinEnv()});
  task->Start();
  ASSERT_TRUE(WaitUntil([&] { return task->CurrentToolProcess() != nullptr; }));
  const auto first = task->CurrentToolProcess();
  ASSERT_TRUE(task->Pause());
  ASSERT_TRUE(WaitUntil([&] { return zantrel_test::ReadProcStat(first->pid).state == 'T'; }));

  // The paused run ends from outside; the job is still paused, so the next
  // run must be held as soon as it starts.
  ::kill(first->pid, SIGKILL);
  ASSERT_TRUE(WaitUntil([&] { return task->CurrentToolProcess() != first; }));
  const auto second = task->CurrentToolProcess();
  EXPECT_EQ(second->segment, 2);
  EXPECT_TRUE(task->IsPaused());
  EXPECT_EQ(second->paused.load(), 1);
  ASSERT_TRUE(WaitUntil([&] { return zantrel_test::ReadProcStat(second->pid).state == 'T'; }));
  EXPECT_TRUE(zantrel_test::ProcessGone(first->pid));

  LetSpinnersFinish();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(doneCalls_.load(), 0);  // still held
  ASSERT_TRUE(task->Resume());
  ASSERT_TRUE(WaitUntil([&] { return doneCalls_.load() == 1; }));
  const auto runs = task->Runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_TRUE(runs[0]->Failed());  // killed
  EXPECT_FALSE(runs[1]->Failed()) << runs[1]->toolMessage;
}

TEST_F(JobTest, DestroyingMidRunEndsTheToolAndLeavesNoZombie) {
  auto task = MakeTask(MakeJob(dir_ / "a.mp4", dir_ / "a.mp4", 30, AveragePlan(3, 30)),
                       {"ZANTREL_FAKE_MODE=hang"});
  task->Start();
  ASSERT_TRUE(WaitUntil([&] { return task->CurrentToolProcess() != nullptr; }));
  const pid_t pid = task->CurrentToolProcess()->pid;
  task.reset();
  EXPECT_TRUE(zantrel_test::ProcessGone(pid));
  EXPECT_TRUE(NoChildLeft());
  EXPECT_EQ(doneCalls_.load(), 0);
}

TEST_F(JobTest, DestroyingWhilePausedEndsTheTool) {
  auto task = MakeTask(MakeJob(dir_ / "a.mp4", dir_ / "a.mp4", 30, AveragePlan(3, 30)),
                       {"ZANTREL_FAKE_MODE=hang"});
  task->Start();
  ASSERT_TRUE(WaitUntil([&] { return task->CurrentToolProcess() != nullptr; }));
  const pid_t pid = task->CurrentToolProcess()->pid;
  ASSERT_TRUE(task->Pause());
  ASSERT_TRUE(WaitUntil([&] { return zantrel_test::ReadProcStat(pid).state == 'T'; }));
  task.reset();
  EXPECT_TRUE(zantrel_test::ProcessGone(pid));
  EXPECT_TRUE(NoChildLeft());
}

TEST_F(JobTest, DestroyingReleasesADoneHandlerWaitingForTheUi) {
  std::atomic<bool> inDone{false};
  std::atomic<bool> doneReturned{false};
  SplitJob job = MakeJob(dir_ / "a.mp4", dir_ / "a.mp4", 10, AveragePlan(1, 10));
  auto task = std::make_unique<CSplitTask>(
      std::move(job),
      [&](CSplitTask& t) {
        inDone = true;
        t.WaitDoneHandled();  // the UI never answers
        doneReturned = true;
      },
      programDir_, std::vector<std::string>{});
  task->Start();
  ASSERT_TRUE(WaitUntil([&] { return inDone.load(); }));
  task.reset();
  EXPECT_TRUE(doneReturned.load());
}

TEST_F(JobTest, ReleaseDoneLetsTheWorkerEnd) {
  std::atomic<bool> inDone{false};
  std::atomic<bool> doneReturned{false};
  SplitJob job = MakeJob(dir_ / "a.mp4", dir_ / "a.mp4", 10, AveragePlan(0, 10));
  CSplitTask task(
      std::move(job),
      [&](CSplitTask& t) {
        inDone = true;
        t.WaitDoneHandled();
        doneReturned = true;
      },
      programDir_, {});
  task.Start();
  ASSERT_TRUE(WaitUntil([&] { return inDone.load(); }));
  EXPECT_FALSE(doneReturned.load());
  task.ReleaseDone();
  EXPECT_TRUE(WaitUntil([&] { return doneReturned.load(); }));
}

// ---------------------------------------------------------------------------
// Stop: the tool is asked to end, then killed; its temporary file never stays

namespace {
std::vector<std::string> HiddenFiles(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name[0] == '.') names.push_back(name);
  }
  return names;
}
}  // namespace

TEST_F(JobTest, StopEndsTheRunCleanlyAndRunsNoFurtherPiece) {
  auto task = MakeTask(MakeJob(dir_ / "a.mp4", dir_ / "a.mp4", 30, AveragePlan(3, 30)),
                       {"ZANTREL_FAKE_MODE=part"});
  task->Start();
  ASSERT_TRUE(WaitUntil([&] { return HiddenFiles(dir_.path()).size() == 1; }));
  const pid_t pid = task->CurrentToolProcess()->pid;
  ASSERT_TRUE(task->Pause());  // a paused run must stop too
  const auto asked = std::chrono::steady_clock::now();
  ASSERT_TRUE(task->Stop());
  ASSERT_TRUE(WaitUntil([&] { return doneCalls_.load() == 1; }));
  // SIGTERM was enough: no wait for the grace period.
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(CSplitTask::kStopGraceMs));
  EXPECT_TRUE(zantrel_test::ProcessGone(pid));
  EXPECT_TRUE(HiddenFiles(dir_.path()).empty());
  const auto runs = task->Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0]->Outcome(), PieceOutcome::kStopped);
  EXPECT_FALSE(runs[0]->Failed());
  const JobSummary s = task->Summary();
  EXPECT_EQ(s.pieces, 3);
  EXPECT_EQ(s.stopped, 1);
  EXPECT_EQ(s.notRun, 2);
  EXPECT_EQ(s.failed, 0);
  EXPECT_FALSE(task->Stop());  // over
  EXPECT_TRUE(NoChildLeft());
}

TEST_F(JobTest, StopKillsAToolThatIgnoresItAndRemovesWhatItLeft) {
  auto task = MakeTask(MakeJob(dir_ / "a.mp4", dir_ / "a.mp4", 30, AveragePlan(2, 30)),
                       {"ZANTREL_FAKE_MODE=stubborn"});
  zantrel_test::WriteFile(dir_ / ".a[1].mp4.part-older", "not ours");  // was there before
  task->Start();
  ASSERT_TRUE(WaitUntil([&] { return HiddenFiles(dir_.path()).size() == 2; }));
  ASSERT_TRUE(task->Stop());
  ASSERT_TRUE(WaitUntil([&] { return doneCalls_.load() == 1; }, 10));
  EXPECT_EQ(HiddenFiles(dir_.path()), std::vector<std::string>{".a[1].mp4.part-older"});
  ASSERT_EQ(task->Runs().size(), 1u);
  EXPECT_TRUE(WIFSIGNALED(task->Runs()[0]->waitStatus));
  EXPECT_EQ(task->Runs()[0]->Outcome(), PieceOutcome::kStopped);
}

TEST_F(JobTest, DestroyingMidRunLeavesNoTemporaryFile) {
  auto task = MakeTask(MakeJob(dir_ / "a.mp4", dir_ / "a.mp4", 30, AveragePlan(3, 30)),
                       {"ZANTREL_FAKE_MODE=stubborn"});
  task->Start();
  ASSERT_TRUE(WaitUntil([&] { return HiddenFiles(dir_.path()).size() == 1; }));
  task.reset();
  EXPECT_TRUE(HiddenFiles(dir_.path()).empty());
  EXPECT_EQ(doneCalls_.load(), 0);
  EXPECT_TRUE(NoChildLeft());
}

TEST_F(JobTest, ProgressSendersAreToldApartByRun) {
  auto task = MakeTask(MakeJob(dir_ / "a.mp4", dir_ / "a.mp4", 20, AveragePlan(2, 20)),
                       {"ZANTREL_FAKE_MODE=spin", SpinEnv()});
  task->Start();
  ASSERT_TRUE(WaitUntil([&] { return task->CurrentToolProcess() != nullptr; }));
  const pid_t first = task->CurrentToolProcess()->pid;
  EXPECT_EQ(task->PiecesBeforeRun(first), 0);
  EXPECT_EQ(task->PiecesBeforeRun(0), 0);
  EXPECT_EQ(task->PiecesBeforeRun(::getpid()), -1);  // not one of its runs
  LetSpinnersFinish();
  ASSERT_TRUE(WaitUntil([&] { return doneCalls_.load() == 1; }));
  EXPECT_EQ(task->PiecesBeforeRun(first), 0);  // a late report stays with its piece
  EXPECT_EQ(task->PiecesBeforeRun(task->Runs()[1]->pid), 1);
  EXPECT_EQ(task->PiecesBeforeRun(0), 2);
}

// ---------------------------------------------------------------------------
// How a piece ended, in the user's words

namespace {
std::unique_ptr<CToolProcess> EndedRun(int exitCode, bool outputExists, const std::string& message,
                                       int planned = 10) {
  auto r = std::make_unique<CToolProcess>();
  r->segment = 4;
  r->plannedLength = planned;
  r->started = true;
  r->waitStatus = exitCode << 8;  // as waitpid reports an exit
  r->outputExists = outputExists;
  r->toolMessage = message;
  return r;
}
}  // namespace

TEST(PieceOutcome, WrittenEmptyStoppedFailed) {
  EXPECT_EQ(EndedRun(0, true, "")->Outcome(), PieceOutcome::kWritten);
  // A segment of no length loses nothing, whatever the tool said.
  auto empty = EndedRun(tool_args::kExitEmpty, false, "ZantrelCore: the length (-t) must be at least one second", 0);
  EXPECT_EQ(empty->Outcome(), PieceOutcome::kEmpty);
  EXPECT_FALSE(empty->Failed());
  EXPECT_EQ(empty->Reason(), FailureReason::kNone);
  // The last piece of no length may still hold the source's last fraction.
  EXPECT_EQ(EndedRun(0, true, "", 0)->Outcome(), PieceOutcome::kWritten);
  auto stopped = EndedRun(0, false, "");
  stopped->waitStatus = SIGTERM;  // killed by it
  stopped->stopped = true;
  EXPECT_EQ(stopped->Outcome(), PieceOutcome::kStopped);
  EXPECT_EQ(EndedRun(0, false, "")->Outcome(), PieceOutcome::kFailed);  // no file
  EXPECT_EQ(EndedRun(1, true, "")->Outcome(), PieceOutcome::kFailed);   // non-zero exit
}

// The tool's exit code decides, never its words: each case below says the
// opposite in its last line.
TEST(PieceOutcome, ReasonsByExitCode) {
  CToolProcess missing;
  missing.segment = 2;
  missing.plannedLength = 5;
  missing.startError = "program not found: ZantrelCore.exe";
  EXPECT_EQ(missing.Reason(), FailureReason::kToolMissing);

  const std::pair<int, FailureReason> cases[] = {
      {tool_args::kExitTargetExists, FailureReason::kAlreadyExists},
      {tool_args::kExitNoSpace, FailureReason::kDiskFull},
      {tool_args::kExitNoPermission, FailureReason::kPermissionDenied},
      {tool_args::kExitSourceUnreadable, FailureReason::kUnreadableSource},
      {tool_args::kExitNotVideo, FailureReason::kUnreadableSource},
      {tool_args::kExitSourceChanged, FailureReason::kSourceChanged},
      {tool_args::kExitInternal, FailureReason::kOther},
      {tool_args::kExitEmpty, FailureReason::kOther},  // a window with something planned in it
      {77, FailureReason::kOther},
  };
  for (const auto& [code, reason] : cases) {
    const auto r = EndedRun(code, false, "ZantrelCore: cannot write the piece: No space left on device (already exists)");
    EXPECT_EQ(r->Reason(), reason) << code;
    EXPECT_EQ(r->ExitCode(), code);
    EXPECT_EQ(r->Signal(), 0);
  }
}

// What the worker found after the run outweighs what the tool could know:
// it cannot tell a vanished folder from a vanished source; a killed tool
// said nothing of its end.
TEST(PieceOutcome, SurroundingsAndSignals) {
  auto gone = EndedRun(tool_args::kExitSourceUnreadable, false, "");
  gone->sourceGone = true;
  EXPECT_EQ(gone->Reason(), FailureReason::kSourceMissing);
  // Without the worker's finding the same code is an unreadable source.
  EXPECT_EQ(EndedRun(tool_args::kExitSourceUnreadable, false, "")->Reason(), FailureReason::kUnreadableSource);

  auto folder = EndedRun(tool_args::kExitInternal, false, "");
  folder->outputFolderGone = true;
  EXPECT_EQ(folder->Reason(), FailureReason::kFolderMissing);

  auto shortened = EndedRun(tool_args::kExitInternal, false, "");
  shortened->sourceChanged = true;
  EXPECT_EQ(shortened->Reason(), FailureReason::kSourceChanged);

  // A full disk is the cause even when the folder went too.
  auto full = EndedRun(tool_args::kExitNoSpace, false, "");
  full->outputFolderGone = true;
  EXPECT_EQ(full->Reason(), FailureReason::kDiskFull);

  auto killed = EndedRun(0, false, "ZantrelCore: full re-encode: asked for");
  killed->waitStatus = SIGKILL;  // as waitpid reports a death by it
  EXPECT_EQ(killed->Reason(), FailureReason::kToolKilled);
  EXPECT_EQ(killed->Signal(), 9);
  EXPECT_EQ(killed->ExitCode(), -1);
  // Not tried at all, the source having changed before it: not a missing tool.
  CToolProcess skipped;
  skipped.segment = 3;
  skipped.plannedLength = 5;
  skipped.sourceChanged = true;
  EXPECT_TRUE(skipped.Failed());
  EXPECT_EQ(skipped.Reason(), FailureReason::kSourceChanged);

  // Killed after the rename: the piece is there, the run still failed.
  auto late = EndedRun(0, true, "");
  late->waitStatus = SIGKILL;
  EXPECT_TRUE(late->Failed());
}

// ---------------------------------------------------------------------------
// Start's checks: existing names, removal, a folder that can be written

TEST(JobOutputs, ExistingNamesAreFoundAndRemovedExactly) {
  TempDir dir;
  SplitJob job;
  job.outputBase = dir / "clip.mp4";
  job.count = 4;
  job.duration = 30;
  job.boundaries = {10, 20};
  EXPECT_EQ(JobOutputNames(job), (std::vector<std::string>{dir / "clip[1].mp4", dir / "clip[2].mp4",
                                                           dir / "clip[3].mp4"}));
  EXPECT_TRUE(ExistingOutputNames(job).empty());
  zantrel_test::WriteFile(dir / "clip[2].mp4", "old");
  zantrel_test::WriteFile(dir / "clip[4].mp4", "not this job's");
  zantrel_test::WriteFile(dir / "clip.mp4", "the source");
  const auto existing = ExistingOutputNames(job);
  EXPECT_EQ(existing, std::vector<std::string>{dir / "clip[2].mp4"});
  std::string failed;
  int err = 0;
  EXPECT_TRUE(RemoveFiles(existing, &failed, &err)) << failed;
  EXPECT_FALSE(fs::exists(dir / "clip[2].mp4"));
  EXPECT_TRUE(fs::exists(dir / "clip[4].mp4"));
  EXPECT_TRUE(fs::exists(dir / "clip.mp4"));
  EXPECT_TRUE(RemoveFiles(existing, &failed, &err));  // already gone counts as removed

  fs::create_directory(dir / "clip[3].mp4");  // a folder in the way is reported, not removed
  EXPECT_FALSE(RemoveFiles({dir / "clip[3].mp4"}, &failed, &err));
  EXPECT_EQ(failed, dir / "clip[3].mp4");
  EXPECT_EQ(err, EISDIR);
  EXPECT_TRUE(fs::is_directory(dir / "clip[3].mp4"));
}

TEST(JobOutputs, FolderWritableCheckLeavesNothing) {
  TempDir dir;
  int err = 0;
  EXPECT_TRUE(CheckFolderWritable(dir.path() + "/", &err)) << err;
  EXPECT_TRUE(fs::is_empty(dir.path()));
  zantrel_test::WriteFile(dir / "plain", "x");
  EXPECT_FALSE(CheckFolderWritable(dir / "plain", &err));
  EXPECT_EQ(err, ENOTDIR);
  if (::geteuid() != 0) {
    fs::create_directory(dir / "ro");
    ::chmod((dir / "ro").c_str(), 0500);
    EXPECT_FALSE(CheckFolderWritable(dir / "ro", &err));
    EXPECT_EQ(err, EACCES);
  }
}
