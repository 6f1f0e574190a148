// Through the real window and the real tool: a re-run that replaces pieces
// loses none before its new ones exist, a source that is gone or no video is
// told at once, the folder that cannot be used says why, no two modal
// windows at close, the points' texts follow the duration, the completion
// dialog says what happened, and a new source starts clean.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QTimer>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/qt/trackbar.h"
#include "platform/qt/win_helpers.h"
#include "preview/mpv_player_widget.h"
#include "tests/common/ffmpeg_util.h"
#include "tests/common/test_util.h"
#include "tests/ui/test_dialog.h"
#include "ui/split_done_dlg.h"

namespace fs = std::filesystem;

namespace {
using zantrel_test::TempDir;

std::string Status(TestDlg& d) { return win::GetDlgItemText(&d, 1022); }

// Chooses `path` as the browse does and waits for its probe.
void Choose(TestDlg& d, const std::string& path) {
  d.files = {path};
  d.OnCommand(1001);
  ASSERT_TRUE(TestDlg::PumpUntil(
      [&] { return !d.IsTimerRunning(kTimerDuration) && !d.IsTimerRunning(kTimerProbe); }, 20000));
}

void StartInto(TestDlg& d, const std::string& folder) {
  win::SetDlgItemText(&d, 1014, folder);
  d.OnCommand(1016);
}

bool WaitForEnd(TestDlg& d) {
  return TestDlg::PumpUntil([&] { return d.Model().Job() && !d.JobRunning(); }, 120000);
}

ino_t Inode(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

bool HasTempOf(const std::string& piece) {
  const std::string prefix = "." + fs::path(piece).filename().string() + ".part-";
  for (const auto& e : fs::directory_iterator(fs::path(piece).parent_path()))
    if (e.path().filename().string().rfind(prefix, 0) == 0) return true;
  return false;
}

std::string Message(const std::string& text) { return "Tesmor提示|" + text; }
}  // namespace

// The user's files survive a re-run: a source gone is refused before any
// question, and answering 是 lets only finished new pieces replace old ones.
TEST(ReRunWindow, ReplacingNeverDestroysAPieceBeforeItsNewVersionExists) {
  TempDir dir;
  const std::string clip = dir.File("clip.mp4");
  ASSERT_TRUE(zantrel_test::MakeToneClip(clip, 20, "640x360"));
  fs::copy_file(clip, dir.File("pristine.mp4"));
  const std::string out = dir.File("out");
  const std::string one = out + "/clip[1].mp4", two = out + "/clip[2].mp4";
  TestDlg d;
  Choose(d, clip);
  d.OnCommand(1008);  // two equal parts
  StartInto(d, out);
  ASSERT_TRUE(WaitForEnd(d));
  ASSERT_EQ(Status(d), "分割完成");
  std::string old1 = zantrel_test::ReadFile(one), old2 = zantrel_test::ReadFile(two);
  ASSERT_FALSE(old1.empty());

  // The source moved away: told at once, naming it, before anything is asked.
  fs::rename(clip, dir.File("moved.mp4"));
  d.messages.clear();
  d.OnCommand(1016);
  EXPECT_TRUE(d.questions.empty());
  ASSERT_EQ(d.messages.size(), 1u);
  EXPECT_EQ(d.messages[0], Message("文件读取失败（文件不存在）：\n" + clip + "\n请重新添加文件!"));
  EXPECT_EQ(zantrel_test::ReadFile(one), old1);
  EXPECT_EQ(zantrel_test::ReadFile(two), old2);

  // Back, and 是: the first piece is replaced by its new one; the source is
  // cut short before the second run, which fails and keeps the old piece.
  fs::rename(dir.File("moved.mp4"), clip);
  const ino_t oldInode = Inode(one);
  d.answers = {true};
  d.OnCommand(1016);
  ASSERT_EQ(d.questions.size(), 1u);
  bool cut = false;
  ASSERT_TRUE(TestDlg::PumpUntil(
      [&] {
        if (!cut && Inode(one) != oldInode) {
          fs::resize_file(clip, fs::file_size(clip) / 2);
          cut = true;
        }
        return d.Model().Job() && !d.JobRunning();
      },
      120000));
  ASSERT_TRUE(cut);
  EXPECT_EQ(Status(d), "分割失败");
  EXPECT_EQ(zantrel_test::ReadFile(two), old2);
  ASSERT_EQ(d.reports.size(), 1u);
  EXPECT_NE(d.reports[0].summary.find("有 1 段仍是之前的文件"), std::string::npos) << d.reports[0].summary;
  EXPECT_EQ(d.reports[0].lines,
            std::vector<std::string>{"第2段：源文件在分割过程中被改动；之前的文件仍保留，未被替换"});

  // A stopped re-run keeps both, byte for byte.
  fs::remove(clip);
  fs::copy_file(dir.File("pristine.mp4"), clip);
  Choose(d, clip);
  old1 = zantrel_test::ReadFile(one);
  d.answers = {true};
  d.OnCommand(1016);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return HasTempOf(one) || !d.JobRunning(); }, 60000));
  ASSERT_TRUE(d.JobRunning()) << "the first run ended before it could be stopped";
  d.OnCommand(1018);  // paused, so that it cannot finish meanwhile
  d.OnCommand(1017);
  ASSERT_TRUE(WaitForEnd(d));
  EXPECT_EQ(Status(d), "已停止");
  EXPECT_EQ(zantrel_test::ReadFile(one), old1);
  EXPECT_EQ(zantrel_test::ReadFile(two), old2);
  EXPECT_FALSE(HasTempOf(one));
}

