#pragma once
// Where the settings files (lang_set.ini, skin.ini, options.ini) live. A
// copy of the program in a folder its user may write (the portable
// build/bin/ folder, a copy on a stick) keeps them beside the program; an
// installed copy, whose folder belongs to root, keeps them in the user's XDG
// configuration folder. Chosen once per program folder and kept for the
// process's life, so every read and write of any of them goes to the same
// place; they always live together. No Qt.
#include <string>

namespace zantrel {

// True when a file can be created in `dir` right now (tested by creating and
// removing a probe file, so read-only mounts, permissions and root's
// override are all answered as they really are). "" means the current
// folder.
bool IsFolderWritable(const std::string& dir);

// The settings folder, ending in a separator:
// - `programDir` when it is writable;
// - otherwise `xdgConfigHome` + "/zantrel/" when `xdgConfigHome` is an
//   absolute path (a relative or empty one is ignored, as XDG asks), else
//   `home` + "/.config/zantrel/" when `home` is absolute; that folder (and
//   its parents) is created, private to the user, when missing;
// - `programDir` again when neither variable helps; the writes then fail
//   silently, as any settings write may.
// Null pointers count as unset.
std::string ChooseSettingsDir(const std::string& programDir, const char* xdgConfigHome,
                              const char* home);

// The same with XDG_CONFIG_HOME and HOME from the environment.
std::string ChooseSettingsDir(const std::string& programDir);

// The settings folder of `programDir`: ChooseSettingsDir from the
// environment on the first call for that folder (start-up makes it), the
// same answer on every later call, whatever has changed since. This is
// where lang_set.ini, skin.ini and options.ini are read and written. Thread-safe.
std::string SettingsDirOf(const std::string& programDir);

}  // namespace zantrel
