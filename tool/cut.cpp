#include "tool/cut.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <unistd.h>

#include "platform/tool_args.h"
#include "tool/audio_copy.h"
#include "tool/audio_path.h"
#include "tool/codec_plan.h"
#include "tool/console.h"
#include "tool/leading_pictures.h"
#include "tool/output_file.h"
#include "tool/piece_window.h"
#include "tool/progress_reporter.h"
#include "tool/smart_video.h"
#include "tool/source.h"
#include "tool/video_path.h"

namespace zantrel::tool {
namespace {

int ThreadsFor(int budget) {
  if (budget == 0) return 0;  // the codec's own choice
  long cpus = sysconf(_SC_NPROCESSORS_ONLN);
  return static_cast<int>(std::clamp<long>(budget, 1, std::max(cpus, 1L)));
}

// Positions the demuxer so that reading on gives the key frame at or before
// the cut and the sound from the cut on, and returns the packets read to
// check that, to be processed first. Never reads from the beginning for a
// late start unless the container cannot seek. `countsFrames` for AVI (see
// VideoClock), where a key frame's slot is not when it is shown.
class Seeker {
 public:
  Seeker(AVFormatContext* fc, int videoStream, int audioStream, std::int64_t fileStartUs, bool countsFrames)
      : fc_(fc), video_(videoStream), audio_(audioStream), fileStartUs_(fileStartUs) {
    if (countsFrames && video_ >= 0) leading_.emplace(fc_->streams[video_]->codecpar);
  }

  // `startUs` is on the file's timeline.
  void SeekTo(std::int64_t startUs, std::deque<PacketPtr>* queued) {
    queued->clear();
    if (startUs <= 0) return;  // the demuxer is at the start already
    const std::int64_t atUs = fileStartUs_ + startUs;
    std::int64_t backoff = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
      const std::int64_t target = atUs - backoff;
      if (target <= fileStartUs_ || av_seek_frame(fc_, -1, target, AVSEEK_FLAG_BACKWARD) < 0) break;
      queued->clear();
      if (Landed(atUs, queued)) return;
      backoff = backoff == 0 ? AV_TIME_BASE : backoff * 4;
    }
    // No usable point found by seeking: read from the beginning.
    queued->clear();
    if (avformat_seek_file(fc_, -1, INT64_MIN, fileStartUs_, fileStartUs_, 0) < 0)
      av_seek_frame(fc_, -1, 0, AVSEEK_FLAG_BYTE);
  }

 private:
  // `later`: ticks after the packet's own time (in AVI a tick is a frame).
  static bool AtOrBefore(const AVPacket* pkt, const AVStream* st, std::int64_t atUs, std::int64_t later = 0) {
    const std::int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
    return ts == AV_NOPTS_VALUE || av_compare_ts(ts + later, st->time_base, atUs, AV_TIME_BASE_Q) <= 0;
  }

  // Reads on from a seek: false when the first video packet worth decoding
  // (a key frame) or the first sound comes after the cut, so the seek must
  // go further back. In AVI the key frame is shown after the B-frames that
  // follow it, which cannot be decoded from it: those must lie before the
  // cut too, so they are read (and queued) before the key frame is taken.
  bool Landed(std::int64_t atUs, std::deque<PacketPtr>* queued) {
    bool videoOk = video_ < 0;
    bool keyRead = false;
    PacketPtr key;  // AVI: the key frame while its B-frames are counted
    bool audioOk = audio_ < 0;
    if (!audioOk) {
      // Sound that starts after the cut anyway needs no earlier point.
      const AVStream* as = fc_->streams[audio_];
      audioOk = as->start_time != AV_NOPTS_VALUE && av_compare_ts(as->start_time, as->time_base, atUs, AV_TIME_BASE_Q) > 0;
    }
    // Streams far apart in the file are not worth the wait.
    for (int budget = 4096; !(videoOk && audioOk) && budget > 0; --budget) {
      PacketPtr pkt = MakePacket();
      if (!pkt || av_read_frame(fc_, pkt.get()) < 0) return true;  // past the end: nothing earlier helps
      const AVStream* st = fc_->streams[pkt->stream_index];
      if (pkt->stream_index == video_ && !videoOk && !keyRead) {
        if (!(pkt->flags & AV_PKT_FLAG_KEY)) continue;  // undecodable without its key frame
        if (!AtOrBefore(pkt.get(), st, atUs)) return false;
        keyRead = true;
        videoOk = !leading_;
        if (leading_) {
          leading_->Reset();
          key = MakePacket();
          if (!key || av_packet_ref(key.get(), pkt.get()) < 0) return false;
        }
      } else if (pkt->stream_index == video_ && !videoOk) {
        leading_->Add(pkt.get());
        if (leading_->settled()) {
          if (!AtOrBefore(key.get(), st, atUs, leading_->count())) return false;
          videoOk = true;
        }
      } else if (pkt->stream_index == audio_ && !audioOk) {
        if (!AtOrBefore(pkt.get(), st, atUs)) return false;
        audioOk = true;
      }
      queued->push_back(std::move(pkt));
    }
    return true;
  }

