// The split model driven as a command-line client would drive it: no window,
// a poll loop bringing the job's end onto the test's thread, the real job
// with a stand-in tool.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "model/split_model.h"
#include "platform/tool_args.h"
#include "tests/common/test_util.h"

using namespace zantrel;
using zantrel_test::TempDir;

namespace {

constexpr std::int64_t kS = 1000000;  // microseconds per second

struct Client {
  JobNewsQueue news;
  std::vector<std::string> events;
  std::vector<int> progress;
  std::vector<JobEnd> ends;
  SplitModel model{SplitModel::Callbacks{
      [this] { events.push_back("source"); },
      [this] { events.push_back("duration"); },
      [this] { events.push_back("points"); },
      [this] { events.push_back("mode"); },
      [this](bool running) { events.push_back(running ? "running" : "idle"); },
      [this](int overall) { progress.push_back(overall); },
      [this](const JobEnd& end) { ends.push_back(end); },
  }};

  SplitModel::Post Post() {
    return [this](std::function<void()> call) { return news.Post(std::move(call)); };
  }
  // The poll loop: runs the job's news until it has ended.
  bool PollUntilEnded(int seconds = 20) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (model.JobRunning() && std::chrono::steady_clock::now() < until) {
      news.RunPending();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return !model.JobRunning();
  }
};

// Writes a small file (its folder made first) and returns its path.
std::string Put(const std::string& path, const std::string& data = "x") {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  zantrel_test::WriteFile(path, data);
  return path;
}

std::vector<std::string> Texts(const std::vector<SplitPoint>& points) {
  std::vector<std::string> t;
  for (const auto& p : points) t.push_back(p.text);
  return t;
}

}  // namespace

// Points are kept once, in time order, each with its text and add order;
// slider points follow the duration, exact ones keep their time; the plan
// keeps the old arithmetic (position × D × 0.01, truncated).
TEST(SplitModel, SourceDurationPointsAndPlan) {
  Client c;
  c.model.SetSource("/v/片段 clip.mp4");
  EXPECT_EQ(c.model.Source().name, "片段 clip.mp4");
  EXPECT_TRUE(c.model.Source().previewable);
  EXPECT_FALSE(c.model.DurationReady());  // pending
  c.model.SetSource("/v/clip.MP4");
  EXPECT_FALSE(c.model.Source().previewable);  // byte for byte: the probe's

  EXPECT_TRUE(c.model.AddPointAtPosition(25, "0:00:00"));  // before the duration: at 0
  c.model.SetDuration(60);
  EXPECT_TRUE(c.model.DurationReady());
  EXPECT_EQ(c.model.Points()[0].timeUs, 15 * kS);
  EXPECT_TRUE(c.model.AddPointAtPosition(60, "0:00:36"));
  EXPECT_FALSE(c.model.AddPointAtPosition(25, "again"));  // one point per slider position
  EXPECT_TRUE(c.model.AddPointAtTime(20 * kS + 500000, "0:00:20.5"));
  EXPECT_FALSE(c.model.AddPointAtTime(20 * kS + 500000, "again"));
  EXPECT_EQ(Texts(c.model.Points()), (std::vector<std::string>{"0:00:00", "0:00:20.5", "0:00:36"}));
  EXPECT_EQ(Texts(c.model.PointsInAddOrder()), (std::vector<std::string>{"0:00:00", "0:00:36", "0:00:20.5"}));

  SplitPlan plan = c.model.Plan();
  ASSERT_TRUE(plan.valid);
  EXPECT_EQ(plan.count, 5);
  EXPECT_EQ(plan.boundaries, (std::vector<int>{15, 20, 36}));
  // 29 % of 100 s is 28.999… s in the old double arithmetic: still 28.
  Client d;
  d.model.SetDuration(100);
  d.model.AddPointAtPosition(29, "x");
  EXPECT_EQ(d.model.Plan().boundaries, (std::vector<int>{PositionToSeconds(29, 100)}));

  // Delete reaches 4 positions either side, slider points and exact ones alike.
  EXPECT_EQ(c.model.RemovePointsNear(56), 1);  // 60
  EXPECT_EQ(c.model.RemovePointsNear(30), 0);  // 25 is 5 away
  EXPECT_EQ(c.model.RemovePointsNear(29), 1);  // 25; 20.5 s is 34 % away
  EXPECT_EQ(Texts(c.model.Points()), (std::vector<std::string>{"0:00:20.5"}));
  EXPECT_EQ(c.model.RemovePointsNear(30), 0);
  EXPECT_EQ(c.model.RemovePointsNear(36), 1);

  // A second source keeps the points; a slider point moves with the new duration.
  c.model.AddPointAtPosition(50, "0:00:30");
  c.model.SetSource("/v/other.flv");
  c.model.SetDuration(10);
  EXPECT_EQ(c.model.Points()[0].timeUs, 5 * kS);
  EXPECT_EQ(c.model.Plan().boundaries, (std::vector<int>{5}));

  // The other modes, and the pieces a plan makes.
  c.model.SetMode(kSplitEqualTime);
  c.model.SetSecondsPerPart(4);
  c.model.SetOutputFolder("/out");
  const auto pieces = c.model.PlannedPieces();
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[1].start, 4);
  EXPECT_EQ(pieces[1].end, 8);
  EXPECT_EQ(pieces[2].end, 10);
  EXPECT_EQ(pieces[2].outputPath, "/out/other[3].flv");
  c.model.SetBesideSource(true);
  EXPECT_EQ(c.model.PlannedPieces()[0].outputPath, "/v/other[1].flv");
  EXPECT_EQ(c.events, (std::vector<std::string>{"source", "source", "points", "duration", "points", "points",
                                                "points", "points", "points", "points", "source", "duration",
                                                "mode"}));
}

