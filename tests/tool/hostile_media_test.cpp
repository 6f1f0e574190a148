// The tool on hostile media: files made at test time from the generated
// clips of every kind by bit flips, truncations and spliced headers, each
// probed and cut with a time bound. None may end the tool by a signal or
// hang it; an unusable file gives one line of the tool's own and a non-zero
// exit, and never a file under the piece's name.
//
// ZANTREL_HOSTILE_FILES sets how many files (100 by default, quick enough
// for CI; 1000 or more for a one-off run), ZANTREL_HOSTILE_SEED the seed,
// ZANTREL_HOSTILE_TIMEOUT the bound per run in seconds (60).
// ZANTREL_TOOL_UNDER_TEST runs a sanitizer build of the tool instead; a
// sanitizer report then counts as a finding.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "tool_test_support.h"

namespace zantrel::tooltest {
namespace {

long EnvNumber(const char* name, long fallback) {
  const char* v = getenv(name);
  if (v == nullptr || *v == '\0') return fallback;
  char* end = nullptr;
  const long n = std::strtol(v, &end, 10);
  return (*end == '\0' && n > 0) ? n : fallback;
}

struct Outcome {
  ToolResult result;
  bool hung = false;
  double seconds = 0;
};

// Runs the tool, killing it once it passes the bound.
Outcome RunBounded(const std::vector<std::string>& args, int boundSeconds) {
  const auto start = std::chrono::steady_clock::now();
  ToolProcess p(args);
  Outcome o;
  while (p.Running()) {
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(boundSeconds)) {
      kill(p.pid(), SIGKILL);
      o.hung = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  o.result = p.Wait();
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return o;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    if (!l.empty()) lines.push_back(l);
  return lines;
}

bool SanitizerReport(const std::string& out) {
  return out.find("Sanitizer") != std::string::npos || out.find("runtime error:") != std::string::npos;
}

// One mutated file: how it was made, for the failure messages.
struct Mutant {
  std::string bytes;
  std::string how;
};

Mutant Mutate(const std::vector<std::pair<std::string, std::string>>& sources, std::mt19937& rng) {
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  const auto& [name, original] = sources[pick(sources.size())];
  Mutant m{original, name};
  switch (pick(4)) {
    case 0: {  // bit flips, more of them near the headers
      const std::size_t flips = 1 + pick(64);
      const std::size_t span = pick(2) ? std::min<std::size_t>(m.bytes.size(), 4096) : m.bytes.size();
      for (std::size_t i = 0; i < flips; ++i) m.bytes[pick(span)] ^= static_cast<char>(1u << pick(8));
      m.how += " flip x" + std::to_string(flips) + " in " + std::to_string(span);
      break;
    }
    case 1: {  // truncated anywhere, often early
      const std::size_t len = pick(2) ? pick(std::min<std::size_t>(m.bytes.size(), 8192)) : pick(m.bytes.size());
      m.bytes.resize(len);
      m.how += " cut to " + std::to_string(len);
      break;
    }
    case 2: {  // another kind's header spliced onto this body
      const auto& other = sources[pick(sources.size())];
      const std::size_t head = 1 + pick(std::min<std::size_t>(other.second.size(), 16384));
      const std::size_t from = pick(m.bytes.size());
      m.bytes = other.second.substr(0, head) + m.bytes.substr(from);
      m.how += " with " + other.first + " head " + std::to_string(head) + " at " + std::to_string(from);
      break;
    }
    default: {  // a run of bytes overwritten, a chunk repeated
      const std::size_t at = pick(m.bytes.size());
      const std::size_t len = 1 + pick(std::min<std::size_t>(m.bytes.size() - at, 2048));
      if (pick(2)) {
        for (std::size_t i = at; i < at + len; ++i) m.bytes[i] = static_cast<char>(pick(2) ? 0xFF : 0x00);
        m.how += " filled " + std::to_string(len) + " at " + std::to_string(at);
      } else {
        m.bytes.insert(at, m.bytes.substr(at, len));
        m.how += " repeated " + std::to_string(len) + " at " + std::to_string(at);
      }
    }
  }
  return m;
}

TEST(HostileMedia, MutatedFilesNeverCrashOrHangTheProbeOrTheCut) {
  const long files = EnvNumber("ZANTREL_HOSTILE_FILES", 100);
  const long seed = EnvNumber("ZANTREL_HOSTILE_SEED", 16);
  const int bound = static_cast<int>(EnvNumber("ZANTREL_HOSTILE_TIMEOUT", 60));
  std::vector<std::pair<std::string, std::string>> sources;
  for (const char* name : {"flv_h264", "flv_flv1", "mp4_h264", "3gp_h263", "avi_mpeg4", "flv_nodur"}) {
    const Clip& clip = GetClip(name);
    ASSERT_FALSE(clip.path.empty()) << name;
    sources.emplace_back(clip.ext, ReadFileBytes(clip.path));
  }
  std::mt19937 rng(static_cast<unsigned>(seed));
  TempDir dir;
  std::map<std::string, int> counts;
  double slowest = 0;
  for (long i = 0; i < files; ++i) {
    const Mutant m = Mutate(sources, rng);
    // Named like a source of its first kind, so the cut picks that form.
    const std::string ext = m.how.substr(0, m.how.find(' '));
    const std::string src = dir.File("m" + std::to_string(i) + "." + ext);
    WriteFileBytes(src, m.bytes);
    const std::string out = dir.File("piece" + std::to_string(i) + "." + ext);
    const std::string what = "file " + std::to_string(i) + " (" + m.how + ")";

    for (int run = 0; run < 2; ++run) {
      const bool cut = run == 1;
      const Outcome o = cut ? RunBounded(CutArgs(src, 1, 1, out), bound)
                            : RunBounded({"-i", src, "20", "4", "80"}, bound);
      const std::string form = cut ? "cut" : "probe";
      slowest = std::max(slowest, o.seconds);
      const auto lines = Lines(o.result.output);
      EXPECT_FALSE(o.hung) << form << " of " << what << " ran past " << bound << " s";
      EXPECT_EQ(o.result.signal, 0) << form << " of " << what << " ended by signal " << o.result.signal
                                    << "\n" << o.result.output;
      EXPECT_FALSE(SanitizerReport(o.result.output)) << form << " of " << what << "\n" << o.result.output;
      if (o.hung) ++counts[form + " hung"];
      if (o.result.signal != 0) ++counts[form + " signal"];
      if (SanitizerReport(o.result.output)) ++counts[form + " sanitizer"];
      if (o.result.exitCode == 0) {
        ++counts[form + " ok"];
        if (cut) {
          EXPECT_TRUE(FileExists(out)) << what;
        }
        continue;
      }
      if (o.result.exitCode > 0) ++counts[form + " refused"];
      // The tool's own words: one error line, the last one. Lines that say
      // which way a piece is cut, or what the tool assumed, are news, not errors.
      const auto news = [](const std::string& l) {
        return l.rfind("ZantrelCore: smart cut", 0) == 0 || l.rfind("ZantrelCore: full re-encode", 0) == 0 ||
               l.rfind("ZantrelCore: note:", 0) == 0;
      };
      int own = 0;
      for (const auto& l : lines) own += l.rfind("ZantrelCore: ", 0) == 0 && !news(l);
      EXPECT_EQ(own, 1) << form << " of " << what << "\n" << o.result.output;
      EXPECT_TRUE(!lines.empty() && lines.back().rfind("ZantrelCore: ", 0) == 0)
          << form << " of " << what << "\n" << o.result.output;
      if (lines.size() > 1) ++counts[form + " refused with library lines"];
      if (cut) {
        EXPECT_FALSE(FileExists(out)) << what;
      }
    }
    std::remove(out.c_str());
    std::remove(src.c_str());
    if ((i + 1) % 50 == 0) {
      // Running figures, so a long one-off run that is stopped still tells.
      std::printf("  %ld files done:", i + 1);
      for (const auto& [k, v] : counts) std::printf(" %s=%d;", k.c_str(), v);
      std::printf("\n");
      std::fflush(stdout);
    }
  }
  for (const auto& name : dir.List()) ADD_FAILURE() << "left behind: " << name;
  std::ostringstream summary;
  summary << files << " files, seed " << seed << ", slowest run " << slowest << " s:";
  for (const auto& [k, v] : counts) summary << " " << k << "=" << v << ";";
  std::printf("%s\n", summary.str().c_str());
  RecordProperty("summary", summary.str());
}

}  // namespace
}  // namespace zantrel::tooltest
