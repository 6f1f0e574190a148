#pragma once
// Paths and files: the one home for splitting paths, asking what a path
// names, and owning file descriptors. Byte strings in the current multibyte
// code page unless a code page is given. Any thread; no state.
#include <string>

#include "platform/codepage.h"

namespace zantrel {

// Folder part of `path` up to and including its last separator ("" if none),
// found by a multibyte-aware search so a GBK trail byte is never taken for a
// separator.
std::string DirOfPath(const std::string& path);
// The same with an explicit code page (tests, or texts of a known code page).
std::string DirOfPath(const std::string& path, CodePage cp);

// What `path` names right now (following symbolic links); false for "" and
// for anything that cannot be examined.
bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);
// A regular file this process may execute.
bool IsExecutableFile(const std::string& path);

// True when `path` is a file that can be opened for reading right now (a file
// that exists but cannot be read counts as missing; a folder is not a file).
bool FileExists(const std::string& path);

// Why a folder cannot take new files, as found by PrepareFolder.
enum class FolderProblem {
  kNone,
  kMissing,       // it does not exist (and was not to be created)
  kCannotCreate,  // it, or a folder on the way to it, is missing and mkdir failed: errnoValue says why
  kNotFolder,     // something else than a folder lies at `at`
  kNoPermission,  // this user may not search or write the folder at `at`
  kReadOnly,      // it lies on a read-only file system
  kNoSpace,       // the disk or the user's quota is full
  kTakesNoFiles,  // it exists but no file can be made in it (a folder of /proc)
  kOther,         // anything else: errnoValue
};

struct FolderCheck {
  FolderProblem problem = FolderProblem::kNone;
  int errnoValue = 0;  // the failing call's errno (0 for kNone)
  std::string at;      // where it failed: the folder itself or one on the way
  bool ok() const { return problem == FolderProblem::kNone; }
};

// Makes sure `folder` can take new files: when `create`, each missing folder
// along it is made (mode 0777 less the umask); then a hidden file is made in
// it and removed at once. Doubled and trailing separators are ignored; ""
// is the working folder. The first problem met is returned. Any thread.
FolderCheck PrepareFolder(const std::string& folder, bool create);

// Owns one file descriptor and closes it when destroyed. Move-only.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes the descriptor held (if any) and takes `fd` instead.
  void Reset(int fd = -1);
  // Gives up ownership without closing; returns the descriptor.
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

}  // namespace zantrel
