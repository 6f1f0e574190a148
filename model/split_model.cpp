#include "model/split_model.h"

#include <algorithm>
#include <cstdlib>

#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/path.h"

namespace zantrel {

namespace {
constexpr std::int64_t kUsPerSecond = 1000000;

std::string BaseName(const std::string& path) {
  const std::size_t sep = MbsRChr(path, kPathSep);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

// A slider position's time: D × position hundredths of a second, exact in
// microseconds for a whole-second D.
std::int64_t PositionToUs(int position, int seconds) {
  return static_cast<std::int64_t>(position) * seconds * (kUsPerSecond / 100);
}
}  // namespace

bool JobNewsQueue::Post(std::function<void()> call) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back(std::move(call));
  return true;
}

int JobNewsQueue::RunPending() {
  std::vector<std::function<void()>> calls;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    calls.swap(calls_);
  }
  for (auto& call : calls) call();
  return static_cast<int>(calls.size());
}

SplitModel::SplitModel(Callbacks callbacks) : cb_(std::move(callbacks)) {}

SplitModel::~SplitModel() {
  // Each task's destructor stops its run and joins its worker; a worker
  // waiting for its end to be handled is released without it.
  current_ = nullptr;
  tasks_.clear();
}

// --- Source ---------------------------------------------------------------

void SplitModel::SetSource(const std::string& path) {
  source_.path = path;
  const std::size_t sep = MbsRChr(path, kPathSep);
  if (sep != std::string::npos) source_.name = path.substr(sep + 1);
  typed_ = path;
  const std::size_t n = path.size();
  const std::string last3 = n >= 3 ? path.substr(n - 3) : path;
  // Byte for byte: "clip.FLV" goes to the probe.
  source_.previewable = last3 == "flv" || last3 == "mp4";
  source_.durationPending = true;
  if (cb_.sourceChanged) cb_.sourceChanged();
}

void SplitModel::SetDuration(int seconds) {
  source_.durationSeconds = seconds > 0 ? seconds : 0;
  source_.durationPending = false;
  // Points placed on the slider keep their position: their time follows
  // the duration, as the plan has always read them.
  for (SplitPoint& p : points_) Recompute(p);
  SortPoints();
  if (cb_.durationChanged) cb_.durationChanged();
}

void SplitModel::SetTypedSource(const std::string& text) { typed_ = text; }

bool SplitModel::DurationReady() const {
  const bool typedOver = !source_.path.empty() && typed_ != source_.path;
  return source_.durationSeconds >= 1 && !source_.durationPending && !typedOver;
}

// --- Mode -----------------------------------------------------------------

void SplitModel::SetMode(SplitMode mode) {
  mode_ = mode;
  if (cb_.modeChanged) cb_.modeChanged();
}

// --- Split points ---------------------------------------------------------

void SplitModel::Recompute(SplitPoint& p) const {
  if (p.position >= 0) p.timeUs = PositionToUs(p.position, source_.durationSeconds);
}

void SplitModel::SortPoints() {
  std::stable_sort(points_.begin(), points_.end(), [](const SplitPoint& a, const SplitPoint& b) {
    if (a.timeUs != b.timeUs) return a.timeUs < b.timeUs;
    return a.position < b.position;  // a duration of 0 puts every point at 0
  });
}

bool SplitModel::AddPointAtPosition(int position, const std::string& text) {
  for (const SplitPoint& p : points_)
    if (p.position == position) return false;  // one point per slider position
  SplitPoint p;
  p.position = position;
  p.text = text;
  p.order = nextOrder_++;
  Recompute(p);
  points_.push_back(p);
  SortPoints();
  if (cb_.pointsChanged) cb_.pointsChanged();
  return true;
}

bool SplitModel::AddPointAtTime(std::int64_t timeUs, const std::string& text) {
  for (const SplitPoint& p : points_)
    if (p.timeUs == timeUs) return false;
  SplitPoint p;
  p.timeUs = timeUs;
  p.text = text;
  p.order = nextOrder_++;
  points_.push_back(p);
  SortPoints();
  if (cb_.pointsChanged) cb_.pointsChanged();
  return true;
}

