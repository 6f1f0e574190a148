// Why a folder cannot take the pieces, found on real file systems: a folder
// of /proc, a file in the way, a folder the user may not write (as an
// unprivileged user), a read-only mount (in a mount namespace of its own).
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <grp.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "platform/fs.h"
#include "tests/common/test_util.h"

namespace {

using zantrel::FolderCheck;
using zantrel::FolderProblem;
using zantrel::PrepareFolder;

constexpr long kProcSuperMagic = 0x9fa0;

// PrepareFolder(folder, create) in a child process that `setup` has made
// ready first; setup returns "" or why it cannot be done here.
struct ChildCheck {
  std::string skipped;  // why the setup failed ("" when it ran)
  FolderCheck check;
};
ChildCheck CheckInChild(const std::function<std::string()>& setup, const std::string& folder, bool create) {
  int fds[2];
  if (::pipe(fds) != 0) return {"no pipe", {}};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    std::string out = setup();
    if (out.empty()) {
      const FolderCheck c = PrepareFolder(folder, create);
      out = std::string(1, '\0') + std::to_string(static_cast<int>(c.problem)) + " " + std::to_string(c.errnoValue) +
            " " + c.at;
    }
    (void)!::write(fds[1], out.data(), out.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string got;
  char buf[512];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) got.append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  ::waitpid(pid, nullptr, 0);
  ChildCheck r;
  if (got.empty() || got[0] != '\0') {
    r.skipped = got.empty() ? "the child said nothing" : got;
    return r;
  }
  int problem = 0;
  int err = 0;
  int used = 0;
  std::sscanf(got.c_str() + 1, "%d %d %n", &problem, &err, &used);
  r.check.problem = static_cast<FolderProblem>(problem);
  r.check.errnoValue = err;
  r.check.at = got.substr(1 + static_cast<std::size_t>(used));
  return r;
}

// Drops to the unprivileged user "nobody" when running as root, as setpriv
// would; an unprivileged user stays as it is.
std::string DropPrivileges() {
  if (::geteuid() != 0) return {};
  if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
      ::setresuid(65534, 65534, 65534) != 0)
    return std::string("cannot drop to nobody: ") + std::strerror(errno);
  return {};
}

void WriteProcFile(const char* path, const std::string& text) {
  const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return;
  (void)!::write(fd, text.data(), text.size());
  ::close(fd);
}

// A mount namespace of the child's own (in a user namespace when not root),
// with a read-only tmpfs on `dir`.
std::function<std::string()> ReadOnlyMountOn(const std::string& dir) {
  return [dir]() -> std::string {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (uid != 0) {
      if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return std::string("no user and mount namespace: ") + std::strerror(errno);
      WriteProcFile("/proc/self/setgroups", "deny");
      WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
      WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
    } else if (::unshare(CLONE_NEWNS) != 0) {
      return std::string("no mount namespace: ") + std::strerror(errno);
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", dir.c_str(), "tmpfs", MS_RDONLY, "size=64k") != 0)
      return std::string("cannot mount a read-only tmpfs: ") + std::strerror(errno);
    return {};
  };
}

void ExpectProblem(const FolderCheck& c, FolderProblem problem, int err, const std::string& at) {
  EXPECT_EQ(static_cast<int>(c.problem), static_cast<int>(problem)) << "at " << c.at;
  EXPECT_EQ(c.errnoValue, err) << std::strerror(c.errnoValue);
  EXPECT_EQ(c.at, at);
}

TEST(FolderCheck, NamesWhatIsInTheWayOrMissing) {
  zantrel_test::TempDir dir;
  zantrel_test::WriteFile(dir / "file", "x");

  ExpectProblem(PrepareFolder(dir / "file", true), FolderProblem::kNotFolder, ENOTDIR, dir / "file");
  ExpectProblem(PrepareFolder(dir / "file/out", true), FolderProblem::kNotFolder, ENOTDIR, dir / "file");
  ExpectProblem(PrepareFolder(dir / "new/out", false), FolderProblem::kMissing, ENOENT, dir / "new");

  // Made on the way, separators doubled or trailing.
  EXPECT_TRUE(PrepareFolder(dir.path() + "//new///out/", true).ok());
  EXPECT_TRUE(zantrel::IsDirectory(dir / "new/out"));
  EXPECT_TRUE(PrepareFolder(dir / "new/out", false).ok());
  // The check's own file is gone again.
  EXPECT_EQ(::rmdir((dir / "new/out").c_str()), 0);
}

TEST(FolderCheck, AProcFolderExistsButTakesNoFiles) {
  struct statfs fsInfo {};
  if (::statfs("/proc/self", &fsInfo) != 0 || fsInfo.f_type != kProcSuperMagic)
    GTEST_SKIP() << "no proc file system on /proc";
  // Never "does not exist": it does.
  ExpectProblem(PrepareFolder("/proc/self", true), FolderProblem::kTakesNoFiles, ENOENT, "/proc/self");
  ExpectProblem(PrepareFolder("/proc/self/zantrel-out/x", true), FolderProblem::kCannotCreate, ENOENT,
                "/proc/self/zantrel-out");
}

TEST(FolderCheck, NoPermissionForAnUnprivilegedUser) {
  zantrel_test::TempDir dir;
  // The user to come may look in but not write.
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((dir / "locked").c_str(), 0555), 0);

  const ChildCheck there = CheckInChild(DropPrivileges, dir / "locked", true);
  if (!there.skipped.empty()) GTEST_SKIP() << there.skipped;
  ExpectProblem(there.check, FolderProblem::kNoPermission, EACCES, dir / "locked");

  const ChildCheck made = CheckInChild(DropPrivileges, dir / "locked/out", true);
  ASSERT_EQ(made.skipped, "");
  ExpectProblem(made.check, FolderProblem::kCannotCreate, EACCES, dir / "locked/out");
}

TEST(FolderCheck, ReadOnlyFileSystem) {
  zantrel_test::TempDir dir;
  ASSERT_EQ(::mkdir((dir / "ro").c_str(), 0755), 0);

  const ChildCheck there = CheckInChild(ReadOnlyMountOn(dir / "ro"), dir / "ro", true);
  if (!there.skipped.empty()) GTEST_SKIP() << there.skipped;
  ExpectProblem(there.check, FolderProblem::kReadOnly, EROFS, dir / "ro");

  const ChildCheck made = CheckInChild(ReadOnlyMountOn(dir / "ro"), dir / "ro/out/x", true);
  ASSERT_EQ(made.skipped, "");
  ExpectProblem(made.check, FolderProblem::kCannotCreate, EROFS, dir / "ro/out");
}

}  // namespace
