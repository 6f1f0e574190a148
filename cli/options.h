#pragma once
// zantrel-split's command line: what the user asked for, checked and typed.
// Pure functions, no I/O; any thread.
#include <cstdint>
#include <string>
#include <vector>

namespace zantrel::cli {

enum class CutMode { kNone, kParts, kEvery, kAt };

struct Options {
  CutMode mode = CutMode::kNone;
  int parts = 0;                      // --parts N
  std::int64_t everyUs = 0;           // --every S, whole seconds in microseconds
  std::vector<std::int64_t> atUs;     // --at, as given (order and repeats kept)
  std::string outDir;                 // --out DIR ("" when not given)
  bool beside = false;                // --beside
  bool replace = false;
  int jobs = 1;                       // --jobs K, 1..kMaxJobs
  bool dryRun = false;
  bool json = false;
  bool quiet = false;
  bool help = false;                  // --help: nothing else is checked
  std::vector<std::string> files;     // in the order given
};

inline constexpr int kMaxJobs = 64;

// The one-line synopsis shown with every argument error and atop --help.
const char* UsageLine();
// The whole --help text.
const char* HelpText();

// Parses argv[1..] into *out. False, with one line for the user in *error,
// when the arguments do not make one valid request (exit code 2): no mode or
// two modes, a bad number or time, --out with --beside, an unknown option, no
// file. Options and files may be mixed; "--" ends the options; "--opt=value"
// and "--opt value" are both taken.
bool ParseOptions(const std::vector<std::string>& args, Options* out, std::string* error);

// A time as the user writes it: seconds with up to 6 decimals ("90",
// "12.345"), or [H:]MM:SS with the same decimals ("1:02:03.5", "2:03");
// minutes and seconds after a colon below 60. Exact: parsed to whole
// microseconds without floating point. False for anything else (a sign,
// blanks, more than 6 decimals, a value past about 31 years).
bool ParseTimeUs(const std::string& text, std::int64_t* us);

// Microseconds as seconds for JSON and listings: "12", "12.5", "0.000001".
std::string SecondsText(std::int64_t us);
// Microseconds as H:MM:SS, with ".mmm" (or the full microseconds when they
// are not whole milliseconds) when not a whole second.
std::string ClockText(std::int64_t us);

}  // namespace zantrel::cli
