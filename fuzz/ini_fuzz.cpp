// The INI reader and writer on hostile settings files. Input: section, key
// and value (each ended by NUL), one control byte, then the file's bytes.
// Reads must never go wrong; a write of a plain key and value must be read
// back exactly, and a failed lookup must leave the default.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/fuzz_input.h"
#include "platform/codepage.h"
#include "platform/ini.h"

namespace {

std::string g_path;

void WriteWhole(const std::string& text) {
  const int fd = open(g_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) std::abort();
  if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::abort();
  close(fd);
}

// A name or value the file format can hold unchanged: no line breaks, no
// blanks or quotes at either end, nothing that reads as a comment or a
// header, and for names no '=' or ']'.
bool Plain(const std::string& s, bool isName) {
  if (s.empty() || s.size() > 64) return false;
  for (char c : s)
    if (c == '\r' || c == '\n' || c == '\0' || (isName && (c == '=' || c == ']'))) return false;
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v'; };
  if (blank(s.front()) || blank(s.back())) return false;
  if (s.front() == '"' || s.front() == '\'' || s.front() == ';' || s.front() == '[') return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // tmpfs keeps the per-run file I/O cheap.
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  char tmpl[64];
  std::snprintf(tmpl, sizeof tmpl, "%s/zantrel-fuzz-ini-XXXXXX", base);
  if (mkdtemp(tmpl) == nullptr) std::abort();
  g_path = std::string(tmpl) + "/fuzz.ini";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zantrel_fuzz::Input in(data, size);
  const std::string section = in.Field();
  const std::string key = in.Field();
  const std::string value = in.Field();
  const std::uint8_t control = in.Byte();
  const std::string text = in.Rest();

  // The code page helpers walk the same bytes in both code pages.
  for (auto cp : {zantrel::CodePage::Utf8, zantrel::CodePage::Gbk}) {
    std::size_t total = 0;
    for (std::string_view s = text; !s.empty();) {
      const std::size_t n = zantrel::CharLength(s, cp);
      if (n == 0 || n > s.size()) std::abort();
      s.remove_prefix(n);
      total += n;
    }
    if (total != text.size()) std::abort();
    const std::size_t r = zantrel::MbsRChr(text, '\\', cp);
    if (r != std::string::npos && text[r] != '\\') std::abort();
  }

  WriteWhole(text);
  const char* file = g_path.c_str();
  char buf[300];
  const std::uint32_t size32 = 1 + control % 255;  // small buffers too
  // One reading form per run keeps the runs cheap; the control byte picks it.
  std::uint32_t n = 0;
  switch ((control >> 3) & 3) {
    case 0:
      n = GetPrivateProfileStringA(section.c_str(), key.c_str(), "\x01" "def", buf, size32, file);
      if (n >= size32 || buf[n] != '\0') std::abort();
      break;
    case 1:  // every section name
      n = GetPrivateProfileStringA(nullptr, nullptr, "", buf, size32, file);
      if (n >= size32 && size32 > 1) std::abort();
      break;
    case 2:  // every key of the section
      n = GetPrivateProfileStringA(section.c_str(), nullptr, "", buf, size32, file);
      if (n >= size32 && size32 > 1) std::abort();
      break;
    default:
      GetPrivateProfileIntA(section.c_str(), key.c_str(), -7, file);
  }

  if (control & 1) {
    // Write, then read back.
    const bool del = (control & 6) == 2;
    if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), del ? nullptr : value.c_str(),
                                    file))
      return 0;  // refused (a line break in a name, for example)
    // A deleted key may still be found: only its first entry goes, as on
    // Windows. A written one must read back.
    if (!del && Plain(section, true) && Plain(key, true) && Plain(value, false)) {
      char back[300];
      GetPrivateProfileStringA(section.c_str(), key.c_str(), "", back, sizeof back, file);
      if (value != back) std::abort();
    }
  }
  return 0;
}
