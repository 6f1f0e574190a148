#include "i18n/language.h"

#include <vector>

#include "app/globals.h"
#include "platform/ini.h"
#include "platform/path.h"

namespace {
constexpr std::uint32_t kValueBuffer = 1000;
}

void SetLanguage(std::string name) {
  if (name.empty()) {
    // An empty "Language" value present in the file stays empty: only a
    // missing file or key gives the default.
    std::vector<char> buf(kValueBuffer, '\0');
    GetPrivateProfileStringA("Setting", "Language", "Chinese_Simplified", buf.data(),
                             kValueBuffer, g_strLangSetIni.c_str());
    name = buf.data();
  }
  g_strLanguageFile = g_strAppDir + "Language" + zantrel::kPathSepStr + name + ".ini";
  g_strLanguage = name;
  // Written on every call so the choice survives even an abnormal end.
  WritePrivateProfileStringA("Setting", "Language", name.c_str(), g_strLangSetIni.c_str());
}

std::string GetCurrentLanguage() { return g_strLanguage; }
