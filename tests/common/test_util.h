#pragma once
// Helpers shared by the engine tests: a temporary folder and a program
// folder holding a fixture executable under the tool's name.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace zantrel_test {

class TempDir {
 public:
  TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/zantrel-eng-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data())) path_ = buf.data();
  }
  ~TempDir() {
    if (path_.empty()) return;
    std::error_code ec;
    // Make every folder writable again so a test that took rights away
    // cannot leave its tree behind.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (it->is_directory(ec)) ::chmod(it->path().c_str(), 0700);
    }
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  std::string File(const std::string& name) const { return *this / name; }

 private:
  std::string path_;
};

// Copies `fixture` into dir as "ZantrelCore" and returns dir with a
// trailing separator, as GetModuleDir gives it.
inline std::string InstallTool(const TempDir& dir, const std::string& fixture) {
  const std::string target = dir / "ZantrelCore";
  std::filesystem::copy_file(fixture, target, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(target, std::filesystem::perms::owner_all);
  return dir.path() + "/";
}

inline void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Splits a NUL-separated record (what the fake tool writes).
inline std::vector<std::string> SplitNul(const std::string& data) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : data) {
    if (c == '\0') {
      out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  return out;
}

// Polls `cond` until it holds or about `seconds` have passed. Not a timing
// check: the limit only keeps a broken run from hanging the suite.
inline bool WaitUntil(const std::function<bool()>& cond, int seconds = 20) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return cond();
}

// Fields of /proc/<pid>/stat after the command name: state, utime + stime.
struct ProcStat {
  bool exists = false;
  char state = '?';
  unsigned long long cpuTicks = 0;
};

inline ProcStat ReadProcStat(pid_t pid) {
  ProcStat st;
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line)) return st;
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return st;
  std::istringstream rest(line.substr(close + 2));
  std::vector<std::string> f;
  for (std::string w; rest >> w;) f.push_back(w);
  if (f.size() < 13) return st;
  st.exists = true;
  st.state = f[0][0];
  st.cpuTicks = std::stoull(f[11]) + std::stoull(f[12]);  // utime, stime
  return st;
}

// True when pid is gone altogether: neither running nor a zombie.
inline bool ProcessGone(pid_t pid) { return !ReadProcStat(pid).exists; }

}  // namespace zantrel_test
