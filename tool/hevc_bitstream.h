#pragma once
// The few pieces of HEVC syntax a smart cut needs: the hvcC configuration
// record's parameter sets, the types of a packet's NAL units (which tell an
// IDR picture, and any IRAP picture, from the rest), and the facts of an SPS
// that a re-encoded run must share with the source. Pure functions on
// bytes; no FFmpeg state.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tool/h264_bitstream.h"

namespace zantrel::tool {

enum HevcNalType : int {
  kHevcBlaWLp = 16,     // first IRAP type
  kHevcIdrWRadl = 19,
  kHevcIdrNLp = 20,
  kHevcIrapLast = 23,   // last IRAP type (reserved ones included)
  kHevcVps = 32,
  kHevcSps = 33,
  kHevcPps = 34,
};

// An HEVCDecoderConfigurationRecord: what MP4, MOV and Matroska keep as the
// stream's extradata.
struct HvcConfig {
  int nalLengthSize = 4;  // 1, 2 or 4
  std::vector<Bytes> vps, sps, pps;  // NAL units, header included
};

// False when `data` is not a well-formed record (version 1).
bool ParseHvcC(const std::uint8_t* data, std::size_t size, HvcConfig* out);
// The record as it stands with every array's array_completeness bit
// cleared: the stream may carry parameter sets in band too (what a track
// marked hev1 says). Empty when the record is malformed.
Bytes HvcCWithSetsInBand(const std::uint8_t* data, std::size_t size);

// nal_unit_type of each unit of a length-prefixed packet; false when the
// prefixes run past the end of the packet.
bool HevcNalTypes(const std::uint8_t* data, std::size_t size, int lengthSize, std::vector<int>* types);

// The source's VPS, SPS and PPS of `config`, each with a `lengthSize`
// prefix: put in front of a copied IRAP picture, they make it decode with
// the source's sets whatever came in band before it.
Bytes HevcParameterSetPrefix(const HvcConfig& config, int lengthSize);

// What a re-encoded run must share with the source for its pictures to sit
// among the source's: the decoder sees one stream of one profile, level,
// format and size.
struct HevcSpsFacts {
  int profileIdc = 0;
  int tier = 0;
  int levelIdc = 0;  // 30 x the level number (93 = level 3.1)
  int chromaFormatIdc = 0;  // 0 grey, 1 4:2:0, 2 4:2:2, 3 4:4:4
  int bitDepthLuma = 0, bitDepthChroma = 0;
  int width = 0, height = 0;  // shown: the coded size less the conformance window
};
// False when the unit is not a well-formed SPS.
bool ParseHevcSps(const Bytes& nal, HevcSpsFacts* out);
// Why pictures coded with `made` cannot join a stream coded with `source`;
// empty when they can (same profile, format and size; tier and level no
// higher).
std::string HevcMismatch(const HevcSpsFacts& source, const HevcSpsFacts& made);

}  // namespace zantrel::tool
