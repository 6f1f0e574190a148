#pragma once
// What zantrel-split tells: the words for every kind (English), one line per
// piece on standard error, the live bar when standard error is a terminal,
// and the results on standard output (the plan for --dry-run, JSON lines for
// --json). The one place where kinds become words.
//
// Threads: the batch loop's thread only.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/source_split.h"

namespace zantrel::cli {

// The JSON and listing name of a kind ("written", "no_space", ...).
const char* KindName(PieceKind kind);
const char* ProblemName(SourceProblem problem);
// One JSON string literal for `bytes`: valid UTF-8 passes through; any other
// byte b becomes \udcXX (XX = b), the form Python's os.fsdecode gives, so a
// file name that is not UTF-8 still round-trips.
std::string JsonString(const std::string& bytes);

class Reporter {
 public:
  // `err` and `out` are the streams written to; `terminal`: err is a
  // terminal (the live bar is drawn); `width`: its columns.
  Reporter(const Options& options, std::FILE* out, std::FILE* err, bool terminal, int width);

  // Notes on the plan of a file that will be cut (times dropped or rounded).
  void PlanNotes(const SourceSplit& split);
  // --dry-run: the plan of one file.
  void DryRun(const SourceSplit& split);
  // A file refused before any piece ran.
  void Refused(const SourceSplit& split);
  // A file whose job has started.
  void Started(const SourceSplit& split);
  // One piece has ended.
  void PieceEnded(const SourceSplit& split, const PieceResult& result);
  // A progress report: the file's share done (0..100) while piece
  // `current` of its pieces runs.
  void Progress(const SourceSplit& split, int current, int percent);
  // A file's job has ended (all its pieces reported).
  void FileEnded(const SourceSplit& split);
  // Files never begun because Ctrl+C came first.
  void NotBegun(const std::string& source);
  // The last lines: counts, and the way out.
  void Summary(bool interrupted);
  // Draws the bar now if it is due (called from the loop's idle turns).
  void Tick();

  int failures() const { return failures_; }

 private:
  struct Live {
    std::string name;
    int current = 1;
    int pieces = 0;
    int percent = 0;
  };
  void Line(const std::string& text);  // a line on err, under the bar
  void Json(const SourceSplit& split, const PlannedPiece* piece, const char* outcome,
            CutMethod method);
  void DrawBar();
  void ClearBar();
  std::string Reason(const PieceResult& result) const;
  std::string ProblemText(const SourceSplit& split) const;

  const Options& options_;
  std::FILE* out_;
  std::FILE* err_;
  bool terminal_;
  int width_;
  bool barShown_ = false;
  bool barDirty_ = false;
  std::chrono::steady_clock::time_point lastDraw_{};
  std::vector<std::pair<const SourceSplit*, Live>> live_;  // files running, in start order
  std::vector<std::string> failureLines_;                    // repeated at the end

  int files_ = 0;
  int filesFailed_ = 0;
  int written_ = 0;
  int empty_ = 0;
  int failures_ = 0;  // pieces failed + files refused
  int stopped_ = 0;
};

}  // namespace zantrel::cli
