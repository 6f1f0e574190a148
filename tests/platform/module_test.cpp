#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/module.h"
#include "platform/path.h"
#include "tests/platform/gbk_locale.h"

namespace fs = std::filesystem;
using zantrel::CodePage;

namespace {
struct ModuleTempDir {
  fs::path path;
  ModuleTempDir() {
    char tmpl[] = "/tmp/zantrel-module-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~ModuleTempDir() {
    std::error_code ec;
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path, ec);
  }
};
}  // namespace

TEST(PlatformModule, ModuleFileNameAndDir) {
  const std::string exe = zantrel::GetModuleFileName();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe, fs::canonical("/proc/self/exe").string());
  const std::string dir = zantrel::GetModuleDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), zantrel::kPathSep);
  EXPECT_EQ(dir + fs::path(exe).filename().string(), exe);
  // One program folder per process: every caller sees the same string.
  EXPECT_EQ(&zantrel::GetModuleDir(), &zantrel::GetModuleDir());
}

TEST(PlatformModule, DirOfPath) {
  EXPECT_EQ(zantrel::DirOfPath("/a/b/c.ini"), "/a/b/");
  EXPECT_EQ(zantrel::DirOfPath("/a/b/"), "/a/b/");
  EXPECT_EQ(zantrel::DirOfPath("/x"), "/");
  EXPECT_EQ(zantrel::DirOfPath("name.ini"), "");
  EXPECT_EQ(zantrel::DirOfPath(""), "");
}

TEST(PlatformModule, DirOfGbkPathEndsAtTheRealSeparator) {
  // Folder and file names whose GBK characters end in the byte 0x5C.
  const std::string path = "/home/u/\x95\x5C\xD6\xD0/\x95\x5C.exe";
  EXPECT_EQ(zantrel::DirOfPath(path, CodePage::Gbk), "/home/u/\x95\x5C\xD6\xD0/");
  EXPECT_EQ(zantrel::DirOfPath("\x95\x5C", CodePage::Gbk), "");
  // The same names with Windows separators: the backslash search skips the
  // trail bytes and lands on the last real separator.
  const std::string win = "C:\\v\\\x95\x5C\\\x95\x5C";
  EXPECT_EQ(zantrel::MbsRChr(win, '\\', CodePage::Gbk), 7u);
  EXPECT_EQ(zantrel::MbsRChr(win, '\\', CodePage::Utf8), 9u);  // byte-wise: wrong
}

TEST(PlatformModule, DirOfPathFollowsTheLocale) {
  zantrel_test::GbkLocale gbk;
  if (!gbk.active()) GTEST_SKIP() << "cannot build a GBK locale here";
  EXPECT_EQ(zantrel::DirOfPath("/d/\x95\x5C\xD6\xD0/\x95\x5C.ini"), "/d/\x95\x5C\xD6\xD0/");
}

TEST(PlatformModule, FileExists) {
  ModuleTempDir tmp;
  const fs::path file = tmp.path / "a file.ini";
  std::ofstream(file) << "x";
  EXPECT_TRUE(zantrel::FileExists(file.string()));
  std::ofstream(tmp.path / "empty");
  EXPECT_TRUE(zantrel::FileExists((tmp.path / "empty").string()));
  EXPECT_FALSE(zantrel::FileExists((tmp.path / "missing").string()));
  EXPECT_FALSE(zantrel::FileExists(tmp.path.string()));  // a folder is not a file
  EXPECT_FALSE(zantrel::FileExists(""));

  // No fixed path length: a path well beyond 260 bytes still works.
  fs::path deep = tmp.path;
  for (int i = 0; i < 8; ++i) deep /= std::string(40, static_cast<char>('a' + i));
  fs::create_directories(deep);
  std::ofstream(deep / "f") << "x";
  ASSERT_GT((deep / "f").string().size(), 300u);
  EXPECT_TRUE(zantrel::FileExists((deep / "f").string()));

  // A FIFO must not block the check.
  const fs::path fifo = tmp.path / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  zantrel::FileExists(fifo.string());

  if (geteuid() != 0) {
    fs::permissions(file, fs::perms::none);
    EXPECT_FALSE(zantrel::FileExists(file.string()));  // unreadable counts as missing
  }
}
