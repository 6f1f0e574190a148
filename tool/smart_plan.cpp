#include "tool/smart_plan.h"

#include <algorithm>
#include <climits>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "tool/h264_bitstream.h"
#include "tool/hevc_bitstream.h"

namespace zantrel::tool {
namespace {

bool OneOf(const char* name, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (std::strcmp(name, n) == 0) return true;
  return false;
}

}  // namespace

bool IsMpegStyle(AVCodecID id) {
  return id == AV_CODEC_ID_FLV1 || id == AV_CODEC_ID_H263 || id == AV_CODEC_ID_MPEG4;
}

namespace {

const char* kMovDemuxer = "mov,mp4,m4a,3gp,3g2,mj2";

// The MPEG-style codecs: no parameter sets to merge, so the copied packets
// and the re-encoded ones only need a container that stores them the same
// way on both sides and times them the same way.
std::string MpegStyleObstacle(const AVCodecParameters* video, const char* demuxerName, const AVCodec* encoder,
                              const AVOutputFormat* muxer) {
  const AVCodecID id = video->codec_id;
  if (!encoder || encoder->id != id) return "the output form changes the video codec";
  bool demuxerOk = false, muxerOk = false;
  const char* name = muxer ? muxer->name : "";
  if (id == AV_CODEC_ID_FLV1) {
    demuxerOk = OneOf(demuxerName, {"flv", "live_flv"});
    muxerOk = OneOf(name, {"flv"});
  } else if (id == AV_CODEC_ID_H263) {
    demuxerOk = OneOf(demuxerName, {kMovDemuxer});
    muxerOk = OneOf(name, {"3gp", "3g2", "mp4", "mov"});
  } else {
    // AVI times pictures by their count; a copy keeps that count only into
    // another AVI.
    demuxerOk = OneOf(demuxerName, {"avi"});
    muxerOk = OneOf(name, {"avi"});
  }
  if (!demuxerOk)
    return std::string("a smart cut of ") + avcodec_get_name(id) + " does not take it from the container " +
           demuxerName;
  if (!muxerOk)
    return std::string("a smart cut of ") + avcodec_get_name(id) + " does not write it into the container " +
           (muxer ? muxer->name : "?");
  if (video->format != AV_PIX_FMT_YUV420P) return "the source's pictures are not 8-bit 4:2:0";
  if (video->field_order != AV_FIELD_PROGRESSIVE && video->field_order != AV_FIELD_UNKNOWN)
    return "the source is interlaced";
  if (video->width <= 0 || video->height <= 0) return "the source's picture size is unknown";
  // B-frames (or a "packed" bitstream, which holds them) reorder pictures:
  // the AVI's frame count no longer says when each is shown.
  if (id == AV_CODEC_ID_MPEG4 && video->video_delay > 0) return "the source's MPEG-4 video has B-frames";
  return "";
}

// HEVC: x265 cannot choose its parameter set ids, so the re-encoded runs
// carry their own sets in band and every copied IRAP picture the source's
// (see SmartVideo); that needs a container whose track may say so (hev1 in
// MP4 and MOV, Matroska).
std::string HevcObstacle(const AVCodecParameters* video, const char* demuxerName, const AVCodec* encoder,
                         const AVOutputFormat* muxer) {
  if (!encoder || encoder->id != AV_CODEC_ID_HEVC || std::strcmp(encoder->name, "libx265") != 0)
    return "the output form changes the video codec";
  if (!OneOf(demuxerName, {kMovDemuxer, "matroska,webm"}))
    return std::string("the source container (") + demuxerName + ") keeps no HEVC configuration record";
  if (!muxer || !OneOf(muxer->name, {"mp4", "mov", "matroska"}))
    return std::string("the output container (") + (muxer ? muxer->name : "?") +
           ") does not take the source's HEVC packets as they are";
  HvcConfig config;
  if (!ParseHvcC(video->extradata, static_cast<std::size_t>(std::max(video->extradata_size, 0)), &config))
    return "the source has no HEVC configuration record";
  if (config.vps.empty() || config.sps.empty() || config.pps.empty())
    return "the source's parameter sets are not in its configuration record";
  HevcSpsFacts facts;
  for (const Bytes& sps : config.sps)
    if (!ParseHevcSps(sps, &facts)) return "the source's sequence parameter set cannot be read";
  // Main, Main 10, Main Still Picture and the range extensions: what x265
  // makes, for the pixel formats it takes.
  if (facts.profileIdc < 1 || facts.profileIdc > 4) return "the source's HEVC profile is not one x265 makes";
  bool format = false;
  for (const AVPixelFormat* f = encoder->pix_fmts; f && *f != AV_PIX_FMT_NONE; ++f) format |= *f == video->format;
  if (!format) return "x265 does not take the source's pixel format";
  if (video->field_order != AV_FIELD_PROGRESSIVE && video->field_order != AV_FIELD_UNKNOWN)
    return "the source is interlaced";
  if (video->width <= 0 || video->height <= 0) return "the source's picture size is unknown";
  return "";
}

}  // namespace

std::string SmartCutObstacle(const AVCodecParameters* video, const char* demuxerName,
                             const AVCodec* encoder, const AVOutputFormat* muxer) {
  if (!video) return "the source has no video";
  if (!demuxerName) demuxerName = "?";
  if (IsMpegStyle(video->codec_id)) return MpegStyleObstacle(video, demuxerName, encoder, muxer);
  if (video->codec_id == AV_CODEC_ID_HEVC) return HevcObstacle(video, demuxerName, encoder, muxer);
  if (video->codec_id != AV_CODEC_ID_H264)
    return std::string("the source's video is ") + avcodec_get_name(video->codec_id) +
           ", which has no matching encoder here";
  if (!encoder || encoder->id != AV_CODEC_ID_H264 || std::strcmp(encoder->name, "libx264") != 0)
    return "the output form changes the video codec";
  // AVI and raw streams keep Annex-B without timestamps; the copied packets
  // and the re-encoded ones would need other framing and timing rules.
  if (!OneOf(demuxerName, {kMovDemuxer, "flv", "live_flv", "matroska,webm"}))
    return std::string("the source container (") + demuxerName +
           ") keeps no H.264 configuration record";
  if (!muxer || !OneOf(muxer->name, {"mp4", "mov", "3gp", "3g2", "ipod", "flv", "matroska"}))
    return std::string("the output container (") + (muxer ? muxer->name : "?") +
           ") does not take the source's H.264 packets as they are";
  AvcConfig config;
  if (!ParseAvcC(video->extradata, static_cast<std::size_t>(video->extradata_size), &config))
    return "the source has no H.264 configuration record";
  if (config.sps.empty() || config.pps.empty()) return "the source's parameter sets are not in its configuration record";
  if (FreeParameterSetId(config) < 0) return "no parameter set id is free for the re-encoded frames";
  if (video->format != AV_PIX_FMT_YUV420P && video->format != AV_PIX_FMT_YUVJ420P)
    return "the source's pictures are not 8-bit 4:2:0";
  if (video->field_order != AV_FIELD_PROGRESSIVE && video->field_order != AV_FIELD_UNKNOWN)
    return "the source is interlaced";
  const int profile = video->profile & ~FF_PROFILE_H264_CONSTRAINED;
  if (profile != FF_PROFILE_H264_BASELINE && profile != FF_PROFILE_H264_MAIN && profile != FF_PROFILE_H264_HIGH)
    return "the source's H.264 profile is not Baseline, Main or High";
  if (video->width <= 0 || video->height <= 0) return "the source's picture size is unknown";
  return "";
}

TailSplit SplitTail(const std::vector<std::int64_t>& pts, std::int64_t endTs) {
  const std::size_t n = pts.size();
  // restMin[i]: the earliest frame from packet i on.
  std::vector<std::int64_t> restMin(n + 1, INT64_MAX);
  for (std::size_t i = n; i-- > 0;) restMin[i] = std::min(restMin[i + 1], pts[i]);
  TailSplit split;
  std::int64_t prefixMax = INT64_MIN;
  for (std::size_t i = 0; i < n && pts[i] < endTs; ++i) {
    prefixMax = std::max(prefixMax, pts[i]);
    if (prefixMax < restMin[i + 1]) split.copy = static_cast<int>(i + 1);
  }
  const std::size_t copied = static_cast<std::size_t>(split.copy);
  split.reencode = restMin[copied] < endTs;
  split.reencodeFrom = restMin[copied];
  return split;
}

bool TailDecidable(std::size_t buffered, std::size_t firstAtEnd, std::size_t reorderDepth) {
  return buffered > firstAtEnd + reorderDepth;
}

}  // namespace zantrel::tool
