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
