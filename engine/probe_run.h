#pragma once
// Running the tool in its probe form and reading the source duration from
// its console output.
#include <string>

namespace zantrel {

// Starts "ZantrelCore.exe -i <path> 20 4 80 " (the tool looked up in
// programDir first) with standard output and error on one pipe, and reads
// until a complete "Duration" line has arrived, the output ends, 2048 bytes
// have been read or timeoutMs has passed. The child is then ended if still
// running and always reaped; the pipe is closed.
//
// Returns the duration in whole seconds (ParseProbeDuration of what was
// read), or 0 when the tool cannot be started or reports none. *received,
// when given, gets the bytes read (for diagnostics). Blocks the caller; any
// thread.
int RunProbe(const std::string& sourcePath, const std::string& programDir, int timeoutMs,
             std::string* received = nullptr);

}  // namespace zantrel
