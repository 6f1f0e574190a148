#pragma once
// The user's choices kept between runs in options.ini (in the settings
// folder, beside lang_set.ini and skin.ini): the output folder, "beside the
// source", the mode with N and S, the last source's folder and up to eight
// recent files. The model holds them while the program runs; this file reads
// them into it at start-up and writes them out of it when the window goes.
//
// Every value read is checked; one that is missing, corrupt or foreign falls
// back to its default alone, so a damaged file never stops the program and a
// first start looks as if there were no file. No Qt; any thread, no state.
#include <string>
#include <vector>

#include "engine/plan.h"

namespace zantrel {

class SplitModel;

inline constexpr const char* kOptionsFile = "options.ini";

struct UserOptions {
  static constexpr int kMaxRecent = 8;
  static constexpr int kMinParts = 2, kMaxParts = 50;  // the arrows' range
  static constexpr int kMaxSeconds = 999999999;        // nine digits

  std::string outputDir;  // "" means the default output folder
  bool besideSource = false;
  SplitMode mode = kSplitCustom;
  int parts = 2;
  int seconds = 120;
  std::string lastSourceDir;        // ending in a separator; "" before any source
  std::vector<std::string> recent;  // newest first, at most kMaxRecent, no repeats
};

// The values of a first start, the default output folder filled in.
UserOptions DefaultUserOptions();

// Reads `iniPath`; each missing or unusable value is taken from `defaults`.
// Paths must be absolute, hold no control character and fit the reader
// whole (a path is never cut short); recent entries that fail that are
// dropped, repeats kept once.
UserOptions ReadUserOptions(const std::string& iniPath, const UserOptions& defaults);
UserOptions ReadUserOptions(const std::string& iniPath);  // with DefaultUserOptions()

// Writes every value (paths quoted, so blanks at either end survive), only
// the keys whose text changes; recent keys beyond the list are removed. A
// path that cannot be stored (a line break in it) is left out. False when
// a write failed; what was written stays.
bool WriteUserOptions(const std::string& iniPath, const UserOptions& options);

// `path` becomes the newest recent file (moved up when already listed); the
// oldest falls off beyond kMaxRecent.
void AddRecentFile(std::vector<std::string>& recent, const std::string& path);
// Removes `path`; true when it was listed.
bool RemoveRecentFile(std::vector<std::string>& recent, const std::string& path);

// A recent file as its menu item names it: "&<n> " and the path, its "&"
// doubled, long paths shortened in the middle (by whole characters of the
// code page). `index` counts from 0.
std::string RecentMenuText(int index, const std::string& path);

// Into the model at start-up: mode, N, S, output folder, beside the source.
// An empty output folder gives the default one.
void ApplyUserOptions(SplitModel& model, const UserOptions& options);
// Out of the model when the window goes: its mode, N, S, output folder and
// beside-the-source, and the folder of its source when one was chosen; the
// rest (the recent list, an older source folder) from `previous`.
UserOptions UserOptionsOf(const SplitModel& model, UserOptions previous);

}  // namespace zantrel
