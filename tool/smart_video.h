#pragma once
// The video of a piece cut smartly: the partial group of pictures at the
// start (the head) is decoded and re-encoded, whole groups from the first
// clean key frame on (the body) are copied packet for packet, and the group
// holding the end (the tail) is copied as far as a decode-order prefix holds
// only frames before the end shown before all later ones; the frames before
// the end it leaves out are re-encoded after it.
//
// The piece holds the frames with S <= t < E on the source's timeline, like
// the full re-encode. Re-encoded frames come from libx264 set up like the
// source (size, pixel format, SAR, colour, profile and level no higher, no
// B-frames, one reference), opened with its own parameter set id; those sets
// are added to the source's avcC, which the output stream carries. The
// re-encoded packets' DTS are lowered by the source's reorder delay at the
// seam so that DTS keep rising by one frame across it.
//
// HEVC is cut the same way with libx265, which cannot choose its parameter
// set ids: the re-encoded runs carry their own VPS/SPS/PPS in band, every
// copied IRAP picture is prefixed with the source's (so that a decoder that
// met the re-encoded sets, or seeks into the body, uses the source's again),
// and the track says sets may come in band (hev1). x265 is matched to the
// source's profile, level, bit depth and chroma format; when the sets it
// writes differ anyway, the piece falls back.
//
// Sorenson H.263, H.263 and MPEG-4 Part 2 without B-frames are shown in
// decode order and carry their picture headers in band: their re-encoded
// frames come from the source codec's own encoder (same size, 4:2:0, the
// quantiser the full re-encode uses) and take the source's time stamps.
//
// Each seam is checked by a strict decode of the written packets; when a
// check fails, or the stream turns out to need something this path cannot
// do (no timestamps, interlaced pictures, key frames too far apart), Feed()
// returns kFallback and the caller discards the output and cuts the piece by
// full re-encode. Main thread only; the object owns its codecs.
#include <climits>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "tool/av_handles.h"
#include "tool/codec_plan.h"
#include "tool/h264_bitstream.h"
#include "tool/hevc_bitstream.h"
#include "tool/muxer.h"
#include "tool/piece_window.h"

namespace zantrel::tool {

class SmartVideo {
 public:
  enum class Status { kOk, kFallback, kError };

  // Checks that the piece can be cut smartly, opens the head encoder and the
  // decoders and adds the output stream. kFallback with the reason when it
  // cannot be done (nothing was added to `mux` then), kError on a failure.
  Status Init(AVFormatContext* in, int index, const CodecPlan& plan, Muxer* mux, int threads, int quality,
              std::string* message);

  // The piece: the frames the window holds on the file's timeline
  // (`fileStartUs` is the container's start time), a frame at t presented
  // at t - S.
  void SetWindow(const PieceWindow& window, std::int64_t fileStartUs);

  // One packet of this stream in demuxing order; null = end of input.
  Status Feed(const AVPacket* pkt, std::string* message);

  // Time of the first frame kept on the file's timeline, or -1 before one is.
  std::int64_t firstKeptUs() const { return firstKeptUs_; }
  bool done() const { return done_; }
  std::int64_t reachedUs() const { return reachedUs_; }  // on the file's timeline
  std::int64_t framesWritten() const { return headFrames_ + copied_ + tailFrames_; }
  // "smart cut: ..." for the console.
  std::string Summary() const;

