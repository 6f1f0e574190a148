#pragma once
// The cut run: "-i <source> -ss S -t T <output>".
#include "tool/args.h"

namespace zantrel::tool {

// Writes the piece [S, S+T) of the source to the output, frame-exact, and
// returns the exit status: 0 on success, non-zero with a message on standard
// error otherwise (then no file exists under the output name that was not
// there before).
int RunCut(const ToolArgs& args);

}  // namespace zantrel::tool