// A file the tool can cut nothing from is told when it is chosen, names the
// file and why; the duration reads 0:00:00, the preview shows the card, and
// Start refuses with the same words. The points and the slider stay.
TEST(ReRunWindow, ASourceThatIsNoVideoIsToldAtOnce) {
  TempDir dir;
  const std::string good = dir.File("good.mp4");
  ASSERT_TRUE(zantrel_test::MakeToneClip(good, 10, "160x120"));
  const std::string text = dir.File("notes.mp4"), empty = dir.File("empty.flv"), half = dir.File("half.mp4");
  zantrel_test::WriteFile(text, "these are words, not pictures\n");
  zantrel_test::WriteFile(empty, "");
  const std::string bytes = zantrel_test::ReadFile(good);
  zantrel_test::WriteFile(half, bytes.substr(0, bytes.size() / 2));  // its index at the end is gone
  TestDlg d;
  Choose(d, good);
  ASSERT_TRUE(d.messages.empty()) << d.messages[0];
  d.slider()->setValue(50);
  d.OnCommand(1004);
  for (const std::string& path : {text, empty, half}) {
    SCOPED_TRACE(path);
    d.messages.clear();
    Choose(d, path);
    const std::string told = Message("文件读取失败（不是视频文件）：\n" + path + "\n请重新添加文件!");
    ASSERT_EQ(d.messages.size(), 1u);
    EXPECT_EQ(d.messages[0], told);
    EXPECT_EQ(win::GetDlgItemText(&d, 1003), "0:00:00");
    EXPECT_EQ(d.PreviewLive(), 0);  // the placeholder card
    d.OnCommand(1016);
    ASSERT_EQ(d.messages.size(), 2u);
    EXPECT_EQ(d.messages[1], told);
    EXPECT_EQ(d.Model().Job(), nullptr);
    EXPECT_EQ(d.slider()->value(), 50);
    EXPECT_EQ(d.Model().Points().size(), 1u);
  }
}

