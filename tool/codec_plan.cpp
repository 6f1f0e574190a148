#include "tool/codec_plan.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace zantrel::tool {
namespace {

// The encoders we know how to drive well; a source codec without one of
// these becomes the container's usual codec.
const AVCodec* VideoEncoderFor(AVCodecID id) {
  switch (id) {
    case AV_CODEC_ID_H264: return avcodec_find_encoder_by_name("libx264");
    case AV_CODEC_ID_HEVC: return avcodec_find_encoder_by_name("libx265");
    case AV_CODEC_ID_MPEG4: return avcodec_find_encoder_by_name("mpeg4");
    case AV_CODEC_ID_FLV1: return avcodec_find_encoder_by_name("flv");
    case AV_CODEC_ID_H263: return avcodec_find_encoder_by_name("h263");
    case AV_CODEC_ID_MPEG1VIDEO: return avcodec_find_encoder_by_name("mpeg1video");
    case AV_CODEC_ID_MPEG2VIDEO: return avcodec_find_encoder_by_name("mpeg2video");
    case AV_CODEC_ID_MJPEG: return avcodec_find_encoder_by_name("mjpeg");
    default: return nullptr;
  }
}

const AVCodec* AudioEncoderFor(AVCodecID id) {
  switch (id) {
    case AV_CODEC_ID_AAC: return avcodec_find_encoder_by_name("aac");
    case AV_CODEC_ID_MP3: return avcodec_find_encoder_by_name("libmp3lame");
    case AV_CODEC_ID_MP2: return avcodec_find_encoder_by_name("mp2");
    case AV_CODEC_ID_AC3: return avcodec_find_encoder_by_name("ac3");
    case AV_CODEC_ID_PCM_S16LE: return avcodec_find_encoder_by_name("pcm_s16le");
    case AV_CODEC_ID_PCM_U8: return avcodec_find_encoder_by_name("pcm_u8");
    default: return nullptr;
  }
}

bool Carries(const AVOutputFormat* fmt, AVCodecID id) {
  return avformat_query_codec(fmt, id, FF_COMPLIANCE_NORMAL) == 1;
}

std::string LowerExtension(const std::string& path) {
  std::size_t slash = path.rfind('/');
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

int NearestRate(const AVCodec* enc, int want, const int* allowedByContainer) {
  const int* rates = allowedByContainer ? allowedByContainer : enc->supported_samplerates;
  if (!rates) return want;
  int best = rates[0];
  for (const int* r = rates; *r; ++r)
    if (std::abs(*r - want) < std::abs(best - want)) best = *r;
  return best;
}

}  // namespace

bool IsH263Size(int w, int h) {
  static const int kSizes[][2] = {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};
  for (const auto& s : kSizes)
    if (s[0] == w && s[1] == h) return true;
  return false;
}

bool PlanCodecs(const std::string& outputPath, const AVCodecParameters* video,
                const AVCodecParameters* audio, const ToolArgs& args, CodecPlan* plan,
                std::string* error) {
  CodecPlan p;
  const std::string ext = LowerExtension(outputPath);
  p.format = av_guess_format(nullptr, ("x." + ext).c_str(), nullptr);
  if (ext.empty() || !p.format) {
    *error = "cannot tell the container from the output name '" + outputPath + "'";
    return false;
  }
  if (std::strcmp(p.format->name, "3gp") == 0) p.form = OutputForm::k3gp;
  else if (std::strcmp(p.format->name, "flv") == 0) p.form = OutputForm::kFlv;

  if (video) {
    const AVCodecID src = video->codec_id;
    switch (p.form) {
      case OutputForm::k3gp:
        p.videoEncoder = (src == AV_CODEC_ID_H263 && IsH263Size(video->width, video->height))
                             ? VideoEncoderFor(AV_CODEC_ID_H263)
                             : VideoEncoderFor(AV_CODEC_ID_H264);
        break;
      case OutputForm::kFlv:
        p.videoEncoder = (src == AV_CODEC_ID_FLV1) ? VideoEncoderFor(AV_CODEC_ID_FLV1)
                                                   : VideoEncoderFor(AV_CODEC_ID_H264);
        break;
      case OutputForm::kGeneral:
        if (Carries(p.format, src)) p.videoEncoder = VideoEncoderFor(src);
        if (src == AV_CODEC_ID_H263 && !IsH263Size(video->width, video->height)) p.videoEncoder = nullptr;
        // HEVC in AVI plays almost nowhere; AVI keeps its usual codec.
        if (src == AV_CODEC_ID_HEVC && std::strcmp(p.format->name, "avi") == 0) p.videoEncoder = nullptr;
        if (!p.videoEncoder) {
          AVCodecID usual = p.format->video_codec;
          if (std::strcmp(p.format->name, "avi") == 0) usual = AV_CODEC_ID_MPEG4;
          if (std::strcmp(p.format->name, "mp4") == 0 || std::strcmp(p.format->name, "mov") == 0 ||
              std::strcmp(p.format->name, "matroska") == 0)
            usual = AV_CODEC_ID_H264;
          p.videoEncoder = VideoEncoderFor(usual);
          if (!p.videoEncoder && Carries(p.format, AV_CODEC_ID_H264))
            p.videoEncoder = VideoEncoderFor(AV_CODEC_ID_H264);
        }
        break;
    }
    if (!p.videoEncoder) {
      *error = std::string("no video encoder for the container '") + p.format->name + "'";
      return false;
    }
  }

  if (audio) {
    p.hasAudio = true;
    const AVCodecID src = audio->codec_id;
    int rate = args.sampleRate.value_or(audio->sample_rate);
    int channels = args.channels.value_or(audio->ch_layout.nb_channels);
    const int* containerRates = nullptr;
    static const int kFlvMp3Rates[] = {44100, 22050, 11025, 0};
    switch (p.form) {
      case OutputForm::k3gp:
        // 3GP audio is AMR-NB, which exists only as 8 kHz mono.
        p.amrNb = true;
        break;
      case OutputForm::kFlv:
        if (src == AV_CODEC_ID_MP3) {
          p.audioEncoder = AudioEncoderFor(AV_CODEC_ID_MP3);
          containerRates = kFlvMp3Rates;
        }
        if (!p.audioEncoder) p.audioEncoder = AudioEncoderFor(AV_CODEC_ID_AAC);
        break;
      case OutputForm::kGeneral:
        if (Carries(p.format, src)) p.audioEncoder = AudioEncoderFor(src);
        if (!p.audioEncoder) {
          AVCodecID usual = p.format->audio_codec;
          if (std::strcmp(p.format->name, "avi") == 0) usual = AV_CODEC_ID_MP3;
          if (std::strcmp(p.format->name, "mp4") == 0 || std::strcmp(p.format->name, "mov") == 0)
            usual = AV_CODEC_ID_AAC;
          p.audioEncoder = AudioEncoderFor(usual);
          if (!p.audioEncoder && Carries(p.format, AV_CODEC_ID_AAC))
            p.audioEncoder = AudioEncoderFor(AV_CODEC_ID_AAC);
        }
        break;
    }
    if (p.amrNb) {
      p.sampleRate = 8000;
      p.channels = 1;
      p.audioBitRate = 12200;
    } else {
      if (!p.audioEncoder) {
        *error = std::string("no audio encoder for the container '") + p.format->name + "'";
        return false;
      }
      p.sampleRate = NearestRate(p.audioEncoder, rate, containerRates);
      if (p.audioEncoder->id == AV_CODEC_ID_MP3 || p.audioEncoder->id == AV_CODEC_ID_MP2)
        channels = std::min(channels, 2);
      p.channels = std::clamp(channels, 1, 8);
      p.audioBitRate = args.audioBitRate.value_or(p.channels > 1 ? 160000 : 96000);
    }
  }
  *plan = p;
  return true;
}

}  // namespace zantrel::tool
