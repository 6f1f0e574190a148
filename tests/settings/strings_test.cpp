// The program's sentences from section [CString]: fall-back to the built-in
// text and positional arguments, against real language files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "i18n/language.h"
#include "i18n/strings.h"

namespace fs = std::filesystem;
using namespace zantrel;

namespace {
constexpr Message kReplace{"IDS_TEST_REPLACE", "已有 %1 个文件，替换 %2？"};
constexpr Message kDone{"IDS_TEST_DONE", "完成 %1%"};

class StringsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zantrel-strings-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    fs::remove_all(dir_);
    g_strLanguageFile.clear();
    g_strLanguage.clear();
  }
  void UseLanguage(const std::string& name, const std::string& body) {
    fs::create_directories(dir_ / "Language");
    std::ofstream(dir_ / "Language" / (name + ".ini"), std::ios::binary) << body;
    SetLanguage(dir_.string() + "/", name);
  }
  fs::path dir_;
};
}  // namespace

TEST_F(StringsTest, TranslationReordersArgumentsAndFallsBackPerKey) {
  UseLanguage("English",
              "[CDialog]\nIDS_TEST_DONE=wrong section\n"
              "[CString]\nIDS_TEST_REPLACE=Replace %2? %1 file(s) there.\n");
  EXPECT_EQ(Say(kReplace, {"3", "a.mp4"}), "Replace a.mp4? 3 file(s) there.");
  // Only [CString] counts; the key of another section is not this one's.
  EXPECT_EQ(Say(kDone, {"50"}), "完成 50%");

  // An empty value, a missing file and no language at all: built-in text.
  UseLanguage("Empty", "[CString]\nIDS_TEST_REPLACE=\n");
  EXPECT_EQ(Say(kReplace, {"3", "a.mp4"}), "已有 3 个文件，替换 a.mp4？");
  SetLanguage(dir_.string() + "/", "Missing");
  EXPECT_EQ(LoadMessage(kDone), "完成 %1%");
}

TEST_F(StringsTest, ArgumentsAreFilledOnceAndOnlyByPosition) {
  // A name holding "%1" or "%%" stays that name: arguments are not re-read.
  EXPECT_EQ(FillArguments("%1 / %2", {"a%2b", "x%%y"}), "a%2b / x%%y");
  // "%%" is one percent sign; a lone one, one at the end, and a "%n"
  // without its argument stay in place.
  EXPECT_EQ(FillArguments("100%% %1% 5% %3 %0 %", {"50"}), "100% 50% 5% %3 %0 %");
  // The same argument twice, and all nine.
  EXPECT_EQ(FillArguments("%1%1", {"ab"}), "abab");
  EXPECT_EQ(FillArguments("%9%8%7%6%5%4%3%2%1", {"1", "2", "3", "4", "5", "6", "7", "8", "9"}),
            "987654321");
  // "%10" is the first argument and a '0'.
  EXPECT_EQ(FillArguments("%10", {"x"}), "x0");
}

TEST_F(StringsTest, LineBreaksAreWrittenEscapedAndGbkTrailBytesAreNotBackslashes) {
  UseLanguage("English", "[CString]\nIDS_TEST_REPLACE=%1 files.\\nReplace %2?\\\\ \\t\n");
  EXPECT_EQ(Say(kReplace, {"3", "a"}), "3 files.\nReplace a?\\ \\t");
  // 0x95 0x5C is one GBK character whose second byte looks like '\'.
  EXPECT_EQ(UnescapeValue("\x95\x5cn\\n", CodePage::Gbk), "\x95\x5cn\n");
  EXPECT_EQ(UnescapeValue("\x95\x5cn", CodePage::Utf8), "\x95\n");
  EXPECT_EQ(UnescapeValue("end\\", CodePage::Utf8), "end\\");
}
