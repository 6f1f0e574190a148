#include "settings/settings_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

#include "platform/path.h"

namespace zantrel {
namespace {

bool IsAbsolute(const char* p) { return p && p[0] == kPathSep; }

std::string WithSep(std::string dir) {
  if (dir.empty() || dir.back() != kPathSep) dir += kPathSep;
  return dir;
}

// mkdir -p with mode 0700 for the folders it creates; true when `dir` is a
// folder afterwards.
bool MakeFolders(const std::string& dir) {
  struct stat st;
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  for (std::size_t pos = 1; pos <= dir.size(); ++pos) {
    if (pos != dir.size() && dir[pos] != kPathSep) continue;
    const std::string part = dir.substr(0, pos);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool IsFolderWritable(const std::string& dir) {
  // access(W_OK) says yes to root on a folder it may not write (read-only
  // mounts aside), and no to nothing that ACLs allow; only a real file tells.
  const std::string base = (dir.empty() ? std::string(".") + kPathSep : WithSep(dir)) +
                           ".zantrel-write-test-" + std::to_string(getpid());
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string probe = base + "-" + std::to_string(attempt);
    const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd >= 0) {
      close(fd);
      unlink(probe.c_str());
      return true;
    }
    if (errno != EEXIST) return false;  // a stale probe of ours: try the next name
  }
  return false;
}

std::string ChooseSettingsDir(const std::string& programDir, const char* xdgConfigHome,
                              const char* home) {
  if (IsFolderWritable(programDir)) return programDir;
  std::string dir;
  if (IsAbsolute(xdgConfigHome))
    dir = WithSep(xdgConfigHome) + "zantrel";
  else if (IsAbsolute(home))
    dir = WithSep(home) + ".config" + kPathSepStr + "zantrel";
  else
    return programDir;
  MakeFolders(dir);  // a failure shows up as settings that are not saved
  return dir + kPathSep;
}

std::string ChooseSettingsDir(const std::string& programDir) {
  return ChooseSettingsDir(programDir, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

std::string SettingsDirOf(const std::string& programDir) {
  // Remembered: a folder that became writable (or stopped being) in the
  // middle of a run must not split the settings between two places.
  static std::mutex lock;
  static std::map<std::string, std::string> chosen;
  std::lock_guard<std::mutex> hold(lock);
  auto it = chosen.find(programDir);
  if (it == chosen.end()) it = chosen.emplace(programDir, ChooseSettingsDir(programDir)).first;
  return it->second;
}

}  // namespace zantrel
