#pragma once
// Diagnostics on standard error. Writes go out whole, retried on EINTR and
// short writes, so a stopped-and-continued tool loses no text and a reader
// of the pipe gets each message in one piece.
#include <string>

namespace zantrel::tool {

// Writes the text to standard error as it is.
void WriteStderr(const std::string& text);
// Writes "ZantrelCore: <message>\n" to standard error.
void ReportError(const std::string& message);
// The message of the latest ReportError ("" before the first): what the
// exit code of a failed run is chosen from (tool/exit_code.h).
const std::string& LastReportedError();
// FFmpeg's text for an error code.
std::string AvErrorText(int err);
// With ZANTREL_TRACE_TIMES set, writes "ZantrelCore: time <what>: wall W ms,
// cpu C ms" (both since the process started) to standard error, to see where
// a cut spends its time; otherwise does nothing.
void TraceTime(const char* what);

}  // namespace zantrel::tool
