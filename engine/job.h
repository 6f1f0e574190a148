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

// One tool run.
struct CToolProcess {
  int segment = 0;            // 1-based
  std::string commandLine;
  std::string outputPath;
  pid_t pid = -1;
  std::atomic<int> paused{0};
  bool started = false;       // the process could be started
  std::string startError;     // why not, when !started
  int waitStatus = -1;        // raw wait status once ended
  bool outputExists = false;  // the output file exists after the run
  std::string toolMessage;    // the tool's last line of output, if it wrote one
  // True when the run counts as failed: not started, non-zero exit or
  // killed, or no output file.
  bool Failed() const;
  std::string DescribeFailure() const;  // one line, for the user
};

class CSplitTask {
 public:
  using DoneFn = std::function<void(CSplitTask&)>;

  // programDir: folder searched first for the tool; env: extra environment
  // entries for each run (the progress channel's address).
  CSplitTask(SplitJob job, DoneFn onDone, std::string programDir, std::vector<std::string> env);
  // Cancels a running job without hanging: releases a waiting DoneFn, resumes
  // and kills the current run, joins the worker.
  ~CSplitTask();
  CSplitTask(const CSplitTask&) = delete;
  CSplitTask& operator=(const CSplitTask&) = delete;

  void Start();
  const SplitJob& job() const { return job_; }

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
  int RunToolAndWait(const std::string& commandLine, int segment, const std::string& outputPath);

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

  std::atomic<bool> finished_{false};
  std::atomic<bool> cancelled_{false};
  std::mutex doneMutex_;
  std::condition_variable doneCv_;
  bool doneReleased_ = false;
};

}  // namespace zantrel
