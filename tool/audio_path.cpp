#include "tool/audio_path.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "tool/console.h"
#include "tool/decoder.h"

namespace zantrel::tool {
namespace {

bool SkipsPriming(const AVOutputFormat* format) {
  static const char* const kWithEditLists[] = {"mp4", "mov", "3gp", "3g2", "ipod", "psp", "ismv", "f4v"};
  for (const char* name : kWithEditLists)
    if (std::strcmp(format->name, name) == 0) return true;
  return false;
}

}  // namespace

AudioPath::~AudioPath() {
  av_channel_layout_uninit(&outLayout_);
  av_channel_layout_uninit(&swrInLayout_);
}

bool AudioPath::Init(AVFormatContext* in, int index, const CodecPlan& plan, Muxer* mux, std::string* error) {
  in_ = in->streams[index];
  mux_ = mux;
  // Audio decoding is cheap; threads would only add delay.
  if (!OpenDecoder(in_, 1, 0, "audio", &dec_, error)) return false;
  tagFlags_.Open(in, in_);
  outRate_ = plan.sampleRate;
  av_channel_layout_default(&outLayout_, plan.channels);
  outTb_ = {1, outRate_};
  out_ = mux->AddStream();
  if (!out_) {
    *error = "cannot add the audio stream";
    return false;
  }
  if (plan.amrNb) {
    amr_ = std::make_unique<AmrNbEncoder>();
    if (!amr_->ok()) {
      *error = "cannot start the AMR-NB encoder";
      return false;
    }
    outFmt_ = AV_SAMPLE_FMT_S16;
    frameSize_ = AmrNbEncoder::kFrameSamples;
    AVCodecParameters* par = out_->codecpar;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = AV_CODEC_ID_AMR_NB;
    par->sample_rate = AmrNbEncoder::kSampleRate;
    av_channel_layout_default(&par->ch_layout, 1);
    par->frame_size = AmrNbEncoder::kFrameSamples;
    par->bit_rate = AmrNbEncoder::kBitRate;
    out_->time_base = outTb_;
  } else {
    const AVCodec* encoder = plan.audioEncoder;
    enc_.reset(avcodec_alloc_context3(encoder));
    if (!enc_) {
      *error = "cannot set up the audio encoder";
      return false;
    }
    outFmt_ = encoder->sample_fmts ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    enc_->sample_fmt = outFmt_;
    enc_->sample_rate = outRate_;
    av_channel_layout_copy(&enc_->ch_layout, &outLayout_);
    enc_->bit_rate = plan.audioBitRate;
    enc_->time_base = outTb_;
    if (mux->globalHeader()) enc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int err = avcodec_open2(enc_.get(), encoder, nullptr);
    if (err < 0) {
      *error = std::string("cannot open the audio encoder ") + encoder->name + ": " + AvErrorText(err);
      return false;
    }
    // MP4 and 3GP carry an edit list that tells players to skip the
    // encoder's priming. Elsewhere (FLV, AVI) a player plays it as sound:
    // then leaving out as much of the source keeps the piece's length and
    // its sound on its pictures, and no sample from before the cut slips in.
    if (!SkipsPriming(plan.format) && enc_->initial_padding > 0)
      primingUs_ = av_rescale(enc_->initial_padding, AV_TIME_BASE, outRate_);
    if (enc_->frame_size > 0 && !(encoder->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE))
      frameSize_ = enc_->frame_size;
    if (avcodec_parameters_from_context(out_->codecpar, enc_.get()) < 0) {
      *error = "cannot add the audio stream";
      return false;
    }
    out_->time_base = outTb_;
  }
  fifo_.reset(av_audio_fifo_alloc(outFmt_, outLayout_.nb_channels, frameSize_ * 4));
  if (!fifo_) {
    *error = "out of memory";
    return false;
  }
  return true;
}

void AudioPath::SetWindow(const PieceWindow& window, std::int64_t fileStartUs) {
  window_ = window;
  clock_.emplace(in_, fileStartUs);
}

bool AudioPath::Decode(const AVPacket* pkt, std::string* error) {
  if (done_) return true;
  int rate = 0, channels = 0;
  const bool tagged = tagFlags_.Of(pkt, &rate, &channels);
  if ((tagged && (rate != dec_->sample_rate || channels != dec_->ch_layout.nb_channels)) ||
      (!tagged && AudioPacketNeedsReopen(dec_.get(), pkt, &rate, &channels))) {
    // Samples the old decoder still holds are of the old kind.
    if (!Decode(nullptr, error)) return false;
    if (done_) return true;
    if (!ReopenAudioDecoder(in_, rate, channels, &dec_, error)) return false;
  }
  int err = SendAudioPacket(dec_.get(), pkt);
  if (err < 0 && err != AVERROR_EOF) return true;  // a damaged packet is left out
  for (;;) {
    err = avcodec_receive_frame(dec_.get(), decoded_.get());
    if (err < 0) return true;
    decoded_->sample_rate = DecodedSampleRate(dec_.get(), decoded_.get());
    bool ok = Handle(decoded_.get(), error);
    av_frame_unref(decoded_.get());
    if (!ok) return false;
    if (done_) return true;
  }
}

bool AudioPath::Handle(AVFrame* frame, std::string* error) {
  if (frame->sample_rate <= 0 || frame->nb_samples <= 0) return true;
  const std::int64_t us = clock_->TimeOf(frame, window_.startUs());
  reachedUs_ = std::max(reachedUs_, us + av_rescale(frame->nb_samples, AV_TIME_BASE, frame->sample_rate));
  return Feed(frame, us, error);
}

bool AudioPath::Feed(const AVFrame* frame, std::int64_t frameUs, std::string* error) {
  if (done_) return true;
  const int rate = frame->sample_rate;
  const int n = frame->nb_samples;
  // Sample by sample the same rule as the pictures: [S, E) of the file's
  // timeline. Nothing before the file's start is placed, not even in the
  // first piece: there is no room before the piece's time 0.
  const std::int64_t fromUs = std::max<std::int64_t>(window_.startUs(), 0) + primingUs_;
  if (window_.IsPast(frameUs)) {
    done_ = true;
    return true;
  }
  const std::int64_t frameEndUs = frameUs + av_rescale(n, AV_TIME_BASE, rate);
  if (frameEndUs <= fromUs) return true;
  // Whole samples: the first one at or after the start, the last one before the end.
  int skip = frameUs < fromUs ? static_cast<int>(av_rescale_rnd(fromUs - frameUs, rate, AV_TIME_BASE, AV_ROUND_UP)) : 0;
  int keepEnd = n;
  if (window_.IsPast(frameEndUs)) {
    keepEnd = static_cast<int>(std::min<std::int64_t>(
        n, av_rescale_rnd(window_.endUs() - frameUs, rate, AV_TIME_BASE, AV_ROUND_UP)));
    done_ = true;
  }
  const int count = keepEnd - std::min(skip, n);
  if (count <= 0) return true;

  if (!ResamplerFor(frame, error)) return false;
  if (!started_) {
    started_ = true;
    // Sound that begins after the cut (a late audio stream) keeps its
    // distance from the piece's start.
    const std::int64_t firstUs = frameUs + av_rescale(skip, AV_TIME_BASE, rate);
    samplesOut_ = std::max<std::int64_t>(0, av_rescale(firstUs - window_.startUs(), outRate_, AV_TIME_BASE));
  }

  const int bps = av_get_bytes_per_sample(static_cast<AVSampleFormat>(frame->format));
  const int channels = frame->ch_layout.nb_channels;
  const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame->format));
  std::vector<const std::uint8_t*> src(planar ? channels : 1);
  for (std::size_t c = 0; c < src.size(); ++c)
    src[c] = frame->extended_data[c] + static_cast<std::size_t>(skip) * bps * (planar ? 1 : channels);

  const int cap = swr_get_out_samples(swr_.get(), count);
  std::uint8_t** dst = nullptr;
  if (av_samples_alloc_array_and_samples(&dst, nullptr, outLayout_.nb_channels, std::max(cap, 1), outFmt_, 0) < 0) {
    *error = "out of memory";
    return false;
  }
  const int got = swr_convert(swr_.get(), dst, cap, src.data(), count);
  bool ok = got >= 0 && av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(dst), got) >= 0;
  av_freep(&dst[0]);
  av_freep(&dst);
  if (!ok) {
    *error = "cannot convert the audio";
    return false;
  }
  return Drain(false, error);
}

