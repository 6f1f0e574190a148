#pragma once
// The split plan: how a source of D whole seconds is cut in each mode.
#include <cstdint>
#include <string>
#include <vector>

namespace zantrel {

enum SplitMode { kSplitAverage = 1, kSplitEqualTime = 2, kSplitCustom = 3 };

// Whole seconds as H:MM:SS, hours without leading zeros (83 -> "0:01:23");
// hours may have several digits. A negative value gives "0:00:00".
std::string FormatTime(int seconds);

// Time in whole seconds of a slider position (a percentage of the duration):
// (t * D) * 0.01 in double arithmetic, truncated toward zero.
int PositionToSeconds(int position, double duration);

struct SplitPlanInput {
  int mode = kSplitCustom;
  int parts = 0;                 // N, from edit 1010 (average)
  int secondsPerPart = 0;        // S, from edit 1012 (equal-time)
  double duration = 0;           // D, whole seconds held in a double
  std::vector<int> splitPoints;  // custom: tick positions 0..100, ascending (slider order)
};

// Why no plan could be built.
enum class PlanError {
  kNone,
  kTooManyParts,     // average: N above the whole seconds of D (numbers: parts, seconds)
  kNoSecondsPerPart, // equal-time: S <= 0
  kUnknownMode,
};

struct SplitPlan {
  bool valid = false;           // false: no plan can be built (equal-time with S <= 0)
  PlanError error = PlanError::kNone;  // why, when !valid
  int parts = 0;                // kTooManyParts: the N asked for
  int seconds = 0;              // kTooManyParts: the source's whole seconds
  int count = 0;                // boundary values including 0 and the end
  std::vector<int> boundaries;  // the count - 2 interior boundaries, ascending
};

// The plan for the given input. Count 1 (average with N <= 0, a negative N
// counting as 0) is a valid plan with no segment. Average with N above the
// whole seconds of D is invalid (every segment but the last would be empty),
// with kTooManyParts in `error`. Equal-time takes its
// quotient D div S in integers, so exact multiples never lose a segment to
// rounding; S <= 0 is invalid (kNoSecondsPerPart). Custom
// points are used ascending and distinct. No cap on the number of
// boundaries.
SplitPlan BuildSplitPlan(const SplitPlanInput& in);

}  // namespace zantrel
