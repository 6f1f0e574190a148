#pragma once
// Opening a source and finding what it holds: the streams to use and the
// true duration, also for containers that do not state it.
#include <cstdint>
#include <string>

#include "tool/av_handles.h"

namespace zantrel::tool {

struct OpenedSource {
  InputFormatPtr format;
  int videoStream = -1;  // index in format->streams, -1 when none
  int audioStream = -1;
  std::int64_t startUs = 0;      // the container's start time, AV_TIME_BASE units
  std::int64_t durationUs = -1;  // -1 when it cannot be found
  bool durationFromTail = false; // found by reading the end of the file
};

// Opens `path`, analyses at most `analyseUs` of media, picks the best video
// and audio streams and finds the duration (reading the last `tailBytes` of
// the file, growing, when the container does not state it). On failure
// returns false with a message fit for the user; then `out` is untouched.
bool OpenSource(const std::string& path, std::int64_t analyseUs, std::int64_t tailBytes,
                OpenedSource* out, std::string* error);

// The end of the last packet, relative to startUs, found by reading from
// `tailBytes` before the end of the file (doubled until packets are found).
// Leaves the read position anywhere: seek before reading packets again.
// -1 when no timed packet is found.
std::int64_t DurationFromTail(AVFormatContext* format, std::int64_t startUs, std::int64_t tailBytes);

}  // namespace zantrel::tool
