#include "settings/user_folders.h"

#include <cstdlib>
#include <fstream>

#include "platform/codepage.h"
#include "platform/path.h"

namespace zantrel {

namespace {
// The value of XDG_<key>_DIR in a user-dirs.dirs file, "" when absent.
std::string UserDirsValue(const std::string& file, const std::string& key, const std::string& home) {
  std::ifstream in(file);
  const std::string prefix = "XDG_" + key + "_DIR=";
  std::string line, value;
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) != 0) continue;
    std::string v = line.substr(prefix.size());
    if (v.size() > 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    for (std::size_t at; (at = v.find("$HOME")) != std::string::npos;) v.replace(at, 5, home);
    value = v;  // the last line for the key counts
  }
  return value;
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}
}  // namespace

std::string VideosFolderOf(const std::string& homeIn, const std::string& xdgConfigHome) {
  // The rules the desktop's own file dialogs follow, so the folder proposed
  // is the one they show as "Videos".
  const std::string home = homeIn.empty() ? std::string(kPathSepStr) : homeIn;
  const std::string config = xdgConfigHome.empty() ? home + "/.config" : xdgConfigHome;
  std::string dir = UserDirsValue(config + "/user-dirs.dirs", "VIDEOS", home);
  if (dir.empty()) dir = (home == kPathSepStr ? std::string() : home) + "/Videos";
  dir = FromUtf8(dir);
  if (dir.back() != kPathSep) dir += kPathSep;
  return dir;
}

std::string UserVideosFolder() { return VideosFolderOf(Env("HOME"), Env("XDG_CONFIG_HOME")); }

std::string DefaultOutputFolder() {
  // The drive-root rule of the original platform names "/" here, which a
  // user cannot write; the videos folder is the natural home for pieces.
  return UserVideosFolder() + "ZantrelOutput" + kPathSepStr;
}

}  // namespace zantrel
