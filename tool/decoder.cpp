#include "tool/decoder.h"

#include <cstdint>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "tool/console.h"
#include "tool/flv_tag_flags.h"

namespace zantrel::tool {

bool OpenDecoder(AVStream* stream, int threadCount, int threadType, const char* kind,
                 CodecContextPtr* dec, std::string* error) {
  const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
  dec->reset(avcodec_alloc_context3(decoder));
  if (!*dec || avcodec_parameters_to_context(dec->get(), stream->codecpar) < 0) {
    *error = std::string("cannot set up the ") + kind + " decoder";
    return false;
  }
  (*dec)->pkt_timebase = stream->time_base;
  (*dec)->thread_count = threadCount;
  if (threadType != 0) (*dec)->thread_type = threadType;
  const int err = avcodec_open2(dec->get(), decoder, nullptr);
  if (err < 0) {
    *error = std::string("cannot open the ") + kind + " decoder: " + AvErrorText(err);
    return false;
  }
  return true;
}

int SendAudioPacket(AVCodecContext* dec, const AVPacket* pkt) {
  if (!pkt || (dec->codec->capabilities & AV_CODEC_CAP_PARAM_CHANGE) ||
      !av_packet_get_side_data(pkt, AV_PKT_DATA_PARAM_CHANGE, nullptr))
    return avcodec_send_packet(dec, pkt);
  PacketPtr copy(av_packet_clone(pkt));
  if (!copy) return AVERROR(ENOMEM);
  for (int i = 0; i < copy->side_data_elems; ++i) {
    if (copy->side_data[i].type != AV_PKT_DATA_PARAM_CHANGE) continue;
    av_freep(&copy->side_data[i].data);
    copy->side_data[i] = copy->side_data[--copy->side_data_elems];
    break;
  }
  return avcodec_send_packet(dec, copy.get());
}

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

}  // namespace

bool AudioPacketNeedsReopen(const AVCodecContext* dec, const AVPacket* pkt, int* rate,
                            int* channels) {
  if (!pkt || !dec->codec || !HeaderlessAudio(dec->codec_id) || (dec->codec->capabilities & AV_CODEC_CAP_PARAM_CHANGE))
    return false;
  // The FLV demuxer notes a change on the first packet whose tag differs
  // from the tag before it.
  std::size_t size = 0;
  const std::uint8_t* data = av_packet_get_side_data(pkt, AV_PKT_DATA_PARAM_CHANGE, &size);
  if (!data || size < 4) return false;
  int wantRate = dec->sample_rate;
  int wantChannels = dec->ch_layout.nb_channels;
  const std::uint32_t flags = Le32(data);
  std::size_t at = 4;
  if (flags & 1) {  // channel count
    if (at + 4 > size) return false;
    wantChannels = static_cast<int>(Le32(data + at));
    at += 4;
  }
  if (flags & 2) at += 8;  // channel layout mask, unused
  if (flags & 4) {         // sample rate
    if (at + 4 > size) return false;
    wantRate = static_cast<int>(Le32(data + at));
  }
  if (wantRate <= 0 || wantChannels <= 0 || wantChannels > 64) return false;
  if (wantRate == dec->sample_rate && wantChannels == dec->ch_layout.nb_channels) return false;
  *rate = wantRate;
  *channels = wantChannels;
  return true;
}

bool ReopenAudioDecoder(const AVStream* stream, int rate, int channels, CodecContextPtr* dec, std::string* error) {
  const AVCodecParameters* par = stream->codecpar;
  const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
  CodecContextPtr fresh(avcodec_alloc_context3(decoder));
  if (!fresh) {
    *error = "cannot set up the audio decoder";
    return false;
  }
  // Set by hand: copying the stream's parameters would also copy their
  // older channel fields, which override the new layout on opening.
  fresh->sample_rate = rate;
  av_channel_layout_default(&fresh->ch_layout, channels);
  fresh->bits_per_coded_sample = par->bits_per_coded_sample;
  fresh->block_align = par->block_align;
  fresh->bit_rate = par->bit_rate;
  if (par->extradata_size > 0) {
    fresh->extradata = static_cast<std::uint8_t*>(av_mallocz(par->extradata_size + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!fresh->extradata) {
      *error = "out of memory";
      return false;
    }
    std::memcpy(fresh->extradata, par->extradata, par->extradata_size);
    fresh->extradata_size = par->extradata_size;
  }
  fresh->pkt_timebase = stream->time_base;
  fresh->thread_count = 1;
  const int err = avcodec_open2(fresh.get(), decoder, nullptr);
  if (err < 0) {
    *error = std::string("cannot open the audio decoder: ") + AvErrorText(err);
    return false;
  }
  *dec = std::move(fresh);
  return true;
}

int DecodedSampleRate(const AVCodecContext* dec, const AVFrame* frame) {
  if (dec->codec && !(dec->codec->capabilities & AV_CODEC_CAP_DELAY) && dec->sample_rate > 0) return dec->sample_rate;
  return frame->sample_rate;
}

}  // namespace zantrel::tool
