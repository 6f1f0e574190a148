#include "app/source_argument.h"

#include <filesystem>

#include "platform/path.h"

namespace zantrel {

std::optional<std::string> SourceFromArguments(const std::vector<std::string>& args,
                                               const std::string& cwd) {
  bool optionsEnded = false;
  for (const std::string& a : args) {
    if (a.empty()) continue;
    if (!optionsEnded && a == "--") {
      optionsEnded = true;
      continue;
    }
    if (!optionsEnded && a[0] == '-') continue;  // an option we do not know
    // Byte strings throughout: std::filesystem keeps the bytes as given.
    std::filesystem::path p(a);
    if (p.is_relative()) p = std::filesystem::path(cwd) / p;
    return p.lexically_normal().string();
  }
  return std::nullopt;
}

std::optional<std::string> SourceFromArguments(const std::vector<std::string>& args) {
  std::error_code ec;
  const std::filesystem::path cwd = std::filesystem::current_path(ec);
  return SourceFromArguments(args, ec ? std::string(kPathSepStr) : cwd.string());
}

}  // namespace zantrel
