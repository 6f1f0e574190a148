// options.ini: what survives a round trip, what a damaged file gives, the
// recent list's order and names, and where the source chooser opens.
#include "model/user_options.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "model/split_model.h"
#include "settings/user_folders.h"

namespace fs = std::filesystem;
using namespace zantrel;

namespace {
struct TempDir {
  std::string path;
  TempDir() {
    char tmpl[] = "/tmp/zantrel-options-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { fs::remove_all(path); }
};

std::string ReadFile(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
}  // namespace

TEST(UserOptions, EveryValueSurvivesARoundTripThroughTheFile) {
  TempDir dir;
  const std::string ini = dir.path + "/options.ini";
  UserOptions o;
  // Blanks at either end, quotes, "&", ";" and CJK are all a path may hold.
  o.outputDir = "/home/u/ 输出 & \"pieces\" ";
  o.besideSource = true;
  o.mode = kSplitEqualTime;
  o.parts = 50;
  o.seconds = 7;
  o.lastSourceDir = "/media/'cam'/";
  o.recent = {"/a/1.flv", " /not-absolute.mp4", "/a/;2.MOV ", "/a/bad\nline.avi"};
  ASSERT_TRUE(WriteUserOptions(ini, o));
  const UserOptions back = ReadUserOptions(ini, UserOptions{});
  EXPECT_EQ(back.outputDir, o.outputDir);
  EXPECT_TRUE(back.besideSource);
  EXPECT_EQ(back.mode, kSplitEqualTime);
  EXPECT_EQ(back.parts, 50);
  EXPECT_EQ(back.seconds, 7);
  EXPECT_EQ(back.lastSourceDir, o.lastSourceDir);
  // Paths that cannot be stored or used are left out, the others keep order.
  EXPECT_EQ(back.recent, (std::vector<std::string>{"/a/1.flv", "/a/;2.MOV "}));

  // A shorter list removes the keys it no longer uses; an unchanged file is
  // not rewritten.
  o.recent = {"/a/1.flv"};
  ASSERT_TRUE(WriteUserOptions(ini, o));
  EXPECT_EQ(ReadFile(ini).find("File2"), std::string::npos);
  const auto stamp = fs::last_write_time(ini);
  fs::last_write_time(ini, stamp - std::chrono::hours(1));
  ASSERT_TRUE(WriteUserOptions(ini, o));
  EXPECT_EQ(fs::last_write_time(ini), stamp - std::chrono::hours(1));
}

TEST(UserOptions, CorruptOrForeignValuesFallBackOneByOne) {
  TempDir dir;
  const std::string ini = dir.path + "/options.ini";
  UserOptions defaults;
  defaults.outputDir = "/default/out/";
  const std::string longPath = "/" + std::string(9000, 'x');
  std::ofstream(ini) << "[Options]\r\nOutputDir=relative/out\r\nBesideSource=yes\r\n"
                        "SplitMode=4\r\nParts=51\r\nSeconds=+30\r\nLastSourceDir=" << longPath
                     << "\r\n[Recent]\r\nFile1=/v/a.mp4\r\nFile2=C:\\v\\b.avi\r\nFile3=/v/a.mp4\r\n"
                        "File4=/v/\x01.flv\r\nFile5=/v/dir/\r\nFile6=/v/c.3gp\r\n";
  const UserOptions o = ReadUserOptions(ini, defaults);
  EXPECT_EQ(o.outputDir, "/default/out/");
  EXPECT_FALSE(o.besideSource);
  EXPECT_EQ(o.mode, kSplitCustom);
  EXPECT_EQ(o.parts, 2);
  EXPECT_EQ(o.seconds, 120);
  EXPECT_EQ(o.lastSourceDir, "");  // never a path cut short
  EXPECT_EQ(o.recent, (std::vector<std::string>{"/v/a.mp4", "/v/c.3gp"}));

  // Numbers at the edges of their ranges are taken; one past is not.
  std::ofstream(ini) << "[Options]\r\nSplitMode=1\r\nParts=2\r\nSeconds=999999999\r\n";
  EXPECT_EQ(ReadUserOptions(ini, defaults).mode, kSplitAverage);
  EXPECT_EQ(ReadUserOptions(ini, defaults).seconds, 999999999);
  std::ofstream(ini) << "[Options]\r\nParts=1\r\nSeconds=0\r\n";
  EXPECT_EQ(ReadUserOptions(ini, defaults).parts, 2);
  EXPECT_EQ(ReadUserOptions(ini, defaults).seconds, 120);
  // No file at all: the defaults.
  EXPECT_EQ(ReadUserOptions(dir.path + "/none.ini", defaults).outputDir, "/default/out/");
}

TEST(UserOptions, RecentFilesNewestFirstAtMostEightNamedForTheMenu) {
  std::vector<std::string> recent;
  for (int i = 1; i <= 9; ++i) AddRecentFile(recent, "/v/" + std::to_string(i) + ".mp4");
  AddRecentFile(recent, "/v/5.mp4");
  ASSERT_EQ(recent.size(), 8u);
  EXPECT_EQ(recent.front(), "/v/5.mp4");
  EXPECT_EQ(recent[1], "/v/9.mp4");
  EXPECT_EQ(recent.back(), "/v/2.mp4");  // 1 fell off
  EXPECT_TRUE(RemoveRecentFile(recent, "/v/9.mp4"));
  EXPECT_FALSE(RemoveRecentFile(recent, "/v/9.mp4"));

  EXPECT_EQ(RecentMenuText(0, "/v/Tom & Jerry.flv"), "&1 /v/Tom && Jerry.flv");
  const std::string shortened = RecentMenuText(7, "/" + std::string(200, 'd') + "/clip.mp4");
  EXPECT_EQ(shortened.rfind("&8 /ddd", 0), 0u);
  EXPECT_NE(shortened.find("...ddd"), std::string::npos);
  EXPECT_EQ(shortened.substr(shortened.size() - 9), "/clip.mp4");
  EXPECT_LT(shortened.size(), 80u);
}

TEST(UserOptions, TheModelIsWhatIsSavedAndWhatIsLoaded) {
  UserOptions o;
  o.mode = kSplitAverage;
  o.parts = 9;
  o.seconds = 33;
  o.outputDir = "";  // the default folder
  o.besideSource = true;
  o.lastSourceDir = "/old/";
  SplitModel model;
  ApplyUserOptions(model, o);
  EXPECT_EQ(model.OutputFolder(), DefaultOutputFolder());
  EXPECT_EQ(model.Parts(), 9);
  EXPECT_TRUE(model.BesideSource());

  // Without a source this run, the last run's folder is kept.
  EXPECT_EQ(UserOptionsOf(model, o).lastSourceDir, "/old/");
  model.SetSource("/new/place/clip.avi");
  model.SetMode(kSplitEqualTime);
  const UserOptions out = UserOptionsOf(model, o);
  EXPECT_EQ(out.lastSourceDir, "/new/place/");
  EXPECT_EQ(out.mode, kSplitEqualTime);
  EXPECT_EQ(out.seconds, 33);
}

TEST(ChooserFolder, LastSourceElseVideosElseHomeNeverTheWorkingFolder) {
  TempDir dir;
  const std::string home = dir.path + "/home";
  fs::create_directories(home + "/Videos");
  fs::create_directories(dir.path + "/last");
  EXPECT_EQ(ChooserFolder(dir.path + "/last", home + "/Videos/", home), dir.path + "/last/");
  EXPECT_EQ(ChooserFolder(dir.path + "/gone/", home + "/Videos/", home), home + "/Videos/");
  fs::remove(home + "/Videos");
  EXPECT_EQ(ChooserFolder("", home + "/Videos/", home), home + "/");
  EXPECT_EQ(ChooserFolder("relative/", "", "nohome"), "/");
}
