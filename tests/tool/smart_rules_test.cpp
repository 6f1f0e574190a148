// The smart cut's rules on bytes and time stamps: avcC records, NAL framing,
// parameter set ids, picture types and VOL headers of the MPEG-style codecs,
// the tail's copyable prefix and which sources qualify.
#include <gtest/gtest.h>

#include <tuple>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "tool/h264_bitstream.h"
#include "tool/mpeg_bitstream.h"
#include "tool/smart_plan.h"

namespace zantrel::tool {
namespace {

// SPS with id 1 (ue '010'), High profile; PPS with id 3 ('00100') on SPS 1.
const Bytes kSps1 = {0x67, 0x64, 0x00, 0x1f, 0x50};
const Bytes kPps3 = {0x68, 0x22, 0x80};

Bytes Record(std::vector<Bytes> sps, std::vector<Bytes> pps, Bytes trailer = {}) {
  AvcConfig c;
  c.profile = 0x64;
  c.level = 0x1f;
  c.nalLengthSize = 4;
  c.sps = std::move(sps);
  c.pps = std::move(pps);
  c.trailer = std::move(trailer);
  return BuildAvcC(c);
}

TEST(H264Bitstream, AvcCRoundTripKeepsSetsAndHighProfileTrailer) {
  const Bytes trailer = {0xfd, 0xf8, 0xf8, 0x00};
  const Bytes rec = Record({kSps1}, {kPps3}, trailer);
  ASSERT_FALSE(rec.empty());
  EXPECT_EQ(rec[4], 0xff);  // length size 4
  EXPECT_EQ(rec[5], 0xe1);  // one SPS
  AvcConfig c;
  ASSERT_TRUE(ParseAvcC(rec.data(), rec.size(), &c));
  EXPECT_EQ(c.nalLengthSize, 4);
  ASSERT_EQ(c.sps.size(), 1u);
  EXPECT_EQ(c.sps[0], kSps1);
  ASSERT_EQ(c.pps.size(), 1u);
  EXPECT_EQ(c.pps[0], kPps3);
  EXPECT_EQ(c.trailer, trailer);

  // An appended pair travels with the first.
  c.sps.push_back({0x67, 0x64, 0x00, 0x1f, 0x60});
  c.pps.push_back({0x68, 0x60});
  AvcConfig again;
  const Bytes rec2 = BuildAvcC(c);
  ASSERT_TRUE(ParseAvcC(rec2.data(), rec2.size(), &again));
  EXPECT_EQ(again.sps.size(), 2u);
  EXPECT_EQ(again.pps.size(), 2u);
  EXPECT_EQ(again.trailer, trailer);
}

TEST(H264Bitstream, MalformedRecordsAreRefused) {
  AvcConfig c;
  const Bytes annexB = {0, 0, 0, 1, 0x67, 0x64};
  EXPECT_FALSE(ParseAvcC(annexB.data(), annexB.size(), &c));
  Bytes rec = Record({kSps1}, {kPps3});
  EXPECT_FALSE(ParseAvcC(rec.data(), rec.size() - 1, &c));  // PPS cut short
  rec[4] = 0xfe;  // a 3-byte length size does not exist
  EXPECT_FALSE(ParseAvcC(rec.data(), rec.size(), &c));
  EXPECT_FALSE(ParseAvcC(nullptr, 0, &c));
  AvcConfig tooMany;
  tooMany.sps.assign(32, kSps1);
  EXPECT_TRUE(BuildAvcC(tooMany).empty());
}

TEST(H264Bitstream, AnnexBBecomesLengthPrefixed) {
  // A 4-byte start code, a 3-byte one, and trailing zeros before the next.
  const Bytes in = {0, 0, 0, 1, 0x67, 0xaa, 0xbb, 0, 0, 1, 0x68, 0xcc, 0, 0, 0, 0, 1, 0x65, 0x88, 0x00, 0x01};
  const std::vector<Bytes> units = SplitAnnexB(in.data(), in.size());
  ASSERT_EQ(units.size(), 3u);
  EXPECT_EQ(units[0], (Bytes{0x67, 0xaa, 0xbb}));
  EXPECT_EQ(units[1], (Bytes{0x68, 0xcc}));
  EXPECT_EQ(units[2], (Bytes{0x65, 0x88, 0x00, 0x01}));  // "00 01" inside a unit is data

  Bytes out;
  ASSERT_TRUE(AnnexBToLengthPrefixed(in.data(), in.size(), 4, &out));
  EXPECT_EQ(out, (Bytes{0, 0, 0, 3, 0x67, 0xaa, 0xbb, 0, 0, 0, 2, 0x68, 0xcc, 0, 0, 0, 4, 0x65, 0x88, 0x00, 0x01}));
  std::vector<int> types;
  ASSERT_TRUE(LengthPrefixedNalTypes(out.data(), out.size(), 4, &types));
  EXPECT_EQ(types, (std::vector<int>{7, 8, 5}));

  ASSERT_TRUE(AnnexBToLengthPrefixed(in.data(), in.size(), 2, &out));
  ASSERT_TRUE(LengthPrefixedNalTypes(out.data(), out.size(), 2, &types));
  EXPECT_EQ(types, (std::vector<int>{7, 8, 5}));
  // A unit longer than a 1-byte prefix can state.
  Bytes big = {0, 0, 1, 0x65};
  big.resize(300, 0x11);
  EXPECT_FALSE(AnnexBToLengthPrefixed(big.data(), big.size(), 1, &out));
  // A prefix running past the packet is damage, not a frame.
  const Bytes cut = {0, 0, 0, 9, 0x65, 0x88};
  EXPECT_FALSE(LengthPrefixedNalTypes(cut.data(), cut.size(), 4, &types));
}

TEST(H264Bitstream, ParameterSetIdsAndTheFreeOne) {
  EXPECT_EQ(SpsId(kSps1), 1);
  EXPECT_EQ(PpsId(kPps3), 3);
  EXPECT_EQ(SpsId(kPps3), -1);  // wrong type
  // An emulation prevention byte among the first bytes does not shift the id.
  EXPECT_EQ(SpsId({0x67, 0x42, 0x00, 0x00, 0x03, 0x50}), 1);
  EXPECT_EQ(SpsId({0x67, 0x64, 0x00, 0x1f, 0x80}), 0);

  AvcConfig c;
  c.sps = {{0x67, 0x64, 0x00, 0x1f, 0x80}};  // id 0
  c.pps = {{0x68, 0xce}};                    // id 0
  EXPECT_EQ(FreeParameterSetId(c), 1);
  c.sps.push_back(kSps1);
  c.pps.push_back(kPps3);
  EXPECT_EQ(FreeParameterSetId(c), 2);  // neither an SPS id nor a PPS id in use
  c.pps.push_back({0x68, 0x60});        // id 2 ('011')
  EXPECT_EQ(FreeParameterSetId(c), 4);
  c.sps.push_back({0x67});  // unreadable: the ids in use are unknown
  EXPECT_EQ(FreeParameterSetId(c), -1);
}

// Picture headers as ffmpeg's h263 (QCIF) and flv (320x240) encoders write
// them: an intra picture, then an inter one.
TEST(MpegBitstream, PictureTypesFromH263AndSorensonHeaders) {
  const Bytes h263I = {0x00, 0x00, 0x80, 0x02, 0x08, 0x04}, h263P = {0x00, 0x00, 0x80, 0x06, 0x0a, 0x02};
  EXPECT_EQ(H263PictureType(h263I.data(), h263I.size()), PictureType::kIntra);
  EXPECT_EQ(H263PictureType(h263P.data(), h263P.size()), PictureType::kInter);
  // An extended header (source format 7) codes the type elsewhere.
  const Bytes plus = {0x00, 0x00, 0x80, 0x02, 0x1c, 0x00};
  EXPECT_EQ(H263PictureType(plus.data(), plus.size()), PictureType::kUnknown);
  // Not a picture start, or cut short.
  EXPECT_EQ(H263PictureType(h263I.data() + 1, h263I.size() - 1), PictureType::kUnknown);
  EXPECT_EQ(H263PictureType(h263I.data(), 4), PictureType::kUnknown);
  EXPECT_EQ(H263PictureType(nullptr, 0), PictureType::kUnknown);

  const Bytes flvI = {0x00, 0x00, 0x84, 0x02, 0x92, 0xa6}, flvP = {0x00, 0x00, 0x84, 0x06, 0xb1, 0x3c};
  EXPECT_EQ(SorensonPictureType(flvI.data(), flvI.size()), PictureType::kIntra);
  EXPECT_EQ(SorensonPictureType(flvP.data(), flvP.size()), PictureType::kInter);
  // Custom size 0: 8-bit width and height come before the type.
  // PSC, version 0, TR 0, size 000, w 0x20, h 0x18, type 01.
  const Bytes custom = {0x00, 0x00, 0x80, 0x00, 0x10, 0x0c, 0x20};
  EXPECT_EQ(SorensonPictureType(custom.data(), custom.size()), PictureType::kInter);
  EXPECT_EQ(SorensonPictureType(flvI.data() + 1, flvI.size() - 1), PictureType::kUnknown);
  const Bytes version2 = {0x00, 0x00, 0x88, 0x02, 0x92, 0xa6};  // only versions 0 and 1 exist
  EXPECT_EQ(SorensonPictureType(version2.data(), version2.size()), PictureType::kUnknown);
}

// An MPEG-4 key frame as ffmpeg writes it into AVI: VOS, VO, VOL, user
// data, GOV, then the picture.
const Bytes kVol = {0x00, 0x00, 0x01, 0x20, 0x00, 0xc4, 0x8d, 0x88, 0x00, 0xcd, 0x0a, 0x04, 0x1e, 0x14, 0x43};
Bytes Mpeg4Key(const Bytes& vol) {
  Bytes b = {0x00, 0x00, 0x01, 0xb0, 0x01, 0x00, 0x00, 0x01, 0xb5, 0x89, 0x13, 0x00, 0x00, 0x01, 0x00};
  b.insert(b.end(), vol.begin(), vol.end());
  const Bytes rest = {0x00, 0x00, 0x00, 0x01, 0xb2, 'L', 'a', 'v', 'c', 0x00, 0x00, 0x01, 0xb3, 0x00, 0x10, 0x07,
                      0x00, 0x00, 0x01, 0xb6, 0x16, 0x60, 0x51, 0x82};
  b.insert(b.end(), rest.begin(), rest.end());
  return b;
}

TEST(MpegBitstream, Mpeg4PicturesAndTheirVolHeader) {
  const Bytes key = Mpeg4Key(kVol);
  Mpeg4Scan scan = ScanMpeg4(key.data(), key.size());
  EXPECT_EQ(scan.vops, 1);
  EXPECT_EQ(scan.first, PictureType::kIntra);
  EXPECT_FALSE(scan.bVop);
  EXPECT_TRUE(scan.vol);
  // The VOL unit alone: the user data's leading zero byte is not part of it.
  EXPECT_EQ(Mpeg4VolUnit(key.data(), key.size()), kVol);
  // One bit apart (resync markers on) is another VOL.
  Bytes other = kVol;
  other.back() = 0x63;
  EXPECT_NE(Mpeg4VolUnit(Mpeg4Key(other).data(), Mpeg4Key(other).size()), kVol);

  // A key frame whose VOL lives only in the stream header.
  const Bytes bare = {0x00, 0x00, 0x01, 0xb3, 0x00, 0x10, 0x07, 0x00, 0x00, 0x01, 0xb6, 0x16, 0x60};
  scan = ScanMpeg4(bare.data(), bare.size());
  EXPECT_FALSE(scan.vol);
  EXPECT_EQ(scan.first, PictureType::kIntra);
  EXPECT_TRUE(Mpeg4VolUnit(bare.data(), bare.size()).empty());

  // P, B, and a packed P+B.
  const Bytes p = {0x00, 0x00, 0x01, 0xb6, 0x56, 0x00};
  const Bytes b = {0x00, 0x00, 0x01, 0xb6, 0x96, 0x00};
  scan = ScanMpeg4(p.data(), p.size());
  EXPECT_EQ(scan.first, PictureType::kInter);
  EXPECT_FALSE(scan.bVop);
  scan = ScanMpeg4(b.data(), b.size());
  EXPECT_TRUE(scan.bVop);
  Bytes packed = p;
  packed.insert(packed.end(), b.begin(), b.end());
  scan = ScanMpeg4(packed.data(), packed.size());
  EXPECT_EQ(scan.vops, 2);
  EXPECT_EQ(scan.first, PictureType::kInter);
  EXPECT_TRUE(scan.bVop);
  // A start code with nothing after it, and no data.
  const Bytes stub = {0x00, 0x00, 0x01};
  EXPECT_EQ(ScanMpeg4(stub.data(), stub.size()).vops, 0);
  EXPECT_EQ(ScanMpeg4(nullptr, 0).vops, 0);
}

TEST(SmartPlan, TailCopiesTheLongestPrefixShownBeforeEverythingAfterIt) {
  auto split = [](std::vector<std::int64_t> pts, std::int64_t end) {
    const TailSplit t = SplitTail(pts, end);
    return std::make_tuple(t.copy, t.reencode, t.reencode ? t.reencodeFrom : -1);
  };
  // Flat: decode order = presentation order, everything before the end copied.
  EXPECT_EQ(split({0, 1, 2, 3, 4}, 3), std::make_tuple(3, false, -1));
  EXPECT_EQ(split({0, 1, 2}, 10), std::make_tuple(3, false, -1));
  // I0 P3 B1 B2 P6 B4 B5.
  const std::vector<std::int64_t> b = {0, 3, 1, 2, 6, 4, 5};
  EXPECT_EQ(split(b, 4), std::make_tuple(4, false, -1));  // I0 P3 B1 B2
  EXPECT_EQ(split(b, 1), std::make_tuple(1, false, -1));  // I0
  EXPECT_EQ(split(b, 7), std::make_tuple(7, false, -1));
  // An end at 3 needs B1 and B2, decoded after P3: copy I0, re-encode 1 and 2.
  EXPECT_EQ(split(b, 3), std::make_tuple(1, true, 1));
  // An end at 5: B4 comes after P6; copy up to B2, re-encode 4.
  EXPECT_EQ(split(b, 5), std::make_tuple(4, true, 4));
  // Pyramid I0 P4 B2 b1 b3 | P8 B6 b5 b7: an end at 7.
  EXPECT_EQ(split({0, 4, 2, 1, 3, 8, 6, 5, 7}, 7), std::make_tuple(5, true, 5));
  EXPECT_EQ(split({0, 4, 2, 1, 3}, 2), std::make_tuple(1, true, 1));
}

TEST(SmartPlan, TailDecisionWaitsForTheLongestReorder) {
  // 16 packets after the first one past the end settle it.
  EXPECT_FALSE(TailDecidable(16, 0, 16));
  EXPECT_TRUE(TailDecidable(17, 0, 16));
  EXPECT_FALSE(TailDecidable(17, 1, 16));
  // Without reordering the first packet past the end settles it.
  EXPECT_TRUE(TailDecidable(6, 5, 0));
  EXPECT_FALSE(TailDecidable(5, 5, 0));
}

struct Qualify {
  AVCodecID codec;
  int profile;
  AVPixelFormat pixFmt;
  AVFieldOrder field;
  const char* demuxer;
  const char* encoder;
  const char* muxer;
  bool smart;
  int delay = 0;  // reorder delay (B-frames)
  int width = 320, height = 240;
};

class SmartQualifies : public ::testing::TestWithParam<Qualify> {};

TEST_P(SmartQualifies, OnlySoundCombinationsAreCutSmartly) {
  const Qualify& q = GetParam();
  AVCodecParameters* par = avcodec_parameters_alloc();
  ASSERT_NE(par, nullptr);
  par->codec_type = AVMEDIA_TYPE_VIDEO;
  par->codec_id = q.codec;
  par->profile = q.profile;
  par->format = q.pixFmt;
  par->field_order = q.field;
  par->width = q.width;
  par->height = q.height;
  par->video_delay = q.delay;
  const Bytes rec = Record({{0x67, 0x64, 0x00, 0x1f, 0x80}}, {{0x68, 0xce}});
  par->extradata = static_cast<std::uint8_t*>(av_mallocz(rec.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  std::copy(rec.begin(), rec.end(), par->extradata);
  par->extradata_size = static_cast<int>(rec.size());
  const std::string why = SmartCutObstacle(par, q.demuxer, avcodec_find_encoder_by_name(q.encoder),
                                           av_guess_format(q.muxer, nullptr, nullptr));
  EXPECT_EQ(why.empty(), q.smart) << why;
  avcodec_parameters_free(&par);
}

const char* kMp4 = "mov,mp4,m4a,3gp,3g2,mj2";

INSTANTIATE_TEST_SUITE_P(
    Cases, SmartQualifies,
    ::testing::Values(
        Qualify{AV_CODEC_ID_H264, FF_PROFILE_H264_HIGH, AV_PIX_FMT_YUV420P, AV_FIELD_PROGRESSIVE, kMp4, "libx264", "mp4", true},
        Qualify{AV_CODEC_ID_H264, FF_PROFILE_H264_CONSTRAINED_BASELINE, AV_PIX_FMT_YUV420P, AV_FIELD_UNKNOWN, "flv", "libx264", "flv", true},
        Qualify{AV_CODEC_ID_H264, FF_PROFILE_H264_MAIN, AV_PIX_FMT_YUVJ420P, AV_FIELD_PROGRESSIVE, kMp4, "libx264", "3gp", true},
        Qualify{AV_CODEC_ID_H264, FF_PROFILE_H264_HIGH, AV_PIX_FMT_YUV420P, AV_FIELD_TT, kMp4, "libx264", "mp4", false},
        Qualify{AV_CODEC_ID_H264, FF_PROFILE_H264_HIGH_10, AV_PIX_FMT_YUV420P10LE, AV_FIELD_PROGRESSIVE, kMp4, "libx264", "mp4", false},
        Qualify{AV_CODEC_ID_H264, FF_PROFILE_H264_HIGH_422, AV_PIX_FMT_YUV420P, AV_FIELD_PROGRESSIVE, kMp4, "libx264", "mp4", false},
        Qualify{AV_CODEC_ID_H264, FF_PROFILE_H264_HIGH, AV_PIX_FMT_YUV420P, AV_FIELD_PROGRESSIVE, "avi", "libx264", "mp4", false},
        Qualify{AV_CODEC_ID_H264, FF_PROFILE_H264_HIGH, AV_PIX_FMT_YUV420P, AV_FIELD_PROGRESSIVE, kMp4, "libx264", "avi", false},
        Qualify{AV_CODEC_ID_H264, FF_PROFILE_H264_HIGH, AV_PIX_FMT_YUV420P, AV_FIELD_PROGRESSIVE, kMp4, "mpeg4", "avi", false},
        // The MPEG-style codecs in their own forms, with their own encoders.
        Qualify{AV_CODEC_ID_MPEG4, 0, AV_PIX_FMT_YUV420P, AV_FIELD_PROGRESSIVE, "avi", "mpeg4", "avi", true},
        Qualify{AV_CODEC_ID_FLV1, 0, AV_PIX_FMT_YUV420P, AV_FIELD_UNKNOWN, "flv", "flv", "flv", true},
        Qualify{AV_CODEC_ID_H263, 0, AV_PIX_FMT_YUV420P, AV_FIELD_UNKNOWN, kMp4, "h263", "3gp", true, 0, 176, 144},
        // B-frames reorder what AVI times by count.
        Qualify{AV_CODEC_ID_MPEG4, 0, AV_PIX_FMT_YUV420P, AV_FIELD_PROGRESSIVE, "avi", "mpeg4", "avi", false, 1},
        // A form that changes the codec, or the container.
        Qualify{AV_CODEC_ID_FLV1, 0, AV_PIX_FMT_YUV420P, AV_FIELD_UNKNOWN, "flv", "libx264", "mp4", false},
        Qualify{AV_CODEC_ID_H263, 0, AV_PIX_FMT_YUV420P, AV_FIELD_UNKNOWN, kMp4, "libx264", "flv", false, 0, 176, 144},
        Qualify{AV_CODEC_ID_MPEG4, 0, AV_PIX_FMT_YUV420P, AV_FIELD_PROGRESSIVE, kMp4, "mpeg4", "avi", false},
        Qualify{AV_CODEC_ID_MPEG4, 0, AV_PIX_FMT_YUV420P, AV_FIELD_PROGRESSIVE, "avi", "mpeg4", "mp4", false},
        // Interlaced or not 4:2:0; a codec with no encoder here.
        Qualify{AV_CODEC_ID_MPEG4, 0, AV_PIX_FMT_YUV420P, AV_FIELD_TB, "avi", "mpeg4", "avi", false},
        Qualify{AV_CODEC_ID_FLV1, 0, AV_PIX_FMT_YUV422P, AV_FIELD_UNKNOWN, "flv", "flv", "flv", false},
        Qualify{AV_CODEC_ID_VP6F, 0, AV_PIX_FMT_YUV420P, AV_FIELD_UNKNOWN, "flv", "libx264", "flv", false}));

}  // namespace
}  // namespace zantrel::tool
