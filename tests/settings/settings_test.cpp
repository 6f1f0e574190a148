// Language choice and skin settings against real files in a temp folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "i18n/language.h"
#include "skin/skin_settings.h"
#include "tests/common/test_util.h"

namespace fs = std::filesystem;

namespace {
using zantrel_test::ReadFile;
using zantrel_test::WriteFile;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zantrel-settings-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    programDir_ = dir_.string() + "/";
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
  std::string programDir_;  // as GetModuleDir gives it
};
}  // namespace

TEST_F(SettingsTest, FirstRunWritesTheDefaultLanguageAtOnce) {
  SetLanguage(programDir_, "");
  EXPECT_EQ(GetCurrentLanguage(), "Chinese_Simplified");
  EXPECT_EQ(g_strLanguageFile, programDir_ + "Language/Chinese_Simplified.ini");
  EXPECT_EQ(ReadFile(dir_ / "lang_set.ini"), "[Setting]\r\nLanguage=Chinese_Simplified\r\n");
}

TEST_F(SettingsTest, SavedAndEmptyLanguageNames) {
  WriteFile(dir_ / "lang_set.ini", "; chosen by the user\r\n[Setting]\r\nLanguage=English\r\n");
  SetLanguage(programDir_, "");
  EXPECT_EQ(GetCurrentLanguage(), "English");
  // The comment survives the write-back.
  EXPECT_EQ(ReadFile(dir_ / "lang_set.ini"), "; chosen by the user\r\n[Setting]\r\nLanguage=English\r\n");

  // A present but empty value is an empty name, not the default.
  WriteFile(dir_ / "lang_set.ini", "[Setting]\r\nLanguage=\r\n");
  SetLanguage(programDir_, "");
  EXPECT_EQ(GetCurrentLanguage(), "");
  EXPECT_EQ(g_strLanguageFile, programDir_ + "Language/.ini");

  SetLanguage(programDir_, "Deutsch");
  EXPECT_EQ(ReadFile(dir_ / "lang_set.ini"), "[Setting]\r\nLanguage=Deutsch\r\n");
}

TEST_F(SettingsTest, SkinSettingsFallbacks) {
  const std::string ini = (dir_ / "skin.ini").string();
  SkinSettings s = ReadSkinSettings(ini);
  EXPECT_EQ(s.name, "KORVANE");
  EXPECT_EQ(s.number, 1);

  WriteFile(ini, "[Skin]\r\nID=CORONA\r\n");
  s = ReadSkinSettings(ini);
  EXPECT_EQ(s.name, "CORONA");
  EXPECT_EQ(s.number, 1);

  WriteFile(ini, "[Skin]\r\nID=\r\nSkinNum=9\r\n");
  s = ReadSkinSettings(ini);
  EXPECT_EQ(s.name, "KORVANE");
  EXPECT_EQ(s.number, 9);

  // Unreadable counts as missing (root reads anything, so only check as a user).
  if (geteuid() != 0) {
    WriteFile(ini, "[Skin]\r\nID=FUTURE\r\nSkinNum=5\r\n");
    chmod(ini.c_str(), 0);
    s = ReadSkinSettings(ini);
    EXPECT_EQ(s.name, "KORVANE");
    EXPECT_EQ(s.number, 1);
    chmod(ini.c_str(), 0644);
  }
}

TEST_F(SettingsTest, SkinSaveRule) {
  const std::string ini = (dir_ / "skin.ini").string();
  SaveSkinSettings(ini, 1);
  EXPECT_EQ(ReadFile(ini), "[Skin]\r\nID=KORVANE\r\nSkinNum=1\r\n");
  SaveSkinSettings(ini, 4);
  EXPECT_EQ(ReadFile(ini), "[Skin]\r\nID=XP_ARGENT\r\nSkinNum=4\r\n");
  // Numbers outside 1..5 leave the file as it was.
  SaveSkinSettings(ini, 9);
  SaveSkinSettings(ini, 0);
  EXPECT_EQ(ReadFile(ini), "[Skin]\r\nID=XP_ARGENT\r\nSkinNum=4\r\n");
  EXPECT_STREQ(SkinResourceName(5), "FUTURE");
  EXPECT_EQ(SkinResourceName(6), nullptr);
}