bool AudioPath::Drain(bool final, std::string* error) {
  while (av_audio_fifo_size(fifo_.get()) >= frameSize_ || (final && av_audio_fifo_size(fifo_.get()) > 0)) {
    const int n = std::min(frameSize_, av_audio_fifo_size(fifo_.get()));
    if (amr_) {
      std::int16_t pcm[AmrNbEncoder::kFrameSamples] = {};  // the last frame is padded with silence
      void* planes[1] = {pcm};
      if (av_audio_fifo_read(fifo_.get(), planes, n) < n) {
        *error = "cannot convert the audio";
        return false;
      }
      std::vector<std::uint8_t> bytes;
      if (!amr_->Encode(pcm, &bytes)) {
        *error = "AMR-NB encoding failed";
        return false;
      }
      if (av_new_packet(encoded_.get(), static_cast<int>(bytes.size())) < 0) {
        *error = "out of memory";
        return false;
      }
      std::copy(bytes.begin(), bytes.end(), encoded_->data);
      encoded_->pts = encoded_->dts = samplesOut_;
      encoded_->duration = AmrNbEncoder::kFrameSamples;
      encoded_->flags |= AV_PKT_FLAG_KEY;
      samplesOut_ += AmrNbEncoder::kFrameSamples;
      if (!mux_->Write(encoded_.get(), outTb_, out_, error)) return false;
      continue;
    }
    FramePtr f = MakeFrame();
    f->nb_samples = n;
    f->format = outFmt_;
    f->sample_rate = outRate_;
    av_channel_layout_copy(&f->ch_layout, &outLayout_);
    if (av_frame_get_buffer(f.get(), 0) < 0 ||
        av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(f->data), n) < n) {
      *error = "cannot convert the audio";
      return false;
    }
    f->pts = samplesOut_;
    samplesOut_ += n;
    if (!EncodeFrame(f.get(), error)) return false;
  }
  return true;
}

