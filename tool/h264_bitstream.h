#pragma once
// The few pieces of H.264 syntax a smart cut needs: the avcC configuration
// record (to add an encoder's parameter sets beside the source's), NAL unit
// framing (Annex-B start codes versus length prefixes), IDR detection, and
// the ids of SPS and PPS units. Pure functions on bytes; no FFmpeg state.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zantrel::tool {

using Bytes = std::vector<std::uint8_t>;

enum H264NalType : int { kNalIdrSlice = 5, kNalSps = 7, kNalPps = 8 };

// An AVCDecoderConfigurationRecord: what MP4, FLV and Matroska keep as the
// stream's extradata.
struct AvcConfig {
  std::uint8_t profile = 0, compatibility = 0, level = 0;
  int nalLengthSize = 4;  // 1, 2 or 4
  std::vector<Bytes> sps, pps;  // NAL units, header byte included
  Bytes trailer;  // the High-profile extension, kept as it stands
};

// False when `data` is not a well-formed record (version 1).
bool ParseAvcC(const std::uint8_t* data, std::size_t size, AvcConfig* out);
// The record for `config`; empty when it holds more sets than the record can
// (31 SPS, 255 PPS) or a set longer than 65535 bytes.
Bytes BuildAvcC(const AvcConfig& config);

// The NAL units of an Annex-B stream (3- or 4-byte start codes), without the
// start codes. Trailing zero bytes of a unit belong to the next start code.
std::vector<Bytes> SplitAnnexB(const std::uint8_t* data, std::size_t size);
// The same units with big-endian length prefixes of `lengthSize` bytes.
// False when a unit is too long for the prefix size.
bool AnnexBToLengthPrefixed(const std::uint8_t* data, std::size_t size, int lengthSize, Bytes* out);
// The first byte of each unit of a length-prefixed packet, in order; false
// when the prefixes run past the end of the packet or a unit is shorter than
// `headerSize` (its NAL header: 1 byte in H.264, 2 in HEVC).
bool LengthPrefixedNalHeads(const std::uint8_t* data, std::size_t size, int lengthSize,
                            std::size_t headerSize, std::vector<std::uint8_t>* heads);
// The nal_unit_type of each unit of a length-prefixed packet; false when the
// prefixes run past the end of the packet.
bool LengthPrefixedNalTypes(const std::uint8_t* data, std::size_t size, int lengthSize,
                            std::vector<int>* types);

// seq_parameter_set_id of an SPS unit, pic_parameter_set_id of a PPS unit;
// -1 when the unit is malformed or of another type.
int SpsId(const Bytes& nal);
int PpsId(const Bytes& nal);
// The smallest id (0..31) used by no SPS and no PPS of `config`, so that an
// encoder told to use it (x264 gives its PPS the SPS's id) never puts a
// second, different set under an id the source's frames refer to. -1 when
// none is free.
int FreeParameterSetId(const AvcConfig& config);

}  // namespace zantrel::tool
