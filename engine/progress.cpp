#include "engine/progress.h"

namespace zantrel {

int ApplyProgressReport(int overall, int report) {
  if (report < 0 || report > 100) report = 0;
  // A report below the overall value is the start of a later run: it moves
  // the overall value by its share of what is left, so it never goes back.
  if (report < overall) return overall + report - (overall * report) / 100;
  return report;
}

}  // namespace zantrel

namespace zantrel {

int JobProgress::Report(int piecesBefore, int report) {
  if (pieces_ == 0) return overall_;
  if (report < 0 || report > 100) report = 0;
  if (piecesBefore < 0) piecesBefore = 0;
  if (piecesBefore > pieces_ - 1) piecesBefore = pieces_ - 1;
  // 64 bits: a plan may have many pieces, and the product must not wrap.
  const long long share = (static_cast<long long>(piecesBefore) * 100 + report) / pieces_;
  if (share > overall_) overall_ = static_cast<int>(share);
  return overall_;
}

}  // namespace zantrel
