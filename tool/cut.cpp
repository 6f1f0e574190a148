#include "tool/cut.h"

#include <algorithm>
#include <deque>
#include <unistd.h>

#include "tool/audio_copy.h"
#include "tool/audio_path.h"
#include "tool/codec_plan.h"
#include "tool/console.h"
#include "tool/output_file.h"
#include "tool/progress_reporter.h"
#include "tool/smart_video.h"
#include "tool/source.h"
#include "tool/video_path.h"

namespace zantrel::tool {
namespace {

constexpr std::int64_t kToTheEnd = INT64_MAX / 4;

int ThreadsFor(int budget) {
  if (budget == 0) return 0;  // the codec's own choice
  long cpus = sysconf(_SC_NPROCESSORS_ONLN);
  return static_cast<int>(std::clamp<long>(budget, 1, std::max(cpus, 1L)));
}

// Positions the demuxer at the key frame at or before the start and returns
// the packets read to check that, to be processed first. Never reads from
// the beginning for a late start unless the container cannot seek.
class Seeker {
 public:
  Seeker(AVFormatContext* fc, int videoStream, std::int64_t baseUs)
      : fc_(fc), video_(videoStream), baseUs_(baseUs) {}

  void SeekTo(std::int64_t startUs, std::deque<PacketPtr>* queued) {
    queued->clear();
    if (startUs <= 0) return;  // the demuxer is at the start already
    std::int64_t backoff = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
      const std::int64_t target = baseUs_ + startUs - backoff;
      if (target <= baseUs_ || av_seek_frame(fc_, -1, target, AVSEEK_FLAG_BACKWARD) < 0) break;
      if (video_ < 0) return;  // audio frames all start where they say
      queued->clear();
      // The first video packet after a backward seek must be a key frame
      // that starts no later than the cut; otherwise look further back.
      const AVStream* st = fc_->streams[video_];
      const std::int64_t startTs = av_rescale_q(baseUs_ + startUs, AV_TIME_BASE_Q, st->time_base);
      for (;;) {
        PacketPtr pkt = MakePacket();
        if (!pkt || av_read_frame(fc_, pkt.get()) < 0) return;  // past the end: nothing to cut
        if (pkt->stream_index != video_) {
          queued->push_back(std::move(pkt));
          continue;
        }
        if (!(pkt->flags & AV_PKT_FLAG_KEY)) continue;  // undecodable without its key frame
        std::int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
        if (ts == AV_NOPTS_VALUE || ts <= startTs) {
          queued->push_back(std::move(pkt));
          return;
        }
        break;
      }
      backoff = backoff == 0 ? AV_TIME_BASE : backoff * 4;
    }
    // No usable key frame found by seeking: read from the beginning.
    queued->clear();
    if (avformat_seek_file(fc_, -1, INT64_MIN, baseUs_, baseUs_, 0) < 0)
      av_seek_frame(fc_, -1, 0, AVSEEK_FLAG_BYTE);
  }

