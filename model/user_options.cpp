#include "model/user_options.h"

#include <algorithm>
#include <cstdint>

#include "model/split_model.h"
#include "platform/codepage.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/path.h"
#include "settings/user_folders.h"

namespace zantrel {

namespace {
constexpr const char* kOptions = "Options";
constexpr const char* kRecent = "Recent";
// Room for the longest path the system takes (4096 with its NUL) and more:
// a value that fills the buffer was cut, and a cut path is not used.
constexpr std::uint32_t kValueBuffer = 8192;

// The value of `key`, "" when missing, empty, or too long to be whole.
std::string ReadValue(const char* section, const std::string& key, const std::string& file) {
  std::string buf(kValueBuffer, '\0');
  const std::uint32_t n =
      GetPrivateProfileStringA(section, key.c_str(), "", buf.data(), kValueBuffer, file.c_str());
  if (n >= kValueBuffer - 1) return {};
  buf.resize(n);
  return buf;
}

bool IsUsablePath(const std::string& path) {
  if (path.empty() || path.front() != kPathSep) return false;
  // A line break would end the INI line; other control bytes are no file
  // name a chooser gives, only damage.
  return std::none_of(path.begin(), path.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
  });
}

// Decimal digits only (no sign, no blanks), within [lo, hi].
bool ParseNumber(const std::string& text, int lo, int hi, int* out) {
  if (text.empty() || text.size() > 9) return false;
  long long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < lo || v > hi) return false;
  *out = static_cast<int>(v);
  return true;
}

std::string RecentKey(int i) { return "File" + std::to_string(i + 1); }

// Writes `value` unless reading the key already gives it; `quoted` values
// are written between double quotes, which the reader takes off again.
bool WriteValue(const char* section, const std::string& key, const std::string& value, bool quoted,
                const std::string& file) {
  if (ReadValue(section, key, file) == value) return true;
  const std::string text = quoted ? "\"" + value + "\"" : value;
  return WritePrivateProfileStringA(section, key.c_str(), text.c_str(), file.c_str());
}
}  // namespace

UserOptions DefaultUserOptions() {
  UserOptions o;
  o.outputDir = DefaultOutputFolder();
  return o;
}

UserOptions ReadUserOptions(const std::string& iniPath) {
  return ReadUserOptions(iniPath, DefaultUserOptions());
}

UserOptions ReadUserOptions(const std::string& iniPath, const UserOptions& defaults) {
  UserOptions o = defaults;
  if (iniPath.empty()) return o;

  const std::string out = ReadValue(kOptions, "OutputDir", iniPath);
  if (IsUsablePath(out)) o.outputDir = out;

  const std::string beside = ReadValue(kOptions, "BesideSource", iniPath);
  if (beside == "0" || beside == "1") o.besideSource = beside == "1";

  int mode = 0;
  if (ParseNumber(ReadValue(kOptions, "SplitMode", iniPath), kSplitAverage, kSplitCustom, &mode))
    o.mode = static_cast<SplitMode>(mode);
  ParseNumber(ReadValue(kOptions, "Parts", iniPath), UserOptions::kMinParts, UserOptions::kMaxParts,
              &o.parts);
  ParseNumber(ReadValue(kOptions, "Seconds", iniPath), 1, UserOptions::kMaxSeconds, &o.seconds);

  std::string last = ReadValue(kOptions, "LastSourceDir", iniPath);
  if (IsUsablePath(last)) {
    if (last.back() != kPathSep) last += kPathSep;
    o.lastSourceDir = last;
  }

  std::vector<std::string> recent;
  for (int i = 0; i < UserOptions::kMaxRecent; ++i) {
    const std::string file = ReadValue(kRecent, RecentKey(i), iniPath);
    if (IsUsablePath(file) && file.back() != kPathSep &&
        std::find(recent.begin(), recent.end(), file) == recent.end())
      recent.push_back(file);
  }
  if (!recent.empty()) o.recent = std::move(recent);
  return o;
}

