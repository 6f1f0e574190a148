#include "app/globals.h"

std::string g_strAppDir;
std::string g_strLangSetIni;
std::string g_strSkinIni;
std::string g_strLanguageFile;
std::string g_strLanguage;
