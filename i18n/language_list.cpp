#include "i18n/language_list.h"

#include <algorithm>
#include <fstream>
#include <string>

std::vector<LanguageEntry> ReadLanguageList(const std::string& path, zantrel::CodePage cp) {
  std::vector<LanguageEntry> entries;
  std::ifstream in(path, std::ios::binary);
  if (!in) return entries;
  std::string line;
  for (;;) {
    // One line, read no further than the longest one taken plus its CR, so
    // an endless line costs nothing.
    line.clear();
    bool any = false, lf = false;
    for (int c; (c = in.get()) != std::char_traits<char>::eof();) {
      any = true;
      if (c == '\n') {
        lf = true;
        break;
      }
      line.push_back(static_cast<char>(c));
      if (line.size() > kMaxLanguageLine + 1) break;
    }
    if (!any) break;
    // Text-mode reading drops the CR of a CR LF pair, so it never counts
    // toward the line's length.
    if (lf && !line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kMaxLanguageLine) break;
    // The entry is a C string to everything downstream: it ends at a NUL.
    line.resize(std::min(line.size(), line.find('\0')));
    LanguageEntry e;
    const std::size_t bar = zantrel::MbsChr(line, '|', cp);
    if (bar == std::string::npos) {
      e.text = line;
    } else {
      e.name = line.substr(0, bar);
      e.text = line.substr(bar + 1);
    }
    entries.push_back(std::move(e));
  }
  return entries;
}

std::vector<std::string> AppendLanguageItems(zantrel::CMenu& popup,
                                             const std::vector<LanguageEntry>& entries) {
  std::vector<std::string> names;
  unsigned id = kFirstLanguageCommand;
  for (const LanguageEntry& e : entries) {
    // Past the routed range an item would either do nothing or, further on,
    // take a command ID that belongs to another command.
    if (id > kLastLanguageCommand) break;
    popup.AppendMenu(zantrel::MF_STRING, id, e.text);
    names.push_back(e.name);
    ++id;
  }
  return names;
}

void SetLanguageCheckMarks(zantrel::CMenu& popup, const std::vector<std::string>& names,
                           const std::string& current) {
  for (std::size_t i = 0; i < names.size(); ++i)
    popup.CheckMenuItem(kFirstLanguageCommand + static_cast<unsigned>(i),
                        zantrel::MF_BYCOMMAND |
                            (names[i] == current ? zantrel::MF_CHECKED : zantrel::MF_UNCHECKED));
}
