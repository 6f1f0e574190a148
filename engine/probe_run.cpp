#include "engine/probe_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "engine/probe.h"
#include "platform/fs.h"
#include "platform/launcher.h"
#include "platform/tool_args.h"

namespace zantrel {

namespace {

// After the read ends the tool normally exits by itself at once; give it
// this long before it is killed.
constexpr int kExitGraceMs = 200;

}  // namespace

namespace {

struct ProbeRun {
  bool started = false;
  int seconds = 0;
  int waitStatus = -1;  // -1 when the tool was killed for taking too long
};

ProbeRun Probe(const std::string& sourcePath, const std::string& programDir, int timeoutMs,
               std::string* received) {
  ProbeRun out;
  if (received) received->clear();

  int fds[2];
  // Close-on-exec on both ends: the child gets the write end only as its
  // standard output and error, never as a stray descriptor that would keep
  // the pipe open after it has gone.
  if (::pipe2(fds, O_CLOEXEC) != 0) return out;
  UniqueFd readEnd(fds[0]);
  UniqueFd writeEnd(fds[1]);

  LaunchOptions options;
  options.programDir = programDir;
  options.outputFd = writeEnd.get();
  options.quiet = true;  // no terminal input for the tool

  ChildProcess child;
  std::string error;
  if (!child.Start(BuildProbeCommandLine(sourcePath), options, &error)) return out;
  out.started = true;
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
  if (child.WaitFor(kExitGraceMs, &status)) {
    out.waitStatus = status;
  } else {
    child.Signal(SIGKILL);
    child.Wait();
  }

  out.seconds = ParseProbeDuration(data);
  if (received) *received = std::move(data);
  return out;
}

}  // namespace

int RunProbe(const std::string& sourcePath, const std::string& programDir, int timeoutMs,
             std::string* received) {
  return Probe(sourcePath, programDir, timeoutMs, received).seconds;
}

ProbeResult ProbeSource(const std::string& sourcePath, const std::string& programDir, int timeoutMs) {
  ProbeResult result;
  const ProbeRun run = Probe(sourcePath, programDir, timeoutMs, nullptr);
  if (!run.started) return result;
  if (run.seconds >= 1) {
    result.verdict = SourceVerdict::kVideo;
    result.seconds = run.seconds;
    return result;
  }
  // The file itself first: "not there" and "not ours to read" are the
  // program's to see, whatever the tool made of them.
  struct stat st;
  if (::stat(sourcePath.c_str(), &st) != 0) {
    result.verdict = errno == ENOENT || errno == ENOTDIR ? SourceVerdict::kMissing : SourceVerdict::kUnreadable;
    return result;
  }
  if (!FileExists(sourcePath)) {
    result.verdict = SourceVerdict::kUnreadable;
    return result;
  }
  const int code = run.waitStatus != -1 && WIFEXITED(run.waitStatus) ? WEXITSTATUS(run.waitStatus) : -1;
  switch (code) {
    case tool_args::kExitUnknownFormat:
      result.verdict = SourceVerdict::kNotVideo;
      break;
    case tool_args::kExitNotVideo:
      result.verdict = SourceVerdict::kNoPictureNoSound;
      break;
    case tool_args::kExitSourceUnreadable:
      result.verdict = SourceVerdict::kUnreadable;
      break;
    default:
      // Exit 0 with a duration below one second, or none found.
      result.verdict = SourceVerdict::kNoDuration;
      break;
  }
  return result;
}

}  // namespace zantrel
