#include "platform/ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"

namespace {

using zantrel::CharLength;
using zantrel::CodePage;
using zantrel::CurrentCodePage;

// Blanks inside the file: space, tab and vertical tab.
bool IsFileBlank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

std::string_view TrimFileBlanks(std::string_view s) {
  while (!s.empty() && IsFileBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsFileBlank(s.back())) s.remove_suffix(1);
  return s;
}

// The caller's section and key names lose spaces only; a tab stays and so
// makes the lookup fail, as on Windows.
std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Case folds single-byte characters only: the trail byte of a double-byte
// character may look like an ASCII letter and must compare exactly.
bool EqualNoCase(std::string_view a, std::string_view b, CodePage cp) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size();) {
    const std::size_t n = CharLength(a.substr(i), cp);
    if (n == 1) {
      if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    } else if (a.compare(i, n, b.substr(i, n)) != 0) {
      return false;
    }
    i += n;
  }
  return true;
}

enum class LineKind { Blank, Comment, Section, Entry };

struct Line {
  std::size_t begin = 0;    // first byte of the line
  std::size_t end = 0;      // end of its text (before the line break)
  std::size_t next = 0;     // start of the next line (after the line break)
  LineKind kind = LineKind::Blank;
  std::string_view name;    // section name, or key of an entry
  std::string_view value;   // entry value, blanks trimmed, quotes kept
  bool hasEquals = false;   // entries only
};

// Splits the file into lines (CRLF, LF or CR alone) and classifies each.
std::vector<Line> ParseLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    Line ln;
    ln.begin = pos;
    std::size_t e = pos;
    while (e < text.size() && text[e] != '\r' && text[e] != '\n') ++e;
    ln.end = e;
    if (e < text.size()) {
      if (text[e] == '\r' && e + 1 < text.size() && text[e + 1] == '\n')
        ln.next = e + 2;
      else
        ln.next = e + 1;
    } else {
      ln.next = e;
    }
    std::string_view body = text.substr(ln.begin, ln.end - ln.begin);
    while (!body.empty() && IsFileBlank(body.front())) body.remove_prefix(1);
    if (body.empty()) {
      ln.kind = LineKind::Blank;
    } else if (body.front() == ';') {
      ln.kind = LineKind::Comment;
    } else if (body.front() == '[') {
      // The name ends at the first ']', or at the end of the line.
      ln.kind = LineKind::Section;
      std::string_view rest = body.substr(1);
      const std::size_t close = rest.find(']');
      ln.name = TrimFileBlanks(rest.substr(0, close));
    } else {
      ln.kind = LineKind::Entry;
      const std::size_t eq = body.find('=');
      if (eq == std::string_view::npos) {
        ln.name = TrimFileBlanks(body);
      } else {
        ln.hasEquals = true;
        ln.name = TrimFileBlanks(body.substr(0, eq));
        ln.value = TrimFileBlanks(body.substr(eq + 1));
      }
    }
    lines.push_back(ln);
    pos = ln.next;
  }
  return lines;
}

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Index of the first header of `section`, or kNone. Later headers of the
// same name are never searched.
std::size_t FindSection(const std::vector<Line>& lines, std::string_view section, CodePage cp) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].kind == LineKind::Section && EqualNoCase(lines[i].name, section, cp)) return i;
  return kNone;
}

// One past the last line of the section whose header is at `header`.
std::size_t SectionEnd(const std::vector<Line>& lines, std::size_t header) {
  std::size_t i = header + 1;
  while (i < lines.size() && lines[i].kind != LineKind::Section) ++i;
  return i;
}

// First entry with '=' named `key` in the section, or kNone.
std::size_t FindKey(const std::vector<Line>& lines, std::size_t header, std::string_view key,
                    CodePage cp) {
  const std::size_t end = SectionEnd(lines, header);
  for (std::size_t i = header + 1; i < end; ++i)
    if (lines[i].kind == LineKind::Entry && lines[i].hasEquals &&
        EqualNoCase(lines[i].name, key, cp))
      return i;
  return kNone;
}

std::string_view StripQuotes(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

// Reads the whole file; false when it cannot be opened or read.
bool ReadFile(const char* path, std::string* out, int* err) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    *err = errno;
    return false;
  }
  // st is only read once fstat has filled it.
  struct stat st;
  if (fstat(fd, &st) != 0) {
    *err = errno;
    close(fd);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    *err = EISDIR;
    close(fd);
    return false;
  }
  out->clear();
  char chunk[8192];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      *err = errno;
      close(fd);
      return false;
    }
    if (n == 0) break;
    out->append(chunk, static_cast<std::size_t>(n));
  }
  close(fd);
  return true;
}