// Start's refusals, in the order the window shows them; only a check that
// passes creates the output folder.
TEST(SplitModel, StartRefusals) {
  TempDir dir;
  Client c;
  EXPECT_EQ(c.model.CheckStart().problem, StartProblem::kNoSource);
  const std::string source = Put(dir / "clip.mp4"), out = dir / "out/sub";
  c.model.SetSource(source);
  EXPECT_EQ(c.model.CheckStart().problem, StartProblem::kDurationUnknown);  // pending
  c.model.SetDuration(0);
  EXPECT_EQ(c.model.CheckStart().problem, StartProblem::kDurationUnknown);  // none found
  c.model.SetDuration(60);
  c.model.SetTypedSource(dir / "typed.mp4");
  EXPECT_EQ(c.model.CheckStart().problem, StartProblem::kDurationUnknown);  // typed over
  c.model.SetTypedSource(source);

  c.model.SetMode(kSplitAverage);
  c.model.SetParts(61);
  StartCheck check = c.model.CheckStart();
  EXPECT_EQ(check.problem, StartProblem::kPlanInvalid);
  EXPECT_EQ(check.plan.error, PlanError::kTooManyParts);
  EXPECT_EQ(check.plan.seconds, 60);
  c.model.SetParts(3);
  EXPECT_EQ(c.model.CheckStart().problem, StartProblem::kNoOutputFolder);

  zantrel_test::WriteFile(dir / "file", "in the way");
  c.model.SetOutputFolder(dir / "file/out");
  EXPECT_EQ(c.model.CheckStart().problem, StartProblem::kFolderNotCreated);

  c.model.SetOutputFolder(out);
  Put(dir / "out/sub/clip[2].mp4");
  check = c.model.CheckStart();
  ASSERT_EQ(check.problem, StartProblem::kNone);
  EXPECT_EQ(check.folder, out + "/");
  EXPECT_EQ(check.job.outputBase, out + "/clip.mp4");
  EXPECT_EQ(check.job.boundaries, (std::vector<std::int32_t>{20, 40}));
  EXPECT_EQ(check.existing, std::vector<std::string>{out + "/clip[2].mp4"});
  std::string failed;
  int err = 0;
  EXPECT_TRUE(c.model.ReplaceExisting(check, &failed, &err));
  EXPECT_FALSE(std::filesystem::exists(out + "/clip[2].mp4"));

  c.model.SetBesideSource(true);
  EXPECT_EQ(c.model.CheckStart().folder, dir.path() + "/");
}

namespace {
class ModelJob : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string programDir_ = zantrel_test::InstallTool(dir_, ZANTREL_FAKE_TOOL);
  Client c_;

  // A source of 60 s cut into `parts`, into dir/out.
  void Plan(int parts) {
    c_.model.SetSource(Put(dir_ / "clip.mp4"));
    c_.model.SetDuration(60);
    c_.model.SetMode(parts > 1 ? kSplitAverage : kSplitCustom);
    c_.model.SetParts(parts);
    c_.model.SetOutputFolder(dir_ / "out");
  }
  bool Start(std::vector<std::string> env) {
    const StartCheck check = c_.model.CheckStart();
    EXPECT_EQ(check.problem, StartProblem::kNone);
    return c_.model.StartJob(check, programDir_, std::move(env), c_.Post());
  }
  std::string Spin() const { return "ZANTREL_FAKE_STOPFILE=" + dir_ / "stop"; }
  void LetSpinnersFinish() { zantrel_test::WriteFile(dir_ / "stop", ""); }
};
}  // namespace

