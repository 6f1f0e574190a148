// The main dialog on the desktop: a source from outside (command line,
// drop), the keyboard paths, accessible names and tool tips. Real clips,
// the real player and the real probe.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "i18n/language.h"
#include "platform/cmdline.h"
#include "platform/launcher.h"
#include "platform/qt/dialog_template.h"
#include "platform/qt/trackbar.h"
#include "platform/qt/win_helpers.h"
#include "preview/mpv_player_widget.h"
#include "tests/ui/test_dialog.h"
#include "ui/desktop_input.h"

#include "tests/common/ffmpeg_util.h"

namespace fs = std::filesystem;

namespace {
using zantrel_test::RunFfmpeg;

// One folder of clips for the whole suite: a 20 s MP4 the preview plays and
// a 5 s AVI the probe measures.
struct Clips {
  std::string dir, mp4, avi;
  bool ok = false;
};
const Clips& TheClips() {
  static Clips c = [] {
    Clips r;
    char tmpl[] = "/tmp/zantrel-desktop-XXXXXX";
    if (!mkdtemp(tmpl)) return r;
    r.dir = tmpl;
    r.mp4 = r.dir + "/预览 clip.mp4";
    r.avi = r.dir + "/probe.avi";
    r.ok = RunFfmpeg("-f lavfi -i testsrc2=size=160x120:rate=25:duration=20 -c:v libx264 -preset "
                  "ultrafast -g 25 -pix_fmt yuv420p " + zantrel::QuoteArgument(r.mp4)) &&
           RunFfmpeg("-f lavfi -i testsrc2=size=160x120:rate=25:duration=5 -c:v mpeg4 " +
                  zantrel::QuoteArgument(r.avi));
    return r;
  }();
  return c;
}

MpvPlayerWidget* Player(TestDlg& d) { return qobject_cast<MpvPlayerWidget*>(d.preview()); }

bool DurationArrived(TestDlg& d) {
  return !d.IsTimerRunning(kTimerDuration) && !d.IsTimerRunning(kTimerProbe);
}

// A dialog on screen and active, so shortcuts and focus behave as for a user.
void ShowActive(TestDlg& d) {
  d.show();
  QApplication::setActiveWindow(&d);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
}

QMimeData* UrlData(const std::vector<QUrl>& urls) {
  auto* m = new QMimeData;
  m->setUrls(QList<QUrl>(urls.begin(), urls.end()));
  m->setText(urls.empty() ? QString() : urls.front().toString());
  return m;
}

// Drags `data` onto `target` and drops it, as a file manager would; true
// when the drop was accepted.
bool DragAndDrop(QWidget* target, QMimeData* data) {
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}
}  // namespace

TEST(Desktop, SourceFromOutsideIsChosenAsABrowseWouldChooseIt) {
  const Clips& c = TheClips();
  ASSERT_TRUE(c.ok);
  TestDlg d;
  d.toolDir = ZANTREL_BIN_DIR;
  ASSERT_TRUE(d.OpenSourceFromOutside(c.mp4));
  EXPECT_EQ(win::GetDlgItemText(&d, 1000), c.mp4);
  EXPECT_EQ(d.Model().Source().name, "预览 clip.mp4");
  EXPECT_TRUE(d.slider()->isEnabled());
  EXPECT_EQ(d.PreviewLive(), 1);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return DurationArrived(d); }, 15000));
  EXPECT_EQ(d.Model().Source().durationSeconds, 20);
  EXPECT_EQ(win::GetDlgItemText(&d, 1003), "0:00:20");

  // A source the preview cannot play goes through the probe.
  ASSERT_TRUE(d.OpenSourceFromOutside(c.avi));
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return DurationArrived(d); }, 20000));
  EXPECT_EQ(d.Model().Source().durationSeconds, 5);
  EXPECT_EQ(d.PreviewLive(), 0);
  EXPECT_TRUE(d.messages.empty());

  // A name that is no readable file is refused with the read-failure
  // message; the chosen source stays.
  EXPECT_FALSE(d.OpenSourceFromOutside(c.dir + "/missing.flv"));
  EXPECT_FALSE(d.OpenSourceFromOutside(c.dir));
  ASSERT_EQ(d.messages.size(), 2u);
  EXPECT_EQ(d.messages[0], "Tesmor提示|文件读取失败，请重新添加文件!");
  EXPECT_EQ(d.Model().Source().path, c.avi);
  EXPECT_FALSE(d.IsTimerRunning(kTimerDuration) || d.IsTimerRunning(kTimerProbe));
}

