#pragma once
// The time of each decoded frame on the file's timeline (see
// piece_window.h), also where the container's own timestamps cannot say it.
#include <cstdint>
#include <optional>
#include <string>

#include "tool/av_handles.h"
#include "tool/leading_pictures.h"

namespace zantrel::tool {

// Video: one clock per decode run, fed in decode order on the cut's thread.
class VideoClock {
 public:
  // `fileStartUs` is the container's start time. `countsFrames` is true for
  // AVI, whose timing is by frame count: there a frame's time is its display
  // index over the frame rate (the stream's time base), and the packets carry
  // only their slot in the index, in decode order.
  // `frameTicks` is one frame's duration in the stream's time base.
  VideoClock(AVStream* stream, std::int64_t fileStartUs, bool countsFrames, std::int64_t frameTicks);

  // Every packet sent to the decoder, in order; the first one, after a seek,
  // is a key frame. In AVI the caller sends each packet with its pts set to
  // its slot (its dts), so that each decoded picture says which packet it
  // came from. The key frame's display index is the number of pictures
  // stored before it (a dropped frame, an index slot with no picture, shows
  // nothing and does not count) plus the B-frames stored right after it,
  // which are shown before it whether the decoder can decode them or not.
  void Sent(const AVPacket* pkt);
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
  std::int64_t anchorTs_ = AV_NOPTS_VALUE;  // AVI: pictures stored before the key frame
  std::int64_t keySlot_ = AV_NOPTS_VALUE;   // AVI: the key frame's slot in the index
  std::optional<LeadingPictures> leading_;  // AVI: B-frames shown before the key frame
  bool keyOut_ = false;                     // AVI: the key frame has been decoded
  std::int64_t leadingOut_ = 0;             // AVI: B-frames decoded before it
  std::int64_t next_ = 0;                   // AVI: display index of the next picture after it
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
