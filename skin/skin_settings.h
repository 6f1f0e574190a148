#pragma once
// The five built-in skins and skin.ini ("Skin" / "ID", "SkinNum").
#include <string>

inline constexpr const char* kSkinResourceType = "SKIN";

// Resource name of skin number n (1..5), or nullptr for any other number.
const char* SkinResourceName(int nSkin);

struct SkinSettings {
  std::string name = "KORVANE";  // skin to load at start-up
  int number = 1;                // skin number handed to the main dialog
};

// Start-up read: when the file can be opened, "ID" (empty or missing gives
// KORVANE) and "SkinNum" (missing gives 1); otherwise KORVANE and 1.
SkinSettings ReadSkinSettings(const std::string& iniPath);

// Save at the main dialog's destruction: for 1..5 writes "ID" then "SkinNum";
// any other number writes nothing.
void SaveSkinSettings(const std::string& iniPath, int nSkin);
