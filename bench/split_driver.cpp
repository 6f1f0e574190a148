// Runs one split job from the command line, the way the main dialog's Start
// does, with the real ZantrelCore from the program folder. Used by
// bench/split-bench.sh.
//
//   split_driver <source> <output-folder> <parts> [<duration-seconds>]
//
// Without a duration the source is probed with the tool first. Exit status 0
// when every segment was cut, 1 when any failed, 2 on bad arguments.
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "engine/job.h"
#include "engine/plan.h"
#include "engine/probe_run.h"
#include "platform/module.h"
#include "platform/path.h"

int main(int argc, char** argv) {
  using namespace zantrel;
  if (argc < 4 || argc > 5) {
    std::fprintf(stderr, "usage: %s <source> <output-folder> <parts> [<duration-seconds>]\n",
                 argv[0]);
    return 2;
  }
  const std::string source = argv[1];
  std::string folder = argv[2];
  const int parts = std::atoi(argv[3]);
  const std::string programDir = GetModuleDir();

  double duration = argc == 5 ? std::atof(argv[4]) : RunProbe(source, programDir, 10000);
  if (duration <= 0) {
    std::fprintf(stderr, "split_driver: no duration for %s\n", source.c_str());
    return 2;
  }

  SplitPlanInput in;
  in.mode = kSplitAverage;
  in.parts = parts;
  in.duration = duration;
  const SplitPlan plan = BuildSplitPlan(in);
  if (!plan.valid) {
    std::fprintf(stderr, "split_driver: no plan (error %d)\n", static_cast<int>(plan.error));
    return 2;
  }

  if (folder.empty() || folder.back() != kPathSep) folder += kPathSep;
  if (!CreateFolderPath(folder)) {
    std::fprintf(stderr, "split_driver: cannot create %s\n", folder.c_str());
    return 2;
  }
  const std::size_t sep = source.rfind(kPathSep);
  SplitJob job;
  job.sourcePath = source;
  job.outputBase = folder + (sep == std::string::npos ? source : source.substr(sep + 1));
  job.duration = static_cast<int>(duration);
  job.count = plan.count;
  job.boundaries.assign(plan.boundaries.begin(), plan.boundaries.end());

  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  CSplitTask task(
      std::move(job),
      [&](CSplitTask&) {
        std::lock_guard<std::mutex> lock(m);
        done = true;
        cv.notify_all();
      },
      programDir, {});
  task.Start();
  {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return done; });
  }

  int failed = 0;
  for (const auto& run : task.Runs()) {
    if (run->Failed()) {
      ++failed;
      std::fprintf(stderr, "piece %d failed (reason %d, exit %d): %s\n", run->segment, static_cast<int>(run->Reason()),
                   run->ExitCode(), run->toolMessage.c_str());
    }
  }
  return failed ? 1 : 0;
}
