#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <string>

#include "engine/probe.h"
#include "engine/probe_run.h"
#include "tests/common/test_util.h"
#include "platform/cmdline.h"

using namespace zantrel;
using zantrel_test::TempDir;

namespace {

// True when this process has no child left, neither running nor a zombie.
bool NoChildLeft() {
  int status;
  return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

}  // namespace

TEST(ParseProbeDuration, HoursMinutesSecondsFractionDropped) {
  EXPECT_EQ(ParseProbeDuration("Input #0\n  Duration: 01:02:03.50, start: 0.000000, bitrate: 1 kb/s\n"),
            3723);
  EXPECT_EQ(ParseProbeDuration("  Duration: 00:00:07.99, start: 0.000000\n"), 7);
  EXPECT_EQ(ParseProbeDuration("  Duration: 10:00:00.00, start: 0.000000\n"), 36000);
}

TEST(ParseProbeDuration, NothingUsableGivesZero) {
  EXPECT_EQ(ParseProbeDuration("  Duration: N/A, start: 0.000000, bitrate: N/A\n"), 0);
  EXPECT_EQ(ParseProbeDuration("no such line here\n"), 0);
  EXPECT_EQ(ParseProbeDuration(""), 0);
  EXPECT_EQ(ParseProbeDuration("  Duration: 00:00:00.40\n"), 0);  // under a second
}

TEST(ParseProbeDuration, LastDurationWins) {
  EXPECT_EQ(ParseProbeDuration("  Duration: 00:00:10.00, start: 0\n"
                               "  Duration: 00:02:00.00, start: 0\n"),
            120);
}

TEST(ParseProbeDuration, ColonRulesOnShortValues) {
  // The field ends where the output ends: "01:02" is hours 1, then "02".
  EXPECT_EQ(ParseProbeDuration("Duration: 01:02"), 3602);
  EXPECT_EQ(ParseProbeDuration("Duration: 42"), 42);
  EXPECT_EQ(ParseProbeDuration("Duration"), 0);
  EXPECT_EQ(ParseProbeDuration(std::string("Duration: 00:01:\0" "05", 19)), 60);
}

TEST(ParseProbeDuration, ScanStaysInsideTheReceiveArea) {
  const std::string line = "Duration: 00:01:40.00";
  // The cursor makes 2001 single steps: a match at 2000 is the last found.
  std::string at2000 = std::string(2000, 'x') + line;
  EXPECT_EQ(ParseProbeDuration(at2000), 100);
  std::string at2001 = std::string(2001, 'x') + line;
  EXPECT_EQ(ParseProbeDuration(at2001), 0);

  // Back-to-back matches advance by 10 and walk to the very end of the
  // 2048-byte area: the last one's value would lie past it and is empty.
  std::string packed;
  while (packed.size() < kProbeReceiveSize) packed += "Duration: ";
  packed.resize(kProbeReceiveSize);
  EXPECT_EQ(ParseProbeDuration(packed), 0);
  std::string tail = std::string(1990, ' ') + "Duration: 00:00:09.5" + std::string(100, '9');
  EXPECT_EQ(ParseProbeDuration(tail), 9);

  // Bytes beyond 2048 are not part of the area.
  std::string beyond(kProbeReceiveSize, ' ');
  beyond.replace(1990, 10, "Duration: ");
  beyond += "00:00:33.00";
  EXPECT_EQ(ParseProbeDuration(beyond), 0);
}

TEST(ProbeCommandLine, PathIsAlwaysOneArgument) {
  EXPECT_EQ(BuildProbeCommandLine("/v/clip.avi"), "ZantrelCore.exe -i /v/clip.avi 20 4 80 ");
  for (const std::string path : {"/home/u/My Videos/a b.avi", "/v/say \"hi\".3gp", "/v/a\\",
                                 "/v/dir with blank\\", "/v/\"", ""}) {
    const std::vector<std::string> argv = SplitCommandLine(BuildProbeCommandLine(path));
    ASSERT_EQ(argv.size(), 6u) << path;
    EXPECT_EQ(argv[0], "ZantrelCore.exe");
    EXPECT_EQ(argv[1], "-i");
    EXPECT_EQ(argv[2], path);
    EXPECT_EQ(argv[3], "20");
    EXPECT_EQ(argv[5], "80");
  }
}

TEST(ProbeOutputComplete, NeedsTheWholeDurationLine) {
  EXPECT_FALSE(ProbeOutputComplete(""));
  EXPECT_FALSE(ProbeOutputComplete("banner\n"));
  EXPECT_FALSE(ProbeOutputComplete("  Duration: 00:0"));
  EXPECT_TRUE(ProbeOutputComplete("  Duration: N/A\n"));
  EXPECT_TRUE(ProbeOutputComplete("  Duration: 00:01:05.20, st"));  // the value is in
  EXPECT_TRUE(ProbeOutputComplete("Duration: 00:01:05.20"));
  EXPECT_FALSE(ProbeOutputComplete("Duration: 00:01:05.2"));
}

class RunProbeTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string programDir_ = zantrel_test::InstallTool(dir_, ZANTREL_FAKE_PROBE);
};

TEST_F(RunProbeTest, ReadsALateDurationLine) {
  std::string received;
  EXPECT_EQ(RunProbe(dir_ / "source.avi", programDir_, 10000, &received), 65);
  EXPECT_NE(received.find("ZantrelCore probe"), std::string::npos);
  EXPECT_NE(received.find("Duration: 00:01:05.20"), std::string::npos);
  EXPECT_TRUE(NoChildLeft());
}

TEST_F(RunProbeTest, PathWithBlanksAndQuotesReachesTheTool) {
  std::string received;
  const std::string source = dir_ / "my \"odd\" clip.3gp";
  EXPECT_EQ(RunProbe(source, programDir_, 10000, &received), 65);
  EXPECT_NE(received.find("from '" + source + "'"), std::string::npos) << received;
}

TEST_F(RunProbeTest, ToolThatStaysIsEndedAndReaped) {
  EXPECT_EQ(RunProbe(dir_ / "hang.avi", programDir_, 10000), 65);
  EXPECT_TRUE(NoChildLeft());
}

TEST_F(RunProbeTest, SilentToolTimesOutWithZero) {
  std::string received = "stale";
  EXPECT_EQ(RunProbe(dir_ / "silent.avi", programDir_, 300, &received), 0);
  EXPECT_TRUE(received.empty());
  EXPECT_TRUE(NoChildLeft());
}

TEST(RunProbe, MissingToolGivesZero) {
  TempDir empty;
  EXPECT_EQ(RunProbe(empty / "a.avi", empty.path() + "/", 1000), 0);
  EXPECT_TRUE(NoChildLeft());
}
