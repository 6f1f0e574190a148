#include "tool/decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "tool/console.h"

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

int DecodedSampleRate(const AVCodecContext* dec, const AVFrame* frame) {
  if (dec->codec && !(dec->codec->capabilities & AV_CODEC_CAP_DELAY) && dec->sample_rate > 0) return dec->sample_rate;
  return frame->sample_rate;
}

}  // namespace zantrel::tool