  AVFormatContext* fc_;
  int video_, audio_;
  std::int64_t fileStartUs_;
  std::optional<LeadingPictures> leading_;  // AVI only
};

// How one attempt at the piece ended.
enum class Attempt { kDone, kFailed, kFallback, kAudioFallback };

// Cuts the piece once: smartly when `smart` and the source allows it, else
// by full re-encode. kFallback (with the reason in *why) when the smart cut
// turned out not to be sound midway; kAudioFallback (the reason in
// *audioWhy) when its copied audio changed rate or channels, so the piece
// needs its audio re-encoded (`mayCopyAudio` false). The partial output is
// then discarded with its temporary file.
Attempt CutOnce(const ToolArgs& args, const CutTuning& tuning, bool smart, bool mayCopyAudio,
                ProgressReporter* progress, std::string* why, std::string* audioWhy) {
  std::string error;
  // Taken before the first read, compared after the last one.
  SourceSnapshot snapshot;
  if (snapshot.Take(args.input)) {
    // The program's job planned the pieces on the source as it was then.
    const char* planned = std::getenv(tool_args::kSourceStampEnv);
    if (planned && *planned && snapshot.Stamp() != planned) {
      ReportError("the source '" + args.input + "' changed since the job began (rewritten or cut short); not cut");
      return Attempt::kFailed;
    }
  }
  OpenedSource src;
  if (!OpenSource(args.input, 5 * AV_TIME_BASE, 256 * 1024, &src, &error)) {
    ReportError(error);
    return Attempt::kFailed;
  }
  TraceTime("source opened");
  AVFormatContext* in = src.format.get();
  const PieceWindow window = PieceWindow::FromSeconds(args.startSeconds.value_or(0), args.lengthSeconds, src.durationUs);
  const std::int64_t startUs = window.startUs();
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
  const bool copyAudio =
      useSmart && mayCopyAudio && AudioCanBeCopied(plan, apar, args.audioBitRate.has_value());
  if ((hasVideo && !useSmart &&
       !video.Init(in, src.videoStream, plan.videoEncoder, &mux, threads, tuning.quality, &error)) ||
      (hasAudio && !copyAudio && !audio.Init(in, src.audioStream, plan, &mux, &error)) ||
      (hasAudio && copyAudio && !audioCopy.Init(in, src.audioStream, &mux, &error)) || !mux.Open(&error)) {
    ReportError(error);
    return Attempt::kFailed;
  }
  // Cut times are on the file's timeline, whose 0 is the container's start:
  // the origin of the probe's duration and of the preview's position.
  if (hasVideo && useSmart) smartVideo.SetWindow(window, src.startUs);
  const bool countsFrames = std::strcmp(in->iformat->name, "avi") == 0;
  if (hasVideo && !useSmart) video.SetWindow(window, src.startUs, countsFrames);
  if (hasAudio && copyAudio) audioCopy.SetWindow(window, src.startUs);
  if (hasAudio && !copyAudio) audio.SetWindow(window, src.startUs);

  TraceTime("codecs ready");
  std::deque<PacketPtr> queued;
  Seeker(in, src.videoStream, src.audioStream, src.startUs, countsFrames).SeekTo(startUs, &queued);

  TraceTime("seeked");
  std::int64_t total = window.endUs() - startUs;
  if (src.durationUs > 0) total = std::min(total, src.durationUs - startUs);
  bool fallback = false;
  auto videoReachedUs = [&] { return useSmart ? smartVideo.reachedUs() : video.reachedUs(); };
  auto audioReachedUs = [&] { return copyAudio ? audioCopy.reachedUs() : audio.reachedUs(); };
  auto step = [&](const AVPacket* pkt) -> bool {
    const int index = pkt ? pkt->stream_index : -1;
    if (hasVideo && (!pkt || index == src.videoStream)) {
      if (useSmart) {
        const SmartVideo::Status st = smartVideo.Feed(pkt, &error);
        fallback = st == SmartVideo::Status::kFallback;
        if (st != SmartVideo::Status::kOk) return false;
      } else if (!video.Decode(pkt, &error)) {
        return false;
      }
    }
    if (hasAudio && (!pkt || index == src.audioStream) &&
        !(copyAudio ? audioCopy.Feed(pkt, &error) : audio.Decode(pkt, &error)))
      return false;
    // Decoding up to the cut from the key frame before it is not progress.
    const std::int64_t reachedUs = hasVideo ? videoReachedUs() : audioReachedUs();
    if (reachedUs > startUs) progress->Update(reachedUs - startUs, total);
    return true;
  };
  auto finished = [&] {
    return (!hasVideo || (useSmart ? smartVideo.done() : video.done())) &&
           (!hasAudio || (copyAudio ? audioCopy.done() : audio.done()));
  };

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
  if (copyAudio && audioCopy.changed()) {
    *audioWhy = error;
    return Attempt::kAudioFallback;
  }
  const std::int64_t firstKeptUs = useSmart ? smartVideo.firstKeptUs() : video.firstKeptUs();
  if (ok && hasVideo && firstKeptUs < 0) {
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
  const std::int64_t reached = std::max(hasVideo ? videoReachedUs() : 0, hasAudio ? audioReachedUs() : 0);
  const std::int64_t wantedEnd = std::min(window.endUs(), src.durationUs);
  if (!finished() && src.durationUs > 0 && !src.durationFromTail && reached + AV_TIME_BASE < wantedEnd) {
    ReportError("the source ends at " + std::to_string(reached / 1000) + " ms, before its stated end (" +
                std::to_string(src.durationUs / 1000) + " ms): it is truncated or damaged" +
                (readError ? " (read error)" : ""));
    return Attempt::kFailed;
  }
  const std::int64_t frames = useSmart ? smartVideo.framesWritten() : video.framesWritten();
  const bool noAudio = copyAudio ? audioCopy.packetsWritten() == 0 : audio.samplesWritten() == 0;
  if ((hasVideo && frames == 0) || (!hasVideo && noAudio)) {
    ReportError("nothing could be decoded in the requested range");
    return Attempt::kFailed;
  }
  if ((hasVideo && !useSmart && !video.Finish(&error)) || (hasAudio && !copyAudio && !audio.Finish(&error)) ||
      !mux.Finish(&error) || snapshot.ChangedSince(args.input, &error) ||
      !temp.Commit(args.overwrite, &error)) {
    ReportError(error);
    return Attempt::kFailed;
  }
  TraceTime("written");
  // For the program: how the piece was made, before the sentence for people.
  WriteStderr(std::string(tool_args::kResultTag) + (useSmart ? tool_args::kResultSmart : tool_args::kResultReencoded) +
              "\n");
  if (!useSmart) WriteStderr("ZantrelCore: piece re-encoded\n");
  if (useSmart)
    WriteStderr("ZantrelCore: " + smartVideo.Summary() +
                (hasAudio ? (copyAudio                ? "; audio copied"
                                 : audioWhy->empty() ? "; audio re-encoded"
                                                     : "; audio re-encoded: " + *audioWhy)
                          : "") +
                "\n");
  // Where the timestamps could not carry the cut the piece is still
  // written; say what it rests on.
  for (const std::string& note : {hasVideo && !useSmart ? video.assumption() : std::string(),
                                  hasAudio && !copyAudio ? audio.assumption() : std::string()})
    if (!note.empty()) WriteStderr("ZantrelCore: note: " + note + "\n");
  return Attempt::kDone;
}

}  // namespace

int RunCut(const ToolArgs& args) {
  const CutTuning tuning = CutTuningFrom(args);
  if (args.lengthSeconds && *args.lengthSeconds == 0) {
    ReportError("the length (-t) must be at least one second");
    return 1;
  }
  std::string error;
  if (!CheckOutputTarget(args.input, args.output, args.overwrite, &error)) {
    ReportError(error);
    return 1;
  }
  ProgressReporter progress(tuning.progressTop);
  progress.Start();

  std::string why, audioWhy;
  Attempt a = CutOnce(args, tuning, tuning.smart, true, &progress, &why, &audioWhy);
  // Copied sound that changes mid-stream cannot be declared by the piece;
  // the video can still be cut smartly.
  if (a == Attempt::kAudioFallback) a = CutOnce(args, tuning, tuning.smart, false, &progress, &why, &audioWhy);
  // A smart cut that turned out unsound midway is redone the slow way,
  // which always is.
  if (a == Attempt::kFallback) a = CutOnce(args, tuning, false, false, &progress, &why, &audioWhy);
  if (a != Attempt::kDone) return 1;
  progress.Finish();
  return 0;
}

}  // namespace zantrel::tool
