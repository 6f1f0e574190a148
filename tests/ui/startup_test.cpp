// The program started for real from a fresh copy of its folder: which
// settings files exist when, and what a normal close leaves in them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/cmdline.h"
#include "platform/launcher.h"
#include "tests/common/test_util.h"

namespace fs = std::filesystem;

namespace {
using zantrel_test::ReadFile;
using zantrel_test::WriteFile;

bool WaitForFile(const fs::path& p, int ms) {
  for (int waited = 0; waited < ms; waited += 50) {
    if (fs::exists(p)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return fs::exists(p);
}

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zantrel-start-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    // Only the executable: the first run in an otherwise empty folder.
    fs::copy_file(fs::path(ZANTREL_BIN_DIR) / "Zantrel", dir_ / "Zantrel");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Starts the copy, waits until it has written lang_set.ini (it does so
  // before the dialog exists), lets the dialog come up, then closes it the
  // way a session logout does.
  void RunAndClose(const std::function<void()>& whileRunning = {}, int sig = SIGTERM) {
    zantrel::ChildProcess child;
    zantrel::LaunchOptions opt;
    opt.quiet = true;
    opt.extraEnv = {"QT_QPA_PLATFORM=offscreen", "ZANTREL_AO=null"};
    std::string err;
    ASSERT_TRUE(child.Start(zantrel::QuoteArgument((dir_ / "Zantrel").string()), opt, &err)) << err;
    ASSERT_TRUE(WaitForFile(dir_ / "lang_set.ini", 15000));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    if (whileRunning) whileRunning();
    ASSERT_TRUE(child.Signal(sig));
    int status = -1;
    ASSERT_TRUE(child.WaitFor(20000, &status)) << "the program did not end after the signal";
    if (sig == SIGTERM) {
      EXPECT_TRUE(WIFEXITED(status)) << zantrel::DescribeWaitStatus(status);
    }
  }
  fs::path dir_;
};
}  // namespace

TEST_F(StartupTest, FirstRunInAnEmptyFolder) {
  RunAndClose([this] {
    EXPECT_EQ(ReadFile(dir_ / "lang_set.ini"), "[Setting]\r\nLanguage=Chinese_Simplified\r\n");
    EXPECT_FALSE(fs::exists(dir_ / "skin.ini")) << "skin.ini is written only when the dialog closes";
  });
  EXPECT_EQ(ReadFile(dir_ / "skin.ini"), "[Skin]\r\nID=KORVANE\r\nSkinNum=1\r\n");
}

TEST_F(StartupTest, UnknownSkinNumberLeavesSkinIniAsItWas) {
  const std::string before = "[Skin]\r\nID=FUTURE\r\nSkinNum=9\r\n";
  WriteFile(dir_ / "skin.ini", before);
  RunAndClose();
  EXPECT_EQ(ReadFile(dir_ / "skin.ini"), before);
}

TEST_F(StartupTest, SkinNameWithoutNumberIsRewrittenAsTheFirstSkin) {
  WriteFile(dir_ / "skin.ini", "[Skin]\r\nID=CORONA\r\n");
  RunAndClose();
  EXPECT_EQ(ReadFile(dir_ / "skin.ini"), "[Skin]\r\nID=KORVANE\r\nSkinNum=1\r\n");
}

TEST_F(StartupTest, SkinIniAfterANormalCloseIsWrittenFromTheNumberAlone) {
  const struct {
    const char* before;
    const char* after;
  } table[] = {
      // Same values again.
      {"[Skin]\r\nID=FUTURE\r\nSkinNum=5\r\n", "[Skin]\r\nID=FUTURE\r\nSkinNum=5\r\n"},
      // A lower-case or unknown name is rewritten from the number.
      {"[Skin]\r\nID=future\r\nSkinNum=5\r\n", "[Skin]\r\nID=FUTURE\r\nSkinNum=5\r\n"},
      {"[Skin]\r\nID=NOSUCH\r\nSkinNum=2\r\n", "[Skin]\r\nID=DEVIOR\r\nSkinNum=2\r\n"},
      // No known number: the file stays as it was.
      {"[Skin]\r\nID=DEVIOR\r\nSkinNum=0\r\n", "[Skin]\r\nID=DEVIOR\r\nSkinNum=0\r\n"},
      {"[Skin]\r\nID=DEVIOR\r\nSkinNum=abc\r\n", "[Skin]\r\nID=DEVIOR\r\nSkinNum=abc\r\n"},
  };
  for (const auto& row : table) {
    WriteFile(dir_ / "skin.ini", row.before);
    RunAndClose();
    EXPECT_EQ(ReadFile(dir_ / "skin.ini"), row.after) << row.before;
  }
}

TEST_F(StartupTest, EndingTheProcessWithoutClosingTheDialogSavesNothing) {
  // A normal close would rewrite this as KORVANE, 1.
  const std::string before = "[Skin]\r\nID=CORONA\r\n";
  WriteFile(dir_ / "skin.ini", before);
  RunAndClose({}, SIGKILL);
  EXPECT_EQ(ReadFile(dir_ / "skin.ini"), before);
}
