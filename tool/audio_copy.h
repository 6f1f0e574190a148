#pragma once
// The audio of a smart-cut piece where the form keeps the source's audio
// codec, rate and channels: the source's packets are copied as they stand,
// each to the piece its start time falls in ([S, E) on the file's timeline),
// so consecutive pieces share none and miss none. Main thread only.
//
// A piece declares one sample rate and channel count for its whole audio
// stream (the FLV muxer writes the same flags in every tag, MP4 one sample
// description), so copied packets must all have them. The copied packets are
// decoded alongside to check that; sound that changes mid-stream makes the
// copy stop (changed()), and the piece is then cut with its audio re-encoded.
#include <cstdint>
#include <string>

#include "tool/av_handles.h"
#include "tool/codec_plan.h"
#include "tool/flv_tag_flags.h"
#include "tool/muxer.h"
#include "tool/piece_window.h"

namespace zantrel::tool {

// True when the piece's audio can be copied: the plan keeps the source's
// codec, rate and channel count, no bit rate was asked for, and the
// container is not AVI (which places audio by byte count from the start).
bool AudioCanBeCopied(const CodecPlan& plan, const AVCodecParameters* audio, bool bitRateAsked);

class AudioCopy {
 public:
  // Adds the output stream with the source stream's parameters.
  bool Init(AVFormatContext* in, int index, Muxer* mux, std::string* error);
  // The piece: packets starting at a time the window holds on the file's
  // timeline (`fileStartUs` is the container's start), one at t placed at
  // t - S.
  void SetWindow(const PieceWindow& window, std::int64_t fileStartUs);
  // One packet of this stream; null = end of input. False with a message
  // when writing fails, a packet has no time stamp, or the sound changed.
  bool Feed(const AVPacket* pkt, std::string* error);

  // True once a copied packet decoded to another rate or channel count than
  // the piece declares; Feed has then returned false with what changed.
  bool changed() const { return changed_; }
  bool done() const { return done_; }
  std::int64_t reachedUs() const { return reachedUs_; }  // on the file's timeline
  std::int64_t packetsWritten() const { return written_; }

 private:
  bool Write(AVPacket* pkt, std::string* error);
  // Decodes `pkt` (null = flush) with the watching decoder; false with the
  // change in *error when a frame differs from the declared sound.
  bool Watch(const AVPacket* pkt, std::string* error);

  AVStream* in_ = nullptr;
  AVStream* out_ = nullptr;
  Muxer* mux_ = nullptr;
  std::int64_t fileStartUs_ = 0, startTs_ = 0, endTs_ = 0;
  std::int64_t originTs_ = 0;  // S in the input time base
  CodecContextPtr watch_;  // null when the codec cannot be decoded here
  FlvTagFlags tagFlags_;
  FramePtr watched_ = MakeFrame();
  bool changed_ = false;
  bool done_ = false;
  std::int64_t reachedUs_ = 0;
  std::int64_t written_ = 0;
};

}  // namespace zantrel::tool
