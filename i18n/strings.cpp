#include "i18n/strings.h"

#include "i18n/language.h"

namespace zantrel {

std::string LoadMessage(const Message& m) {
  // Same reader, same 999-byte limit and same "empty counts as missing" as
  // the dialog and menu texts.
  std::string text;
  if (LookUpLanguageText(kStringSection, m.key, text)) return UnescapeValue(text);
  return m.builtin;
}

std::string UnescapeValue(std::string_view value, CodePage cp) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size();) {
    const std::size_t n = CharLength(value.substr(i), cp);
    if (n == 1 && value[i] == '\\' && i + 1 < value.size()) {
      const char next = value[i + 1];
      if (next == 'n' || next == '\\') {
        out += next == 'n' ? '\n' : '\\';
        i += 2;
        continue;
      }
    }
    out.append(value, i, n);
    i += n;
  }
  return out;
}

std::string FillArguments(std::string_view pattern, const std::vector<std::string>& args) {
  std::string out;
  out.reserve(pattern.size() + 16);
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c != '%' || i + 1 == pattern.size()) {
      out += c;
      continue;
    }
    const char next = pattern[i + 1];
    if (next == '%') {
      out += '%';
      ++i;
    } else if (next >= '1' && next <= '9' && static_cast<std::size_t>(next - '1') < args.size()) {
      out += args[static_cast<std::size_t>(next - '1')];
      ++i;
    } else {
      // Not ours: a percent sign of the text itself. The byte after it is
      // handled on its own next turn ('%' is never a trail byte of GBK or
      // UTF-8, so this never splits a character).
      out += c;
    }
  }
  return out;
}

std::string Say(const Message& m, const std::vector<std::string>& args) {
  return FillArguments(LoadMessage(m), args);
}

}  // namespace zantrel
