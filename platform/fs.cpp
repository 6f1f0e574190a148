#include "platform/fs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

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

namespace {

FolderCheck Problem(FolderProblem problem, int err, const std::string& at) {
  FolderCheck c;
  c.problem = problem;
  c.errnoValue = err;
  c.at = at;
  return c;
}

// One folder along the path: there, made, or the reason why neither.
FolderCheck EnsureFolder(const std::string& dir, bool create) {
  struct stat st;
  if (::stat(dir.c_str(), &st) == 0)
    return S_ISDIR(st.st_mode) ? FolderCheck{} : Problem(FolderProblem::kNotFolder, ENOTDIR, dir);
  const int err = errno;
  if (err == EACCES) return Problem(FolderProblem::kNoPermission, err, dir);
  if (err == ENOTDIR) return Problem(FolderProblem::kNotFolder, err, dir);
  if (err != ENOENT) return Problem(FolderProblem::kOther, err, dir);
  if (!create) return Problem(FolderProblem::kMissing, err, dir);
  if (::mkdir(dir.c_str(), 0777) == 0) return {};
  const int mkdirErr = errno;
  // Made by someone else meanwhile, or something else than a folder there.
  if (mkdirErr == EEXIST)
    return IsDirectory(dir) ? FolderCheck{} : Problem(FolderProblem::kNotFolder, mkdirErr, dir);
  return Problem(FolderProblem::kCannotCreate, mkdirErr, dir);
}

}  // namespace

FolderCheck PrepareFolder(const std::string& folder, bool create) {
  std::string p = folder.empty() ? std::string(".") : folder;
  const std::string doubled = std::string(2, kPathSep);
  for (std::size_t at; (at = p.find(doubled)) != std::string::npos;) p.erase(at, 1);
  while (p.size() > 1 && p.back() == kPathSep) p.pop_back();

  // Each prefix up to a separator, then the whole path; the empty prefix of
  // an absolute path is the root.
  for (std::size_t at = p.find(kPathSep); at != std::string::npos; at = p.find(kPathSep, at + 1)) {
    if (at == 0) continue;
    const FolderCheck c = EnsureFolder(p.substr(0, at), create);
    if (!c.ok()) return c;
  }
  const FolderCheck c = EnsureFolder(p, create);
  if (!c.ok()) return c;

  // The folder is there; whether it takes a file only making one tells
  // (permissions, a read-only mount, a full disk, a file system of its own
  // kind).
  std::string probe = p + kPathSepStr + ".zantrel-write-check-XXXXXX";
  const UniqueFd fd(::mkstemp(probe.data()));
  if (fd.valid()) {
    ::unlink(probe.c_str());
    return {};
  }
  const int err = errno;
  switch (err) {
    case EACCES:
    case EPERM:
      return Problem(FolderProblem::kNoPermission, err, p);
    case EROFS:
      return Problem(FolderProblem::kReadOnly, err, p);
    case ENOSPC:
    case EDQUOT:
      return Problem(FolderProblem::kNoSpace, err, p);
    case ENOENT:
      // The folder was just seen; a file system that then says "no such
      // file" for a new name is one that holds no files of ours (proc).
      return IsDirectory(p) ? Problem(FolderProblem::kTakesNoFiles, err, p)
                            : Problem(FolderProblem::kMissing, err, p);
    default:
      return Problem(FolderProblem::kOther, err, p);
  }
}

void UniqueFd::Reset(int fd) {
  // close() is not retried on EINTR: on Linux the descriptor is gone either way.
  if (fd_ >= 0 && fd_ != fd) ::close(fd_);
  fd_ = fd;
}

}  // namespace zantrel
