#include <gtest/gtest.h>

#include "engine/plan.h"

using namespace zantrel;

namespace {

SplitPlan Average(int n, double d) {
  SplitPlanInput in;
  in.mode = kSplitAverage;
  in.parts = n;
  in.duration = d;
  return BuildSplitPlan(in);
}

SplitPlan EqualTime(int s, double d) {
  SplitPlanInput in;
  in.mode = kSplitEqualTime;
  in.secondsPerPart = s;
  in.duration = d;
  return BuildSplitPlan(in);
}

SplitPlan Custom(std::vector<int> points, double d) {
  SplitPlanInput in;
  in.mode = kSplitCustom;
  in.splitPoints = std::move(points);
  in.duration = d;
  return BuildSplitPlan(in);
}

using Ints = std::vector<int>;

}  // namespace

TEST(FormatTime, FieldsAndPadding) {
  EXPECT_EQ(FormatTime(0), "0:00:00");
  EXPECT_EQ(FormatTime(59), "0:00:59");
  EXPECT_EQ(FormatTime(83), "0:01:23");
  EXPECT_EQ(FormatTime(3600), "1:00:00");
  EXPECT_EQ(FormatTime(3725), "1:02:05");
  EXPECT_EQ(FormatTime(36000 + 600 + 10), "10:10:10");
  EXPECT_EQ(FormatTime(123 * 3600 + 59 * 60 + 9), "123:59:09");
}

TEST(PositionToSeconds, TruncatesTowardZero) {
  EXPECT_EQ(PositionToSeconds(25, 200), 50);
  EXPECT_EQ(PositionToSeconds(60, 200), 120);
  EXPECT_EQ(PositionToSeconds(2, 50), 1);
  EXPECT_EQ(PositionToSeconds(3, 50), 1);
  EXPECT_EQ(PositionToSeconds(0, 77), 0);
  EXPECT_EQ(PositionToSeconds(100, 77), 77);
  EXPECT_EQ(PositionToSeconds(33, 10), 3);
}

TEST(SplitPlanAverage, RemainderGoesToTheLastSegment) {
  SplitPlan p = Average(3, 100);
  EXPECT_TRUE(p.valid);
  EXPECT_EQ(p.count, 4);
  EXPECT_EQ(p.boundaries, (Ints{33, 66}));

  p = Average(3, 3);  // one second each, exactly
  EXPECT_TRUE(p.valid);
  EXPECT_EQ(p.boundaries, (Ints{1, 2}));

  p = Average(1, 100);
  EXPECT_EQ(p.count, 2);
  EXPECT_TRUE(p.boundaries.empty());
}

TEST(SplitPlanAverage, MorePartsThanSecondsAreRefused) {
  // Every segment but the last would be empty; an absurd count must not even
  // reach the allocation.
  for (const auto& [n, d] : {std::pair{3, 2.0}, {2, 1.9}, {2000000000, 100.0}, {2, 0.0}}) {
    const SplitPlan p = Average(n, d);
    EXPECT_FALSE(p.valid) << n << " parts of " << d;
    EXPECT_TRUE(p.boundaries.empty());
    EXPECT_EQ(p.error, PlanError::kTooManyParts);
    EXPECT_EQ(p.parts, n);
    EXPECT_EQ(p.seconds, static_cast<int>(d));
  }
}

TEST(SplitPlanAverage, ZeroOrNegativePartsGiveNoSegment) {
  for (int n : {0, -1, -50}) {
    SplitPlan p = Average(n, 100);
    EXPECT_TRUE(p.valid) << n;
    EXPECT_EQ(p.count, 1) << n;
    EXPECT_TRUE(p.boundaries.empty()) << n;
  }
}

TEST(SplitPlanAverage, NoCapOnTheNumberOfParts) {
  SplitPlan p = Average(50, 1000);
  EXPECT_EQ(p.count, 51);
  ASSERT_EQ(p.boundaries.size(), 49u);
  EXPECT_EQ(p.boundaries.front(), 20);
  EXPECT_EQ(p.boundaries.back(), 980);

  p = Average(200, 1000);  // typed past the up-down's range
  EXPECT_EQ(p.count, 201);
  EXPECT_EQ(p.boundaries.size(), 199u);
}

TEST(SplitPlanEqualTime, WholeAndPartialLastPiece) {
  SplitPlan p = EqualTime(30, 100);
  EXPECT_TRUE(p.valid);
  EXPECT_EQ(p.count, 5);
  EXPECT_EQ(p.boundaries, (Ints{30, 60, 90}));

  p = EqualTime(30, 90);
  EXPECT_EQ(p.count, 4);
  EXPECT_EQ(p.boundaries, (Ints{30, 60}));

  p = EqualTime(30, 20);
  EXPECT_EQ(p.count, 2);
  EXPECT_TRUE(p.boundaries.empty());

  p = EqualTime(30, 0);  // nothing to cut
  EXPECT_EQ(p.count, 1);
}

TEST(SplitPlanEqualTime, ExactMultiplesNeverLoseASegment) {
  // 1.0 / 49 * 98 is 1.9999999999999998 in doubles.
  SplitPlan p = EqualTime(49, 98);
  EXPECT_EQ(p.count, 3);
  EXPECT_EQ(p.boundaries, (Ints{49}));
  for (int s = 1; s <= 200; ++s) {
    for (int q = 1; q <= 40; ++q) {
      p = EqualTime(s, static_cast<double>(s) * q);
      ASSERT_EQ(p.count, q + 1) << "S=" << s << " D=" << s * q;
      if (q > 1) {
        ASSERT_EQ(p.boundaries.back() + s, s * q);
      }
    }
  }
}

TEST(SplitPlanEqualTime, NonPositiveSecondsIsRefused) {
  for (int s : {0, -30}) {
    SplitPlan p = EqualTime(s, 100);
    EXPECT_FALSE(p.valid) << s;
    EXPECT_EQ(p.error, PlanError::kNoSecondsPerPart) << s;
    EXPECT_TRUE(p.boundaries.empty());
  }
}

TEST(SplitPlanEqualTime, ManySmallPieces) {
  SplitPlan p = EqualTime(1, 3600);
  EXPECT_EQ(p.count, 3601);
  EXPECT_EQ(p.boundaries.size(), 3599u);
}

TEST(SplitPlanCustom, PointsBecomeTimes) {
  SplitPlan p = Custom({25, 60}, 200);
  EXPECT_EQ(p.count, 4);
  EXPECT_EQ(p.boundaries, (Ints{50, 120}));

  p = Custom({2, 3}, 50);  // equal boundaries: an empty segment between them
  EXPECT_EQ(p.count, 4);
  EXPECT_EQ(p.boundaries, (Ints{1, 1}));

  p = Custom({}, 200);
  EXPECT_EQ(p.count, 2);
  EXPECT_TRUE(p.boundaries.empty());

  p = Custom({0, 100}, 200);  // empty first and last segments still count
  EXPECT_EQ(p.count, 4);
  EXPECT_EQ(p.boundaries, (Ints{0, 200}));
}

TEST(SplitPlanCustom, OrderOfAddingDoesNotMatter) {
  SplitPlan p = Custom({60, 25}, 200);
  EXPECT_EQ(p.boundaries, (Ints{50, 120}));
}
