#pragma once
// Decoding the source's audio, trimming it to the piece at sample accuracy
// from the video's first kept frame, resampling and encoding it (AMR-NB
// through libopencore-amrnb, anything else through FFmpeg's encoders).
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "tool/amrnb_encoder.h"
#include "tool/av_handles.h"
#include "tool/codec_plan.h"
#include "tool/muxer.h"

namespace zantrel::tool {

class AudioPath {
 public:
  // Sets up the decoder, resampler and encoder for the plan's audio and adds
  // the stream to `mux`. False with `*error` set on failure.
  bool Init(AVFormatContext* in, int index, const CodecPlan& plan, Muxer* mux, std::string* error);

  // `baseUs` is the container start, `startUs` the requested cut start
  // (frames before it minus a margin are dropped while the origin is not yet
  // known).
  void SetWindow(std::int64_t baseUs, std::int64_t startUs);
  // The piece's time zero and length; audio decoded before this call is
  // held and trimmed now.
  bool SetOrigin(std::int64_t originUs, std::int64_t lengthUs, std::string* error);

  bool Decode(const AVPacket* pkt, std::string* error);  // null = end of input
  bool Finish(std::string* error);  // drains resampler and encoder

  bool done() const { return done_; }
  std::int64_t reachedUs() const { return reachedUs_; }
  std::int64_t samplesWritten() const { return samplesOut_; }

 private:
  bool Handle(AVFrame* frame, std::string* error);
  bool Feed(const AVFrame* frame, std::int64_t frameUs, std::string* error);
  bool Drain(bool final, std::string* error);
  bool EncodeFrame(AVFrame* frame, std::string* error);  // null = flush

  AVStream* in_ = nullptr;
  AVStream* out_ = nullptr;
  Muxer* mux_ = nullptr;
  CodecContextPtr dec_, enc_;
  std::unique_ptr<AmrNbEncoder> amr_;
  SwrPtr swr_;
  AudioFifoPtr fifo_;
  FramePtr decoded_ = MakeFrame();
  PacketPtr encoded_ = MakePacket();
  AVSampleFormat outFmt_ = AV_SAMPLE_FMT_S16;
  AVChannelLayout outLayout_{};
  int outRate_ = 0;
  int frameSize_ = 1024;
  AVRational outTb_{1, 1};
  std::int64_t primingUs_ = 0;  // source audio left out at the start (AVI)

  struct HeldFrame {
    FramePtr frame;
    std::int64_t us;
  };
  std::deque<HeldFrame> held_;  // decoded before the origin was known
  std::int64_t baseUs_ = 0, startUs_ = 0;
  bool originKnown_ = false;
  std::int64_t originUs_ = 0, endUs_ = 0;
  std::int64_t nextUs_ = AV_NOPTS_VALUE;
  bool started_ = false;
  bool done_ = false;
  std::int64_t reachedUs_ = 0;
  std::int64_t samplesOut_ = 0;  // next output pts, in 1/outRate_
};

}  // namespace zantrel::tool
