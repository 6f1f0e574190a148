#pragma once
// Parsing the tool's probe output for the source duration.
#include <cstddef>
#include <string>

namespace zantrel {

inline constexpr std::size_t kProbeReceiveSize = 2048;

// The duration in whole seconds found in a receive area of at most 2048
// bytes: the last "Duration" wins, its 11 characters starting 10 bytes after
// the match are parsed with the colon rules and atoi; 0 when not found.
int ParseProbeDuration(const std::string& receiveArea);

// The probe command line for a source path, quoted with the launcher's rules.
std::string BuildProbeCommandLine(const std::string& sourcePath);

// True once `received` holds a complete "Duration" line (so the probe's read
// loop can stop early).
bool ProbeOutputComplete(const std::string& received);

}  // namespace zantrel
