#pragma once
// The exit code of a failed cut (platform/tool_args.h, ToolExit), chosen from
// the one diagnostic the run reported last. The tool's failure sites say what
// went wrong in a sentence built from errno or FFmpeg's error text; this is
// the one place that sorts those sentences into the codes the program reads.
#include <string>

namespace zantrel::tool {

// The code for a cut that failed after reporting `lastError` (the message
// given to ReportError, without the "ZantrelCore: " prefix).
int ExitCodeForFailure(const std::string& lastError);

}  // namespace zantrel::tool
