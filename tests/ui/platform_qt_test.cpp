// The Qt platform layer on its own: dialog units, the template helper, the
// control helpers, timers, the dialog's modal run, the up-down control, the
// filter conversion and the completion dialog's buttons.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "platform/qt/dialog_base.h"
#include "platform/qt/shell.h"
#include "platform/qt/updown.h"
#include "platform/qt/win_helpers.h"
#include "platform/module.h"
#include "res/dialogs.h"
#include "tests/ui/test_dialog.h"
#include "ui/split_done_dlg.h"

using dlg::DluToPx;

TEST(DialogUnits, RunTimeWindowsLineUpWithTheTemplate) {
  // 7 px per 4 units across, 15 px per 8 units down, rounded like MulDiv.
  EXPECT_EQ(DluToPx(11, 190, 184, 23), QRect(19, 356, 322, 43));  // slider 1002
  EXPECT_EQ(dlg::DluToPxX(365), 639);
  EXPECT_EQ(dlg::DluToPxY(277), 519);
  const QRect player(20, 80, 320, 240), bar(27, 373, 307, 7);
  // The player lies below the "视频预览:" label, above the time labels and
  // left of the mode group box.
  EXPECT_LE(DluToPx(11, 32, 31, 8).bottom(), player.top());
  EXPECT_LT(player.bottom(), DluToPx(11, 183, 26, 8).top());
  EXPECT_LT(player.right(), DluToPx(202, 43, 156, 140).left());
  // The bar sits just under the slider's channel, inside the slider; label
  // 1006 at y 380 starts below the bar and ends at the slider's bottom edge,
  // give or take the pixel the unit rounding leaves.
  const QRect slider = DluToPx(11, 190, 184, 23);
  EXPECT_TRUE(slider.contains(bar));
  EXPECT_GT(380, bar.bottom());
  EXPECT_LE(std::abs(380 + 20 - (slider.bottom() + 1)), 1);
}

TEST(DialogTemplate, ChildrenCarryTheirIdAndLookupFindsTheFirst) {
  static const dlg::DialogTemplate t{
      7, "t", 100, 50,
      {{5, dlg::Cls::Edit, "a", 0, 0, 10, 10, dlg::kTabStop | dlg::kNumber},
       {5, dlg::Cls::Static, "b", 0, 0, 10, 10, dlg::kGroup},
       {6, dlg::Cls::ListBox, "", 0, 0, 10, 10, dlg::kSort | dlg::kTabStop}}};
  QWidget parent;
  const auto made = dlg::CreateControls(&parent, t);
  ASSERT_EQ(made.size(), 3u);
  EXPECT_EQ(made[1]->property("ctrlId").toInt(), 5);
  EXPECT_EQ(made[1]->objectName(), "5");
  EXPECT_EQ(win::GetDlgItem(&parent, 5), made[0]);
  EXPECT_EQ(win::GetDlgItem(&parent, 99), nullptr);

  // ES_NUMBER takes digits only.
  auto* edit = qobject_cast<QLineEdit*>(made[0]);
  edit->clear();
  edit->setFocus();
  QTest::keyClicks(edit, "4a-2");
  EXPECT_EQ(edit->text(), "42");

  // Lines are appended at the end, never re-sorted.
  for (const char* line : {"0:00:09", "0:00:01", "0:00:05"}) win::ListBoxAppend(made[2], line);
  EXPECT_EQ(win::ListBoxText(made[2], 0), "0:00:09");
  EXPECT_EQ(win::ListBoxText(made[2], 2), "0:00:05");
  EXPECT_EQ(win::ListBoxText(made[2], 3), "");
  win::ListBoxDelete(made[2], 0);
  EXPECT_EQ(win::ListBoxCount(made[2]), 2);
}

TEST(WinHelpers, IntegersOutsideTheIntRangeAreNotUndefined) {
  QWidget parent;
  auto* e = new QLineEdit(&parent);
  dlg::SetControlId(e, 3);
  const std::pair<const char*, int> dlgItemInt[] = {
      {"2147483647", INT_MAX}, {"-2147483648", INT_MIN}, {"2147483648", 0},
      {"99999999999999999999", 0}, {"\t 12 3", 12}, {"- 4", 0}};
  for (const auto& [text, value] : dlgItemInt) {
    win::SetWindowText(e, text);
    EXPECT_EQ(win::GetDlgItemInt(&parent, 3), value) << text;
  }
  // The player's total time is read with atoi: fractions cut, huge values saturate.
  EXPECT_EQ(win::AtoiText("95.7"), 95);
  EXPECT_EQ(win::AtoiText("99999999999999999999"), INT_MAX);
  EXPECT_EQ(win::AtoiText("-99999999999999999999"), INT_MIN);
}

TEST(Shell, WindowsFilterBecomesQtFilter) {
  EXPECT_EQ(win::QtFilterFromWin(words::SourceFilter()),
            "网络视频文件(*.flv;*.mp4;*.3gp;*.avi) (*.flv *.mp4 *.3gp *.avi)");
  EXPECT_EQ(win::QtFilterFromWin("A|*.a|B|*.b;*.c|"), "A (*.a);;B (*.b *.c)");
  EXPECT_EQ(win::QtFilterFromWin("A|*.a"), "A (*.a)");           // no closing bar
  EXPECT_EQ(win::QtFilterFromWin("A|*.a||B|*.b|"), "A (*.a)");  // an empty field ends it
  EXPECT_EQ(win::QtFilterFromWin(""), "");
}

