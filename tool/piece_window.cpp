#include "tool/piece_window.h"

#include <algorithm>

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
}

namespace zantrel::tool {

PieceWindow PieceWindow::FromSeconds(long long startSeconds, std::optional<long long> lengthSeconds,
                                     std::int64_t durationUs) {
  constexpr std::int64_t kUs = 1000000;
  PieceWindow w;
  const long long maxSeconds = kBeyondUs / kUs / 2;
  const std::int64_t s = std::clamp<long long>(startSeconds, 0, maxSeconds);
  w.startUs_ = s * kUs;
  w.openStart_ = s == 0;
  if (lengthSeconds) {
    w.endUs_ = w.startUs_ + std::clamp<long long>(*lengthSeconds, 0, maxSeconds) * kUs;
    // The job asks the last piece for a second more than the whole-second
    // duration; anything at or past the known end is the rest of the file.
    w.openEnd_ = durationUs > 0 && w.endUs_ >= durationUs;
  }
  return w;
}

PieceWindow::Ticks PieceWindow::InStreamTicks(std::int64_t fileStartUs, int tbNum, int tbDen) const {
  const AVRational tb{tbNum, tbDen};
  const auto up = static_cast<AVRounding>(AV_ROUND_UP | AV_ROUND_PASS_MINMAX);
  const std::int64_t s = fileStartUs + startUs();
  Ticks t{};
  t.start = startUs() <= 0 ? INT64_MIN : av_rescale_q_rnd(s, AV_TIME_BASE_Q, tb, up);
  t.end = runsToEnd() ? INT64_MAX : av_rescale_q_rnd(fileStartUs + endUs(), AV_TIME_BASE_Q, tb, up);
  t.origin = av_rescale_q(s, AV_TIME_BASE_Q, tb);
  return t;
}

}  // namespace zantrel::tool
