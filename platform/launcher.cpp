#include "platform/launcher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <strings.h>
#include <thread>

#include "platform/cmdline.h"
#include "platform/fs.h"

extern char** environ;

namespace zantrel {

namespace {

bool EndsWithExe(const std::string& s) {
  return s.size() > 4 && strcasecmp(s.c_str() + s.size() - 4, ".exe") == 0;
}

// The two tries in one folder: the name as given, then without ".exe".
std::string TryInDir(const std::string& dir, const std::string& token) {
  std::string base = dir;
  if (!base.empty() && base.back() != '/') base += '/';
  if (IsExecutableFile(base + token)) return base + token;
  if (EndsWithExe(token)) {
    const std::string bare = base + token.substr(0, token.size() - 4);
    if (IsExecutableFile(bare)) return bare;
  }
  return std::string();
}

void SetError(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

std::string EnvName(const std::string& entry) { return entry.substr(0, entry.find('=')); }

// RAII for the spawn attribute objects.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

pid_t WaitPidRetry(pid_t pid, int* status, int flags) {
  for (;;) {
    const pid_t r = waitpid(pid, status, flags);
    if (r >= 0 || errno != EINTR) return r;
  }
}

}  // namespace

std::string ResolveProgram(const std::string& token, const std::string& programDir) {
  if (token.empty()) return std::string();
  if (token.find('/') != std::string::npos) return TryInDir(std::string(), token);
  if (!programDir.empty()) {
    const std::string hit = TryInDir(programDir, token);
    if (!hit.empty()) return hit;
  }
  const char* path = getenv("PATH");
  if (path == nullptr) return std::string();
  const std::string p = path;
  std::size_t start = 0;
  while (start <= p.size()) {
    std::size_t colon = p.find(':', start);
    if (colon == std::string::npos) colon = p.size();
    const std::string dir = p.substr(start, colon - start);
    // An empty entry would mean the current folder: never searched, so a
    // file dropped there cannot stand in for a system program.
    if (!dir.empty()) {
      const std::string hit = TryInDir(dir, token);
      if (!hit.empty()) return hit;
    }
    start = colon + 1;
  }
  return std::string();
}

ChildProcess::~ChildProcess() { Reset(); }

ChildProcess::ChildProcess(ChildProcess&& o) noexcept
    : pid_(o.pid_), reaped_(o.reaped_.load()), status_(o.status_) {
  o.pid_ = -1;
  o.reaped_ = false;
  o.status_ = -1;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& o) noexcept {
  if (this != &o) {
    Reset();
    pid_ = o.pid_;
    reaped_ = o.reaped_.load();
    status_ = o.status_;
    o.pid_ = -1;
    o.reaped_ = false;
    o.status_ = -1;
  }
  return *this;
}

void ChildProcess::Reset() {
  if (running()) {
    // SIGCONT first: a stopped child would otherwise only die once resumed.
    kill(pid_, SIGCONT);
    kill(pid_, SIGKILL);
    int st = 0;
    WaitPidRetry(pid_, &st, 0);
  }
  pid_ = -1;
  reaped_ = false;
  status_ = -1;
}

bool ChildProcess::Start(const std::string& commandLine, const LaunchOptions& options,
                         std::string* error) {
  if (running()) {
    SetError(error, "a process is already running");
    return false;
  }
  Reset();
  if (commandLine.find_first_not_of(" \t") == std::string::npos) {
    SetError(error, "empty command line");
    return false;
  }
  std::vector<std::string> args = SplitCommandLine(commandLine);
  if (args.empty() || args[0].empty()) {
    SetError(error, "no program named in the command line");
    return false;
  }
  const std::string program = ResolveProgram(args[0], options.programDir);
  if (program.empty()) {
    SetError(error, "program not found: " + args[0]);
    return false;
  }

  SpawnSetup setup;
  int rc = 0;
  // Standard descriptors first, then everything else is closed so that no
  // pipe end or socket of ours leaks into the child.
  if (options.outputFd >= 0) {
    rc |= posix_spawn_file_actions_adddup2(&setup.actions, options.outputFd, 1);
    rc |= posix_spawn_file_actions_adddup2(&setup.actions, options.outputFd, 2);
  } else if (options.quiet) {
    rc |= posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
    rc |= posix_spawn_file_actions_adddup2(&setup.actions, 1, 2);
  }
  if (options.outputFd >= 0 || options.quiet)
    rc |= posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
  rc |= posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);

