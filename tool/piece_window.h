#pragma once
// Which decoded frames belong to a piece, and where they go in it.
//
// Every time here is in microseconds on the file's timeline: 0 is the
// container's start time (the earliest start of any stream), the origin the
// probe's Duration and the preview's position count from. A video stream
// that starts 0.5 s after the audio has its first picture at 0.5, not at 0.
//
// Pieces cut at the same boundaries b0 = 0 < b1 < ... < bn (microseconds)
// partition the source: a frame at time t belongs to piece k exactly when
// b(k-1) <= t < b(k). This is the one place that rule is written down; the
// video and audio paths (and any faster cut built beside them) ask it.
#include <cstdint>
#include <optional>

namespace zantrel::tool {

class PieceWindow {
 public:
  // The piece "-ss S -t T": [S, S + T). A piece that starts at 0 also takes
  // anything stamped before the file's start, and one whose end reaches the
  // source's duration (`durationUs`, -1 when unknown) runs on to the real end,
  // so the first and last pieces lose nothing to rounded or wrong durations.
  // No length means to the end.
  // `startUs` and `lengthUs` are the command line's S and T in whole
  // microseconds, so that S + T of one piece is exactly S of the next.
  static PieceWindow FromMicroseconds(long long startUs, std::optional<long long> lengthUs,
                                      std::int64_t durationUs);

  // True when a frame presented at `tUs` on the file's timeline belongs to the piece.
  bool Holds(std::int64_t tUs) const { return (openStart_ || tUs >= startUs_) && (openEnd_ || tUs < endUs_); }
  // True when a frame at `tUs` and everything after it are past the piece.
  bool IsPast(std::int64_t tUs) const { return !openEnd_ && tUs >= endUs_; }

  // S: the piece's own time 0 lies here.
  std::int64_t startUs() const { return startUs_; }
  // E, or a value beyond any media time when the piece runs to the end.
  std::int64_t endUs() const { return openEnd_ ? kBeyondUs : endUs_; }
  bool runsToEnd() const { return openEnd_; }
  // A frame's time on the piece's own timeline (S is 0).
  std::int64_t PieceTime(std::int64_t tUs) const { return tUs - startUs_; }

  static constexpr std::int64_t kBeyondUs = INT64_MAX / 4;

  // The window in one stream's ticks (`tbNum`/`tbDen`), for paths that pick
  // packets rather than decoded frames. Bounds are rounded up, so a packet
  // belongs when its time >= S exactly. An open start is INT64_MIN (priming
  // before the first picture stays with the first piece), an open end
  // INT64_MAX. `origin` is S itself (the piece's time 0), rounded to nearest.
  struct Ticks {
    std::int64_t start, end, origin;
  };
  Ticks InStreamTicks(std::int64_t fileStartUs, int tbNum, int tbDen) const;

 private:
  std::int64_t startUs_ = 0;
  std::int64_t endUs_ = kBeyondUs;
  bool openStart_ = true;
  bool openEnd_ = true;
};

}  // namespace zantrel::tool