// Copies at most size-1 bytes and a NUL; the return value counts the bytes.
std::uint32_t CopyOut(std::string_view text, char* buf, std::uint32_t size) {
  if (size == 0 || buf == nullptr) return 0;
  const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(buf, text.data(), n);
  buf[n] = '\0';
  return static_cast<std::uint32_t>(n);
}

// Copies a list of NUL-terminated names ended by one more NUL. On overflow
// the list is cut to size-2 bytes and closed with two NULs.
std::uint32_t CopyList(const std::vector<std::string_view>& names, char* buf, std::uint32_t size) {
  if (buf == nullptr || size == 0) return 0;
  std::string list;
  for (auto n : names) {
    list.append(n);
    list += '\0';
  }
  if (list.size() + 1 <= size) {
    std::memcpy(buf, list.data(), list.size());
    buf[list.size()] = '\0';
    return static_cast<std::uint32_t>(list.size());
  }
  if (size < 2) {
    buf[0] = '\0';
    return 0;
  }
  std::memcpy(buf, list.data(), size - 2);
  buf[size - 2] = '\0';
  buf[size - 1] = '\0';
  return size - 2;
}

std::string_view DefaultText(const char* def) {
  std::string_view d = def ? def : "";
  while (!d.empty() && d.back() == ' ') d.remove_suffix(1);
  return d;
}

// Looks up a value; false when the file, section or key is missing.
bool LookupValue(const char* section, const char* key, const char* file, std::string* value) {
  if (file == nullptr || *file == '\0' || section == nullptr || key == nullptr) return false;
  std::string text;
  int err = 0;
  if (!ReadFile(file, &text, &err)) return false;
  const CodePage cp = CurrentCodePage();
  const auto lines = ParseLines(text);
  const std::size_t header = FindSection(lines, TrimSpaces(section), cp);
  if (header == kNone) return false;
  const std::size_t k = FindKey(lines, header, TrimSpaces(key), cp);
  if (k == kNone) return false;
  *value = std::string(StripQuotes(lines[k].value));
  return true;
}

// ---------------------------------------------------------------------------
// Writing

// Writes `content` to a new file in the same folder and renames it over
// `path`, so readers and crashes see either the old file or the new one,
// never a half-written one. An existing file keeps its mode.
bool ReplaceFile(const std::string& path, const std::string& content, const struct stat* old) {
  static std::atomic<unsigned> counter{0};
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
  std::string tmp;
  int fd = -1;
  // A short name of its own, so a long settings file name cannot make the
  // temporary one exceed the file name limit.
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tmp = dir + ".ini-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
    fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = true;
  if (old != nullptr) ok = fchmod(fd, old->st_mode & 07777) == 0;
  std::size_t off = 0;
  while (ok && off < content.size()) {
    const ssize_t n = write(fd, content.data() + off, content.size() - off);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    off += static_cast<std::size_t>(n);
  }
  if (ok) ok = fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  if (ok) ok = rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) {
    unlink(tmp.c_str());
    return false;
  }
  // Make the rename itself durable.
  const int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return true;
}

bool HasLineBreak(const char* s) { return s && std::strpbrk(s, "\r\n") != nullptr; }

}  // namespace

std::uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* def,
                                       char* buf, std::uint32_t size, const char* file) {
  if (size == 0) return 0;
  if (file != nullptr && *file != '\0' && (section == nullptr || key == nullptr)) {
    std::string text;
    int err = 0;
    if (ReadFile(file, &text, &err)) {
      const CodePage cp = CurrentCodePage();
      const auto lines = ParseLines(text);
      std::vector<std::string_view> names;
      if (section == nullptr) {
        // Every section name, duplicates included.
        for (const auto& ln : lines)
          if (ln.kind == LineKind::Section) names.push_back(ln.name);
        return CopyList(names, buf, size);
      }
      const std::size_t header = FindSection(lines, TrimSpaces(section), cp);
      if (header != kNone) {
        // The keys of the section; entries without '=' are left out.
        const std::size_t end = SectionEnd(lines, header);
        for (std::size_t i = header + 1; i < end; ++i)
          if (lines[i].kind == LineKind::Entry && lines[i].hasEquals)
            names.push_back(lines[i].name);
        return CopyList(names, buf, size);
      }
    }
    return CopyOut(DefaultText(def), buf, size);
  }
  std::string value;
  if (LookupValue(section, key, file, &value)) return CopyOut(value, buf, size);
  return CopyOut(DefaultText(def), buf, size);
}