TEST(Desktop, DroppedVideoFileIsChosenOnAnyControl) {
  const Clips& c = TheClips();
  ASSERT_TRUE(c.ok);
  TestDlg d;
  d.toolDir = ZANTREL_BIN_DIR;
  // Onto the source edit box, which would otherwise insert the URL as text.
  QWidget* edit = d.GetDlgItem(1000);
  std::unique_ptr<QMimeData> data(UrlData({QUrl::fromLocalFile(QString::fromStdString(c.mp4))}));
  ASSERT_TRUE(DragAndDrop(edit, data.get()));
  EXPECT_EQ(win::GetDlgItemText(&d, 1000), c.mp4);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return DurationArrived(d); }, 15000));
  EXPECT_EQ(d.Model().Source().durationSeconds, 20);

  // Onto the preview, an AVI among other files: the first video counts.
  data.reset(UrlData({QUrl("https://example.com/x.mp4"),
                      QUrl::fromLocalFile(QString::fromStdString(c.dir + "/notes.txt")),
                      QUrl::fromLocalFile(QString::fromStdString(c.avi))}));
  ASSERT_TRUE(DragAndDrop(d.preview(), data.get()));
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return DurationArrived(d); }, 20000));
  EXPECT_EQ(d.Model().Source().path, c.avi);
  EXPECT_EQ(d.Model().Source().durationSeconds, 5);

  // Anything else is not taken: no drop cursor, nothing chosen.
  data.reset(UrlData({QUrl::fromLocalFile(QString::fromStdString(c.dir + "/notes.txt"))}));
  EXPECT_FALSE(DragAndDrop(d.GetDlgItem(1016), data.get()));
  auto* text = new QMimeData;
  text->setText("plain words");
  data.reset(text);
  EXPECT_FALSE(DragAndDrop(&d, data.get()));
  EXPECT_EQ(d.Model().Source().path, c.avi);
}

TEST(Desktop, DroppedVideoFileReadsExtensionsInAnyCase) {
  std::unique_ptr<QMimeData> m(UrlData({QUrl::fromLocalFile("/v/CLIP.FLV")}));
  EXPECT_EQ(DroppedVideoFile(m.get()), "/v/CLIP.FLV");
  m.reset(UrlData({QUrl::fromLocalFile("/v/a.3Gp"), QUrl::fromLocalFile("/v/b.avi")}));
  EXPECT_EQ(DroppedVideoFile(m.get()), "/v/a.3Gp");
  m.reset(UrlData({QUrl::fromLocalFile("/v/mp4"), QUrl::fromLocalFile("/v/a.mkv")}));
  EXPECT_EQ(DroppedVideoFile(m.get()), "");
  EXPECT_EQ(DroppedVideoFile(nullptr), "");
}

TEST(Desktop, CtrlOBrowsesForTheSource) {
  TestDlg d;
  ShowActive(d);
  d.files.push_back("/nowhere/by-key.flv");
  QTest::keyClick(d.GetDlgItem(1014), Qt::Key_O, Qt::ControlModifier);
  EXPECT_TRUE(d.files.empty());
  EXPECT_EQ(win::GetDlgItemText(&d, 1000), "/nowhere/by-key.flv");
  d.KillTimer(kTimerDuration);
}

