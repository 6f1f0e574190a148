// Every flow of the main window in English and in Traditional Chinese, with
// the shipped files: what the user reads (messages and their captions,
// questions, the failure report, the status line, the bar, labels, names
// and tips) holds no Chinese in English — the window's own caption aside —
// and no Simplified-only form in Traditional Chinese. A switch mid-job
// says the live labels' state again in the new language.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <functional>

#include "i18n/language.h"
#include "platform/cmdline.h"
#include "platform/codepage.h"
#include "platform/qt/win_helpers.h"
#include "tests/common/ffmpeg_util.h"
#include "tests/common/test_util.h"
#include "tests/ui/big5.h"
#include "tests/ui/test_dialog.h"

namespace fs = std::filesystem;
using zantrel_test::TempDir;

namespace {
bool HasCjk(const std::string& s) {
  static const QRegularExpression cjk(
      QStringLiteral("[\\x{2E80}-\\x{9FFF}\\x{F900}-\\x{FAFF}\\x{FF00}-\\x{FFEF}\\x{3000}-\\x{303F}]"));
  return QString::fromStdString(s).contains(cjk);
}

class LanguageFlows : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    const fs::path data = fs::path(ZANTREL_SOURCE_DIR) / "res" / "data";
    fs::copy(data / "Language", fs::path(prog_.path()) / "Language", fs::copy_options::recursive);
    fs::copy_file(data / "ZantrelLang.lst", fs::path(prog_.path()) / "ZantrelLang.lst");
    TestDlg::programDir = prog_.path() + "/";
    SetLanguage(TestDlg::programDir, GetParam());
  }
  void TearDown() override {
    TestDlg::programDir.clear();
    g_strLanguageFile.clear();
    g_strLanguage.clear();
  }
  // Everything the window shows now: its children's texts, tips and
  // accessible names, and the bar's words.
  static std::vector<std::string> Shown(TestDlg& d) {
    std::vector<std::string> all;
    for (QObject* o : d.children()) {
      auto* w = qobject_cast<QWidget*>(o);
      if (!w || w->isWindow() || dlg::ClassNameOf(w) == "EDIT") continue;  // typed paths are the user's
      all.push_back(win::GetWindowText(w));
      all.push_back(w->toolTip().toStdString());
      all.push_back(w->accessibleName().toStdString());
      for (QLabel* card : w->findChildren<QLabel*>()) all.push_back(card->text().toStdString());
    }
    all.push_back(d.progress()->format().toStdString());
    return all;
  }
  // Fails on any text not in the language under test.
  void ExpectInLanguage(const std::vector<std::string>& texts, const std::string& where) {
    for (const std::string& t : texts) {
      if (GetParam() == "English")
        EXPECT_FALSE(HasCjk(t)) << where << ": " << t;
      else
        EXPECT_TRUE(FitsBig5(t)) << where << ": " << t;
    }
  }
  void ExpectInLanguage(TestDlg& d) {
    std::vector<std::string> said = d.messages;
    said.insert(said.end(), d.questions.begin(), d.questions.end());
    for (const auto& r : d.reports) {
      said.push_back(r.summary);
      said.insert(said.end(), r.lines.begin(), r.lines.end());
    }
    ExpectInLanguage(said, "said");
    ExpectInLanguage(Shown(d), "shown");
  }
  TempDir prog_, dir_;
};
}  // namespace

TEST_P(LanguageFlows, EveryRefusalQuestionAndReportIsInTheLanguage) {
  std::ofstream(dir_.File("a.mp4")) << "x";
  TestDlg d;
  d.OnCommand(1016);  // no source
  d.OpenSourceFromOutside(dir_.File("missing.mp4"));
  win::SetDlgItemText(&d, 1000, dir_.File("a.mp4"));
  d.OnCommand(1016);  // no duration yet
  d.Model().SetDuration(4);
  d.OnCommand(1009);
  win::SetDlgItemText(&d, 1012, "0");
  d.OnCommand(1016);  // no seconds per piece
  d.OnCommand(1008);
  win::SetDlgItemText(&d, 1010, "9");
  d.OnCommand(1016);  // more parts than seconds
  win::SetDlgItemText(&d, 1010, "2");
  win::SetDlgItemText(&d, 1014, "");
  d.OnCommand(1016);  // no output folder
  std::ofstream(dir_.File("file")) << "x";
  win::SetDlgItemText(&d, 1014, dir_.File("file/sub/"));
  d.OnCommand(1016);  // the folder cannot be made
  d.openWorks = false;
  d.OnCommand(32786);  // no browser for the home page
  ASSERT_EQ(d.messages.size(), 8u);
  if (GetParam() == "English") {
    EXPECT_EQ(d.messages[0], "Tesmor Notice|Please choose the file to split!");
    EXPECT_EQ(d.messages[4],
              "Tesmor Notice|9 parts are more than the video's 4 seconds. Each part needs at least "
              "one second: please choose fewer parts!");
  }

  // A job with the tool missing ends in the report; the pieces' names taken
  // bring the replace question first.
  TempDir emptyProgramDir;
  d.toolDir = emptyProgramDir.path() + "/";
  win::SetDlgItemText(&d, 1014, dir_.File("out/"));
  fs::create_directories(dir_.File("out"));
  std::ofstream(dir_.File("out/a[1].mp4")) << "old";
  d.answers = {true};
  d.OnCommand(1016);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return !d.reports.empty(); }, 30000));
  ASSERT_EQ(d.questions.size(), 1u);
  ASSERT_EQ(d.reports[0].lines.size(), 2u);
  if (GetParam() == "English") {
    EXPECT_EQ(win::GetDlgItemText(&d, 1022), "Failed");
    EXPECT_EQ(d.reports[0].lines[0],
              "Piece 1: the cutting tool ZantrelCore is missing or cannot be started; the earlier file is kept, "
              "not replaced");
  } else {
    EXPECT_EQ(win::GetDlgItemText(&d, 1022), "分割失敗");
  }
  ExpectInLanguage(d);
}

