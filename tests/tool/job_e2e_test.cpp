// The split job end to end: a job built the way Start builds it, run by the
// real worker through the launcher and the real ZantrelCore, every piece read
// back by decoding its frame-index barcode.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/wait.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/job.h"
#include "engine/plan.h"
#include "engine/probe_run.h"
#include "engine/progress.h"
#include "platform/progress_channel.h"
#include "tool_test_support.h"

namespace zantrel::tooltest {
namespace {

constexpr int kFps = 25;
constexpr int kClipFrames = 6 * kFps;
constexpr double kOneFrame = 1.0 / kFps + 1e-3;

// Everything a finished job left behind, taken while its DoneFn was still
// holding the worker.
struct JobOutcome {
  bool ended = false;            // the DoneFn was called before the guard ran out
  int doneCalls = 0;
  bool doneOnOtherThread = false;
  bool finishedAtDone = false;   // Finished() was already true inside the DoneFn
  bool heldUntilReleased = false;  // the DoneFn did not return before ReleaseDone
  std::vector<std::shared_ptr<CToolProcess>> runs;
};

// Runs the job as the dialog does: the DoneFn hands the end over to "the UI"
// (this thread) and waits until it has been handled. `pump`, when given, is
// this thread's work while it waits (reading progress), called until the
// end has come and once more after it.
JobOutcome RunJob(SplitJob job, const std::string& programDir = ZANTREL_BIN_DIR,
                  std::vector<std::string> env = {}, const std::function<void()>& pump = {}) {
  struct Shared {
    std::mutex m;
    std::condition_variable cv;
    int calls = 0;
    bool returned = false;
    bool finished = false;
    std::thread::id thread;
  } shared;

  JobOutcome out;
  {
    CSplitTask task(
        std::move(job),
        [&shared](CSplitTask& t) {
          {
            std::lock_guard<std::mutex> lock(shared.m);
            ++shared.calls;
            shared.thread = std::this_thread::get_id();
            shared.finished = t.Finished();
          }
          shared.cv.notify_all();
          t.WaitDoneHandled();
          std::lock_guard<std::mutex> lock(shared.m);
          shared.returned = true;
        },
        programDir, std::move(env));
    task.Start();
    {
      // Only a guard against a hung tool: the clips are a few seconds long.
      const auto guard = std::chrono::steady_clock::now() + std::chrono::minutes(2);
      std::unique_lock<std::mutex> lock(shared.m);
      while (!(out.ended = shared.calls > 0) && std::chrono::steady_clock::now() < guard) {
        shared.cv.wait_for(lock, std::chrono::milliseconds(pump ? 5 : 500));
        if (pump) {
          lock.unlock();
          pump();
          lock.lock();
        }
      }
      out.finishedAtDone = shared.finished;
      out.doneOnOtherThread = shared.thread != std::this_thread::get_id();
      out.heldUntilReleased = !shared.returned;
    }
    out.runs = task.Runs();
    if (pump) pump();
    task.ReleaseDone();
  }  // joins the worker
  out.doneCalls = shared.calls;
  return out;
}

// The job exactly as Start fills it: the folder text gets its separator and
// is created, the output base is folder + source name, the duration is whole
// seconds and the plan comes from BuildSplitPlan.
SplitJob MakeJob(const std::string& source, std::string folder, const SplitPlanInput& in) {
  const std::size_t sep = source.rfind('/');
  const std::string sourceName = sep == std::string::npos ? source : source.substr(sep + 1);
  if (folder.back() != '/') folder += '/';
  EXPECT_TRUE(CreateFolderPath(folder)) << folder;
  const SplitPlan plan = BuildSplitPlan(in);
  EXPECT_TRUE(plan.valid) << static_cast<int>(plan.error);
  SplitJob job;
  job.sourcePath = source;
  job.outputBase = folder + sourceName;
  job.duration = static_cast<std::int32_t>(in.duration);
  job.count = plan.count;
  job.boundaries = plan.boundaries;
  return job;
}

void ExpectDoneHandshake(const JobOutcome& o) {
  ASSERT_TRUE(o.ended) << "the done callback never came";
  EXPECT_EQ(o.doneCalls, 1);
  EXPECT_TRUE(o.doneOnOtherThread);
  EXPECT_TRUE(o.finishedAtDone);
  EXPECT_TRUE(o.heldUntilReleased);
}

void ExpectRunSucceeded(const CToolProcess& run) {
  EXPECT_TRUE(run.started) << run.startError;
  EXPECT_TRUE(WIFEXITED(run.waitStatus) && WEXITSTATUS(run.waitStatus) == 0)
      << "segment " << run.segment << ": " << run.toolMessage << "\n" << run.commandLine;
  EXPECT_TRUE(run.outputExists) << run.outputPath;
  EXPECT_FALSE(run.Failed()) << run.toolMessage;
  EXPECT_EQ(run.paused.load(), 0);
}

// The audio a piece must carry, by the form its extension picks.
struct AudioExpect {
  std::string codec;  // "" = not checked
  int sampleRate = 0;
  int channels = 0;   // 0 = not checked
};

// What the tool writes for a source cut by the form of `ext`: 3gp is AMR-NB
// 8 kHz mono with H.263 kept at an H.263 size; flv keeps H.264 and Sorenson
// pictures and MP3 sound (else AAC) at the form's 22050 Hz; every other
// container keeps the source's codecs, rate and channels.
struct PieceExpect {
  std::string videoCodec;
  AudioExpect audio;
};
PieceExpect ExpectedFor(const std::string& ext, const PieceFacts& src) {
  if (ext == "3gp") return {src.video.codec == "h263" ? "h263" : "h264", {"amr_nb", 8000, 1}};
  if (ext == "flv") {
    const bool keepVideo = src.video.codec == "h264" || src.video.codec == "flv1";
    return {keepVideo ? src.video.codec : "h264",
            {src.audio.codec == "mp3" ? "mp3" : "aac", 22050, src.audio.channels}};
  }
  return {src.video.codec, {src.audio.codec, src.audio.sampleRate, src.audio.channels}};
}

// Piece k covers [startSec, endSec) of the 6 s source; the last one runs to
// the source's end. `sourcePath` names the source when its pictures do not
// start at the file's time 0.
void ExpectPiece(const std::string& path, int startSec, int endSec, const AudioExpect& audio,
                 const std::string& sourcePath = {}) {
  SCOPED_TRACE(path);
  const PieceFacts p = ReadPiece(path);
  ASSERT_TRUE(p.opened);
  ASSERT_TRUE(p.video.present);
  ASSERT_FALSE(p.frameIndices.empty());
  const int frames = (endSec - startSec) * kFps;
  // The first picture is the source's first picture at or after the cut time.
  const int first = sourcePath.empty() ? startSec * kFps
                                       : static_cast<int>(FirstFrameAtOrAfter(ReadPiece(sourcePath), startSec));
  EXPECT_EQ(p.frameIndices.front(), first);
  EXPECT_NEAR(static_cast<int>(p.frameIndices.size()), frames, 1);
  EXPECT_NEAR(p.video.durationSeconds, endSec - startSec, kOneFrame);
  if (endSec * kFps == kClipFrames) {
    EXPECT_EQ(p.frameIndices.back(), kClipFrames - 1) << "the last piece must reach the end";
  }
  ASSERT_TRUE(p.audio.present);
  if (!audio.codec.empty()) {
    EXPECT_EQ(p.audio.codec, audio.codec);
  }
  EXPECT_EQ(p.audio.sampleRate, audio.sampleRate);
  if (audio.channels) {
    EXPECT_EQ(p.audio.channels, audio.channels);
  }
  // Sound for the whole piece, not just a stub.
  EXPECT_NEAR(p.audio.durationSeconds, p.video.durationSeconds, 0.15);
}

bool Contains(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

// ---------------------------------------------------------------------------
// Every clip users bring, in every mode.

struct ClipCase {
  const char* clip;
  const char* ext;
};

struct ModeCase {
  const char* name;
  SplitPlanInput input;  // duration filled in from the probe
  std::vector<int> cuts;   // expected boundary list on the 6 s clip, 0 and 6 included
};

std::vector<ModeCase> Modes() {
  SplitPlanInput average;
  average.mode = kSplitAverage;
  average.parts = 3;
  SplitPlanInput equalTime2;
  equalTime2.mode = kSplitEqualTime;
  // An exact multiple: three pieces, no empty fourth one.
  equalTime2.secondsPerPart = 2;
  SplitPlanInput equalTime4 = equalTime2;
  // 6 s in pieces of 4 s leaves a 2 s remainder as its own last piece.
  equalTime4.secondsPerPart = 4;
  SplitPlanInput custom;
  custom.mode = kSplitCustom;
  // 20 % and 70 % of 6 s are 1.2 s and 4.2 s: cut at 1 and 4.
  custom.splitPoints = {20, 70};
  return {{"Average3", average, {0, 2, 4, 6}},
          {"EqualTime2", equalTime2, {0, 2, 4, 6}},
          {"EqualTime4", equalTime4, {0, 4, 6}},
          {"Custom20And70", custom, {0, 1, 4, 6}}};
}

class SplitEachClip : public ::testing::TestWithParam<std::tuple<ClipCase, int>> {};

TEST_P(SplitEachClip, PiecesAreNamedCutAndComplete) {
  const ClipCase& cc = std::get<0>(GetParam());
  const ModeCase mode = Modes()[static_cast<std::size_t>(std::get<1>(GetParam()))];
  const Clip& clip = GetClip(cc.clip);
  ASSERT_FALSE(clip.path.empty());

  // The duration as the dialog gets it for a source the player cannot
  // play: the tool's own probe, in whole seconds.
  const int duration = RunProbe(clip.path, ZANTREL_BIN_DIR, 10000);
  ASSERT_EQ(duration, 6);
  SplitPlanInput in = mode.input;
  in.duration = duration;
  if (in.mode == kSplitCustom) {
    // The cut times are the points' slider times, as the dialog shows them.
    for (std::size_t i = 0; i < in.splitPoints.size(); ++i)
      ASSERT_EQ(PositionToSeconds(in.splitPoints[i], in.duration), mode.cuts[i + 1]);
  }

  TempDir out;
  const std::string folder = out.File("pieces");
  SplitJob job = MakeJob(clip.path, folder, in);
  const std::string ext = cc.ext;
  const std::string stem = std::string(cc.clip);

  const JobOutcome o = RunJob(job);
  ExpectDoneHandshake(o);

  const std::size_t pieces = mode.cuts.size() - 1;
  ASSERT_EQ(o.runs.size(), pieces);

  const PieceFacts src = ReadPiece(clip.path);
  ASSERT_TRUE(src.video.present && src.audio.present);
  const PieceExpect want = ExpectedFor(ext, src);

  for (std::size_t i = 0; i < pieces; ++i) {
    const CToolProcess& run = *o.runs[i];
    const int k = static_cast<int>(i) + 1;
    const int a = mode.cuts[i], b = mode.cuts[i + 1];
    SCOPED_TRACE("segment " + std::to_string(k));
    EXPECT_EQ(run.segment, k);
    const std::string name = folder + "/" + stem + "[" + std::to_string(k) + "]." + ext;
    EXPECT_EQ(run.outputPath, name);
    // The last run asks for a second more, so it reaches the source's end.
    const int length = b - a + (i + 1 == pieces ? 1 : 0);
    EXPECT_TRUE(Contains(run.commandLine, "-ss " + std::to_string(a) + " -t " + std::to_string(length) + " "))
        << run.commandLine;
    if (ext == "3gp") {
      EXPECT_TRUE(Contains(run.commandLine, "-y -ar 8000 -ac 1 -ab 12.2k")) << run.commandLine;
    } else if (ext == "flv") {
      EXPECT_TRUE(Contains(run.commandLine, "-ar 22050 -ss")) << run.commandLine;
    } else {
      EXPECT_FALSE(Contains(run.commandLine, "-ar ")) << run.commandLine;
    }
    ExpectRunSucceeded(run);
    ExpectPiece(name, a, b, want.audio, clip.path);
    const PieceFacts p = ReadPiece(name);
    EXPECT_EQ(p.video.codec, want.videoCodec);
    EXPECT_EQ(p.video.width, src.video.width);
    EXPECT_EQ(p.video.height, src.video.height);
  }
  // Only the pieces: no temporary file is left behind.
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++entries;
  EXPECT_EQ(entries, pieces);
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<ClipCase, int>>& info) {
  return std::string(std::get<0>(info.param).clip) + "_" +
         Modes()[static_cast<std::size_t>(std::get<1>(info.param))].name;
}

INSTANTIATE_TEST_SUITE_P(ClipsAndModes, SplitEachClip,
                         ::testing::Combine(::testing::Values(ClipCase{"flv_h264", "flv"},
                                                              ClipCase{"flv_flv1", "flv"},
                                                              ClipCase{"mp4_h264", "mp4"},
                                                              ClipCase{"3gp_h263", "3gp"},
                                                              ClipCase{"avi_mpeg4", "avi"}),
                                            ::testing::Values(0, 1, 2, 3)),
                         CaseName);

// ---------------------------------------------------------------------------
// The cases at the edges of the job.

// A copy of a generated clip under another name, in a folder of its own.
std::string CopyClip(const std::string& clipName, const std::string& dir, const std::string& name) {
  const Clip& clip = GetClip(clipName);
  if (clip.path.empty()) return {};
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/" + name;
  std::filesystem::copy_file(clip.path, path, std::filesystem::copy_options::overwrite_existing);
  return path;
}

SplitPlanInput Average(int parts, double duration) {
  SplitPlanInput in;
  in.mode = kSplitAverage;
  in.parts = parts;
  in.duration = duration;
  return in;
}

TEST(SplitJobEdges, DottedNameIntoFolderTypedWithoutSeparator) {
  TempDir dir;
  const std::string source = CopyClip("3gp_h263", dir.File("v"), "my.clip.3gp");
  ASSERT_FALSE(source.empty());
  // Two levels that do not exist yet, typed without the final separator.
  const std::string folder = dir.File("out/sub");
  ASSERT_FALSE(FileExists(dir.File("out")));

  const JobOutcome o = RunJob(MakeJob(source, folder, Average(3, 6)));
  ExpectDoneHandshake(o);
  ASSERT_EQ(o.runs.size(), 3u);
  for (int k = 1; k <= 3; ++k) {
    const CToolProcess& run = *o.runs[static_cast<std::size_t>(k - 1)];
    const std::string name = folder + "/my.clip[" + std::to_string(k) + "].3gp";
    EXPECT_EQ(run.outputPath, name);
    EXPECT_TRUE(Contains(run.commandLine, "-ar 8000 -ac 1 -ab 12.2k")) << run.commandLine;
    ExpectRunSucceeded(run);
    ExpectPiece(name, 2 * (k - 1), 2 * k, {"amr_nb", 8000, 1});
  }
}

TEST(SplitJobEdges, UpperCaseFlvIsCutInTheGeneralForm) {
  TempDir dir;
  const std::string source = CopyClip("flv_h264", dir.File("v"), "clip.FLV");
  ASSERT_FALSE(source.empty());
  const int sourceRate = ReadPiece(source).audio.sampleRate;
  ASSERT_NE(sourceRate, 22050) << "the clip must tell the forms apart";

  const std::string folder = dir.File("out");
  const JobOutcome o = RunJob(MakeJob(source, folder, Average(2, 6)));
  ExpectDoneHandshake(o);
  ASSERT_EQ(o.runs.size(), 2u);
  for (int k = 1; k <= 2; ++k) {
    const CToolProcess& run = *o.runs[static_cast<std::size_t>(k - 1)];
    const std::string name = folder + "/clip[" + std::to_string(k) + "].FLV";
    EXPECT_EQ(run.outputPath, name);
    EXPECT_FALSE(Contains(run.commandLine, "-ar 22050")) << run.commandLine;
    EXPECT_TRUE(Contains(run.commandLine, "\"  -ss ")) << run.commandLine;
    ExpectRunSucceeded(run);
    // Still a Flash video, by its extension, with the source's sound rate.
    EXPECT_EQ(ReadPiece(name).format, "flv");
    ExpectPiece(name, 3 * (k - 1), 3 * k, {"", sourceRate, 0});
  }
}

TEST(SplitJobEdges, CustomWithoutPointsIsOneRunOverTheWholeClip) {
  const Clip& clip = GetClip("mp4_h264");
  ASSERT_FALSE(clip.path.empty());
  TempDir dir;
  SplitPlanInput in;
  in.mode = kSplitCustom;
  in.duration = 6;
  const JobOutcome o = RunJob(MakeJob(clip.path, dir.path(), in));
  ExpectDoneHandshake(o);
  ASSERT_EQ(o.runs.size(), 1u);
  const CToolProcess& run = *o.runs[0];
  EXPECT_TRUE(Contains(run.commandLine, "-ss 0 -t 7 ")) << run.commandLine;
  EXPECT_EQ(run.outputPath, dir.File("mp4_h264[1].mp4"));
  ExpectRunSucceeded(run);
  const PieceFacts p = ReadPiece(run.outputPath);
  ASSERT_EQ(static_cast<int>(p.frameIndices.size()), kClipFrames);
  for (int i = 0; i < kClipFrames; ++i) ASSERT_EQ(p.frameIndices[static_cast<std::size_t>(i)], i);
}

TEST(SplitJobEdges, AverageOfNoPartsRunsNothingAndEndsAtOnce) {
  const Clip& clip = GetClip("mp4_h264");
  ASSERT_FALSE(clip.path.empty());
  TempDir dir;
  SplitJob job = MakeJob(clip.path, dir.path(), Average(0, 6));
  EXPECT_EQ(job.count, 1);
  const JobOutcome o = RunJob(job);
  ExpectDoneHandshake(o);
  EXPECT_TRUE(o.runs.empty());
  EXPECT_TRUE(dir.List().empty());
}

// Points PATH somewhere for one test and puts it back.
class PathOverride {
 public:
  explicit PathOverride(const std::string& value) {
    if (const char* old = std::getenv("PATH")) old_ = old;
    setenv("PATH", value.c_str(), 1);
  }
  ~PathOverride() {
    if (old_) setenv("PATH", old_->c_str(), 1);
    else unsetenv("PATH");
  }
  PathOverride(const PathOverride&) = delete;
  PathOverride& operator=(const PathOverride&) = delete;

 private:
  std::optional<std::string> old_;
};

TEST(SplitJobEdges, MissingToolSkipsEverySegmentAndStillEnds) {
  const Clip& clip = GetClip("avi_mpeg4");
  ASSERT_FALSE(clip.path.empty());
  TempDir programDir, emptyPath, out;
  JobOutcome o;
  {
    PathOverride path(emptyPath.path());
    o = RunJob(MakeJob(clip.path, out.path(), Average(3, 6)), programDir.path());
  }
  ExpectDoneHandshake(o);
  ASSERT_EQ(o.runs.size(), 3u);
  for (const auto& run : o.runs) {
    EXPECT_FALSE(run->started);
    EXPECT_FALSE(run->startError.empty());
    EXPECT_TRUE(run->Failed());
    EXPECT_NE(run->Reason(), FailureReason::kNone);
    EXPECT_FALSE(run->outputExists);
  }
  EXPECT_EQ(o.runs[0]->segment, 1);
  EXPECT_EQ(o.runs[2]->segment, 3);
  EXPECT_TRUE(out.List().empty());
}

TEST(SplitJobEdges, PathsWithBlanksAndQuotes) {
  TempDir dir;
  const std::string srcDir = dir.File("my \"best\" clips");
  const std::string source = CopyClip("flv_flv1", srcDir, "a \"b\" c.flv");
  ASSERT_FALSE(source.empty());
  const std::string before = ReadFileBytes(source);
  const std::string folder = dir.File("out \"here\" now");

  SplitPlanInput in;
  in.mode = kSplitCustom;
  in.duration = 6;
  in.splitPoints = {50};
  const JobOutcome o = RunJob(MakeJob(source, folder, in));
  ExpectDoneHandshake(o);
  ASSERT_EQ(o.runs.size(), 2u);
  for (int k = 1; k <= 2; ++k) {
    const CToolProcess& run = *o.runs[static_cast<std::size_t>(k - 1)];
    const std::string name = folder + "/a \"b\" c[" + std::to_string(k) + "].flv";
    EXPECT_EQ(run.outputPath, name);
    ExpectRunSucceeded(run);
    ExpectPiece(name, 3 * (k - 1), 3 * k, {"mp3", 22050, 0}, source);
  }
  EXPECT_EQ(ReadFileBytes(source), before);
}

// Chinese folder and file names, as users of this program have them: the
// bytes go through the command line and back to the tool unchanged.
TEST(SplitJobEdges, ChineseNames) {
  TempDir dir;
  const std::string source = CopyClip("avi_mpeg4", dir.File("我的视频"), "旅行 第一天.avi");
  ASSERT_FALSE(source.empty());
  const std::string folder = dir.File("分割结果");
  const JobOutcome o = RunJob(MakeJob(source, folder, Average(2, 6)));
  ExpectDoneHandshake(o);
  ASSERT_EQ(o.runs.size(), 2u);
  for (int k = 1; k <= 2; ++k) {
    const CToolProcess& run = *o.runs[static_cast<std::size_t>(k - 1)];
    const std::string name = folder + "/旅行 第一天[" + std::to_string(k) + "].avi";
    EXPECT_EQ(run.outputPath, name);
    ExpectRunSucceeded(run);
    ExpectPiece(name, 3 * (k - 1), 3 * k, {"mp3", 44100, 0});
  }
}

// A source without an extension (in a folder with a '.') gives pieces with
// none: the tool cannot tell their container and each run fails with its
// reason; nothing is written and the job still ends.
TEST(SplitJobEdges, SourceWithoutExtensionFailsEveryRunCleanly) {
  TempDir dir;
  const std::string source = CopyClip("mp4_h264", dir.File("my.videos"), "clip");
  ASSERT_FALSE(source.empty());
  const std::string folder = dir.File("out.d");
  const JobOutcome o = RunJob(MakeJob(source, folder, Average(2, 6)));
  ExpectDoneHandshake(o);
  ASSERT_EQ(o.runs.size(), 2u);
  EXPECT_EQ(o.runs[0]->outputPath, folder + "/clip[1]");
  EXPECT_EQ(o.runs[1]->outputPath, folder + "/clip[2]");
  for (const auto& run : o.runs) {
    EXPECT_TRUE(run->started);
    EXPECT_TRUE(run->Failed());
    EXPECT_FALSE(run->outputExists);
  }
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++entries;
  EXPECT_EQ(entries, 0u);
}

// A second Start while a job runs builds another job beside it; both run to
// their end and neither disturbs the other's pieces.
TEST(SplitJobEdges, TwoJobsSideBySide) {
  const Clip& a = GetClip("flv_h264");
  const Clip& b = GetClip("3gp_h263");
  ASSERT_FALSE(a.path.empty());
  ASSERT_FALSE(b.path.empty());
  TempDir dir;
  JobOutcome oa, ob;
  std::thread other([&] { ob = RunJob(MakeJob(b.path, dir.File("b"), Average(3, 6))); });
  oa = RunJob(MakeJob(a.path, dir.File("a"), Average(2, 6)));
  other.join();
  ExpectDoneHandshake(oa);
  ExpectDoneHandshake(ob);
  ASSERT_EQ(oa.runs.size(), 2u);
  ASSERT_EQ(ob.runs.size(), 3u);
  for (const auto& run : oa.runs) ExpectRunSucceeded(*run);
  for (const auto& run : ob.runs) ExpectRunSucceeded(*run);
  ExpectPiece(dir.File("a/flv_h264[2].flv"), 3, 6, {"", 22050, 0});
  ExpectPiece(dir.File("b/3gp_h263[2].3gp"), 2, 4, {"amr_nb", 8000, 1});
}

// Pieces written beside the source (check box 1021): the source, whose name
// the pieces share up to their "[k]", stays as it was.
TEST(SplitJobEdges, PiecesBesideTheSourceLeaveItUntouched) {
  TempDir dir;
  const std::string source = CopyClip("avi_mpeg4", dir.File("v"), "clip.avi");
  ASSERT_FALSE(source.empty());
  const std::string before = ReadFileBytes(source);
  const JobOutcome o = RunJob(MakeJob(source, dir.File("v"), Average(2, 6)));
  ExpectDoneHandshake(o);
  ASSERT_EQ(o.runs.size(), 2u);
  for (const auto& run : o.runs) ExpectRunSucceeded(*run);
  EXPECT_EQ(ReadFileBytes(source), before);
}

// The same job again into the same folder: only the 3gp form carries -y, so
// the other forms must refuse and say so per run, and keep the pieces that
// are there; the 3gp pieces are replaced.
TEST(SplitJobEdges, RepeatedJobIntoTheSameFolder) {
  TempDir dir;
  for (const char* clipName : {"mp4_h264", "3gp_h263"}) {
    SCOPED_TRACE(clipName);
    const Clip& clip = GetClip(clipName);
    ASSERT_FALSE(clip.path.empty());
    const std::string folder = dir.File(clipName);
    const JobOutcome first = RunJob(MakeJob(clip.path, folder, Average(2, 6)));
    ExpectDoneHandshake(first);
    ASSERT_EQ(first.runs.size(), 2u);
    for (const auto& run : first.runs) ExpectRunSucceeded(*run);
    const std::string piece = first.runs[0]->outputPath;
    WriteFileBytes(piece, "edited by the user");

    const JobOutcome second = RunJob(MakeJob(clip.path, folder, Average(2, 6)));
    ExpectDoneHandshake(second);
    ASSERT_EQ(second.runs.size(), 2u);
    if (clip.ext == "3gp") {
      for (const auto& run : second.runs) ExpectRunSucceeded(*run);
      ExpectPiece(piece, 0, 3, {"amr_nb", 8000, 1});
    } else {
      for (const auto& run : second.runs) {
        EXPECT_TRUE(run->started);
        EXPECT_TRUE(run->Failed()) << run->outputPath;
        EXPECT_NE(run->Reason(), FailureReason::kNone);
      }
      EXPECT_EQ(ReadFileBytes(piece), "edited by the user");
    }
  }
}

// Each run reports through the channel the job hands to the tool, from 0 to
// 100, so the overall value reaches the completion dialog's threshold.
TEST(SplitJobProgress, EveryRunReportsToTheEnd) {
  const Clip& clip = GetClip("flv_flv1");
  ASSERT_FALSE(clip.path.empty());
  ProgressChannelServer server;
  std::string error;
  ASSERT_TRUE(server.Listen(&error)) << error;
  std::vector<int> reports;
  const auto handler = [&](const std::uint8_t* data, std::size_t size) {
    std::int32_t percent = 0;
    if (ReadProgressPercent(data, size, &percent)) reports.push_back(percent);
  };
  const auto pump = [&] {
    std::vector<pollfd> fds;
    for (int fd : server.WatchedFds()) fds.push_back({fd, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), 0) > 0) {
      while (server.Poll(handler)) {
      }
    }
  };

  TempDir out;
  const JobOutcome o =
      RunJob(MakeJob(clip.path, out.path(), Average(3, 6)), ZANTREL_BIN_DIR, {server.EnvironmentEntry()}, pump);
  ExpectDoneHandshake(o);
  ASSERT_EQ(o.runs.size(), 3u);
  for (const auto& run : o.runs) ExpectRunSucceeded(*run);
  // Drain what is left: every run has ended, so all its blocks are queued.
  while (server.Poll(handler)) {
  }

  // A run may repeat a value as a sign of life on a slow machine, so a run's
  // start is a 0 that opens the list or follows the previous run's 100.
  int starts = 0, ends = 0, overall = 0, prev = 100;
  for (int p : reports) {
    EXPECT_GE(p, 0);
    EXPECT_LE(p, 100);
    starts += p == 0 && prev == 100;
    ends += p == 100;
    prev = p;
    overall = ApplyProgressReport(overall, p);
  }
  EXPECT_EQ(starts, 3);
  EXPECT_EQ(ends, 3);
  EXPECT_EQ(overall, 100);
}

// A split point at 0 asks for a piece of no length: that run writes nothing
// and counts as empty, not failed (nothing of the source is missing), and
// the pieces after it are still cut under their own numbers.
TEST(SplitJobEdges, EmptySegmentIsEmptyAndTheRestAreCut) {
  const Clip& clip = GetClip("mp4_h264");
  ASSERT_FALSE(clip.path.empty());
  TempDir dir;
  SplitPlanInput in;
  in.mode = kSplitCustom;
  in.duration = 6;
  in.splitPoints = {0, 50};
  const JobOutcome o = RunJob(MakeJob(clip.path, dir.path(), in));
  ExpectDoneHandshake(o);
  ASSERT_EQ(o.runs.size(), 3u);
  const CToolProcess& empty = *o.runs[0];
  EXPECT_TRUE(Contains(empty.commandLine, "-ss 0 -t 0 ")) << empty.commandLine;
  EXPECT_TRUE(empty.started);
  EXPECT_EQ(empty.Outcome(), PieceOutcome::kEmpty);
  EXPECT_FALSE(empty.Failed());
  EXPECT_FALSE(empty.outputExists);
  EXPECT_FALSE(FileExists(dir.File("mp4_h264[1].mp4")));
  ExpectRunSucceeded(*o.runs[1]);
  ExpectRunSucceeded(*o.runs[2]);
  ExpectPiece(dir.File("mp4_h264[2].mp4"), 0, 3, {"aac", 44100, 0});
  ExpectPiece(dir.File("mp4_h264[3].mp4"), 3, 6, {"aac", 44100, 0});
}

// A 6.5 s source with the same frame-index barcode as the shared clips (the
// barcode expression is theirs; their helper only makes whole 6 s clips).
std::string MakeLongerClip(const std::string& path) {
  const std::string video =
      "color=c=gray:s=320x240:r=25:d=6.5,format=yuv420p,"
      "geq=lum='if(lt(Y\\,H/2)\\,16+219*mod(floor(N/pow(2\\,floor(X*8/W)))\\,2)\\,128)':cb=128:cr=128";
  if (!RunFfmpeg({"-f", "lavfi", "-i", video, "-f", "lavfi", "-i", "sine=f=1000:d=6.5", "-c:v", "libx264",
                  "-g", "30", "-c:a", "aac", path}))
    return {};
  return path;
}

// The job's duration is whole seconds; the part of the source after its last
// whole second (here 0.5 s, 13 pictures) must still land in the last piece.
TEST(SplitJobEdges, LastPieceReachesTheEndOfAFractionalSource) {
  TempDir dir;
  const std::string source = MakeLongerClip(dir.File("long.mp4"));
  ASSERT_FALSE(source.empty());
  const int duration = RunProbe(source, ZANTREL_BIN_DIR, 10000);
  ASSERT_EQ(duration, 6);
  const int sourceFrames = static_cast<int>(ReadPiece(source).frameIndices.size());
  ASSERT_GT(sourceFrames, kClipFrames);

  const JobOutcome o = RunJob(MakeJob(source, dir.File("out"), Average(2, duration)));
  ExpectDoneHandshake(o);
  ASSERT_EQ(o.runs.size(), 2u);
  for (const auto& run : o.runs) ExpectRunSucceeded(*run);
  const PieceFacts first = ReadPiece(o.runs[0]->outputPath);
  const PieceFacts last = ReadPiece(o.runs[1]->outputPath);
  ASSERT_FALSE(first.frameIndices.empty());
  ASSERT_FALSE(last.frameIndices.empty());
  // Together the pieces hold every picture of the source.
  EXPECT_EQ(first.frameIndices.size() + last.frameIndices.size(), static_cast<std::size_t>(sourceFrames));
  EXPECT_EQ(last.frameIndices.back(), sourceFrames - 1);
}

}  // namespace
}  // namespace zantrel::tooltest
