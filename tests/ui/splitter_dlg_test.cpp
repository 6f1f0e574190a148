// The main dialog after initialisation, offscreen: its controls, their
// states and places, browsing, timers and the position label.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QDir>
#include <QStandardPaths>

#include "platform/qt/dialog_template.h"
#include "platform/qt/trackbar.h"
#include "platform/qt/updown.h"
#include "platform/qt/win_helpers.h"
#include "res/dialogs.h"
#include "tests/ui/test_dialog.h"

namespace {
std::vector<QWidget*> ChildWidgets(QWidget* w) {
  std::vector<QWidget*> out;
  for (QObject* o : w->children())
    if (auto* c = qobject_cast<QWidget*>(o); c && !c->isWindow()) out.push_back(c);
  return out;
}
}  // namespace

TEST(MainDialog, ControlsInTemplateOrderThenRunTimeWindows) {
  TestDlg d;
  const auto& t = res::MainDialog();
  ASSERT_EQ(t.controls.size(), 33u);
  const auto kids = ChildWidgets(&d);
  ASSERT_EQ(kids.size(), 36u);
  for (std::size_t i = 0; i < t.controls.size(); ++i) {
    const auto& c = t.controls[i];
    EXPECT_EQ(dlg::ControlId(kids[i]), c.id) << i;
    EXPECT_EQ(kids[i]->objectName().toStdString(), std::to_string(c.id)) << i;
  }
  // The player, the split-point bar and the menu bar follow, in creation
  // order, with IDs of their own.
  EXPECT_EQ(dlg::ControlId(kids[33]), 1);
  EXPECT_EQ(kids[33]->geometry(), QRect(20, 80, 320, 240));
  EXPECT_EQ(dlg::ControlId(kids[34]), kPointBarId);
  EXPECT_EQ(kids[34]->geometry(), QRect(27, 373, 307, 7));
  EXPECT_EQ(dlg::ControlId(kids[35]), kMenuBarId);
  EXPECT_EQ(kids[35]->geometry(), QRect(13, 0, 300, 20));
  // No ID is shared: each finds its own control.
  EXPECT_EQ(dlg::ClassNameOf(d.GetDlgItem(1000)), "EDIT");
  EXPECT_EQ(dlg::ClassNameOf(d.GetDlgItem(1001)), "BUTTON");
  EXPECT_EQ(d.GetDlgItem(kPointBarId), kids[34]);
  EXPECT_EQ(d.GetDlgItem(kMenuBarId), kids[35]);

  struct Expect {
    int id;
    const char* cls;
    const char* text;
    bool enabled;
  };
  const Expect expected[] = {
      {1023, "STATIC", "源文件:", true},       {1000, "EDIT", "", true},
      {1001, "BUTTON", "浏览", true},          {1002, "msctls_trackbar32", "", false},
      {1003, "STATIC", "0:00:00", true},       {1004, "BUTTON", "添加分割点", true},
      {1006, "STATIC", "0:00:00", true},       {1007, "BUTTON", "自定义分割", true},
      {1010, "EDIT", "2", false},              {1011, "msctls_updown32", "", true},
      {1012, "EDIT", "120", false},            {1013, "LISTBOX", "", true},
      {1016, "BUTTON", "开始", true},          {1017, "BUTTON", "停止", false},
      {1018, "BUTTON", "暂停", false},         {1019, "msctls_progress32", "", true},
      {1021, "BUTTON", " 输出到源文件所在的文件夹", true}, {1022, "STATIC", "准备就绪", true},
  };
  for (const Expect& e : expected) {
    QWidget* w = d.GetDlgItem(e.id);
    ASSERT_NE(w, nullptr) << e.id;
    EXPECT_EQ(dlg::ClassNameOf(w), e.cls) << e.id;
    EXPECT_EQ(win::GetWindowText(w), e.text) << e.id;
    EXPECT_EQ(w->isEnabled(), e.enabled) << e.id;
  }
  EXPECT_TRUE(win::IsDlgButtonChecked(&d, 1007));
  EXPECT_FALSE(win::IsDlgButtonChecked(&d, 1008));
  EXPECT_EQ(d.Model().Mode(), 3);
  EXPECT_EQ(d.windowTitle(), QString::fromUtf8("网络视频分割器"));
}

TEST(MainDialog, GeometryFollowsTheDialogUnits) {
  TestDlg d;
  EXPECT_EQ(d.size(), QSize(639, 519));  // 365 x 277 units
  EXPECT_EQ(d.GetDlgItem(1002)->geometry(), QRect(19, 356, 322, 43));
  EXPECT_EQ(d.GetDlgItem(1019)->geometry(), dlg::DluToPx(46, 258, 312, 14));
  // The split-point bar lies inside the slider, under its channel.
  const QRect slider = d.GetDlgItem(1002)->geometry();
  EXPECT_TRUE(slider.contains(QRect(27, 373, 307, 7)));
}

TEST(MainDialog, UpDownRangeAndDefaultFolder) {
  TestDlg d;
  EXPECT_EQ(d.spin()->Lower(), 2);
  EXPECT_EQ(d.spin()->Upper(), 50);
  for (int i = 0; i < 60; ++i) d.spin()->Step(+1);
  EXPECT_EQ(win::GetDlgItemText(&d, 1010), "50");
  for (int i = 0; i < 60; ++i) d.spin()->Step(-1);
  EXPECT_EQ(win::GetDlgItemText(&d, 1010), "2");

  QString movies = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
  if (movies.isEmpty()) movies = QDir::homePath();
  EXPECT_EQ(win::GetDlgItemText(&d, 1014), movies.toStdString() + "/ZantrelOutput/");
}

