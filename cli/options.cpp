#include "cli/options.h"

#include <cstdlib>

namespace zantrel::cli {

namespace {

constexpr std::int64_t kUsPerSecond = 1000000;
// Far beyond any source, and small enough that no sum of two overflows.
constexpr std::int64_t kMaxSeconds = 1000000000;

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// Digits only, at most 10 of them: no sign, no blank, no overflow.
bool ParseCount(const std::string& s, std::int64_t* v) {
  if (!AllDigits(s) || s.size() > 10) return false;
  *v = std::strtoll(s.c_str(), nullptr, 10);
  return true;
}

// "SS" or "SS.ffffff" into microseconds; `below` (> 0) bounds the whole part.
bool ParseSecondsField(const std::string& s, std::int64_t below, std::int64_t* us) {
  const std::size_t dot = s.find('.');
  const std::string whole = s.substr(0, dot);
  std::int64_t secs;
  if (!ParseCount(whole, &secs)) return false;
  if (below > 0 && secs >= below) return false;
  std::int64_t frac = 0;
  if (dot != std::string::npos) {
    std::string digits = s.substr(dot + 1);
    if (!AllDigits(digits) || digits.size() > 6) return false;
    digits.resize(6, '0');
    frac = std::strtoll(digits.c_str(), nullptr, 10);
  }
  if (secs > kMaxSeconds) return false;
  *us = secs * kUsPerSecond + frac;
  return true;
}

std::string Pad(std::int64_t v, int width) {
  std::string s = std::to_string(v);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
  return s;
}

// What an option takes.
enum class Arg { kNone, kValue };

struct OptionSpec {
  const char* name;
  Arg arg;
};

constexpr OptionSpec kOptions[] = {
    {"--parts", Arg::kValue}, {"--every", Arg::kValue}, {"--at", Arg::kValue},
    {"--out", Arg::kValue},   {"--beside", Arg::kNone}, {"--replace", Arg::kNone},
    {"--jobs", Arg::kValue},  {"--dry-run", Arg::kNone}, {"--json", Arg::kNone},
    {"--quiet", Arg::kNone},  {"--help", Arg::kNone},
};

bool SetMode(Options* o, CutMode mode, std::string* error) {
  if (o->mode != CutMode::kNone) {
    *error = "choose one of --parts, --every and --at";
    return false;
  }
  o->mode = mode;
  return true;
}

bool Apply(const std::string& name, const std::string& value, Options* o, std::string* error) {
  std::int64_t v = 0;
  if (name == "--parts") {
    if (!SetMode(o, CutMode::kParts, error)) return false;
    if (!ParseCount(value, &v) || v < 1 || v > 100000) {
      *error = "--parts needs a whole number of pieces from 1 up, got '" + value + "'";
      return false;
    }
    o->parts = static_cast<int>(v);
  } else if (name == "--every") {
    if (!SetMode(o, CutMode::kEvery, error)) return false;
    // The plan of equal pieces works in whole seconds, as the window's does.
    if (!ParseTimeUs(value, &v) || v < kUsPerSecond || v % kUsPerSecond != 0) {
      *error = "--every needs whole seconds, 1 or more, got '" + value + "'";
      return false;
    }
    o->everyUs = v;
  } else if (name == "--at") {
    if (!SetMode(o, CutMode::kAt, error)) return false;
    std::size_t from = 0;
    while (true) {
      const std::size_t comma = value.find(',', from);
      const std::string item = value.substr(from, comma == std::string::npos ? comma : comma - from);
      if (!ParseTimeUs(item, &v)) {
        *error = "--at needs times such as 90, 12.5 or 1:02:03.250 separated by commas, got '" +
                 item + "'";
        return false;
      }
      o->atUs.push_back(v);
      if (comma == std::string::npos) break;
      from = comma + 1;
    }
  } else if (name == "--out") {
    if (value.empty()) {
      *error = "--out needs a folder";
      return false;
    }
    o->outDir = value;
  } else if (name == "--jobs") {
    if (!ParseCount(value, &v) || v < 1 || v > kMaxJobs) {
      *error = "--jobs needs a number from 1 to " + std::to_string(kMaxJobs) + ", got '" + value + "'";
      return false;
    }
    o->jobs = static_cast<int>(v);
  } else if (name == "--beside") {
    o->beside = true;
  } else if (name == "--replace") {
    o->replace = true;
  } else if (name == "--dry-run") {
    o->dryRun = true;
  } else if (name == "--json") {
    o->json = true;
  } else if (name == "--quiet") {
    o->quiet = true;
  } else if (name == "--help") {
    o->help = true;
  }
  return true;
}

}  // namespace

const char* UsageLine() {
  return "usage: zantrel-split (--parts N | --every S | --at T1,T2,...) [--out DIR | --beside]\n"
         "                     [--replace] [--jobs K] [--dry-run] [--json] [--quiet] FILE...";
}

const char* HelpText() {
  return "Cuts each FILE into pieces NAME[1].EXT, NAME[2].EXT, ... with Zantrel's cutting\n"
         "tool, exactly as the Zantrel window does. Every piece starts on the frame at its\n"
         "cut time.\n"
         "\n"
         "How to cut (one of):\n"
         "  --parts N        N pieces of equal whole seconds; the last takes the rest\n"
         "  --every S        a piece every S whole seconds; the last takes the rest\n"
         "  --at T1,T2,...   cut at these times: seconds (90, 12.5) or H:MM:SS.mmm\n"
         "                   (1:02:03.250); times at or past a file's end are dropped\n"
         "\n"
         "Where the pieces go:\n"
         "  --out DIR        into DIR (created when missing)\n"
         "  --beside         beside each FILE\n"
         "                   (neither: the ZantrelOutput folder in your Videos folder)\n"
         "  --replace        replace pieces that exist already; without it a FILE whose\n"
         "                   pieces exist is skipped\n"
         "\n"
         "Running:\n"
         "  --jobs K         cut up to K files at once (default 1); the pieces of one\n"
         "                   file are cut in order\n"
         "  --dry-run        print the plan (piece, start, length, name); cut nothing\n"
         "  --json           print one JSON object per piece on standard output, with\n"
         "                   source, piece, name, start_s, length_s, outcome, method\n"
         "  --quiet          print only failures on standard error\n"
         "  --help           this text\n"
         "\n"
         "Progress goes to standard error: one line per piece, and a live bar when it\n"
         "is a terminal. Ctrl+C stops the running pieces cleanly (nothing partial is\n"
         "left) and exits with 130.\n"
         "\n"
         "Exit status: 0 every piece written; 1 some piece or file failed (each is\n"
         "listed with its reason); 2 bad arguments; 130 stopped by Ctrl+C.\n";
}

bool ParseOptions(const std::vector<std::string>& args, Options* out, std::string* error) {
  Options o;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      o.files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h") {
      o.help = true;
      continue;
    }
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    const OptionSpec* spec = nullptr;
    for (const OptionSpec& s : kOptions)
      if (name == s.name) spec = &s;
    if (!spec) {
      *error = "unknown option '" + name + "'";
      return false;
    }
    std::string value;
    if (spec->arg == Arg::kValue) {
      if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        *error = name + " needs a value";
        return false;
      }
    } else if (eq != std::string::npos) {
      *error = name + " takes no value";
      return false;
    }
    if (!Apply(name, value, &o, error)) return false;
  }
  if (o.help) {
    *out = std::move(o);
    return true;
  }
  if (o.mode == CutMode::kNone) {
    *error = "say how to cut: --parts N, --every S or --at T1,T2,...";
    return false;
  }
  if (o.beside && !o.outDir.empty()) {
    *error = "--out and --beside exclude each other";
    return false;
  }
  if (o.files.empty()) {
    *error = "no file to cut";
    return false;
  }
  *out = std::move(o);
  return true;
}