int SplitModel::RemovePointsNear(int position) {
  const std::int64_t reachUs = PositionToUs(kDeleteReach, source_.durationSeconds);
  const std::int64_t atUs = PositionToUs(position, source_.durationSeconds);
  const auto near = [&](const SplitPoint& p) {
    if (p.position >= 0) return std::abs(p.position - position) <= kDeleteReach;
    return std::llabs(p.timeUs - atUs) <= reachUs;
  };
  const std::size_t before = points_.size();
  points_.erase(std::remove_if(points_.begin(), points_.end(), near), points_.end());
  const int removed = static_cast<int>(before - points_.size());
  if (removed > 0 && cb_.pointsChanged) cb_.pointsChanged();
  return removed;
}

void SplitModel::ClearPoints() {
  points_.clear();
  if (cb_.pointsChanged) cb_.pointsChanged();
}

std::vector<SplitPoint> SplitModel::PointsInAddOrder() const {
  std::vector<SplitPoint> v = points_;
  std::sort(v.begin(), v.end(), [](const SplitPoint& a, const SplitPoint& b) { return a.order < b.order; });
  return v;
}

// --- Plan -----------------------------------------------------------------

SplitPlan SplitModel::Plan() const {
  SplitPlanInput in;
  in.mode = mode_;
  in.parts = parts_;
  in.secondsPerPart = secondsPerPart_;
  in.duration = source_.durationSeconds;
  if (mode_ != kSplitCustom) return BuildSplitPlan(in);
  SplitPlan plan;
  plan.valid = true;
  plan.count = static_cast<int>(points_.size()) + 2;
  for (const SplitPoint& p : points_)
    // A slider point keeps the plan's own arithmetic (position × D × 0.01 in
    // doubles, truncated); an exact one its whole seconds.
    plan.boundaries.push_back(p.position >= 0 ? PositionToSeconds(p.position, source_.durationSeconds)
                                              : static_cast<int>(p.timeUs / kUsPerSecond));
  return plan;
}

std::vector<SplitModel::Piece> SplitModel::PlannedPieces() const {
  std::vector<Piece> pieces;
  const SplitPlan plan = Plan();
  if (!plan.valid || plan.count < 2) return pieces;
  std::string folder = besideSource_ ? DirOfPath(source_.path) : outputFolder_;
  if (!folder.empty() && folder.back() != kPathSep) folder += kPathSep;
  const std::string base = source_.path.empty() ? std::string() : folder + BaseName(typed_);
  for (int k = 1; k < plan.count; ++k) {
    Piece p;
    p.start = k == 1 ? 0 : plan.boundaries[static_cast<std::size_t>(k - 2)];
    p.end = k == plan.count - 1 ? source_.durationSeconds : plan.boundaries[static_cast<std::size_t>(k - 1)];
    if (!base.empty()) p.outputPath = SegmentOutputName(base, k);
    pieces.push_back(p);
  }
  return pieces;
}

// --- Job ------------------------------------------------------------------

StartCheck SplitModel::CheckStart() {
  StartCheck c;
  if (running_) {
    c.problem = StartProblem::kJobRunning;
    return c;
  }
  const std::string source = typed_;
  if (source.empty()) {
    c.problem = StartProblem::kNoSource;
    return c;
  }
  // Every plan needs the duration; a one-second piece reported as done
  // would be a lie.
  if (!DurationReady()) {
    c.problem = StartProblem::kDurationUnknown;
    return c;
  }
  c.plan = Plan();
  if (!c.plan.valid) {
    c.problem = StartProblem::kPlanInvalid;
    return c;
  }
  if (besideSource_) {
    // Beside the chosen source; a path only typed has its own folder,
    // rather than none (the working directory).
    c.folder = DirOfPath(source_.path.empty() ? source : source_.path);
  } else {
    c.folder = outputFolder_;
    if (c.folder.empty()) {
      c.problem = StartProblem::kNoOutputFolder;
      return c;
    }
    if (c.folder.back() != kPathSep) c.folder += kPathSep;
    if (!CreateFolderPath(c.folder)) {
      c.problem = StartProblem::kFolderNotCreated;
      return c;
    }
  }
  if (!CheckFolderWritable(c.folder, &c.errnoValue)) {
    c.problem = StartProblem::kFolderNotWritable;
    return c;
  }
  c.job.sourcePath = source;
  c.job.outputBase = c.folder + BaseName(source);
  c.job.duration = source_.durationSeconds;
  c.job.count = c.plan.count;
  c.job.boundaries.assign(c.plan.boundaries.begin(), c.plan.boundaries.end());
  c.existing = ExistingOutputNames(c.job);
  return c;
}

