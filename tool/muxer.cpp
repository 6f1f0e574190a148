#include "tool/muxer.h"

#include <cstring>

#include "tool/console.h"

namespace zantrel::tool {

bool Muxer::Init(const AVOutputFormat* format, const std::string& path, std::string* error) {
  AVFormatContext* raw = nullptr;
  // The format is given explicitly: the temporary name's extension does not
  // name the container.
  int err = avformat_alloc_output_context2(&raw, format, nullptr, path.c_str());
  if (err < 0 || !raw) {
    *error = "cannot set up the output container: " + AvErrorText(err);
    return false;
  }
  fc_.reset(raw);
  path_ = path;
  // AVI counts video frames instead of storing times: shifting everything
  // by the audio encoder's priming delay would open a gap of one frame at
  // the start, so there the audio's first packet simply stays early.
  if (std::strcmp(format->name, "avi") == 0) fc_->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;
  return true;
}

AVStream* Muxer::AddStream() { return avformat_new_stream(fc_.get(), nullptr); }

bool Muxer::Open(std::string* error) {
  int err = avio_open(&fc_->pb, path_.c_str(), AVIO_FLAG_WRITE);
  if (err < 0) {
    *error = "cannot write '" + path_ + "': " + AvErrorText(err);
    return false;
  }
  err = avformat_write_header(fc_.get(), nullptr);
  if (err < 0) {
    *error = "cannot write the container header: " + AvErrorText(err);
    return false;
  }
  return true;
}

bool Muxer::Write(AVPacket* pkt, AVRational from, AVStream* stream, std::string* error) {
  av_packet_rescale_ts(pkt, from, stream->time_base);
  pkt->stream_index = stream->index;
  int err = av_interleaved_write_frame(fc_.get(), pkt);
  if (err < 0) {
    *error = "cannot write the piece: " + AvErrorText(err);
    return false;
  }
  return true;
}

bool Muxer::Finish(std::string* error) {
  int err = av_write_trailer(fc_.get());
  if (err < 0) {
    *error = "cannot finish the piece: " + AvErrorText(err);
    return false;
  }
  err = avio_closep(&fc_->pb);
  if (err < 0) {
    *error = "cannot close the piece: " + AvErrorText(err);
    return false;
  }
  return true;
}

}  // namespace zantrel::tool