 private:
  AVFormatContext* fc_;
  int video_;
  std::int64_t baseUs_;
};
// How one attempt at the piece ended.
enum class Attempt { kDone, kFailed, kFallback };

// Cuts the piece once: smartly when `smart` and the source allows it, else
// by full re-encode. kFallback (with the reason in *why) when the smart cut
// turned out not to be sound midway; the partial output is then discarded.
Attempt CutOnce(const ToolArgs& args, const CutTuning& tuning, std::int64_t startUs, std::int64_t lengthUs,
                bool smart, ProgressReporter* progressReporter, std::string* why) {
  ProgressReporter& progress = *progressReporter;
  std::string error;
  OpenedSource src;
  if (!OpenSource(args.input, 5 * AV_TIME_BASE, 256 * 1024, &src, &error)) {
    ReportError(error);
    return Attempt::kFailed;
  }
  AVFormatContext* in = src.format.get();
  if (src.durationUs > 0 && startUs >= src.durationUs) {
    ReportError("the start (" + std::to_string(startUs / AV_TIME_BASE) +
                " s) lies beyond the end of the source");
    return Attempt::kFailed;
  }
  const AVCodecParameters* vpar = src.videoStream >= 0 ? in->streams[src.videoStream]->codecpar : nullptr;
  const AVCodecParameters* apar = src.audioStream >= 0 ? in->streams[src.audioStream]->codecpar : nullptr;
  CodecPlan plan;
  if (!PlanCodecs(args.output, vpar, apar, args, &plan, &error)) {
    ReportError(error);
    return Attempt::kFailed;
  }

  TempOutput temp(args.output);
  if (!temp.Create(&error)) {
    ReportError(error);
    return Attempt::kFailed;
  }
  Muxer mux;
  if (!mux.Init(plan.format, temp.path(), &error)) {
    ReportError(error);
    return Attempt::kFailed;
  }
  const int threads = ThreadsFor(tuning.threads);
  VideoPath video;
  SmartVideo smartVideo;
  AudioPath audio;
  AudioCopy audioCopy;
  const bool hasVideo = vpar != nullptr;
  const bool hasAudio = apar != nullptr;
  bool useSmart = false;
  if (hasVideo && smart) {
    SmartVideo::Status st = smartVideo.Init(in, src.videoStream, plan, &mux, threads, tuning.quality, &error);
    if (st == SmartVideo::Status::kError) {
      ReportError(error);
      return Attempt::kFailed;
    }
    useSmart = st == SmartVideo::Status::kOk;
    if (!useSmart) WriteStderr("ZantrelCore: full re-encode: " + error + "\n");
  } else if (hasVideo) {
    WriteStderr("ZantrelCore: full re-encode: " + (why->empty() ? std::string("asked for") : *why) + "\n");
  }
  // A smart-cut piece copies its audio too where the form keeps it as it is.
  const bool copyAudio = useSmart && AudioCanBeCopied(plan, apar, args.audioBitRate.has_value());
  if ((hasVideo && !useSmart &&
       !video.Init(in, src.videoStream, plan.videoEncoder, &mux, threads, tuning.quality, &error)) ||
      (hasAudio && !copyAudio && !audio.Init(in, src.audioStream, plan, &mux, &error)) ||
      (hasAudio && copyAudio && !audioCopy.Init(in, src.audioStream, &mux, &error)) || !mux.Open(&error)) {
    ReportError(error);
    return Attempt::kFailed;
  }
  // Cut times count from the first picture: that is the timeline a viewer
  // sees, and audio that starts earlier (encoder priming) then keeps its
  // place relative to the pictures.
  std::int64_t baseUs = src.startUs;
  if (hasVideo) {
    const AVStream* vs = in->streams[src.videoStream];
    if (vs->start_time != AV_NOPTS_VALUE) baseUs = av_rescale_q(vs->start_time, vs->time_base, AV_TIME_BASE_Q);
    if (useSmart)
      smartVideo.SetWindow(baseUs, startUs, lengthUs);
    else
      video.SetWindow(baseUs, startUs, lengthUs);
  }
  if (hasAudio && copyAudio) {
    audioCopy.SetWindow(baseUs, startUs, lengthUs);
  } else if (hasAudio) {
    audio.SetWindow(baseUs, startUs);
    if (!hasVideo && !audio.SetOrigin(startUs, lengthUs, &error)) {
      ReportError(error);
      return Attempt::kFailed;
    }
  }

  std::deque<PacketPtr> queued;
  Seeker(in, src.videoStream, baseUs).SeekTo(startUs, &queued);

  std::int64_t total = lengthUs;
  if (src.durationUs > 0) total = std::min(total, src.durationUs - startUs);
  bool originPassed = !hasVideo;
  bool fallback = false;
  auto videoOriginKnown = [&] { return useSmart ? smartVideo.originKnown() : video.originKnown(); };
  auto videoOriginUs = [&] { return useSmart ? smartVideo.originUs() : video.originUs(); };
  auto videoDone = [&] { return useSmart ? smartVideo.done() : video.done(); };
  auto videoReachedUs = [&] { return useSmart ? smartVideo.reachedUs() : video.reachedUs(); };
  auto step = [&](const AVPacket* pkt) -> bool {
    const int index = pkt ? pkt->stream_index : -1;
    if (hasVideo && (!pkt || index == src.videoStream)) {
      if (useSmart) {
        SmartVideo::Status st = smartVideo.Feed(pkt, &error);
        if (st == SmartVideo::Status::kFallback) fallback = true;
        if (st != SmartVideo::Status::kOk) return false;
      } else if (!video.Decode(pkt, &error)) {
        return false;
      }
      if (!originPassed && videoOriginKnown()) {
        originPassed = true;
        if (hasAudio && !(copyAudio ? audioCopy.SetOrigin(videoOriginUs(), &error)
                                    : audio.SetOrigin(videoOriginUs(), lengthUs, &error)))
          return false;
      }
    }
    if (hasAudio && (!pkt || index == src.audioStream) &&
        !(copyAudio ? audioCopy.Feed(pkt, &error) : audio.Decode(pkt, &error)))
      return false;
    const std::int64_t doneUs = hasVideo ? videoReachedUs() - videoOriginUs() : audio.reachedUs() - startUs;
    if (originPassed) progress.Update(doneUs, total);
    return true;
  };
  auto audioDone = [&] { return copyAudio ? audioCopy.done() : audio.done(); };
  auto finished = [&] { return (!hasVideo || videoDone()) && (!hasAudio || (originPassed && audioDone())); };

  bool ok = true;
  bool readError = false;
  PacketPtr pkt = MakePacket();
  while (ok && !finished()) {
    if (!queued.empty()) {
      PacketPtr q = std::move(queued.front());
      queued.pop_front();
      ok = step(q.get());
      continue;
    }
    int err = av_read_frame(in, pkt.get());
    if (err < 0) {
      readError = err != AVERROR_EOF;
      break;
    }
    ok = step(pkt.get());
    av_packet_unref(pkt.get());
  }
  if (ok && !finished()) ok = step(nullptr);  // drain the decoders at the end of the input
  if (fallback) {
    *why = error;
    return Attempt::kFallback;
  }
  if (ok && hasVideo && !originPassed) {
    // The video never reached the start: the source holds no picture there.
    ReportError("the source has no picture at " + std::to_string(startUs / AV_TIME_BASE) + " s");
    return Attempt::kFailed;
  }
  if (!ok) {
    ReportError(error);
    return Attempt::kFailed;
  }
  // A source that stops well before the duration it states is damaged; the
  // piece would silently come out short.
  const std::int64_t audioReached = copyAudio ? audioCopy.reachedUs() : audio.reachedUs();
  const std::int64_t reached = std::max(hasVideo ? videoReachedUs() : 0, hasAudio ? audioReached : 0);
  const std::int64_t wantedEnd = std::min(startUs + lengthUs, src.durationUs);
  if (!finished() && src.durationUs > 0 && !src.durationFromTail && reached + AV_TIME_BASE < wantedEnd) {
    ReportError("the source ends at " + std::to_string(reached / 1000) + " ms, before its stated end (" +
                std::to_string(src.durationUs / 1000) + " ms): it is truncated or damaged" +
                (readError ? " (read error)" : ""));
    return Attempt::kFailed;
  }
  const std::int64_t frames = useSmart ? smartVideo.framesWritten() : video.framesWritten();
  if ((hasVideo && frames == 0) || (!hasVideo && audio.samplesWritten() == 0)) {
    ReportError("nothing could be decoded in the requested range");
    return Attempt::kFailed;
  }
  if ((hasVideo && !useSmart && !video.Finish(&error)) || (hasAudio && !copyAudio && !audio.Finish(&error)) ||
      !mux.Finish(&error) || !temp.Commit(args.overwrite, &error)) {
    ReportError(error);
    return Attempt::kFailed;
  }
  if (useSmart)
    WriteStderr("ZantrelCore: " + smartVideo.Summary() +
                (hasAudio ? (copyAudio ? "; audio copied" : "; audio re-encoded") : "") + "\n");
  return Attempt::kDone;
}

}  // namespace

