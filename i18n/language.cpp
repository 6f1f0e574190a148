#include "i18n/language.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

#include "platform/codepage.h"
#include "platform/ini.h"
#include "platform/path.h"
#include "settings/settings_dir.h"

std::string g_strLanguageFile;
std::string g_strLanguage;

namespace {
constexpr std::uint32_t kValueBuffer = 1000;

// Letter case folded for single-byte characters only: the trail byte of a
// double-byte character may look like an ASCII letter and must match as is.
bool SameIgnoringCase(const std::string& a, const std::string& b, zantrel::CodePage cp) {
  if (a.size() != b.size()) return false;
  std::size_t i = 0;
  while (i < a.size()) {
    const std::size_t n = zantrel::CharLength(std::string_view(a).substr(i), cp);
    if (n == 1) {
      if (std::tolower(static_cast<unsigned char>(a[i])) !=
          std::tolower(static_cast<unsigned char>(b[i])))
        return false;
    } else if (a.compare(i, n, b, i, n) != 0) {
      return false;
    }
    i += n;
  }
  return true;
}
}  // namespace

void SetLanguage(const std::string& programDir, std::string name) {
  // Beside the program, or in the user's folder for an installed copy.
  const std::string langSetIni = zantrel::SettingsDirOf(programDir) + "lang_set.ini";
  if (name.empty()) {
    // An empty "Language" value present in the file stays empty: only a
    // missing file or key gives the default.
    std::vector<char> buf(kValueBuffer, '\0');
    GetPrivateProfileStringA("Setting", "Language", "Chinese_Simplified", buf.data(),
                             kValueBuffer, langSetIni.c_str());
    name = buf.data();
  }
  g_strLanguageFile = LanguageFilePath(programDir, name);
  g_strLanguage = name;
  // Written on every call so the choice survives even an abnormal end.
  WritePrivateProfileStringA("Setting", "Language", name.c_str(), langSetIni.c_str());
}

std::string GetCurrentLanguage() { return g_strLanguage; }

bool IsSafeLanguageName(const std::string& name, zantrel::CodePage cp) {
  return zantrel::MbsChr(name, '/', cp) == std::string::npos &&
         zantrel::MbsChr(name, '\\', cp) == std::string::npos &&
         name.find("..") == std::string::npos;
}

std::string LanguageFilePath(const std::string& programDir, const std::string& name) {
  if (!IsSafeLanguageName(name)) return {};
  const std::string folder = programDir + "Language" + zantrel::kPathSepStr;
  const std::string fileName = name + ".ini";
  const std::string exact = folder + fileName;
  std::error_code ec;
  if (std::filesystem::is_regular_file(exact, ec)) return exact;
  // Sorted, so that of two files differing only in case the same one wins on
  // every start.
  std::vector<std::string> matches;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string candidate = entry.path().filename().string();
    if (SameIgnoringCase(candidate, fileName, zantrel::CurrentCodePage()) &&
        entry.is_regular_file(ec))
      matches.push_back(candidate);
  }
  if (matches.empty()) return exact;
  return folder + *std::min_element(matches.begin(), matches.end());
}

std::string DialogKey(int dialogNumber, int controlId) {
  return "IDD_" + std::to_string(dialogNumber) + "_" + std::to_string(controlId);
}

std::string MenuKey(int menuNumber, int idOrPosition) {
  return "IDM_" + std::to_string(menuNumber) + "_" + std::to_string(idOrPosition);
}

bool LookUpLanguageText(const char* section, const std::string& key, std::string& text) {
  // No cache: an edited file takes effect at the next translation.
  std::vector<char> buf(kValueBuffer, '\0');
  const std::uint32_t n = GetPrivateProfileStringA(section, key.c_str(), "", buf.data(),
                                                   kValueBuffer, g_strLanguageFile.c_str());
  if (n == 0) return false;
  text.assign(buf.data(), n);
  return true;
}