TEST(MainDialog, PositionLabelFollowsTheThumb) {
  TestDlg d;
  d.Model().SetDuration(200);
  win::EnableWindow(d.slider(), true);
  const int expectedX[][2] = {{37, 127}, {100, 310}, {0, 20}};
  for (const auto& [pos, x] : expectedX) {
    d.slider()->setValue(pos);
    EXPECT_EQ(d.posLabel()->geometry(), QRect(x, 380, 43, 20)) << pos;
  }
  EXPECT_EQ(win::GetDlgItemText(&d, 1006), "0:00:00");
  d.slider()->setValue(37);
  EXPECT_EQ(win::GetDlgItemText(&d, 1006), "0:01:14");  // 37 * 200 * 0.01 = 74
}

TEST(MainDialog, SourceBrowseChoosesPreviewOrProbe) {
  struct Case {
    const char* path;
    bool previewable;
  };
  const Case cases[] = {{"/nowhere/clip.flv", true}, {"/nowhere/clip.mp4", true},
                        {"/nowhere/clip.FLV", false}, {"/nowhere/clip.Mp4", false},
                        {"/nowhere/.3gp", false},     {"/nowhere/a.b/clip.avi", false}};
  for (const Case& c : cases) {
    TestDlg d;
    d.files.push_back(c.path);
    d.OnCommand(1001);
    EXPECT_EQ(win::GetDlgItemText(&d, 1000), c.path);
    EXPECT_TRUE(d.slider()->isEnabled());
    EXPECT_EQ(d.PreviewLive(), c.previewable ? 1 : 0) << c.path;
    EXPECT_EQ(d.IsTimerRunning(kTimerDuration), c.previewable) << c.path;
    EXPECT_EQ(d.IsTimerRunning(kTimerProbe), !c.previewable) << c.path;
    d.KillTimer(kTimerDuration);
    d.KillTimer(kTimerProbe);
  }
  TestDlg d;
  d.files.push_back("/nowhere/x/clip.mp4");
  d.OnCommand(32778);  // the menu's 添加文件 is the same browse
  EXPECT_EQ(d.Model().Source().name, "clip.mp4");
  EXPECT_EQ(d.Model().Source().path, "/nowhere/x/clip.mp4");
  d.KillTimer(kTimerDuration);

  // A cancelled file dialog changes nothing.
  d.OnCommand(1001);
  EXPECT_EQ(d.Model().Source().path, "/nowhere/x/clip.mp4");
}

TEST(MainDialog, ASecondChoiceRestartsTheSameOneShotTimer) {
  TestDlg d;
  d.files = {"/nowhere/first.flv", "/nowhere/second.flv"};
  d.OnCommand(1001);
  d.OnCommand(1001);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return !d.IsTimerRunning(kTimerDuration); }, 10000));
  TestDlg::PumpUntil([] { return false; }, 700);
  // One timer, one tick: the unknown file gives a duration of 0.
  EXPECT_EQ(d.timerTicks[kTimerDuration], 1);
  EXPECT_EQ(d.Model().Source().durationSeconds, 0);
  EXPECT_EQ(win::GetDlgItemText(&d, 1003), "0:00:00");
}

TEST(MainDialog, FolderBrowseCancelEmptiesTheBox) {
  TestDlg d;
  d.folders.push_back("/srv/pieces");
  d.OnCommand(1015);
  EXPECT_EQ(win::GetDlgItemText(&d, 1014), "/srv/pieces");  // no separator added
  d.OnCommand(1015);
  EXPECT_EQ(win::GetDlgItemText(&d, 1014), "");
}

TEST(MainDialog, TabStopsInTemplateOrder) {
  TestDlg d;
  // The preview (child ID 1) follows the source's Browse button.
  const int stops[] = {1000, 1001, 1, 1002, 1004, 1005, 1010, 1012, 1013, 1014, 1015, 1016, 1017, 1018, 1021};
  std::vector<int> chain;
  QWidget* w = d.GetDlgItem(1000);
  for (int i = 0; i < 200 && w; ++i) {
    if (w->focusPolicy() == Qt::StrongFocus && w->parentWidget() == &d) {
      const int id = dlg::ControlId(w);
      if (!chain.empty() && id == chain.front()) break;
      chain.push_back(id);
    }
    w = w->nextInFocusChain();
  }
  EXPECT_EQ(chain, std::vector<int>(std::begin(stops), std::end(stops)));
}

TEST(MainDialog, MenuCommandsAndStop) {
  TestDlg d;
  d.OnCommand(57664);
  EXPECT_EQ(d.aboutBoxes, 1);
  d.OnCommand(32786);
  ASSERT_EQ(d.opened.size(), 1u);
  EXPECT_EQ(d.opened[0], std::string(ZANTREL_BIN_DIR) + "/home.html");
  d.OnCommand(1017);  // does nothing, and stays disabled
  EXPECT_FALSE(d.GetDlgItem(1017)->isEnabled());
  d.OnCommand(32775);
  EXPECT_EQ(d.Skin(), 4);
  d.SetSkin(1);  // leave the program folder's skin.ini as a fresh run has it
}

TEST(WinHelpers, GetDlgItemIntReadsLikeWindows) {
  TestDlg d;
  const std::pair<const char*, int> cases[] = {{"  42abc", 42}, {"-7", -7}, {"+3", 3}, {"abc", 0}, {"", 0}};
  for (const auto& [text, value] : cases) {
    win::SetDlgItemText(&d, 1000, text);
    EXPECT_EQ(win::GetDlgItemInt(&d, 1000), value) << text;
  }
}
