#pragma once
// The rate and channels an FLV audio tag states for its own packet. For
// sound whose frames carry no header (PCM, ADPCM, Nellymoser) the tag's
// flags are the only word on them, and they may change from tag to tag;
// the demuxer says so only on the first packet after a change, which a seek
// can skip. So the flags are read from the file at the packet's position.
// One reader per cut, used on the main thread only.
#include <cstdint>
#include <string>

#include "tool/av_handles.h"

namespace zantrel::tool {

class FlvTagFlags {
 public:
  FlvTagFlags() = default;
  ~FlvTagFlags();
  FlvTagFlags(const FlvTagFlags&) = delete;
  FlvTagFlags& operator=(const FlvTagFlags&) = delete;

  // Opens its own reader of the source when `in` is FLV and `stream`'s
  // codec is one whose frames carry no header; otherwise (or when the file
  // cannot be opened again) Of() never answers.
  void Open(const AVFormatContext* in, const AVStream* stream);
  // The rate and channel count the tag of `pkt` states; false when it
  // cannot tell (no position, not an audio tag of this size, a fixed-rate
  // codec).
  bool Of(const AVPacket* pkt, int* rate, int* channels);

 private:
  AVIOContext* io_ = nullptr;
};

// True for codecs whose frames carry no header of their own.
bool HeaderlessAudio(AVCodecID id);

}  // namespace zantrel::tool
