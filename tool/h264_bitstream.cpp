#include "tool/h264_bitstream.h"

#include <algorithm>

#include "tool/bit_reader.h"

namespace zantrel::tool {
namespace {

int NalType(const Bytes& nal) { return nal.empty() ? -1 : nal[0] & 0x1f; }

void PutBigEndian(std::uint64_t value, int bytes, Bytes* out) {
  for (int i = bytes - 1; i >= 0; --i) out->push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

bool ParseAvcC(const std::uint8_t* data, std::size_t size, AvcConfig* out) {
  if (!data || size < 7 || data[0] != 1) return false;
  AvcConfig c;
  c.profile = data[1];
  c.compatibility = data[2];
  c.level = data[3];
  c.nalLengthSize = (data[4] & 3) + 1;
  if (c.nalLengthSize == 3) return false;
  std::size_t pos = 5;
  auto readSets = [&](std::size_t count, std::vector<Bytes>* sets) {
    for (std::size_t i = 0; i < count; ++i) {
      if (pos + 2 > size) return false;
      const std::size_t len = (std::size_t{data[pos]} << 8) | data[pos + 1];
      pos += 2;
      if (len == 0 || pos + len > size) return false;
      sets->emplace_back(data + pos, data + pos + len);
      pos += len;
    }
    return true;
  };
  if (!readSets(data[pos++] & 0x1f, &c.sps)) return false;
  if (pos >= size) return false;
  if (!readSets(data[pos++], &c.pps)) return false;
  c.trailer.assign(data + pos, data + size);
  *out = std::move(c);
  return true;
}

Bytes BuildAvcC(const AvcConfig& c) {
  if (c.sps.size() > 31 || c.pps.size() > 255) return {};
  Bytes out = {1, c.profile, c.compatibility, c.level,
               static_cast<std::uint8_t>(0xfc | (c.nalLengthSize - 1)),
               static_cast<std::uint8_t>(0xe0 | c.sps.size())};
  auto putSets = [&](const std::vector<Bytes>& sets) {
    for (const Bytes& s : sets) {
      if (s.empty() || s.size() > 0xffff) return false;
      PutBigEndian(s.size(), 2, &out);
      out.insert(out.end(), s.begin(), s.end());
    }
    return true;
  };
  if (!putSets(c.sps)) return {};
  out.push_back(static_cast<std::uint8_t>(c.pps.size()));
  if (!putSets(c.pps)) return {};
  out.insert(out.end(), c.trailer.begin(), c.trailer.end());
  return out;
}

std::vector<Bytes> SplitAnnexB(const std::uint8_t* data, std::size_t size) {
  std::vector<Bytes> units;
  // Positions just after each 00 00 01.
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i + 2 < size; ++i)
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
      starts.push_back(i + 3);
      i += 2;
    }
  for (std::size_t k = 0; k < starts.size(); ++k) {
    std::size_t end = k + 1 < starts.size() ? starts[k + 1] - 3 : size;
    // The zero bytes before the next start code (a 4-byte code, or
    // trailing_zero_8bits) are not part of this unit.
    while (end > starts[k] && data[end - 1] == 0) --end;
    if (end > starts[k]) units.emplace_back(data + starts[k], data + end);
  }
  return units;
}

bool AnnexBToLengthPrefixed(const std::uint8_t* data, std::size_t size, int lengthSize, Bytes* out) {
  out->clear();
  if (lengthSize != 1 && lengthSize != 2 && lengthSize != 4) return false;
  const std::uint64_t limit = (std::uint64_t{1} << (8 * lengthSize)) - 1;
  for (const Bytes& nal : SplitAnnexB(data, size)) {
    if (nal.size() > limit) return false;
    PutBigEndian(nal.size(), lengthSize, out);
    out->insert(out->end(), nal.begin(), nal.end());
  }
  return true;
}

bool LengthPrefixedNalHeads(const std::uint8_t* data, std::size_t size, int lengthSize,
                            std::size_t headerSize, std::vector<std::uint8_t>* heads) {
  heads->clear();
  std::size_t pos = 0;
  while (pos < size) {
    if (pos + lengthSize > size) return false;
    std::size_t len = 0;
    for (int i = 0; i < lengthSize; ++i) len = (len << 8) | data[pos + i];
    pos += lengthSize;
    if (len < headerSize || len == 0 || pos + len > size) return false;
    heads->push_back(data[pos]);
    pos += len;
  }
  return true;
}

bool LengthPrefixedNalTypes(const std::uint8_t* data, std::size_t size, int lengthSize,
                            std::vector<int>* types) {
  std::vector<std::uint8_t> heads;
  const bool ok = LengthPrefixedNalHeads(data, size, lengthSize, 1, &heads);
  types->clear();
  for (const std::uint8_t h : heads) types->push_back(h & 0x1f);
  return ok;
}

int SpsId(const Bytes& nal) {
  if (NalType(nal) != kNalSps || nal.size() < 5) return -1;
  BitReader r(nal.data() + 1, nal.size() - 1);
  r.Skip(24);  // profile_idc, constraint flags, level_idc
  const long id = r.Ue();
  return id >= 0 && id <= 31 ? static_cast<int>(id) : -1;
}

int PpsId(const Bytes& nal) {
  if (NalType(nal) != kNalPps || nal.size() < 2) return -1;
  BitReader r(nal.data() + 1, nal.size() - 1);
  const long id = r.Ue();
  return id >= 0 && id <= 255 ? static_cast<int>(id) : -1;
}

int FreeParameterSetId(const AvcConfig& c) {
  bool used[32] = {};
  for (const Bytes& s : c.sps) {
    const int id = SpsId(s);
    if (id < 0) return -1;  // cannot tell which ids are taken
    used[id] = true;
  }
  for (const Bytes& p : c.pps) {
    const int id = PpsId(p);
    if (id < 0) return -1;
    if (id < 32) used[id] = true;
  }
  for (int id = 0; id < 32; ++id)
    if (!used[id]) return id;
  return -1;
}

}  // namespace zantrel::tool
