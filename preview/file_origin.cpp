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

std::int64_t ContainerStartUs(const std::string& path) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return 0;
  std::unique_ptr<AVFormatContext, InputCloser> fc(raw);
  // The same reading the tool does before a cut (5 s of media analysed), so
  // both find the same start.
  fc->max_analyze_duration = 5 * AV_TIME_BASE;
  std::int64_t start = 0;
  if (avformat_find_stream_info(fc.get(), nullptr) >= 0 && fc->start_time != AV_NOPTS_VALUE)
    start = fc->start_time;
  return start;
}

}  // namespace zantrel::preview
