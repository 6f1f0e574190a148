#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cmdline.h"
#include "platform/launcher.h"

namespace fs = std::filesystem;
using zantrel::ChildProcess;
using zantrel::LaunchOptions;
using Args = std::vector<std::string>;

namespace {

const std::string kArgvDump = std::string(ZANTREL_FIXTURE_DIR) + "/argv_dump";

class PlatformLauncher : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zantrel-launch-XXXXXX";
    dir_ = mkdtemp(tmpl);
    ASSERT_TRUE(fs::exists(kArgvDump));
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A copy of the argv_dump fixture under `name` in `folder`.
  std::string PlaceDump(const fs::path& folder, const std::string& name) {
    fs::create_directories(folder);
    const fs::path to = folder / name;
    fs::copy_file(kArgvDump, to, fs::copy_options::overwrite_existing);
    return to.string();
  }

  struct Run {
    bool started = false;
    std::string error;
    int status = -1;
    std::string output;
  };
  // Starts the line with its output on a pipe, reads it all, reaps.
  Run RunCapture(const std::string& line, LaunchOptions opt = {}) {
    Run r;
    int fds[2];
    EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);
    opt.outputFd = fds[1];
    ChildProcess child;
    r.started = child.Start(line, opt, &r.error);
    close(fds[1]);
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) r.output.append(buf, n);
    close(fds[0]);
    if (r.started) r.status = child.Wait();
    return r;
  }

  static Args SplitNul(const std::string& s) {
    Args out;
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size(); ++i)
      if (s[i] == '\0') {
        out.push_back(s.substr(start, i - start));
        start = i + 1;
      }
    return out;
  }

  static bool Reaped(pid_t pid) {
    int st;
    return waitpid(pid, &st, WNOHANG) == -1 && errno == ECHILD;
  }

  fs::path dir_;
};

}  // namespace

TEST_F(PlatformLauncher, ArgumentsArriveExactlyThroughAPipe) {
  const std::string prog = PlaceDump(dir_ / "My Tools \"v2\"", "argv_dump");
  const Args args = {"-i", "/home/u/My Videos/clip \"best\".mp4", "", "trail\\", "two words\\",
                     "a[1].mp4", "x&y|z;$(id)`id`", "\t", "\xE4\xB8\xAD\xE6\x96\x87.mp4",
                     "\x95\x5C\xD6\xD0\\", "\"", "*"};
  // The program path itself cannot hold a quote on a command line, so it is
  // reached through the program folder; the folder name is in an argument.
  Args all = {"argv_dump"};
  all.insert(all.end(), args.begin(), args.end());
  all.push_back(prog);
  std::string line;
  ASSERT_TRUE(zantrel::BuildCommandLine(all, &line));
  LaunchOptions opt;
  opt.programDir = (dir_ / "My Tools \"v2\"").string();
  const Run r = RunCapture(line, opt);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 0);
  EXPECT_EQ(SplitNul(r.output), all);

  // A program path with blanks, quoted as the program name.
  const std::string spaced = PlaceDump(dir_ / "a dir with spaces", "dump tool");
  ASSERT_TRUE(zantrel::BuildCommandLine({spaced, "x y"}, &line));
  const Run r2 = RunCapture(line);
  ASSERT_TRUE(r2.started) << r2.error;
  EXPECT_EQ(SplitNul(r2.output), Args({spaced, "x y"}));
}

TEST_F(PlatformLauncher, ProgramFolderFirstWithAndWithoutExe) {
  // "true" in the program folder wins over the system's true.
  PlaceDump(dir_, "true");
  LaunchOptions opt;
  opt.programDir = dir_.string() + "/";
  Run r = RunCapture("true x", opt);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(SplitNul(r.output), Args({"true", "x"}));
  // A Windows-style name finds the file without ".exe"; argv[0] stays as written.
  r = RunCapture("true.exe \"a b\"", opt);
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_EQ(SplitNul(r.output), Args({"true.exe", "a b"}));

  // The name as given comes before the name without ".exe".
  const std::string exe = PlaceDump(dir_, "tool.exe");
  fs::create_symlink("/bin/false", dir_ / "tool");
  EXPECT_EQ(zantrel::ResolveProgram("tool.exe", dir_.string()), exe);
  EXPECT_EQ(zantrel::ResolveProgram("tool.EXE", dir_.string()), (dir_ / "tool").string());
  EXPECT_EQ(zantrel::ResolveProgram("tool", dir_.string()), (dir_ / "tool").string());
}

