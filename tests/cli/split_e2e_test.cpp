// The real zantrel-split from the program folder, with the real tool, on
// clips generated at test time.
#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>

#include "../common/ffmpeg_util.h"
#include "../common/test_util.h"

namespace {

using zantrel_test::ReadFile;
using zantrel_test::TempDir;
using zantrel_test::WriteFile;
namespace fs = std::filesystem;

const std::string kProgram = std::string(ZANTREL_BIN_DIR) + "/zantrel-split";

struct Result {
  int code = -1;
  std::string out, err;
};

// Starts the program in `cwd` as the leader of a new session (so the test
// can send its group the terminal's Ctrl+C), its output into two files.
pid_t Spawn(const std::vector<std::string>& args, const std::string& cwd, const std::string& outPath,
            const std::string& errPath, const std::vector<std::string>& env = {}) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  setsid();
  if (chdir(cwd.c_str()) != 0) _exit(127);
  const int in = open("/dev/null", O_RDONLY);
  const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
  std::vector<char*> argv{const_cast<char*>(kProgram.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(kProgram.c_str(), argv.data());
  _exit(127);
}

int ExitCode(pid_t pid) {
  int st = 0;
  if (waitpid(pid, &st, 0) != pid) return -1;
  return WIFEXITED(st) ? WEXITSTATUS(st) : 1000 + WTERMSIG(st);
}

Result RunSplit(const TempDir& dir, const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
  Result r;
  r.code = ExitCode(Spawn(args, dir.path(), dir / ".out", dir / ".err", env));
  r.out = ReadFile(dir / ".out");
  r.err = ReadFile(dir / ".err");
  return r;
}

// One JSON line of the program, flat: keys to values, strings decoded
// (\udcXX back to the byte XX), numbers as written, null as "null".
using Record = std::map<std::string, std::string>;

std::string ParseString(const std::string& s, std::size_t& i) {
  std::string v;
  for (++i; i < s.size() && s[i] != '"'; ++i) {
    if (s[i] != '\\') {
      v += s[i];
      continue;
    }
    const char e = s[++i];
    if (e == 'n') v += '\n';
    else if (e == 't') v += '\t';
    else if (e == 'u') {
      const unsigned cp = std::stoul(s.substr(i + 1, 4), nullptr, 16);
      i += 4;
      if (cp >= 0xDC80 && cp <= 0xDCFF) v += static_cast<char>(cp & 0xFF);
      else if (cp < 0x80) v += static_cast<char>(cp);
      else ADD_FAILURE() << "unexpected escape in " << s;
    } else v += e;
  }
  ++i;
  return v;
}

std::vector<Record> ParseJsonLines(const std::string& text) {
  std::vector<Record> records;
  std::size_t start = 0;
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
    const std::string s = text.substr(start, nl - start);
    Record r;
    std::size_t i = 0;
    EXPECT_EQ(s.front(), '{') << s;
    EXPECT_EQ(s.back(), '}') << s;
    while (++i < s.size() && s[i] == '"') {
      const std::string key = ParseString(s, i);
      EXPECT_EQ(s[i], ':') << s;
      ++i;
      if (s[i] == '"') {
        r[key] = ParseString(s, i);
      } else {
        const std::size_t end = s.find_first_of(",}", i);
        r[key] = s.substr(i, end - i);
        i = end;
      }
      if (s[i] != ',') break;
    }
    EXPECT_EQ(r.size(), 7u) << s;
    records.push_back(r);
  }
  return records;
}

double ProbeSeconds(const std::string& path) {
  const std::string cmd = "ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 '" + path + "'";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  char buf[64] = {};
  const bool got = fgets(buf, sizeof buf, p) != nullptr;
  pclose(p);
  return got ? std::atof(buf) : -1;
}

std::vector<std::string> Listing(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

bool HasTempFile(const std::string& dir) {
  for (const std::string& n : Listing(dir))
    if (n.find(".part-") != std::string::npos) return true;
  return false;
}

// A 7-second 25 fps H.264/AAC clip, made once.
const std::string& Clip() {
  static TempDir dir;
  static const std::string path = dir / "clip.mp4";
  static const bool made = zantrel_test::MakeToneClip(path, 7, "160x120");
  EXPECT_TRUE(made);
  return path;
}

TEST(CliSplit, ThreeModesCutWhatTheDryRunPlansAndTheJsonReadsBack) {
  TempDir dir;
  fs::copy_file(Clip(), dir / "clip.mp4");
  struct Case {
    std::vector<std::string> mode;
    std::vector<std::pair<double, double>> pieces;  // start, length
  };
  const Case cases[] = {
      {{"--parts", "3"}, {{0, 2}, {2, 2}, {4, 3}}},
      {{"--every", "3"}, {{0, 3}, {3, 3}, {6, 1}}},
      // 99 is past the end; 2.5 is cut exactly there.
      {{"--at", "5,2.5,99"}, {{0, 2.5}, {2.5, 2.5}, {5, 2}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode[0]);
    const std::string out = dir / c.mode[0].substr(2);
    std::vector<std::string> args = c.mode;
    args.insert(args.end(), {"--out", out, "--json", "clip.mp4"});

    std::vector<std::string> dry = args;
    dry.push_back("--dry-run");
    const Result plan = RunSplit(dir, dry);
    ASSERT_EQ(plan.code, 0) << plan.err;
    EXPECT_FALSE(fs::exists(out)) << "a dry run creates nothing";

    const Result cut = RunSplit(dir, args);
    ASSERT_EQ(cut.code, 0) << cut.err;
    const std::vector<Record> planned = ParseJsonLines(plan.out);
    const std::vector<Record> done = ParseJsonLines(cut.out);
    ASSERT_EQ(done.size(), c.pieces.size()) << cut.out;
    ASSERT_EQ(planned.size(), done.size());
    for (std::size_t k = 0; k < done.size(); ++k) {
      const Record& r = done[k];
      const std::string name = out + "/clip[" + std::to_string(k + 1) + "].mp4";
      EXPECT_EQ(r.at("source"), "clip.mp4");
      EXPECT_EQ(r.at("piece"), std::to_string(k + 1));
      EXPECT_EQ(r.at("name"), name);
      EXPECT_EQ(std::stod(r.at("start_s")), c.pieces[k].first);
      EXPECT_EQ(std::stod(r.at("length_s")), c.pieces[k].second);
      EXPECT_EQ(r.at("outcome"), "written");
      // H.264 in MP4 keeps its form: the tool's smart cut, as its result line says.
      EXPECT_EQ(r.at("method"), "smart");
      EXPECT_EQ(planned[k].at("outcome"), "planned");
      EXPECT_EQ(planned[k].at("method"), "null");
      for (const char* key : {"name", "start_s", "length_s"}) EXPECT_EQ(planned[k].at(key), r.at(key)) << key;
      EXPECT_NEAR(ProbeSeconds(name), c.pieces[k].second, 0.1) << name;
    }
    EXPECT_EQ(Listing(out).size(), c.pieces.size());
    EXPECT_EQ(cut.err.find("failed"), std::string::npos) << cut.err;
    if (c.mode[0] == "--at") {
      EXPECT_NE(cut.err.find("0:01:39 is at or past its end"), std::string::npos) << cut.err;
      EXPECT_EQ(cut.err.find("is cut at"), std::string::npos) << cut.err;
    }
  }
}

TEST(CliSplit, ManyFilesGoOnPastBadOnesAndNeverTouchExistingPiecesUnasked) {
  TempDir dir;
  fs::create_directories(dir / "in/sub");
  fs::copy_file(Clip(), dir / "in/a.mp4");
  fs::copy_file(Clip(), dir / "in/sub/b c.mp4");
  fs::copy_file(Clip(), dir / "in/sub/d.mp4");
  WriteFile(dir / "in/text.mp4", "not a video\n");
  WriteFile(dir / "in/sub/d[1].mp4", "precious");
  // A name that is not UTF-8 reaches JSON and comes back byte for byte.
  const std::string odd = "in/\xff\xfe.mp4";
  fs::copy_file(Clip(), dir / odd);

  const Result r = RunSplit(dir, {"--parts", "2", "--beside", "--jobs", "2", "--json", "in/a.mp4", "in/missing.mp4",
                             "in/sub/b c.mp4", "in/text.mp4", "in/sub/d.mp4", odd});
  EXPECT_EQ(r.code, 1) << r.err;
  // Each good file is cut beside itself; the bad ones are named with why.
  for (const char* piece : {"in/a[1].mp4", "in/a[2].mp4", "in/sub/b c[1].mp4", "in/sub/b c[2].mp4"})
    EXPECT_NEAR(ProbeSeconds(dir / piece), std::string(piece).find("[1]") != std::string::npos ? 3 : 4, 0.1)
        << piece;
  EXPECT_NE(r.err.find("in/missing.mp4: no such file"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("in/text.mp4: not a video"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("in/sub/d.mp4: skipped: 1 of its pieces exist already"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(dir / "in/sub/d[1].mp4"), "precious");
  EXPECT_FALSE(fs::exists(dir / "in/sub/d[2].mp4"));

  std::map<std::string, std::vector<Record>> bySource;
  for (const Record& rec : ParseJsonLines(r.out)) bySource[rec.at("source")].push_back(rec);
  ASSERT_EQ(bySource.size(), 6u) << r.out;
  EXPECT_EQ(bySource["in/missing.mp4"].at(0).at("outcome"), "missing");
  EXPECT_EQ(bySource["in/missing.mp4"].at(0).at("piece"), "null");
  EXPECT_EQ(bySource["in/text.mp4"].at(0).at("outcome"), "not_video");
  EXPECT_EQ(bySource["in/sub/d.mp4"].at(0).at("outcome"), "exists");
  EXPECT_EQ(bySource["in/sub/d.mp4"].at(1).at("outcome"), "skipped");
  ASSERT_EQ(bySource[odd].size(), 2u);
  EXPECT_EQ(bySource[odd][1].at("name"), "in/\xff\xfe[2].mp4");
  // Two files ran at once, yet each file's pieces come in order.
  for (const char* src : {"in/a.mp4", "in/sub/b c.mp4"}) {
    ASSERT_EQ(bySource[src].size(), 2u) << src;
    EXPECT_EQ(bySource[src][0].at("piece"), "1");
    EXPECT_EQ(bySource[src][1].at("outcome"), "written");
  }

  // Asked to, the existing piece is replaced; without --out or --beside the
  // pieces go to the Videos folder.
  const Result again = RunSplit(dir, {"--parts", "2", "--beside", "--replace", "--quiet", "in/sub/d.mp4"});
  EXPECT_EQ(again.code, 0) << again.err;
  EXPECT_EQ(again.err, "");
  EXPECT_NEAR(ProbeSeconds(dir / "in/sub/d[1].mp4"), 3, 0.1);
  const Result home = RunSplit(dir, {"--every", "5", "in/a.mp4"}, {"HOME=" + dir.path(), "XDG_CONFIG_HOME="});
  EXPECT_EQ(home.code, 0) << home.err;
  EXPECT_EQ(Listing(dir / "Videos/ZantrelOutput"), (std::vector<std::string>{"a[1].mp4", "a[2].mp4"}));
}

TEST(CliSplit, NoPieceLandsOnAFileBeingCutOrOnAnotherFilesPiece) {
  TempDir dir;
  fs::create_directories(dir / "sub");
  for (const char* name : {"x.mp4", "x[1].mp4", "sub/x.mp4"}) fs::copy_file(Clip(), dir / name);
  const std::string given = ReadFile(dir / "x[1].mp4");

  // x.mp4's first piece would be x[1].mp4, itself given to be cut: even
  // with --replace it stays as it is.
  const Result r = RunSplit(dir, {"--parts", "2", "--beside", "--replace", "x[1].mp4", "x.mp4"});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("x.mp4: skipped: one of its pieces would overwrite another file given"), std::string::npos)
      << r.err;
  EXPECT_TRUE(ReadFile(dir / "x[1].mp4") == given);
  EXPECT_TRUE(fs::exists(dir / "x[1][2].mp4"));
  EXPECT_FALSE(fs::exists(dir / "x[2].mp4"));

  // Two sources of one name into one folder: the second would take the
  // first one's names, and is refused.
  const Result same = RunSplit(dir, {"--parts", "2", "--out", "o", "--replace", "x.mp4", "sub/x.mp4"});
  EXPECT_EQ(same.code, 1) << same.err;
  EXPECT_NE(same.err.find("sub/x.mp4: skipped: its pieces would take the names"), std::string::npos) << same.err;
  EXPECT_EQ(Listing(dir / "o"), (std::vector<std::string>{"x[1].mp4", "x[2].mp4"}));
}

// Children of `pid` (over all its threads).
std::vector<pid_t> ChildrenOf(pid_t pid) {
  std::vector<pid_t> kids;
  const std::string task = "/proc/" + std::to_string(pid) + "/task";
  for (const std::string& tid : Listing(task)) {
    std::istringstream in(ReadFile(task + "/" + tid + "/children"));
    for (pid_t k; in >> k;) kids.push_back(k);
  }
  return kids;
}

TEST(CliSplit, CtrlCStopsTheRunningPieceCleanlyAndExits130) {
  TempDir dir;
  // MPEG-4 with B-frames takes the full re-encode: a piece that lasts.
  ASSERT_TRUE(zantrel_test::RunFfmpeg("-f lavfi -i testsrc2=size=640x480:rate=25:duration=20 -c:v mpeg4 -bf 2 "
                                      "-q:v 3 " + dir / "long.avi"));
  fs::copy_file(Clip(), dir / "clip.mp4");
  const std::string out = dir / "out";
  const pid_t pid = Spawn({"--parts", "2", "--json", "--out", out, "long.avi", "clip.mp4"}, dir.path(),
                          dir / ".out", dir / ".err");
  // Mid-piece: the tool is writing its temporary file.
  ASSERT_TRUE(zantrel_test::WaitUntil([&] { return HasTempFile(out); }, 60));
  std::vector<pid_t> tools = ChildrenOf(pid);
  ASSERT_EQ(tools.size(), 1u);
  // The tool leads a group of its own: the terminal's signal is not its.
  EXPECT_EQ(getpgid(tools[0]), tools[0]);
  EXPECT_EQ(getpgid(pid), pid);
  ASSERT_EQ(kill(-pid, SIGINT), 0);

  EXPECT_EQ(ExitCode(pid), 130);
  EXPECT_EQ(Listing(out), std::vector<std::string>{}) << "nothing partial, no temporary file";
  EXPECT_TRUE(zantrel_test::ProcessGone(tools[0]));
  const std::vector<Record> json = ParseJsonLines(ReadFile(dir / ".out"));
  ASSERT_EQ(json.size(), 2u);
  EXPECT_EQ(json[0].at("outcome"), "stopped");
  EXPECT_EQ(json[1].at("outcome"), "not_run");
  const std::string err = ReadFile(dir / ".err");
  EXPECT_NE(err.find("long.avi: piece 1/2 stopped"), std::string::npos) << err;
  EXPECT_NE(err.find("clip.mp4: not begun"), std::string::npos) << err;
  EXPECT_EQ(err.find("failed"), std::string::npos) << err;
}

TEST(CliSplit, BadArgumentsExit2WithTheUsageLineAndTouchNothing) {
  TempDir dir;
  fs::copy_file(Clip(), dir / "clip.mp4");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {},
           {"clip.mp4"},
           {"--parts", "3", "--at", "4", "clip.mp4"},
           {"--parts", "3", "--out", "o", "--beside", "clip.mp4"},
           {"--at", "1:75", "--out", "o", "clip.mp4"},
           {"--parts", "3", "--jobs", "99", "--out", "o", "clip.mp4"},
           {"--parts", "3", "--fast", "--out", "o", "clip.mp4"},
       }) {
    const Result r = RunSplit(dir, args);
    EXPECT_EQ(r.code, 2) << (args.empty() ? "" : args[0]);
    EXPECT_EQ(r.err.rfind("zantrel-split: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("\nusage: zantrel-split (--parts N | --every S | --at T1,T2,...)"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{".err", ".out", "clip.mp4"}));

  const Result help = RunSplit(dir, {"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.out.rfind("usage: zantrel-split", 0), 0u) << help.out;
  for (const char* option : {"--parts N", "--every S", "--at T1,T2", "--out DIR", "--beside", "--replace",
                             "--jobs K", "--dry-run", "--json", "--quiet", "130"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

}  // namespace
