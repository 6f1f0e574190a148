#pragma once
// The process-wide strings: set once on the UI thread at start-up (and by
// SetLanguage), read from the UI thread only. Byte strings in the current
// multibyte code page.
#include <string>

extern std::string g_strAppDir;         // program folder, with trailing separator
extern std::string g_strLangSetIni;     // settings folder + "lang_set.ini"
extern std::string g_strSkinIni;        // settings folder + "skin.ini" (beside lang_set.ini)
extern std::string g_strLanguageFile;   // current language file (set by SetLanguage)
extern std::string g_strLanguage;       // current language name (set by SetLanguage)
