#include "tool/video_path.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include "tool/console.h"
#include "tool/decoder.h"

namespace zantrel::tool {
namespace {

AVPixelFormat PickPixelFormat(const AVCodec* enc, AVPixelFormat source) {
  if (!enc->pix_fmts) return AV_PIX_FMT_YUV420P;
  // HEVC stays HEVC as it was: 10-bit or 4:4:4 pictures keep their depth
  // and chroma.
  if (enc->id == AV_CODEC_ID_HEVC)
    for (const AVPixelFormat* f = enc->pix_fmts; *f != AV_PIX_FMT_NONE; ++f)
      if (*f == source) return *f;
  // 4:2:0 is what every player of these containers decodes.
  for (const AVPixelFormat* f = enc->pix_fmts; *f != AV_PIX_FMT_NONE; ++f)
    if (*f == AV_PIX_FMT_YUV420P) return *f;
  return enc->pix_fmts[0];
}

}  // namespace

bool VideoPath::Init(AVFormatContext* in, int index, const AVCodec* encoder, Muxer* mux, int threads,
                     int quality, std::string* error) {
  in_ = in->streams[index];
  mux_ = mux;
  // Two decoder threads keep up with the encoder; more only add frame
  // delay and take cores the encoder uses better.
  if (!OpenDecoder(in_, threads == 0 ? 2 : std::min(threads, 2), FF_THREAD_FRAME | FF_THREAD_SLICE,
                   "video", &dec_, error))
    return false;

  AVRational rate = av_guess_frame_rate(in, in_, nullptr);
  if (rate.num <= 0 || rate.den <= 0 || av_q2d(rate) > 240) rate = {25, 1};
  // MPEG-4 Part 2 codes the time base in 16 bits.
  if (rate.num > 65535) rate = av_d2q(av_q2d(rate), 65535);
  frameTs_ = std::max<std::int64_t>(1, av_rescale_q(1, av_inv_q(rate), in_->time_base));

  enc_.reset(avcodec_alloc_context3(encoder));
  if (!enc_) {
    *error = "cannot set up the video encoder";
    return false;
  }
  enc_->width = in_->codecpar->width;
  enc_->height = in_->codecpar->height;
  enc_->pix_fmt = PickPixelFormat(encoder, static_cast<AVPixelFormat>(in_->codecpar->format));
  enc_->time_base = av_inv_q(rate);
  enc_->framerate = rate;
  enc_->sample_aspect_ratio = av_guess_sample_aspect_ratio(in, in_, nullptr);
  if (mux->globalHeader()) enc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* opts = nullptr;
  if (encoder->id == AV_CODEC_ID_H264 || encoder->id == AV_CODEC_ID_HEVC) {
    enc_->thread_count = threads;
    char crf[16];
    std::snprintf(crf, sizeof crf, "%.2f", 18 + (100 - quality) * 0.33);
    // x264 and x265 share their preset names and speed classes.
    av_dict_set(&opts, "preset", "veryfast", 0);
    av_dict_set(&opts, "crf", crf, 0);
    // x265 prints its settings on standard error unless told not to, and
    // sizes its thread pool itself.
    if (encoder->id == AV_CODEC_ID_HEVC)
      av_dict_set(&opts, "x265-params",
                  ("log-level=error" + (threads > 0 ? ":pools=" + std::to_string(threads) : std::string())).c_str(), 0);
  } else {
    // The MPEG-style encoders: constant quantiser, visually lossless at 2.
    const double q = 2 + (100 - quality) * 0.29;
    enc_->flags |= AV_CODEC_FLAG_QSCALE;
    enc_->global_quality = static_cast<int>(std::lround(FF_QP2LAMBDA * q));
    enc_->gop_size = 250;
    enc_->max_b_frames = 0;
    if (encoder->capabilities & AV_CODEC_CAP_SLICE_THREADS) enc_->thread_count = threads;
  }
  const int err = avcodec_open2(enc_.get(), encoder, &opts);
  av_dict_free(&opts);
  if (err < 0) {
    *error = std::string("cannot open the video encoder ") + encoder->name + ": " + AvErrorText(err);
    return false;
  }
  out_ = mux->AddStream();
  if (!out_ || avcodec_parameters_from_context(out_->codecpar, enc_.get()) < 0) {
    *error = "cannot add the video stream";
    return false;
  }
  out_->time_base = enc_->time_base;
  out_->avg_frame_rate = rate;
  out_->sample_aspect_ratio = enc_->sample_aspect_ratio;
  return true;
}

void VideoPath::SetWindow(const PieceWindow& window, std::int64_t fileStartUs, bool countsFrames) {
  window_ = window;
  countsFrames_ = countsFrames;
  clock_.emplace(in_, fileStartUs, countsFrames, frameTs_);
}

bool VideoPath::Decode(const AVPacket* pkt, std::string* error) {
  if (done_) return true;
  if (pkt) clock_->Sent(pkt);
  int err;
  if (pkt && countsFrames_ && av_packet_ref(stamped_.get(), pkt) == 0) {
    // Each picture then names the packet it came from (see VideoClock).
    stamped_->pts = stamped_->dts;
    err = avcodec_send_packet(dec_.get(), stamped_.get());
    av_packet_unref(stamped_.get());
  } else {
    err = avcodec_send_packet(dec_.get(), pkt);
  }
  if (err < 0 && err != AVERROR_EOF) {
    ++decodeErrors_;  // a damaged packet: the decoder conceals what follows
    if (err != AVERROR_INVALIDDATA && err != AVERROR(EAGAIN)) return true;
  }
  for (;;) {
    err = avcodec_receive_frame(dec_.get(), decoded_.get());
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return true;
    if (err < 0) {
      ++decodeErrors_;
      return true;
    }
    bool ok = Handle(decoded_.get(), error);
    av_frame_unref(decoded_.get());
    if (!ok) return false;
    if (done_) return true;
  }
}

bool VideoPath::Handle(AVFrame* frame, std::string* error) {
  const std::int64_t t = clock_->TimeOf(frame);
  reachedUs_ = std::max(reachedUs_, t + clock_->FrameUs(frame));
  // Frames come out in display order, so the first one past the end ends
  // the piece; those before the start were only decoded to get there.
  if (window_.IsPast(t)) {
    done_ = true;
    return true;
  }
  if (!window_.Holds(t)) return true;
  if (firstKeptUs_ < 0) firstKeptUs_ = t;
  return Encode(frame, t, error);
}

bool VideoPath::Encode(AVFrame* frame, std::int64_t tUs, std::string* error) {
  // On the piece's timeline, as the audio is: a picture that comes a little
  // after the cut keeps its distance from the sound.
  std::int64_t pts = av_rescale_q_rnd(window_.PieceTime(tUs), AV_TIME_BASE_Q, enc_->time_base,
                                      static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
  // Encoders need strictly rising timestamps; a variable-rate source can
  // put two frames into one tick of the output rate.
  if (lastOutPts_ != AV_NOPTS_VALUE && pts <= lastOutPts_) pts = lastOutPts_ + 1;
  lastOutPts_ = pts;

  AVFrame* send = frame;
  if (frame->format != enc_->pix_fmt || frame->width != enc_->width || frame->height != enc_->height) {
    if (!sws_ || swsW_ != frame->width || swsH_ != frame->height || swsFmt_ != frame->format) {
      sws_.reset(sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                enc_->width, enc_->height, enc_->pix_fmt, SWS_BICUBIC, nullptr, nullptr,
                                nullptr));
      swsW_ = frame->width;
      swsH_ = frame->height;
      swsFmt_ = frame->format;
      if (!sws_) {
        *error = "cannot convert the video frames";
        return false;
      }
    }
    if (!converted_->data[0]) {
      converted_->format = enc_->pix_fmt;
      converted_->width = enc_->width;
      converted_->height = enc_->height;
      if (av_frame_get_buffer(converted_.get(), 0) < 0) {
        *error = "out of memory";
        return false;
      }
    }
    // The encoder may still hold the previous picture.
    if (av_frame_make_writable(converted_.get()) < 0) {
      *error = "out of memory";
      return false;
    }
    sws_scale(sws_.get(), frame->data, frame->linesize, 0, frame->height, converted_->data,
              converted_->linesize);
    send = converted_.get();
  }
  send->pts = pts;
  send->pict_type = AV_PICTURE_TYPE_NONE;  // let the encoder place its own key frames
  send->sample_aspect_ratio = enc_->sample_aspect_ratio;
  int err = avcodec_send_frame(enc_.get(), send);
  if (err < 0) {
    *error = "video encoding failed: " + AvErrorText(err);
    return false;
  }
  ++framesWritten_;
  for (;;) {
    err = avcodec_receive_packet(enc_.get(), encoded_.get());
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return true;
    if (err < 0) {
      *error = "video encoding failed: " + AvErrorText(err);
      return false;
    }
    if (!mux_->Write(encoded_.get(), enc_->time_base, out_, error)) return false;
  }
}

bool VideoPath::Finish(std::string* error) {
  int err = avcodec_send_frame(enc_.get(), nullptr);
  if (err < 0 && err != AVERROR_EOF) {
    *error = "video encoding failed: " + AvErrorText(err);
    return false;
  }
  for (;;) {
    err = avcodec_receive_packet(enc_.get(), encoded_.get());
    if (err == AVERROR_EOF || err == AVERROR(EAGAIN)) return true;
    if (err < 0) {
      *error = "video encoding failed: " + AvErrorText(err);
      return false;
    }
    if (!mux_->Write(encoded_.get(), enc_->time_base, out_, error)) return false;
  }
}

}  // namespace zantrel::tool