std::uint32_t GetPrivateProfileIntA(const char* section, const char* key, int def,
                                    const char* file) {
  std::string value;
  if (section == nullptr || key == nullptr) {
    // Enumeration, as Windows does: the first name listed gets parsed.
    char list[4096];
    const std::uint32_t n = GetPrivateProfileStringA(section, key, "", list, sizeof list, file);
    if (n == 0) return static_cast<std::uint32_t>(def);
    value = list;
  } else if (!LookupValue(section, key, file, &value) || value.empty()) {
    return static_cast<std::uint32_t>(def);
  }
  std::size_t i = 0;
  while (i < value.size() && static_cast<unsigned char>(value[i]) <= ' ') ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
    negative = value[i] == '-';
    ++i;
  }
  std::uint32_t result = 0;  // unsigned arithmetic wraps modulo 2^32
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
    result = result * 10u + static_cast<std::uint32_t>(value[i] - '0');
  return negative ? 0u - result : result;
}

bool WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* file) {
  if (file == nullptr || *file == '\0' || section == nullptr) return false;
  // A line break in a name or value would split the line and silently
  // create or shadow other entries; refuse instead of corrupting the file.
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;

  // Write through a symbolic link to its target, so the link survives.
  std::string path = file;
  struct stat lst;
  if (lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    char* real = realpath(path.c_str(), nullptr);
    if (real != nullptr) {
      path = real;
      std::free(real);
    }
  }

  struct stat st;
  const bool exists = stat(path.c_str(), &st) == 0;
  std::string text;
  if (exists) {
    if (S_ISDIR(st.st_mode)) return false;
    // A read-only settings file stays untouched, as on Windows.
    if (access(path.c_str(), W_OK) != 0) return false;
    int err = 0;
    if (!ReadFile(path.c_str(), &text, &err)) return false;
  } else if (errno != ENOENT) {
    return false;
  }

  const CodePage cp = CurrentCodePage();
  const std::string_view sec = TrimSpaces(section);
  const auto lines = ParseLines(text);
  const std::size_t header = FindSection(lines, sec, cp);
  std::string out;

  if (key == nullptr) {
    // Delete the section: its header and entries go, its comments and blank
    // lines stay.
    if (header == kNone) return exists || ReplaceFile(path, text, nullptr);
    const std::size_t end = SectionEnd(lines, header);
    out.append(text, 0, lines[header].begin);
    for (std::size_t i = header + 1; i < end; ++i)
      if (lines[i].kind == LineKind::Comment || lines[i].kind == LineKind::Blank)
        out.append(text, lines[i].begin, lines[i].next - lines[i].begin);
    if (end < lines.size()) out.append(text, lines[end].begin, std::string::npos);
    return ReplaceFile(path, out, exists ? &st : nullptr);
  }

  const std::string_view k = TrimSpaces(key);
  const std::size_t found = header == kNone ? kNone : FindKey(lines, header, k, cp);

  if (value == nullptr) {
    // Delete the key's line; a missing key leaves the file as it is.
    if (found == kNone) return exists || ReplaceFile(path, text, nullptr);
    out.append(text, 0, lines[found].begin);
    out.append(text, lines[found].next, std::string::npos);
    return ReplaceFile(path, out, exists ? &st : nullptr);
  }

  if (found != kNone) {
    // Update in place: the line keeps everything before its old value (the
    // key's spelling and the spacing around '='); the value and line end
    // change.
    const Line& ln = lines[found];
    std::size_t keep = text.find('=', ln.begin) + 1;
    if (!ln.value.empty()) keep = static_cast<std::size_t>(ln.value.data() - text.data());
    out.append(text, 0, keep);
    out.append(value);
    out.append("\r\n");
    out.append(text, ln.next, std::string::npos);
    return ReplaceFile(path, out, exists ? &st : nullptr);
  }

  std::string entry(k);
  entry += '=';
  entry += value;
  entry += "\r\n";

  if (header != kNone) {
    // A new key goes after the last entry of its section (or right after the
    // header), before any blank lines or comments that end the section.
    std::size_t anchor = header;
    const std::size_t end = SectionEnd(lines, header);
    for (std::size_t i = header + 1; i < end; ++i)
      if (lines[i].kind == LineKind::Entry) anchor = i;
    const Line& a = lines[anchor];
    out.append(text, 0, a.next);
    if (a.next == a.end) out.append("\r\n");  // it was the unterminated last line
    out.append(entry);
    out.append(text, a.next, std::string::npos);
    return ReplaceFile(path, out, exists ? &st : nullptr);
  }

  // A new section goes at the very end, with no blank line before it.
  out = text;
  if (!out.empty() && out.back() != '\n' && out.back() != '\r') out.append("\r\n");
  out += '[';
  out.append(sec);
  out.append("]\r\n");
  out.append(entry);
  return ReplaceFile(path, out, exists ? &st : nullptr);
}