int RunCut(const ToolArgs& args) {
  const CutTuning tuning = CutTuningFrom(args);
  const std::int64_t startUs = static_cast<std::int64_t>(args.startSeconds.value_or(0)) * AV_TIME_BASE;
  if (args.lengthSeconds && *args.lengthSeconds == 0) {
    ReportError("the length (-t) must be at least one second");
    return 1;
  }
  const std::int64_t lengthUs =
      args.lengthSeconds ? std::min<std::int64_t>(*args.lengthSeconds * AV_TIME_BASE, kToTheEnd) : kToTheEnd;
  std::string error;
  if (!CheckOutputTarget(args.input, args.output, args.overwrite, &error)) {
    ReportError(error);
    return 1;
  }
  ProgressReporter progress(tuning.progressTop);
  progress.Start();

  std::string why;
  Attempt a = CutOnce(args, tuning, startUs, lengthUs, tuning.smart, &progress, &why);
  if (a == Attempt::kFallback) {
    // What was written so far is discarded with its temporary file; the
    // piece is cut again the slow way, which is always sound.
    a = CutOnce(args, tuning, startUs, lengthUs, false, &progress, &why);
  }
  if (a != Attempt::kDone) return 1;
  progress.Finish();
  return 0;
}

}  // namespace zantrel::tool
