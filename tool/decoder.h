#pragma once
// Opening the decoder of one input stream, shared by the audio and video paths.
#include <string>

#include "tool/av_handles.h"

struct AVStream;

namespace zantrel::tool {

// Allocates, configures and opens a decoder for `stream` into *dec with the
// given thread settings (threadType 0 leaves the codec's default). False,
// with a reason naming `kind` ("audio", "video"), when it cannot.
bool OpenDecoder(AVStream* stream, int threadCount, int threadType, const char* kind,
                 CodecContextPtr* dec, std::string* error);

}  // namespace zantrel::tool
