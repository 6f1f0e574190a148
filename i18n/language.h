#pragma once
// The interface language: the choice saved in lang_set.ini, the language
// file it names, and the keys under which a language file holds its texts.
// Byte strings in the current multibyte code page throughout. UI thread.
#include <string>

#include "platform/codepage.h"

// Chooses the interface language: `name`, or the one saved in lang_set.ini
// (default "Chinese_Simplified") when `name` is empty. Sets g_strLanguageFile
// and g_strLanguage and writes the name back to lang_set.ini every time.
// Translates nothing itself.
void SetLanguage(std::string name);

// A copy of g_strLanguage.
std::string GetCurrentLanguage();

// False for a name that could lead out of the language folder: one holding a
// '/' or '\\' (as whole characters of the code page) or "..".
bool IsSafeLanguageName(const std::string& name,
                        zantrel::CodePage cp = zantrel::CurrentCodePage());

// The language file of `name`: appDir + "Language/" + name + ".ini". When no
// file has exactly that name, a file in the folder whose name differs only in
// the letter case of its ASCII letters is taken instead (file names are
// matched without regard to case on the platform the settings come from).
// Without either, the exact path, whether or not it exists. "" for a name
// that IsSafeLanguageName rejects: every lookup then finds nothing.
std::string LanguageFilePath(const std::string& appDir, const std::string& name);

// "IDD_<dialog>_<id>" and "IDM_<menu>_<id>", signed decimal.
std::string DialogKey(int dialogNumber, int controlId);
std::string MenuKey(int menuNumber, int idOrPosition);

// Reads `key` of `section` from the current language file into text; true
// when the value is not empty. At most 999 bytes of a value are used.
bool LookUpLanguageText(const char* section, const std::string& key, std::string& text);
