#pragma once
// The interface language: which one is chosen and which file holds its texts.
// Byte strings in the current multibyte code page. UI thread only.
#include <string>

// Current language file and name, both set by SetLanguage (empty before the
// first call). Read by the translating code in i18n/qt.
extern std::string g_strLanguageFile;
extern std::string g_strLanguage;

// Chooses the interface language: `name`, or the one saved in
// `programDir` + "lang_set.ini" (default "Chinese_Simplified") when `name` is
// empty. `programDir` is the program folder with its trailing separator.
// Sets g_strLanguageFile (`programDir` + "Language/<name>.ini") and
// g_strLanguage, and writes the name back to lang_set.ini every time.
// Translates nothing itself.
void SetLanguage(const std::string& programDir, std::string name);

// A copy of g_strLanguage.
std::string GetCurrentLanguage();
