#pragma once
// The output container: streams are added by the video and audio paths,
// then the header, interleaved packets and the trailer are written.
#include <string>

#include "tool/av_handles.h"

namespace zantrel::tool {

class Muxer {
 public:
  // Allocates the context for `format`, writing to `path` once Open() runs.
  bool Init(const AVOutputFormat* format, const std::string& path, std::string* error);
  AVFormatContext* context() const { return fc_.get(); }
  bool globalHeader() const { return fc_->oformat->flags & AVFMT_GLOBALHEADER; }

  AVStream* AddStream();
  // Opens the file and writes the header.
  bool Open(std::string* error);
  // Rescales `pkt` from `from` to the stream's time base and writes it
  // interleaved; the packet is consumed.
  bool Write(AVPacket* pkt, AVRational from, AVStream* stream, std::string* error);
  // Writes the trailer and closes the file.
  bool Finish(std::string* error);

 private:
  OutputFormatPtr fc_;
  std::string path_;
};

}  // namespace zantrel::tool