bool WriteUserOptions(const std::string& iniPath, const UserOptions& o) {
  if (iniPath.empty()) return false;
  bool ok = true;
  // A path that cannot be stored is written empty: the next start takes the
  // default rather than an older value.
  ok &= WriteValue(kOptions, "OutputDir", IsUsablePath(o.outputDir) ? o.outputDir : "", true, iniPath);
  ok &= WriteValue(kOptions, "BesideSource", o.besideSource ? "1" : "0", false, iniPath);
  ok &= WriteValue(kOptions, "SplitMode", std::to_string(static_cast<int>(o.mode)), false, iniPath);
  ok &= WriteValue(kOptions, "Parts", std::to_string(o.parts), false, iniPath);
  ok &= WriteValue(kOptions, "Seconds", std::to_string(o.seconds), false, iniPath);
  ok &= WriteValue(kOptions, "LastSourceDir", IsUsablePath(o.lastSourceDir) ? o.lastSourceDir : "",
                   true, iniPath);

  int n = 0;
  for (const std::string& file : o.recent) {
    if (n == UserOptions::kMaxRecent) break;
    if (IsUsablePath(file)) ok &= WriteValue(kRecent, RecentKey(n++), file, true, iniPath);
  }
  for (; n < UserOptions::kMaxRecent; ++n)
    if (!ReadValue(kRecent, RecentKey(n), iniPath).empty())
      ok &= WritePrivateProfileStringA(kRecent, RecentKey(n).c_str(), nullptr, iniPath.c_str());
  return ok;
}

void AddRecentFile(std::vector<std::string>& recent, const std::string& path) {
  if (path.empty()) return;
  RemoveRecentFile(recent, path);
  recent.insert(recent.begin(), path);
  if (recent.size() > static_cast<std::size_t>(UserOptions::kMaxRecent))
    recent.resize(UserOptions::kMaxRecent);
}

bool RemoveRecentFile(std::vector<std::string>& recent, const std::string& path) {
  const auto it = std::find(recent.begin(), recent.end(), path);
  if (it == recent.end()) return false;
  recent.erase(it);
  return true;
}

std::string RecentMenuText(int index, const std::string& path) {
  // Whole characters, so a double-byte character is never split.
  std::vector<std::string> chars;
  for (std::size_t i = 0; i < path.size();) {
    const std::size_t n = CharLength(std::string_view(path).substr(i));
    chars.push_back(path.substr(i, n));
    i += n;
  }
  constexpr std::size_t kHead = 16, kTail = 48;
  std::string shown;
  auto append = [&shown](const std::string& c) { shown += c == "&" ? "&&" : c; };
  if (chars.size() <= kHead + kTail + 3) {
    for (const std::string& c : chars) append(c);
  } else {
    for (std::size_t i = 0; i < kHead; ++i) append(chars[i]);
    shown += "...";
    for (std::size_t i = chars.size() - kTail; i < chars.size(); ++i) append(chars[i]);
  }
  return "&" + std::to_string(index + 1) + " " + shown;
}

void ApplyUserOptions(SplitModel& model, const UserOptions& o) {
  model.SetMode(o.mode);
  model.SetParts(o.parts);
  model.SetSecondsPerPart(o.seconds);
  model.SetOutputFolder(o.outputDir.empty() ? DefaultOutputFolder() : o.outputDir);
  model.SetBesideSource(o.besideSource);
}

UserOptions UserOptionsOf(const SplitModel& model, UserOptions o) {
  o.mode = model.Mode();
  o.parts = model.Parts();
  o.seconds = model.SecondsPerPart();
  o.outputDir = model.OutputFolder();
  o.besideSource = model.BesideSource();
  const std::string dir = DirOfPath(model.Source().path);
  if (!dir.empty() && dir.front() == kPathSep) o.lastSourceDir = dir;
  return o;
}

}  // namespace zantrel
