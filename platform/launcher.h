#pragma once
// Starting a program from a Windows-style command line, with no shell.
//
// The first token is looked up in the program folder first (as given, then
// without a trailing ".exe"), then along PATH. The process is started with
// posix_spawn. Every child is reaped by its owner (ChildProcess).
#include <sys/types.h>

#include <atomic>
#include <string>
#include <vector>

namespace zantrel {

struct LaunchOptions {
  // Folder searched first for the program; usually GetModuleDir().
  std::string programDir;
  // When >= 0, the child's standard output and standard error both go to
  // this descriptor (the write end of a pipe); otherwise they are inherited.
  int outputFd = -1;
  // When true, standard input, output and error go to /dev/null (unless
  // outputFd is given) so that a cut run cannot touch the terminal. Whenever
  // outputFd or quiet is given, standard input is /dev/null. Every other
  // descriptor of the caller is closed in the child.
  bool quiet = false;
  // Extra "NAME=value" entries added to the inherited environment; an entry
  // replaces an inherited one of the same name.
  std::vector<std::string> extraEnv;
  // When true, the child leads a process group of its own, so signals the
  // terminal sends to the caller's group (Ctrl+C) do not reach it.
  bool ownProcessGroup = false;
};

// Resolves the program token as described above; "" when not found. A token
// holding a '/' is a path (tried as given, then without ".exe") and is not
// searched for. Only regular files this user may execute are taken.
std::string ResolveProgram(const std::string& token, const std::string& programDir);

// Owner of one child process. Not copyable; movable. The destructor reaps the
// child if it has not been waited for (killing it first with SIGKILL after
// SIGCONT, so that a stopped or stuck child cannot hang the caller).
//
// Threads: one thread owns the object and waits (Wait, WaitFor,
// WaitExitedNoReap). Signal() may be called from another thread as long as
// the child has not been reaped; WaitExitedNoReap lets the owner wait for the
// end while such signals stay safe (the pid cannot be reused), and Wait()
// afterwards reaps it once the other thread no longer signals.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ChildProcess(ChildProcess&& o) noexcept;
  ChildProcess& operator=(ChildProcess&& o) noexcept;

  // Splits `commandLine` (SplitCommandLine), resolves the program and spawns
  // it. Returns false, with a one-line reason in *error, when the line is
  // empty, the program is not found or cannot be started.
  bool Start(const std::string& commandLine, const LaunchOptions& options,
             std::string* error);

  pid_t pid() const { return pid_; }
  bool running() const { return pid_ > 0 && !reaped_; }

  // Blocks until the child has exited, reaps it and returns the raw wait
  // status (as waitpid gives it). Returns -1 if there is no child.
  int Wait();
  // Waits at most timeoutMs (0: just checks); true and *status (may be null)
  // when it exited and was reaped, or had been already.
  bool WaitFor(int timeoutMs, int* status);

  // Waits until the child has exited WITHOUT reaping it (waitid WNOWAIT), so
  // its pid cannot be reused while others may still signal it.
  void WaitExitedNoReap();
  // The same, for at most timeoutMs; true once the child has exited (or
  // there is none).
  bool WaitExitedNoReapFor(int timeoutMs);

  // Sends a signal to the child; false when there is no live child.
  bool Signal(int sig);

 private:
  void Reset();  // kills and reaps a child that was not waited for

  pid_t pid_ = -1;
  std::atomic<bool> reaped_{false};
  int status_ = -1;
};

// Describes a raw wait status in one line ("exit code 1", "killed by signal 9").
std::string DescribeWaitStatus(int status);

}  // namespace zantrel