// An output folder that cannot be used says why: never "does not exist" for
// a folder that does.
TEST(ReRunWindow, TheOutputFolderProblemIsNamed) {
  struct stat st {};
  if (::stat("/proc/self", &st) != 0) GTEST_SKIP() << "no /proc";
  TempDir dir;
  const std::string clip = dir.File("clip.mp4");
  ASSERT_TRUE(zantrel_test::MakeToneClip(clip, 3, "160x120"));
  zantrel_test::WriteFile(dir.File("file"), "in the way");
  TestDlg d;
  Choose(d, clip);
  StartInto(d, "/proc/self");
  StartInto(d, "/proc/self/zantrel-out");
  StartInto(d, dir.File("file") + "/out");
  ASSERT_EQ(d.messages.size(), 3u);
  EXPECT_EQ(d.messages[0], Message("无法写入输出文件夹（此文件夹不能存放文件）：\n/proc/self/\n请选择其他保存位置！"));
  EXPECT_EQ(d.messages[1],
            Message("无法创建输出文件夹（上级文件夹不能存放文件）：\n/proc/self/zantrel-out/\n请选择其他保存位置！"));
  EXPECT_EQ(d.messages[2], Message("无法使用输出文件夹（不是文件夹：" + dir.File("file") + "）：\n" +
                                   dir.File("file") + "/out/\n请选择其他保存位置！"));
  EXPECT_EQ(d.Model().Job(), nullptr);
}

// Closing mid-job and leaving "stop and quit?" open while the job ends: the
// question closes itself and the window goes; nothing opens over it.
TEST(ReRunWindow, AJobEndingUnderTheCloseQuestionClosesItAndTheWindow) {
  TempDir dir;
  const std::string clip = dir.File("clip.mp4");
  ASSERT_TRUE(zantrel_test::MakeToneClip(clip, 3, "160x120"));
  TestDlg d;
  d.show();
  Choose(d, clip);
  d.OnCommand(1008);
  StartInto(d, dir.File("out"));
  ASSERT_TRUE(d.JobRunning());
  d.realQuestions = true;
  std::vector<std::string> modals;  // what was modal while the question stood
  bool timedOut = false;
  QTimer watch;
  QElapsedTimer since;
  since.start();
  QObject::connect(&watch, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && !qobject_cast<QMessageBox*>(modal)) modals.push_back(modal->metaObject()->className());
    if (d.doneDialogs > 0) modals.push_back("completion dialog");
    // Never hang the suite: a question still open long after the job is
    // answered No here, and the test fails.
    if (modal && since.elapsed() > 60000) {
      timedOut = true;
      if (auto* box = qobject_cast<QMessageBox*>(modal)) box->done(QMessageBox::No);
    }
  });
  watch.start(20);
  static_cast<QDialog&>(d).reject();  // the close box
  watch.stop();
  EXPECT_FALSE(timedOut) << "the question stayed open after the job had ended";
  EXPECT_EQ(d.questions.size(), 1u);
  EXPECT_FALSE(d.JobRunning());
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(modals, std::vector<std::string>{});
  EXPECT_TRUE(d.reports.empty());
}

// The points keep their places on the slider; every text of a time follows
// the new duration, and the new preview is sought to the slider's place.
TEST(ReRunWindow, PointTextsFollowTheDuration) {
  TempDir dir;
  const std::string longer = dir.File("long.mp4"), shorter = dir.File("short.mp4");
  ASSERT_TRUE(zantrel_test::MakeToneClip(longer, 17, "160x120"));
  ASSERT_TRUE(zantrel_test::MakeToneClip(shorter, 3, "160x120"));
  TestDlg d;
  Choose(d, longer);
  d.slider()->setValue(36);  // 6.12 s
  EXPECT_EQ(win::GetDlgItemText(&d, 1006), "0:00:06.120");
  d.OnCommand(1004);
  ASSERT_EQ(d.list()->count(), 1);
  EXPECT_EQ(d.list()->item(0)->text().toStdString(), "0:00:06.120");

  Choose(d, shorter);
  EXPECT_EQ(win::GetDlgItemText(&d, 1003), "0:00:03");
  EXPECT_EQ(d.slider()->value(), 36);
  EXPECT_EQ(d.list()->item(0)->text().toStdString(), "0:00:01.080");  // its share kept
  EXPECT_EQ(win::GetDlgItemText(&d, 1006), "0:00:01.080");
  EXPECT_EQ(d.Model().Plan().boundaries, std::vector<int>{1});
  auto* player = qobject_cast<MpvPlayerWidget*>(d.preview());
  ASSERT_NE(player, nullptr);
  EXPECT_TRUE(TestDlg::PumpUntil([&] { return std::abs(player->PositionPercent() - 36) < 2; }, 10000))
      << player->PositionPercent();

  // The same file once more: label and preview agree with the slider.
  Choose(d, shorter);
  EXPECT_EQ(win::GetDlgItemText(&d, 1006), "0:00:01.080");
  EXPECT_TRUE(TestDlg::PumpUntil([&] { return std::abs(player->PositionPercent() - 36) < 2; }, 10000))
      << player->PositionPercent();
}

