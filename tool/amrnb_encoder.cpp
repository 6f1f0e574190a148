#include "tool/amrnb_encoder.h"

#include <opencore-amrnb/interf_enc.h>

namespace zantrel::tool {

AmrNbEncoder::AmrNbEncoder() : state_(Encoder_Interface_init(/*dtx=*/0)) {}

AmrNbEncoder::~AmrNbEncoder() {
  if (state_) Encoder_Interface_exit(state_);
}

bool AmrNbEncoder::Encode(const std::int16_t* samples, std::vector<std::uint8_t>* frame) {
  // 32 bytes is the largest MR122 frame; the library writes no more.
  unsigned char out[64];
  int n = Encoder_Interface_Encode(state_, MR122, samples, out, /*forceSpeech=*/0);
  if (n <= 0) return false;
  frame->assign(out, out + n);
  return true;
}

}  // namespace zantrel::tool