TEST(Desktop, SliderKeysMoveItAndSeekThePreview) {
  const Clips& c = TheClips();
  ASSERT_TRUE(c.ok);
  TestDlg d;
  ShowActive(d);
  ASSERT_TRUE(d.OpenSourceFromOutside(c.mp4));
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return DurationArrived(d); }, 15000));
  d.slider()->setFocus();
  ASSERT_TRUE(d.slider()->hasFocus());

  QTest::keyClick(d.slider(), Qt::Key_PageDown);  // a page is 20
  EXPECT_EQ(d.slider()->value(), 20);
  QTest::keyClick(d.slider(), Qt::Key_Right);
  QTest::keyClick(d.slider(), Qt::Key_Right);
  EXPECT_EQ(d.slider()->value(), 22);
  EXPECT_EQ(win::GetDlgItemText(&d, 1006), "0:00:04");  // 22 % of 20 s
  EXPECT_EQ(d.posLabel()->geometry().x(), 22 * 290 / 100 + 20);
  MpvPlayerWidget* player = Player(d);
  ASSERT_NE(player, nullptr);
  EXPECT_TRUE(TestDlg::PumpUntil([&] { return std::abs(player->PositionPercent() - 22) < 1; }, 10000))
      << player->PositionPercent();

  QTest::keyClick(d.slider(), Qt::Key_PageUp);
  QTest::keyClick(d.slider(), Qt::Key_Left);
  EXPECT_EQ(d.slider()->value(), 1);
  EXPECT_TRUE(TestDlg::PumpUntil([&] { return std::abs(player->PositionPercent() - 1) < 1; }, 10000))
      << player->PositionPercent();
}

TEST(Desktop, SpaceOnThePreviewPlaysAndPauses) {
  const Clips& c = TheClips();
  ASSERT_TRUE(c.ok);
  TestDlg d;
  ShowActive(d);
  MpvPlayerWidget* player = Player(d);
  ASSERT_NE(player, nullptr);
  ASSERT_TRUE(d.OpenSourceFromOutside(c.mp4));
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return DurationArrived(d); }, 15000));
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return player->IsPaused(); }, 5000));  // loaded paused

  // Tab from the source's Browse button reaches the preview.
  d.GetDlgItem(1001)->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), player);

  QTest::keyClick(player, Qt::Key_Space);
  EXPECT_TRUE(TestDlg::PumpUntil([&] { return !player->IsPaused(); }, 5000));
  QTest::keyClick(player, Qt::Key_Space);
  EXPECT_TRUE(TestDlg::PumpUntil([&] { return player->IsPaused(); }, 5000));

  // A focused button keeps Space for itself: it clicks, the preview stays.
  auto* addPoint = qobject_cast<QAbstractButton*>(d.GetDlgItem(1004));
  int clicks = 0;
  QObject::connect(addPoint, &QAbstractButton::clicked, [&] { ++clicks; });
  addPoint->setFocus();
  QTest::keyClick(addPoint, Qt::Key_Space);
  EXPECT_EQ(clicks, 1);
  TestDlg::PumpUntil([] { return false; }, 300);
  EXPECT_TRUE(player->IsPaused());
}

TEST(Desktop, EveryTabStopHasAnAccessibleName) {
  TestDlg d;
  std::vector<QWidget*> stops;
  for (QWidget* w : d.findChildren<QWidget*>())
    if (w->focusPolicy() & Qt::TabFocus) stops.push_back(w);
  EXPECT_GE(stops.size(), 15u);  // the template's 14 and the preview
  for (QWidget* w : stops) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    ASSERT_NE(a, nullptr);
    EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty())
        << w->metaObject()->className() << " " << dlg::ControlId(w);
  }
  // The two Browse buttons say which path they choose.
  EXPECT_EQ(d.GetDlgItem(1001)->accessibleName(), QString::fromUtf8("源文件 浏览"));
  EXPECT_EQ(d.GetDlgItem(1015)->accessibleName(), QString::fromUtf8("选择输出路径 浏览"));
  EXPECT_EQ(d.GetDlgItem(1000)->accessibleName(), QString::fromUtf8("源文件"));
}

