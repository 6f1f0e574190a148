#include "preview/file_origin.h"

#include <memory>

extern "C" {
#include <libavformat/avformat.h>
}

namespace zantrel::preview {

namespace {
struct InputCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
}  // namespace

FileOrigin ReadFileOrigin(const std::string& path) {
  FileOrigin origin;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return origin;
  std::unique_ptr<AVFormatContext, InputCloser> fc(raw);
  origin.seeksByPts = (fc->iformat->flags & AVFMT_SEEK_TO_PTS) != 0;
  // The same reading the tool does before a cut (5 s of media analysed), so
  // both find the same start.
  fc->max_analyze_duration = 5 * AV_TIME_BASE;
  if (avformat_find_stream_info(fc.get(), nullptr) >= 0 && fc->start_time != AV_NOPTS_VALUE)
    origin.startUs = fc->start_time;
  return origin;
}

}  // namespace zantrel::preview
