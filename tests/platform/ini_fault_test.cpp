// The INI reader when the file's status cannot be read: fstat is replaced in
// this test program so that it can fail on demand, leaving the stat buffer
// as garbage that claims a folder.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/ini.h"

namespace fs = std::filesystem;

namespace {
std::atomic<bool> g_failFstat{false};
std::atomic<int> g_fstatCalls{0};

// Descriptors open in this process right now.
int OpenFds() {
  int n = 0;
  for ([[maybe_unused]] auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
  return n;
}
}  // namespace

extern "C" int fstat(int fd, struct stat* st) {
  using Fn = int (*)(int, struct stat*);
  static const Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "fstat"));
  if (g_failFstat) {
    ++g_fstatCalls;
    std::memset(st, 0xff, sizeof *st);  // what an unfilled buffer may hold
    errno = EIO;
    return -1;
  }
  return real(fd, st);
}

TEST(PlatformIniFaults, FailedFstatGivesTheDefaultAndClosesTheFile) {
  char tmpl[] = "/tmp/zantrel-ini-fault-XXXXXX";
  const fs::path dir = mkdtemp(tmpl);
  const std::string file = (dir / "lang_set.ini").string();
  std::ofstream(file, std::ios::binary) << "[Language]\r\nLang=en\r\n";
  char buf[64];
  ASSERT_EQ(GetPrivateProfileStringA("Language", "Lang", "zh", buf, sizeof buf, file.c_str()), 2u);
  EXPECT_STREQ(buf, "en");

  const int before = OpenFds();
  g_failFstat = true;
  const auto n = GetPrivateProfileStringA("Language", "Lang", "zh", buf, sizeof buf, file.c_str());
  const unsigned number = GetPrivateProfileIntA("Language", "Lang", 7, file.c_str());
  g_failFstat = false;
  EXPECT_GE(g_fstatCalls.load(), 2);  // the replacement was reached
  EXPECT_EQ(n, 2u);
  EXPECT_STREQ(buf, "zh");
  EXPECT_EQ(number, 7u);
  EXPECT_EQ(OpenFds(), before);

  // A folder under the settings file's name reads as missing too.
  fs::remove(file);
  fs::create_directory(file);
  EXPECT_EQ(GetPrivateProfileStringA("Language", "Lang", "zh", buf, sizeof buf, file.c_str()), 2u);
  EXPECT_STREQ(buf, "zh");
  fs::remove_all(dir);
}