TEST_F(PlatformLauncher, ResolveProgramRules) {
  // PATH, with and without ".exe".
  const std::string sh = zantrel::ResolveProgram("sh", "");
  ASSERT_FALSE(sh.empty());
  EXPECT_EQ(sh.front(), '/');
  EXPECT_EQ(zantrel::ResolveProgram("sh.exe", dir_.string()), sh);
  // Only regular executable files count: not a folder, not a plain file.
  fs::create_directory(dir_ / "sh");
  EXPECT_EQ(zantrel::ResolveProgram("sh", dir_.string()), sh);
  PlaceDump(dir_, "notexec");
  fs::permissions(dir_ / "notexec", fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(zantrel::ResolveProgram("notexec", dir_.string()), "");
  // A token with a '/' is a path and is never searched for.
  const std::string dump = PlaceDump(dir_, "dump");
  EXPECT_EQ(zantrel::ResolveProgram(dump, ""), dump);
  EXPECT_EQ(zantrel::ResolveProgram(dump + ".exe", ""), dump);
  EXPECT_EQ(zantrel::ResolveProgram("sub/sh", "/bin"), "");
  EXPECT_EQ(zantrel::ResolveProgram("", dir_.string()), "");
  EXPECT_EQ(zantrel::ResolveProgram("no-such-program-here", dir_.string()), "");
}

TEST_F(PlatformLauncher, FailuresGiveAReason) {
  ChildProcess child;
  std::string error;
  EXPECT_FALSE(child.Start("ZantrelMissing.exe -i x", LaunchOptions{}, &error));
  EXPECT_NE(error.find("not found"), std::string::npos) << error;
  EXPECT_NE(error.find("ZantrelMissing.exe"), std::string::npos) << error;
  EXPECT_FALSE(child.running());
  EXPECT_EQ(child.Wait(), -1);
  error.clear();
  EXPECT_FALSE(child.Start("   ", LaunchOptions{}, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(child.Start("", LaunchOptions{}, nullptr));
  EXPECT_FALSE(child.Signal(SIGTERM));
}

TEST_F(PlatformLauncher, ExitStatusAndSignalDeath) {
  ChildProcess child;
  std::string error;
  ASSERT_TRUE(child.Start("sh -c \"exit 7\"", LaunchOptions{}, &error)) << error;
  const pid_t pid = child.pid();
  const int st = child.Wait();
  ASSERT_TRUE(WIFEXITED(st));
  EXPECT_EQ(WEXITSTATUS(st), 7);
  EXPECT_EQ(zantrel::DescribeWaitStatus(st), "exit code 7");
  EXPECT_EQ(child.Wait(), st);  // a second Wait reports the same status
  EXPECT_FALSE(child.running());
  EXPECT_TRUE(Reaped(pid));

  ChildProcess sleeper;
  ASSERT_TRUE(sleeper.Start("sleep 30", LaunchOptions{}, &error)) << error;
  EXPECT_TRUE(sleeper.Signal(SIGTERM));
  const int st2 = sleeper.Wait();
  ASSERT_TRUE(WIFSIGNALED(st2));
  EXPECT_EQ(WTERMSIG(st2), SIGTERM);
  EXPECT_EQ(zantrel::DescribeWaitStatus(st2), "killed by signal 15");
  EXPECT_FALSE(sleeper.Signal(SIGTERM));  // reaped: no more signals
}

TEST_F(PlatformLauncher, WaitForTimesOutThenReaps) {
  ChildProcess child;
  std::string error;
  ASSERT_TRUE(child.Start("sleep 30", LaunchOptions{}, &error)) << error;
  int st = 0;
  EXPECT_FALSE(child.WaitFor(50, &st));
  EXPECT_FALSE(child.WaitFor(0, &st));
  EXPECT_TRUE(child.running());
  ASSERT_TRUE(child.Signal(SIGKILL));
  ASSERT_TRUE(child.WaitFor(30000, &st));
  EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == SIGKILL);
  EXPECT_TRUE(Reaped(child.pid()));
  EXPECT_TRUE(child.WaitFor(0, nullptr));  // already reaped
}

TEST_F(PlatformLauncher, WaitExitedNoReapKeepsThePid) {
  ChildProcess child;
  std::string error;
  ASSERT_TRUE(child.Start("sh -c \"exit 3\"", LaunchOptions{}, &error)) << error;
  child.WaitExitedNoReap();
  // Exited but not reaped: the pid is still ours, signals are harmless.
  EXPECT_TRUE(fs::exists("/proc/" + std::to_string(child.pid())));
  EXPECT_TRUE(child.Signal(SIGCONT));
  const int st = child.Wait();
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 3);
  EXPECT_TRUE(Reaped(child.pid()));
}

TEST_F(PlatformLauncher, DestructorKillsAndReapsEvenAStoppedChild) {
  pid_t pid = -1;
  {
    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.Start("sleep 30", LaunchOptions{}, &error)) << error;
    pid = child.pid();
    ASSERT_TRUE(child.Signal(SIGSTOP));
  }
  EXPECT_TRUE(Reaped(pid));
  EXPECT_FALSE(fs::exists("/proc/" + std::to_string(pid)));
}

