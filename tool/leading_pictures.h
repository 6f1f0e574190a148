#pragma once
// Pictures stored after a key frame but shown before it. In a stream with
// B-frames whose groups of pictures are open, the B-frames that follow a key
// frame in the file are shown before it and predicted from the picture
// before it as well, so a decoder started at that key frame drops them. Where
// pictures are timed by their count (AVI) they still take their places: the
// key frame is shown that many places after the pictures stored before it.
#include <memory>

#include "tool/av_handles.h"

namespace zantrel::tool {

// One per decode run, on the cut's thread.
class LeadingPictures {
 public:
  // For a video stream of `par`'s codec. A codec FFmpeg has no parser for
  // never has any (the count stays 0).
  explicit LeadingPictures(const AVCodecParameters* par);
  LeadingPictures(const LeadingPictures&) = delete;
  LeadingPictures& operator=(const LeadingPictures&) = delete;

  // Starts counting after a key frame.
  void Reset();
  // The packets after the key frame, in the file's order, until settled().
  // Empty packets (AVI's dropped-frame slots) show nothing and are skipped.
  void Add(const AVPacket* pkt);
  // True once a picture that is not a B-frame, or one whose type cannot be
  // told, has ended the run.
  bool settled() const { return settled_; }
  // The B-frames met before that.
  int count() const { return count_; }

 private:
  struct ParserCloser {
    void operator()(AVCodecParserContext* p) const { av_parser_close(p); }
  };
  std::unique_ptr<AVCodecParserContext, ParserCloser> parser_;
  CodecContextPtr ctx_;  // the parser reads the stream header from it
  int count_ = 0;
  bool settled_ = false;
};

}  // namespace zantrel::tool
