#include "tool/args.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "platform/tool_args.h"

namespace zantrel::tool {
namespace {

bool ParseInteger(const std::string& text, long long* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  *value = v;
  return true;
}

bool IsNumber(const std::string& text) {
  long long unused;
  return ParseInteger(text, &unused);
}

int Clamp(long long v, int lo, int hi) {
  return static_cast<int>(std::clamp<long long>(v, lo, hi));
}

}  // namespace

bool ParseSeconds(const std::string& text, long long maxSeconds, long long* microseconds) {
  // By hand rather than strtod: a double cannot hold every microsecond of a
  // long source exactly, and the boundary two pieces share must be exact.
  long long whole = 0, fraction = 0;
  std::size_t i = 0, digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    whole = whole * 10 + (text[i] - '0');
    if (whole > maxSeconds) return false;
  }
  if (digits == 0) return false;
  if (i < text.size()) {
    if (text[i] != '.') return false;
    std::size_t decimals = 0;
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++decimals) {
      if (decimals == 6) return false;
      fraction = fraction * 10 + (text[i] - '0');
    }
    if (decimals == 0 || i != text.size()) return false;
    for (; decimals < 6; ++decimals) fraction *= 10;
  }
  if (whole == maxSeconds && fraction > 0) return false;
  *microseconds = whole * 1000000 + fraction;
  return true;
}

bool ParseBitRate(const std::string& text, long long* bitsPerSecond) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || end == text.c_str() || !std::isfinite(v) || v <= 0) return false;
  std::string suffix(end);
  double scale = 1;
  if (suffix == "k" || suffix == "K") scale = 1000;
  else if (suffix == "m" || suffix == "M") scale = 1000000;
  else if (!suffix.empty()) return false;
  double bps = v * scale;
  if (bps > 1e9) return false;
  *bitsPerSecond = std::llround(bps);
  return true;
}

bool ParseArgs(const std::vector<std::string>& args, ToolArgs* out, std::string* error) {
  ToolArgs a;
  std::vector<std::string> bare;
  auto needValue = [&](std::size_t i) {
    if (i + 1 >= args.size()) {
      *error = "option " + args[i] + " needs a value";
      return false;
    }
    return true;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h" || arg == "-help") {
      a.help = true;
    } else if (arg == "-y") {
      a.overwrite = true;
    } else if (arg == "-i") {
      if (!needValue(i)) return false;
      if (!a.input.empty()) {
        *error = "only one input (-i) is supported";
        return false;
      }
      a.input = args[++i];
      if (a.input.empty()) {
        *error = "the input path is empty";
        return false;
      }
    } else if (arg == "-ss" || arg == "-t") {
      if (!needValue(i)) return false;
      long long v;
      // Up to about 31 years: far beyond any source, and no overflow later.
      if (!ParseSeconds(args[i + 1], 1000000000, &v)) {
        *error = "option " + arg + " needs seconds (up to 6 decimals), got '" + args[i + 1] + "'";
        return false;
      }
      (arg == "-ss" ? a.startUs : a.lengthUs) = v;
      ++i;
    } else if (arg == "-ar" || arg == "-ac") {
      if (!needValue(i)) return false;
      long long v;
      long long hi = arg == "-ar" ? 384000 : 8;
      if (!ParseInteger(args[i + 1], &v) || v <= 0 || v > hi) {
        *error = "option " + arg + " has a bad value '" + args[i + 1] + "'";
        return false;
      }
      (arg == "-ar" ? a.sampleRate : a.channels) = static_cast<int>(v);
      ++i;
    } else if (arg == "-ab" || arg == "-b:a") {
      if (!needValue(i)) return false;
      long long v;
      if (!ParseBitRate(args[i + 1], &v)) {
        *error = "option " + arg + " has a bad bit rate '" + args[i + 1] + "'";
        return false;
      }
      a.audioBitRate = v;
      ++i;
    } else if (arg.size() > 1 && arg[0] == '-' && !IsNumber(arg)) {
      *error = "unknown option '" + arg + "'";
      return false;
    } else {
      bare.push_back(arg);
    }
  }
  // The first bare word that is not a number is the output; numbers are the
  // trailing tuning values. A numeric output name is not supported: the
  // command forms always give a path with an extension.
  for (const std::string& word : bare) {
    long long v;
    if (ParseInteger(word, &v)) {
      a.trailing.push_back(v);
    } else if (a.output.empty()) {
      a.output = word;
    } else {
      *error = "more than one output path ('" + a.output + "', '" + word + "')";
      return false;
    }
  }
  if (!a.help && a.input.empty()) {
    *error = "no input given (-i <path>)";
    return false;
  }
  *out = std::move(a);
  return true;
}

ProbeTuning ProbeTuningFrom(const ToolArgs& args) {
  ProbeTuning t;
  using namespace tool_args;
  const auto& n = args.trailing;
  if (n.size() > kProbeAnalyse) t.analyseTenths = Clamp(n[kProbeAnalyse], 1, 600);
  if (n.size() > kProbeStreams) t.maxStreams = Clamp(n[kProbeStreams], 1, 64);
  if (n.size() > kProbeTail) t.tailKiB = Clamp(n[kProbeTail], 4, 65536);
  return t;
}

