#include "platform/module.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/path.h"

namespace zantrel {

std::string GetModuleFileName() {
  // readlink does not say when it truncated, so grow until the result fits
  // with room to spare; paths are not capped at any fixed size.
  std::vector<char> buf(512);
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return std::string();
    if (static_cast<std::size_t>(n) < buf.size()) return std::string(buf.data(), n);
    if (buf.size() >= (1u << 20)) return std::string();
    buf.resize(buf.size() * 2);
  }
}

std::string GetModuleDir() { return DirOfPath(GetModuleFileName()); }

std::string DirOfPath(const std::string& path) { return DirOfPath(path, CurrentCodePage()); }

std::string DirOfPath(const std::string& path, CodePage cp) {
  const std::size_t pos = MbsRChr(path, kPathSep, cp);
  if (pos == std::string::npos) return std::string();
  return path.substr(0, pos + 1);
}

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  // O_NONBLOCK so that a FIFO under that name cannot hang the caller.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st;
  const bool ok = fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
  close(fd);
  return ok;
}

}  // namespace zantrel
