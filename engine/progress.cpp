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
