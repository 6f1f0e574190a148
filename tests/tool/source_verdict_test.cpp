// What the probe makes of a chosen source, through the real tool: a video,
// or why there is nothing to cut, sorted by the tool's exit code and the
// program's own look at the file.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "engine/probe_run.h"
#include "tool_test_support.h"

namespace zantrel::tooltest {
namespace {

TEST(SourceVerdict, EachKindOfSourceIsToldApart) {
  TempDir dir;
  const std::string mp4 = ReadFileBytes(GetClip("mp4_h264").path);
  ASSERT_FALSE(mp4.empty());
  WriteFileBytes(dir.File("text.mp4"), "these are words, not pictures\n");
  WriteFileBytes(dir.File("empty.flv"), "");
  WriteFileBytes(dir.File("half.mp4"), mp4.substr(0, mp4.size() / 2));  // the index at the end is gone
  ASSERT_TRUE(RunFfmpeg({"-f", "lavfi", "-i", "sine=d=0.5", dir.File("blip.mp4")}));
  // A file of subtitles only: a container the tool knows, nothing to see or hear.
  WriteFileBytes(dir.File("words.srt"), "1\n00:00:00,000 --> 00:00:02,000\nhello\n");
  ASSERT_TRUE(RunFfmpeg({"-i", dir.File("words.srt"), "-c:s", "mov_text", dir.File("subs.mp4")}));

  struct Case {
    std::string path;
    SourceVerdict verdict;
    int seconds;
  };
  const Case cases[] = {
      {GetClip("mp4_h264").path, SourceVerdict::kVideo, 6},
      {GetClip("avi_mpeg4").path, SourceVerdict::kVideo, 6},
      {dir.File("text.mp4"), SourceVerdict::kNotVideo, 0},
      {dir.File("empty.flv"), SourceVerdict::kNotVideo, 0},
      {dir.File("half.mp4"), SourceVerdict::kNotVideo, 0},
      {dir.File("subs.mp4"), SourceVerdict::kNoPictureNoSound, 0},
      {dir.File("blip.mp4"), SourceVerdict::kNoDuration, 0},
      {dir.File("missing.mp4"), SourceVerdict::kMissing, 0},
  };
  for (const Case& c : cases) {
    const ProbeResult r = ProbeSource(c.path, ZANTREL_BIN_DIR, 5000);
    EXPECT_EQ(static_cast<int>(r.verdict), static_cast<int>(c.verdict)) << c.path;
    EXPECT_EQ(r.seconds, c.seconds) << c.path;
  }
  // No tool where the program looks for it.
  EXPECT_EQ(ProbeSource(GetClip("mp4_h264").path, dir.path(), 5000).verdict, SourceVerdict::kToolMissing);
  // A file this user may not read (root reads anything).
  if (::geteuid() != 0) {
    WriteFileBytes(dir.File("locked.mp4"), mp4);
    ::chmod(dir.File("locked.mp4").c_str(), 0);
    EXPECT_EQ(ProbeSource(dir.File("locked.mp4"), ZANTREL_BIN_DIR, 5000).verdict, SourceVerdict::kUnreadable);
  }
}

}  // namespace
}  // namespace zantrel::tooltest
