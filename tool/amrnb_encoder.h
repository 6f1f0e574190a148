#pragma once
// AMR-NB speech encoding at 12.2 kbit/s through libopencore-amrnb, for the
// audio of 3GP pieces (FFmpeg's own build here has no AMR-NB encoder).
#include <cstdint>
#include <vector>

namespace zantrel::tool {

class AmrNbEncoder {
 public:
  static constexpr int kSampleRate = 8000;
  static constexpr int kFrameSamples = 160;  // 20 ms
  static constexpr int kBitRate = 12200;

  AmrNbEncoder();  // check ok() afterwards
  ~AmrNbEncoder();
  AmrNbEncoder(const AmrNbEncoder&) = delete;
  AmrNbEncoder& operator=(const AmrNbEncoder&) = delete;

  bool ok() const { return state_ != nullptr; }

  // Encodes one frame of 160 mono S16 samples at 8 kHz in mode MR122 into
  // one storage-format frame (table-of-contents byte + 31 bytes = 32 bytes).
  // False when the encoder fails.
  bool Encode(const std::int16_t* samples, std::vector<std::uint8_t>* frame);

 private:
  void* state_ = nullptr;
};

}  // namespace zantrel::tool
