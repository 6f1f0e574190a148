// Smart cut end to end: H.264 sources of several GOP structures and rates,
// split into pieces that must partition the source's frames, each piece
// decoded strictly, its time stamps checked, its copied run compared with the
// source's packets and decoded frames, and played back by libmpv.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}
#include <mpv/client.h>

#include "tool_test_support.h"

namespace zantrel::tooltest {
namespace {

struct SmartCase {
  const char* name;
  const char* ext;     // source container
  const char* rate;    // as the lavfi source takes it
  double fps;
  std::vector<std::string> codecArgs;
  const char* outExt;  // the pieces' form
  const char* size = "320x240";
};

void PrintTo(const SmartCase& c, std::ostream* os) { *os << c.name << "->" << c.outExt; }

const std::vector<std::string> kX264 = {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p",
                                        "-sc_threshold", "0", "-c:a", "aac"};

std::vector<std::string> X264(std::vector<std::string> more) {
  std::vector<std::string> all = kX264;
  all.insert(all.end(), more.begin(), more.end());
  return all;
}

// The MPEG-style codecs as ffmpeg writes them by default: no B-frames.
std::vector<std::string> Flv1(const char* gop) { return {"-c:v", "flv1", "-g", gop, "-c:a", "libmp3lame"}; }
std::vector<std::string> H263(const char* gop) { return {"-c:v", "h263", "-g", gop, "-c:a", "aac"}; }
std::vector<std::string> Mpeg4(const char* gop, std::vector<std::string> more = {}) {
  std::vector<std::string> all = {"-c:v", "mpeg4", "-g", gop, "-c:a", "libmp3lame"};
  all.insert(all.end(), more.begin(), more.end());
  return all;
}

// The pieces [0,1) [1,3) [3,4) [4,end): whole-second cuts, as the program
// makes them, that land on, just after, just before and between key frames
// depending on the GOP.
struct Piece {
  int start, length;  // length 0 = to the end
};
const std::vector<Piece> kPieces = {{0, 1}, {1, 2}, {3, 1}, {4, 0}};

// Hashes of the video's packets (as stored) and decoded frames (the
// pictures' bytes), in the file's order; read in-process, like framemd5.
struct VideoHashes {
  std::vector<std::size_t> packets, frames;
};

VideoHashes HashVideo(const std::string& path) {
  VideoHashes h;
  AVFormatContext* fc = nullptr;
  if (avformat_open_input(&fc, path.c_str(), nullptr, nullptr) < 0) return h;
  avformat_find_stream_info(fc, nullptr);
  const AVCodec* codec = nullptr;
  const int v = av_find_best_stream(fc, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  AVCodecContext* dec = v >= 0 ? avcodec_alloc_context3(codec) : nullptr;
  if (dec && avcodec_parameters_to_context(dec, fc->streams[v]->codecpar) >= 0 &&
      avcodec_open2(dec, codec, nullptr) >= 0) {
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto drain = [&] {
      while (avcodec_receive_frame(dec, frame) >= 0) {
        std::string bytes;
        for (int plane = 0; plane < 3; ++plane) {
          const int rows = plane == 0 ? frame->height : (frame->height + 1) / 2;
          const int width = plane == 0 ? frame->width : (frame->width + 1) / 2;
          for (int y = 0; y < rows; ++y)
            bytes.append(reinterpret_cast<const char*>(frame->data[plane] + y * frame->linesize[plane]),
                         static_cast<std::size_t>(width));
        }
        h.frames.push_back(std::hash<std::string>()(bytes));
        av_frame_unref(frame);
      }
    };
    while (av_read_frame(fc, pkt) >= 0) {
      if (pkt->stream_index == v) {
        h.packets.push_back(std::hash<std::string>()(std::string(reinterpret_cast<const char*>(pkt->data),
                                                                 static_cast<std::size_t>(pkt->size))));
        avcodec_send_packet(dec, pkt);
        drain();
      }
      av_packet_unref(pkt);
    }
    avcodec_send_packet(dec, nullptr);
    drain();
    av_frame_free(&frame);
    av_packet_free(&pkt);
  }
  avcodec_free_context(&dec);
  avformat_close_input(&fc);
  return h;
}

long CountAfter(const std::string& text, const std::string& before, const std::string& after) {
  // "<before>N<after>" in the tool's console line, -1 when absent.
  std::size_t at = text.find(after);
  if (at == std::string::npos) return -1;
  std::size_t begin = text.rfind(before, at);
  if (begin == std::string::npos) return -1;
  return std::strtol(text.c_str() + begin + before.size(), nullptr, 10);
}

// DTS strictly rising, PTS never before DTS, and every frame as long as the
// others (one tick of rounding allowed) across the seams.
void ExpectSaneTimestamps(const std::string& path) {
  AVFormatContext* fc = nullptr;
  ASSERT_EQ(avformat_open_input(&fc, path.c_str(), nullptr, nullptr), 0);
  ASSERT_GE(avformat_find_stream_info(fc, nullptr), 0);
  const int v = av_find_best_stream(fc, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  ASSERT_GE(v, 0);
  AVPacket* pkt = av_packet_alloc();
  std::vector<std::int64_t> pts;
  std::int64_t lastDts = INT64_MIN;
  int n = 0;
  while (av_read_frame(fc, pkt) >= 0) {
    if (pkt->stream_index == v) {
      EXPECT_NE(pkt->dts, AV_NOPTS_VALUE);
      EXPECT_GT(pkt->dts, lastDts) << "packet " << n;
      EXPECT_GE(pkt->pts, pkt->dts) << "packet " << n;
      lastDts = pkt->dts;
      pts.push_back(pkt->pts);
      ++n;
    }
    av_packet_unref(pkt);
  }
  av_packet_free(&pkt);
  avformat_close_input(&fc);
  std::sort(pts.begin(), pts.end());
  if (pts.size() < 3) return;
  std::int64_t lo = INT64_MAX, hi = INT64_MIN;
  for (std::size_t i = 1; i < pts.size(); ++i) {
    lo = std::min(lo, pts[i] - pts[i - 1]);
    hi = std::max(hi, pts[i] - pts[i - 1]);
  }
  EXPECT_GT(lo, 0);
  EXPECT_LE(hi - lo, 1) << "frame durations vary from " << lo << " to " << hi;
}

// Plays the file with libmpv as the preview does, as fast as it decodes;
// true when it reached the end without an error message.
bool PlaysInMpv(const std::string& path, std::string* errors) {
  mpv_handle* mpv = mpv_create();
  if (!mpv) return false;
  mpv_set_option_string(mpv, "vo", "null");
  mpv_set_option_string(mpv, "ao", "null");
  mpv_set_option_string(mpv, "untimed", "yes");
  mpv_set_option_string(mpv, "config", "no");
  if (mpv_initialize(mpv) < 0) {
    mpv_terminate_destroy(mpv);
    return false;
  }
  mpv_request_log_messages(mpv, "error");
  const char* cmd[] = {"loadfile", path.c_str(), nullptr};
  bool ended = false, eof = false;
  if (mpv_command(mpv, cmd) >= 0) {
    while (!ended) {
      mpv_event* e = mpv_wait_event(mpv, 20);
      if (e->event_id == MPV_EVENT_NONE) break;  // timed out
      if (e->event_id == MPV_EVENT_LOG_MESSAGE) {
        auto* m = static_cast<mpv_event_log_message*>(e->data);
        *errors += std::string(m->prefix) + ": " + m->text;
      }
      if (e->event_id == MPV_EVENT_END_FILE) {
        ended = true;
        eof = static_cast<mpv_event_end_file*>(e->data)->reason == MPV_END_FILE_REASON_EOF;
      }
    }
  }
  mpv_terminate_destroy(mpv);
  return eof && errors->empty();
}

class SmartCut : public ::testing::TestWithParam<SmartCase> {};

TEST_P(SmartCut, PiecesPartitionTheSourceAndCopiedRunsAreTheSource) {
  const SmartCase& c = GetParam();
  TempDir dir;
  const std::string src = dir.File(std::string("src.") + c.ext);
  ASSERT_TRUE(MakeBarcodeClip(src, c.size, c.rate, "6", c.codecArgs));
  const int total = static_cast<int>(std::lround(6 * c.fps));
  const VideoHashes source = HashVideo(src);
  const std::set<std::size_t> srcPacketSet(source.packets.begin(), source.packets.end());
  ASSERT_EQ(static_cast<int>(source.frames.size()), total);

  std::vector<int> all;
  for (std::size_t k = 0; k < kPieces.size(); ++k) {
    const Piece& piece = kPieces[k];
    SCOPED_TRACE("piece " + std::to_string(k + 1));
    const std::string out = dir.File("src[" + std::to_string(k + 1) + "]." + c.outExt);
    ToolResult r = RunTool(CutArgs(src, piece.start, piece.length ? piece.length : 100, out));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    ASSERT_NE(r.output.find("smart cut:"), std::string::npos) << r.output;

    std::string errors;
    EXPECT_TRUE(RunFfmpeg({"-err_detect", "explode", "-xerror", "-i", out, "-f", "null", "-"}, &errors));
    EXPECT_EQ(errors, "") << "strict decode";

    // The frames with S <= t < E, in order.
    const PieceFacts p = ReadPiece(out);
    const int first = static_cast<int>(std::ceil(piece.start * c.fps - 1e-6));
    const int end = piece.length ? std::min(total, static_cast<int>(std::ceil((piece.start + piece.length) * c.fps - 1e-6)))
                                 : total;
    ASSERT_EQ(static_cast<int>(p.frameIndices.size()), end - first) << r.output;
    for (int i = 0; i < end - first; ++i) ASSERT_EQ(p.frameIndices[static_cast<std::size_t>(i)], first + i);
    all.insert(all.end(), p.frameIndices.begin(), p.frameIndices.end());

    ExpectSaneTimestamps(out);

    // As many packets as the tool says it copied are the source's own, and
    // as many decoded frames are the source's frames at the same place.
    const long copied = CountAfter(r.output, ", ", " copied");
    ASSERT_GE(copied, 0) << r.output;
    const VideoHashes hashes = HashVideo(out);
    int samePackets = 0;
    for (std::size_t m : hashes.packets) samePackets += srcPacketSet.count(m) ? 1 : 0;
    EXPECT_GE(samePackets, copied) << r.output;
    ASSERT_EQ(static_cast<int>(hashes.frames.size()), end - first);
    int sameFrames = 0;
    for (std::size_t i = 0; i < hashes.frames.size(); ++i)
      sameFrames += hashes.frames[i] == source.frames[static_cast<std::size_t>(first) + i] ? 1 : 0;
    EXPECT_GE(sameFrames, copied) << r.output;

    std::string mpvErrors;
    EXPECT_TRUE(PlaysInMpv(out, &mpvErrors)) << mpvErrors;
  }
  ASSERT_EQ(static_cast<int>(all.size()), total);
  for (int i = 0; i < total; ++i) ASSERT_EQ(all[static_cast<std::size_t>(i)], i) << "every frame exactly once";
}

INSTANTIATE_TEST_SUITE_P(
    Sources, SmartCut,
    ::testing::Values(
        // Key frames on every second: each piece is a pure copy.
        SmartCase{"flat_gop25", "mp4", "25", 25, X264({"-bf", "0", "-g", "25"}), "mp4"},
        // 1 s is one frame after a key frame; B-pyramid.
        SmartCase{"pyramid_gop24", "mp4", "25", 25, X264({"-bf", "3", "-g", "24"}), "mp4"},
        // 1 s is one frame before a key frame; B-frames without pyramid.
        SmartCase{"flatb_gop26", "mp4", "25", 25, X264({"-bf", "2", "-x264-params", "b-pyramid=none", "-g", "26"}), "mp4"},
        SmartCase{"intra_gop1", "mp4", "25", 25, X264({"-g", "1"}), "mp4"},
        // 29.97 in FLV's milliseconds; [3,4) lies inside one group.
        SmartCase{"ntsc_gop60", "flv", "30000/1001", 30000.0 / 1001, X264({"-bf", "3", "-g", "60"}), "flv"},
        // One group for the whole clip: every piece is re-encoded.
        SmartCase{"slow_gop250", "mp4", "15000/1001", 15000.0 / 1001, X264({"-g", "250"}), "mp4"},
        // Key frames that are not IDR frames are not copied from.
        SmartCase{"open_gop12", "mp4", "25", 25, X264({"-bf", "3", "-g", "12", "-x264-params", "open-gop=1"}), "mp4"},
        // Forms that keep H.264 in another container.
        SmartCase{"to_3gp", "mp4", "25", 25, X264({"-bf", "3", "-g", "24"}), "3gp"},
        SmartCase{"mp4_to_flv", "mp4", "25", 25, X264({"-bf", "3", "-g", "24"}), "flv"},
        // The MPEG-style codecs in their own forms. GOP 12: 1 s is one frame
        // after a key frame; GOP 13: one frame before; GOP 60 at 30 fps:
        // [3,4) inside one group, 4 s on a key frame.
        SmartCase{"flv1_gop12", "flv", "25", 25, Flv1("12"), "flv"},
        SmartCase{"flv1_gop60", "flv", "30", 30, Flv1("60"), "flv"},
        SmartCase{"h263_gop13", "3gp", "25", 25, H263("13"), "3gp", "176x144"},
        SmartCase{"h263_gop60", "3gp", "30", 30, H263("60"), "3gp", "176x144"},
        SmartCase{"mpeg4_gop12", "avi", "25", 25, Mpeg4("12"), "avi"},
        SmartCase{"mpeg4_gop60", "avi", "30", 30, Mpeg4("60"), "avi"},
        // The VOL header only in the stream's header, not before each key
        // frame: the re-encoded start must state the very same one.
        SmartCase{"mpeg4_global_vol_gop13", "avi", "25", 25, Mpeg4("13", {"-flags", "+global_header"}), "avi"}),
    [](const ::testing::TestParamInfo<SmartCase>& info) { return std::string(info.param.name); });

// Sources and forms a smart cut cannot serve are cut the slow way, and say so.
TEST(SmartCutFallback, OtherCodecsAndForcedFullReencodeSayWhichWay) {
  TempDir dir;
  // MPEG-4 with B-frames: the AVI's frame count no longer says when a
  // picture is shown. The piece still holds the pictures shown from 1 s to
  // 2 s: with key frames every 25 the one stored at 1 s is shown at 1.08
  // (after the two B-frames stored behind it), with every 12 the one stored
  // at 0.96 s is shown at 1.04 s; a cut once started at those and lost the
  // pictures before them.
  for (const char* gop : {"12", "25"}) {
    SCOPED_TRACE(std::string("GOP ") + gop);
    const std::string bframes = dir.File(std::string("bframes") + gop + ".avi");
    const std::string piece = dir.File(std::string("a") + gop + ".avi");
    ASSERT_TRUE(MakeBarcodeClip(bframes, "160x120", "25", "3", Mpeg4(gop, {"-bf", "2"})));
    ToolResult r = RunTool(CutArgs(bframes, 1, 1, piece));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("full re-encode: the source's MPEG-4 video has B-frames"), std::string::npos) << r.output;
    const PieceFacts p = ReadPiece(piece);
    ASSERT_EQ(p.frameIndices.size(), 25u);
    for (int i = 0; i < 25; ++i) EXPECT_EQ(p.frameIndices[static_cast<std::size_t>(i)], 25 + i);
  }

  // Sorenson into MP4 becomes H.264: nothing of the source can be copied.
  const Clip& flv = GetClip("flv_flv1");
  ASSERT_FALSE(flv.path.empty());
  ToolResult r = RunTool(CutArgs(flv.path, 1, 2, dir.File("s.mp4")));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("full re-encode: the output form changes the video codec"), std::string::npos)
      << r.output;

  const Clip& mp4 = GetClip("mp4_h264");
  ASSERT_FALSE(mp4.path.empty());
  // H.264 into AVI changes the bitstream's framing.
  r = RunTool(CutArgs(mp4.path, 1, 2, dir.File("b.avi")));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("full re-encode:"), std::string::npos) << r.output;

  std::vector<std::string> args = CutArgs(mp4.path, 1, 2, dir.File("c.mp4"));
  args.push_back("0");  // the fourth trailing number: no smart cut
  r = RunTool(args);
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("full re-encode: asked for"), std::string::npos) << r.output;
  const PieceFacts p = ReadPiece(dir.File("c.mp4"));
  ASSERT_EQ(p.frameIndices.size(), 50u);
  EXPECT_EQ(p.frameIndices.front(), 25);
}

}  // namespace
}  // namespace zantrel::tooltest
