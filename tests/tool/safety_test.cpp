// What the tool must never do: overwrite without -y, write its own input,
// leave a half-written file under the final name, crash or hang on bad
// input; and its progress reports through the real channel.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/progress_channel.h"
#include "platform/tool_args.h"
#include "tool_test_support.h"

namespace zantrel::tooltest {
namespace {

bool HasTempFile(const TempDir& dir) {
  for (const std::string& name : dir.List())
    if (name.find(".part-") != std::string::npos) return true;
  return false;
}

// Waits (without a deadline that could fail the test: the tool is bound to
// either create its temporary file or end) until the run writes its piece.
bool WaitForTempFile(ToolProcess* p, const TempDir& dir) {
  while (p->Running()) {
    if (HasTempFile(dir)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

// A source long enough that a cut is still running when the test acts.
const std::string& LongClip() {
  static TempDir dir;
  static std::string path;
  if (path.empty()) {
    path = dir.File("long.mp4");
    if (!RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=s=640x480:r=25:d=20", "-f", "lavfi", "-i", "sine=d=20",
                    "-c:v", "libx264", "-preset", "ultrafast", "-g", "50", "-c:a", "aac", path}))
      path.clear();
  }
  return path;
}

TEST(Overwrite, ExistingOutputNeedsY) {
  const Clip& clip = GetClip("flv_h264");
  ASSERT_FALSE(clip.path.empty());
  TempDir dir;
  const std::string out = dir.File("piece.mp4");
  WriteFileBytes(out, "keep me");
  ToolResult r = RunTool(CutArgs(clip.path, 1, 1, out, /*overwrite=*/false));
  EXPECT_EQ(r.exitCode, zantrel::tool_args::kExitTargetExists);
  EXPECT_NE(r.output.find("exists"), std::string::npos) << r.output;
  EXPECT_EQ(ReadFileBytes(out), "keep me");
  EXPECT_EQ(dir.List().size(), 1u);

  r = RunTool(CutArgs(clip.path, 1, 1, out, /*overwrite=*/true));
  EXPECT_EQ(r.exitCode, 0) << r.output;
  // How it was made, in a line for the program; the last line is for people.
  EXPECT_NE(("\n" + r.output).find(std::string("\n") + zantrel::tool_args::kResultTag), std::string::npos) << r.output;
  std::string last = r.output.substr(0, r.output.find_last_not_of('\n') + 1);
  last = last.substr(last.rfind('\n') + 1);
  EXPECT_EQ(last.rfind("ZantrelCore: ", 0), 0u) << r.output;
  PieceFacts p = ReadPiece(out);
  ASSERT_FALSE(p.frameIndices.empty());
  EXPECT_EQ(p.frameIndices.front(), 25);
}

TEST(Overwrite, NeverWritesItsOwnInput) {
  TempDir dir;
  const std::string src = dir.File("src.flv");
  WriteFileBytes(src, ReadFileBytes(GetClip("flv_h264").path));
  const std::string before = ReadFileBytes(src);
  ASSERT_FALSE(before.empty());
  ASSERT_EQ(symlink(src.c_str(), dir.File("alias.flv").c_str()), 0);
  ASSERT_EQ(link(src.c_str(), dir.File("hard.flv").c_str()), 0);
  for (const std::string& out : {src, dir.File("alias.flv"), dir.File("hard.flv"), dir.path() + "/./src.flv"}) {
    ToolResult r = RunTool(CutArgs(src, 1, 1, out, /*overwrite=*/true));
    EXPECT_NE(r.exitCode, 0) << out;
    EXPECT_NE(r.output.find("input"), std::string::npos) << r.output;
    EXPECT_EQ(ReadFileBytes(src), before);
  }
  EXPECT_FALSE(HasTempFile(dir));
}

// The flush before the rename fails (the storage lost what was written):
// the piece must not get its final name.
TEST(Overwrite, FailedFlushKeepsNoPiece) {
  const Clip& clip = GetClip("mp4_h264");
  ASSERT_FALSE(clip.path.empty());
  TempDir dir;
  const std::string out = dir.File("piece.mp4");
  const ToolResult r = RunTool(CutArgs(clip.path, 1, 2, out), {"LD_PRELOAD=" ZANTREL_FSYNC_FAILS});
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("Input/output error"), std::string::npos) << r.output;
  EXPECT_TRUE(dir.List().empty()) << "a piece or its temporary file was left";
}

TEST(BadInput, TruncatedZeroAndRandomFilesFailCleanly) {
  TempDir dir;
  const std::string flv = ReadFileBytes(GetClip("flv_h264").path);
  const std::string mp4 = ReadFileBytes(GetClip("mp4_h264").path);
  WriteFileBytes(dir.File("half.flv"), flv.substr(0, flv.size() / 2));
  WriteFileBytes(dir.File("half.mp4"), mp4.substr(0, mp4.size() / 2));
  WriteFileBytes(dir.File("zero.flv"), "");
  std::string random(200 * 1024, '\0');
  unsigned state = 99;
  for (char& c : random) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
  WriteFileBytes(dir.File("random.avi"), random);
  // A header that promises more than the file holds, damaged in the middle.
  std::string damaged = flv;
  for (std::size_t i = damaged.size() / 3; i < damaged.size() / 3 + 4000; ++i) damaged[i] = '\x55';
  WriteFileBytes(dir.File("damaged.flv"), damaged.substr(0, damaged.size() / 2));

  TempDir outDir;
  int n = 0;
  for (const char* name : {"half.flv", "half.mp4", "zero.flv", "random.avi", "damaged.flv"}) {
    // The half FLVs still hold their first three seconds; the cut asks for
    // seconds 1 to 5, which run past their end.
    const std::string out = outDir.File("o" + std::to_string(n++) + ".flv");
    ToolResult r = RunTool(CutArgs(dir.File(name), 1, 4, out));
    EXPECT_NE(r.exitCode, 0) << name << "\n" << r.output;
    EXPECT_EQ(r.signal, 0) << name;
    EXPECT_NE(r.output.find("ZantrelCore: "), std::string::npos) << name;
  }
  EXPECT_TRUE(outDir.List().empty());
}

TEST(Signals, StopAndContinueMidCutGivesACorrectPiece) {
  const Clip& clip = GetClip("mp4_h264");
  ASSERT_FALSE(clip.path.empty());
  TempDir dir;
  const std::string out = dir.File("paused.mp4");
  ToolProcess p(CutArgs(clip.path, 2, 3, out));
  for (int i = 0; i < 5 && p.Running(); ++i) {
    kill(p.pid(), SIGSTOP);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    kill(p.pid(), SIGCONT);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ToolResult r = p.Wait();
  ASSERT_EQ(r.exitCode, 0) << r.output;
  PieceFacts piece = ReadPiece(out);
  ASSERT_EQ(piece.frameIndices.size(), 75u);
  EXPECT_EQ(piece.frameIndices.front(), 50);
  EXPECT_EQ(piece.frameIndices.back(), 124);
}

TEST(Signals, KilledCutLeavesNoFileUnderTheFinalName) {
  const std::string& src = LongClip();
  ASSERT_FALSE(src.empty());
  TempDir dir;
  const std::string out = dir.File("killed.mp4");
  ToolProcess p(CutArgs(src, 2, 15, out));
  if (!WaitForTempFile(&p, dir)) GTEST_SKIP() << "the cut ended before it could be interrupted";
  kill(p.pid(), SIGSTOP);
  ASSERT_TRUE(p.Running());
  kill(p.pid(), SIGKILL);
  ToolResult r = p.Wait();
  EXPECT_EQ(r.signal, SIGKILL);
  EXPECT_FALSE(FileExists(out));
}

TEST(Signals, TerminatedCutRemovesItsTemporaryFile) {
  const std::string& src = LongClip();
  ASSERT_FALSE(src.empty());
  for (int sig : {SIGTERM, SIGINT}) {
    TempDir dir;
    const std::string out = dir.File("stopped.mp4");
    ToolProcess p(CutArgs(src, 2, 15, out));
    if (!WaitForTempFile(&p, dir)) GTEST_SKIP() << "the cut ended before it could be interrupted";
    kill(p.pid(), SIGSTOP);
    ASSERT_TRUE(p.Running());
    kill(p.pid(), sig);
    kill(p.pid(), SIGCONT);
    ToolResult r = p.Wait();
    EXPECT_EQ(r.signal, sig);
    EXPECT_TRUE(dir.List().empty()) << "signal " << sig;
  }
}

TEST(Progress, BlocksReachTheProgramFromZeroTo100) {
  const Clip& clip = GetClip("flv_h264");
  ASSERT_FALSE(clip.path.empty());
  ProgressChannelServer server;
  std::string error;
  ASSERT_TRUE(server.Listen(&error)) << error;
  TempDir dir;
  std::vector<int> seen;
  auto handler = [&](const std::uint8_t* data, std::size_t size) {
    std::int32_t percent = -1;
    if (ReadProgressPercent(data, size, &percent)) seen.push_back(percent);
  };
  for (int run = 0; run < 2; ++run) {
    seen.clear();
    const std::string out = dir.File("p" + std::to_string(run) + ".flv");
    ToolProcess p(CutArgs(clip.path, 1, 4, out), {server.EnvironmentEntry()});
    while (p.Running()) {
      std::vector<pollfd> fds;
      for (int fd : server.WatchedFds()) fds.push_back({fd, POLLIN, 0});
      poll(fds.data(), fds.size(), 20);
      server.Poll(handler);
    }
    ToolResult r = p.Wait();
    while (server.Poll(handler)) {
    }
    server.Poll(handler);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 100), 1);
  }
}

TEST(Progress, WithoutTheVariableTheCutIsSilent) {
  const Clip& clip = GetClip("flv_h264");
  ASSERT_FALSE(clip.path.empty());
  TempDir dir;
  ToolResult r = RunTool(CutArgs(clip.path, 1, 1, dir.File("q.flv")),
                         {std::string(kProgressEnvVar) + "=" + dir.File("no-such-socket")});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  // Only the line that says which way the piece was cut.
  EXPECT_EQ(r.output.rfind("ZantrelCore: smart cut: ", 0), 0u) << r.output;
  EXPECT_EQ(r.output.find('\n'), r.output.size() - 1) << r.output;
}

// A failed cut says why in its exit code, the one thing the program reads.
TEST(ExitCodes, EachRefusalHasItsCode) {
  using namespace zantrel::tool_args;
  const Clip& clip = GetClip("mp4_h264");
  ASSERT_FALSE(clip.path.empty());
  TempDir dir;
  WriteFileBytes(dir.File("text.mp4"), "not a video at all, only words");
  struct Case {
    std::string source;
    int start, length;
    int code;
  };
  const Case cases[] = {
      {dir.File("missing.mp4"), 0, 1, kExitSourceUnreadable},
      {dir.File("text.mp4"), 0, 1, kExitSourceUnreadable},
      {clip.path, 1, 0, kExitEmpty},
      {clip.path, 1, 1, kExitWritten},
  };
  for (const Case& c : cases) {
    const ToolResult r = RunTool(CutArgs(c.source, c.start, c.length, dir.File("out.mp4"), true));
    EXPECT_EQ(r.exitCode, c.code) << c.source << "\n" << r.output;
  }
}

}  // namespace
}  // namespace zantrel::tooltest
