#pragma once
// The language list beside the program (ZantrelLang.lst) and the language
// items it gives the "语言(&L)" popup. Plain data, no windows; UI thread.
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/menu.h"

// One line of the list: the bytes before its first '|' name the language
// file, the bytes after it are the item's text. A line without '|' is all
// text with an empty name.
struct LanguageEntry {
  std::string name;
  std::string text;
};

inline constexpr const char* kLanguageListFile = "ZantrelLang.lst";
inline constexpr unsigned kFirstLanguageCommand = 2000;
// The last command the main dialog routes to its language handler.
inline constexpr unsigned kLastLanguageCommand = 2200;
// Longest line taken, line end not counted; a longer one ends the list.
inline constexpr std::size_t kMaxLanguageLine = 1023;

// Reads the list, bytes used as they stand. Lines end at LF, with a CR right
// before it dropped; the last line needs no LF. Reading stops at the first
// line longer than kMaxLanguageLine. The '|' is found by stepping through the
// characters of `cp`, so a trail byte 0x7C is not taken for it. A missing or
// unreadable file gives an empty list.
std::vector<LanguageEntry> ReadLanguageList(const std::string& path,
                                            zantrel::CodePage cp = zantrel::CurrentCodePage());

// Appends one item per entry, command 2000 + i with the entry's text, to
// `popup` (which already holds "自动选择" and the separator). Entries beyond
// the routed range (past command 2200) get no item. Returns the names of the
// entries that got one, index i belonging to command 2000 + i.
std::vector<std::string> AppendLanguageItems(zantrel::CMenu& popup,
                                             const std::vector<LanguageEntry>& entries);

// The language marks, put on before the popup opens: the item of command
// 2000 + i is checked when names[i] equals `current` byte for byte, unchecked
// otherwise. Other items are left as they are.
void SetLanguageCheckMarks(zantrel::CMenu& popup, const std::vector<std::string>& names,
                           const std::string& current);
