#pragma once
// The cutting tool's command-line conventions, the one statement of them for
// both sides: the program that builds the command lines (engine/) and the
// tool that parses them (tool/). Constants only, no code. The progress
// channel's address travels in the environment (platform/progress_channel.h).
//
// Probe: ZantrelCore -i <source> [<analyse> <streams> <tail>]
// Cut:   ZantrelCore -i <source> [-ss S] [-t T] [-y] [-ar Hz] [-ac n] [-ab rate]
//                    <output> [<threads> <scale> <quality> <smart>]
// Options come in any order; the first bare word that is not a number is the
// output; the bare numbers after the paths are the "trailing numbers", read
// by position as below.
#include <cstddef>

namespace zantrel::tool_args {

// Trailing numbers of a probe run.
inline constexpr std::size_t kProbeAnalyse = 0;  // tenths of a second of media analysed
inline constexpr std::size_t kProbeStreams = 1;  // most streams described
inline constexpr std::size_t kProbeTail = 2;     // KiB first read from the end for a duration

// Trailing numbers of a cut run.
inline constexpr std::size_t kCutThreads = 0;  // most video encoder threads (0 = automatic)
inline constexpr std::size_t kCutScale = 1;    // progress scale: the run reports 0..scale
inline constexpr std::size_t kCutQuality = 2;  // 0..100; 100 = visually lossless
inline constexpr std::size_t kCutSmart = 3;    // 0 = always the full re-encode (for comparison)

// The quality the program asks for: the best.
inline constexpr int kFullQuality = 100;

// The source as the program found it when the job began, handed to each cut
// run in the environment as "<device>:<inode>:<size>:<modification time in
// ns>" (decimal). A run refuses a source that is no longer that file as it
// was: rewritten or cut short since the plan was made, its pieces would come
// out short under their final names.
inline constexpr char kSourceStampEnv[] = "ZANTREL_SOURCE_STAMP";

// How a cut run ends: its exit code. The program decides by these codes (and
// by what it sees itself: a signal, the source or the folder gone), never by
// the tool's words; the last line the tool writes stays a sentence for
// people. Codes other than these (a crash's, a usage error's 2) read as
// kExitInternal.
enum ToolExit : int {
  kExitWritten = 0,          // the piece is in place
  kExitInternal = 1,         // anything the tool cannot name better
  kExitUsage = 2,            // the command line could not be read
  kExitEmpty = 3,            // nothing of the source lies in the window (-t 0, no frame there)
  kExitTargetExists = 4,     // the piece's name is taken and -y was not given
  kExitNoSpace = 5,          // the disk or the quota is full
  kExitNoPermission = 6,     // the output folder may not be written
  kExitSourceUnreadable = 7, // the source cannot be opened or read
  kExitNotVideo = 8,         // the source holds nothing the tool can decode
  kExitSourceChanged = 9,    // the source is no longer the file the job planned on
};

// A written piece says how it was made in one line of its own on standard
// error, before its last (human) line: the tag, then kResultSmart or
// kResultReencoded.
inline constexpr char kResultTag[] = "ZantrelCore-result: ";
inline constexpr char kResultSmart[] = "smart-cut";
inline constexpr char kResultReencoded[] = "re-encoded";

}  // namespace zantrel::tool_args
