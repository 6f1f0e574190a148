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

// What the probe found a chosen source to be.
enum class SourceVerdict {
  kVideo,             // something to cut: the duration is known, at least one second
  kMissing,           // no file at the path
  kUnreadable,        // there, but it cannot be read (permission, a read error, damaged streams)
  kNotVideo,          // not a media file the tool knows (text, an empty file, a damaged header)
  kNoPictureNoSound,  // a media file without a picture or a sound the tool can decode
  kNoDuration,        // its duration cannot be found, or is below one second
  kToolMissing,       // the tool could not be started
};

struct ProbeResult {
  SourceVerdict verdict = SourceVerdict::kToolMissing;
  int seconds = 0;  // whole seconds; 0 unless kVideo
};

// Probes `sourcePath` as RunProbe does and sorts the outcome by the tool's
// exit code (platform/tool_args.h) and the program's own look at the file;
// never by the tool's words. Blocks the caller; any thread.
ProbeResult ProbeSource(const std::string& sourcePath, const std::string& programDir, int timeoutMs);

}  // namespace zantrel
