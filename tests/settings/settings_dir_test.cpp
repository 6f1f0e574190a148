// Where an installed copy keeps its settings: real folders, real
// permissions.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "settings/settings_dir.h"

namespace fs = std::filesystem;

namespace {
class SettingsDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zantrel-settingsdir-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    fs::create_directories(root_ / "prog");
    prog_ = (root_ / "prog").string() + "/";
  }
  void TearDown() override {
    fs::permissions(root_ / "prog", fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(root_);
  }
  std::string Sub(const std::string& rel) const { return (root_ / rel).string(); }
  fs::path root_;
  std::string prog_;
};

// Folders nobody can create files in, whoever runs the tests (root writes
// through permission bits, but not into /proc or a missing folder).
std::vector<std::string> UnwritableFolders(const std::string& readOnlyCandidate) {
  std::vector<std::string> dirs = {"/proc/", "/nonexistent-zantrel-folder/"};
  if (geteuid() != 0) dirs.push_back(readOnlyCandidate);
  return dirs;
}
}  // namespace

TEST_F(SettingsDirTest, AWritableProgramFolderKeepsTheSettings) {
  EXPECT_TRUE(zantrel::IsFolderWritable(prog_));
  EXPECT_EQ(zantrel::ChooseSettingsDir(prog_, Sub("xdg").c_str(), Sub("home").c_str()), prog_);
  // The probe leaves nothing behind, and no XDG folder is made.
  EXPECT_TRUE(fs::is_empty(root_ / "prog"));
  EXPECT_FALSE(fs::exists(root_ / "xdg"));
}

TEST_F(SettingsDirTest, AReadOnlyProgramFolderSendsThemToTheXdgFolder) {
  fs::permissions(root_ / "prog", fs::perms::owner_read | fs::perms::owner_exec);
  for (const std::string& dir : UnwritableFolders(prog_)) {
    SCOPED_TRACE(dir);
    EXPECT_FALSE(zantrel::IsFolderWritable(dir));
    // XDG_CONFIG_HOME wins; its missing parents are made, private.
    const std::string xdg = Sub("deep/xdg");
    EXPECT_EQ(zantrel::ChooseSettingsDir(dir, xdg.c_str(), Sub("home").c_str()),
              xdg + "/zantrel/");
    EXPECT_TRUE(fs::is_directory(xdg + "/zantrel"));
    struct stat st;
    ASSERT_EQ(stat((xdg + "/zantrel").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // A trailing separator is not doubled.
    EXPECT_EQ(zantrel::ChooseSettingsDir(dir, (xdg + "/").c_str(), nullptr), xdg + "/zantrel/");

    // Unset, empty or relative XDG_CONFIG_HOME: HOME/.config.
    const std::string home = Sub("home");
    const std::string homeCfg = home + "/.config/zantrel/";
    EXPECT_EQ(zantrel::ChooseSettingsDir(dir, nullptr, home.c_str()), homeCfg);
    EXPECT_EQ(zantrel::ChooseSettingsDir(dir, "", home.c_str()), homeCfg);
    EXPECT_EQ(zantrel::ChooseSettingsDir(dir, "relative/cfg", home.c_str()), homeCfg);
    EXPECT_TRUE(fs::is_directory(homeCfg));
    EXPECT_FALSE(fs::exists("relative"));

    // Nowhere better to go: the program folder, whose writes then fail.
    EXPECT_EQ(zantrel::ChooseSettingsDir(dir, nullptr, nullptr), dir);
    EXPECT_EQ(zantrel::ChooseSettingsDir(dir, "cfg", "home"), dir);
    fs::remove_all(root_ / "deep");
    fs::remove_all(root_ / "home");
  }
}

TEST_F(SettingsDirTest, AnExistingSettingsFolderIsUsedAsItIs) {
  fs::create_directories(root_ / "xdg" / "zantrel");
  std::ofstream(root_ / "xdg" / "zantrel" / "skin.ini") << "[Skin]\r\nID=CORONA\r\n";
  EXPECT_EQ(zantrel::ChooseSettingsDir("/proc/", Sub("xdg").c_str(), nullptr), Sub("xdg") + "/zantrel/");
  EXPECT_TRUE(fs::exists(root_ / "xdg" / "zantrel" / "skin.ini"));
}

TEST_F(SettingsDirTest, TheFirstChoiceForAFolderHoldsForTheRun) {
  // Chosen while the folder can be written; it then disappears, and the
  // settings stay where the first reads found them.
  const std::string choice = zantrel::SettingsDirOf(prog_);
  EXPECT_EQ(choice, prog_);
  fs::remove_all(root_ / "prog");
  EXPECT_FALSE(zantrel::IsFolderWritable(prog_));
  EXPECT_EQ(zantrel::SettingsDirOf(prog_), choice);
  fs::create_directories(root_ / "prog");
}
