// ZantrelCore: probes and cuts one source. See UsageText() in args.cpp.
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "tool/args.h"
#include "tool/console.h"
#include "tool/cut.h"
#include "tool/exit_code.h"
#include "tool/probe.h"

int main(int argc, char** argv) {
  using namespace zantrel::tool;
  std::vector<std::string> words(argv + 1, argv + argc);
  ToolArgs args;
  std::string error;
  if (!ParseArgs(words, &args, &error)) {
    ReportError(error);
    WriteStderr("Try 'ZantrelCore --help'.\n");
    return 2;
  }
  if (args.help) {
    WriteStderr(UsageText());
    return 0;
  }
  if (args.output.empty()) {
    // The caller reads only the first burst of the probe's output, so no
    // library message may come before the summary.
    av_log_set_level(AV_LOG_QUIET);
    return RunProbe(args);
  }
  av_log_set_level(AV_LOG_ERROR);
  TraceTime("started");
  // A failed cut says why in its exit code (platform/tool_args.h).
  if (RunCut(args) == 0) return 0;
  return ExitCodeForFailure(LastReportedError());
}
