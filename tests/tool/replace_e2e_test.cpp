// A re-run into a folder that holds the pieces of an earlier one, with the
// user's leave to replace them, through the real worker and the real tool:
// an old piece goes only when its new one is whole in its place. After a
// failed, a stopped or a killed run the old piece is there byte for byte,
// and the job says which names hold new pieces and which old ones.
#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/job.h"
#include "platform/tool_args.h"
#include "tool_test_support.h"

namespace zantrel::tooltest {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Ran {
  bool ended = false;
  std::vector<std::shared_ptr<CToolProcess>> runs;
  std::vector<PieceFile> files;
  JobSummary summary;
};

// Runs `job` to its end as the dialog does; `during` is this thread's work
// about every millisecond while it runs.
Ran RunJobWith(SplitJob job, const std::function<void(CSplitTask&)>& during = {}) {
  std::atomic<bool> done{false};
  Ran out;
  CSplitTask task(
      std::move(job),
      [&done](CSplitTask& t) {
        done = true;
        t.WaitDoneHandled();
      },
      ZANTREL_BIN_DIR, {});
  task.Start();
  const auto guard = Clock::now() + std::chrono::minutes(2);  // a hung tool only
  while (!done && Clock::now() < guard) {
    if (during) during(task);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  out.ended = done;
  out.runs = task.Runs();
  out.files = task.Files();
  out.summary = task.Summary();
  task.ReleaseDone();
  return out;
}

// A job of pieces cut at `cuts` (whole seconds) from a `seconds`-long source
// into `folder`, replacing what is there.
SplitJob ReplaceJob(const std::string& source, const std::string& folder, int seconds,
                    const std::vector<int>& cuts) {
  EXPECT_TRUE(CreateFolderPath(folder));
  SplitJob job;
  job.sourcePath = source;
  job.outputBase = folder + "/" + fs::path(source).filename().string();
  job.duration = seconds;
  job.count = static_cast<int>(cuts.size()) + 2;
  job.boundaries.assign(cuts.begin(), cuts.end());
  job.replaceExisting = true;
  return job;
}

// The earlier run's pieces: bytes of their own, so that any change shows.
std::vector<std::string> PlantOldPieces(const SplitJob& job) {
  std::vector<std::string> bytes;
  for (int k = 1; k < job.count; ++k) {
    bytes.push_back("old piece " + std::to_string(k) + " of an earlier run\n");
    WriteFileBytes(SegmentOutputName(job.outputBase, k), bytes.back());
  }
  return bytes;
}

void ExpectOldPiece(const SplitJob& job, int k, const std::string& bytes) {
  EXPECT_EQ(ReadFileBytes(SegmentOutputName(job.outputBase, k)), bytes) << "piece " << k << " was not kept";
}

std::vector<std::string> HiddenFiles(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().filename().string()[0] == '.') names.push_back(e.path().filename().string());
  return names;
}

// True once the run of `segment` has its temporary file: the new piece is
// being written while the old one still has the name.
bool WritingTemp(const CSplitTask& task, int segment) {
  const auto run = task.CurrentToolProcess();
  if (!run || run->segment != segment || run->pid <= 0) return false;
  const std::string prefix = "." + fs::path(run->outputPath).filename().string() + ".part-";
  for (const std::string& name : HiddenFiles(fs::path(run->outputPath).parent_path()))
    if (name.rfind(prefix, 0) == 0) return true;
  return false;
}

// The leave in the environment covers exactly the piece it names.
TEST(ReplaceLeave, CoversOnlyTheOutputItNames) {
  const Clip& clip = GetClip("flv_h264");
  ASSERT_FALSE(clip.path.empty());
  TempDir dir;
  const std::string out = dir.File("piece.flv");
  WriteFileBytes(out, "keep me");
  const std::string env = std::string(tool_args::kReplaceEnv) + "=";
  for (const std::string& other : {dir.File("other.flv"), dir.path() + "/./piece.flv", std::string()}) {
    const ToolResult r = RunTool(CutArgs(clip.path, 1, 1, out, /*overwrite=*/false), {env + other});
    EXPECT_NE(r.exitCode, 0) << other;
    EXPECT_EQ(ReadFileBytes(out), "keep me") << other;
  }
  const ToolResult r = RunTool(CutArgs(clip.path, 1, 1, out, /*overwrite=*/false), {env + out});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  const PieceFacts p = ReadPiece(out);
  ASSERT_FALSE(p.frameIndices.empty());
  EXPECT_EQ(p.frameIndices.front(), 25);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"piece.flv"});
}

class ReplaceTest : public ::testing::Test {
 protected:
  // Long enough, and re-encoded in full (MPEG-4 with B-frames), that a run
  // is caught while it writes; made once, copied for each test.
  static void SetUpTestSuite() {
    clipDir_ = new TempDir;
    if (!MakeBarcodeClip(clipDir_->File("clip.mp4"), "640x480", "25", "8",
                         {"-c:v", "mpeg4", "-bf", "2", "-q:v", "2", "-c:a", "aac"}))
      std::filesystem::remove(clipDir_->File("clip.mp4"));
  }
  static void TearDownTestSuite() {
    delete clipDir_;
    clipDir_ = nullptr;
  }
  void SetUp() override {
    source_ = dir_.File("clip.mp4");
    ASSERT_TRUE(FileExists(clipDir_->File("clip.mp4"))) << "ffmpeg could not make the clip";
    fs::copy_file(clipDir_->File("clip.mp4"), source_);
  }
  static TempDir* clipDir_;
  TempDir dir_;
  std::string source_;
};
TempDir* ReplaceTest::clipDir_ = nullptr;

