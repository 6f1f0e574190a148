// Awkward paths end to end: the program folder and the source in folders
// whose names hold blanks, double quotes, backslashes, CJK, GBK characters
// whose trail byte is '\' or '|' (under a GBK locale), and paths of about
// 4000 bytes. The program's own command lines (probe and cut) are split by
// the launcher and reach the real tool whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/job.h"
#include "engine/probe_run.h"
#include "platform/launcher.h"
#include "tests/platform/gbk_locale.h"
#include "tool_test_support.h"

namespace fs = std::filesystem;

namespace zantrel::tooltest {
namespace {

// Puts a copy of the tool into `programDir` and a copy of a clip at `source`,
// then probes and cuts it as the program does, the piece going to `output`.
void ProbeAndCutThrough(const std::string& programDir, const std::string& source,
                        const std::string& output) {
  SCOPED_TRACE("source " + source);
  const Clip& clip = GetClip("flv_h264");
  ASSERT_FALSE(clip.path.empty());
  std::error_code ec;
  fs::create_directories(programDir, ec);
  ASSERT_FALSE(ec) << ec.message();
  fs::create_directories(fs::path(source).parent_path(), ec);
  fs::create_directories(fs::path(output).parent_path(), ec);
  const char* other = getenv("ZANTREL_TOOL_UNDER_TEST");
  ASSERT_TRUE(fs::copy_file(other && *other ? other : ZANTREL_BIN_DIR "/ZantrelCore",
                            programDir + "/ZantrelCore", ec))
      << ec.message();
  ASSERT_TRUE(fs::copy_file(clip.path, source, ec)) << ec.message();

  std::string received;
  EXPECT_EQ(RunProbe(source, programDir, 60000, &received), 6) << received;

  const std::string line = BuildCutCommandLine("flv", source, 1, 2, output);
  LaunchOptions options;
  options.programDir = programDir;
  options.quiet = true;
  ChildProcess child;
  std::string error;
  ASSERT_TRUE(child.Start(line, options, &error)) << error;
  const int status = child.Wait();
  EXPECT_EQ(status, 0) << line;
  const PieceFacts piece = ReadPiece(output);
  ASSERT_FALSE(piece.frameIndices.empty()) << output;
  EXPECT_EQ(piece.frameIndices.front(), 25);
  EXPECT_EQ(ReadFileBytes(source), ReadFileBytes(clip.path));  // the source untouched
}

TEST(Paths, BlanksQuotesBackslashesAndCjk) {
  TempDir dir;
  const std::string base = dir.path();
  ProbeAndCutThrough(base + "/my programs/Zantrel 1", base + "/my videos/a  b .flv",
                     base + "/out put/a  b [1].flv");
  ProbeAndCutThrough(base + "/say \"hi\"/prog\\", base + "/q\"uo\\\"te\\/x\\\"y\".flv",
                     base + "/o\\\"ut\\/p\"[1].flv");
  ProbeAndCutThrough(base + "/程序 文件夹/分割", base + "/视频 文件夹/片段 一.flv",
                     base + "/输出/片段 一[1].flv");
}

TEST(Paths, GbkTrailBytesBackslashAndBar) {
  zantrel_test::GbkLocale gbk;
  if (!gbk.active()) GTEST_SKIP() << "cannot build a GBK locale here";
  TempDir dir;
  const std::string base = dir.path();
  // "\xb1\x5c" and "\xb1\x7c" are GBK characters whose trail bytes are '\'
  // and '|'; one sits right before the closing quote of its slot.
  ProbeAndCutThrough(base + "/\xb1\x5c\xb1\x7c prog\xb1\x5c", base + "/\xb1\x5c dir/src\xb1\x5c\".flv",
                     base + "/\xb1\x7c out\xb1\x5c/p\xb1\x5c[1].flv");
}

TEST(Paths, FourThousandBytePathsProgramFolderIncluded) {
  TempDir dir;
  // 4000-byte paths built of 200-byte folder names (the name limit is 255).
  auto deep = [&](const std::string& tag, std::size_t total) {
    std::string p = dir.path() + "/" + tag;
    while (p.size() + 201 < total) p += "/" + std::string(199, 'd') + " ";
    return p;
  };
  const std::string program = deep("prog", 4000 - 12);  // with "/ZantrelCore"
  const std::string source = deep("src", 4000 - 10) + "/clip.flv";
  const std::string output = deep("out", 3980 - 10) + "/p[1].flv";  // room for the temporary name
  ASSERT_GE(program.size() + 12, 3800u);
  ASSERT_GE(source.size(), 3800u);
  ProbeAndCutThrough(program, source, output);
}

}  // namespace
}  // namespace zantrel::tooltest
