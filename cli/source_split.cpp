#include "cli/source_split.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "engine/job.h"
#include "engine/plan.h"
#include "engine/probe_run.h"
#include "platform/fs.h"
#include "platform/path.h"

namespace zantrel::cli {

namespace {

constexpr std::int64_t kUsPerSecond = 1000000;
// Long enough for a probe on a loaded machine; a source that says nothing by
// then is not one the tool can cut.
constexpr int kProbeTimeoutMs = 15000;

std::string BaseName(const std::string& path) {
  const std::size_t sep = path.rfind(kPathSep);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

PieceKind KindOfFailure(FailureReason reason) {
  switch (reason) {
    case FailureReason::kAlreadyExists: return PieceKind::kExists;
    case FailureReason::kDiskFull: return PieceKind::kNoSpace;
    case FailureReason::kPermissionDenied: return PieceKind::kNoPermission;
    case FailureReason::kUnreadableSource: return PieceKind::kSourceUnreadable;
    case FailureReason::kSourceMissing: return PieceKind::kSourceMissing;
    case FailureReason::kSourceChanged: return PieceKind::kSourceChanged;
    case FailureReason::kFolderMissing: return PieceKind::kFolderMissing;
    case FailureReason::kToolKilled: return PieceKind::kToolKilled;
    case FailureReason::kToolMissing: return PieceKind::kToolMissing;
    case FailureReason::kNone:
    case FailureReason::kOther: break;
  }
  return PieceKind::kInternal;
}

PieceResult ResultOf(const CToolProcess& run) {
  PieceResult r;
  r.index = run.segment;
  switch (run.Outcome()) {
    case PieceOutcome::kWritten: r.kind = PieceKind::kWritten; break;
    case PieceOutcome::kEmpty: r.kind = PieceKind::kEmpty; break;
    case PieceOutcome::kStopped: r.kind = PieceKind::kStopped; break;
    case PieceOutcome::kFailed:
      r.kind = KindOfFailure(run.Reason());
      if (r.kind == PieceKind::kToolKilled) r.signal = WTERMSIG(run.waitStatus);
      r.toolDetail = run.started ? run.toolMessage : run.startError;
      break;
  }
  return r;
}

// The folder exists (made when missing) and a file can be created in it;
// otherwise the errno that stopped it.
int CheckFolder(const std::string& folder) {
  errno = 0;
  if (!CreateFolderPath(folder)) return errno ? errno : ENOTDIR;
  std::string probe = folder + ".zantrel-write-check-XXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return errno;
  ::close(fd);
  ::unlink(probe.c_str());
  return 0;
}

}  // namespace

bool IsFailure(PieceKind kind) {
  switch (kind) {
    case PieceKind::kWritten:
    case PieceKind::kEmpty:
    case PieceKind::kPlanned:
    case PieceKind::kStopped:
    case PieceKind::kNotRun:
      return false;
    default:
      return true;
  }
}

std::string DefaultOutputFolder() {
  // The user's Videos folder as the desktop names it, else ~/Videos.
  std::string base;
  if (const char* v = std::getenv("XDG_VIDEOS_DIR"); v && *v == kPathSep) base = v;
  if (base.empty()) {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : "") + kPathSepStr + "Videos";
  }
  if (base.back() != kPathSep) base += kPathSep;
  return base + "ZantrelOutput" + kPathSepStr;
}

SourceSplit::SourceSplit(const Options& options, std::string source, std::string folder,
                         std::string programDir)
    : source_(std::move(source)), folder_(std::move(folder)), programDir_(std::move(programDir)) {
  if (folder_.empty()) {
    folder_ = DirOfPath(source_);
    if (folder_.empty()) folder_ = std::string(".") + kPathSepStr;
  }
  if (folder_.back() != kPathSep) folder_ += kPathSep;
  Probe();
  if (problem_ == SourceProblem::kNone) Plan(options);
}

SourceSplit::~SourceSplit() = default;  // CSplitTask's destructor stops and joins

void SourceSplit::Probe() {
  struct stat st;
  if (::stat(source_.c_str(), &st) != 0) {
    sysError_ = errno;
    problem_ = errno == ENOENT || errno == ENOTDIR ? SourceProblem::kMissing : SourceProblem::kUnreadable;
    return;
  }
  if (!S_ISREG(st.st_mode)) {
    problem_ = SourceProblem::kNotAFile;
    return;
  }
  const int fd = ::open(source_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    sysError_ = errno;
    problem_ = SourceProblem::kUnreadable;
    return;
  }
  ::close(fd);
  const int seconds = RunProbe(source_, programDir_, kProbeTimeoutMs);
  // The window cuts nothing without a duration of at least a second either.
  if (seconds < 1) {
    problem_ = SourceProblem::kNotVideo;
    return;
  }
  durationUs_ = static_cast<std::int64_t>(seconds) * kUsPerSecond;
}

void SourceSplit::Plan(const Options& options) {
  const int seconds = static_cast<int>(durationUs_ / kUsPerSecond);
  if (options.mode == CutMode::kAt) {
    std::vector<std::int64_t> points = options.atUs;
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    count_ = 2;
    for (std::int64_t t : points) {
      if (t >= durationUs_) {
        droppedUs_.push_back(t);
        continue;
      }
      if (t % kUsPerSecond != 0) roundedUs_.push_back(t);
      boundaries_.push_back(static_cast<std::int32_t>(t / kUsPerSecond));
      ++count_;
    }
  } else {
    SplitPlanInput in;
    in.duration = seconds;
    if (options.mode == CutMode::kParts) {
      in.mode = kSplitAverage;
      in.parts = options.parts;
    } else {
      in.mode = kSplitEqualTime;
      in.secondsPerPart = static_cast<int>(options.everyUs / kUsPerSecond);
    }
    const SplitPlan plan = BuildSplitPlan(in);
    if (!plan.valid) {
      problem_ = SourceProblem::kTooManyParts;
      return;
    }
    count_ = plan.count;
    boundaries_.assign(plan.boundaries.begin(), plan.boundaries.end());
  }
  if (count_ < 2) {
    problem_ = SourceProblem::kNothingToCut;
    return;
  }
  const std::string base = folder_ + BaseName(source_);
  std::int64_t prev = 0;
  for (int k = 1; k < count_; ++k) {
    const std::int64_t end = k < count_ - 1 ? std::int64_t{boundaries_[k - 1]} * kUsPerSecond : durationUs_;
    pieces_.push_back({k, prev, end - prev, SegmentOutputName(base, k)});
    prev = end;
  }
}

std::vector<std::string> SourceSplit::ExistingPieces() const {
  std::vector<std::string> existing;
  for (const PlannedPiece& p : pieces_) {
    struct stat st;
    if (::lstat(p.path.c_str(), &st) == 0) existing.push_back(p.path);
  }
  return existing;
}

bool SourceSplit::Start(bool replace, std::vector<std::string> env, std::function<void()> wake) {
  if (problem_ != SourceProblem::kNone || task_) return false;
  if (const int err = CheckFolder(folder_)) {
    sysError_ = err;
    problem_ = SourceProblem::kFolderUnusable;
    return false;
  }
  const std::vector<std::string> existing = ExistingPieces();
  if (!existing.empty()) {
    if (!replace) {
      problem_ = SourceProblem::kPiecesExist;
      return false;
    }
    // The window's replace: exactly the job's own names go before the first
    // run, and the tool writes them afresh.
    for (const std::string& path : existing) {
      if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        sysError_ = errno;
        problem_ = SourceProblem::kReplaceFailed;
        return false;
      }
    }
  }

