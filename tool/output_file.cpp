#include "tool/output_file.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/tool_args.h"

namespace zantrel::tool {
namespace {

// The one temporary file the signal handler must remove. A fixed buffer and
// a flag, because a handler may only touch plain memory and call unlink.
char g_tempPathForSignals[4096];
volatile sig_atomic_t g_tempPathSet = 0;

extern "C" void RemoveTempAndDie(int sig) {
  const int savedErrno = errno;
  if (g_tempPathSet) unlink(g_tempPathForSignals);
  signal(sig, SIG_DFL);
  raise(sig);  // delivered, with the default action, once this returns
  errno = savedErrno;
}

std::string ErrnoText(int err) { return std::strerror(err); }

std::string DirName(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool ReplaceGranted(const std::string& output) {
  const char* granted = std::getenv(tool_args::kReplaceEnv);
  return granted && !output.empty() && output == granted;
}

bool CheckOutputTarget(const std::string& input, const std::string& output, bool overwrite,
                       std::string* error) {
  overwrite = overwrite || ReplaceGranted(output);
  struct stat in {}, out {};
  if (stat(input.c_str(), &in) != 0) {
    *error = "cannot open '" + input + "': " + ErrnoText(errno);
    return false;
  }
  if (!output.empty() && output.back() == '/') {
    *error = "the output '" + output + "' names a folder, not a file";
    return false;
  }
  if (stat(output.c_str(), &out) == 0) {
    if (out.st_dev == in.st_dev && out.st_ino == in.st_ino) {
      *error = "refusing to write the output over the input '" + input + "'";
      return false;
    }
    if (S_ISDIR(out.st_mode)) {
      *error = "the output '" + output + "' is a folder";
      return false;
    }
    if (!overwrite) {
      *error = "the output '" + output + "' already exists; not overwritten (use -y to replace it)";
      return false;
    }
  } else if (errno != ENOENT) {
    *error = "cannot use the output '" + output + "': " + ErrnoText(errno);
    return false;
  }
  return true;
}

bool SourceSnapshot::Take(const std::string& path) {
  struct stat st {};
  taken_ = stat(path.c_str(), &st) == 0;
  if (!taken_) return false;
  dev_ = st.st_dev;
  ino_ = st.st_ino;
  size_ = st.st_size;
  mtime_ = st.st_mtim;
  return true;
}

bool SourceSnapshot::ChangedSince(const std::string& path, std::string* error) const {
  struct stat st {};
  // Gone or another file by now: what was read came whole from the file we
  // had open.
  if (!taken_ || stat(path.c_str(), &st) != 0 || st.st_dev != dev_ || st.st_ino != ino_) return false;
  if (st.st_size == size_ && st.st_mtim.tv_sec == mtime_.tv_sec && st.st_mtim.tv_nsec == mtime_.tv_nsec)
    return false;
  *error = "the source '" + path + "' changed while it was being cut (" + std::to_string(size_) + " bytes, now " +
           std::to_string(st.st_size) + "); the piece is not kept";
  return true;
}

std::string SourceSnapshot::Stamp() const {
  if (!taken_) return {};
  return std::to_string(static_cast<unsigned long long>(dev_)) + ":" +
         std::to_string(static_cast<unsigned long long>(ino_)) + ":" + std::to_string(static_cast<long long>(size_)) +
         ":" + std::to_string(static_cast<long long>(mtime_.tv_sec) * 1000000000LL + mtime_.tv_nsec);
}

TempOutput::TempOutput(std::string finalPath) : finalPath_(std::move(finalPath)) {}

TempOutput::~TempOutput() {
  if (tempPath_.empty()) return;
  if (!committed_) unlink(tempPath_.c_str());
  g_tempPathSet = 0;
  RestoreSignals();
}

void TempOutput::RestoreSignals() {
  for (std::size_t k = 0; k < kSignalCount; ++k)
    if (installed_[k]) sigaction(kCleanupSignals[k], &previous_[k], nullptr);
  for (bool& b : installed_) b = false;
}

bool TempOutput::Create(std::string* error) {
  std::string dir = DirName(finalPath_);
  std::string name = dir + "/." + BaseName(finalPath_) + ".part-XXXXXX";
  if (name.size() >= sizeof g_tempPathForSignals) {
    *error = "the output path '" + finalPath_ + "' is too long";
    return false;
  }
  std::string buf = name;
  // Block the cleanup signals while the name is created and registered, so
  // that no file can be left behind between the two steps.
  sigset_t block, old;
  sigemptyset(&block);
  for (int sig : kCleanupSignals) sigaddset(&block, sig);
  sigprocmask(SIG_BLOCK, &block, &old);
  int fd = mkstemp(buf.data());
  if (fd < 0) {
    int err = errno;
    sigprocmask(SIG_SETMASK, &old, nullptr);
    *error = "cannot create a file in '" + dir + "': " + ErrnoText(err);
    return false;
  }
  tempPath_ = buf;
  std::memcpy(g_tempPathForSignals, buf.c_str(), buf.size() + 1);
  g_tempPathSet = 1;
  for (std::size_t k = 0; k < kSignalCount; ++k) {
    const int sig = kCleanupSignals[k];
    if (sigaction(sig, nullptr, &previous_[k]) != 0) continue;
    // A signal we were started with ignored (a background job of a script,
    // nohup) must not start killing us now.
    if (!(previous_[k].sa_flags & SA_SIGINFO) && previous_[k].sa_handler == SIG_IGN) continue;
    struct sigaction sa {};
    sa.sa_handler = RemoveTempAndDie;
    sigemptyset(&sa.sa_mask);
    installed_[k] = sigaction(sig, &sa, nullptr) == 0;
  }
  sigprocmask(SIG_SETMASK, &old, nullptr);

  // mkstemp makes the file private; the piece gets the usual permissions.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  close(fd);
  return true;
}

bool TempOutput::Commit(bool overwrite, std::string* error) {
  int fd = open(tempPath_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    int rc = 0;
    while ((rc = fsync(fd)) != 0 && errno == EINTR) {
    }
    const int err = errno;
    close(fd);
    // A failed flush means the storage may not hold what was written; the
    // piece must not get its final name. EINVAL: a file that cannot be
    // flushed at all, which is no loss.
    if (rc != 0 && err != EINVAL) {
      *error = "cannot write the piece to '" + finalPath_ + "': " + ErrnoText(err);
      return false;
    }
  }
  int rc;
  if (overwrite || ReplaceGranted(finalPath_)) {
    rc = rename(tempPath_.c_str(), finalPath_.c_str());
  } else {
    rc = renameat2(AT_FDCWD, tempPath_.c_str(), AT_FDCWD, finalPath_.c_str(), RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
      // A file system without RENAME_NOREPLACE: link() also refuses to
      // replace an existing name.
      rc = link(tempPath_.c_str(), finalPath_.c_str());
      if (rc == 0) unlink(tempPath_.c_str());
    }
  }
  if (rc != 0) {
    int err = errno;
    if (err == EEXIST)
      *error = "the output '" + finalPath_ + "' appeared meanwhile; not overwritten (use -y to replace it)";
    else
      *error = "cannot rename the finished piece to '" + finalPath_ + "': " + ErrnoText(err);
    return false;
  }
  committed_ = true;
  g_tempPathSet = 0;
  return true;
}

}  // namespace zantrel::tool
