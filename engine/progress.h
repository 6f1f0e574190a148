#pragma once
// Overall progress of a job from the per-run reports of the tool.
namespace zantrel {

// The new overall value for report p with overall g: p outside 0..100 counts
// as 0; below g it adds p percent of what is left (integer arithmetic),
// otherwise it becomes the new value.
int ApplyProgressReport(int overall, int report);

}  // namespace zantrel

namespace zantrel {

// The share of one job done, for the bar: ((pieces finished) × 100 + p) /
// (pieces), where p is the current run's report. One per job, so every job
// starts at 0; it never goes down, so a late or out-of-range report cannot
// move the bar back. Plain value type; used on the UI thread.
class JobProgress {
 public:
  explicit JobProgress(int pieces) : pieces_(pieces > 0 ? pieces : 0) {}
  // A report p (outside 0..100 counts as 0) of the run that has
  // `piecesBefore` pieces before it (its segment number - 1). Returns the
  // overall value.
  int Report(int piecesBefore, int report);
  int Overall() const { return overall_; }
  int Pieces() const { return pieces_; }

 private:
  int pieces_;
  int overall_ = 0;
};

}  // namespace zantrel