TEST_F(PlatformLauncher, MoveTransfersOwnership) {
  ChildProcess a;
  std::string error;
  ASSERT_TRUE(a.Start("sh -c \"exit 4\"", LaunchOptions{}, &error)) << error;
  const pid_t pid = a.pid();
  ChildProcess b(std::move(a));
  EXPECT_FALSE(a.running());  // NOLINT(bugprone-use-after-move): the moved-from state is defined
  EXPECT_EQ(b.pid(), pid);
  ChildProcess c;
  ASSERT_TRUE(c.Start("sleep 30", LaunchOptions{}, &error)) << error;
  const pid_t sleeper = c.pid();
  c = std::move(b);  // the sleeper is killed and reaped by the assignment
  EXPECT_TRUE(Reaped(sleeper));
  const int st = c.Wait();
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 4);
  EXPECT_TRUE(Reaped(pid));
}

TEST_F(PlatformLauncher, EnvironmentGetsExtraEntries) {
  setenv("ZANTREL_TEST_VAR", "old", 1);
  LaunchOptions opt;
  opt.extraEnv = {"ZANTREL_TEST_VAR=new value", "ZANTREL_TEST_ADDED=1"};
  const Run r = RunCapture("env", opt);
  unsetenv("ZANTREL_TEST_VAR");
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_NE(r.output.find("\nZANTREL_TEST_VAR=new value\n"), std::string::npos);
  EXPECT_EQ(r.output.find("ZANTREL_TEST_VAR=old"), std::string::npos);
  EXPECT_EQ(r.output.find("ZANTREL_TEST_VAR="), r.output.rfind("ZANTREL_TEST_VAR="));
  EXPECT_NE(r.output.find("ZANTREL_TEST_ADDED=1\n"), std::string::npos);
  EXPECT_NE(r.output.find("PATH="), std::string::npos);  // the rest is inherited
}

TEST_F(PlatformLauncher, ChildGetsNoStrayDescriptorsAndNoStdin) {
  // A pipe of ours without close-on-exec must still not reach the child:
  // if it did, its read end would see no hang-up while the child lives.
  int stray[2];
  ASSERT_EQ(pipe(stray), 0);
  ChildProcess child;
  std::string error;
  LaunchOptions opt;
  opt.quiet = true;
  ASSERT_TRUE(child.Start("sleep 30", opt, &error)) << error;
  close(stray[1]);
  pollfd p{stray[0], POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 0), 1);
  EXPECT_TRUE(p.revents & POLLHUP);
  close(stray[0]);
  child.Signal(SIGKILL);
  child.Wait();

  // Standard input is /dev/null: cat ends at once with nothing to copy.
  const Run r = RunCapture("cat");
  ASSERT_TRUE(r.started) << r.error;
  EXPECT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) == 0);
  EXPECT_EQ(r.output, "");
}

TEST_F(PlatformLauncher, QuietRunWritesNothingToOurOutput) {
  // Standard error of the child would be ours if not redirected; a quiet run
  // of a failing command leaves our stderr untouched (checked via a pipe).
  int errPipe[2];
  ASSERT_EQ(pipe2(errPipe, O_CLOEXEC), 0);
  const int savedErr = dup(2);
  dup2(errPipe[1], 2);
  ChildProcess child;
  std::string error;
  LaunchOptions opt;
  opt.quiet = true;
  const bool started = child.Start("ls /no/such/path/here", opt, &error);
  const int st = started ? child.Wait() : -1;
  dup2(savedErr, 2);
  close(savedErr);
  close(errPipe[1]);
  char buf[256];
  const ssize_t n = read(errPipe[0], buf, sizeof buf);
  close(errPipe[0]);
  ASSERT_TRUE(started) << error;
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) != 0);
  EXPECT_EQ(n, 0);
}
