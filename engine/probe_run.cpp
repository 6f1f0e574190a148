#include "engine/probe_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "engine/probe.h"
#include "platform/fs.h"
#include "platform/launcher.h"

namespace zantrel {

namespace {

// After the read ends the tool normally exits by itself at once; give it
// this long before it is killed.
constexpr int kExitGraceMs = 200;

}  // namespace

int RunProbe(const std::string& sourcePath, const std::string& programDir, int timeoutMs,
             std::string* received) {
  if (received) received->clear();

  int fds[2];
  // Close-on-exec on both ends: the child gets the write end only as its
  // standard output and error, never as a stray descriptor that would keep
  // the pipe open after it has gone.
  if (::pipe2(fds, O_CLOEXEC) != 0) return 0;
  UniqueFd readEnd(fds[0]);
  UniqueFd writeEnd(fds[1]);

  LaunchOptions options;
  options.programDir = programDir;
  options.outputFd = writeEnd.get();
  options.quiet = true;  // no terminal input for the tool

  ChildProcess child;
  std::string error;
  if (!child.Start(BuildProbeCommandLine(sourcePath), options, &error)) return 0;
  // Our copy of the write end must go, or the read would never see the end.
  writeEnd.Reset();

  // Unlike a single read after a fixed sleep, this keeps reading until the
  // Duration line is complete, so output that arrives in several bursts (or
  // late) is not missed.
  std::string data;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  char buffer[kProbeReceiveSize];
  while (data.size() < kProbeReceiveSize && !ProbeOutputComplete(data)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) break;
    pollfd pfd{readEnd.get(), POLLIN, 0};
    const int ready = ::poll(&pfd, 1, static_cast<int>(left));
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (ready == 0) break;  // timed out
    const ssize_t n = ::read(readEnd.get(), buffer, kProbeReceiveSize - data.size());
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      break;
    }
    if (n == 0) break;  // end of output
    data.append(buffer, static_cast<std::size_t>(n));
  }
  readEnd.Reset();

  int status = 0;
  if (!child.WaitFor(kExitGraceMs, &status)) {
    child.Signal(SIGKILL);
    child.Wait();
  }

  const int seconds = ParseProbeDuration(data);
  if (received) *received = std::move(data);
  return seconds;
}

}  // namespace zantrel
