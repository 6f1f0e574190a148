// Pieces of the cutting tool tested in-process: its progress arithmetic and
// its signal handling around the temporary output file.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/progress_channel.h"
#include "tool/args.h"
#include "tool/output_file.h"
#include "tool/progress_reporter.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::int32_t> Drain(zantrel::ProgressChannelServer& server) {
  std::vector<std::int32_t> got;
  for (int i = 0; i < 20; ++i) {
    std::vector<pollfd> p;
    for (int fd : server.WatchedFds()) p.push_back({fd, POLLIN, 0});
    if (poll(p.data(), p.size(), 50) <= 0 && i > 0) break;
    server.Poll([&](const std::uint8_t* d, std::size_t n) {
      std::int32_t v = 0;
      zantrel::ReadProgressPercent(d, n, &v);
      got.push_back(v);
    });
  }
  return got;
}

}  // namespace

// -ss and -t: whole seconds as before, or up to 6 decimals, as whole
// microseconds (S + T of one piece is exactly S of the next).
TEST(ToolArgs, TimesAreExactMicroseconds) {
  using zantrel::tool::ParseArgs;
  using zantrel::tool::ToolArgs;
  auto times = [](const std::string& ss, const std::string& t, ToolArgs* a) {
    std::string error;
    return ParseArgs({"-i", "in.mp4", "-ss", ss, "-t", t, "out.mp4", "6", "100", "100"}, a, &error);
  };
  ToolArgs a;
  ASSERT_TRUE(times("3", "17", &a));
  EXPECT_EQ(*a.startUs, 3000000);
  EXPECT_EQ(*a.lengthUs, 17000000);
  EXPECT_EQ(a.trailing, (std::vector<long long>{6, 100, 100}));
  ASSERT_TRUE(times("3.4", "0.000001", &a));
  EXPECT_EQ(*a.startUs, 3400000);
  EXPECT_EQ(*a.lengthUs, 1);
  // Exact where a double is not: 0.1 + 0.2 is the boundary 0.3 exactly.
  ASSERT_TRUE(times("1000000.1", "0.2", &a));
  EXPECT_EQ(*a.startUs + *a.lengthUs, 1000000300000);
  ASSERT_TRUE(times("1000000000", "0", &a));
  for (const char* bad : {"3.0000001", "-1", "+1", "1e3", ".5", "5.", "3,4", "0x10", "", " 3", "1000000000.5",
                          "99999999999999999999"})
    EXPECT_FALSE(times(bad, "1", &a)) << "'" << bad << "'";
}

TEST(ToolProgress, ScalingNeverOverflowsOnHugeTimes) {
  zantrel::ProgressChannelServer server;
  std::string error;
  ASSERT_TRUE(server.Listen(&error)) << error;
  setenv(zantrel::kProgressEnvVar, server.Address().c_str(), 1);
  {
    // The largest scale, and times far beyond any real clip: done x scale
    // is past 2^63 here.
    zantrel::tool::ProgressReporter reporter(1000000);
    reporter.Start();
    const std::int64_t total = 4000000000000000000;  // 4e18 us, and 4e24 once scaled
    reporter.Update(total / 4, total);
    reporter.Update(total / 2, total);
    reporter.Update(total, total);  // never the top before Finish
    reporter.Finish();
  }
  unsetenv(zantrel::kProgressEnvVar);
  const auto got = Drain(server);
  ASSERT_EQ(got.size(), 5u);
  EXPECT_EQ(got, (std::vector<std::int32_t>{0, 250000, 500000, 999999, 1000000}));
}

TEST(ToolOutputFile, IgnoredSignalsStayIgnoredAndHandlersComeBack) {
  char tmpl[] = "/tmp/zantrel-outfile-XXXXXX";
  const fs::path dir = mkdtemp(tmpl);
  // In a child: the dispositions are the whole process's.
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    signal(SIGINT, SIG_IGN);  // a background job of a script starts like this
    static int hits = 0;
    signal(SIGTERM, [](int) { ++hits; });
    struct sigaction before {};
    sigaction(SIGTERM, nullptr, &before);
    {
      zantrel::tool::TempOutput out((dir / "piece.mp4").string());
      std::string error;
      if (!out.Create(&error)) _exit(10);
      struct sigaction now {};
      sigaction(SIGINT, nullptr, &now);
      if (now.sa_handler != SIG_IGN) _exit(11);
      raise(SIGINT);  // ignored: we live on, the file stays
      if (!fs::exists(out.path())) _exit(12);
    }
    struct sigaction after {};
    sigaction(SIGTERM, nullptr, &after);
    if (after.sa_handler != before.sa_handler) _exit(13);
    raise(SIGTERM);
    _exit(hits == 1 ? 0 : 14);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(fs::is_empty(dir));  // the temporary file went with its object
  fs::remove_all(dir);
}

TEST(ToolOutputFile, CleanupSignalRemovesTheTemporaryFileAndEnds) {
  char tmpl[] = "/tmp/zantrel-outfile-XXXXXX";
  const fs::path dir = mkdtemp(tmpl);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    zantrel::tool::TempOutput out((dir / "piece.mp4").string());
    std::string error;
    if (!out.Create(&error)) _exit(10);
    raise(SIGTERM);
    _exit(20);  // not reached
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_TRUE(fs::is_empty(dir));
  fs::remove_all(dir);
}

// A source cut short or rewritten in place while it is read is caught; one
// unlinked was read whole through the open file and is not.
TEST(ToolSourceSnapshot, RewrittenInPlaceIsCaughtUnlinkedIsNot) {
  char tmpl[] = "/tmp/zantrel-snapshot-XXXXXX";
  const fs::path dir = mkdtemp(tmpl);
  const std::string src = (dir / "clip.flv").string();
  const auto write = [](const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  };
  write(src, std::string(4096, 'v'));
  std::string error;

  zantrel::tool::SourceSnapshot untouched;
  ASSERT_TRUE(untouched.Take(src));
  EXPECT_FALSE(untouched.ChangedSince(src, &error)) << error;
  // The stamp the program hands the tool: device, inode, size, time.
  const std::string stamp = untouched.Stamp();
  EXPECT_EQ(std::count(stamp.begin(), stamp.end(), ':'), 3) << stamp;
  EXPECT_NE(stamp.find(":4096:"), std::string::npos) << stamp;

  zantrel::tool::SourceSnapshot truncated;
  ASSERT_TRUE(truncated.Take(src));
  fs::resize_file(src, 1000);
  EXPECT_TRUE(truncated.ChangedSince(src, &error));
  EXPECT_NE(error.find("changed while it was being cut"), std::string::npos) << error;
  EXPECT_NE(error.find("4096"), std::string::npos) << error;

  // Same size, new contents: only the time tells. Set it apart explicitly,
  // since a coarse clock may give the write the same stamp.
  zantrel::tool::SourceSnapshot rewritten;
  ASSERT_TRUE(rewritten.Take(src));
  fs::last_write_time(src, fs::last_write_time(src) + std::chrono::seconds(5));
  EXPECT_TRUE(rewritten.ChangedSince(src, &error));

  zantrel::tool::SourceSnapshot unlinked;
  ASSERT_TRUE(unlinked.Take(src));
  fs::remove(src);
  EXPECT_FALSE(unlinked.ChangedSince(src, &error));

  zantrel::tool::SourceSnapshot none;
  EXPECT_FALSE(none.Take((dir / "missing").string()));
  EXPECT_FALSE(none.ChangedSince((dir / "missing").string(), &error));
  EXPECT_EQ(none.Stamp(), "");
  fs::remove_all(dir);
}