  SplitJob job;
  job.sourcePath = source_;
  job.outputBase = folder_ + BaseName(source_);
  job.duration = static_cast<std::int32_t>(durationUs_ / kUsPerSecond);
  job.count = count_;
  job.boundaries = boundaries_;
  task_ = std::make_unique<CSplitTask>(
      std::move(job), [wake = std::move(wake)](CSplitTask&) { wake(); }, programDir_, std::move(env));
  task_->SetToolsInOwnProcessGroup(true);
  task_->Start();
  return true;
}

void SourceSplit::Stop() {
  if (task_) task_->Stop();
}

bool SourceSplit::Finished() const { return task_ && task_->Finished(); }

std::vector<PieceResult> SourceSplit::EndedResults() const {
  std::vector<PieceResult> results;
  if (!task_) return results;
  // Read Finished first: once it is set every run's record is complete, and
  // a run followed by another has ended (the worker records it before the
  // next one starts, under the lock Runs() takes).
  const bool finished = task_->Finished();
  const auto runs = task_->Runs();
  const std::size_t ended = finished ? runs.size() : (runs.empty() ? 0 : runs.size() - 1);
  for (std::size_t i = 0; i < ended; ++i) results.push_back(ResultOf(*runs[i]));
  if (finished) {
    for (std::size_t k = results.size() + 1; k <= pieces_.size(); ++k) {
      PieceResult r;
      r.index = static_cast<int>(k);
      r.kind = PieceKind::kNotRun;
      results.push_back(r);
    }
  }
  return results;
}

int SourceSplit::PiecesBeforeRun(pid_t sender) const {
  return task_ && sender > 0 ? task_->PiecesBeforeRun(sender) : -1;
}

}  // namespace zantrel::cli
