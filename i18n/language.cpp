#include "i18n/language.h"

#include <vector>

#include "platform/ini.h"
#include "platform/path.h"

std::string g_strLanguageFile;
std::string g_strLanguage;

namespace {
constexpr std::uint32_t kValueBuffer = 1000;
}

void SetLanguage(const std::string& programDir, std::string name) {
  const std::string langSetIni = programDir + "lang_set.ini";
  if (name.empty()) {
    // An empty "Language" value present in the file stays empty: only a
    // missing file or key gives the default.
    std::vector<char> buf(kValueBuffer, '\0');
    GetPrivateProfileStringA("Setting", "Language", "Chinese_Simplified", buf.data(),
                             kValueBuffer, langSetIni.c_str());
    name = buf.data();
  }
  g_strLanguageFile = programDir + "Language" + zantrel::kPathSepStr + name + ".ini";
  g_strLanguage = name;
  // Written on every call so the choice survives even an abnormal end.
  WritePrivateProfileStringA("Setting", "Language", name.c_str(), langSetIni.c_str());
}

std::string GetCurrentLanguage() { return g_strLanguage; }