  // The child starts with default signal handling and nothing blocked,
  // whatever the caller ignores or blocks (SIGPIPE, SIGCHLD, ...).
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  rc |= posix_spawnattr_setsigmask(&setup.attr, &none);
  rc |= posix_spawnattr_setsigdefault(&setup.attr, &all);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (options.ownProcessGroup) {
    // A group of its own (pgid = its pid): the terminal's Ctrl+C reaches
    // the caller only, which then ends the child its own way.
    rc |= posix_spawnattr_setpgroup(&setup.attr, 0);
    flags |= POSIX_SPAWN_SETPGROUP;
  }
  rc |= posix_spawnattr_setflags(&setup.attr, flags);
  if (rc != 0) {
    SetError(error, "cannot prepare to start " + program);
    return false;
  }

  std::vector<std::string> env;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const auto& x : options.extraEnv)
      if (EnvName(x) == EnvName(entry)) replaced = true;
    if (!replaced) env.push_back(entry);
  }
  for (const auto& x : options.extraEnv) env.push_back(x);

  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_t pid = -1;
  rc = posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attr, argv.data(), envp.data());
  if (rc != 0) {
    SetError(error, "cannot start " + program + ": " + std::strerror(rc));
    return false;
  }
  pid_ = pid;
  reaped_ = false;
  status_ = -1;
  return true;
}

int ChildProcess::Wait() {
  if (pid_ <= 0) return -1;
  if (reaped_) return status_;
  int st = 0;
  if (WaitPidRetry(pid_, &st, 0) == pid_)
    status_ = st;
  else
    status_ = -1;  // reaped elsewhere (SIGCHLD ignored): nothing to report
  reaped_ = true;
  return status_;
}

bool ChildProcess::WaitFor(int timeoutMs, int* status) {
  if (pid_ <= 0) return false;
  if (!reaped_) {
    // A pidfd becomes readable when the child exits, so the wait needs no
    // polling loop. The child is not reaped yet, so its pid is still ours.
    const int pfd = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
      int st = 0;
      const pid_t r = WaitPidRetry(pid_, &st, WNOHANG);
      if (r == pid_ || r < 0) {
        status_ = r == pid_ ? st : -1;
        reaped_ = true;
        break;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) break;
      if (pfd >= 0) {
        pollfd p{pfd, POLLIN, 0};
        poll(&p, 1, static_cast<int>(left));
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(left < 10 ? left : 10));
      }
    }
    if (pfd >= 0) close(pfd);
    if (!reaped_) return false;
  }
  if (status != nullptr) *status = status_;
  return true;
}

void ChildProcess::WaitExitedNoReap() {
  if (!running()) return;
  siginfo_t info;
  for (;;) {
    std::memset(&info, 0, sizeof info);
    if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT) == 0) return;
    if (errno != EINTR) return;
  }
}

bool ChildProcess::WaitExitedNoReapFor(int timeoutMs) {
  if (!running()) return true;
  auto exited = [this] {
    siginfo_t info;
    for (;;) {
      std::memset(&info, 0, sizeof info);
      if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT | WNOHANG) == 0)
        return info.si_pid == pid_;  // si_pid stays 0 while it runs
      if (errno != EINTR) return true;  // not our child any more: nothing to wait for
    }
  };
  if (exited()) return true;
  // A pidfd becomes readable at the exit, so the wait needs no polling loop.
  const int pfd = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
  if (pfd >= 0) {
    pollfd p{pfd, POLLIN, 0};
    while (poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs) < 0 && errno == EINTR) {
    }
    close(pfd);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs < 10 ? timeoutMs : 10));
  }
  return exited();
}

bool ChildProcess::Signal(int sig) {
  if (!running()) return false;
  return kill(pid_, sig) == 0;
}

std::string DescribeWaitStatus(int status) {
  if (status == -1) return "no exit status";
  if (WIFEXITED(status)) return "exit code " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  if (WIFSTOPPED(status)) return "stopped by signal " + std::to_string(WSTOPSIG(status));
  return "wait status " + std::to_string(status);
}

}  // namespace zantrel
