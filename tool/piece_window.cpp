#include "tool/piece_window.h"

#include <algorithm>

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
}

namespace zantrel::tool {

PieceWindow PieceWindow::FromMicroseconds(long long startUs, std::optional<long long> lengthUs,
                                          std::int64_t durationUs) {
  PieceWindow w;
  const long long maxUs = kBeyondUs / 2;
  w.startUs_ = std::clamp<long long>(startUs, 0, maxUs);
  w.openStart_ = w.startUs_ == 0;
  if (lengthUs) {
    w.endUs_ = w.startUs_ + std::clamp<long long>(*lengthUs, 0, maxUs);
    // The job asks the last piece for a second more than the whole-second
    // duration (an exact plan for its exact end); anything at or past the
    // known end is the rest of the file.
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
