#include "cli/source_split.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "engine/probe_run.h"
#include "platform/fs.h"
#include "platform/path.h"

namespace zantrel::cli {

namespace {

constexpr std::int64_t kUsPerSecond = 1000000;
// Long enough for a probe on a loaded machine; a source that says nothing by
// then is not one the tool can cut.
constexpr int kProbeTimeoutMs = 15000;

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

CutMethod MethodOf(PieceMaking making) {
  switch (making) {
    case PieceMaking::kSmartCut: return CutMethod::kSmart;
    case PieceMaking::kReencoded: return CutMethod::kReencode;
    case PieceMaking::kUnknown: break;
  }
  return CutMethod::kUnknown;
}

PieceResult ResultOf(const CToolProcess& run) {
  PieceResult r;
  r.index = run.segment;
  switch (run.Outcome()) {
    case PieceOutcome::kWritten:
      r.kind = PieceKind::kWritten;
      r.method = MethodOf(run.making);
      break;
    case PieceOutcome::kEmpty: r.kind = PieceKind::kEmpty; break;
    case PieceOutcome::kStopped: r.kind = PieceKind::kStopped; break;
    case PieceOutcome::kFailed:
      r.kind = KindOfFailure(run.Reason());
      r.signal = run.Signal();
      r.toolDetail = run.started ? run.toolMessage : run.startError;
      break;
  }
  return r;
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

SourceSplit::SourceSplit(const Options& options, std::string source, std::string folder,
                         std::string programDir)
    : source_(std::move(source)), folder_(std::move(folder)), programDir_(std::move(programDir)) {
  SplitModel::Callbacks cb;
  cb.jobEnded = [this](const JobEnd&) { ended_ = true; };
  model_ = std::make_unique<SplitModel>(std::move(cb));
  model_->SetToolsInOwnProcessGroup(true);
  model_->SetSource(source_);
  if (folder_.empty()) {
    model_->SetBesideSource(true);
    folder_ = DirOfPath(source_);
    if (folder_.empty()) folder_ = std::string(".") + kPathSepStr;
  } else {
    model_->SetOutputFolder(folder_);
  }
  if (folder_.back() != kPathSep) folder_ += kPathSep;
  Probe();
  if (problem_ == SourceProblem::kNone) Plan(options);
}

// The model's destructor stops a running job (its temporary file removed)
// and joins its worker.
SourceSplit::~SourceSplit() = default;

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
  model_->SetDuration(seconds);
  // The window cuts nothing without a duration of at least a second either.
  if (!model_->DurationReady()) {
    problem_ = SourceProblem::kNotVideo;
    return;
  }
  durationUs_ = static_cast<std::int64_t>(seconds) * kUsPerSecond;
}

void SourceSplit::Plan(const Options& options) {
  switch (options.mode) {
    case CutMode::kParts:
      model_->SetMode(kSplitAverage);
      model_->SetParts(options.parts);
      break;
    case CutMode::kEvery:
      model_->SetMode(kSplitEqualTime);
      model_->SetSecondsPerPart(static_cast<int>(options.everyUs / kUsPerSecond));
      break;
    case CutMode::kAt:
    case CutMode::kNone:
      model_->SetMode(kSplitCustom);
      for (std::int64_t t : options.atUs) {
        if (t >= durationUs_) {
          if (std::find(droppedUs_.begin(), droppedUs_.end(), t) == droppedUs_.end()) droppedUs_.push_back(t);
          continue;
        }
        // A repeated time is one point, as Add keeps it.
        model_->AddPointAtTime(t, ClockText(t));
      }
      break;
  }
  if (!model_->Plan().valid) {
    problem_ = SourceProblem::kTooManyParts;
    return;
  }
  int k = 0;
  for (const SplitModel::Piece& p : model_->PlannedPieces()) {
    ++k;
    pieces_.push_back({k, p.startUs, p.endUs - p.startUs, p.outputPath});
  }
  if (pieces_.empty()) problem_ = SourceProblem::kNothingToCut;
  // Where the plan does not start a piece at a point's exact time, the user
  // is told where it does cut.
  for (const SplitPoint& p : model_->Points()) {
    const bool exact = std::any_of(pieces_.begin(), pieces_.end(),
                                   [&](const PlannedPiece& piece) { return piece.startUs == p.timeUs; });
    if (!exact) roundedUs_.push_back(p.timeUs);
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

namespace {
// The folder's problem as the errno the messages are worded from.
int FolderErrno(const FolderCheck& c) {
  switch (c.problem) {
    case FolderProblem::kMissing:
      return ENOENT;
    case FolderProblem::kNotFolder:
      return ENOTDIR;
    case FolderProblem::kNoPermission:
      return EACCES;
    case FolderProblem::kReadOnly:
      return EROFS;
    case FolderProblem::kNoSpace:
      return ENOSPC;
    case FolderProblem::kTakesNoFiles:
      return EINVAL;
    default:
      return c.errnoValue ? c.errnoValue : EIO;
  }
}
}  // namespace

bool SourceSplit::Start(bool replace, std::vector<std::string> env, std::function<void()> wake) {
  if (problem_ != SourceProblem::kNone || started_) return false;
  errno = 0;
  StartCheck check = model_->CheckStart();
  switch (check.problem) {
    case StartProblem::kNone:
      break;
    case StartProblem::kFolderUnusable:
      sysError_ = FolderErrno(check.folderCheck);
      problem_ = SourceProblem::kFolderUnusable;
      return false;
    case StartProblem::kPlanInvalid:
      problem_ = SourceProblem::kTooManyParts;
      return false;
    default:
      // The source and its duration were set above; nothing else is left.
      problem_ = SourceProblem::kNothingToCut;
      return false;
  }
  if (!check.existing.empty()) {
    if (!replace) {
      problem_ = SourceProblem::kPiecesExist;
      return false;
    }
    // Each old piece gives way only to its new one, once that is whole.
    check.job.replaceExisting = true;
  }
  std::shared_ptr<JobNewsQueue> news = news_;
  started_ = model_->StartJob(check, programDir_, std::move(env),
                              [news, wake = std::move(wake)](std::function<void()> call) {
                                news->Post(std::move(call));
                                wake();
                                return true;
                              });
  return started_;
}

void SourceSplit::Stop() {
  if (started_) model_->Stop();
}

void SourceSplit::Drain() { news_->RunPending(); }

bool SourceSplit::Finished() const { return ended_; }

std::vector<PieceResult> SourceSplit::EndedResults() const {
  std::vector<PieceResult> results;
  const CSplitTask* task = model_->Job();
  if (!task) return results;
  // Once the model has handled the end every run's record is complete; a
  // run followed by another has ended (the worker records it before the
  // next one starts, under the lock Runs() takes).
  const auto runs = task->Runs();
  const std::size_t ended = ended_ ? runs.size() : (runs.empty() ? 0 : runs.size() - 1);
  for (std::size_t i = 0; i < ended; ++i) results.push_back(ResultOf(*runs[i]));
  if (ended_) {
    for (std::size_t k = results.size() + 1; k <= pieces_.size(); ++k) {
      PieceResult r;
      r.index = static_cast<int>(k);
      r.kind = PieceKind::kNotRun;
      results.push_back(r);
    }
  }
  return results;
}

bool SourceSplit::ReportProgress(pid_t sender, int percent, int* piece, int* overall) {
  const CSplitTask* task = model_->Job();
  if (!task || ended_ || sender <= 0) return false;
  const int before = task->PiecesBeforeRun(sender);
  if (before < 0) return false;
  model_->ReportProgress(sender, percent);
  *piece = before + 1;
  *overall = model_->Progress();
  return true;
}

}  // namespace zantrel::cli
