// The cut forms: each clip cut in the form the program uses for its
// extension, read back by decoding the pieces' barcodes.
#include <gtest/gtest.h>

#include <cmath>

extern "C" {
#include <libavformat/avformat.h>
}

#include "platform/tool_args.h"
#include "tool_test_support.h"

namespace zantrel::tooltest {
namespace {

struct CutCase {
  const char* clip;
  const char* outExt;
  const char* videoCodec;  // expected in the piece
  const char* audioCodec;
  int sampleRate;          // 0 = not checked
  int channels;
};

void PrintTo(const CutCase& c, std::ostream* os) { *os << c.clip << "->" << c.outExt; }

class CutEachForm : public ::testing::TestWithParam<CutCase> {};

void ExpectPiece(const PieceFacts& p, const CutCase& c, int firstIndex, int frames) {
  ASSERT_TRUE(p.opened);
  ASSERT_TRUE(p.video.present);
  EXPECT_EQ(p.video.codec, c.videoCodec);
  ASSERT_FALSE(p.frameIndices.empty());
  // Frame-exact: the first picture is the source's picture at the start,
  // and every following one is there once, in order.
  EXPECT_EQ(p.frameIndices.front(), firstIndex);
  ASSERT_NEAR(static_cast<int>(p.frameIndices.size()), frames, 1);
  for (std::size_t i = 0; i < p.frameIndices.size(); ++i)
    ASSERT_EQ(p.frameIndices[i], firstIndex + static_cast<int>(i)) << "picture " << i;
  EXPECT_NEAR(p.video.durationSeconds, frames / 25.0, 0.041);
  ASSERT_TRUE(p.audio.present);
  EXPECT_EQ(p.audio.codec, c.audioCodec);
  if (c.sampleRate) {
    EXPECT_EQ(p.audio.sampleRate, c.sampleRate);
  }
  if (c.channels) {
    EXPECT_EQ(p.audio.channels, c.channels);
  }
  // Audio covers the pictures; encoder priming and the padded last frame
  // may add up to two audio frames of silence around them.
  EXPECT_LE(p.audio.startSeconds, p.video.startSeconds + 1.0 / 25);
  EXPECT_NEAR(p.audio.startSeconds + p.audio.durationSeconds, p.video.startSeconds + p.video.durationSeconds,
              0.11);
}

// In sync: the beep of source second `second` sounds with that second's
// first picture (barcode second * 25), within one picture, wherever in the
// piece that picture lies.
void ExpectBeepInSync(const PieceFacts& p, int second) {
  ASSERT_FALSE(p.frameIndices.empty());
  const double want = (second * 25 - p.frameIndices.front()) / 25.0;
  bool found = false;
  for (double onset : p.beepOnsets) {
    const double rel = onset - p.video.startSeconds;
    if (std::fabs(rel - want) < 0.5) {
      found = true;
      EXPECT_NEAR(rel, want, 1.0 / 25);
    }
  }
  EXPECT_TRUE(found) << "no beep near " << want << " s";
}

TEST_P(CutEachForm, MiddlePieceIsFrameExact) {
  const CutCase& c = GetParam();
  const Clip& clip = GetClip(c.clip);
  ASSERT_FALSE(clip.path.empty());
  TempDir dir;
  const std::string out = dir.File(std::string("piece[2].") + c.outExt);
  ToolResult r = RunTool(CutArgs(clip.path, 2, 2, out));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  PieceFacts p = ReadPiece(out);
  // The first picture at or after 2 s on the file's timeline: in the
  // Sorenson clip the pictures start 0.05 s in, after the MP3's priming.
  const PieceFacts src = ReadPiece(clip.path);
  ExpectPiece(p, c, static_cast<int>(FirstFrameAtOrAfter(src, 2)), 50);
  ExpectBeepInSync(p, 3);
  // Nothing but the piece is left in the folder.
  EXPECT_EQ(dir.List().size(), 1u);
}

TEST_P(CutEachForm, FirstAndLastPieces) {
  const CutCase& c = GetParam();
  const Clip& clip = GetClip(c.clip);
  ASSERT_FALSE(clip.path.empty());
  TempDir dir;
  const std::string first = dir.File(std::string("p1.") + c.outExt);
  ToolResult r = RunTool(CutArgs(clip.path, 0, 1, first));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  ExpectPiece(ReadPiece(first), c, 0, 25);
  // A length past the end gives the rest of the source.
  const std::string last = dir.File(std::string("p3.") + c.outExt);
  r = RunTool(CutArgs(clip.path, 5, 30, last));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  ExpectPiece(ReadPiece(last), c, static_cast<int>(FirstFrameAtOrAfter(ReadPiece(clip.path), 5)), 25);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CutEachForm,
    ::testing::Values(CutCase{"flv_h264", "flv", "h264", "aac", 22050, 0},
                      CutCase{"flv_flv1", "flv", "flv1", "mp3", 22050, 0},
                      CutCase{"flv_nodur", "flv", "h264", "aac", 22050, 0},
                      CutCase{"mp4_h264", "mp4", "h264", "aac", 44100, 0},
                      CutCase{"3gp_h263", "3gp", "h263", "amr_nb", 8000, 1},
                      CutCase{"avi_mpeg4", "avi", "mpeg4", "mp3", 44100, 0},
                      // Other containers than the source's: usual codecs.
                      CutCase{"flv_h264", "3gp", "h264", "amr_nb", 8000, 1},
                      CutCase{"flv_flv1", "mp4", "h264", "mp3", 22050, 0},
                      CutCase{"avi_mpeg4", "flv", "h264", "mp3", 22050, 0},
                      CutCase{"3gp_h263", "flv", "h264", "aac", 22050, 0},
                      CutCase{"mp4_h264", "avi", "h264", "aac", 44100, 0}));

TEST(Cut, AmrPacketsAre32BytesOf160Samples) {
  const Clip& clip = GetClip("3gp_h263");
  ASSERT_FALSE(clip.path.empty());
  TempDir dir;
  const std::string out = dir.File("a.3gp");
  ASSERT_EQ(RunTool(CutArgs(clip.path, 1, 2, out)).exitCode, 0);
  AVFormatContext* fc = nullptr;
  ASSERT_EQ(avformat_open_input(&fc, out.c_str(), nullptr, nullptr), 0);
  ASSERT_GE(avformat_find_stream_info(fc, nullptr), 0);
  int ai = av_find_best_stream(fc, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  ASSERT_GE(ai, 0);
  AVPacket* pkt = av_packet_alloc();
  int packets = 0;
  while (av_read_frame(fc, pkt) >= 0) {
    if (pkt->stream_index == ai) {
      ++packets;
      EXPECT_EQ(pkt->size, 32);
      EXPECT_EQ(av_rescale_q(pkt->duration, fc->streams[ai]->time_base, {1, 8000}), 160);
    }
    av_packet_unref(pkt);
  }
  EXPECT_EQ(packets, 100);  // 2 s of 20 ms frames
  av_packet_free(&pkt);
  avformat_close_input(&fc);
}

TEST(Cut, OptionsInAnyOrderAndNoTrailingNumbers) {
  const Clip& clip = GetClip("mp4_h264");
  ASSERT_FALSE(clip.path.empty());
  TempDir dir;
  const std::string out = dir.File("x.mp4");
  ToolResult r = RunTool({out, "-t", "1", "-y", "-ss", "3", "-i", clip.path});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  PieceFacts p = ReadPiece(out);
  ASSERT_FALSE(p.frameIndices.empty());
  EXPECT_EQ(p.frameIndices.front(), 75);
  EXPECT_EQ(p.frameIndices.size(), 25u);
}

// Exact times, as the preview gives a frame's own time: each piece starts on
// the first picture at or after S, neighbours share their boundary to the
// microsecond, and a window between two pictures holds nothing.
TEST(Cut, ExactTimesShareTheirBoundariesToTheMicrosecond) {
  const Clip& clip = GetClip("mp4_h264");  // 150 pictures at 25 fps
  ASSERT_FALSE(clip.path.empty());
  TempDir dir;
  // 1.4 is picture 35's own time; 2.37 lies between pictures 59 and 60;
  // 4.999999 a microsecond before picture 125.
  const std::vector<std::pair<std::string, std::string>> pieces = {
      {"0", "1.4"}, {"1.4", "0.97"}, {"2.37", "2.629999"}, {"4.999999", "2"}};
  const std::vector<int> first = {0, 35, 60, 125};
  std::vector<int> all;
  double audio = 0;
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    SCOPED_TRACE("piece from " + pieces[k].first);
    const std::string out = dir.File("p" + std::to_string(k) + ".mp4");
    ToolResult r = RunTool({"-i", clip.path, "-ss", pieces[k].first, "-t", pieces[k].second, out, "6", "100", "100"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const PieceFacts p = ReadPiece(out);
    ASSERT_FALSE(p.frameIndices.empty());
    EXPECT_EQ(p.frameIndices.front(), first[k]);
    all.insert(all.end(), p.frameIndices.begin(), p.frameIndices.end());
    audio += p.audio.decodedSeconds;
  }
  std::vector<int> every(150);
  for (int i = 0; i < 150; ++i) every[static_cast<std::size_t>(i)] = i;
  EXPECT_EQ(all, every);
  EXPECT_NEAR(audio, ReadPiece(clip.path).audio.decodedSeconds, 4 * 1024.0 / 44100);

  // [2.37, 2.39) lies between pictures 59 and 60.
  const std::string none = dir.File("none.mp4");
  ToolResult r = RunTool({"-i", clip.path, "-ss", "2.37", "-t", "0.02", none});
  EXPECT_EQ(r.exitCode, zantrel::tool_args::kExitEmpty) << r.output;
  EXPECT_NE(r.output.find("holds no picture"), std::string::npos) << r.output;
  EXPECT_FALSE(FileExists(none));
  EXPECT_EQ(dir.List().size(), pieces.size());  // no temporary file left
}

TEST(Cut, StartBeyondTheEndFailsWithoutAFile) {
  const Clip& clip = GetClip("flv_h264");
  ASSERT_FALSE(clip.path.empty());
  TempDir dir;
  const std::string out = dir.File("late.flv");
  ToolResult r = RunTool(CutArgs(clip.path, 60, 5, out));
  EXPECT_NE(r.exitCode, 0);
  EXPECT_TRUE(dir.List().empty());
}

TEST(Cut, ExtraSourceBunnyIfPresent) {
  // The shared media folder lies beside the checkout.
  std::string bun = std::string(ZANTREL_SOURCE_DIR) + "/../shared/media/bun33s.flv";
  if (!FileExists(bun)) bun = "/work/shared/media/bun33s.flv";
  if (!FileExists(bun)) GTEST_SKIP() << "no bun33s.flv beside the checkout";
  TempDir dir;
  const std::string out = dir.File("bun[3].flv");
  ToolResult r = RunTool(CutArgs(bun, 20, 5, out));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  PieceFacts p = ReadPiece(out);
  ASSERT_TRUE(p.video.present);
  EXPECT_NEAR(p.video.durationSeconds, 5.0, 0.1);
  EXPECT_TRUE(p.audio.present);
  EXPECT_EQ(p.audio.sampleRate, 22050);
}

}  // namespace
}  // namespace zantrel::tooltest
