// Faults in the middle of a job, through the real worker and the real tool
// on small generated clips: the tool killed at random points, a tiny full
// file system, the output folder or the source taken away or cut short.
// Whatever happens: no half-written piece under a final name, the source
// untouched, no temporary file left, and every failed piece reported with
// its reason.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/job.h"
#include "tool_test_support.h"

namespace zantrel::tooltest {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFps = 25;
constexpr int kSeconds = 3;

// A 3 s barcoded clip of the test's own (the source may be deleted or cut
// short), `codec` choosing the encoders.
std::string MakeSource(const std::string& dir, const std::string& name, const std::vector<std::string>& codec) {
  fs::create_directories(dir);
  const std::string path = dir + "/" + name;
  return MakeBarcodeClip(path, "160x120", std::to_string(kFps), std::to_string(kSeconds), codec) ? path
                                                                                                 : std::string();
}
const std::vector<std::string> kMp4 = {"-c:v", "libx264", "-g", "30", "-c:a", "aac"};
// FLV is read front to back without an index, so a cut-short source is read
// up to its new end rather than refused at once.
const std::vector<std::string> kFlv = {"-c:v", "libx264", "-g", "30", "-c:a", "libmp3lame", "-ar", "44100"};

// The job as Start builds it: `parts` equal pieces of the 3 s source into
// `folder` (created).
SplitJob JobFor(const std::string& source, const std::string& folder, int parts) {
  EXPECT_TRUE(CreateFolderPath(folder)) << folder;
  SplitJob job;
  job.sourcePath = source;
  job.outputBase = folder + "/" + fs::path(source).filename().string();
  job.duration = kSeconds;
  job.count = parts + 1;
  for (int k = 1; k < parts; ++k) job.boundaries.push_back(k * kSeconds / parts);
  return job;
}

struct Ran {
  bool ended = false;  // the DoneFn came before the guard ran out
  std::vector<std::shared_ptr<CToolProcess>> runs;
  JobSummary summary;
  double seconds = 0;
};

// Runs `job` to its end the way the dialog does (the DoneFn waits until the
// end has been handled); `during` is this thread's work about every
// millisecond while the job runs.
Ran RunJobWith(SplitJob job, const std::function<void(CSplitTask&)>& during = {}) {
  std::atomic<bool> done{false};
  Ran out;
  const auto t0 = Clock::now();
  {
    CSplitTask task(
        std::move(job),
        [&done](CSplitTask& t) {
          done = true;
          t.WaitDoneHandled();
        },
        ZANTREL_BIN_DIR, {});
    task.Start();
    // Only a guard against a hung tool.
    const auto guard = t0 + std::chrono::minutes(2);
    while (!done && Clock::now() < guard) {
      if (during) during(task);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    out.ended = done;
    out.runs = task.Runs();
    out.summary = task.Summary();
    task.ReleaseDone();
  }
  out.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  return out;
}

// Piece k's first and one-past-last picture on the source.
std::pair<int, int> PieceFrames(const SplitJob& job, int k) {
  const int from = k == 1 ? 0 : job.boundaries[static_cast<std::size_t>(k - 2)];
  const int to = k == job.count - 1 ? job.duration : job.boundaries[static_cast<std::size_t>(k - 1)];
  return {from * kFps, to * kFps};
}

// A file under a final name must be the whole piece: it decodes, and its
// pictures are the source's from the cut to the next one, none missing.
void ExpectWholePieceAt(const SplitJob& job, int k) {
  const std::string name = SegmentOutputName(job.outputBase, k);
  SCOPED_TRACE(name);
  const auto [from, to] = PieceFrames(job, k);
  const PieceFacts p = ReadPiece(name);
  ASSERT_TRUE(p.opened);
  ASSERT_TRUE(p.video.present);
  ASSERT_EQ(static_cast<int>(p.frameIndices.size()), to - from);
  for (int i = 0; i < to - from; ++i) ASSERT_EQ(p.frameIndices[static_cast<std::size_t>(i)], from + i) << i;
  EXPECT_TRUE(p.audio.present);
}

// Every final name that exists holds a whole piece.
void ExpectOnlyWholePieces(const SplitJob& job) {
  for (int k = 1; k < job.count; ++k)
    if (FileExists(SegmentOutputName(job.outputBase, k))) ExpectWholePieceAt(job, k);
}

// Hidden files in `folder`: the tool's temporaries and the job's probes.
std::vector<std::string> Leftovers(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    const std::string name = e.path().filename().string();
    if (!name.empty() && name[0] == '.') names.push_back(name);
  }
  return names;
}

void ExpectWritten(const CToolProcess& run) {
  EXPECT_TRUE(run.started) << run.startError;
  EXPECT_EQ(run.Outcome(), PieceOutcome::kWritten) << "piece " << run.segment << ": " << run.toolMessage;
}

// Failed for this reason, as the failure report lists it (the window's
// word table says it in the user's words).
void ExpectFailedWith(const CToolProcess& run, FailureReason reason) {
  EXPECT_TRUE(run.Failed()) << "piece " << run.segment;
  EXPECT_EQ(run.Reason(), reason) << run.toolMessage;
}

bool KilledBySignal(const CToolProcess& run) { return run.waitStatus != -1 && WIFSIGNALED(run.waitStatus); }

int EnvCount(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : fallback;
}

// ---------------------------------------------------------------------------
// The tool killed with SIGKILL at random points.

// ZANTREL_FAULT_KILLS raises the count (100 by default). Each kill lands at
// a delay drawn from a fixed seed, over a run's whole life, on the first or
// the second of two pieces; the other piece is cut as usual.
TEST(JobFaults, ToolKilledAtRandomPointsLeavesOnlyWholePieces) {
  const int kills = EnvCount("ZANTREL_FAULT_KILLS", 100);
  TempDir dir;
  const std::string source = MakeSource(dir.File("src"), "clip.mp4", kMp4);
  ASSERT_FALSE(source.empty());
  const std::string before = ReadFileBytes(source);

  // One undisturbed job tells how long a run lasts here.
  const Ran clean = RunJobWith(JobFor(source, dir.File("clean"), 2));
  ASSERT_TRUE(clean.ended);
  ASSERT_EQ(clean.runs.size(), 2u);
  for (const auto& run : clean.runs) ExpectWritten(*run);
  const double perRun = clean.seconds / 2;

  std::mt19937 rng(20261209);
  std::uniform_real_distribution<double> delayOf(0, perRun * 1.2);
  std::uniform_int_distribution<int> pieceOf(1, 2);
  int landedBeforeRename = 0, landedAfterRename = 0, missed = 0;
  for (int i = 0; i < kills && !HasFailure(); ++i) {
    const std::string folder = dir.File("k" + std::to_string(i));
    const SplitJob job = JobFor(source, folder, 2);
    const int target = pieceOf(rng);
    const auto delay = std::chrono::duration<double>(delayOf(rng));
    SCOPED_TRACE("kill " + std::to_string(i) + " of piece " + std::to_string(target) + " after " +
                 std::to_string(delay.count()) + " s");
    Clock::time_point seen{};
    bool sent = false;
    const Ran r = RunJobWith(job, [&](CSplitTask& task) {
      if (sent) return;
      const auto run = task.CurrentToolProcess();
      if (!run || run->segment != target || run->pid <= 0) return;
      if (seen == Clock::time_point{}) seen = Clock::now();
      if (Clock::now() - seen < delay) return;
      // Through a pidfd: a run already reaped is never mistaken for a new
      // process that got its number.
      const int pfd = static_cast<int>(::syscall(SYS_pidfd_open, run->pid, 0));
      if (pfd >= 0) {
        ::syscall(SYS_pidfd_send_signal, pfd, SIGKILL, nullptr, 0);
        ::close(pfd);
      }
      sent = true;
    });
    ASSERT_TRUE(r.ended);
    ASSERT_EQ(r.runs.size(), 2u);
    int failed = 0;
    for (const auto& run : r.runs) {
      if (!KilledBySignal(*run)) {
        ExpectWritten(*run);
        continue;
      }
      ++failed;
      ExpectFailedWith(*run, FailureReason::kToolKilled);
      EXPECT_EQ(run->Signal(), 9);
      if (run->outputExists) ++landedAfterRename;
      else ++landedBeforeRename;
    }
    missed += failed == 0;
    // The job says so: never all done when a run was killed.
    EXPECT_EQ(r.summary.failed, failed);
    EXPECT_EQ(r.summary.written + r.summary.failed, 2);
    ExpectOnlyWholePieces(job);
    EXPECT_EQ(Leftovers(folder), std::vector<std::string>{});
    EXPECT_EQ(ReadFileBytes(source), before) << "the source changed";
    fs::remove_all(folder);
  }
  std::cout << "[ kills ] " << kills << " kills: " << landedBeforeRename << " before the piece was in place, "
            << landedAfterRename << " after, " << missed << " after the run had ended; a run takes about "
            << perRun << " s\n";
  // The delays cover the runs' lives: most kills must land mid-run.
  EXPECT_GE(landedBeforeRename + landedAfterRename, kills / 2);
}

// The program itself killed mid-job (here a forked process that runs the
// job): the tool it had started runs on by itself and either puts a whole
// piece in place or nothing; no later piece starts.
TEST(JobFaults, JobKilledMidWayLeavesOnlyWholePieces) {
  const int kills = EnvCount("ZANTREL_FAULT_JOB_KILLS", 10);
  TempDir dir;
  const std::string source = MakeSource(dir.File("src"), "clip.mp4", kMp4);
  ASSERT_FALSE(source.empty());
  const std::string before = ReadFileBytes(source);
  const Ran clean = RunJobWith(JobFor(source, dir.File("clean"), 3));
  ASSERT_TRUE(clean.ended);
  for (const auto& run : clean.runs) ExpectWritten(*run);

  // The orphaned tool comes to us rather than to init, so the test can
  // wait for it; put back at the end.
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  struct Unreap {
    ~Unreap() { ::prctl(PR_SET_CHILD_SUBREAPER, 0); }
  } unreap;
  std::mt19937 rng(4242);
  std::uniform_real_distribution<double> delayOf(0, clean.seconds);
  int orphans = 0;
  for (int i = 0; i < kills && !HasFailure(); ++i) {
    const std::string folder = dir.File("j" + std::to_string(i));
    const SplitJob job = JobFor(source, folder, 3);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // The tool it starts is put in a process group of our own, so that
      // the test can wait for it after the job has gone.
      ::setpgid(0, 0);
      const Ran r = RunJobWith(job);
      ::_exit(r.ended ? 0 : 1);
    }
    ::setpgid(pid, pid);
    std::this_thread::sleep_for(std::chrono::duration<double>(delayOf(rng)));
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    // The orphaned tool, if one was live, finishes on its own.
    while (::waitpid(-pid, &status, 0) > 0) ++orphans;
    ExpectOnlyWholePieces(job);
    EXPECT_EQ(Leftovers(folder), std::vector<std::string>{});
    EXPECT_EQ(ReadFileBytes(source), before);
    fs::remove_all(folder);
  }
  std::cout << "[ job kills ] " << kills << " kills of the job, " << orphans << " left a tool running on\n";
}

