#pragma once
// Opening the decoder of one input stream, shared by the audio and video paths.
#include <string>

#include "tool/av_handles.h"

struct AVStream;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace zantrel::tool {

// Allocates, configures and opens a decoder for `stream` into *dec with the
// given thread settings (threadType 0 leaves the codec's default). False,
// with a reason naming `kind` ("audio", "video"), when it cannot.
bool OpenDecoder(AVStream* stream, int threadCount, int threadType, const char* kind,
                 CodecContextPtr* dec, std::string* error);

// The sample rate of `frame`, just received from the audio decoder `dec`.
// Some decoders (MP3) label the first frame after a change of rate with the
// old one and update only their context; a decoder without delay gives
// each packet's frame straight away, so its context then holds the frame's
// true rate.
int DecodedSampleRate(const AVCodecContext* dec, const AVFrame* frame);

// avcodec_send_packet for audio, without the parameter-change notes a
// demuxer adds where the container's flags change (FLV tags): decoders that
// cannot take them only log an error and decode on, reading their frames'
// own headers. `pkt` null flushes.
int SendAudioPacket(AVCodecContext* dec, const AVPacket* pkt);

// Codecs whose frames carry no header of their own (PCM, ADPCM,
// Nellymoser) decode at the rate and channels they were opened with; where
// the container's flags change, only the demuxer knows. True when `pkt`
// carries a parameter-change note for another rate or channel count than
// `dec` decodes, with the new ones in *rate and *channels.
bool AudioPacketNeedsReopen(const AVCodecContext* dec, const AVPacket* pkt, int* rate, int* channels);
// Opens a fresh decoder for `stream` at `rate` and `channels` into *dec.
bool ReopenAudioDecoder(const AVStream* stream, int rate, int channels, CodecContextPtr* dec, std::string* error);

}  // namespace zantrel::tool
