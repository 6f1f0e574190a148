#include "tool/probe.h"

#include <cinttypes>
#include <cstdio>

#include "tool/console.h"

namespace zantrel::tool {
namespace {

std::string DurationLine(const OpenedSource& src) {
  const AVFormatContext* fc = src.format.get();
  char buf[160];
  std::string line = "  Duration: ";
  if (src.durationUs >= 0) {
    // Round to hundredths first so that 4.999 s prints 00:00:05.00.
    std::int64_t cs = (src.durationUs + 5000) / 10000;
    std::snprintf(buf, sizeof buf, "%02" PRId64 ":%02d:%02d.%02d", cs / 360000,
                  static_cast<int>(cs / 6000 % 60), static_cast<int>(cs / 100 % 60),
                  static_cast<int>(cs % 100));
    line += buf;
  } else {
    line += "N/A";
  }
  std::int64_t start = src.startUs;
  std::snprintf(buf, sizeof buf, ", start: %s%" PRId64 ".%06d", start < 0 ? "-" : "",
                (start < 0 ? -start : start) / AV_TIME_BASE,
                static_cast<int>((start < 0 ? -start : start) % AV_TIME_BASE));
  line += buf;
  std::int64_t bitRate = fc->bit_rate;
  if (bitRate <= 0 && src.durationUs > 0 && fc->pb) {
    std::int64_t size = avio_size(fc->pb);
    if (size > 0) bitRate = av_rescale(size * 8, AV_TIME_BASE, src.durationUs);
  }
  if (bitRate > 0) {
    std::snprintf(buf, sizeof buf, ", bitrate: %" PRId64 " kb/s", bitRate / 1000);
    line += buf;
  } else {
    line += ", bitrate: N/A";
  }
  return line + "\n";
}

std::string StreamLine(const AVFormatContext* fc, unsigned index) {
  const AVStream* st = fc->streams[index];
  std::string desc;
  CodecContextPtr ctx(avcodec_alloc_context3(nullptr));
  if (ctx && avcodec_parameters_to_context(ctx.get(), st->codecpar) >= 0) {
    char buf[512];
    avcodec_string(buf, sizeof buf, ctx.get(), 0);
    desc = buf;
  } else {
    desc = av_get_media_type_string(st->codecpar->codec_type) ? av_get_media_type_string(st->codecpar->codec_type)
                                                               : "Unknown";
  }
  char head[64];
  std::snprintf(head, sizeof head, "  Stream #0:%u: ", index);
  std::string line = head + desc;
  if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
    AVRational fr = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
    if (fr.num > 0 && fr.den > 0) {
      char buf[32];
      std::snprintf(buf, sizeof buf, ", %.4g fps", av_q2d(fr));
      line += buf;
    }
  }
  return line + "\n";
}

}  // namespace

std::string ProbeSummary(const std::string& path, const OpenedSource& src, int maxStreams) {
  const AVFormatContext* fc = src.format.get();
  const std::string duration = DurationLine(src);
  std::string out;
  if (path.size() > 1024) out += duration;
  out += std::string("Input #0, ") + fc->iformat->name + ", from '" + path + "':\n";
  out += duration;
  unsigned shown = 0;
  for (unsigned i = 0; i < fc->nb_streams; ++i) {
    if (shown < static_cast<unsigned>(maxStreams)) {
      out += StreamLine(fc, i);
      ++shown;
    }
  }
  if (fc->nb_streams > shown) {
    out += "  (" + std::to_string(fc->nb_streams - shown) + " more streams not shown)\n";
  }
  return out;
}

int RunProbe(const ToolArgs& args) {
  const ProbeTuning tuning = ProbeTuningFrom(args);
  OpenedSource src;
  std::string error;
  if (!OpenSource(args.input, static_cast<std::int64_t>(tuning.analyseTenths) * 100000,
                  static_cast<std::int64_t>(tuning.tailKiB) * 1024, &src, &error)) {
    ReportError(error);
    return 1;
  }
  WriteStderr(ProbeSummary(args.input, src, tuning.maxStreams));
  if (src.durationUs < 0) {
    ReportError("cannot find the duration of '" + args.input + "'");
    return 1;
  }
  return 0;
}

}  // namespace zantrel::tool
