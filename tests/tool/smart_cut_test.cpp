// Smart cut end to end: H.264 and HEVC sources of several GOP structures and rates,
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

// HEVC as phones record it: B-frames in closed groups of `gop` pictures.
std::vector<std::string> X265(const std::string& gop, std::vector<std::string> more = {}) {
  std::vector<std::string> all = {"-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
                                  "log-level=error:keyint=" + gop + ":min-keyint=" + gop +
                                      ":open-gop=0:scenecut=0:bframes=3",
                                  "-c:a", "aac"};
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

// Hashes of the video's packets (as stored; HEVC without the parameter sets
// a copied IRAP picture is given in front) and decoded frames (the
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
    const AVCodecParameters* par = fc->streams[v]->codecpar;
    const bool hevc = par->codec_id == AV_CODEC_ID_HEVC && par->extradata_size > 22;
    const int lengthSize = hevc ? (par->extradata[21] & 3) + 1 : 4;
    while (av_read_frame(fc, pkt) >= 0) {
      if (pkt->stream_index == v) {
        std::size_t skip = 0;
        while (hevc && skip + lengthSize < static_cast<std::size_t>(pkt->size)) {
          std::size_t len = 0;
          for (int i = 0; i < lengthSize; ++i) len = (len << 8) | pkt->data[skip + i];
          const int type = (pkt->data[skip + lengthSize] >> 1) & 0x3f;
          if (type < 32 || type > 34) break;  // VPS, SPS, PPS
          skip += lengthSize + len;
        }
        h.packets.push_back(std::hash<std::string>()(std::string(reinterpret_cast<const char*>(pkt->data) + skip,
                                                                 static_cast<std::size_t>(pkt->size) - skip)));
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
  // Matroska stores no DTS: the demuxer derives them from the second group on.
  const bool derivedDts = std::string(fc->iformat->name).find("matroska") != std::string::npos;
  AVPacket* pkt = av_packet_alloc();
  std::vector<std::int64_t> pts;
  std::int64_t lastDts = INT64_MIN;
  int n = 0;
  while (av_read_frame(fc, pkt) >= 0) {
    if (pkt->stream_index == v && derivedDts && pkt->dts == AV_NOPTS_VALUE) {
      pts.push_back(pkt->pts);
    } else if (pkt->stream_index == v) {
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
        SmartCase{"mpeg4_global_vol_gop13", "avi", "25", 25, Mpeg4("13", {"-flags", "+global_header"}), "avi"},
        // HEVC: x265 codes the head and tail with its own sets in band, every
        // copied IRAP picture carries the source's in front. Into Matroska,
        // and 10-bit from Matroska (dated back from the demuxer's first DTS).
        SmartCase{"hevc_gop24", "mp4", "25", 25, X265("24"), "mp4"},
        SmartCase{"hevc_gop24_to_mkv", "mp4", "25", 25, X265("24"), "mkv"},
        SmartCase{"hevc10_mkv_gop24", "mkv", "25", 25, X265("24", {"-pix_fmt", "yuv420p10le"}), "mp4"}),
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

  // HEVC re-encoded whole stays HEVC.
  const std::string hevc = dir.File("hevc.mp4");
  ASSERT_TRUE(MakeBarcodeClip(hevc, "160x120", "25", "3", X265("25")));
  args = CutArgs(hevc, 1, 1, dir.File("h.mp4"));
  args.push_back("0");
  r = RunTool(args);
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const PieceFacts h = ReadPiece(dir.File("h.mp4"));
  EXPECT_EQ(h.video.codec, "hevc");
  ASSERT_EQ(h.frameIndices.size(), 25u);
  EXPECT_EQ(h.frameIndices.front(), 25);
}

// A player that plays the re-encoded start has met x265's parameter sets
// (id 0, as the source's); seeking on into the copied run must bring the
// source's back, at every IRAP picture, not only the first.
TEST(SmartCutHevc, SeekFromTheHeadIntoALaterIrapDecodesStrictly) {
  TempDir dir;
  const std::string src = dir.File("src.mp4"), out = dir.File("piece.mp4");
  ASSERT_TRUE(MakeBarcodeClip(src, "320x240", "25", "6", X265("25")));
  // [1.4, end): pictures 35..49 re-encoded, IDR pictures 50, 75, 100, 125 copied.
  ToolResult r = RunTool({"-i", src, "-ss", "1.4", "-t", "5", "-y", out});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  ASSERT_NE(r.output.find("smart cut: 15 frames re-encoded at the start"), std::string::npos) << r.output;

  AVFormatContext* fc = nullptr;
  ASSERT_EQ(avformat_open_input(&fc, out.c_str(), nullptr, nullptr), 0);
  ASSERT_GE(avformat_find_stream_info(fc, nullptr), 0);
  const AVCodec* codec = nullptr;
  const int v = av_find_best_stream(fc, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  ASSERT_GE(v, 0);
  EXPECT_EQ(fc->streams[v]->codecpar->codec_tag, MKTAG('h', 'e', 'v', '1'));
  AVCodecContext* dec = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(dec, fc->streams[v]->codecpar);
  dec->err_recognition = AV_EF_EXPLODE;
  dec->thread_count = 1;
  ASSERT_EQ(avcodec_open2(dec, codec, nullptr), 0);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  std::vector<int> shown;
  int errors = 0;
  auto decode = [&](const AVPacket* p) {
    if (avcodec_send_packet(dec, p) < 0) ++errors;
    while (avcodec_receive_frame(dec, frame) >= 0) {
      errors += frame->decode_error_flags != 0 || (frame->flags & AV_FRAME_FLAG_CORRUPT) ? 1 : 0;
      shown.push_back(BarcodeOf(frame));
      av_frame_unref(frame);
    }
  };
  // The head's first packets, with x265's sets.
  for (int n = 0; n < 3 && av_read_frame(fc, pkt) >= 0;) {
    if (pkt->stream_index == v) {
      decode(pkt);
      ++n;
    }
    av_packet_unref(pkt);
  }
  // On to the IDR picture at 4 s of the source (2.6 s into the piece),
  // the third copied one.
  const AVRational tb = fc->streams[v]->time_base;
  ASSERT_GE(av_seek_frame(fc, v, av_rescale_q(2600000, AV_TIME_BASE_Q, tb), AVSEEK_FLAG_BACKWARD), 0);
  avcodec_flush_buffers(dec);
  shown.clear();
  while (av_read_frame(fc, pkt) >= 0) {
    if (pkt->stream_index == v) decode(pkt);
    av_packet_unref(pkt);
  }
  decode(nullptr);
  EXPECT_EQ(errors, 0);
  ASSERT_EQ(shown.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(shown[static_cast<std::size_t>(i)], 100 + i);
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&dec);
  avformat_close_input(&fc);
}

// The timing trace is for people reading standard error: it stays silent
// unless asked for, and never takes the last line, which the program shows
// as the outcome of the run.
TEST(SmartCutTiming, TraceOnlyWhenAskedAndNeverTheLastLine) {
  TempDir dir;
  const Clip& mp4 = GetClip("mp4_h264");
  ASSERT_FALSE(mp4.path.empty());
  auto lastLine = [](const std::string& text) {
    std::string t = text;
    while (!t.empty() && t.back() == '\n') t.pop_back();
    const std::size_t nl = t.rfind('\n');
    return nl == std::string::npos ? t : t.substr(nl + 1);
  };

  ToolResult r = RunTool(CutArgs(mp4.path, 1, 2, dir.File("quiet.mp4")));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(r.output.find("ZantrelCore: time "), std::string::npos) << r.output;

  r = RunTool(CutArgs(mp4.path, 1, 2, dir.File("traced.mp4")), {"ZANTREL_TRACE_TIMES=1"});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const std::size_t started = r.output.find("ZantrelCore: time started: wall ");
  const std::size_t written = r.output.find("ZantrelCore: time written: wall ");
  ASSERT_NE(started, std::string::npos) << r.output;
  ASSERT_NE(written, std::string::npos) << r.output;
  EXPECT_LT(started, written) << r.output;
  EXPECT_EQ(lastLine(r.output).rfind("ZantrelCore: smart cut:", 0), 0u) << r.output;
  // Tracing changes nothing in the piece.
  EXPECT_EQ(ReadFileBytes(dir.File("traced.mp4")), ReadFileBytes(dir.File("quiet.mp4")));

  r = RunTool(CutArgs(mp4.path, 100, 2, dir.File("late.mp4")), {"ZANTREL_TRACE_TIMES=1"});
  EXPECT_NE(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("ZantrelCore: time started"), std::string::npos) << r.output;
  EXPECT_NE(lastLine(r.output).find("lies beyond the end of the source"), std::string::npos) << r.output;
}

}  // namespace
}  // namespace zantrel::tooltest