// Start, progress, pause, resume and done; the completion is offered only
// once 90 % was reached.
TEST_F(ModelJob, ProgressPauseAndDone) {
  Plan(1);
  ASSERT_TRUE(Start({"ZANTREL_FAKE_MODE=spin", Spin()}));
  EXPECT_TRUE(c_.model.JobRunning());
  EXPECT_EQ(c_.model.CheckStart().problem, StartProblem::kJobRunning);
  ASSERT_TRUE(zantrel_test::WaitUntil([&] { return c_.model.Job()->CurrentToolProcess() != nullptr; }));
  c_.model.ReportProgress(0, 40);
  c_.model.ReportProgress(0, 30);  // never back
  c_.model.ReportProgress(99999, 80);  // no run of this job
  EXPECT_TRUE(c_.model.Pause());
  EXPECT_TRUE(c_.model.Paused());
  EXPECT_TRUE(c_.model.Resume());
  c_.model.ReportProgress(0, 95);
  EXPECT_EQ(c_.progress, (std::vector<int>{40, 40, 95}));
  LetSpinnersFinish();
  ASSERT_TRUE(c_.PollUntilEnded());
  ASSERT_EQ(c_.ends.size(), 1u);
  EXPECT_EQ(c_.ends[0].kind, JobEndKind::kDone);
  EXPECT_EQ(c_.ends[0].summary.written, 1);
  EXPECT_TRUE(c_.ends[0].offerCompletion);
  EXPECT_EQ(c_.model.JobOutputFolder(), dir_ / "out/");
  EXPECT_FALSE(c_.model.Pause());
  c_.model.ReportProgress(0, 10);  // after the end: nothing
  EXPECT_EQ(c_.progress.size(), 3u);

  // A second job starts from nothing; below 90 % no completion is offered.
  ASSERT_TRUE(Start({"ZANTREL_FAKE_MODE=spin", Spin()}));
  ASSERT_TRUE(c_.PollUntilEnded());
  ASSERT_EQ(c_.ends.size(), 2u);
  EXPECT_EQ(c_.ends[1].kind, JobEndKind::kDone);
  EXPECT_EQ(c_.model.Progress(), 0);
  EXPECT_FALSE(c_.ends[1].offerCompletion);
  EXPECT_EQ(c_.events.back(), "idle");
}

TEST_F(ModelJob, StopEndsAsStopped) {
  Plan(3);
  ASSERT_TRUE(Start({"ZANTREL_FAKE_MODE=spin", Spin()}));
  ASSERT_TRUE(zantrel_test::WaitUntil([&] { return c_.model.Job()->CurrentToolProcess() != nullptr; }));
  EXPECT_TRUE(c_.model.Stop());
  EXPECT_TRUE(c_.model.StopRequested());
  ASSERT_TRUE(c_.PollUntilEnded());
  ASSERT_EQ(c_.ends.size(), 1u);
  EXPECT_EQ(c_.ends[0].kind, JobEndKind::kStopped);
  EXPECT_EQ(c_.ends[0].summary.notRun, 2);
  EXPECT_FALSE(c_.ends[0].offerCompletion);
}

// The tool's exit codes become the failure kinds the window words.
TEST_F(ModelJob, FailureKindsFromExitCodes) {
  const std::pair<int, FailureReason> cases[] = {
      {tool_args::kExitNoSpace, FailureReason::kDiskFull},
      {tool_args::kExitTargetExists, FailureReason::kAlreadyExists},
      {tool_args::kExitNotVideo, FailureReason::kUnreadableSource},
      {tool_args::kExitInternal, FailureReason::kOther},
  };
  Plan(2);
  for (const auto& [code, reason] : cases) {
    c_.ends.clear();
    ASSERT_TRUE(Start({"ZANTREL_FAKE_MODE=exit" + std::to_string(code)}));
    ASSERT_TRUE(c_.PollUntilEnded());
    ASSERT_EQ(c_.ends.size(), 1u);
    const JobEnd& end = c_.ends[0];
    EXPECT_EQ(end.kind, JobEndKind::kFailed);
    EXPECT_EQ(end.summary.failed, 2);
    ASSERT_EQ(end.failures.size(), 2u);
    EXPECT_EQ(end.failures[1].segment, 2);
    EXPECT_EQ(end.failures[1].reason, reason) << code;
    EXPECT_EQ(end.failures[1].exitCode, code);
  }
}

// A model destroyed mid-job ends the job without a word.
TEST_F(ModelJob, DestroyedMidJob) {
  int ends = 0;
  {
    SplitModel model({{}, {}, {}, {}, {}, {}, [&](const JobEnd&) { ++ends; }});
    model.SetSource(Put(dir_ / "clip.mp4"));
    model.SetDuration(60);
    model.SetOutputFolder(dir_ / "out");
    ASSERT_TRUE(model.StartJob(model.CheckStart(), programDir_, {"ZANTREL_FAKE_MODE=part"}, c_.Post()));
    ASSERT_TRUE(zantrel_test::WaitUntil([&] { return model.Job()->CurrentToolProcess() != nullptr; }));
  }
  EXPECT_EQ(ends, 0);
  EXPECT_EQ(c_.news.RunPending(), 0);
  // The run's temporary file went with it.
  EXPECT_TRUE(std::filesystem::is_empty(dir_ / "out"));
}
