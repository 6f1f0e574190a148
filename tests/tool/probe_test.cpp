// The probe form: "-i <path> 20 4 80" prints a summary with the Duration
// line that the program parses, quickly and in its first output.
#include <gtest/gtest.h>

#include <regex>

#include "tool_test_support.h"

namespace zantrel::tooltest {
namespace {

// "  Duration: HH:MM:SS.cc, start: S.SSSSSS, bitrate: N kb/s"; returns the
// seconds, or -1 when the line is missing or malformed.
double DurationFrom(const std::string& out) {
  static const std::regex line(
      R"(\n  Duration: (\d\d):(\d\d):(\d\d)\.(\d\d), start: -?\d+\.\d{6}, bitrate: \d+ kb/s\n)");
  std::smatch m;
  if (!std::regex_search(out, m, line)) return -1;
  return std::stoi(m[1]) * 3600 + std::stoi(m[2]) * 60 + std::stoi(m[3]) + std::stoi(m[4]) / 100.0;
}

class ProbeEachClip : public ::testing::TestWithParam<const char*> {};

TEST_P(ProbeEachClip, PrintsDurationLineAndExitsZero) {
  const Clip& clip = GetClip(GetParam());
  ASSERT_FALSE(clip.path.empty()) << "could not make " << GetParam();
  ToolResult r = RunTool({"-i", clip.path, "20", "4", "80"});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  double d = DurationFrom(r.output);
  EXPECT_NEAR(d, 6.0, 0.15) << r.output;
  // The program reads the first 2048 bytes only.
  EXPECT_LT(r.output.find("Duration"), 2000u);
  EXPECT_NE(r.output.find("Input #0, "), std::string::npos);
  EXPECT_NE(r.output.find("Video: "), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Audio: "), std::string::npos) << r.output;
}

INSTANTIATE_TEST_SUITE_P(Clips, ProbeEachClip,
                         ::testing::Values("flv_h264", "flv_flv1", "mp4_h264", "3gp_h263", "avi_mpeg4"));

TEST(Probe, FlvWithoutDurationMetadataGetsItFromTheEnd) {
  const Clip& clip = GetClip("flv_nodur");
  ASSERT_FALSE(clip.path.empty());
  // The container really states no duration.
  EXPECT_EQ(ReadFileBytes(clip.path).find("duration"), std::string::npos);
  ToolResult r = RunTool({"-i", clip.path, "20", "4", "80"});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NEAR(DurationFrom(r.output), 6.0, 0.15) << r.output;
  // A tail window smaller than one packet still finds it by growing.
  r = RunTool({"-i", clip.path, "20", "4", "4"});
  EXPECT_NEAR(DurationFrom(r.output), 6.0, 0.15) << r.output;
}

TEST(Probe, UnreadableSourcesGiveAnErrorAndNoDuration) {
  TempDir dir;
  const std::string half = dir.File("half.mp4"), zero = dir.File("zero.avi"), noise = dir.File("noise.flv");
  const std::string mp4 = ReadFileBytes(GetClip("mp4_h264").path);
  WriteFileBytes(half, mp4.substr(0, mp4.size() / 2));  // the index is at the end: unusable
  WriteFileBytes(zero, "");
  std::string random(64 * 1024, '\0');
  unsigned state = 12345;
  for (char& c : random) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
  WriteFileBytes(noise, random);
  for (const std::string& path : {half, zero, noise, dir.File("missing.flv")}) {
    ToolResult r = RunTool({"-i", path, "20", "4", "80"});
    EXPECT_NE(r.exitCode, 0) << path << "\n" << r.output;
    EXPECT_EQ(r.signal, 0) << path;
    EXPECT_EQ(r.output.find("Duration"), std::string::npos) << path << "\n" << r.output;
    EXPECT_NE(r.output.find("ZantrelCore: "), std::string::npos) << r.output;
  }
}

TEST(Probe, AudioOnlySourceIsProbed) {
  TempDir dir;
  const std::string mp3 = dir.File("tone.mp3");
  ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "sine=d=3", "-c:a", "libmp3lame", mp3}));
  ToolResult r = RunTool({"-i", mp3, "20", "4", "80"});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NEAR(DurationFrom(r.output), 3.0, 0.1) << r.output;
}

TEST(Cli, HelpDescribesTheTrailingNumbersAndBadArgumentsFail) {
  ToolResult r = RunTool({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.output.find("<threads>"), std::string::npos);
  EXPECT_NE(r.output.find("<analyse>"), std::string::npos);
  for (const auto& bad : std::vector<std::vector<std::string>>{
           {}, {"-i"}, {"-i", "a.flv", "-ss", "x", "o.flv"}, {"-i", "a.flv", "-ss", "-3", "o.flv"},
           {"-i", "a.flv", "--frobnicate", "o.flv"}, {"-i", "a.flv", "o1.flv", "o2.flv"},
           {"-i", "a.flv", "-ab", "fast", "o.flv"}}) {
    r = RunTool(bad);
    EXPECT_EQ(r.exitCode, 2) << r.output;
  }
}

}  // namespace
}  // namespace zantrel::tooltest
