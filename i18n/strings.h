#pragma once
// The program's own sentences in the chosen language: section "CString" of
// the current language file (g_strLanguageFile), keys "IDS_<NAME>". A key
// that is missing or empty gives the built-in text, the interface's own
// Simplified Chinese, so a partial translation never shows a blank.
//
// Numbers and names are put in by position: "%1" … "%9" stand for the
// arguments in the order given, so a translation may reorder them. "%%" is
// a single "%"; a "%" before anything else stays as it is ("完成 %1%" is
// "完成 50%"). Arguments are put in as they are, never read for further
// "%n" (a file name holding "%1" stays that name). A "%n" without an
// argument is left in place.
//
// An INI value is one line, so a file writes a line break as "\n" and a
// backslash as "\\"; a backslash before anything else stays. The scan goes
// by characters of the code page: the trail byte of a GBK character is never
// taken for a backslash.
//
// Byte strings in the current multibyte code page, like every language
// text. UI thread (the language file path is the UI's).
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"

namespace zantrel {

inline constexpr const char* kStringSection = "CString";

// One message of the program: its key and the text used when the language
// file has none. Both are literals that live for the whole run.
struct Message {
  const char* key;      // "IDS_<NAME>"
  const char* builtin;  // the built-in (Simplified Chinese) pattern
};

// The pattern of `m` in the current language, arguments not yet filled in.
std::string LoadMessage(const Message& m);

// A [CString] value as read from a file, its "\n" and "\\" turned into a
// line break and a backslash.
std::string UnescapeValue(std::string_view value, CodePage cp = CurrentCodePage());

// `pattern` with "%1" … "%9" replaced by args[0] … args[8].
std::string FillArguments(std::string_view pattern, const std::vector<std::string>& args);

// LoadMessage, then FillArguments.
std::string Say(const Message& m, const std::vector<std::string>& args = {});

}  // namespace zantrel
