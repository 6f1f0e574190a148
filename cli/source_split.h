#pragma once
// One source file's split for zantrel-split: a SplitModel of its own, the
// window's model, fed the probe's duration and the command line's mode; its
// plan names the pieces and its job cuts them. Kinds and numbers only; the
// words are chosen by the caller (cli/report.h).
//
// Threads: the constructor (which probes) may run on any thread; after it,
// one thread owns the object and makes every call (the batch loop). The
// job's worker queues its end for that thread and calls the `wake` given to
// Start(); the owner then calls Drain(), which hands the end to the model.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/options.h"
#include "model/split_model.h"

namespace zantrel::cli {

// Why a file cannot be cut at all (before any piece runs).
enum class SourceProblem {
  kNone,
  kMissing,          // no such file
  kNotAFile,         // a folder or a device
  kUnreadable,       // exists but cannot be opened (errno in sysError)
  kNotVideo,         // the probe found no duration in it
  kTooManyParts,     // --parts N above the source's whole seconds
  kNothingToCut,     // the plan has no piece
  kFolderUnusable,   // the output folder cannot be created or written (errno)
  kPiecesExist,      // some pieces exist and --replace was not given
  kReplaceFailed,    // --replace: an existing piece could not be removed (errno)
  kOverwritesSource, // a piece would land on a file given as a source
  kSameOutputAs,     // its pieces are another source's of this batch (same names)
};

// How one piece ended: the split model's kinds.
enum class PieceKind {
  kWritten,
  kEmpty,             // no length: nothing of the source is missing
  kExists,            // the name was taken
  kNoSpace,
  kNoPermission,
  kSourceUnreadable,
  kSourceMissing,     // moved or deleted during the job
  kSourceChanged,     // rewritten or cut short during the job
  kFolderMissing,     // the output folder went during the job
  kToolKilled,        // the tool died of a signal nobody asked for
  kToolMissing,       // the tool could not be started
  kInternal,          // the tool failed for a reason it cannot name
  kStopped,           // ended by Ctrl+C (or Stop) before it was done
  kNotRun,            // the job ended before this piece's turn
  kPlanned,           // --dry-run: not cut
  kSkipped,           // the file was refused before any piece ran
};

// How a written piece was made; kUnknown when not told.
enum class CutMethod { kUnknown, kSmart, kReencode };

// True for the kinds that make the exit status 1.
bool IsFailure(PieceKind kind);

struct PlannedPiece {
  int index = 0;              // 1-based
  std::int64_t startUs = 0;   // on the source's timeline
  std::int64_t lengthUs = 0;  // as planned; the last piece runs on to the real end
  std::string path;           // the piece's output name
};

struct PieceResult {
  int index = 0;
  PieceKind kind = PieceKind::kNotRun;
  CutMethod method = CutMethod::kUnknown;
  int signal = 0;             // kToolKilled: which signal
  std::string toolDetail;     // kInternal / kToolMissing: the tool's or launcher's last line
};

class SourceSplit {
 public:
  // Probes `source` with the tool in `programDir` and plans it by `options`
  // into `folder` (ending in a separator; "" for --beside: the source's own
  // folder). Blocks for the probe (at most a few seconds). Never throws;
  // problem() tells what went wrong.
  SourceSplit(const Options& options, std::string source, std::string folder,
              std::string programDir);
  ~SourceSplit();  // a running job is stopped and joined
  SourceSplit(const SourceSplit&) = delete;
  SourceSplit& operator=(const SourceSplit&) = delete;

  const std::string& source() const { return source_; }
  const std::string& folder() const { return folder_; }
  SourceProblem problem() const { return problem_; }
  int sysError() const { return sysError_; }
  // Refuses the file before it runs (a clash the batch found).
  void Refuse(SourceProblem why) { problem_ = why; }

  std::int64_t durationUs() const { return durationUs_; }
  // The pieces in order (empty when the file could not be planned).
  const std::vector<PlannedPiece>& pieces() const { return pieces_; }
  // --at times at or past the end, dropped for this file.
  const std::vector<std::int64_t>& droppedUs() const { return droppedUs_; }
  // --at times the plan does not cut at exactly (while the cutting tool
  // takes whole seconds: those with a fraction, cut at the second below).
  const std::vector<std::int64_t>& roundedUs() const { return roundedUs_; }
  // The pieces' names under which something exists now.
  std::vector<std::string> ExistingPieces() const;

  // The model's Start checks (output folder created when needed and
  // writable); then, with existing pieces, refuses (kPiecesExist) unless
  // `replace`, when the model replaces them as the window's 是 does.
  // Starts the job: `env` goes to each tool run (the progress channel);
  // `wake` is called on the worker thread once the job has ended. False with
  // problem() set when the file is refused.
  bool Start(bool replace, std::vector<std::string> env, std::function<void()> wake);
  bool Started() const { return started_; }
  // Ctrl+C: ends the running piece cleanly; no later piece starts.
  void Stop();
  bool Finished() const;
  // The results of the pieces that have ended so far, in order (all of them
  // once Finished(), with kNotRun for pieces a stop left out).
  std::vector<PieceResult> EndedResults() const;
  // Runs the job news queued for this thread (the end of the job).
  void Drain();
  // A progress report from process `sender`: false when it is none of this
  // job's runs; else the piece it belongs to (1-based) and the file's share
  // done (0..100).
  bool ReportProgress(pid_t sender, int percent, int* piece, int* overall);

 private:
  void Probe();
  void Plan(const Options& options);

  std::string source_;
  std::string folder_;
  std::string programDir_;
  SourceProblem problem_ = SourceProblem::kNone;
  int sysError_ = 0;
  std::int64_t durationUs_ = 0;
  std::vector<PlannedPiece> pieces_;
  std::vector<std::int64_t> droppedUs_;
  std::vector<std::int64_t> roundedUs_;
  bool started_ = false;
  bool ended_ = false;  // the model has handled the job's end
  // The queue outlives the model: a worker hands its end over to it.
  std::shared_ptr<JobNewsQueue> news_ = std::make_shared<JobNewsQueue>();
  std::unique_ptr<SplitModel> model_;
};

}  // namespace zantrel::cli