// ---------------------------------------------------------------------------
// A tiny, nearly full file system as the output folder.

// A tmpfs of `size` mounted on `dir` for the life of the object.
class TmpfsMount {
 public:
  TmpfsMount(const std::string& dir, const char* size) : dir_(dir) {
    fs::create_directories(dir);
    if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0) mounted_ = true;
    else error_ = std::strerror(errno);
  }
  ~TmpfsMount() {
    if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
  }
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;
  bool mounted() const { return mounted_; }
  const std::string& error() const { return error_; }
  std::int64_t FreeBytes() const {
    struct statvfs v {};
    return ::statvfs(dir_.c_str(), &v) == 0 ? static_cast<std::int64_t>(v.f_bavail) * v.f_frsize : -1;
  }

 private:
  std::string dir_;
  bool mounted_ = false;
  std::string error_;
};

// Writes zeros into `path` until `bytes` are written or the disk is full.
void Fill(const std::string& path, std::int64_t bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  const std::string block(4096, '\0');
  for (std::int64_t done = 0; done < bytes;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(4096, bytes - done));
    if (std::fwrite(block.data(), 1, n, f) != n) break;
    done += static_cast<std::int64_t>(n);
  }
  std::fclose(f);  // a full disk may refuse the last flush: that is the point
}