TEST_P(LanguageFlows, ALanguageSwitchMidJobSaysTheLiveLabelsAgain) {
  const std::string clip = dir_.File("clip.mp4");
  ASSERT_TRUE(zantrel_test::MakeToneClip(clip, 20, "320x240"));
  SetLanguage(TestDlg::programDir, "Chinese_Simplified");
  TestDlg d;
  win::SetDlgItemText(&d, 1000, clip);
  d.Model().SetDuration(20);
  win::EnableWindow(d.slider(), true);
  d.slider()->setValue(50);
  win::SetDlgItemText(&d, 1014, dir_.File("out/"));
  d.OnCommand(1016);
  ASSERT_TRUE(TestDlg::PumpUntil(
      [&] {
        auto run = d.Model().Job()->CurrentToolProcess();
        return run && run->pid > 0;
      },
      60000));
  d.OnCommand(1018);
  ASSERT_EQ(win::GetDlgItemText(&d, 1022), "暂停分割");
  const int english = 2001, traditional = 2002;  // the shipped list's order
  d.OnCommand(GetParam() == "English" ? english : traditional);
  EXPECT_EQ(win::GetDlgItemText(&d, 1022), GetParam() == "English" ? "Paused" : "暫停分割");
  EXPECT_EQ(win::GetDlgItemText(&d, 1006), "0:00:10");  // state kept
  d.OnCommand(1018);  // resume
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return d.Model().Job()->Finished() && d.progress()->value() == 100; },
                                 180000));
  EXPECT_EQ(win::GetDlgItemText(&d, 1022), GetParam() == "English" ? "Done" : "分割完成");
  EXPECT_EQ(d.progress()->format().toStdString(),
            GetParam() == "English" ? "1 of 1 pieces written" : "已寫入 1/1 段");
  ExpectInLanguage(d);
  // And back: the same state in the built-in words, byte for byte.
  d.OnCommand(2000);
  EXPECT_EQ(win::GetDlgItemText(&d, 1022), "分割完成");
  EXPECT_EQ(d.progress()->format().toStdString(), "已写入 1/1 段");
  EXPECT_EQ(win::GetDlgItemText(&d, 1006), "0:00:10");
  EXPECT_EQ(win::GetDlgItemText(&d, 1003), "0:00:20");
}

INSTANTIATE_TEST_SUITE_P(Shipped, LanguageFlows, ::testing::Values("English", "Chinese_Traditional"),
                         [](const auto& info) { return info.param; });

// A picture, not a check: the main window in the language under test with
// an AVI chosen (the card over the preview) and a failed job's status. Run
// with ZANTREL_SHOTS=<folder> ui_tests --gtest_also_run_disabled_tests
// --gtest_filter='*LanguageFlows.DISABLED_*'
TEST_P(LanguageFlows, DISABLED_MainWindowShot) {
  const char* env = std::getenv("ZANTREL_SHOTS");
  const std::string avi = dir_.File("clip.avi");
  ASSERT_TRUE(zantrel_test::RunFfmpeg("-f lavfi -i testsrc2=size=160x120:rate=25:duration=5 -c:v mpeg4 " +
                                      zantrel::QuoteArgument(avi)));
  TestDlg d;
  d.show();
  d.files = {avi};
  d.OnCommand(1001);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return !d.IsTimerRunning(kTimerProbe); }, 20000));
  TempDir emptyProgramDir;
  d.toolDir = emptyProgramDir.path() + "/";
  win::SetDlgItemText(&d, 1014, dir_.File("out/"));
  d.OnCommand(1016);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return !d.reports.empty(); }, 30000));
  TestDlg::PumpUntil([] { return false; }, 500);
  d.grab().save(QString::fromStdString(std::string(env ? env : "/tmp") + "/main-" + GetParam() + ".png"));
}
