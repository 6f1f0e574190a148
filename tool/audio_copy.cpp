#include "tool/audio_copy.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "tool/decoder.h"

namespace zantrel::tool {

bool AudioCanBeCopied(const CodecPlan& plan, const AVCodecParameters* audio, bool bitRateAsked) {
  return audio && !plan.amrNb && plan.audioEncoder && !bitRateAsked &&
         plan.audioEncoder->id == audio->codec_id && plan.sampleRate == audio->sample_rate &&
         plan.channels == audio->ch_layout.nb_channels && std::strcmp(plan.format->name, "avi") != 0;
}

bool AudioCopy::Init(AVFormatContext* in, int index, Muxer* mux, std::string* error) {
  in_ = in->streams[index];
  mux_ = mux;
  out_ = mux->AddStream();
  if (!out_ || avcodec_parameters_copy(out_->codecpar, in_->codecpar) < 0) {
    *error = "cannot add the audio stream";
    return false;
  }
  out_->codecpar->codec_tag = 0;
  out_->time_base = in_->time_base;
  // Without a decoder the packets are copied unchecked, as the re-encode
  // could not read them either.
  std::string ignored;
  if (!OpenDecoder(in_, 1, 0, "audio", &watch_, &ignored)) watch_.reset();
  tagFlags_.Open(in, in_);
  return true;
}

namespace {

std::string Describe(int rate, int channels) {
  return std::to_string(rate) + " Hz, " + std::to_string(channels) + (channels == 1 ? " channel" : " channels");
}

}  // namespace

bool AudioCopy::Watch(const AVPacket* pkt, std::string* error) {
  if (!watch_) return true;
  int rate = 0, channels = 0;
  const bool tagged = tagFlags_.Of(pkt, &rate, &channels);
  if ((tagged && (rate != watch_->sample_rate || channels != watch_->ch_layout.nb_channels)) ||
      (!tagged && AudioPacketNeedsReopen(watch_.get(), pkt, &rate, &channels))) {
    if (!Watch(nullptr, error)) return false;
    std::string ignored;
    if (!ReopenAudioDecoder(in_, rate, channels, &watch_, &ignored)) {
      watch_.reset();
      return true;
    }
  }
  // A damaged packet is no change of sound; the copy keeps it as it is.
  if (SendAudioPacket(watch_.get(), pkt) < 0) return true;
  const AVCodecParameters* par = out_->codecpar;
  while (avcodec_receive_frame(watch_.get(), watched_.get()) >= 0) {
    const int rate = DecodedSampleRate(watch_.get(), watched_.get());
    const int channels = watched_->ch_layout.nb_channels;
    av_frame_unref(watched_.get());
    if (rate != par->sample_rate || channels != par->ch_layout.nb_channels) {
      changed_ = true;
      *error = "the source's audio changes from " + Describe(par->sample_rate, par->ch_layout.nb_channels) +
               " to " + Describe(rate, channels) + " mid-stream";
      return false;
    }
  }
  return true;
}

void AudioCopy::SetWindow(const PieceWindow& window, std::int64_t fileStartUs) {
  fileStartUs_ = fileStartUs;
  const auto ticks = window.InStreamTicks(fileStartUs, in_->time_base.num, in_->time_base.den);
  startTs_ = ticks.start;
  endTs_ = ticks.end;
  originTs_ = ticks.origin;
}

bool AudioCopy::Feed(const AVPacket* pkt, std::string* error) {
  if (done_) return true;
  if (!pkt) {
    done_ = true;
    return Watch(nullptr, error);
  }
  const std::int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
  if (ts == AV_NOPTS_VALUE) {
    *error = "an audio packet has no time stamp";
    return false;
  }
  reachedUs_ = std::max(reachedUs_, av_rescale_q(ts + std::max<std::int64_t>(pkt->duration, 0), in_->time_base,
                                                 AV_TIME_BASE_Q) -
                                        fileStartUs_);
  if (ts >= endTs_) {
    done_ = true;
    return Watch(nullptr, error);
  }
  if (ts < startTs_) return true;  // the previous piece's
  if (!Watch(pkt, error)) return false;
  PacketPtr copy(av_packet_clone(pkt));
  if (!copy) {
    *error = "out of memory";
    return false;
  }
  copy->pts = copy->dts = ts;  // audio frames decode in the order they play
  return Write(copy.get(), error);
}

bool AudioCopy::Write(AVPacket* pkt, std::string* error) {
  pkt->pts -= originTs_;
  pkt->dts -= originTs_;
  ++written_;
  return mux_->Write(pkt, in_->time_base, out_, error);
}

}  // namespace zantrel::tool
