#pragma once
#include <string>

// Chooses the interface language: `name`, or the one saved in lang_set.ini
// (default "Chinese_Simplified") when `name` is empty. Sets g_strLanguageFile
// and g_strLanguage and writes the name back to lang_set.ini every time.
// Translates nothing itself. UI thread.
void SetLanguage(std::string name);

// A copy of g_strLanguage.
std::string GetCurrentLanguage();
