#include "app/globals.h"

std::string g_strAppDir;
std::string g_strLangSetIni;
