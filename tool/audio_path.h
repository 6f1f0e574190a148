#pragma once
// Decoding the source's audio, trimming it to the piece's window at sample
// accuracy, resampling and encoding it (AMR-NB through libopencore-amrnb,
// anything else through FFmpeg's encoders). The sound may change its sample
// rate, channel layout or sample format mid-stream (FLV tags, MP3 frames and
// transport streams can): the piece keeps the rate and channels it started
// with, and every decoded sample is converted to them.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "tool/amrnb_encoder.h"
#include "tool/av_handles.h"
#include "tool/codec_plan.h"
#include "tool/flv_tag_flags.h"
#include "tool/frame_clock.h"
#include "tool/muxer.h"
#include "tool/piece_window.h"

namespace zantrel::tool {

class AudioPath {
 public:
  AudioPath() = default;
  ~AudioPath();
  AudioPath(const AudioPath&) = delete;
  AudioPath& operator=(const AudioPath&) = delete;

  // Sets up the decoder, resampler and encoder for the plan's audio and adds
  // the stream to `mux`. False with `*error` set on failure.
  bool Init(AVFormatContext* in, int index, const CodecPlan& plan, Muxer* mux, std::string* error);

  // The piece: samples whose time on the file's timeline (`fileStartUs` is
  // the container's start) the window holds, a sample at t placed at t - S.
  void SetWindow(const PieceWindow& window, std::int64_t fileStartUs);

  bool Decode(const AVPacket* pkt, std::string* error);  // null = end of input
  bool Finish(std::string* error);  // drains resampler and encoder

  bool done() const { return done_; }
  // End of the last decoded frame on the file's timeline.
  std::int64_t reachedUs() const { return reachedUs_; }
  std::string assumption() const { return clock_ ? clock_->assumption() : std::string(); }
  std::int64_t samplesWritten() const { return samplesOut_; }

 private:
  bool Handle(AVFrame* frame, std::string* error);
  bool Feed(const AVFrame* frame, std::int64_t frameUs, std::string* error);
  // A resampler for `frame`'s rate, layout and format, built anew (after the
  // old one's held samples went into the piece) when they differ from the
  // last frame's.
  bool ResamplerFor(const AVFrame* frame, std::string* error);
  // Moves what the resampler still holds (its filter's delay) into the fifo.
  bool FlushResampler(std::string* error);
  bool Drain(bool final, std::string* error);
  bool EncodeFrame(AVFrame* frame, std::string* error);  // null = flush

  AVStream* in_ = nullptr;
  AVStream* out_ = nullptr;
  Muxer* mux_ = nullptr;
  CodecContextPtr dec_, enc_;
  FlvTagFlags tagFlags_;
  std::unique_ptr<AmrNbEncoder> amr_;
  SwrPtr swr_;
  // What swr_ was built to read.
  int swrInRate_ = 0;
  AVSampleFormat swrInFmt_ = AV_SAMPLE_FMT_NONE;
  AVChannelLayout swrInLayout_{};
  AudioFifoPtr fifo_;
  FramePtr decoded_ = MakeFrame();
  PacketPtr encoded_ = MakePacket();
  AVSampleFormat outFmt_ = AV_SAMPLE_FMT_S16;
  AVChannelLayout outLayout_{};
  int outRate_ = 0;
  int frameSize_ = 1024;
  AVRational outTb_{1, 1};
  // Source audio left out at the start, where the container cannot tell a
  // player to skip the encoder's priming (the priming takes its place).
  std::int64_t primingUs_ = 0;

  PieceWindow window_;
  std::optional<AudioClock> clock_;
  bool started_ = false;
  bool done_ = false;
  std::int64_t reachedUs_ = 0;
  std::int64_t samplesOut_ = 0;  // next output pts, in 1/outRate_
};

}  // namespace zantrel::tool