TEST_F(ReplaceTest, FailedRunsKeepEveryOldPiece) {
  // The source moved away after the first run: both runs fail.
  const SplitJob job = ReplaceJob(source_, dir_.File("out"), 8, {4});
  const std::vector<std::string> old = PlantOldPieces(job);
  fs::rename(source_, dir_.File("moved.mp4"));
  const Ran r = RunJobWith(job);
  ASSERT_TRUE(r.ended);
  ASSERT_EQ(r.runs.size(), 2u);
  for (const auto& run : r.runs) {
    EXPECT_TRUE(run->Failed()) << run->toolMessage;
    EXPECT_EQ(run->file, PieceFile::kOld);
  }
  ExpectOldPiece(job, 1, old[0]);
  ExpectOldPiece(job, 2, old[1]);
  EXPECT_EQ(r.files, (std::vector<PieceFile>{PieceFile::kOld, PieceFile::kOld}));
  EXPECT_EQ(r.summary.oldKept, 2);
  EXPECT_EQ(HiddenFiles(dir_.File("out")), std::vector<std::string>{});
}

TEST_F(ReplaceTest, PartWayFailureLeavesNewPiecesWrittenAndOldOnesFailed) {
  // Pieces 1 and 2 lie in the source, piece 3 starts past its end.
  const SplitJob job = ReplaceJob(source_, dir_.File("out"), 12, {3, 9});
  const std::vector<std::string> old = PlantOldPieces(job);
  const Ran r = RunJobWith(job);
  ASSERT_TRUE(r.ended);
  ASSERT_EQ(r.runs.size(), 3u);
  for (int k = 1; k <= 2; ++k) {
    SCOPED_TRACE("piece " + std::to_string(k));
    const CToolProcess& run = *r.runs[static_cast<std::size_t>(k - 1)];
    EXPECT_EQ(run.Outcome(), PieceOutcome::kWritten) << run.toolMessage;
    EXPECT_EQ(run.file, PieceFile::kNew);
    const PieceFacts p = ReadPiece(SegmentOutputName(job.outputBase, k));
    ASSERT_TRUE(p.opened);
    ASSERT_FALSE(p.frameIndices.empty());
    EXPECT_EQ(p.frameIndices.front(), k == 1 ? 0 : 3 * 25);
  }
  EXPECT_TRUE(r.runs[2]->Failed()) << r.runs[2]->toolMessage;
  ExpectOldPiece(job, 3, old[2]);
  EXPECT_EQ(r.files, (std::vector<PieceFile>{PieceFile::kNew, PieceFile::kNew, PieceFile::kOld}));
  EXPECT_EQ(r.summary.written, 2);
  EXPECT_EQ(r.summary.oldKept, 1);
  EXPECT_EQ(HiddenFiles(dir_.File("out")), std::vector<std::string>{});
}

// Stop, or SIGKILL of the tool, while the first piece's new version is being
// written under its temporary name.
TEST_F(ReplaceTest, StoppedOrKilledRunKeepsTheOldPiece) {
  for (const bool kill : {false, true}) {
    SCOPED_TRACE(kill ? "killed" : "stopped");
    bool caught = false;
    // A run that ends before it is caught (a very fast machine) is tried again.
    for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
      const std::string folder = dir_.File((kill ? "k" : "s") + std::to_string(attempt));
      const SplitJob job = ReplaceJob(source_, folder, 8, {4});
      const std::vector<std::string> old = PlantOldPieces(job);
      bool sent = false;
      const Ran r = RunJobWith(job, [&](CSplitTask& task) {
        if (sent || !WritingTemp(task, 1)) return;
        const auto run = task.CurrentToolProcess();
        if (kill) {
          // Through a pidfd: a run already reaped is never mistaken for
          // another process that got its number.
          const int pfd = static_cast<int>(::syscall(SYS_pidfd_open, run->pid, 0));
          if (pfd >= 0) {
            ::syscall(SYS_pidfd_send_signal, pfd, SIGKILL, nullptr, 0);
            ::close(pfd);
          }
        } else {
          task.Stop();
        }
        sent = true;
      });
      ASSERT_TRUE(r.ended);
      ASSERT_FALSE(r.runs.empty());
      if (r.runs[0]->file == PieceFile::kNew) continue;  // not caught before its rename
      caught = true;
      std::cout << "[ replace ] " << (kill ? "killed" : "stopped") << " mid-run on try " << attempt + 1 << "\n";
      if (kill) {
        EXPECT_EQ(r.runs[0]->Reason(), FailureReason::kToolKilled);
      } else {
        EXPECT_EQ(r.runs[0]->Outcome(), PieceOutcome::kStopped);
        EXPECT_EQ(r.runs.size(), 1u);  // no run after a Stop
      }
      ExpectOldPiece(job, 1, old[0]);
      if (!kill) ExpectOldPiece(job, 2, old[1]);
      EXPECT_EQ(r.files[0], PieceFile::kOld);
      EXPECT_GE(r.summary.oldKept, 1);
      EXPECT_EQ(HiddenFiles(folder), std::vector<std::string>{});
    }
    EXPECT_TRUE(caught) << "no run was caught while writing in 5 tries";
  }
}

}  // namespace
}  // namespace zantrel::tooltest
