#include <gtest/gtest.h>

#include <vector>

#include "engine/progress.h"

using zantrel::ApplyProgressReport;

namespace {
std::vector<int> Apply(int start, const std::vector<int>& reports) {
  std::vector<int> out;
  int g = start;
  for (int p : reports) out.push_back(g = ApplyProgressReport(g, p));
  return out;
}
}  // namespace

TEST(Progress, TwoRunsAccumulate) {
  EXPECT_EQ(Apply(0, {0, 50, 80, 10, 50, 100}), (std::vector<int>{0, 50, 80, 82, 91, 100}));
}

TEST(Progress, OutOfRangeCountsAsZero) {
  EXPECT_EQ(ApplyProgressReport(60, 150), 60);
  EXPECT_EQ(ApplyProgressReport(60, -5), 60);
  EXPECT_EQ(ApplyProgressReport(0, 150), 0);
  EXPECT_EQ(ApplyProgressReport(0, 101), 0);
  EXPECT_EQ(ApplyProgressReport(0, 100), 100);
}

TEST(Progress, LowerReportAddsItsShareOfWhatIsLeft) {
  EXPECT_EQ(ApplyProgressReport(80, 20), 84);
  EXPECT_EQ(ApplyProgressReport(99, 99), 99);
  EXPECT_EQ(ApplyProgressReport(99, 50), 100);  // 99 + 50 - 49
  EXPECT_EQ(ApplyProgressReport(100, 30), 100);
}

TEST(JobProgress, WholeJobShareFromZeroAndNeverBack) {
  zantrel::JobProgress j(4);
  EXPECT_EQ(j.Overall(), 0);
  // The first of four pieces at 99 % is a quarter of the job, not 99 %.
  EXPECT_EQ(j.Report(0, 99), 24);
  EXPECT_EQ(j.Report(1, 0), 25);
  EXPECT_EQ(j.Report(1, 50), 37);
  // A late report of the first run (or one out of range) never moves it back.
  EXPECT_EQ(j.Report(0, 100), 37);
  EXPECT_EQ(j.Report(1, 150), 37);
  EXPECT_EQ(j.Report(1, -5), 37);
  EXPECT_EQ(j.Report(3, 100), 100);
  // A second job starts afresh.
  zantrel::JobProgress next(4);
  EXPECT_EQ(next.Report(0, 10), 2);
}

TEST(JobProgress, EdgesOfThePieceCount) {
  zantrel::JobProgress none(0);
  EXPECT_EQ(none.Report(0, 50), 0);
  zantrel::JobProgress one(1);
  EXPECT_EQ(one.Report(0, 30), 30);
  EXPECT_EQ(one.Report(5, 60), 60);  // a run number past the end is the last piece
  zantrel::JobProgress many(100000);
  EXPECT_EQ(many.Report(99999, 100), 100);  // no overflow on the way
}