namespace {
class TimerDlg : public CDialogBase {
 public:
  TimerDlg() : CDialogBase(res::AboutDialog(), nullptr) { Create(); }
  std::vector<int> ticks;

 protected:
  void OnTimer(int id) override { ticks.push_back(id); }
};
}  // namespace

TEST(DialogBase, TimersByIdRestartAndStop) {
  TimerDlg d;
  d.SetTimer(1, 30);
  d.SetTimer(7, 30);
  d.SetTimer(1, 30);  // the same ID again: still one timer 1
  EXPECT_TRUE(d.IsTimerRunning(1));
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return d.ticks.size() >= 4; }, 5000));
  // Both IDs tick, periodically, under our IDs.
  EXPECT_EQ(std::count(d.ticks.begin(), d.ticks.end(), 1) +
                std::count(d.ticks.begin(), d.ticks.end(), 7),
            static_cast<long>(d.ticks.size()));
  d.KillTimer(1);
  d.KillTimer(1);  // killing a stopped timer is harmless
  d.KillTimer(7);
  EXPECT_FALSE(d.IsTimerRunning(1));
  const std::size_t n = d.ticks.size();
  TestDlg::PumpUntil([] { return false; }, 150);
  EXPECT_EQ(d.ticks.size(), n);
}

TEST(DialogBase, EscapeEndsTheModalRunAsCancelAndOkAsOk) {
  TimerDlg d;
  QTimer::singleShot(0, &d, [&] { QTest::keyClick(&d, Qt::Key_Escape); });
  EXPECT_EQ(d.DoModal(), IDCANCEL);
  TimerDlg e;
  QTimer::singleShot(0, &e, [&] { e.OnCommand(IDOK); });  // the About box's 确定
  EXPECT_EQ(e.DoModal(), IDOK);
}

TEST(DialogBase, ExitCommandEndsTheMainDialog) {
  TestDlg d;
  QTimer::singleShot(0, &d, [&] { d.OnCommand(57665); });
  EXPECT_EQ(d.exec(), IDCANCEL);
}

TEST(UpDown, BuddyArrowKeysStepAndTypedTextIsClamped) {
  QWidget parent;
  auto* edit = new QLineEdit(&parent);
  auto* spin = new CUpDownCtrl(&parent);
  spin->SetBuddy(edit);
  spin->SetRange(2, 50);
  spin->SetPos(99);
  EXPECT_EQ(edit->text(), "50");
  QTest::keyClick(edit, Qt::Key_Down);
  EXPECT_EQ(edit->text(), "49");
  QTest::keyClick(edit, Qt::Key_Up);
  QTest::keyClick(edit, Qt::Key_Up);
  EXPECT_EQ(edit->text(), "50");
  edit->setText("7x");
  EXPECT_EQ(spin->GetPos(), 7);
  edit->setText("");
  EXPECT_EQ(spin->GetPos(), 2);
  // A reversed range steps the other way.
  spin->SetRange(10, 0);
  spin->SetPos(5);
  spin->Step(+1);
  EXPECT_EQ(edit->text(), "4");
  // Disabled, it does not step.
  spin->setEnabled(false);
  spin->Step(+1);
  EXPECT_EQ(edit->text(), "4");
}

namespace {
class DoneDlg : public CSplitDoneDlg {
 public:
  DoneDlg() : CSplitDoneDlg("片段.flv", "/srv/out/", nullptr) { Create(); }
  std::vector<std::string> calls;

 protected:
  bool OpenFolder(const std::string& f) override {
    calls.push_back("open " + f + (isVisible() ? " shown" : ""));
    return true;
  }
  bool StartProgram(const std::string& p) override {
    calls.push_back("start " + p + (result() == IDOK ? " after ok" : ""));
    return true;
  }
  void Quit() override { calls.push_back("quit"); }
};
}  // namespace

TEST(SplitDoneDialog, ShowsTheSourceAndBothButtonsEndTheProgram) {
  {
    DoneDlg d;
    EXPECT_EQ(win::GetDlgItemText(&d, 1035), "片段.flv");
    EXPECT_EQ(d.size(), QSize(dlg::DluToPxX(167), dlg::DluToPxY(91)));
    QTimer::singleShot(0, &d, [&] { qobject_cast<QAbstractButton*>(d.GetDlgItem(1001))->click(); });
    EXPECT_EQ(d.exec(), IDOK);
    EXPECT_EQ(d.calls, (std::vector<std::string>{"open /srv/out/ shown", "quit"}));
  }
  {
    DoneDlg d;
    QTimer::singleShot(0, &d, [&] { qobject_cast<QAbstractButton*>(d.GetDlgItem(1033))->click(); });
    EXPECT_EQ(d.exec(), IDOK);
    EXPECT_EQ(d.calls, (std::vector<std::string>{
                           "quit", "start " + zantrel::GetModuleDir() + "Zantrel after ok"}));
  }
  {
    // Escape returns to the main dialog without ending anything.
    DoneDlg d;
    QTimer::singleShot(0, &d, [&] { QTest::keyClick(&d, Qt::Key_Escape); });
    EXPECT_EQ(d.exec(), IDCANCEL);
    EXPECT_TRUE(d.calls.empty());
  }
}
