#include "platform/module.h"

#include <unistd.h>

#include <vector>

#include "platform/fs.h"

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

const std::string& GetModuleDir() {
  // Worked out once, so that start-up, the dialogs and the job launcher can
  // never disagree about where the program lives.
  static const std::string dir = DirOfPath(GetModuleFileName());
  return dir;
}

}  // namespace zantrel