bool SplitModel::ReplaceExisting(const StartCheck& check, std::string* failedPath, int* err) {
  // Exactly the job's own names go, before the first run; the tool then
  // writes them afresh with the command lines unchanged.
  return RemoveFiles(check.existing, failedPath, err);
}

bool SplitModel::StartJob(const StartCheck& check, const std::string& toolDir, std::vector<std::string> env,
                          Post post) {
  if (running_ || check.problem != StartProblem::kNone) return false;
  auto onDone = [this, post](CSplitTask& task) {
    const bool posted = post && post([this, &task] {
      HandleJobEnd(task);
      task.ReleaseDone();
    });
    if (posted) task.WaitDoneHandled();
  };
  auto task = std::make_unique<CSplitTask>(check.job, onDone, toolDir, std::move(env));
  // Each job's progress starts from nothing.
  progress_.emplace(task->Pieces());
  jobFolder_ = check.folder;
  current_ = task.get();
  tasks_.push_back(std::move(task));
  running_ = true;
  lastEnd_.reset();
  if (cb_.jobRunningChanged) cb_.jobRunningChanged(true);
  current_->Start();
  return true;
}

bool SplitModel::Pause() { return running_ && current_ && current_->Pause(); }
bool SplitModel::Resume() { return running_ && current_ && current_->Resume(); }
bool SplitModel::Paused() const { return running_ && current_ && current_->IsPaused(); }
bool SplitModel::Stop() { return running_ && current_ && current_->Stop(); }
bool SplitModel::StopRequested() const { return current_ && current_->StopRequested(); }

void SplitModel::ReportProgress(pid_t sender, int percent) {
  // Only the running job's own runs count; a report from a run that has
  // ended still counts for its own piece, never the next one.
  if (!running_ || !current_ || !progress_) return;
  const int before = current_->PiecesBeforeRun(sender);
  if (before < 0) return;
  const int overall = progress_->Report(before, percent);
  if (overall == 100) return;  // the end of the job shows the full bar
  if (cb_.progressChanged) cb_.progressChanged(overall);
}

void SplitModel::HandleJobEnd(CSplitTask& task) {
  if (&task != current_ || !running_) return;  // only the current job's end counts
  running_ = false;
  JobEnd end;
  end.summary = task.Summary();
  const JobSummary& s = end.summary;
  if (task.StopRequested() && (s.stopped > 0 || s.notRun > 0)) {
    end.kind = JobEndKind::kStopped;
  } else if (s.failed > 0) {
    // Never "done" when a piece is missing; the pieces written stay.
    end.kind = JobEndKind::kFailed;
    for (const auto& run : task.Runs()) {
      if (!run->Failed()) continue;
      PieceFailure f;
      f.segment = run->segment;
      f.reason = run->Reason();
      f.signal = run->Signal();
      f.exitCode = run->ExitCode();
      f.toolLine = run->toolMessage;
      end.failures.push_back(f);
    }
  } else {
    end.kind = JobEndKind::kDone;
    // An empty last piece sends no report of its end; it is done all the same.
    const auto runs = task.Runs();
    if (s.empty > 0 && s.written > 0 && !runs.empty() && runs.back()->Outcome() == PieceOutcome::kEmpty &&
        progress_)
      progress_->Report(s.pieces - 1, 100);
    end.offerCompletion = Progress() >= kCompletionShare;
  }
  lastEnd_ = end;
  if (cb_.jobRunningChanged) cb_.jobRunningChanged(false);
  if (cb_.jobEnded) cb_.jobEnded(end);
}

}  // namespace zantrel
