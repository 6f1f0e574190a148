#pragma once
// SplitModel: the one copy of what the user is splitting and how — the
// source, the mode with N and S, the split points, the output folder — the
// plan derived from them, and the running job with its progress and outcome.
// The window is a view over it; a command-line client drives it the same way.
//
// Threads: one. Every method and every callback runs on the owner's thread.
// The job's worker never touches the model: its one piece of news, the end
// of the job, reaches the model through the owner's `Post` (a queued call in
// a window, a JobNewsQueue drained by a poll loop in a client). Progress
// blocks arrive through the owner too (ReportProgress).
//
// No words: refusals and outcomes are kinds and numbers; the window's word
// table turns them into text.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/job.h"
#include "engine/plan.h"
#include "engine/progress.h"

namespace zantrel {

// One split point. Points are kept once, in time order; each remembers the
// text it was added with and when it was added.
struct SplitPoint {
  std::int64_t timeUs = 0;  // on the file's timeline
  int position = -1;        // the slider position (0..100) it was placed at; -1: placed by time
  std::string text;         // what the list shows for it
  int order = 0;            // 0 for the first point ever added, counting up
};

// The source as far as it is known.
struct SourceInfo {
  std::string path;  // as chosen
  std::string name;  // the file name, after the last separator
  int durationSeconds = 0;  // whole seconds; kept from the previous source until the new one's arrives
  bool durationPending = false;  // chosen, its duration not known yet
  bool previewable = false;      // the preview plays it (an exact "flv"/"mp4" ending)
};

// Why Start refused; nothing was created or started unless said.
enum class StartProblem {
  kNone,
  kJobRunning,          // one job at a time
  kNoSource,
  kDurationUnknown,     // pending, not found, or a path typed over the chosen one
  kPlanInvalid,         // see plan.error and its numbers
  kNoOutputFolder,
  kFolderNotCreated,    // folder: the folder
  kFolderNotWritable,   // folder, errnoValue
};

struct StartCheck {
  StartProblem problem = StartProblem::kNone;
  SplitJob job;                 // kNone: what StartJob runs
  SplitPlan plan;               // kPlanInvalid: why
  std::string folder;           // the output folder, ending in a separator
  int errnoValue = 0;           // kFolderNotWritable
  std::vector<std::string> existing;  // output names already taken (ask before replacing)
};

// How a job ended, for the owner to show.
enum class JobEndKind { kDone, kStopped, kFailed };

struct PieceFailure {
  int segment = 0;  // 1-based
  FailureReason reason = FailureReason::kNone;
  int signal = 0;          // kToolKilled
  int exitCode = -1;       // kOther: the tool's exit code, -1 when it did not exit
  std::string toolLine;    // kOther: the tool's last line, shown as it is
};

struct JobEnd {
  JobEndKind kind = JobEndKind::kDone;
  JobSummary summary;
  std::vector<PieceFailure> failures;  // kFailed
  bool offerCompletion = false;        // kDone with at least 90 % reached
};

// Runs queued calls on the thread that drains it; for owners without an
// event loop. Post may be called from any thread. The calls refer to the
// model: drain the queue only while the model lives.
class JobNewsQueue {
 public:
  bool Post(std::function<void()> call);
  // Runs every call queued so far; returns how many.
  int RunPending();

 private:
  std::mutex mutex_;
  std::vector<std::function<void()>> calls_;
};

class SplitModel {
 public:
  // Within this many positions of the slider, RemovePointsNear removes.
  static constexpr int kDeleteReach = 4;
  // The completion dialog follows a job only once this share was reached.
  static constexpr int kCompletionShare = 90;

  // News for the owner, each after the change. Any may be empty.
  struct Callbacks {
    std::function<void()> sourceChanged;    // path, name, previewable
    std::function<void()> durationChanged;  // duration known (or found to be 0)
    std::function<void()> pointsChanged;
    std::function<void()> modeChanged;
    std::function<void(bool running)> jobRunningChanged;
    std::function<void(int overall)> progressChanged;  // below 100 while running
    std::function<void(const JobEnd&)> jobEnded;
  };
  // `post` brings the worker's end-of-job news onto the model's thread: it
  // queues the call and returns true, or returns false when it cannot (the
  // owner is going) — the worker then does not wait.
  using Post = std::function<bool(std::function<void()>)>;

  explicit SplitModel(Callbacks callbacks = {});
  // Cancels a running job (its temporary file removed) without reporting it.
  ~SplitModel();
  SplitModel(const SplitModel&) = delete;
  SplitModel& operator=(const SplitModel&) = delete;

