#include "tool/smart_video.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/opt.h>
}

#include "tool/console.h"
#include "tool/decoder.h"
#include "tool/mpeg_bitstream.h"
#include "tool/smart_plan.h"

namespace zantrel::tool {
namespace {

// A group longer than this is not buffered for the tail decision; such a
// source (an open-GOP stream without IDR frames, say) is cut by full
// re-encode instead.
constexpr std::size_t kMaxGroupPackets = 4000;
constexpr std::int64_t kMaxGroupBytes = 256 << 20;
// Copied packets decoded after the head to check the seam: the key frame,
// where the decoder switches from our parameter sets to the source's, and
// the first frames referring to it. The check is drained afterwards, so
// the source's reorder delay needs no packets of its own; each one more
// costs a full decode of a picture in every piece.
constexpr int kSeamCheckPackets = 4;
// Re-encoded packets decoded at the start of a run: our own encoder's
// output goes wrong, if at all, in how its parameter sets reach the
// decoder, which shows on its first frames. Decoding a whole long head again
// would cost as much as the copy saves.
constexpr std::size_t kEncodedCheckPackets = 5;

// x265's name for the profile of `facts`; null when it has none.
const char* X265Profile(const HevcSpsFacts& f) {
  if (f.profileIdc == 1) return "main";
  if (f.profileIdc == 2) return "main10";
  if (f.profileIdc == 3) return "mainstillpicture";
  if (f.profileIdc != 4 || f.bitDepthLuma != f.bitDepthChroma) return nullptr;
  const int depth = f.bitDepthLuma;
  switch (f.chromaFormatIdc) {
    case 1: return depth == 12 ? "main12" : nullptr;
    case 2: return depth == 10 ? "main422-10" : depth == 12 ? "main422-12" : nullptr;
    case 3: return depth == 8 ? "main444-8" : depth == 10 ? "main444-10" : depth == 12 ? "main444-12" : nullptr;
    default: return nullptr;
  }
}

const char* X264Profile(int profile) {
  switch (profile & ~FF_PROFILE_H264_CONSTRAINED) {
    case FF_PROFILE_H264_BASELINE: return "baseline";
    case FF_PROFILE_H264_MAIN: return "main";
    default: return "high";
  }
}

// The index slots of an AVI stream's pictures, in order. AVI times a picture
// by its slot, but a slot may hold no picture (a dropped frame), and the
// full re-encode times pictures by their count; the copy must count alike.
std::vector<std::int64_t> PictureSlots(AVStream* st) {
  std::vector<std::int64_t> slots;
  const int n = avformat_index_get_entries_count(st);
  for (int i = 0; i < n; ++i) {
    const AVIndexEntry* e = avformat_index_get_entry(st, i);
    if (e && e->size > 0) slots.push_back(e->timestamp);
  }
  std::sort(slots.begin(), slots.end());
  return slots;
}

}  // namespace

SmartVideo::Status SmartVideo::Init(AVFormatContext* in, int index, const CodecPlan& plan, Muxer* mux,
                                    int threads, int quality, std::string* message) {
  inFormat_ = in;
  in_ = in->streams[index];
  mux_ = mux;
  threads_ = threads;
  quality_ = quality;
  const AVCodecParameters* par = in_->codecpar;
  std::string why = SmartCutObstacle(par, in->iformat->name, plan.videoEncoder, plan.format);
  if (!why.empty()) {
    *message = why;
    return Status::kFallback;
  }
  codec_ = par->codec_id;
  mpeg_ = IsMpegStyle(codec_);
  hevc_ = codec_ == AV_CODEC_ID_HEVC;
  if (hevc_) pixFmt_ = static_cast<AVPixelFormat>(par->format);
  encoder_ = plan.videoEncoder;

  rate_ = av_guess_frame_rate(in, in_, nullptr);
  if (rate_.num <= 0 || rate_.den <= 0 || av_q2d(rate_) > 240) rate_ = {25, 1};
  frameTs_ = std::max<std::int64_t>(1, av_rescale_q(1, av_inv_q(rate_), in_->time_base));
  countsFrames_ = mpeg_ && std::strcmp(in->iformat->name, "avi") == 0;
  if (countsFrames_) pictureSlots_ = PictureSlots(in_);

  Bytes extradata(par->extradata, par->extradata + std::max(par->extradata_size, 0));
  sourceVol_ = codec_ == AV_CODEC_ID_MPEG4 ? Mpeg4VolUnit(extradata.data(), extradata.size()) : Bytes();
  Status st = mpeg_   ? OpenMpegEncoder(&headEnc_, message)
              : hevc_ ? InitHevc(&extradata, message)
                      : InitH264(&extradata, message);
  if (st != Status::kOk) return st;

  // Decoding the partial groups: frame threads add delay that only matters
  // for short heads, two keep up with the encoder.
  if (!OpenDecoder(in_, 2, FF_THREAD_FRAME | FF_THREAD_SLICE, "video", &dec_, message)) return Status::kError;

  out_ = mux->AddStream();
  if (!out_ || avcodec_parameters_copy(out_->codecpar, par) < 0) {
    *message = "cannot add the video stream";
    return Status::kError;
  }
  // The output container picks its own tag; AVI into AVI keeps the
  // source's (XVID, DIVX, ...), which the decoder reads to choose its
  // workarounds for that encoder's quirks.
  const AVOutputFormat* of = mux->context()->oformat;
  const bool keepTag = mpeg_ && std::strcmp(of->name, "avi") == 0 && of->codec_tag &&
                       av_codec_get_id(of->codec_tag, par->codec_tag) == par->codec_id;
  if (!keepTag) out_->codecpar->codec_tag = 0;
  // Parameter sets in band: MP4 and MOV say so by the sample entry's name.
  if (hevc_ && (std::strcmp(of->name, "mp4") == 0 || std::strcmp(of->name, "mov") == 0))
    out_->codecpar->codec_tag = MKTAG('h', 'e', 'v', '1');
  av_freep(&out_->codecpar->extradata);
  out_->codecpar->extradata_size = 0;
  if (!extradata.empty()) {
    out_->codecpar->extradata =
        static_cast<std::uint8_t*>(av_mallocz(extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!out_->codecpar->extradata) {
      *message = "out of memory";
      return Status::kError;
    }
    std::memcpy(out_->codecpar->extradata, extradata.data(), extradata.size());
    out_->codecpar->extradata_size = static_cast<int>(extradata.size());
  }
  out_->time_base = in_->time_base;
  out_->avg_frame_rate = rate_;
  // One aspect ratio for the container and the stream (muxers refuse two);
  // the one the full re-encode writes.
  out_->sample_aspect_ratio = av_guess_sample_aspect_ratio(in, in_, nullptr);
  out_->codecpar->sample_aspect_ratio = out_->sample_aspect_ratio;

  // The seam check decodes what the output stream holds, strictly.
  const AVCodec* decoder = avcodec_find_decoder(codec_);
  checker_.reset(decoder ? avcodec_alloc_context3(decoder) : nullptr);
  if (!checker_ || avcodec_parameters_to_context(checker_.get(), out_->codecpar) < 0) {
    *message = "cannot set up the seam check";
    return Status::kError;
  }
  checker_->err_recognition = AV_EF_EXPLODE | AV_EF_BITSTREAM | AV_EF_BUFFER | AV_EF_CRCCHECK;
  checker_->thread_count = 1;
  checker_->pkt_timebase = in_->time_base;
  if (avcodec_open2(checker_.get(), decoder, nullptr) < 0) {
    *message = "cannot open the seam check";
    return Status::kError;
  }
  return Status::kOk;
}

SmartVideo::Status SmartVideo::InitH264(Bytes* avcc, std::string* message) {
  const AVCodecParameters* par = in_->codecpar;
  ParseAvcC(par->extradata, static_cast<std::size_t>(par->extradata_size), &config_);
  nalLengthSize_ = config_.nalLengthSize;
  paramSetId_ = FreeParameterSetId(config_);
  Status st = OpenEncoder(&headEnc_, message);
  if (st != Status::kOk) return st;
  // The encoder's own sets, to be stored beside the source's.
  AvcConfig merged = config_;
  std::vector<Bytes> sets = SplitAnnexB(headEnc_->extradata, static_cast<std::size_t>(headEnc_->extradata_size));
  int added = 0;
  for (Bytes& nal : sets) {
    const int type = nal[0] & 0x1f;
    if (type == kNalSps && SpsId(nal) == paramSetId_) {
      merged.sps.push_back(std::move(nal));
      ++added;
    } else if (type == kNalPps && PpsId(nal) == paramSetId_) {
      merged.pps.push_back(std::move(nal));
      ++added;
    } else if (type == kNalSps || type == kNalPps) {
      *message = "the encoder did not use the parameter set id it was given";
      return Status::kFallback;
    }
  }
  *avcc = BuildAvcC(merged);
  if (added != 2 || avcc->empty()) {
    *message = "the encoder's parameter sets cannot join the source's";
    return Status::kFallback;
  }
  encoderSets_.assign(headEnc_->extradata, headEnc_->extradata + headEnc_->extradata_size);
  return Status::kOk;
}

SmartVideo::Status SmartVideo::InitHevc(Bytes* hvcc, std::string* message) {
  const AVCodecParameters* par = in_->codecpar;
  const auto* data = par->extradata;
  const auto size = static_cast<std::size_t>(std::max(par->extradata_size, 0));
  // SmartCutObstacle has read the record and its SPS already.
  if (!ParseHvcC(data, size, &hvc_) || hvc_.sps.empty() || !ParseHevcSps(hvc_.sps.front(), &hevcFacts_)) {
    *message = "the source has no HEVC configuration record";
    return Status::kFallback;
  }
  nalLengthSize_ = hvc_.nalLengthSize;
  hevcPrefix_ = HevcParameterSetPrefix(hvc_, nalLengthSize_);
  *hvcc = HvcCWithSetsInBand(data, size);
  if (hvcc->empty()) {
    *message = "the source has no HEVC configuration record";
    return Status::kFallback;
  }
  return OpenEncoder(&headEnc_, message);
}

int SmartVideo::MpegThreads(const AVCodecContext& settings) const {
  if (sourceVol_.empty() || !(encoder_->capabilities & AV_CODEC_CAP_SLICE_THREADS)) return 1;
  // An encoder opened with a global header states its VOL at once.
  for (int threads : {1, 2}) {
    CodecContextPtr probe(avcodec_alloc_context3(encoder_));
    if (!probe) break;
    AVCodecContext* c = probe.get();
    c->width = settings.width;
    c->height = settings.height;
    c->pix_fmt = settings.pix_fmt;
    c->sample_aspect_ratio = settings.sample_aspect_ratio;
    c->time_base = settings.time_base;
    c->framerate = settings.framerate;
    c->flags = settings.flags | AV_CODEC_FLAG_GLOBAL_HEADER;
    c->global_quality = settings.global_quality;
    c->gop_size = settings.gop_size;
    c->max_b_frames = settings.max_b_frames;
    c->thread_count = threads;
    if (avcodec_open2(c, encoder_, nullptr) == 0 &&
        Mpeg4VolUnit(c->extradata, static_cast<std::size_t>(std::max(c->extradata_size, 0))) == sourceVol_)
      return threads;
  }
  return 1;
}

SmartVideo::Status SmartVideo::OpenMpegEncoder(CodecContextPtr* enc, std::string* message) {
  enc->reset(encoder_ ? avcodec_alloc_context3(encoder_) : nullptr);
  if (!*enc) {
    *message = "no encoder for the source's codec";
    return Status::kFallback;
  }
  AVCodecContext* c = enc->get();
  const AVCodecParameters* par = in_->codecpar;
  c->width = par->width;
  c->height = par->height;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->sample_aspect_ratio = av_guess_sample_aspect_ratio(inFormat_, in_, nullptr);
  // These encoders work at the frame rate (MPEG-4 codes its clock in 16
  // bits); packets get the source's time stamps back in order, as nothing
  // is reordered.
  AVRational rate = rate_;
  if (rate.num > 65535) rate = av_d2q(av_q2d(rate), 65535);
  c->time_base = av_inv_q(rate);
  c->framerate = rate;
  // Constant quantiser, as the full re-encode uses for these codecs; no
  // B-frames, so the source's decode order stays its display order.
  const double q = 2 + (100 - quality_) * 0.29;
  c->flags |= AV_CODEC_FLAG_QSCALE;
  c->global_quality = static_cast<int>(std::lround(FF_QP2LAMBDA * q));
  c->gop_size = 250;
  c->max_b_frames = 0;
  // Slices: MPEG-4's VOL header says whether resync markers (which slice
  // threads write) are used; one slice unless the source used them.
  c->thread_count = MpegThreads(*c);
  // Without a global header every key frame carries its own picture headers
  // (MPEG-4: VOS and VOL), so the re-encoded run says how it is coded.
  const int err = avcodec_open2(c, encoder_, nullptr);
  if (err < 0) {
    *message = std::string("cannot open the ") + encoder_->name + " encoder like the source: " + AvErrorText(err);
    return Status::kFallback;
  }
  pendingPts_.clear();
  encoderPts_ = 0;
  return Status::kOk;
}

void SmartVideo::ShapeLikeSource(AVCodecContext* c) const {
  const AVCodecParameters* par = in_->codecpar;
  c->width = par->width;
  c->height = par->height;
  c->color_primaries = par->color_primaries;
  c->color_trc = par->color_trc;
  c->colorspace = par->color_space;
  c->chroma_sample_location = par->chroma_location;
  c->sample_aspect_ratio = av_guess_sample_aspect_ratio(inFormat_, in_, nullptr);
  // Frames keep the source's time stamps, so the encoder works in its base.
  c->time_base = in_->time_base;
  c->framerate = rate_;
}

SmartVideo::Status SmartVideo::OpenX265(CodecContextPtr* enc, std::string* message) {
  const AVCodec* x265 = avcodec_find_encoder_by_name("libx265");
  const AVCodecParameters* par = in_->codecpar;
  const char* profile = X265Profile(hevcFacts_);
  enc->reset(x265 && profile ? avcodec_alloc_context3(x265) : nullptr);
  if (!*enc) {
    *message = x265 ? "x265 makes no profile like the source's" : "libx265 is not available";
    return Status::kFallback;
  }
  AVCodecContext* c = enc->get();
  ShapeLikeSource(c);
  c->pix_fmt = pixFmt_;
  c->color_range = par->color_range;
  // No global header: the run's first picture, an IDR, carries x265's own
  // VPS/SPS/PPS in band, as x265 cannot give them ids the source leaves free.
  c->thread_count = threads_;
  c->gop_size = 100000;  // the head and tail need only their first IDR
  AVDictionary* opts = nullptr;
  char crf[16];
  std::snprintf(crf, sizeof crf, "%.2f", 18 + (100 - quality_) * 0.33);
  // Like the source's: its level and tier as the most the run may need.
  char params[200];
  std::snprintf(params, sizeof params,
                "log-level=error:info=0:bframes=0:ref=1:scenecut=0:open-gop=0:repeat-headers=1:"
                "level-idc=%d.%d:high-tier=%d",
                hevcFacts_.levelIdc / 30, hevcFacts_.levelIdc % 30 / 3, hevcFacts_.tier);
  // x265 sizes its thread pool itself; `threads` bounds it as for x264.
  std::string all = params;
  if (threads_ > 0) all += ":pools=" + std::to_string(threads_);
  av_dict_set(&opts, "preset", "veryfast", 0);
  av_dict_set(&opts, "crf", crf, 0);
  av_dict_set(&opts, "profile", profile, 0);
  av_dict_set(&opts, "x265-params", all.c_str(), 0);
  const int err = avcodec_open2(c, x265, &opts);
  av_dict_free(&opts);
  if (err < 0) {
    *message = "cannot open libx265 like the source: " + AvErrorText(err);
    return Status::kFallback;
  }
  return Status::kOk;
}

SmartVideo::Status SmartVideo::OpenEncoder(CodecContextPtr* enc, std::string* message) {
  if (hevc_) return OpenX265(enc, message);
  const AVCodec* x264 = avcodec_find_encoder_by_name("libx264");
  const AVCodecParameters* par = in_->codecpar;
  enc->reset(x264 ? avcodec_alloc_context3(x264) : nullptr);
  if (!*enc) {
    *message = "libx264 is not available";
    return Status::kFallback;
  }
  AVCodecContext* c = enc->get();
  ShapeLikeSource(c);
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  // Full-range pictures stay full range (yuvj420p is how decoders say so).
  c->color_range = par->format == AV_PIX_FMT_YUVJ420P ? AVCOL_RANGE_JPEG : par->color_range;
  c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  c->thread_count = threads_;
  // No reordering and one reference: never deeper than the source, and the
  // re-encoded run is short.
  c->max_b_frames = 0;
  c->refs = 1;
  c->gop_size = 100000;  // the head and tail need only their first IDR
  if (par->level > 0) c->level = par->level;
  AVDictionary* opts = nullptr;
  char crf[16];
  std::snprintf(crf, sizeof crf, "%.2f", 18 + (100 - quality_) * 0.33);
  char params[64];
  std::snprintf(params, sizeof params, "sps-id=%d:bframes=0:ref=1:scenecut=0", paramSetId_);
  av_dict_set(&opts, "preset", "veryfast", 0);
  av_dict_set(&opts, "crf", crf, 0);
  av_dict_set(&opts, "profile", X264Profile(par->profile), 0);
  av_dict_set(&opts, "x264-params", params, 0);
  const int err = avcodec_open2(c, x264, &opts);
  av_dict_free(&opts);
  if (err < 0) {
    *message = "cannot open libx264 like the source: " + AvErrorText(err);
    return Status::kFallback;
  }
  if (!c->extradata || c->extradata_size <= 0) {
    *message = "libx264 gave no parameter sets";
    return Status::kFallback;
  }
  return Status::kOk;
}

void SmartVideo::SetWindow(const PieceWindow& window, std::int64_t fileStartUs) {
  fileStartUs_ = fileStartUs;
  const auto ticks = window.InStreamTicks(fileStartUs, in_->time_base.num, in_->time_base.den);
  startTs_ = ticks.start;
  endTs_ = ticks.end;
  originTs_ = ticks.origin;
}

bool SmartVideo::IsCleanKey(const AVPacket* pkt) const {
  if (!(pkt->flags & AV_PKT_FLAG_KEY)) return false;
  if (mpeg_) {
    // Without reordering every intra picture is an entry point; the
    // picture header has the last word over the container's flag.
    const auto* d = pkt->data;
    const auto n = static_cast<std::size_t>(pkt->size);
    PictureType t = PictureType::kUnknown;
    if (codec_ == AV_CODEC_ID_H263) t = H263PictureType(d, n);
    else if (codec_ == AV_CODEC_ID_FLV1) t = SorensonPictureType(d, n);
    else t = ScanMpeg4(d, n).first;
    return t == PictureType::kIntra || t == PictureType::kUnknown;
  }
  // An IDR frame has no leading pictures: nothing decoded after it is shown
  // before it, and nothing after it refers to anything before it.
  std::vector<int> types;
  const auto size = static_cast<std::size_t>(pkt->size);
  if (hevc_) {
    // HEVC: an IDR picture; a CRA's leading pictures may refer back.
    if (!HevcNalTypes(pkt->data, size, nalLengthSize_, &types)) return false;
    return std::find_if(types.begin(), types.end(),
                        [](int t) { return t == kHevcIdrWRadl || t == kHevcIdrNLp; }) != types.end();
  }
  if (!LengthPrefixedNalTypes(pkt->data, size, nalLengthSize_, &types)) return false;
  return std::find(types.begin(), types.end(), kNalIdrSlice) != types.end();
}

SmartVideo::Status SmartVideo::Feed(const AVPacket* pkt, std::string* message) {
  if (done_) return Status::kOk;
  // Matroska stores no decoding times: the demuxer derives them once it has
  // seen as many packets as the stream reorders, so the first packets (from
  // the start or a seek) come without. They wait for the first packet with
  // one and are dated back from it, a frame apart.
  if (!mpeg_ && pkt && pkt->dts == AV_NOPTS_VALUE && pkt->pts != AV_NOPTS_VALUE && !dated_ &&
      undated_.size() < 32) {
    PacketPtr held(av_packet_clone(pkt));
    if (!held) {
      *message = "out of memory";
      return Status::kError;
    }
    undated_.push_back(std::move(held));
    return Status::kOk;
  }
  if (pkt && pkt->dts != AV_NOPTS_VALUE) dated_ = true;
  if (!undated_.empty()) {
    std::vector<PacketPtr> held = std::move(undated_);
    undated_.clear();
    if (pkt && pkt->dts != AV_NOPTS_VALUE) {
      std::int64_t dts = pkt->dts;
      for (auto it = held.rbegin(); it != held.rend(); ++it) (*it)->dts = dts -= frameTs_;
    }
    for (const PacketPtr& p : held) {
      Status st = FeedDated(p.get(), message);
      if (st != Status::kOk || done_) return st;
    }
  }
  return FeedDated(pkt, message);
}

SmartVideo::Status SmartVideo::FeedDated(const AVPacket* pkt, std::string* message) {
  PacketPtr filled;
  if (pkt && mpeg_ && (countsFrames_ || (pkt->pts == AV_NOPTS_VALUE && pkt->dts != AV_NOPTS_VALUE))) {
    // Shown in decode order: a packet's decoding time is its presentation.
    filled.reset(av_packet_clone(pkt));
    if (!filled) {
      *message = "out of memory";
      return Status::kError;
    }
    if (filled->pts == AV_NOPTS_VALUE) filled->pts = filled->dts;
    if (countsFrames_ && filled->pts != AV_NOPTS_VALUE) {
      // AVI: the picture's number, not its slot, as the full re-encode
      // counts.
      const auto at = std::lower_bound(pictureSlots_.begin(), pictureSlots_.end(), filled->pts);
      if (at == pictureSlots_.end() || *at != filled->pts) {
        *message = "the AVI index does not list every picture";
        return Status::kFallback;
      }
      filled->pts = filled->dts = at - pictureSlots_.begin();
      filled->duration = 1;
    }
    pkt = filled.get();
  }
  if (pkt && codec_ == AV_CODEC_ID_MPEG4) {
    const Mpeg4Scan scan = ScanMpeg4(pkt->data, static_cast<std::size_t>(pkt->size));
    if (scan.bVop || scan.vops > 1) {
      *message = "the source's MPEG-4 video has B-frames";
      return Status::kFallback;
    }
  }
  if (pkt) {
    if (pkt->pts == AV_NOPTS_VALUE || pkt->dts == AV_NOPTS_VALUE) {
      *message = "the source's video packets lack time stamps";
      return Status::kFallback;
    }
    const std::int64_t end = pkt->pts + std::max<std::int64_t>(pkt->duration, 0);
    reachedUs_ = std::max(reachedUs_, av_rescale_q(end, in_->time_base, AV_TIME_BASE_Q) - fileStartUs_);
  }
  const bool clean = pkt && IsCleanKey(pkt);
  return phase_ == Phase::kHead ? FeedHead(pkt, clean, message) : FeedCopy(pkt, clean, message);
}

SmartVideo::Status SmartVideo::FeedHead(const AVPacket* pkt, bool clean, std::string* message) {
  if (!pkt) return FinishHead(false, 0, message);
  if (clean && pkt->pts >= startTs_) {
    // The first clean key frame in the piece: the head ends before it.
    const std::int64_t delay = pkt->pts - pkt->dts;
    if (delay < 0) {
      *message = "the source's time stamps put a frame before its decoding";
      return Status::kFallback;
    }
    const bool bodyFollows = pkt->pts < endTs_ && !headReachedEnd_;
    Status st = FinishHead(bodyFollows, bodyFollows ? delay : 0, message);
    if (st != Status::kOk || !bodyFollows) return st;
    st = CheckBodyVol(pkt, message);
    if (st != Status::kOk) return st;
    if (firstKeptUs_ < 0) firstKeptUs_ = av_rescale_q(pkt->pts, in_->time_base, AV_TIME_BASE_Q) - fileStartUs_;
    phase_ = Phase::kCopy;
    done_ = false;
    return FeedCopy(pkt, true, message);
  }
  if (clean) {
    // Everything before a clean key frame earlier than the start is shown
    // before it: decoding starts afresh here.
    avcodec_flush_buffers(dec_.get());
  }
  Status st = Decode(pkt, headEnc_.get(), startTs_, &headPackets_, message);
  // A decoded frame at the end: the piece lies inside one group.
  if (st == Status::kOk && headReachedEnd_) return FinishHead(false, 0, message);
  return st;
}

SmartVideo::Status SmartVideo::FinishHead(bool bodyFollows, std::int64_t delay, std::string* message) {
  Status st = Decode(nullptr, headEnc_.get(), startTs_, &headPackets_, message);
  if (st != Status::kOk) return st;
  TraceTime("head decoded");
  avcodec_flush_buffers(dec_.get());
  if (headFrames_ > 0) {
    st = Encode(headEnc_.get(), nullptr, &headPackets_, message);
    if (st != Status::kOk) return st;
    st = WriteEncoded(&headPackets_, delay, message);
    if (st != Status::kOk) return st;
    TraceTime("head written");
    // The copied packets that follow go through the same check, so that a
    // clash of parameter sets shows at once.
    checkAfterSeam_ = kSeamCheckPackets;
  }
  phase_ = Phase::kDone;
  done_ = true;
  // With a body to follow, the check goes on through its first packets.
  return bodyFollows ? Status::kOk : EndSeamCheck(message);
}

SmartVideo::Status SmartVideo::CheckBodyVol(const AVPacket* key, std::string* message) const {
  if (codec_ != AV_CODEC_ID_MPEG4 || ScanMpeg4(key->data, static_cast<std::size_t>(key->size)).vol)
    return Status::kOk;
  // The copied key frame relies on a VOL header met before it: the one the
  // piece's header holds, unless the re-encoded run's own VOL came last.
  if (sourceVol_.empty()) {
    *message = "the source's key frames do not carry the VOL header they are coded with";
    return Status::kFallback;
  }
  if (headFrames_ > 0 && headVol_ != sourceVol_) {
    *message = "the re-encoded start's VOL header differs from the one the copied frames rely on";
    return Status::kFallback;
  }
  return Status::kOk;
}

SmartVideo::Status SmartVideo::EndSeamCheck(std::string* message) {
  if (checkAfterSeam_ == 0) return Status::kOk;
  checkAfterSeam_ = 0;
  Status st = Check(nullptr, "start", message);
  avcodec_flush_buffers(checker_.get());
  return st;
}

SmartVideo::Status SmartVideo::FeedCopy(const AVPacket* pkt, bool clean, std::string* message) {
  if (!pkt || clean) {
    // The buffered group is complete.
    if (firstAtEnd_ != SIZE_MAX) return DecideTail(message);
    Status st = WriteGroup(group_.size(), message);
    if (st != Status::kOk) return st;
    ClearGroup();
    if (!pkt || pkt->pts >= endTs_) {
      phase_ = Phase::kDone;
      done_ = true;
      return EndSeamCheck(message);
    }
  }
  PacketPtr copy(av_packet_clone(pkt));
  if (!copy) {
    *message = "out of memory";
    return Status::kError;
  }
  // An HEVC IDR picture may have leading pictures (RADL), decoded after it
  // and shown before it: the head has re-encoded those already.
  if (hevc_ && !group_.empty() && pkt->pts < group_.front()->pts) {
    *message = "the source's key frames have leading pictures";
    return Status::kFallback;
  }
  if (pkt->pts >= endTs_ && firstAtEnd_ == SIZE_MAX) firstAtEnd_ = group_.size();
  groupBytes_ += pkt->size;
  group_.push_back(std::move(copy));
  if (firstAtEnd_ != SIZE_MAX && TailDecidable(group_.size(), firstAtEnd_, mpeg_ ? 0 : 16))
    return DecideTail(message);
  if (group_.size() > kMaxGroupPackets || groupBytes_ > kMaxGroupBytes) {
    *message = "the source's clean key frames are too far apart";
    return Status::kFallback;
  }
  return Status::kOk;
}

SmartVideo::Status SmartVideo::DecideTail(std::string* message) {
  phase_ = Phase::kDone;
  done_ = true;
  std::vector<std::int64_t> pts;
  std::size_t lastBefore = 0;  // the last packet with a frame before the end
  for (std::size_t i = 0; i < group_.size(); ++i) {
    pts.push_back(group_[i]->pts);
    if (group_[i]->pts < endTs_) lastBefore = i;
  }
  TraceTime("tail reached");
  const TailSplit split = SplitTail(pts, endTs_);
  Status st = WriteGroup(static_cast<std::size_t>(split.copy), message);
  if (st == Status::kOk) st = EndSeamCheck(message);
  if (st != Status::kOk || !split.reencode) return st;

  // The frames before the end that the copy leaves out (B-frames decoded
  // after a frame at or past the end) are re-encoded after it, by an
  // encoder of the same settings, hence the same parameter sets under the
  // same id.
  st = mpeg_ ? OpenMpegEncoder(&tailEnc_, message) : OpenEncoder(&tailEnc_, message);
  if (st != Status::kOk) return st;
  if (!mpeg_ && !hevc_ &&
      encoderSets_ != Bytes(tailEnc_->extradata, tailEnc_->extradata + tailEnc_->extradata_size)) {
    *message = "the encoder's parameter sets changed between the start and the end";
    return Status::kFallback;
  }
  const AVPacket* key = group_.front().get();
  const std::int64_t delay = key->pts - key->dts;
  std::vector<PacketPtr> packets;
  const std::int64_t before = headFrames_;
  for (std::size_t i = 0; i <= lastBefore; ++i) {
    st = Decode(group_[i].get(), tailEnc_.get(), split.reencodeFrom, &packets, message);
    if (st != Status::kOk) return st;
  }
  st = Decode(nullptr, tailEnc_.get(), split.reencodeFrom, &packets, message);
  if (st != Status::kOk) return st;
  // Decode() counts what it encodes as head frames.
  tailFrames_ = headFrames_ - before;
  headFrames_ = before;
  st = Encode(tailEnc_.get(), nullptr, &packets, message);
  if (st != Status::kOk) return st;
  ClearGroup();
  st = WriteEncoded(&packets, delay, message);
  TraceTime("tail written");
  return st;
}

SmartVideo::Status SmartVideo::WriteGroup(std::size_t count, std::string* message) {
  for (std::size_t i = 0; i < count && i < group_.size(); ++i) {
    Status st = WriteCopied(group_[i].get(), message);
    if (st != Status::kOk) return st;
  }
  return Status::kOk;
}

void SmartVideo::ClearGroup() {
  group_.clear();
  groupBytes_ = 0;
  firstAtEnd_ = SIZE_MAX;
}

SmartVideo::Status SmartVideo::Decode(const AVPacket* pkt, AVCodecContext* enc, std::int64_t from,
                                      std::vector<PacketPtr>* out, std::string* message) {
  // Frames outside [from, end) are decoded only as references; those
  // nothing refers to need not be decoded at all.
  dec_->skip_frame = pkt && (pkt->pts < from || pkt->pts >= endTs_) ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
  int err = avcodec_send_packet(dec_.get(), pkt);
  if (err < 0 && err != AVERROR_EOF) {
    *message = "a packet to re-encode does not decode";
    return Status::kFallback;
  }
  for (;;) {
    err = avcodec_receive_frame(dec_.get(), frame_.get());
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return Status::kOk;
    if (err < 0) {
      *message = "a frame to re-encode does not decode";
      return Status::kFallback;
    }
    const std::int64_t ts = frame_->best_effort_timestamp;
    Status st = Status::kOk;
    if (frame_->interlaced_frame) {
      *message = "the source has interlaced pictures";
      st = Status::kFallback;
    } else if (ts == AV_NOPTS_VALUE) {
      *message = "a decoded frame has no time stamp";
      st = Status::kFallback;
    } else if (ts >= endTs_) {
      headReachedEnd_ = true;
    } else if (ts >= from) {
      if (firstKeptUs_ < 0) firstKeptUs_ = av_rescale_q(ts, in_->time_base, AV_TIME_BASE_Q) - fileStartUs_;
      frame_->pts = ts;
      frame_->pict_type = AV_PICTURE_TYPE_NONE;
      frame_->sample_aspect_ratio = enc->sample_aspect_ratio;
      if (hevc_ ? frame_->format != pixFmt_
                : frame_->format != AV_PIX_FMT_YUV420P && frame_->format != AV_PIX_FMT_YUVJ420P) {
        *message = hevc_ ? "a decoded frame changes the source's pixel format" : "a decoded frame is not 8-bit 4:2:0";
        st = Status::kFallback;
      } else {
        if (frame_->format == AV_PIX_FMT_YUVJ420P) frame_->format = AV_PIX_FMT_YUV420P;
        st = Encode(enc, frame_.get(), out, message);
        ++headFrames_;
      }
    }
    av_frame_unref(frame_.get());
    if (st != Status::kOk) return st;
  }
}

SmartVideo::Status SmartVideo::Encode(AVCodecContext* enc, AVFrame* frame, std::vector<PacketPtr>* out,
                                      std::string* message) {
  if (mpeg_ && frame) {
    pendingPts_.push_back(frame->pts);
    frame->pts = encoderPts_++;
  }
  int err = avcodec_send_frame(enc, frame);
  if (err < 0 && err != AVERROR_EOF) {
    *message = "video encoding failed: " + AvErrorText(err);
    return Status::kError;
  }
  for (;;) {
    err = avcodec_receive_packet(enc, encoded_.get());
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return Status::kOk;
    if (err < 0) {
      *message = "video encoding failed: " + AvErrorText(err);
      return Status::kError;
    }
    if (mpeg_) {
      PacketPtr p = MakePacket();
      if (!p || pendingPts_.empty()) {
        *message = p ? "the encoder gave more pictures than it was sent" : "out of memory";
        return p ? Status::kFallback : Status::kError;
      }
      av_packet_move_ref(p.get(), encoded_.get());
      p->pts = p->dts = pendingPts_.front();
      pendingPts_.pop_front();
      if (codec_ == AV_CODEC_ID_MPEG4 && headVol_.empty())
        headVol_ = Mpeg4VolUnit(p->data, static_cast<std::size_t>(p->size));
      out->push_back(std::move(p));
      continue;
    }
    if (hevc_ && (encoded_->flags & AV_PKT_FLAG_KEY)) {
      Status st = CheckEncodedSets(encoded_.get(), message);
      if (st != Status::kOk) return st;
    }
    // The output keeps the source's NAL length prefixes, not the encoder's
    // start codes.
    Bytes body;
    if (!AnnexBToLengthPrefixed(encoded_->data, static_cast<std::size_t>(encoded_->size), nalLengthSize_,
                                &body)) {
      *message = "a re-encoded frame is too large for the source's NAL length size";
      return Status::kFallback;
    }
    PacketPtr p = MakePacket();
    if (!p || av_new_packet(p.get(), static_cast<int>(body.size())) < 0 ||
        av_packet_copy_props(p.get(), encoded_.get()) < 0) {
      *message = "out of memory";
      return Status::kError;
    }
    std::memcpy(p->data, body.data(), body.size());
    av_packet_unref(encoded_.get());
    out->push_back(std::move(p));
  }
}

SmartVideo::Status SmartVideo::WriteEncoded(std::vector<PacketPtr>* packets, std::int64_t delay,
                                            std::string* message) {
  const char* seam = phase_ == Phase::kHead ? "start" : "end";
  std::size_t checked = 0;
  for (PacketPtr& p : *packets) {
    // Without B-frames the encoder's DTS equal its PTS; lowered by the
    // source's delay they stay below the first copied DTS and rise by one
    // frame at the seam.
    p->dts = p->pts - delay;
    if (p->dts <= lastDts_) {
      *message = std::string("the time stamps at the ") + seam + " of the piece do not rise";
      return Status::kFallback;
    }
    lastDts_ = p->dts;
    if (checked < kEncodedCheckPackets) {
      Status st = Check(p.get(), seam, message);
      if (st == Status::kOk && ++checked == std::min(kEncodedCheckPackets, packets->size())) {
        st = Check(nullptr, seam, message);
        avcodec_flush_buffers(checker_.get());
      }
      if (st != Status::kOk) return st;
    }
    p->pts -= originTs_;
    p->dts -= originTs_;
    p->duration = frameTs_;  // a frame, so that a piece ending here keeps its last one
    if (!mux_->Write(p.get(), in_->time_base, out_, message)) return Status::kError;
  }
  packets->clear();
  return Status::kOk;
}

SmartVideo::Status SmartVideo::CheckEncodedSets(const AVPacket* annexB, std::string* message) const {
  for (const Bytes& nal : SplitAnnexB(annexB->data, static_cast<std::size_t>(annexB->size))) {
    if (nal.size() < 2 || ((nal[0] >> 1) & 0x3f) != kHevcSps) continue;
    HevcSpsFacts made;
    const std::string why = ParseHevcSps(nal, &made) ? HevcMismatch(hevcFacts_, made) : "an unreadable SPS";
    if (!why.empty()) {
      *message = "x265 codes the re-encoded frames with " + why;
      return Status::kFallback;
    }
  }
  return Status::kOk;
}

SmartVideo::Status SmartVideo::PrepareCopy(const AVPacket* pkt, PacketPtr* out, std::string* message) const {
  std::vector<int> types;
  bool irap = false, vps = false, sps = false, pps = false;
  if (hevc_ && HevcNalTypes(pkt->data, static_cast<std::size_t>(pkt->size), nalLengthSize_, &types))
    for (int t : types) {
      irap |= t >= kHevcBlaWLp && t <= kHevcIrapLast;
      vps |= t == kHevcVps;
      sps |= t == kHevcSps;
      pps |= t == kHevcPps;
    }
  if (!irap || (vps && sps && pps)) {
    out->reset(av_packet_clone(pkt));
  } else {
    // The only bytes of a copied run that are not the source's.
    out->reset(av_packet_alloc());
    const std::size_t size = hevcPrefix_.size() + static_cast<std::size_t>(pkt->size);
    if (*out && (size > INT_MAX / 2 || av_new_packet(out->get(), static_cast<int>(size)) < 0 ||
                 av_packet_copy_props(out->get(), pkt) < 0))
      out->reset();
    if (*out) {
      std::memcpy((*out)->data, hevcPrefix_.data(), hevcPrefix_.size());
      std::memcpy((*out)->data + hevcPrefix_.size(), pkt->data, static_cast<std::size_t>(pkt->size));
    }
  }
  if (*out) return Status::kOk;
  *message = "out of memory";
  return Status::kError;
}

SmartVideo::Status SmartVideo::WriteCopied(const AVPacket* pkt, std::string* message) {
  // The muxer takes what it is given; the group keeps its packets for a
  // re-encode of its end.
  PacketPtr out;
  Status st = PrepareCopy(pkt, &out, message);
  if (st != Status::kOk) return st;
  if (checkAfterSeam_ > 0) {
    st = Check(out.get(), "start", message);
    if (st != Status::kOk) return st;
    if (checkAfterSeam_ == 1) {
      st = EndSeamCheck(message);
      if (st != Status::kOk) return st;
    } else {
      --checkAfterSeam_;
    }
  }
  if (pkt->dts <= lastDts_) {
    *message = "the time stamps at the start of the piece do not rise";
    return Status::kFallback;
  }
  lastDts_ = pkt->dts;
  out->pts -= originTs_;
  out->dts -= originTs_;
  ++copied_;
  return mux_->Write(out.get(), in_->time_base, out_, message) ? Status::kOk : Status::kError;
}

SmartVideo::Status SmartVideo::Check(const AVPacket* pkt, const char* seam, std::string* message) {
  int err = avcodec_send_packet(checker_.get(), pkt);
  bool bad = err < 0 && err != AVERROR_EOF;
  while (!bad) {
    err = avcodec_receive_frame(checker_.get(), frame_.get());
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) break;
    bad = err < 0 || frame_->decode_error_flags != 0 || (frame_->flags & AV_FRAME_FLAG_CORRUPT);
    av_frame_unref(frame_.get());
  }
  if (!bad) return Status::kOk;
  *message = std::string("the seam at the ") + seam + " of the piece does not decode cleanly";
  return Status::kFallback;
}

std::string SmartVideo::Summary() const {
  std::string s = "smart cut: " + std::to_string(headFrames_) + " frames re-encoded at the start, " +
                  std::to_string(copied_) + " copied";
  if (tailFrames_ > 0) s += ", " + std::to_string(tailFrames_) + " re-encoded at the end";
  return s;
}

}  // namespace zantrel::tool