CutTuning CutTuningFrom(const ToolArgs& args) {
  CutTuning t;
  using namespace tool_args;
  const auto& n = args.trailing;
  if (n.size() > kCutThreads) t.threads = Clamp(n[kCutThreads], 0, 64);
  if (n.size() > kCutScale) t.progressTop = Clamp(n[kCutScale], 1, 1000000);
  if (n.size() > kCutQuality) t.quality = Clamp(n[kCutQuality], 0, 100);
  if (n.size() > kCutSmart) t.smart = n[kCutSmart] != 0;
  return t;
}

std::string UsageText() {
  return
      "Usage:\n"
      "  ZantrelCore -i <source> [<analyse> <streams> <tail>]\n"
      "      Probe: print a summary of the source, with its Duration line, on\n"
      "      standard error, and exit 0 (non-zero when the source cannot be read).\n"
      "        <analyse>  tenths of a second of media examined for the stream\n"
      "                   parameters (default 20 = 2 s; 1..600)\n"
      "        <streams>  the most streams described in the summary (default 4)\n"
      "        <tail>     KiB read from the end of the file at first when the\n"
      "                   container does not state its duration (default 80;\n"
      "                   doubled until packets are found)\n"
      "\n"
      "  ZantrelCore -i <source> [-ss <S>] [-t <T>] [-y] [-ar <Hz>] [-ac <n>]\n"
      "              [-ab <rate>] <output> [<threads> <scale> <quality> <smart>]\n"
      "      Cut: write the piece [S, S+T) of the source to <output>, frame-exact.\n"
      "      The container follows the output's extension (3gp: H.264\n"
      "      or H.263 with AMR-NB 8 kHz mono; flv: H.264 or Sorenson H.263 with MP3\n"
      "      or AAC; others: the source's codecs where the container carries them).\n"
      "        -ss <S>    start in seconds, up to 6 decimals (\"12\", \"3.4\",\n"
      "                   \"3.400000\"; default 0); the piece starts on the\n"
      "                   first frame at or after S\n"
      "        -t <T>     length in seconds, up to 6 decimals, more than 0\n"
      "                   (default: to the end); the piece ends before S + T,\n"
      "                   counted in whole microseconds, where the next piece\n"
      "                   starts. A window that holds no frame writes nothing\n"
      "                   (\"holds no picture\")\n"
      "        -y         replace an existing output file\n"
      "        -ar, -ac, -ab  audio sample rate, channel count, bit rate\n"
      "        <threads>  the most threads the video encoder may use, capped at\n"
      "                   the number of CPUs (default 6; 0 = automatic); the\n"
      "                   video decoder uses at most 2, the audio codecs 1\n"
      "        <scale>    progress scale: the run reports 0..<scale> through the\n"
      "                   progress channel (default 100, i.e. percent)\n"
      "        <quality>  0..100; 100 (default) is visually lossless (x264 and\n"
      "                   x265 crf 18, preset veryfast; qscale 2); each step down\n"
      "                   raises crf by 0.33 / qscale by 0.29\n"
      "        <smart>    1 (default): smart cut where it is sound, 0: always the\n"
      "                   full re-encode\n"
      "      Two ways, chosen per piece and named on standard error:\n"
      "        smart cut   for H.264 from MP4, MOV, 3GP, FLV or Matroska into a\n"
      "                    form that keeps H.264 (mp4, mov, 3gp, flv, mkv), 8-bit\n"
      "                    4:2:0 progressive, Baseline/Main/High: the frames\n"
      "                    before the first clean key frame (IDR) at or after S\n"
      "                    and, where B-frames demand it, those of the last group\n"
      "                    before the end are re-encoded with x264 matched to the\n"
      "                    source; every other packet is copied as it stands.\n"
      "                    HEVC from MP4, MOV or Matroska into mp4, mov or mkv\n"
      "                    likewise, with x265 matched to the source (profile,\n"
      "                    level, bit depth, chroma); copied IRAP pictures get\n"
      "                    the source's parameter sets in front (track hev1).\n"
      "                    Also for Sorenson H.263 in FLV into flv, H.263 in\n"
      "                    3GP, MP4 or MOV into 3gp or mov, and MPEG-4\n"
      "                    Part 2 without B-frames in AVI into avi: the frames\n"
      "                    before the first key frame at or after S are\n"
      "                    re-encoded with the same codec at the full re-encode's\n"
      "                    quantiser, every later packet is copied.\n"
      "        full re-encode  every other source or form (VP6, WMV, MPEG-4 with\n"
      "                    B-frames, a form that changes the video codec, ...),\n"
      "                    and any piece whose smart cut fails its own strict\n"
      "                    decode at a seam.\n"
      "      Progress goes to the socket named by $ZANTREL_PROGRESS_SOCKET, if set.\n"
      "      $ZANTREL_TRACE_TIMES set: each phase's wall and CPU time on stderr.\n"
      "      The output is written under a temporary name in the output folder and\n"
      "      renamed into place only when complete.\n";
}

}  // namespace zantrel::tool
