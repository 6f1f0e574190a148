#include "platform/codepage.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstring>
#include <strings.h>

namespace zantrel {

namespace {

bool IsCont(unsigned char b) { return (b & 0xC0) == 0x80; }

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
// Anything else steps by one byte, so a search never skips an ASCII byte.
std::size_t Utf8Length(std::string_view s) {
  const auto b0 = static_cast<unsigned char>(s[0]);
  if (b0 < 0x80) return 1;
  std::size_t need = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 3;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 4;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return 1;
  }
  if (s.size() < need) return 1;
  const auto b1 = static_cast<unsigned char>(s[1]);
  if (b1 < lo || b1 > hi) return 1;
  for (std::size_t i = 2; i < need; ++i)
    if (!IsCont(static_cast<unsigned char>(s[i]))) return 1;
  return need;
}

// GBK (code page 936): a lead byte 0x81-0xFE takes the next byte with it when
// that is a valid trail byte (0x40-0xFE except 0x7F). Trail bytes overlap
// ASCII ('\\' is 0x5C, '|' is 0x7C), which is why searches must step.
std::size_t GbkLength(std::string_view s) {
  const auto b0 = static_cast<unsigned char>(s[0]);
  if (b0 < 0x81 || b0 == 0xFF || s.size() < 2) return 1;
  const auto b1 = static_cast<unsigned char>(s[1]);
  if (b1 < 0x40 || b1 == 0x7F || b1 == 0xFF) return 1;
  return 2;
}

// Converts with iconv; characters that cannot be converted become `bad`.
std::string Convert(std::string_view in, const char* to, const char* from, const char* bad) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
  std::string out;
  out.reserve(in.size() * 3 / 2 + 4);
  char* src = const_cast<char*>(in.data());
  std::size_t srcLeft = in.size();
  char chunk[1024];
  while (srcLeft > 0) {
    char* dst = chunk;
    std::size_t dstLeft = sizeof chunk;
    const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(chunk, dst - chunk);
    if (r == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (truncated sequence at the end): replace one input
      // character and carry on, so the rest of the text is not lost.
      out += bad;
      std::size_t skip = 1;
      if (std::strcmp(from, "UTF-8") == 0) skip = Utf8Length(std::string_view(src, srcLeft));
      src += skip;
      srcLeft -= skip;
    }
  }
  char* dst = chunk;
  std::size_t dstLeft = sizeof chunk;
  iconv(cd, nullptr, nullptr, &dst, &dstLeft);
  out.append(chunk, dst - chunk);
  iconv_close(cd);
  return out;
}

}  // namespace

CodePage CurrentCodePage() {
  // nl_langinfo reflects whatever setlocale(LC_CTYPE, ...) the program did;
  // in the untouched "C" locale it says ANSI_X3.4-1968, treated as UTF-8.
  const char* cs = nl_langinfo(CODESET);
  if (cs == nullptr) return CodePage::Utf8;
  if (strncasecmp(cs, "GB", 2) == 0 || strcasecmp(cs, "CP936") == 0 ||
      strcasecmp(cs, "EUC-CN") == 0)
    return CodePage::Gbk;
  return CodePage::Utf8;
}

std::size_t CharLength(std::string_view s, CodePage cp) {
  if (s.empty()) return 0;
  return cp == CodePage::Gbk ? GbkLength(s) : Utf8Length(s);
}

std::size_t MbsRChr(std::string_view s, char c, CodePage cp) {
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = CharLength(s.substr(i), cp);
    if (n == 1 && s[i] == c) found = i;
    i += n;
  }
  return found;
}

std::size_t MbsChr(std::string_view s, char c, CodePage cp) {
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = CharLength(s.substr(i), cp);
    if (n == 1 && s[i] == c) return i;
    i += n;
  }
  return std::string_view::npos;
}

std::string ToUtf8(std::string_view bytes, CodePage cp) {
  if (cp == CodePage::Utf8) return std::string(bytes);
  return Convert(bytes, "UTF-8", "GBK", "\xEF\xBF\xBD");
}

std::string FromUtf8(std::string_view utf8, CodePage cp) {
  if (cp == CodePage::Utf8) return std::string(utf8);
  return Convert(utf8, "GBK", "UTF-8", "?");
}

}  // namespace zantrel
