#pragma once
// Which container and codecs a piece gets, from the output name and the
// source's codecs.
#include <cstdint>
#include <string>

#include "tool/args.h"
#include "tool/av_handles.h"

namespace zantrel::tool {

enum class OutputForm { k3gp, kFlv, kGeneral };

struct CodecPlan {
  const AVOutputFormat* format = nullptr;
  OutputForm form = OutputForm::kGeneral;
  const AVCodec* videoEncoder = nullptr;  // null when the source has no video
  // Audio: either amrNb (encoded through libopencore-amrnb) or an encoder.
  bool amrNb = false;
  const AVCodec* audioEncoder = nullptr;
  bool hasAudio = false;
  int sampleRate = 0;
  int channels = 0;
  std::int64_t audioBitRate = 0;
};

// True for the frame sizes H.263 can code (sub-QCIF to 16CIF).
bool IsH263Size(int width, int height);

// Chooses the plan. `video`/`audio` are the source's stream parameters or
// null when absent. False with a message when the output name gives no
// known container or no encoder is available.
bool PlanCodecs(const std::string& outputPath, const AVCodecParameters* video,
                const AVCodecParameters* audio, const ToolArgs& args, CodecPlan* plan,
                std::string* error);

}  // namespace zantrel::tool
