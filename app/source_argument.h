#pragma once
// The file named on the command line (`zantrel FILE`, or a desktop
// launcher's %f). No Qt.
#include <optional>
#include <string>
#include <vector>

namespace zantrel {

// The source file among `args` (argv without the program name, after Qt has
// taken its own options): the first argument that is not an option ("-x",
// "--x"); after "--" every argument counts as a file. A relative name is
// made absolute against `cwd` and "." / ".." are resolved by name, so the
// dialog receives a full path as the file dialog would give it. Nothing when
// there is no such argument; further arguments are ignored.
std::optional<std::string> SourceFromArguments(const std::vector<std::string>& args,
                                               const std::string& cwd);

// The same against the process's current folder.
std::optional<std::string> SourceFromArguments(const std::vector<std::string>& args);

}  // namespace zantrel
