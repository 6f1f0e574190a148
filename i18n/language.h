#pragma once
// The interface language: which one is chosen and which file holds its texts.
// Byte strings in the current multibyte code page. UI thread only.
#include <string>

#include "platform/codepage.h"

// Current language file and name, both set by SetLanguage (empty before the
// first call). Read by the translating code in i18n/qt.
extern std::string g_strLanguageFile;
extern std::string g_strLanguage;

// Chooses the interface language: `name`, or the one saved in lang_set.ini
// in the settings folder of `programDir` (zantrel::SettingsDirOf; default
// "Chinese_Simplified") when `name` is empty. `programDir` is the program
// folder with its trailing separator.
// Sets g_strLanguageFile (LanguageFilePath below) and g_strLanguage, and
// writes the name back to lang_set.ini every time.
// Translates nothing itself.
void SetLanguage(const std::string& programDir, std::string name);

// A copy of g_strLanguage.
std::string GetCurrentLanguage();

// False for a name that could lead out of the language folder: one holding a
// '/' or '\\' (as whole characters of the code page) or "..".
bool IsSafeLanguageName(const std::string& name,
                        zantrel::CodePage cp = zantrel::CurrentCodePage());

// The language file of `name`: programDir + "Language/" + name + ".ini". When no
// file has exactly that name, a file in the folder whose name differs only in
// the letter case of its ASCII letters is taken instead (file names are
// matched without regard to case on the platform the settings come from).
// Without either, the exact path, whether or not it exists. "" for a name
// that IsSafeLanguageName rejects: every lookup then finds nothing.
std::string LanguageFilePath(const std::string& programDir, const std::string& name);

// "IDD_<dialog>_<id>" and "IDM_<menu>_<id>", signed decimal.
std::string DialogKey(int dialogNumber, int controlId);
std::string MenuKey(int menuNumber, int idOrPosition);

// Reads `key` of `section` from the current language file into text; true
// when the value is not empty. At most 999 bytes of a value are used.
bool LookUpLanguageText(const char* section, const std::string& key, std::string& text);
