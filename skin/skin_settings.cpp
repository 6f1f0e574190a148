#include "skin/skin_settings.h"

#include <string>

#include "platform/ini.h"
#include "platform/module.h"

namespace {
constexpr const char* kSkinNames[] = {"KORVANE", "DEVIOR", "CORONA", "XP_ARGENT", "FUTURE"};
}

const char* SkinResourceName(int nSkin) {
  if (nSkin < 1 || nSkin > 5) return nullptr;
  return kSkinNames[nSkin - 1];
}

SkinSettings ReadSkinSettings(const std::string& iniPath) {
  SkinSettings s;
  // A file that exists but cannot be read counts as missing.
  if (!zantrel::FileExists(iniPath)) return s;
  char buf[260] = {};
  if (GetPrivateProfileStringA("Skin", "ID", "", buf, sizeof buf, iniPath.c_str()) != 0)
    s.name = buf;
  s.number = static_cast<int>(GetPrivateProfileIntA("Skin", "SkinNum", 1, iniPath.c_str()));
  return s;
}

void SaveSkinSettings(const std::string& iniPath, int nSkin) {
  const char* name = SkinResourceName(nSkin);
  if (!name) return;  // an unknown number leaves the file as it was
  WritePrivateProfileStringA("Skin", "ID", name, iniPath.c_str());
  const std::string num = std::to_string(nSkin);
  WritePrivateProfileStringA("Skin", "SkinNum", num.c_str(), iniPath.c_str());
}
