#pragma once
// The few pieces of H.263, Sorenson H.263 (flv1) and MPEG-4 Part 2 syntax a
// smart cut needs: which kind of picture a packet holds, and MPEG-4's Video
// Object Layer header, which says how every following picture is coded.
// Pure functions on bytes; no FFmpeg state.
#include <cstddef>
#include <cstdint>

#include "tool/h264_bitstream.h"  // Bytes

namespace zantrel::tool {

enum class PictureType { kUnknown, kIntra, kInter, kBidir };

// The coding type in an H.263 picture header (baseline PTYPE); kUnknown for
// an extended (PLUSPTYPE) header or a packet that does not start with one.
PictureType H263PictureType(const std::uint8_t* data, std::size_t size);
// The same for Sorenson H.263 as FLV stores it; its "disposable" inter
// picture counts as kInter.
PictureType SorensonPictureType(const std::uint8_t* data, std::size_t size);

struct Mpeg4Scan {
  int vops = 0;  // pictures in the packet; more than one is a "packed" B-frame bitstream
  PictureType first = PictureType::kUnknown;  // the first picture's type (S-VOPs count as kInter)
  bool bVop = false;  // some picture is bidirectionally predicted: decode order is not display order
  bool vol = false;   // the packet carries its own VOL header
};

// Scans an MPEG-4 Part 2 packet (start codes 00 00 01 xx).
Mpeg4Scan ScanMpeg4(const std::uint8_t* data, std::size_t size);

// The VOL header unit of `data` (extradata or a packet): from its start code
// (00 00 01 20..2F) up to the next start code, trailing zero bytes excluded.
// Empty when there is none. Two equal units make the decoder code the
// pictures that follow them the same way.
Bytes Mpeg4VolUnit(const std::uint8_t* data, std::size_t size);

}  // namespace zantrel::tool
