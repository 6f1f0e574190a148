#pragma once
// The split job: a self-contained record of what to cut, and the worker that
// runs the tool once per segment, one after another.
//
// Threads: Start() runs the worker on its own std::thread. The worker touches
// only its task. The UI thread may call Pause/Resume/IsPaused at any time.
// The end of the job is announced through the one `DoneFn`, called once on
// the worker thread (at once when the job has no segment); it must not return
// before the UI has handled it (or the task is being destroyed: see
// WaitDoneHandled()). It is not called for a job cancelled by destruction.
// The DoneFn must not block on the UI thread in any other way (no blocking
// queued call): the UI thread may be in the destructor, joining the worker.
#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/launcher.h"

namespace zantrel {

struct SplitJob {
  std::vector<std::int32_t> boundaries;  // interior cut points, ascending (count - 2 entries)
  std::int32_t duration = 0;             // whole seconds
  std::int32_t count = 0;                // boundary values including 0 and the duration
  std::string sourcePath;                // text of edit 1000
  std::string outputBase;                // output folder + source file name with extension
};

// Output name of segment k (1-based): outputBase up to the last '.' of its
// file name, then "[k]", then '.' and the extension; no dot when the name has
// no extension. A '.' in a folder name never splits.
std::string SegmentOutputName(const std::string& outputBase, int k);
// Extension of the output base's file name ("" when none).
std::string OutputExtension(const std::string& outputBase);
// The tool command line for one segment, by the exact (case-sensitive)
// extension: "3gp", "flv" or the general form. Paths are quoted so that any
// path splits back whole.
std::string BuildCutCommandLine(const std::string& extension, const std::string& sourcePath,
                                int start, int length, const std::string& outputPath);

// True when every folder along `path` exists or was created.
bool CreateFolderPath(const std::string& path);

// True when a file can be created in `folder` (an existing folder): a hidden
// probe file is made and removed at once. Otherwise false with the errno
// value in *err.
bool CheckFolderWritable(const std::string& folder, int* err);

// The output name of every segment of the job, in segment order.
std::vector<std::string> JobOutputNames(const SplitJob& job);
// Those output names under which something exists already.
std::vector<std::string> ExistingOutputNames(const SplitJob& job);
// Removes exactly the given files. False at the first one that cannot be
// removed (one that is already gone counts as removed), with its name in
// *failedPath and the errno value in *err.
bool RemoveFiles(const std::vector<std::string>& paths, std::string* failedPath, int* err);

// How a run ended.
enum class PieceOutcome {
  kWritten,  // the piece is in place
  kEmpty,    // the segment has no length: nothing of the source is missing
  kStopped,  // ended by Stop (or the job's destruction) before it was done
  kFailed,
};

// Why a run failed; the window turns it into words.
enum class FailureReason {
  kNone,
  kToolMissing,       // ZantrelCore could not be started
  kAlreadyExists,     // the piece's name is taken
  kDiskFull,
  kPermissionDenied,  // the output folder cannot be written
  kUnreadableSource,
  kSourceMissing,     // the source was moved or deleted after the job began
  kSourceChanged,     // the source was rewritten or cut short during the job
  kFolderMissing,     // the output folder was removed during the job
  kToolKilled,        // the tool was ended by a signal it did not ask for
  kOther,             // none of these: the tool's last line, or its exit code
};

// How a written piece was made, as the tool said in its result line.
enum class PieceMaking { kUnknown, kSmartCut, kReencoded };

// One tool run.
struct CToolProcess {
  int segment = 0;            // 1-based
  int plannedLength = 0;      // the segment's length in the plan, whole seconds
  std::string commandLine;
  std::string outputPath;
  pid_t pid = -1;
  std::atomic<int> paused{0};
  bool started = false;       // the process could be started (or was not
                              // tried: see sourceChanged)
  std::string startError;     // why not, when !started
  int waitStatus = -1;        // raw wait status once ended
  bool outputExists = false;  // the output file exists after the run
  std::string toolMessage;    // the tool's last line of output (a sentence for
                              // people, shown as it is, never parsed)
  PieceMaking making = PieceMaking::kUnknown;  // from the tool's result line
  bool stopped = false;       // Stop came while this run was live
  // Checked by the worker after a run that did not end cleanly: what became
  // of the source and the output folder since the job began. sourceChanged
  // with !started: the run was not tried, the source having changed before.
  bool sourceGone = false;
  bool sourceChanged = false;
  bool outputFolderGone = false;
  // Written when the tool exited 0 and the piece exists; otherwise empty for
  // a segment of no length, stopped when Stop ended it, else failed.
  PieceOutcome Outcome() const;
  bool Failed() const { return Outcome() == PieceOutcome::kFailed; }
  // kNone unless Failed(); decided by the tool's exit code (tool_args.h)
  // and the worker's own checks, never by the tool's words.
  FailureReason Reason() const;
  // The tool's exit code (-1 unless it exited), the signal that ended it (0
  // unless one did).
  int ExitCode() const;
  int Signal() const;
};

// Counts of a job's pieces by outcome; pieces never run (after a Stop) are
// `notRun`.
struct JobSummary {
  int pieces = 0;
  int written = 0;
  int empty = 0;
  int failed = 0;
  int stopped = 0;
  int notRun = 0;
};

class CSplitTask {
 public:
  using DoneFn = std::function<void(CSplitTask&)>;

