#pragma once
// Test helper: switches LC_CTYPE to a GBK locale for one scope. Debian ships
// no compiled GBK locale, so one is built once per process with localedef
// into a private folder and loaded through LOCPATH.
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace zantrel_test {

inline const std::string& GbkLocaleDir() {
  // Never destroyed, so the exit handler below can still read it.
  static const std::string* dir = [] {
    char tmpl[] = "/tmp/zantrel-gbk-locale-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return new std::string();
    const std::string d = tmpl;
    const std::string cmd = "localedef -c -i zh_CN -f GBK '" + d + "/zh_CN.GBK' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) == -1 || !std::filesystem::exists(d + "/zh_CN.GBK/LC_CTYPE")) {
      std::error_code ec;
      std::filesystem::remove_all(d, ec);
      return new std::string();
    }
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(GbkLocaleDir(), ec);
    });
    return new std::string(d);
  }();
  return *dir;
}

class GbkLocale {
 public:
  GbkLocale() : saved_(std::setlocale(LC_CTYPE, nullptr)) {
    const std::string& dir = GbkLocaleDir();
    if (dir.empty()) return;
    const char* old = std::getenv("LOCPATH");
    const std::string oldPath = old ? old : "";
    setenv("LOCPATH", dir.c_str(), 1);
    active_ = std::setlocale(LC_CTYPE, "zh_CN.GBK") != nullptr;
    if (old) setenv("LOCPATH", oldPath.c_str(), 1); else unsetenv("LOCPATH");
  }
  ~GbkLocale() { std::setlocale(LC_CTYPE, saved_.c_str()); }
  GbkLocale(const GbkLocale&) = delete;
  GbkLocale& operator=(const GbkLocale&) = delete;
  bool active() const { return active_; }

 private:
  std::string saved_;
  bool active_ = false;
};

}  // namespace zantrel_test
