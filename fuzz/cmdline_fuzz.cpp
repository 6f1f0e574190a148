// The command-line splitter on arbitrary lines, and the round trip the
// program relies on: arguments (NUL-separated in the input) built into one
// line and split again come back unchanged, and a path put into a quoted
// slot comes back whole.
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/cmdline.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  if (!raw.empty()) {
    const auto split = zantrel::SplitCommandLine(raw);
    if (split.empty()) std::abort();
    std::size_t bytes = 0;
    for (const auto& a : split) bytes += a.size();
    if (bytes > raw.size()) std::abort();  // splitting never invents text
  }

  std::vector<std::string> args(1);
  for (char c : raw) {
    if (c == '\0')
      args.emplace_back();
    else
      args.back() += c;
  }
  std::string line;
  if (zantrel::BuildCommandLine(args, &line)) {
    if (zantrel::SplitCommandLine(line) != args) std::abort();
  } else if (args[0].find('"') == std::string::npos) {
    std::abort();  // only a quote in the program name may be refused
  }

  const std::string& path = args.back();
  const auto slot = zantrel::SplitCommandLine("tool -i \"" + zantrel::EscapeForQuotedSlot(path) +
                                              "\" 20");
  if (slot != std::vector<std::string>{"tool", "-i", path, "20"}) std::abort();
  return 0;
}
