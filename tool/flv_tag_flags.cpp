#include "tool/flv_tag_flags.h"

#include <cstring>

namespace zantrel::tool {

bool HeaderlessAudio(AVCodecID id) {
  // PCM codecs occupy 0x10000.., ADPCM 0x11000..; both end before AMR-NB.
  return (id >= AV_CODEC_ID_PCM_S16LE && id < AV_CODEC_ID_AMR_NB) || id == AV_CODEC_ID_NELLYMOSER;
}

FlvTagFlags::~FlvTagFlags() { avio_closep(&io_); }

void FlvTagFlags::Open(const AVFormatContext* in, const AVStream* stream) {
  avio_closep(&io_);
  if (!in->url || std::strcmp(in->iformat->name, "flv") != 0 || !HeaderlessAudio(stream->codecpar->codec_id)) return;
  if (avio_open2(&io_, in->url, AVIO_FLAG_READ, nullptr, nullptr) < 0) io_ = nullptr;
}

bool FlvTagFlags::Of(const AVPacket* pkt, int* rate, int* channels) {
  if (!io_ || !pkt || pkt->pos < 0) return false;
  unsigned char tag[12];
  if (avio_seek(io_, pkt->pos, SEEK_SET) < 0 || avio_read(io_, tag, sizeof tag) != static_cast<int>(sizeof tag))
    return false;
  const int size = (tag[1] << 16) | (tag[2] << 8) | tag[3];
  // The tag's body is its flags byte and then the packet.
  if ((tag[0] & 0x1F) != 8 || size != pkt->size + 1) return false;
  const int format = tag[11] >> 4;
  // Linear PCM, ADPCM, PCM little-endian, Nellymoser at the stated rate;
  // the other codecs have a fixed rate or their own headers.
  if (format != 0 && format != 1 && format != 3 && format != 6) return false;
  *rate = (44100 << ((tag[11] >> 2) & 3)) >> 3;
  *channels = (tag[11] & 1) ? 2 : 1;
  return true;
}

}  // namespace zantrel::tool
