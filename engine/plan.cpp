#include "engine/plan.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace zantrel {

namespace {

// "%d" at or above 10, "0%d" below: the two-digit fields of the time text.
std::string TwoDigits(int v) {
  return v < 10 ? "0" + std::to_string(v) : std::to_string(v);
}

// Truncation toward zero into an int, saturating instead of overflowing for
// values an int cannot hold (a huge typed duration must not be undefined).
int TruncToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(v);
}

}  // namespace

std::string FormatTime(int seconds) {
  if (seconds < 0) seconds = 0;  // a negative time has no text; show the start
  const int hours = seconds / 3600;
  const int minutes = (seconds / 60) % 60;
  const int secs = seconds % 60;
  return std::to_string(hours) + ":" + TwoDigits(minutes) + ":" + TwoDigits(secs);
}

int PositionToSeconds(int position, double duration) {
  return TruncToInt((position * duration) * 0.01);
}

SplitPlan BuildSplitPlan(const SplitPlanInput& in) {
  SplitPlan plan;
  switch (in.mode) {
    case kSplitAverage: {
      // N <= 0 (an empty, "0" or negative edit) means no segment at all.
      const int n = in.parts;
      if (n <= 0) {
        plan.count = 1;
        break;
      }
      // More parts than whole seconds would leave every segment but the last
      // empty, and an absurd count would not even fit in memory: refused.
      const int seconds = std::max(0, TruncToInt(in.duration));
      if (n > seconds) {
        plan.error = PlanError::kTooManyParts;
        plan.parts = n;
        plan.seconds = seconds;
        return plan;
      }
      const int step = TruncToInt(in.duration / n);
      plan.count = n + 1;
      plan.boundaries.reserve(static_cast<std::size_t>(n - 1));
      for (int i = 1; i < n; ++i) plan.boundaries.push_back(step * i);
      break;
    }
    case kSplitEqualTime: {
      const int s = in.secondsPerPart;
      if (s <= 0) {
        plan.error = PlanError::kNoSecondsPerPart;
        return plan;
      }
      // The quotient is taken in integers: 1.0 / S * D in doubles falls just
      // short of a whole number for some exact multiples (D = 98, S = 49
      // gives 1.9999999999999998), which would lose a whole segment.
      const std::int64_t d = std::max(0, TruncToInt(in.duration));
      const std::int64_t q = d / s;
      const std::int64_t r = d % s;
      const std::int64_t k = r == 0 ? q - 1 : q;
      plan.count = static_cast<int>(k + 2);
      for (std::int64_t i = 1; i <= k; ++i) plan.boundaries.push_back(static_cast<int>(s * i));
      break;
    }
    case kSplitCustom: {
      // The slider keeps its ticks distinct and ascending; sorting here only
      // guards against a caller handing them over in another order.
      std::vector<int> points = in.splitPoints;
      std::sort(points.begin(), points.end());
      points.erase(std::unique(points.begin(), points.end()), points.end());
      plan.count = static_cast<int>(points.size()) + 2;
      for (int t : points) plan.boundaries.push_back(PositionToSeconds(t, in.duration));
      break;
    }
    default:
      plan.error = PlanError::kUnknownMode;
      return plan;
  }
  plan.valid = true;
  return plan;
}

}  // namespace zantrel
