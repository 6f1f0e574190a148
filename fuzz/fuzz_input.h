#pragma once
// Splits one fuzz input into the pieces a target needs: text fields ended by
// a NUL byte, then the rest as the body.
#include <cstddef>
#include <cstdint>
#include <string>

namespace zantrel_fuzz {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size)
      : data_(reinterpret_cast<const char*>(data)), size_(size) {}

  // The bytes up to the next NUL (or the end); the NUL is consumed.
  std::string Field() {
    std::string out;
    while (pos_ < size_ && data_[pos_] != '\0') out += data_[pos_++];
    if (pos_ < size_) ++pos_;
    return out;
  }
  // One byte, or 0 at the end.
  std::uint8_t Byte() { return pos_ < size_ ? static_cast<std::uint8_t>(data_[pos_++]) : 0; }
  // Everything not consumed yet.
  std::string Rest() {
    std::string out(data_ + pos_, size_ - pos_);
    pos_ = size_;
    return out;
  }
  bool AtEnd() const { return pos_ >= size_; }

 private:
  const char* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace zantrel_fuzz
