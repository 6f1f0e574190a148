#pragma once
// Where a file's timeline starts, counted the way the cutting tool counts it:
// the container's start time (the earliest start of any stream) as FFmpeg
// reports it once it has read the streams. Times on "the file's timeline"
// are microseconds after this origin.
//
// libmpv does not always count from there: it leaves MP4 times as stored
// (an MP4 whose stamps start at 10 s plays from 10.0), and moves other
// containers' start to 0. The player adds this origin back to line the two up.
//
// No Qt. Blocking (it opens and reads the head of the file); any thread.
#include <cstdint>
#include <string>

namespace zantrel::preview {

struct FileOrigin {
  // The origin in microseconds on the container's own clock; 0 when the file
  // cannot be opened or states no start (then nothing is shifted).
  std::int64_t startUs = 0;
  // Whether the container's index finds key frames by presentation time (MP4,
  // MOV). Others (FLV, AVI, MKV, TS) seek by decode time, so a seek can land
  // on a key frame shown after the target; false when unknown.
  bool seeksByPts = false;
};

FileOrigin ReadFileOrigin(const std::string& path);

}  // namespace zantrel::preview
