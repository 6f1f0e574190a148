#pragma once
// Decoding the source's video from the seek point, dropping the frames
// before the cut, and encoding the kept ones with timestamps from 0.
#include <cstdint>
#include <string>

#include "tool/args.h"
#include "tool/av_handles.h"
#include "tool/muxer.h"

namespace zantrel::tool {

class VideoPath {
 public:
  // Sets up the decoder for input stream `index`, the encoder and the output
  // stream. `threads` is the per-codec thread count (0 = automatic).
  bool Init(AVFormatContext* in, int index, const AVCodec* encoder, Muxer* mux, int threads,
            int quality, std::string* error);

  // The cut: the first frame kept is the one whose interval contains
  // startUs (relative to the container start `baseUs`); the piece then lasts
  // lengthUs from that frame's start.
  void SetWindow(std::int64_t baseUs, std::int64_t startUs, std::int64_t lengthUs);

  // Decodes one packet of this stream (null = end of input) and encodes what
  // falls in the window. False with a message on an encoder or muxer error;
  // undecodable packets are counted and skipped.
  bool Decode(const AVPacket* pkt, std::string* error);
  // Drains the encoder at the end.
  bool Finish(std::string* error);

  bool originKnown() const { return originKnown_; }
  std::int64_t originUs() const { return originUs_; }  // relative to baseUs
  bool done() const { return done_; }
  std::int64_t reachedUs() const { return reachedUs_; }  // end of the last decoded frame
  std::int64_t framesWritten() const { return framesWritten_; }
  std::int64_t decodeErrors() const { return decodeErrors_; }

 private:
  bool Handle(AVFrame* frame, std::string* error);
  bool Encode(AVFrame* frame, std::string* error);

  AVStream* in_ = nullptr;
  AVStream* out_ = nullptr;
  Muxer* mux_ = nullptr;
  CodecContextPtr dec_, enc_;
  SwsPtr sws_;
  FramePtr decoded_ = MakeFrame(), converted_ = MakeFrame();
  PacketPtr encoded_ = MakePacket();
  int swsW_ = 0, swsH_ = 0, swsFmt_ = -1;

  std::int64_t baseUs_ = 0;
  std::int64_t startTs_ = 0;     // cut start in the input stream's time base
  std::int64_t lengthUs_ = 0;
  std::int64_t frameTs_ = 1;     // one frame's duration in the input time base
  std::int64_t nextTs_ = AV_NOPTS_VALUE;
  bool originKnown_ = false;
  std::int64_t originTs_ = 0, originUs_ = 0, endTs_ = 0;
  bool done_ = false;
  std::int64_t reachedUs_ = 0;
  std::int64_t lastOutPts_ = AV_NOPTS_VALUE;
  std::int64_t framesWritten_ = 0;
  std::int64_t decodeErrors_ = 0;
};

}  // namespace zantrel::tool
