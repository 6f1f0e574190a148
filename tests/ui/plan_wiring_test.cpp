// Split modes and split points through the dialog's own handlers.
#include <gtest/gtest.h>

#include <QListWidget>

#include "engine/plan.h"
#include "platform/qt/trackbar.h"
#include "platform/qt/win_helpers.h"
#include "tests/ui/test_dialog.h"
#include "ui/split_point_bar.h"

namespace {
void AddAt(TestDlg& d, int pos) {
  d.slider()->setValue(pos);
  d.OnHScroll();  // a move to the same place still refreshes the text
  d.OnCommand(1004);
}
std::vector<std::string> Lines(TestDlg& d) {
  std::vector<std::string> out;
  for (int i = 0; i < win::ListBoxCount(d.list()); ++i) out.push_back(win::ListBoxText(d.list(), i));
  return out;
}
std::vector<int> Ticks(TestDlg& d) {
  std::vector<int> out;
  for (int i = 0; d.slider()->GetTic(i) != -1; ++i) out.push_back(d.slider()->GetTic(i));
  return out;
}
}  // namespace

TEST(PlanWiring, ModesEnableExactlyTheirControls) {
  TestDlg d;
  struct Case {
    int radio, mode;
    bool parts, seconds, list;
  };
  const Case cases[] = {{1008, 1, true, false, false}, {1009, 2, false, true, false}, {1007, 3, false, false, true}};
  for (const Case& c : cases) {
    d.OnCommand(c.radio);
    EXPECT_EQ(d.Model().Mode(), c.mode);
    EXPECT_EQ(d.GetDlgItem(1010)->isEnabled(), c.parts) << c.radio;
    EXPECT_EQ(d.GetDlgItem(1012)->isEnabled(), c.seconds) << c.radio;
    EXPECT_EQ(d.GetDlgItem(1013)->isEnabled(), c.list) << c.radio;
    // Nothing else moves.
    EXPECT_TRUE(d.GetDlgItem(1011)->isEnabled());
    EXPECT_TRUE(d.GetDlgItem(1004)->isEnabled());
    EXPECT_TRUE(d.GetDlgItem(1005)->isEnabled());
  }
}

TEST(PlanWiring, PointsAddedOutOfOrderPlanInOrderAndListAsAdded) {
  TestDlg d;
  d.Model().SetDuration(200);
  AddAt(d, 60);
  AddAt(d, 25);
  AddAt(d, 60);  // a second point at one place is ignored
  EXPECT_EQ(Ticks(d), (std::vector<int>{25, 60}));
  EXPECT_EQ(d.slider()->GetNumTics(), 4);
  EXPECT_EQ(Lines(d), (std::vector<std::string>{"0:02:00", "0:00:50"}));
  EXPECT_EQ(d.pointBar()->Points(), (std::vector<int>{60, 25}));
  const zantrel::SplitPlan plan = d.Model().Plan();
  EXPECT_EQ(plan.count, 4);
  EXPECT_EQ(plan.boundaries, (std::vector<int>{50, 120}));
}

TEST(PlanWiring, DeleteRemovesEveryPointWithinFour) {
  TestDlg d;
  d.Model().SetDuration(100);
  AddAt(d, 10);
  AddAt(d, 12);
  AddAt(d, 30);
  d.slider()->setValue(11);
  d.OnCommand(1005);
  EXPECT_EQ(Ticks(d), (std::vector<int>{30}));
  EXPECT_EQ(d.pointBar()->Points(), (std::vector<int>{30}));
  EXPECT_EQ(Lines(d), (std::vector<std::string>{"0:00:30"}));
  // Nothing near: nothing changes.
  d.slider()->setValue(60);
  d.OnCommand(1005);
  EXPECT_EQ(Ticks(d), (std::vector<int>{30}));
}

TEST(PlanWiring, PointsAtTheEndsGiveEmptyEndSegments) {
  TestDlg d;
  d.Model().SetDuration(80);
  AddAt(d, 0);
  AddAt(d, 100);
  const zantrel::SplitPlan plan = d.Model().Plan();
  EXPECT_EQ(plan.count, 4);
  EXPECT_EQ(plan.boundaries, (std::vector<int>{0, 80}));
}

// A point goes with its own line, whatever the duration has become since
// it was added (its text is the one it was added with).
TEST(PlanWiring, DeleteAfterTheDurationChangedTakesThePointsOwnLine) {
  TestDlg d;
  d.Model().SetDuration(100);
  AddAt(d, 40);  // listed as 0:00:40
  AddAt(d, 80);
  d.Model().SetDuration(50);
  d.slider()->setValue(40);
  d.OnCommand(1005);
  EXPECT_EQ(Ticks(d), (std::vector<int>{80}));
  EXPECT_EQ(d.pointBar()->Points(), (std::vector<int>{80}));
  EXPECT_EQ(Lines(d), (std::vector<std::string>{"0:01:20"}));
}

TEST(PlanWiring, StartRefusesEqualTimeWithoutSeconds) {
  TestDlg d;
  d.Model().SetDuration(100);
  win::SetDlgItemText(&d, 1000, "/nowhere/clip.avi");
  d.OnCommand(1009);
  win::SetDlgItemText(&d, 1012, "0");
  d.OnCommand(1016);
  ASSERT_EQ(d.messages.size(), 1u);
  EXPECT_EQ(d.messages[0].rfind("Tesmor提示|", 0), 0u) << d.messages[0];
  EXPECT_EQ(d.Model().Job(), nullptr);
}

// Two lines with the same text, one point within reach: only that point's
// line goes.
TEST(PlanWiring, DeleteTakesOnlyThePointsOwnLineAmongEqualTexts) {
  TestDlg d;
  d.Model().SetDuration(100);
  AddAt(d, 10);  // 0:00:10
  d.Model().SetDuration(200);
  AddAt(d, 5);  // 0:00:10 as well
  AddAt(d, 50);
  ASSERT_EQ(Lines(d), (std::vector<std::string>{"0:00:10", "0:00:10", "0:01:40"}));
  d.Model().SetDuration(100);
  d.slider()->setValue(14);  // reaches 10, not 5
  d.OnCommand(1005);
  EXPECT_EQ(Ticks(d), (std::vector<int>{5, 50}));
  EXPECT_EQ(d.pointBar()->Points(), (std::vector<int>{5, 50}));
  EXPECT_EQ(Lines(d), (std::vector<std::string>{"0:00:10", "0:01:40"}));
}

TEST(PlanWiring, TheEditsReachThePlanLikeGetDlgItemInt) {
  TestDlg d;
  d.Model().SetDuration(100);
  d.OnCommand(1008);
  win::SetDlgItemText(&d, 1010, "3");
  win::SetDlgItemText(&d, 1012, "");
  EXPECT_EQ(d.Model().Mode(), zantrel::kSplitAverage);
  EXPECT_EQ(d.Model().Parts(), 3);
  EXPECT_EQ(d.Model().SecondsPerPart(), 0);
  EXPECT_EQ(d.Model().Plan().boundaries, (std::vector<int>{33, 66}));
  d.spin()->Step(+1);  // the arrows too
  EXPECT_EQ(d.Model().Parts(), 4);
  d.OnCommand(1009);
  win::SetDlgItemText(&d, 1012, "30");
  EXPECT_EQ(d.Model().Mode(), zantrel::kSplitEqualTime);
  EXPECT_EQ(d.Model().Plan().boundaries, (std::vector<int>{30, 60, 90}));
}
