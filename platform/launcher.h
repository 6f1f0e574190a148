#pragma once
// Starting a program from a Windows-style command line, with no shell.
//
// The first token is looked up in the program folder first (as given, then
// without a trailing ".exe"), then along PATH. The process is started with
// posix_spawn. Every child is reaped by its owner (ChildProcess).
#include <sys/types.h>

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
  // outputFd is given) so that a cut run cannot touch the terminal.
  bool quiet = false;
  // Extra "NAME=value" entries added to the inherited environment.
  std::vector<std::string> extraEnv;
};

// Resolves the program token as described above; "" when not found.
std::string ResolveProgram(const std::string& token, const std::string& programDir);

// Owner of one child process. Not copyable; movable. The destructor reaps the
// child if it has not been waited for (killing it first with SIGKILL after
// SIGCONT, so that a stopped or stuck child cannot hang the caller).
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
  // Waits at most timeoutMs; true and *status when it exited and was reaped.
  bool WaitFor(int timeoutMs, int* status);

  // Waits until the child has exited WITHOUT reaping it (waitid WNOWAIT), so
  // its pid cannot be reused while others may still signal it.
  void WaitExitedNoReap();

  // Sends a signal to the child; false when there is no live child.
  bool Signal(int sig);

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = -1;
};

// Describes a raw wait status in one line ("exit code 1", "killed by signal 9").
std::string DescribeWaitStatus(int status);

}  // namespace zantrel
