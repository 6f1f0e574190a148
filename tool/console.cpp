#include "tool/console.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

extern "C" {
#include <libavutil/error.h>
}

namespace zantrel::tool {

void WriteStderr(const std::string& text) {
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(STDERR_FILENO, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // nobody is listening any more; the cut itself goes on
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

namespace {
// The tool is one process cutting one piece: its last failure is one value.
std::string& LastError() {
  static std::string last;
  return last;
}
}  // namespace

void ReportError(const std::string& message) {
  LastError() = message;
  WriteStderr("ZantrelCore: " + message + "\n");
}

const std::string& LastReportedError() { return LastError(); }

std::string AvErrorText(int err) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(err, buf, sizeof buf);
  return buf;
}

namespace {
const bool kTracing = std::getenv("ZANTREL_TRACE_TIMES") != nullptr;
const auto kStarted = std::chrono::steady_clock::now();
}  // namespace

void TraceTime(const char* what) {
  if (!kTracing) return;
  const auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - kStarted);
  timespec cpu{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
  char line[160];
  std::snprintf(line, sizeof line, "ZantrelCore: time %s: wall %lld ms, cpu %lld ms\n", what,
                static_cast<long long>(wall.count()),
                static_cast<long long>(cpu.tv_sec) * 1000 + cpu.tv_nsec / 1000000);
  WriteStderr(line);
}

}  // namespace zantrel::tool
