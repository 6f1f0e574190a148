#include "platform/fs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/path.h"

namespace zantrel {

std::string DirOfPath(const std::string& path) { return DirOfPath(path, CurrentCodePage()); }

std::string DirOfPath(const std::string& path, CodePage cp) {
  const std::size_t pos = MbsRChr(path, kPathSep, cp);
  if (pos == std::string::npos) return std::string();
  return path.substr(0, pos + 1);
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsExecutableFile(const std::string& path) {
  return IsRegularFile(path) && ::access(path.c_str(), X_OK) == 0;
}

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  // O_NONBLOCK so that a FIFO under that name cannot hang the caller.
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd.valid()) return false;
  struct stat st;
  return ::fstat(fd.get(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void UniqueFd::Reset(int fd) {
  // close() is not retried on EINTR: on Linux the descriptor is gone either way.
  if (fd_ >= 0 && fd_ != fd) ::close(fd_);
  fd_ = fd;
}

}  // namespace zantrel
