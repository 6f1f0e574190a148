#include "tool/hevc_bitstream.h"

#include "tool/bit_reader.h"

namespace zantrel::tool {
namespace {

constexpr std::size_t kHvcCHeader = 22;  // bytes before numOfArrays

int HevcType(std::uint8_t firstHeaderByte) { return (firstHeaderByte >> 1) & 0x3f; }

// Visits the arrays of a record: (the offset of the array's first byte,
// its NAL type, its units). False when the record is malformed.
template <typename Visit>
bool WalkHvcC(const std::uint8_t* data, std::size_t size, Visit visit) {
  if (!data || size < kHvcCHeader + 1 || data[0] != 1) return false;
  std::size_t pos = kHvcCHeader;
  const int arrays = data[pos++];
  for (int a = 0; a < arrays; ++a) {
    if (pos + 3 > size) return false;
    const std::size_t at = pos;
    const int type = data[pos] & 0x3f;
    const std::size_t count = (std::size_t{data[pos + 1]} << 8) | data[pos + 2];
    pos += 3;
    std::vector<Bytes> units;
    for (std::size_t i = 0; i < count; ++i) {
      if (pos + 2 > size) return false;
      const std::size_t len = (std::size_t{data[pos]} << 8) | data[pos + 1];
      pos += 2;
      if (len < 2 || pos + len > size) return false;
      units.emplace_back(data + pos, data + pos + len);
      pos += len;
    }
    visit(at, type, std::move(units));
  }
  return true;
}

}  // namespace

bool ParseHvcC(const std::uint8_t* data, std::size_t size, HvcConfig* out) {
  HvcConfig c;
  if (!data || size < kHvcCHeader) return false;
  c.nalLengthSize = (data[21] & 3) + 1;
  if (c.nalLengthSize == 3) return false;
  const bool ok = WalkHvcC(data, size, [&](std::size_t, int type, std::vector<Bytes> units) {
    std::vector<Bytes>* into = type == kHevcVps ? &c.vps : type == kHevcSps ? &c.sps : type == kHevcPps ? &c.pps : nullptr;
    if (into) into->insert(into->end(), units.begin(), units.end());
  });
  if (!ok) return false;
  *out = std::move(c);
  return true;
}

Bytes HvcCWithSetsInBand(const std::uint8_t* data, std::size_t size) {
  Bytes record;
  if (!data) return record;
  record.assign(data, data + size);
  const bool ok = WalkHvcC(data, size, [&](std::size_t at, int, std::vector<Bytes>) { record[at] &= 0x7f; });
  if (!ok) record.clear();
  return record;
}

bool HevcNalTypes(const std::uint8_t* data, std::size_t size, int lengthSize, std::vector<int>* types) {
  std::vector<std::uint8_t> heads;
  const bool ok = LengthPrefixedNalHeads(data, size, lengthSize, 2, &heads);
  types->clear();
  for (const std::uint8_t h : heads) types->push_back(HevcType(h));
  return ok;
}

Bytes HevcParameterSetPrefix(const HvcConfig& config, int lengthSize) {
  Bytes out;
  for (const auto* sets : {&config.vps, &config.sps, &config.pps})
    for (const Bytes& nal : *sets) {
      for (int i = lengthSize - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(nal.size() >> (8 * i)));
      out.insert(out.end(), nal.begin(), nal.end());
    }
  return out;
}

bool ParseHevcSps(const Bytes& nal, HevcSpsFacts* out) {
  if (nal.size() < 4 || HevcType(nal[0]) != kHevcSps) return false;
  BitReader r(nal.data() + 2, nal.size() - 2);
  HevcSpsFacts f;
  r.Skip(4);  // sps_video_parameter_set_id
  const int subLayers = static_cast<int>(r.Bits(3));  // sps_max_sub_layers_minus1
  r.Skip(1);
  // profile_tier_level(1, subLayers)
  r.Skip(2);  // general_profile_space
  f.tier = static_cast<int>(r.Bits(1));
  f.profileIdc = static_cast<int>(r.Bits(5));
  r.Skip(32 + 4 + 43 + 1);  // compatibility flags, source flags, constraint flags
  f.levelIdc = static_cast<int>(r.Bits(8));
  bool profilePresent[8] = {}, levelPresent[8] = {};
  for (int i = 0; i < subLayers; ++i) {
    profilePresent[i] = r.Bit();
    levelPresent[i] = r.Bit();
  }
  if (subLayers > 0)
    for (int i = subLayers; i < 8; ++i) r.Skip(2);
  for (int i = 0; i < subLayers; ++i) {
    if (profilePresent[i]) r.Skip(88);
    if (levelPresent[i]) r.Skip(8);
  }
  if (r.Ue() > 15) return false;  // sps_seq_parameter_set_id
  f.chromaFormatIdc = static_cast<int>(r.Ue());
  if (f.chromaFormatIdc == 3) r.Skip(1);  // separate_colour_plane_flag
  long width = r.Ue(), height = r.Ue();
  if (r.Bit()) {  // conformance window, in chroma samples
    const long left = r.Ue(), right = r.Ue(), top = r.Ue(), bottom = r.Ue();
    const int subW = f.chromaFormatIdc == 1 || f.chromaFormatIdc == 2 ? 2 : 1;
    const int subH = f.chromaFormatIdc == 1 ? 2 : 1;
    width -= subW * (left + right);
    height -= subH * (top + bottom);
  }
  f.bitDepthLuma = static_cast<int>(r.Ue()) + 8;
  f.bitDepthChroma = static_cast<int>(r.Ue()) + 8;
  if (r.failed() || f.chromaFormatIdc < 0 || f.chromaFormatIdc > 3 || width <= 0 || height <= 0) return false;
  f.width = static_cast<int>(width);
  f.height = static_cast<int>(height);
  *out = f;
  return true;
}

std::string HevcMismatch(const HevcSpsFacts& s, const HevcSpsFacts& m) {
  if (m.profileIdc != s.profileIdc)
    return "profile " + std::to_string(m.profileIdc) + " instead of " + std::to_string(s.profileIdc);
  if (m.chromaFormatIdc != s.chromaFormatIdc) return "another chroma format";
  if (m.bitDepthLuma != s.bitDepthLuma || m.bitDepthChroma != s.bitDepthChroma) return "another bit depth";
  if (m.width != s.width || m.height != s.height) return "another picture size";
  if (m.tier > s.tier || (m.tier == s.tier && m.levelIdc > s.levelIdc))
    return "level " + std::to_string(m.levelIdc / 30.0).substr(0, 3) + " above the source's " +
           std::to_string(s.levelIdc / 30.0).substr(0, 3);
  return "";
}

}  // namespace zantrel::tool