TEST(Desktop, ToolTipsComeFromTheLanguageFileOrNotAtAll) {
  const std::string saved = g_strLanguageFile;
  char tmpl[] = "/tmp/zantrel-tips-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string lang = std::string(tmpl) + "/Test.ini";
  std::ofstream(lang, std::ios::binary)
      << "[CDialog]\r\nIDD_102_1001=Browse\r\n"
         "[CToolTip]\r\nIDD_102_1001=Choose the video to split (Ctrl+O)\r\nIDD_102_1016=\r\n";

  g_strLanguageFile = std::string(tmpl) + "/Missing.ini";
  {
    TestDlg d;
    for (QAbstractButton* b : d.findChildren<QAbstractButton*>())
      EXPECT_TRUE(b->toolTip().isEmpty()) << dlg::ControlId(b);
  }
  g_strLanguageFile = lang;
  {
    TestDlg d;
    EXPECT_EQ(d.GetDlgItem(1001)->toolTip(), QString("Choose the video to split (Ctrl+O)"));
    EXPECT_EQ(win::GetDlgItemText(&d, 1001), "Browse");  // texts stay the texts'
    EXPECT_TRUE(d.GetDlgItem(1016)->toolTip().isEmpty());  // empty value: none
    EXPECT_TRUE(d.GetDlgItem(1015)->toolTip().isEmpty());
    // A language without tips takes the old ones away.
    g_strLanguageFile = std::string(tmpl) + "/Missing.ini";
    d.ApplyDesktopTexts();
    EXPECT_TRUE(d.GetDlgItem(1001)->toolTip().isEmpty());
  }
  g_strLanguageFile = saved;
  fs::remove_all(tmpl);
}

TEST(Desktop, ShippedLanguagesGiveToolTipsAndNamesThatFollowASwitch) {
  // A program folder with the shipped list and language files, started in
  // English, then switched from the language menu.
  char tmpl[] = "/tmp/zantrel-tipslang-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const fs::path dir = tmpl;
  const fs::path data = fs::path(ZANTREL_SOURCE_DIR) / "res" / "data";
  fs::copy(data / "Language", dir / "Language", fs::copy_options::recursive);
  fs::copy_file(data / "ZantrelLang.lst", dir / "ZantrelLang.lst");
  TestDlg::programDir = dir.string() + "/";
  SetLanguage(TestDlg::programDir, "English");
  {
    TestDlg d;
    EXPECT_EQ(d.GetDlgItem(1001)->toolTip(), QString("Choose the video to split (Ctrl+O)"));
    EXPECT_EQ(d.GetDlgItem(1001)->accessibleName(), QString("File Browse..."));
    EXPECT_EQ(d.GetDlgItem(1014)->accessibleName(), QString("Output folder"));
    d.OnCommand(2000);  // 简体中文, the list's first entry
    EXPECT_EQ(GetCurrentLanguage(), "Chinese_Simplified");
    EXPECT_EQ(d.GetDlgItem(1001)->toolTip(), QString::fromUtf8("选择要分割的视频文件 (Ctrl+O)"));
    EXPECT_EQ(d.GetDlgItem(1001)->accessibleName(), QString::fromUtf8("源文件 浏览"));
    EXPECT_EQ(d.GetDlgItem(1014)->accessibleName(), QString::fromUtf8("选择输出路径"));
    // Every button with a tip in one shipped language has one in the others.
    for (const char* lang : {"English", "Chinese_Traditional"}) {
      SetLanguage(TestDlg::programDir, lang);
      d.ApplyDesktopTexts();
      for (int id : {1001, 1004, 1005, 1015, 1016, 1018, 1021})
        EXPECT_FALSE(d.GetDlgItem(id)->toolTip().isEmpty()) << lang << " " << id;
    }
  }
  TestDlg::programDir.clear();
  g_strLanguageFile.clear();
  g_strLanguage.clear();
  fs::remove_all(dir);
}
