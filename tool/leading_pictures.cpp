#include "tool/leading_pictures.h"

namespace zantrel::tool {

LeadingPictures::LeadingPictures(const AVCodecParameters* par) {
  parser_.reset(av_parser_init(par->codec_id));
  if (!parser_) return;
  ctx_.reset(avcodec_alloc_context3(nullptr));
  if (!ctx_ || avcodec_parameters_to_context(ctx_.get(), par) < 0) {
    parser_.reset();
    return;
  }
  // Only the picture type is wanted; a slice whose parameter set the parser
  // has not met yet is no error worth printing.
  ctx_->log_level_offset = AV_LOG_DEBUG;
  // Each packet holds whole pictures; nothing is to be joined or split.
  parser_->flags |= PARSER_FLAG_COMPLETE_FRAMES;
}

void LeadingPictures::Reset() {
  count_ = 0;
  settled_ = false;
}

void LeadingPictures::Add(const AVPacket* pkt) {
  if (settled_ || !pkt || pkt->size <= 0) return;
  if (!parser_) {
    settled_ = true;
    return;
  }
  parser_->pict_type = AV_PICTURE_TYPE_NONE;
  std::uint8_t* out = nullptr;
  int outSize = 0;
  av_parser_parse2(parser_.get(), ctx_.get(), &out, &outSize, pkt->data, pkt->size, AV_NOPTS_VALUE,
                   AV_NOPTS_VALUE, -1);
  if (parser_->pict_type == AV_PICTURE_TYPE_B)
    ++count_;
  else
    settled_ = true;
}

}  // namespace zantrel::tool
