#pragma once
// The batch: every FILE of the command line, up to --jobs of them cut at
// once, each file's pieces in order. One loop on the calling thread owns
// every SourceSplit, the progress channel and the reporter; the jobs' workers
// only wake it.
#include <string>

#include "cli/options.h"
#include "cli/report.h"

namespace zantrel::cli {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Runs the whole batch and returns the exit status: kExitOk, kExitFailed, or
// 128 + the signal when `interruptFd` (the read end of the signal handler's
// pipe: each byte is a signal number) became readable. Then the running
// pieces are stopped cleanly, no further piece or file begins, and the
// function returns once every job has ended. Blocks the caller.
int RunBatch(const Options& options, const std::string& programDir, Reporter& reporter,
             int interruptFd);

}  // namespace zantrel::cli
