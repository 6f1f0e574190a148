#pragma once
// The probe run: "-i <source>" without an output.
#include <string>

#include "tool/args.h"
#include "tool/source.h"

namespace zantrel::tool {

// The FFmpeg-style summary of an opened source. Its second line is
// "  Duration: HH:MM:SS.cc, start: S.SSSSSS, bitrate: N kb/s" (N/A parts
// only when nothing could be found). When the path is so long that the
// Duration line could fall beyond the first 2048 bytes a reader takes, the
// Duration line is also given first.
std::string ProbeSummary(const std::string& path, const OpenedSource& src, int maxStreams);

// Runs the probe: writes the summary (or one error line) to standard error
// in a single write; returns the exit status (0, or 1 on failure).
int RunProbe(const ToolArgs& args);

}  // namespace zantrel::tool
