#pragma once
// The time of each decoded frame on the file's timeline (see
// piece_window.h), also where the container's own timestamps cannot say it.
#include <cstdint>
#include <string>

#include "tool/av_handles.h"

namespace zantrel::tool {

// Video: one clock per decode run, fed in decode order on the cut's thread.
class VideoClock {
 public:
  // `fileStartUs` is the container's start time. `countsFrames` is true for
  // AVI, whose timing is by frame count: there a frame's time is its display
  // index over the frame rate (the stream's time base), and the decoder's
  // timestamps are decode-order indices that arrive after a reordering delay.
  // `frameTicks` is one frame's duration in the stream's time base.
  VideoClock(AVStream* stream, std::int64_t fileStartUs, bool countsFrames, std::int64_t frameTicks);

  // The first packet sent to the decoder: after a seek, a key frame. In AVI
  // its display index is the number of pictures stored before it (GOPs are
  // closed there); a dropped frame (an index slot with no picture) counts
  // in the packet's stamp but shows no picture, so it does not count.
  void Anchor(const AVPacket* pkt);
  // The presentation time of the next decoded frame, in display order.
  std::int64_t TimeOf(const AVFrame* frame);
  // One frame's duration in microseconds (for progress and ends).
  std::int64_t FrameUs(const AVFrame* frame) const;

  // What had to be assumed, for the console; empty when the timestamps held.
  const std::string& assumption() const { return assumption_; }

 private:
  std::int64_t ToFileUs(std::int64_t ts) const;
  void Assume(const std::string& what);

  AVStream* stream_;
  AVRational tb_;
  std::int64_t fileStartUs_;
  bool countsFrames_;
  std::int64_t frameTicks_;
  std::int64_t anchorTs_ = AV_NOPTS_VALUE;
  std::int64_t framesOut_ = 0;              // AVI: frames decoded since the anchor
  std::int64_t lastTs_ = AV_NOPTS_VALUE;    // last time given, stream ticks
  std::int64_t lastRealTs_ = AV_NOPTS_VALUE;
  std::string assumption_;
};

// Audio: sample-accurate times from the decoder, carried on from the last
// frame where a frame has none.
class AudioClock {
 public:
  AudioClock(const AVStream* stream, std::int64_t fileStartUs) : tb_(stream->time_base), fileStartUs_(fileStartUs) {}
  // `fallbackUs` is used for a first frame without a timestamp.
  std::int64_t TimeOf(const AVFrame* frame, std::int64_t fallbackUs);
  const std::string& assumption() const { return assumption_; }

 private:
  AVRational tb_;
  std::int64_t fileStartUs_;
  std::int64_t nextUs_ = AV_NOPTS_VALUE;
  std::string assumption_;
};

}  // namespace zantrel::tool
