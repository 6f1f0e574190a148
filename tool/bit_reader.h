#pragma once
// Reads the fields of a NAL unit's payload (H.264, HEVC): fixed-width bits
// and Exp-Golomb codes, past the emulation prevention bytes. Reading past
// the end gives zeros and sets failed().
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zantrel::tool {

// Reads Exp-Golomb codes from a NAL payload, skipping the emulation
// prevention bytes (00 00 03) the encoder inserted.
class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size) {
    rbsp_.reserve(size);
    int zeros = 0;
    for (std::size_t i = 0; i < size; ++i) {
      if (zeros >= 2 && data[i] == 3) {
        zeros = 0;
        continue;
      }
      zeros = data[i] == 0 ? zeros + 1 : 0;
      rbsp_.push_back(data[i]);
    }
  }
  int Bit() {
    if (pos_ >= rbsp_.size() * 8) {
      failed_ = true;
      return 0;
    }
    const int b = (rbsp_[pos_ / 8] >> (7 - pos_ % 8)) & 1;
    ++pos_;
    return b;
  }
  // u(n), n <= 32.
  std::uint32_t Bits(int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 1) | static_cast<std::uint32_t>(Bit());
    return v;
  }
  void Skip(int bits) {
    for (int i = 0; i < bits; ++i) Bit();
  }
  // ue(v); ids are small, so more than 31 leading zeros means garbage.
  long Ue() {
    int zeros = 0;
    while (!failed_ && Bit() == 0)
      if (++zeros > 31) {
        failed_ = true;
        return -1;
      }
    long value = 1;
    for (int i = 0; i < zeros; ++i) value = (value << 1) | Bit();
    return failed_ ? -1 : value - 1;
  }
  bool failed() const { return failed_; }

 private:
  std::vector<std::uint8_t> rbsp_;
  std::size_t pos_ = 0;
  bool failed_ = false;
};

}  // namespace zantrel::tool
