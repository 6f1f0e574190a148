#include "tool/piece_window.h"

#include <algorithm>

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

}  // namespace zantrel::tool