bool AudioPath::EncodeFrame(AVFrame* frame, std::string* error) {
  int err = avcodec_send_frame(enc_.get(), frame);
  if (err < 0 && !(frame == nullptr && err == AVERROR_EOF)) {
    *error = "audio encoding failed: " + AvErrorText(err);
    return false;
  }
  for (;;) {
    err = avcodec_receive_packet(enc_.get(), encoded_.get());
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return true;
    if (err < 0) {
      *error = "audio encoding failed: " + AvErrorText(err);
      return false;
    }
    if (!mux_->Write(encoded_.get(), outTb_, out_, error)) return false;
  }
}

bool AudioPath::Finish(std::string* error) {
  // What the resampler still holds belongs to the piece's last samples.
  if (!FlushResampler(error) || !Drain(true, error)) return false;
  return amr_ ? true : EncodeFrame(nullptr, error);
}

bool AudioPath::ResamplerFor(const AVFrame* frame, std::string* error) {
  const auto format = static_cast<AVSampleFormat>(frame->format);
  if (swr_ && frame->sample_rate == swrInRate_ && format == swrInFmt_ &&
      av_channel_layout_compare(&frame->ch_layout, &swrInLayout_) == 0)
    return true;
  // The sound changed mid-stream. The old resampler's tail is the sound just
  // before the change: it goes into the piece first, so nothing is lost and
  // the new resampler starts clean on the new samples.
  if (swr_ && !FlushResampler(error)) return false;
  swr_.reset();
  SwrContext* raw = nullptr;
  auto* inLayout = const_cast<AVChannelLayout*>(&frame->ch_layout);
  if (swr_alloc_set_opts2(&raw, &outLayout_, outFmt_, outRate_, inLayout, format, frame->sample_rate, 0, nullptr) < 0 ||
      swr_init(raw) < 0) {
    swr_free(&raw);
    *error = "cannot convert the audio";
    return false;
  }
  swr_.reset(raw);
  swrInRate_ = frame->sample_rate;
  swrInFmt_ = format;
  av_channel_layout_uninit(&swrInLayout_);
  if (av_channel_layout_copy(&swrInLayout_, &frame->ch_layout) < 0) {
    *error = "out of memory";
    return false;
  }
  return true;
}

bool AudioPath::FlushResampler(std::string* error) {
  if (!swr_) return true;
  const int cap = std::max(swr_get_out_samples(swr_.get(), 0), 1);
  std::uint8_t** dst = nullptr;
  if (av_samples_alloc_array_and_samples(&dst, nullptr, outLayout_.nb_channels, cap, outFmt_, 0) < 0) {
    *error = "out of memory";
    return false;
  }
  const int got = swr_convert(swr_.get(), dst, cap, nullptr, 0);
  const bool ok = got <= 0 || av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(dst), got) >= 0;
  av_freep(&dst[0]);
  av_freep(&dst);
  if (!ok) *error = "cannot convert the audio";
  return ok;
}

}  // namespace zantrel::tool