// The completion dialog names the folder and the count, and the empty piece;
// a new source then starts with a clean status and bar.
TEST(ReRunWindow, CompletionTellsWhatWasWrittenAndANewSourceStartsClean) {
  TempDir dir;
  const std::string clip = dir.File("clip.mp4");
  ASSERT_TRUE(zantrel_test::MakeToneClip(clip, 3, "160x120"));
  TestDlg d;
  Choose(d, clip);
  d.slider()->setValue(0);
  d.OnCommand(1004);  // a point at the start: the first piece is empty
  StartInto(d, dir.File("out"));
  ASSERT_TRUE(WaitForEnd(d));
  EXPECT_EQ(Status(d), "分割完成");
  ASSERT_EQ(d.doneResults.size(), 1u);
  EXPECT_EQ(d.doneResults[0],
            "已写入 1 段，保存在：\n" + dir.File("out") + "/\n第1段长度为 0，没有生成文件");

  // The dialog shows it under the source's name.
  CSplitDoneDlg done("clip.mp4", dir.File("out") + "/", nullptr);
  done.SetResult(d.doneResults[0]);
  done.Create();
  auto* result = qobject_cast<QLabel*>(done.GetDlgItem(1036));
  ASSERT_NE(result, nullptr);
  EXPECT_NE(result->text().remove(QChar(0x200b)).toStdString().find(dir.File("out")), std::string::npos);
  EXPECT_GT(result->y(), done.GetDlgItem(1035)->y());
  EXPECT_LT(result->geometry().bottom(), done.GetDlgItem(1001)->y());

  Choose(d, clip);
  EXPECT_EQ(Status(d), "准备就绪");
  EXPECT_EQ(d.progress()->value(), 0);
  EXPECT_FALSE(d.progress()->isTextVisible());
}

namespace {
class NoQuitDoneDlg : public CSplitDoneDlg {
 public:
  NoQuitDoneDlg(const std::string& folder) : CSplitDoneDlg("clip.mp4", folder, nullptr) { Create(); }
  std::vector<std::string> calls;

 protected:
  void Quit() override { calls.push_back("quit"); }
  void ShowMessageBox(const std::string& text, const std::string&) override { calls.push_back(text); }
};
}  // namespace

// 查看分割视频 with no file manager to be found: said, and the program goes on.
TEST(ReRunWindow, ViewingTheOutputWithoutAFileManagerSaysSo) {
  TempDir dir;
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", dir.path().c_str());  // no launcher can be found
  NoQuitDoneDlg done(dir.path() + "/");
  QTimer::singleShot(0, &done, [&] { qobject_cast<QAbstractButton*>(done.GetDlgItem(1001))->click(); });
  const int result = done.exec();
  qputenv("PATH", path);
  EXPECT_EQ(result, IDOK);  // the completion dialog may close
  EXPECT_EQ(done.calls, std::vector<std::string>{"无法打开输出文件夹：没有可用的文件管理器。\n分割好的视频位于：\n" +
                                                  dir.path() + "/"});
}