  // programDir: folder searched first for the tool; env: extra environment
  // entries for each run (the progress channel's address).
  CSplitTask(SplitJob job, DoneFn onDone, std::string programDir, std::vector<std::string> env);
  // Cancels a running job without hanging: releases a waiting DoneFn, stops
  // the current run as Stop() does (temporary file removed), joins the
  // worker. The DoneFn is not called.
  ~CSplitTask();
  CSplitTask(const CSplitTask&) = delete;
  CSplitTask& operator=(const CSplitTask&) = delete;

  void Start();
  const SplitJob& job() const { return job_; }
  // Number of segments (count - 1, at least 0).
  int Pieces() const { return job_.count > 1 ? job_.count - 1 : 0; }

  // Ends the job early; UI thread, returns at once. The live run is asked to
  // stop (SIGTERM, so the tool removes its temporary file), is killed if it
  // has not ended within kStopGraceMs, and whatever temporary file it left
  // is removed; no further run starts and the finished pieces stay. The
  // DoneFn follows as for any end. False when the job has already finished.
  bool Stop();
  bool StopRequested() const { return stopRequested_.load(); }
  static constexpr int kStopGraceMs = 2000;

  // Summary of the runs so far (complete once Finished()).
  JobSummary Summary() const;
  // For a progress report from process `sender`: the number of pieces before
  // that run (its segment - 1); -1 when `sender` is none of this job's runs.
  // Sender 0 (unknown) counts the runs that have ended.
  int PiecesBeforeRun(pid_t sender) const;

  // Pause and resume the job (SIGSTOP / SIGCONT of the live run). A pause
  // that lands between two runs is kept and applied to the next run as soon
  // as it starts, so the paused state is always the one shown. Pause returns
  // false (and does nothing) before the first run has started and after the
  // job has ended; Resume returns false before the first run.
  bool Pause();
  bool Resume();
  bool IsPaused() const;
  // The latest run (none before the first run has started).
  std::shared_ptr<CToolProcess> CurrentToolProcess() const;

  // Every run so far, in segment order, including runs that could not be
  // started; complete once Finished().
  std::vector<std::shared_ptr<CToolProcess>> Runs() const;
  bool Finished() const { return finished_.load(); }
  bool Cancelled() const { return cancelled_.load(); }

  // Rendezvous for the DoneFn: the UI's DoneFn posts the end to the UI thread
  // and then calls WaitDoneHandled(); the UI calls ReleaseDone() after its
  // handler has returned. The destructor releases it too.
  void WaitDoneHandled();
  void ReleaseDone();

 private:
  void SplitThreadProc();
  int RunToolAndWait(const std::string& commandLine, int segment, int plannedLength,
                     const std::string& outputPath);
  // After a run that did not end cleanly: the source and the output folder
  // compared with what they were when the job began.
  void CheckSurroundings(CToolProcess& run) const;
  struct SourceState {
    bool gone = false;     // it was there when the job began and is not now
    bool changed = false;  // another file, or another size or time, than then
  };
  SourceState CheckSource() const;
  // Under mutex_: ask the live run to end.
  void TerminateChildLocked();

  SplitJob job_;
  DoneFn onDone_;
  std::string programDir_;
  std::vector<std::string> env_;
  std::thread worker_;

  mutable std::mutex mutex_;  // guards current_, runs_, pausedRequested_, child_
  std::shared_ptr<CToolProcess> current_;
  std::vector<std::shared_ptr<CToolProcess>> runs_;
  ChildProcess* child_ = nullptr;  // live child of the current run, under mutex_
  bool pauseRequested_ = false;
  bool anyRunStarted_ = false;

  // The source as the worker found it at the start (worker thread only).
  struct SourceIdentity {
    bool known = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    std::int64_t mtimeNs = 0;
  };
  SourceIdentity source_;

  std::atomic<bool> finished_{false};
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> stopRequested_{false};
  std::mutex doneMutex_;
  std::condition_variable doneCv_;
  bool doneReleased_ = false;
};

}  // namespace zantrel
