#include "tool/mpeg_bitstream.h"

#include <cstdint>

namespace zantrel::tool {
namespace {

constexpr std::uint8_t kVopStart = 0xb6;

bool IsVolCode(std::uint8_t code) { return code >= 0x20 && code <= 0x2f; }

// Big-endian bit reads; past the end reads fail.
class Bits {
 public:
  Bits(const std::uint8_t* data, std::size_t size) : data_(data), size_(data ? size : 0) {}
  bool Read(int n, std::uint32_t* v) {
    *v = 0;
    for (int i = 0; i < n; ++i) {
      if (pos_ >= size_ * 8) return false;
      *v = (*v << 1) | ((data_[pos_ / 8] >> (7 - pos_ % 8)) & 1u);
      ++pos_;
    }
    return true;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Calls `f(code, payloadBegin, payloadEnd)` for each start code; the payload
// runs to the next start code, its trailing zero bytes (the next code's
// leading zeros, or stuffing) excluded.
template <typename F>
void ForEachUnit(const std::uint8_t* data, std::size_t size, F f) {
  if (!data) return;
  std::size_t at = SIZE_MAX;  // index of the current unit's code byte
  auto finish = [&](std::size_t end) {
    if (at == SIZE_MAX) return;
    while (end > at + 1 && data[end - 1] == 0) --end;
    f(data[at], at + 1, end);
  };
  for (std::size_t i = 0; i + 3 < size; ++i) {  // the code byte must be there too
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
      finish(i);
      at = i + 3;
      i += 2;
    }
  }
  finish(size);
}

}  // namespace

PictureType H263PictureType(const std::uint8_t* data, std::size_t size) {
  Bits b(data, size);
  std::uint32_t psc, tr, marker, zero, flags, format, inter;
  // PSC (22 bits: 16 zeros, 1, 5 zeros), TR, PTYPE: 1, 0, three flags, the
  // source format, the coding type.
  if (!b.Read(22, &psc) || psc != 0x20 || !b.Read(8, &tr) || !b.Read(1, &marker) || !b.Read(1, &zero) ||
      !b.Read(3, &flags) || !b.Read(3, &format) || !b.Read(1, &inter))
    return PictureType::kUnknown;
  if (marker != 1 || zero != 0 || format == 0 || format == 7) return PictureType::kUnknown;
  return inter ? PictureType::kInter : PictureType::kIntra;
}

PictureType SorensonPictureType(const std::uint8_t* data, std::size_t size) {
  Bits b(data, size);
  std::uint32_t psc, version, tr, format, skip, type;
  // PSC (17 bits: 16 zeros, 1), version, TR, the size (0 and 1 code it in
  // 8- or 16-bit width and height after), the picture type.
  if (!b.Read(17, &psc) || psc != 1 || !b.Read(5, &version) || version > 1 || !b.Read(8, &tr) ||
      !b.Read(3, &format))
    return PictureType::kUnknown;
  if ((format == 0 && !b.Read(16, &skip)) || (format == 1 && !b.Read(32, &skip)) || !b.Read(2, &type))
    return PictureType::kUnknown;
  // 1 is an inter picture, 2 and 3 one nothing refers to ("disposable").
  return type == 0 ? PictureType::kIntra : PictureType::kInter;
}

Mpeg4Scan ScanMpeg4(const std::uint8_t* data, std::size_t size) {
  Mpeg4Scan s;
  ForEachUnit(data, size, [&](std::uint8_t code, std::size_t begin, std::size_t end) {
    if (IsVolCode(code)) s.vol = true;
    if (code != kVopStart) return;
    // vop_coding_type: I, P, B, S.
    static const PictureType kTypes[] = {PictureType::kIntra, PictureType::kInter, PictureType::kBidir,
                                         PictureType::kInter};
    const PictureType t = begin < end ? kTypes[data[begin] >> 6] : PictureType::kIntra;  // all zeros: I
    if (s.vops++ == 0) s.first = t;
    if (t == PictureType::kBidir) s.bVop = true;
  });
  return s;
}

Bytes Mpeg4VolUnit(const std::uint8_t* data, std::size_t size) {
  Bytes vol;
  ForEachUnit(data, size, [&](std::uint8_t code, std::size_t begin, std::size_t end) {
    if (!vol.empty() || !IsVolCode(code)) return;
    vol = {0, 0, 1, code};
    vol.insert(vol.end(), data + begin, data + end);
  });
  return vol;
}

}  // namespace zantrel::tool
