#pragma once
// The user's own folders the program proposes: where pieces go by default
// and where the choosers open. No Qt, so a command-line client proposes the
// same folders as the window.
#include <string>

namespace zantrel {

// The user's videos folder, ending in a separator, in the program's code
// page: XDG_VIDEOS_DIR of `xdgConfigHome`/user-dirs.dirs ("$HOME" replaced
// by `home`), else `home`/Videos; `xdgConfigHome` empty means
// `home`/.config, `home` empty means "/". The folder need not exist.
std::string VideosFolderOf(const std::string& home, const std::string& xdgConfigHome);
// The same for this process's HOME and XDG_CONFIG_HOME.
std::string UserVideosFolder();
// The default output folder: "ZantrelOutput" in the videos folder, ending
// in a separator. Not created here.
std::string DefaultOutputFolder();

}  // namespace zantrel