 private:
  enum class Phase { kHead, kCopy, kDone };
  // H.264: x264 with its own parameter set id; the sets merged into the
  // source's avcC come back in `avcc`.
  Status InitH264(Bytes* avcc, std::string* message);
  // HEVC: the source's hvcC, marked as not holding every set, comes back in
  // `hvcc`.
  Status InitHevc(Bytes* hvcc, std::string* message);
  Status OpenEncoder(CodecContextPtr* enc, std::string* message);  // libx264, or libx265 for HEVC
  Status OpenX265(CodecContextPtr* enc, std::string* message);
  // The source's size, colour, aspect, time base and rate, for x264 and x265.
  void ShapeLikeSource(AVCodecContext* c) const;
  // HEVC: the copied packet, prefixed with the source's sets when it is an
  // IRAP picture without its own.
  Status PrepareCopy(const AVPacket* pkt, PacketPtr* out, std::string* message) const;
  // HEVC: fallback unless the sets x265 wrote into `annexB` match the source.
  Status CheckEncodedSets(const AVPacket* annexB, std::string* message) const;
  Status OpenMpegEncoder(CodecContextPtr* enc, std::string* message);  // the source codec's own
  // 1, or the slice threads that make MPEG-4's VOL header the source's.
  int MpegThreads(const AVCodecContext& settings) const;
  // MPEG-4: a copied key frame without its own VOL header follows the last
  // VOL the decoder met; fallback unless that one is the source's.
  Status CheckBodyVol(const AVPacket* key, std::string* message) const;
  Status FeedDated(const AVPacket* pkt, std::string* message);  // Feed, once the packet has a DTS
  Status FeedHead(const AVPacket* pkt, bool clean, std::string* message);
  Status FeedCopy(const AVPacket* pkt, bool clean, std::string* message);
  Status FinishHead(bool bodyFollows, std::int64_t delay, std::string* message);
  Status EndSeamCheck(std::string* message);  // drains a pending check of the start seam
  Status DecideTail(std::string* message);
  Status WriteGroup(std::size_t count, std::string* message);  // the first `count` of group_
  void ClearGroup();
  // Decodes `pkt` (null drains) and encodes the frames in [from, endTs_).
  Status Decode(const AVPacket* pkt, AVCodecContext* enc, std::int64_t from, std::vector<PacketPtr>* out,
                std::string* message);
  Status Encode(AVCodecContext* enc, AVFrame* frame, std::vector<PacketPtr>* out, std::string* message);
  // Writes re-encoded packets with DTS = PTS - delay after the seam check.
  Status WriteEncoded(std::vector<PacketPtr>* packets, std::int64_t delay, std::string* message);
  Status WriteCopied(const AVPacket* pkt, std::string* message);
  Status Check(const AVPacket* pkt, const char* seam, std::string* message);  // null drains
  bool IsCleanKey(const AVPacket* pkt) const;

  AVFormatContext* inFormat_ = nullptr;
  AVStream* in_ = nullptr;
  AVStream* out_ = nullptr;
  Muxer* mux_ = nullptr;
  AVCodecID codec_ = AV_CODEC_ID_NONE;
  bool mpeg_ = false;  // flv1, h263, mpeg4: no parameter sets, no reordering
  bool hevc_ = false;
  int nalLengthSize_ = 4;  // H.264 and HEVC: the source's NAL length prefix
  AVPixelFormat pixFmt_ = AV_PIX_FMT_YUV420P;  // what the encoders take
  HvcConfig hvc_;            // HEVC: the source's parameter sets
  HevcSpsFacts hevcFacts_;   // HEVC: what its SPS says
  Bytes hevcPrefix_;         // HEVC: its VPS/SPS/PPS, length-prefixed
  const AVCodec* encoder_ = nullptr;  // the plan's, for the MPEG-style codecs
  Bytes sourceVol_, headVol_;  // MPEG-4: the piece header's VOL, the re-encoded run's
  std::deque<std::int64_t> pendingPts_;  // source times of the frames in the MPEG-style encoder
  std::int64_t encoderPts_ = 0;
  bool countsFrames_ = false;  // AVI: packets are timed by their picture's number
  std::vector<std::int64_t> pictureSlots_;  // AVI: the index slots that hold pictures
  AvcConfig config_;
  int paramSetId_ = 0;
  Bytes encoderSets_;  // the head encoder's Annex-B extradata
  int threads_ = 0, quality_ = 100;
  AVRational rate_{25, 1};
  std::int64_t frameTs_ = 1;  // one frame in the input time base
  CodecContextPtr dec_, headEnc_, tailEnc_, checker_;
  FramePtr frame_ = MakeFrame();
  PacketPtr encoded_ = MakePacket();

  Phase phase_ = Phase::kHead;
  std::int64_t fileStartUs_ = 0;
  std::int64_t startTs_ = 0, endTs_ = 0;  // in the input stream's time base, rounded up
  std::int64_t originTs_ = 0;  // S in the input stream's time base: the piece's time 0
  std::int64_t firstKeptUs_ = -1;
  bool done_ = false;
  std::int64_t reachedUs_ = 0;

  std::vector<PacketPtr> undated_;  // packets waiting for a DTS to be dated back from
  bool dated_ = false;               // a packet has come with its DTS
  std::vector<PacketPtr> headPackets_;  // held until the seam's delay is known
  bool headReachedEnd_ = false;
  std::vector<PacketPtr> group_;  // the current copied group, from its clean key frame
  std::int64_t groupBytes_ = 0;
  std::size_t firstAtEnd_ = SIZE_MAX;  // index in group_ of the first packet at or past the end
  std::int64_t lastDts_ = INT64_MIN;  // of the last packet written, source time base
  int checkAfterSeam_ = 0;  // copied packets still to pass through the seam check
  std::int64_t headFrames_ = 0, copied_ = 0, tailFrames_ = 0;
  bool tailCopied_ = false;
};

}  // namespace zantrel::tool
