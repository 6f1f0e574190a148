#include "tool/console.h"

#include <cerrno>
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

void ReportError(const std::string& message) { WriteStderr("ZantrelCore: " + message + "\n"); }

std::string AvErrorText(int err) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(err, buf, sizeof buf);
  return buf;
}

}  // namespace zantrel::tool
