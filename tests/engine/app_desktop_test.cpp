// Where an installed copy keeps its settings, and the file named on the
// command line: real folders, real permissions.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/settings_dir.h"
#include "app/source_argument.h"

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

TEST(SourceArgument, FirstNonOptionMadeAbsolute) {
  using zantrel::SourceFromArguments;
  EXPECT_FALSE(SourceFromArguments({}, "/work"));
  EXPECT_FALSE(SourceFromArguments({"--verbose", "-x", ""}, "/work"));
  EXPECT_EQ(*SourceFromArguments({"/media/clip.flv"}, "/work"), "/media/clip.flv");
  EXPECT_EQ(*SourceFromArguments({"clip.flv"}, "/work"), "/work/clip.flv");
  EXPECT_EQ(*SourceFromArguments({"./a/../b/clip.mp4"}, "/work/"), "/work/b/clip.mp4");
  // Options are passed over; later files are ignored.
  EXPECT_EQ(*SourceFromArguments({"-v", "one.avi", "two.avi"}, "/w"), "/w/one.avi");
  // After "--" a leading dash is part of the name.
  EXPECT_EQ(*SourceFromArguments({"--", "-odd.3gp"}, "/w"), "/w/-odd.3gp");
  EXPECT_EQ(*SourceFromArguments({"--", "--"}, "/w"), "/w/--");
  // Names are bytes, kept as given (GBK "视频" here, and a 0x5C trail byte).
  const std::string gbk = "\xCA\xD3\xC6\xB5\x5C.flv";
  EXPECT_EQ(*SourceFromArguments({gbk}, "/w"), "/w/" + gbk);
}

TEST(SourceArgument, RelativeToTheCurrentFolder) {
  const std::string cwd = fs::current_path().string();
  EXPECT_EQ(*zantrel::SourceFromArguments({"x.flv"}), cwd + "/x.flv");
}
