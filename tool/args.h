#pragma once
// The tool's command line, parsed. The conventions (which trailing number
// means what) are stated once for both sides in platform/tool_args.h;
// UsageText() describes them to the user.
#include <optional>
#include <string>
#include <vector>

namespace zantrel::tool {

struct ToolArgs {
  bool help = false;
  std::string input;               // -i
  std::string output;              // first bare word; empty = probe
  // -ss and -t: seconds with up to 6 decimals, held as whole microseconds so
  // that S + T of one piece is exactly the S of the next.
  std::optional<long long> startUs;   // -ss
  std::optional<long long> lengthUs;  // -t
  bool overwrite = false;          // -y
  std::optional<int> sampleRate;   // -ar
  std::optional<int> channels;     // -ac
  std::optional<long long> audioBitRate;  // -ab, bits per second ("12.2k" = 12200)
  std::vector<long long> trailing; // bare numbers after the paths
};

// Values derived from the trailing numbers of a probe run
// ("-i <path> <analyse> <streams> <tail>").
struct ProbeTuning {
  int analyseTenths = 20;  // stream analysis budget, tenths of a second of media
  int maxStreams = 4;      // streams described in the summary
  int tailKiB = 80;        // first end-of-file window read to find a duration
};

// Values derived from the trailing numbers of a cut run
// ("... <out> <threads> <scale> <quality> <smart>").
struct CutTuning {
  int threads = 6;      // most video encoder threads (still capped at the CPU count)
  int progressTop = 100;  // value reported when the run is complete
  int quality = 100;    // 100 = visually lossless; lower trades quality for size
  bool smart = true;    // copy whole groups of pictures where that is sound; 0 forces the full re-encode
};

// Parses argv (argv[0] excluded). False with a message on malformed input.
bool ParseArgs(const std::vector<std::string>& args, ToolArgs* out, std::string* error);

ProbeTuning ProbeTuningFrom(const ToolArgs& args);
CutTuning CutTuningFrom(const ToolArgs& args);

// Parses a time of "-ss"/"-t": digits, optionally a point and 1 to 6 more
// digits ("12", "3.4", "3.400000"), into whole microseconds; false when
// malformed (signs, exponents, a 7th decimal) or beyond `maxSeconds`.
bool ParseSeconds(const std::string& text, long long maxSeconds, long long* microseconds);

// Parses "12.2k", "64000", "128K", "1.5M" into bits per second; false when malformed.
bool ParseBitRate(const std::string& text, long long* bitsPerSecond);

std::string UsageText();

}  // namespace zantrel::tool