  // --- Source -------------------------------------------------------------
  // A source chosen: its path and name; the duration becomes pending. The
  // split points and the old duration stay until the new one arrives.
  void SetSource(const std::string& path);
  // The duration found (by the player or the probe), whole seconds; 0 when
  // none was found.
  void SetDuration(int seconds);
  // The source path as typed into the window, when it differs from the one
  // chosen: Start then refuses for an unknown duration. "" with no source.
  void SetTypedSource(const std::string& text);
  const SourceInfo& Source() const { return source_; }
  // Start may run: a duration of at least one second, known for the chosen
  // (not a typed-over) source.
  bool DurationReady() const;

  // --- Mode ---------------------------------------------------------------
  void SetMode(SplitMode mode);
  SplitMode Mode() const { return mode_; }
  void SetParts(int n) { parts_ = n; }
  void SetSecondsPerPart(int s) { secondsPerPart_ = s; }
  int Parts() const { return parts_; }
  int SecondsPerPart() const { return secondsPerPart_; }

  // --- Split points -------------------------------------------------------
  // A point at slider position `position` (0..100), time position × D × 0.01
  // seconds; refused (false) when a point is there already.
  bool AddPointAtPosition(int position, const std::string& text);
  // A point at an exact time; refused when one is at that time already.
  bool AddPointAtTime(std::int64_t timeUs, const std::string& text);
  // Removes the points placed within kDeleteReach of `position`; how many.
  int RemovePointsNear(int position);
  void ClearPoints();
  // In time order.
  const std::vector<SplitPoint>& Points() const { return points_; }
  // In the order they were added (the list's order).
  std::vector<SplitPoint> PointsInAddOrder() const;

  // --- Output -------------------------------------------------------------
  void SetOutputFolder(const std::string& folder) { outputFolder_ = folder; }
  void SetBesideSource(bool beside) { besideSource_ = beside; }
  const std::string& OutputFolder() const { return outputFolder_; }
  bool BesideSource() const { return besideSource_; }

  // --- Plan ---------------------------------------------------------------
  // The plan for the current mode, numbers, points and duration.
  SplitPlan Plan() const;
  // Each piece's [start, end) in whole seconds and its output name, for the
  // current plan and output folder ("" names without a source).
  struct Piece {
    int start = 0, end = 0;
    std::string outputPath;
  };
  std::vector<Piece> PlannedPieces() const;

  // --- Job ----------------------------------------------------------------
  // Start's checks, in the window's order; creates the output folder when
  // needed (never for "beside the source"). Nothing else is changed.
  StartCheck CheckStart();
  // Removes the existing output names of a check (the user agreed to replace
  // them). False with the failing name and errno.
  bool ReplaceExisting(const StartCheck& check, std::string* failedPath, int* err);
  // Starts the job a successful check describes: the tool from `toolDir`,
  // `env` added to each run's environment. False when a job runs already.
  bool StartJob(const StartCheck& check, const std::string& toolDir, std::vector<std::string> env,
                Post post);
  bool JobRunning() const { return running_; }
  bool Pause();
  bool Resume();
  bool Paused() const;
  // Ends the job early; its end follows through `post` as for any end.
  bool Stop();
  bool StopRequested() const;
  // A progress report `percent` from process `sender` (0: unknown, the live
  // run). Ignored unless it belongs to the running job.
  void ReportProgress(pid_t sender, int percent);
  // The running (or last) job's share done, 0..100.
  int Progress() const { return progress_ ? progress_->Overall() : 0; }
  // The running or last job, for a closer look (its runs); null before one.
  const CSplitTask* Job() const { return current_; }
  const std::string& JobOutputFolder() const { return jobFolder_; }
  // The last job's end (none before one has ended).
  const std::optional<JobEnd>& LastEnd() const { return lastEnd_; }

 private:
  void Recompute(SplitPoint& p) const;
  void SortPoints();
  void HandleJobEnd(CSplitTask& task);

  Callbacks cb_;
  SourceInfo source_;
  std::string typed_;  // the source path as typed; the chosen one unless retyped
  SplitMode mode_ = kSplitCustom;
  int parts_ = 2;
  int secondsPerPart_ = 120;
  std::vector<SplitPoint> points_;
  int nextOrder_ = 0;
  std::string outputFolder_;
  bool besideSource_ = false;

  // Every job of this run is kept until the model goes: a worker may still
  // be handing over its end.
  std::vector<std::unique_ptr<CSplitTask>> tasks_;
  CSplitTask* current_ = nullptr;
  std::optional<JobProgress> progress_;
  std::string jobFolder_;
  bool running_ = false;
  std::optional<JobEnd> lastEnd_;
};

}  // namespace zantrel