std::int64_t PageUp(std::int64_t bytes) { return (bytes + 4095) / 4096 * 4096; }

TEST(JobFaults, TinyFullDiskFailsThePiecesThatDoNotFitAndSaysSo) {
  TempDir dir;
  const std::string source = MakeSource(dir.File("src"), "clip.mp4", kMp4);
  ASSERT_FALSE(source.empty());
  const std::string before = ReadFileBytes(source);

  // The pieces' sizes, from a job on a roomy disk.
  const Ran roomy = RunJobWith(JobFor(source, dir.File("roomy"), 3));
  ASSERT_TRUE(roomy.ended);
  ASSERT_EQ(roomy.runs.size(), 3u);
  std::vector<std::int64_t> sizes;
  for (const auto& run : roomy.runs) {
    ExpectWritten(*run);
    sizes.push_back(PageUp(static_cast<std::int64_t>(fs::file_size(run->outputPath))));
  }

  const std::string mountPoint = dir.File("tiny");
  TmpfsMount tiny(mountPoint, "256k");
  if (!tiny.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here: " << tiny.error();
  const std::string folder = mountPoint + "/out";
  const std::string folder2 = mountPoint + "/out2";
  ASSERT_TRUE(CreateFolderPath(folder));
  ASSERT_TRUE(CreateFolderPath(folder2));
  // Room for the first piece and half the second.
  const std::int64_t room = sizes[0] + sizes[1] / 2;
  ASSERT_GT(tiny.FreeBytes(), room + sizes[1]) << "the pieces are too big for the test's disk";
  Fill(mountPoint + "/filler", tiny.FreeBytes() - room);

  const SplitJob job = JobFor(source, folder, 3);
  const Ran r = RunJobWith(job);
  ASSERT_TRUE(r.ended);
  ASSERT_EQ(r.runs.size(), 3u);
  ExpectWritten(*r.runs[0]);
  ExpectFailedWith(*r.runs[1], FailureReason::kDiskFull);
  // The last piece may be small enough for what is left.
  if (r.runs[2]->Failed()) ExpectFailedWith(*r.runs[2], FailureReason::kDiskFull);
  EXPECT_GE(r.summary.failed, 1);
  EXPECT_FALSE(FileExists(SegmentOutputName(job.outputBase, 2)));
  ExpectOnlyWholePieces(job);
  EXPECT_EQ(Leftovers(folder), std::vector<std::string>{});

  // Now not one byte free: every piece fails, nothing stays behind.
  Fill(mountPoint + "/filler2", tiny.FreeBytes() + 4096);
  ASSERT_LT(tiny.FreeBytes(), 4096);
  const SplitJob full = JobFor(source, folder2, 3);
  const Ran r2 = RunJobWith(full);
  ASSERT_TRUE(r2.ended);
  ASSERT_EQ(r2.runs.size(), 3u);
  for (const auto& run : r2.runs) ExpectFailedWith(*run, FailureReason::kDiskFull);
  EXPECT_TRUE(fs::is_empty(folder2));
  EXPECT_EQ(ReadFileBytes(source), before);
  std::cout << "[ full disk ] piece sizes " << sizes[0] << ", " << sizes[1] << ", " << sizes[2]
            << " bytes; " << r.summary.written << " of 3 written into room for " << room << "\n";
}

// ---------------------------------------------------------------------------
// The output folder or the source taken away during the job.

TEST(JobFaults, OutputFolderRemovedAfterTheFirstPiece) {
  TempDir dir;
  const std::string source = MakeSource(dir.File("src"), "clip.mp4", kMp4);
  ASSERT_FALSE(source.empty());
  const std::string before = ReadFileBytes(source);
  const std::string folder = dir.File("out");
  const SplitJob job = JobFor(source, folder, 3);
  const std::string first = SegmentOutputName(job.outputBase, 1);
  bool removed = false;
  const Ran r = RunJobWith(job, [&](CSplitTask&) {
    if (removed || !FileExists(first)) return;
    // The next run may be creating its temporary file right now; try again
    // until the folder is gone.
    std::error_code ec;
    fs::remove_all(folder, ec);
    removed = !fs::exists(folder);
  });
  ASSERT_TRUE(removed);
  ASSERT_TRUE(r.ended);
  ASSERT_EQ(r.runs.size(), 3u);
  // The first piece was in place; it went with the folder, perhaps before
  // the job looked.
  if (r.runs[0]->Failed()) ExpectFailedWith(*r.runs[0], FailureReason::kFolderMissing);
  for (std::size_t i = 1; i < 3; ++i)
    ExpectFailedWith(*r.runs[i], FailureReason::kFolderMissing);
  EXPECT_GE(r.summary.failed, 2);
  // Nothing was made again: not the folder, not a piece anywhere else.
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_EQ(dir.List(), std::vector<std::string>{"src"});
  EXPECT_EQ(fs::directory_iterator(dir.File("src"))->path().filename(), "clip.mp4");
  for (int k = 1; k <= 3; ++k)
    EXPECT_FALSE(FileExists(fs::path(SegmentOutputName(job.outputBase, k)).filename().string()));
  EXPECT_EQ(ReadFileBytes(source), before);
}

TEST(JobFaults, SourceDeletedAfterTheFirstPieceOrMidCut) {
  for (const bool midCut : {false, true}) {
    SCOPED_TRACE(midCut ? "deleted while the first piece is cut" : "deleted after the first piece");
    TempDir dir;
    const std::string source = MakeSource(dir.File("src"), "clip.mp4", kMp4);
    ASSERT_FALSE(source.empty());
    const std::string folder = dir.File("out");
    const SplitJob job = JobFor(source, folder, 3);
    const std::string first = SegmentOutputName(job.outputBase, 1);
    Clock::time_point seen{};
    bool deleted = false;
    const Ran r = RunJobWith(job, [&](CSplitTask& task) {
      if (deleted) return;
      if (midCut) {
        // A little into the first run: the tool has the source open.
        const auto run = task.CurrentToolProcess();
        if (!run || run->segment != 1) return;
        if (seen == Clock::time_point{}) seen = Clock::now();
        if (Clock::now() - seen < std::chrono::milliseconds(60)) return;
      } else if (!FileExists(first)) {
        return;
      }
      deleted = ::unlink(source.c_str()) == 0;
    });
    ASSERT_TRUE(deleted);
    ASSERT_TRUE(r.ended);
    ASSERT_EQ(r.runs.size(), 3u);
    // The run that had the source open finishes from it, or fails cleanly.
    if (r.runs[0]->Failed()) ExpectFailedWith(*r.runs[0], FailureReason::kSourceMissing);
    else ExpectWritten(*r.runs[0]);
    for (std::size_t i = 1; i < 3; ++i)
      ExpectFailedWith(*r.runs[i], FailureReason::kSourceMissing);
    ExpectOnlyWholePieces(job);
    EXPECT_EQ(Leftovers(folder), std::vector<std::string>{});
  }
}

// A source cut to half its length: the pieces planned past its new end must
// not come out short under their final names.
TEST(JobFaults, SourceCutShortAfterTheFirstPieceOrMidCut) {
  for (const bool midCut : {false, true}) {
    SCOPED_TRACE(midCut ? "cut short while the second piece is cut" : "cut short after the first piece");
    TempDir dir;
    const std::string source = MakeSource(dir.File("src"), "clip.flv", kFlv);
    ASSERT_FALSE(source.empty());
    const auto half = fs::file_size(source) / 2;
    const std::string folder = dir.File("out");
    const SplitJob job = JobFor(source, folder, 3);
    const std::string first = SegmentOutputName(job.outputBase, 1);
    Clock::time_point seen{};
    bool cut = false;
    const Ran r = RunJobWith(job, [&](CSplitTask& task) {
      if (cut) return;
      if (midCut) {
        const auto run = task.CurrentToolProcess();
        if (!run || run->segment != 2) return;
        if (seen == Clock::time_point{}) seen = Clock::now();
        if (Clock::now() - seen < std::chrono::milliseconds(60)) return;
      } else if (!FileExists(first)) {
        return;
      }
      fs::resize_file(source, half);
      cut = true;
    });
    ASSERT_TRUE(cut);
    ASSERT_TRUE(r.ended);
    ASSERT_EQ(r.runs.size(), 3u);
    ExpectWritten(*r.runs[0]);
    if (midCut) {
      // Read whole before the cut came, or refused.
      if (r.runs[1]->Failed()) ExpectFailedWith(*r.runs[1], FailureReason::kSourceChanged);
      else ExpectWritten(*r.runs[1]);
    } else {
      ExpectFailedWith(*r.runs[1], FailureReason::kSourceChanged);
      // Not even tried: the source was not the one planned any more.
      EXPECT_FALSE(r.runs[1]->started);
    }
    ExpectFailedWith(*r.runs[2], FailureReason::kSourceChanged);
    EXPECT_FALSE(r.runs[2]->started);
    EXPECT_FALSE(FileExists(SegmentOutputName(job.outputBase, 3)));
    ExpectOnlyWholePieces(job);
    EXPECT_EQ(Leftovers(folder), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace zantrel::tooltest
