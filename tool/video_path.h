#pragma once
// Decoding the source's video from the seek point, keeping the frames the
// piece's window holds and encoding them on the piece's own timeline.
#include <cstdint>
#include <optional>
#include <string>

#include "tool/args.h"
#include "tool/av_handles.h"
#include "tool/frame_clock.h"
#include "tool/muxer.h"
#include "tool/piece_window.h"

namespace zantrel::tool {

class VideoPath {
 public:
  // Sets up the decoder for input stream `index`, the encoder and the output
  // stream. `threads` is the per-codec thread count (0 = automatic).
  bool Init(AVFormatContext* in, int index, const AVCodec* encoder, Muxer* mux, int threads,
            int quality, std::string* error);

  // The cut: frames are timed on the file's timeline (`fileStartUs` is the
  // container's start time; `countsFrames` for AVI, see VideoClock) and kept
  // when the window holds them; a kept frame at t is presented at t - S.
  void SetWindow(const PieceWindow& window, std::int64_t fileStartUs, bool countsFrames);

  // Decodes one packet of this stream (null = end of input) and encodes what
  // falls in the window. False with a message on an encoder or muxer error;
  // undecodable packets are counted and skipped.
  bool Decode(const AVPacket* pkt, std::string* error);
  // Drains the encoder at the end.
  bool Finish(std::string* error);

  bool done() const { return done_; }
  // End of the last decoded frame on the file's timeline (0 before any).
  std::int64_t reachedUs() const { return reachedUs_; }
  // Time of the first frame kept, or -1 before one is.
  std::int64_t firstKeptUs() const { return firstKeptUs_; }
  std::int64_t framesWritten() const { return framesWritten_; }
  std::int64_t decodeErrors() const { return decodeErrors_; }
  // What the frame clock had to assume (empty when the timestamps held).
  std::string assumption() const { return clock_ ? clock_->assumption() : std::string(); }

 private:
  bool Handle(AVFrame* frame, std::string* error);
  bool Encode(AVFrame* frame, std::int64_t tUs, std::string* error);

  AVStream* in_ = nullptr;
  AVStream* out_ = nullptr;
  Muxer* mux_ = nullptr;
  CodecContextPtr dec_, enc_;
  SwsPtr sws_;
  FramePtr decoded_ = MakeFrame(), converted_ = MakeFrame();
  PacketPtr encoded_ = MakePacket();
  PacketPtr stamped_ = MakePacket();  // AVI: the packet sent, stamped with its slot
  int swsW_ = 0, swsH_ = 0, swsFmt_ = -1;

  PieceWindow window_;
  std::optional<VideoClock> clock_;
  bool countsFrames_ = false;
  std::int64_t frameTs_ = 1;     // one frame's duration in the input time base
  std::int64_t firstKeptUs_ = -1;
  bool done_ = false;
  std::int64_t reachedUs_ = 0;
  std::int64_t lastOutPts_ = AV_NOPTS_VALUE;
  std::int64_t framesWritten_ = 0;
  std::int64_t decodeErrors_ = 0;
};

}  // namespace zantrel::tool