bool ParseTimeUs(const std::string& text, std::int64_t* us) {
  // Up to three fields: [[H:]M:]S, each below 60 when a higher one precedes.
  std::vector<std::string> fields;
  std::size_t from = 0;
  while (true) {
    const std::size_t colon = text.find(':', from);
    fields.push_back(text.substr(from, colon == std::string::npos ? colon : colon - from));
    if (colon == std::string::npos) break;
    from = colon + 1;
  }
  if (fields.size() > 3) return false;
  std::int64_t seconds = 0;
  if (!ParseSecondsField(fields.back(), fields.size() > 1 ? 60 : 0, &seconds)) return false;
  std::int64_t higher = 0;
  for (std::size_t i = 0; i + 1 < fields.size(); ++i) {
    std::int64_t v;
    if (!ParseCount(fields[i], &v)) return false;
    // Minutes after hours are below 60; the first field may be any size.
    if (i > 0 && v >= 60) return false;
    higher = higher * 60 + v;
    if (higher > kMaxSeconds) return false;
  }
  const std::int64_t total = higher * 60 * kUsPerSecond + seconds;
  if (total > kMaxSeconds * kUsPerSecond) return false;
  *us = total;
  return true;
}

std::string SecondsText(std::int64_t us) {
  if (us < 0) return "-" + SecondsText(-us);
  std::string s = std::to_string(us / kUsPerSecond);
  std::int64_t frac = us % kUsPerSecond;
  if (frac == 0) return s;
  std::string digits = Pad(frac, 6);
  while (digits.back() == '0') digits.pop_back();
  return s + "." + digits;
}

std::string ClockText(std::int64_t us) {
  if (us < 0) us = 0;
  const std::int64_t secs = us / kUsPerSecond;
  const std::int64_t frac = us % kUsPerSecond;
  std::string s = std::to_string(secs / 3600) + ":" + Pad(secs / 60 % 60, 2) + ":" + Pad(secs % 60, 2);
  if (frac == 0) return s;
  if (frac % 1000 == 0) return s + "." + Pad(frac / 1000, 3);
  return s + "." + Pad(frac, 6);
}

}  // namespace zantrel::cli
