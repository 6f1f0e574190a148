#include "tool/source.h"

#include <algorithm>
#include <cstdlib>

#include "tool/console.h"

namespace zantrel::tool {
namespace {

bool UsableStream(const AVStream* st) {
  const AVCodecParameters* p = st->codecpar;
  if (p->codec_id == AV_CODEC_ID_NONE || !avcodec_find_decoder(p->codec_id)) return false;
  if (st->disposition & AV_DISPOSITION_ATTACHED_PIC) return false;
  if (p->codec_type == AVMEDIA_TYPE_VIDEO) return p->width > 0 && p->height > 0;
  if (p->codec_type == AVMEDIA_TYPE_AUDIO) return p->sample_rate > 0 && p->ch_layout.nb_channels > 0;
  return false;
}

int PickStream(AVFormatContext* fc, AVMediaType type) {
  int best = av_find_best_stream(fc, type, -1, -1, nullptr, 0);
  if (best >= 0 && UsableStream(fc->streams[best])) return best;
  for (unsigned i = 0; i < fc->nb_streams; ++i)
    if (fc->streams[i]->codecpar->codec_type == type && UsableStream(fc->streams[i]))
      return static_cast<int>(i);
  return -1;
}

// The end of the timeline on AV_TIME_BASE: the latest end (first time plus
// duration) that the streams in use state, or -1 unless each of them states
// one. Unlike the container's duration, which some containers count from 0
// (an MP4 whose pictures start at 10 s, or whose edit list begins with an
// empty entry, states 10 s too much), this is where the cut's frames end.
std::int64_t StreamsEndUs(const AVFormatContext* fc, std::initializer_list<int> indices) {
  std::int64_t end = -1;
  for (int i : indices) {
    if (i < 0) continue;
    const AVStream* st = fc->streams[i];
    if (st->start_time == AV_NOPTS_VALUE || st->duration == AV_NOPTS_VALUE || st->duration <= 0) return -1;
    end = std::max(end, av_rescale_q(st->start_time + st->duration, st->time_base, AV_TIME_BASE_Q));
  }
  return end;
}

}  // namespace

std::int64_t DurationFromTail(AVFormatContext* fc, std::int64_t startUs, std::int64_t tailBytes) {
  if (!fc->pb || (fc->iformat->flags & AVFMT_NO_BYTE_SEEK)) return -1;
  const std::int64_t size = avio_size(fc->pb);
  if (size <= 0) return -1;
  PacketPtr pkt = MakePacket();
  if (!pkt) return -1;
  std::int64_t window = std::max<std::int64_t>(tailBytes, 4096);
  for (;;) {
    const std::int64_t from = std::max<std::int64_t>(0, size - window);
    if (av_seek_frame(fc, -1, from, AVSEEK_FLAG_BYTE | AVSEEK_FLAG_ANY) < 0) return -1;
    std::int64_t endUs = -1;
    while (av_read_frame(fc, pkt.get()) >= 0) {
      const AVStream* st = fc->streams[pkt->stream_index];
      std::int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
      if (ts != AV_NOPTS_VALUE) {
        ts += std::max<std::int64_t>(pkt->duration, 0);
        endUs = std::max(endUs, av_rescale_q(ts, st->time_base, AV_TIME_BASE_Q) - startUs);
      }
      av_packet_unref(pkt.get());
    }
    if (endUs > 0) return endUs;
    if (from == 0) return -1;
    window *= 2;
  }
}

bool OpenSource(const std::string& path, std::int64_t analyseUs, std::int64_t tailBytes,
                OpenedSource* out, std::string* error) {
  AVFormatContext* raw = nullptr;
  AVDictionary* opts = nullptr;
  int err = avformat_open_input(&raw, path.c_str(), nullptr, &opts);
  av_dict_free(&opts);
  if (err < 0) {
    *error = "cannot open '" + path + "': " + AvErrorText(err);
    return false;
  }
  InputFormatPtr fc(raw);
  TraceTime("container opened");
  fc->max_analyze_duration = analyseUs;
  err = avformat_find_stream_info(fc.get(), nullptr);
  if (err < 0) {
    *error = "cannot read the streams of '" + path + "': " + AvErrorText(err);
    return false;
  }
  OpenedSource src;
  src.videoStream = PickStream(fc.get(), AVMEDIA_TYPE_VIDEO);
  src.audioStream = PickStream(fc.get(), AVMEDIA_TYPE_AUDIO);
  if (src.videoStream < 0 && src.audioStream < 0) {
    *error = "'" + path + "' holds no audio or video that can be decoded";
    return false;
  }
  src.startUs = fc->start_time != AV_NOPTS_VALUE ? fc->start_time : 0;

  // A duration guessed from the bit rate is wrong for variable-rate media and
  // a missing one is useless to the caller, so both are replaced by the end
  // of the last packets.
  const bool stated = fc->duration != AV_NOPTS_VALUE && fc->duration > 0 &&
                      fc->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE;
  // The probe's duration is what every plan is made from, so it is the
  // length of the timeline the cut uses: its end less its start.
  const std::int64_t streamsEnd =
      fc->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE
          ? -1
          : StreamsEndUs(fc.get(), {src.videoStream, src.audioStream});
  if (streamsEnd > src.startUs) {
    src.durationUs = streamsEnd - src.startUs;
  } else if (stated && src.startUs <= 0) {
    src.durationUs = fc->duration;
  } else {
    std::int64_t tail = DurationFromTail(fc.get(), src.startUs, tailBytes);
    if (stated) {
      // A late start: the stated duration counts from 0 when it is the
      // start plus what the last packets say (Matroska, FLV), and is kept
      // otherwise (a file cut short reads garbage at its end, and its stated
      // duration lets the cut tell it is truncated).
      src.durationUs = fc->duration;
      if (tail > 0 && std::llabs(fc->duration - (src.startUs + tail)) <= AV_TIME_BASE / 2) src.durationUs = tail;
    } else if (tail > 0) {
      src.durationUs = tail;
      src.durationFromTail = true;
    } else if (fc->duration != AV_NOPTS_VALUE && fc->duration > 0) {
      src.durationUs = fc->duration;
    }
    // Leave the demuxer at the start again for whoever reads next.
    av_seek_frame(fc.get(), -1, 0, AVSEEK_FLAG_BYTE);
    avformat_flush(fc.get());
  }
  src.format = std::move(fc);
  *out = std::move(src);
  return true;
}

}  // namespace zantrel::tool
