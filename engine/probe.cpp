#include "engine/probe.h"

#include <cstdlib>
#include <cstring>

#include "platform/cmdline.h"

namespace zantrel {

namespace {

constexpr char kDurationWord[] = "Duration";
constexpr std::size_t kWordLen = 8;
constexpr std::size_t kScanSteps = 2001;
constexpr std::size_t kValueOffset = 10;  // "Duration" and two more characters (": ")
constexpr std::size_t kValueLen = 11;     // HH:MM:SS.ff

// atoi of at most the first two characters of `s`.
int AtoiTwo(const std::string& s) { return std::atoi(s.substr(0, 2).c_str()); }

std::string DropFront(const std::string& s, std::size_t n) {
  return n >= s.size() ? std::string() : s.substr(n);
}

}  // namespace

int ParseProbeDuration(const std::string& receiveArea) {
  // The area the tool's output was read into: never look beyond it.
  const std::size_t size = receiveArea.size() < kProbeReceiveSize ? receiveArea.size()
                                                                  : kProbeReceiveSize;
  const char* area = receiveArea.data();

  char field[kValueLen + 1] = {};
  bool found = false;
  std::size_t cursor = 0;
  for (std::size_t step = 0; step < kScanSteps; ++step) {
    if (cursor + kWordLen > size) break;
    if (std::memcmp(area + cursor, kDurationWord, kWordLen) == 0) {
      // The last match wins: each one overwrites the field.
      std::memset(field, 0, sizeof field);
      const std::size_t from = cursor + kValueOffset;
      for (std::size_t i = 0; i < kValueLen && from + i < size; ++i) field[i] = area[from + i];
      found = true;
      cursor += kValueOffset;
    } else {
      ++cursor;
    }
  }
  if (!found) return 0;

  // The field is a C string: it ends at the first NUL the output held.
  std::string text(field);
  int result = 0;
  if (!text.empty() && text.find(':') != std::string::npos) {
    result = AtoiTwo(text) * 3600;
    text = DropFront(text, 3);
  }
  if (!text.empty() && text.find(':') != std::string::npos) {
    result += AtoiTwo(text) * 60;
    text = DropFront(text, 3);
  }
  result += AtoiTwo(text);
  return result;
}

std::string BuildProbeCommandLine(const std::string& sourcePath) {
  // The path must reach the tool as one argument whatever it holds.
  return "ZantrelCore.exe -i " + QuoteArgument(sourcePath) + " 20 4 80 ";
}

bool ProbeOutputComplete(const std::string& received) {
  std::size_t pos = received.find(kDurationWord);
  while (pos != std::string::npos) {
    if (pos + kValueOffset + kValueLen <= received.size()) return true;
    const std::size_t eol = received.find_first_of("\r\n", pos);
    if (eol != std::string::npos) return true;
    pos = received.find(kDurationWord, pos + 1);
  }
  return false;
}

}  // namespace zantrel
