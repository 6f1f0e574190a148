#include "tool/frame_clock.h"

#include <cstdio>

namespace zantrel::tool {

VideoClock::VideoClock(AVStream* stream, std::int64_t fileStartUs, bool countsFrames,
                       std::int64_t frameTicks)
    : stream_(stream), tb_(stream->time_base), fileStartUs_(fileStartUs), countsFrames_(countsFrames),
      frameTicks_(frameTicks > 0 ? frameTicks : 1) {
  if (countsFrames_) leading_.emplace(stream->codecpar);
}

void VideoClock::Sent(const AVPacket* pkt) {
  if (!pkt) return;
  if (anchorTs_ != AV_NOPTS_VALUE) {
    if (leading_) leading_->Add(pkt);
    return;
  }
  if (!countsFrames_) {
    anchorTs_ = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    return;
  }
  // AVI packets carry only their slot in the index.
  const std::int64_t slot = pkt->dts != AV_NOPTS_VALUE ? pkt->dts : (pkt->pts != AV_NOPTS_VALUE ? pkt->pts : 0);
  keySlot_ = slot;
  const int entries = avformat_index_get_entries_count(stream_);
  if (entries <= 0) {
    anchorTs_ = slot;
    return;
  }
  std::int64_t pictures = 0, slotsListed = 0;
  for (int i = 0; i < entries; ++i) {
    const AVIndexEntry* e = avformat_index_get_entry(stream_, i);
    if (!e || e->timestamp >= slot) continue;
    ++slotsListed;
    if (e->size > 0) ++pictures;
  }
  // An index that lists only key frames says nothing about dropped ones.
  anchorTs_ = slotsListed * 2 < slot ? slot : pictures;
}

std::int64_t VideoClock::ToFileUs(std::int64_t ts) const {
  return av_rescale_q(ts, tb_, AV_TIME_BASE_Q) - fileStartUs_;
}

void VideoClock::Assume(const std::string& what) {
  if (assumption_.empty()) assumption_ = what;
}

std::int64_t VideoClock::TimeOf(const AVFrame* frame) {
  const std::int64_t ts = frame->best_effort_timestamp;
  std::int64_t t;
  if (countsFrames_) {
    // The decoder hands out pictures in display order, each with the slot
    // of the packet it came from (see Sent). From the key frame on they are
    // counted: none after it is dropped. Before it come only the B-frames
    // it leads, which a decoder started at the key frame mostly drops (they
    // refer to a picture before it); dropped or not, they keep their places.
    const std::int64_t base = anchorTs_ != AV_NOPTS_VALUE ? anchorTs_ : 0;
    const std::int64_t leading = leading_ ? leading_->count() : 0;
    if (!keyOut_ && frame->pts != AV_NOPTS_VALUE && frame->pts != keySlot_ && leadingOut_ < leading) {
      t = base + leadingOut_++;
    } else {
      if (!keyOut_) next_ = base + leading;
      keyOut_ = true;
      t = next_++;
    }
    lastTs_ = t;
    return ToFileUs(t);
  }
  if (ts != AV_NOPTS_VALUE && (lastRealTs_ == AV_NOPTS_VALUE || ts >= lastRealTs_)) {
    t = ts;
    lastRealTs_ = ts;
  } else if (lastTs_ != AV_NOPTS_VALUE) {
    // Missing or backward stamps are no presentation times: count on at the
    // frame rate from the last good one.
    t = lastTs_ + frameTicks_;
    Assume(ts == AV_NOPTS_VALUE ? "pictures without timestamps; timed at the frame rate from the last one"
                                : "pictures out of time order; timed at the frame rate from the last good one");
  } else {
    t = anchorTs_ != AV_NOPTS_VALUE ? anchorTs_ : av_rescale_q(fileStartUs_, AV_TIME_BASE_Q, tb_);
    Assume("the first picture has no timestamp; taken to be at the seek point");
  }
  lastTs_ = t;
  return ToFileUs(t);
}

std::int64_t VideoClock::FrameUs(const AVFrame* frame) const {
  const std::int64_t d = !countsFrames_ && frame->pkt_duration > 0 ? frame->pkt_duration : frameTicks_;
  return av_rescale_q(d, tb_, AV_TIME_BASE_Q);
}

std::int64_t AudioClock::TimeOf(const AVFrame* frame, std::int64_t fallbackUs) {
  std::int64_t us;
  if (frame->best_effort_timestamp != AV_NOPTS_VALUE) {
    us = av_rescale_q(frame->best_effort_timestamp, tb_, AV_TIME_BASE_Q) - fileStartUs_;
  } else if (nextUs_ != AV_NOPTS_VALUE) {
    us = nextUs_;
  } else {
    us = fallbackUs;
    if (assumption_.empty()) assumption_ = "the sound has no timestamps; taken to start at the seek point";
  }
  if (frame->sample_rate > 0) nextUs_ = us + av_rescale(frame->nb_samples, AV_TIME_BASE, frame->sample_rate);
  return us;
}

}  // namespace zantrel::tool
