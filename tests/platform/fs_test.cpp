// What a path names, and descriptor ownership, against real files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include <gtest/gtest.h>

#include "platform/fs.h"
#include "tests/common/test_util.h"

namespace {

bool IsOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

TEST(PlatformFs, KindsOfPath) {
  zantrel_test::TempDir dir;
  const std::string file = dir / "file";
  const std::string script = dir / "run";
  zantrel_test::WriteFile(file, "x");
  zantrel_test::WriteFile(script, "#!/bin/sh\n");
  ASSERT_EQ(chmod(script.c_str(), 0755), 0);
  ASSERT_EQ(symlink(dir.path().c_str(), (dir / "link").c_str()), 0);

  EXPECT_TRUE(zantrel::IsDirectory(dir.path()));
  EXPECT_TRUE(zantrel::IsDirectory(dir / "link"));  // links are followed
  EXPECT_FALSE(zantrel::IsDirectory(file));
  EXPECT_FALSE(zantrel::IsDirectory(""));
  EXPECT_TRUE(zantrel::IsRegularFile(file));
  EXPECT_FALSE(zantrel::IsRegularFile(dir.path()));
  EXPECT_FALSE(zantrel::IsRegularFile(dir / "missing"));
  EXPECT_TRUE(zantrel::IsExecutableFile(script));
  EXPECT_FALSE(zantrel::IsExecutableFile(file));
  EXPECT_FALSE(zantrel::IsExecutableFile(dir.path()));  // a searchable folder is no program
}

TEST(PlatformFs, UniqueFdClosesExactlyOnce) {
  int raw = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(raw, 0);
  {
    zantrel::UniqueFd a(raw);
    zantrel::UniqueFd b(std::move(a));
    EXPECT_FALSE(a.valid());
    EXPECT_EQ(b.get(), raw);
    EXPECT_TRUE(IsOpen(raw));
  }
  EXPECT_FALSE(IsOpen(raw));

  raw = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(raw, 0);
  zantrel::UniqueFd c(raw);
  const int released = c.Release();
  EXPECT_EQ(released, raw);
  c.Reset();  // holds nothing any more: must not close the released one
  EXPECT_TRUE(IsOpen(raw));
  close(raw);
}

}  // namespace
