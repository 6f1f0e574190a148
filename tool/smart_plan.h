#pragma once
// The decisions of a smart cut that depend only on stream facts and packet
// timestamps: whether a piece may be cut smartly at all, and how much of the
// group of pictures that holds the piece's end can be copied.
#include <cstdint>
#include <string>
#include <vector>

struct AVCodecParameters;
struct AVCodec;
struct AVOutputFormat;

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace zantrel::tool {

// Why a piece of a source with video `video` written by `muxer` with the
// planned video `encoder` cannot be cut smartly; empty when it can. A smart
// cut copies the source's H.264 packets as they are and re-encodes only the
// partial groups of pictures with libx264 matched to the source, so it needs
// an H.264 source in an avcC configuration (MP4, MOV, 3GP, FLV, Matroska), a
// form that keeps H.264 in a container that stores avcC, 8-bit 4:2:0
// progressive pictures and a profile x264 produces (Baseline, Main, High).
//
// The MPEG-style codecs (Sorenson H.263 in FLV, H.263 in 3GP/MP4/MOV, MPEG-4
// Part 2 in AVI) have self-contained picture headers and, without B-frames,
// show pictures in decode order: each key frame is a clean entry point and
// the head is re-encoded by the same codec's encoder. MPEG-4 with B-frames
// is not cut smartly.
//
// HEVC (an hvcC configuration in MP4, MOV or Matroska, into one of those) is
// cut like H.264, its partial groups re-encoded by libx265 matched to the
// source's profile, level, bit depth and chroma format.
std::string SmartCutObstacle(const AVCodecParameters* video, const char* demuxerName,
                             const AVCodec* encoder, const AVOutputFormat* muxer);

// The tail of a piece: the packets (in decode order, presentation times
// `pts`) of the group of pictures that starts at a clean key frame and holds
// the piece's end `endTs`. The longest decode-order prefix whose frames are
// all before the end and all shown before every later packet's frame can be
// copied: a fresh IDR frame may follow it. The frames before the end that it
// leaves out (at most the reorder run at the end, with B-frames) are
// re-encoded.
struct TailSplit {
  int copy = 0;          // packets copied from the group's start
  bool reencode = false; // frames before the end remain after them
  std::int64_t reencodeFrom = 0;  // the first of those frames' pts
};
TailSplit SplitTail(const std::vector<std::int64_t>& pts, std::int64_t endTs);

// True for the codecs cut smartly by re-encoding with their own encoder
// (flv1, h263, mpeg4) rather than through H.264 parameter sets.
bool IsMpegStyle(AVCodecID id);

// True when a group buffered for the tail decision has seen enough packets
// after its first one at or past the end (`firstAtEnd`, an index) that no
// frame before the end can still follow: `reorderDepth` more (16 for
// H.264, 0 for a stream shown in decode order).
bool TailDecidable(std::size_t buffered, std::size_t firstAtEnd, std::size_t reorderDepth);

}  // namespace zantrel::tool
