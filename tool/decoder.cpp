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

}  // namespace zantrel::tool
