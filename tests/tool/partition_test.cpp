// Every frame exactly once: sources of the kinds that broke cuts before
// (non-integer rates, video starting after the audio, AVI with B-frames and
// open groups of pictures, one-frame and very long GOPs, the older codecs),
// split by the real job into 2, 3 and 7 pieces, every piece read back by its
// barcodes and beeps.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <algorithm>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "engine/job.h"
#include "engine/plan.h"
#include "engine/probe_run.h"
#include "tool_test_support.h"

namespace zantrel::tooltest {
namespace {

const std::vector<std::string> kH264 = {"-c:v", "libx264", "-preset", "veryfast"};

std::vector<std::string> With(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<ClipRecipe> Recipes() {
  const std::vector<std::string> aac = {"-c:a", "aac"};
  return {
      // The cut at 5 falls inside the frame at 4.937.
      {"mp4_h264_1499_aac8k", "mp4", "160x120", "14.99", 7, With(kH264, {"-g", "30"}), {"-c:a", "aac", "-ar", "8000"}},
      // The pictures start 0.5 s into the file's timeline.
      {"flv_h264_late_video", "flv", "160x120", "25", 7, With(kH264, {"-g", "30"}), aac, 0.5},
      // No timestamps but the frame count, and a reordering delay.
      {"avi_h264_bframes", "avi", "160x120", "25", 7, With(kH264, {"-bf", "2", "-g", "30"}), {}},
      {"mp4_h264_2997", "mp4", "160x120", "30000/1001", 7, With(kH264, {"-g", "30"}), aac},
      {"mp4_h264_gop1", "mp4", "160x120", "25", 7, With(kH264, {"-g", "1"}), aac},
      {"flv_h264_gop250", "flv", "160x120", "25", 7, With(kH264, {"-g", "250"}), aac},
      {"avi_mpeg4_mp3", "avi", "160x120", "25", 7, {"-c:v", "mpeg4", "-q:v", "3", "-g", "30"},
       {"-c:a", "libmp3lame", "-ar", "44100"}},
      // Stored I P B B P ..., each key frame shown after the two B-frames
      // stored behind it, which a decoder started there cannot decode. Every
      // cut of GOP 25 falls on a key frame's slot; GOP 12 has them before and on.
      {"avi_mpeg4_bframes_mp3", "avi", "160x120", "25", 7, {"-c:v", "mpeg4", "-q:v", "3", "-bf", "2", "-g", "25"},
       {"-c:a", "libmp3lame", "-ar", "44100"}},
      {"avi_mpeg4_bframes_gop12", "avi", "160x120", "25", 7, {"-c:v", "mpeg4", "-q:v", "3", "-bf", "2", "-g", "12"}, {}},
      // H.264 with open groups of pictures: x264 leaves 0 to 2 B-frames
      // behind its key frames here.
      {"avi_h264_open_gop", "avi", "160x120", "25", 7,
       With(kH264, {"-bf", "2", "-g", "25", "-x264-params", "open-gop=1:scenecut=0"}), {}},
      {"3gp_h263_aac", "3gp", "176x144", "25", 7, {"-c:v", "h263", "-q:v", "3", "-g", "30"},
       {"-c:a", "aac", "-ar", "16000", "-ac", "1"}},
      {"flv_flv1_mp3", "flv", "160x120", "25", 7, {"-c:v", "flv", "-q:v", "3", "-g", "30"},
       {"-c:a", "libmp3lame", "-ar", "22050"}},
  };
}

// Runs the job as the dialog does and returns its runs once it has ended.
std::vector<std::shared_ptr<CToolProcess>> RunWholeJob(SplitJob job) {
  std::mutex m;
  std::condition_variable cv;
  bool ended = false;
  std::vector<std::shared_ptr<CToolProcess>> runs;
  {
    CSplitTask task(
        std::move(job),
        [&](CSplitTask& t) {
          {
            std::lock_guard<std::mutex> lock(m);
            ended = true;
          }
          cv.notify_all();
          t.WaitDoneHandled();
        },
        ZANTREL_BIN_DIR, {});
    task.Start();
    {
      // Only a guard against a hung tool.
      std::unique_lock<std::mutex> lock(m);
      cv.wait_for(lock, std::chrono::minutes(5), [&] { return ended; });
    }
    runs = task.Runs();
    task.ReleaseDone();
  }
  return runs;
}

// Seconds of one coded audio frame of a decoded file.
double AudioFrameSeconds(const StreamFacts& a) {
  const int samples = a.frameSize > 0 ? a.frameSize : 1152;
  return a.sampleRate > 0 ? double(samples) / a.sampleRate : 0.1;
}

class PartitionEachSource : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(PartitionEachSource, PiecesHoldEveryFrameOnceAndTheSoundInSync) {
  const ClipRecipe recipe = Recipes()[static_cast<std::size_t>(std::get<0>(GetParam()))];
  const int parts = std::get<1>(GetParam());
  const Clip& clip = GetRecipeClip(recipe);
  ASSERT_FALSE(clip.path.empty()) << "ffmpeg could not make " << recipe.name;
  const PieceFacts src = ReadPiece(clip.path);
  ASSERT_FALSE(src.frameIndices.empty());
  for (std::size_t i = 0; i < src.frameIndices.size(); ++i) ASSERT_EQ(src.frameIndices[i], static_cast<int>(i));
  const bool hasAudio = !recipe.audioArgs.empty();
  ASSERT_EQ(src.audio.present, hasAudio);

  // The job exactly as Start builds it: the tool's probe, the average plan.
  const int duration = RunProbe(clip.path, ZANTREL_BIN_DIR, 10000);
  ASSERT_EQ(duration, recipe.seconds);
  SplitPlanInput in;
  in.mode = kSplitAverage;
  in.parts = parts;
  in.duration = duration;
  const SplitPlan plan = BuildSplitPlan(in);
  ASSERT_TRUE(plan.valid);
  std::vector<int> bounds = {0};
  bounds.insert(bounds.end(), plan.boundaries.begin(), plan.boundaries.end());
  bounds.push_back(duration);
  ASSERT_EQ(static_cast<int>(bounds.size()), parts + 1);

  TempDir out;
  SplitJob job;
  job.sourcePath = clip.path;
  job.outputBase = out.path() + "/" + recipe.name + "." + recipe.ext;
  job.duration = duration;
  job.count = plan.count;
  job.boundaries = plan.boundaries;
  const auto runs = RunWholeJob(job);
  ASSERT_EQ(static_cast<int>(runs.size()), parts);

  std::vector<int> all;
  double audioSum = 0, audioTolerance = AudioFrameSeconds(src.audio);
  for (int k = 1; k <= parts; ++k) {
    SCOPED_TRACE("piece " + std::to_string(k) + " of " + std::to_string(parts) + ", from " +
                 std::to_string(bounds[k - 1]) + " s");
    const CToolProcess& run = *runs[static_cast<std::size_t>(k - 1)];
    ASSERT_FALSE(run.Failed()) << run.toolMessage << "\n" << run.commandLine;
    const PieceFacts p = ReadPiece(run.outputPath);
    ASSERT_FALSE(p.frameIndices.empty());
    // The first picture is the first source picture at or after the cut.
    const std::size_t first = FirstFrameAtOrAfter(src, bounds[k - 1]);
    ASSERT_LT(first, src.frameIndices.size());
    EXPECT_EQ(p.frameIndices.front(), src.frameIndices[first])
        << "the first at or after " << bounds[k - 1] << " s is at " << src.frameTimes[first] << " s";
    all.insert(all.end(), p.frameIndices.begin(), p.frameIndices.end());
    if (!hasAudio) continue;
    ASSERT_TRUE(p.audio.present);
    audioSum += p.audio.decodedSeconds;
    audioTolerance += AudioFrameSeconds(p.audio);
    // In sync: a beep heard at x in the piece is the source's beep at the
    // same distance from the piece's first picture, within one picture.
    const double firstPicture = p.frameTimes.front() + p.fileStartSeconds;
    const double onePicture = src.frameTimes.size() > 1 ? src.frameTimes[1] - src.frameTimes[0] : 0.04;
    int heard = 0;
    for (double onset : p.beepOnsets) {
      const double atSource = onset - firstPicture + src.frameTimes[first];
      double nearest = 1e9;
      for (double s : src.beepOnsets)
        if (std::fabs(s - src.fileStartSeconds - atSource) < std::fabs(nearest)) nearest = s - src.fileStartSeconds - atSource;
      EXPECT_LE(std::fabs(nearest), onePicture + 0.005) << "beep at " << onset << " s in the piece";
      ++heard;
    }
    EXPECT_GE(heard, 1) << "every piece of a second or more holds a beep";
  }
  // Concatenated, the pieces are the source: every picture once, in order.
  EXPECT_EQ(all.size(), src.frameIndices.size());
  EXPECT_EQ(all, src.frameIndices);
  if (hasAudio) {
    // Each piece may pad its last coded audio frame; nothing else is added or lost.
    EXPECT_NEAR(audioSum, src.audio.decodedSeconds, audioTolerance);
  }
}

std::string PartitionName(const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
  return Recipes()[static_cast<std::size_t>(std::get<0>(info.param))].name + "_in" +
         std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Sources, PartitionEachSource,
                         ::testing::Combine(::testing::Range(0, static_cast<int>(Recipes().size())),
                                            ::testing::Values(2, 3, 7)),
                         PartitionName);

// A real-world FLV whose video starts 0.5 s after its audio, when the shared
// media folder is there: no barcodes, so pictures are matched by likeness.
TEST(PartitionRealWorld, BunnyInThreePieces) {
  std::string bun = std::string(ZANTREL_SOURCE_DIR) + "/../shared/media/bun33s.flv";
  if (!FileExists(bun)) bun = "/work/shared/media/bun33s.flv";
  if (!FileExists(bun)) GTEST_SKIP() << "no bun33s.flv beside the checkout";
  const PieceFacts src = ReadPiece(bun, true);
  ASSERT_FALSE(src.thumbs.empty());
  const int duration = RunProbe(bun, ZANTREL_BIN_DIR, 10000);
  ASSERT_GE(duration, 30);
  SplitPlanInput in;
  in.mode = kSplitAverage;
  in.parts = 3;
  in.duration = duration;
  const SplitPlan plan = BuildSplitPlan(in);
  ASSERT_TRUE(plan.valid);
  std::vector<int> bounds = {0};
  bounds.insert(bounds.end(), plan.boundaries.begin(), plan.boundaries.end());
  TempDir out;
  SplitJob job;
  job.sourcePath = bun;
  job.outputBase = out.path() + "/bun33s.flv";
  job.duration = duration;
  job.count = plan.count;
  job.boundaries = plan.boundaries;
  const auto runs = RunWholeJob(job);
  ASSERT_EQ(runs.size(), 3u);
  std::size_t frames = 0;
  double audio = 0;
  for (std::size_t k = 0; k < runs.size(); ++k) {
    SCOPED_TRACE("piece " + std::to_string(k + 1));
    ASSERT_FALSE(runs[k]->Failed()) << runs[k]->toolMessage;
    const PieceFacts p = ReadPiece(runs[k]->outputPath, true);
    ASSERT_FALSE(p.thumbs.empty());
    frames += p.thumbs.size();
    audio += p.audio.decodedSeconds;
    // The first picture looks like the source's first at or after the cut
    // more than like any of its neighbours.
    const std::size_t want = FirstFrameAtOrAfter(src, bounds[k]);
    ASSERT_LT(want, src.thumbs.size());
    const double atWant = ThumbDistance(p.thumbs.front(), src.thumbs[want]);
    for (std::size_t i = want > 8 ? want - 8 : 0; i < std::min(src.thumbs.size(), want + 9); ++i)
      if (ThumbDistance(src.thumbs[i], src.thumbs[want]) > 1.0) {
        EXPECT_LT(atWant, ThumbDistance(p.thumbs.front(), src.thumbs[i])) << "source picture " << i << " vs " << want;
      }
  }
  EXPECT_EQ(frames, src.thumbs.size());
  EXPECT_NEAR(audio, src.audio.decodedSeconds, 4 * 1024.0 / 22050);
}

}  // namespace
}  // namespace zantrel::tooltest
