#pragma once
// The program's start-up strings: set once on the UI thread by
// CSplitterApp::InitInstance, read from the UI thread only. Byte strings in
// the current multibyte code page. Lower layers never read these: they are
// handed the program folder (zantrel::GetModuleDir()) as a parameter.
#include <string>

extern std::string g_strAppDir;      // program folder, with trailing separator
extern std::string g_strLangSetIni;  // settings folder of g_strAppDir + "lang_set.ini"
