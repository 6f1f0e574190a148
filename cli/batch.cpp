#include "cli/batch.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <filesystem>
#include <future>
#include <memory>
#include <set>
#include <utility>

#include "cli/source_split.h"
#include "platform/fs.h"
#include "platform/path.h"
#include "platform/progress_channel.h"
#include "settings/user_folders.h"

namespace zantrel::cli {

namespace {

// The longest the loop sleeps: the bar and the ended pieces are looked at
// at least this often.
constexpr int kLoopMs = 100;

struct Running {
  std::unique_ptr<SourceSplit> split;
  std::size_t reported = 0;  // results already handed to the reporter
};

// The folder every file's pieces go to ("" for --beside: each source's own).
std::string OutputFolder(const Options& options) {
  if (options.beside) return "";
  std::string folder = options.outDir.empty() ? DefaultOutputFolder() : options.outDir;
  if (folder.back() != kPathSep) folder += kPathSep;
  return folder;
}

// A name for the place `path` lies at that does not depend on how it was
// spelt: the real path of the part that exists, the rest as written. It is
// the same before and after an earlier file's job has made the folder.
std::string PlaceKey(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path key =
      std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
  return ec ? path : key.string();
}

class Batch {
 public:
  Batch(const Options& options, std::string programDir, Reporter& reporter, int interruptFd)
      : options_(options), programDir_(std::move(programDir)), reporter_(reporter), interruptFd_(interruptFd) {}

  int Run();

 private:
  // Probes and plans the next file on a thread of its own, so that up to
  // --jobs files are probed or cut at any time.
  void Prepare(const std::string& file);
  // A prepared file: clash checks, then its job.
  void Begin(std::unique_ptr<SourceSplit> split);
  // Hands on the files whose probe has ended.
  void CollectPrepared();
  void Wake();
  void Interrupt(int sig);
  bool InterruptPending();
  void ReadProgress();
  void ReportEnded();

  const Options& options_;
  const std::string programDir_;
  Reporter& reporter_;
  const int interruptFd_;
  int signal_ = 0;

  UniqueFd wakeRead_, wakeWrite_;
  ProgressChannelServer progress_;
  std::vector<std::string> env_;
  std::deque<std::string> pending_;
  std::vector<std::future<std::unique_ptr<SourceSplit>>> preparing_;
  std::vector<Running> running_;
  std::set<std::string> outputKeys_;            // first piece of each planned file
  std::set<std::pair<dev_t, ino_t>> sources_;   // every file given
};

bool Batch::InterruptPending() {
  if (signal_) return true;
  pollfd p{interruptFd_, POLLIN, 0};
  if (::poll(&p, 1, 0) > 0) {
    unsigned char sig = 0;
    if (::read(interruptFd_, &sig, 1) == 1) Interrupt(sig ? sig : 2);
  }
  return signal_ != 0;
}

void Batch::Interrupt(int sig) {
  if (signal_) return;
  signal_ = sig;
  for (Running& r : running_) r.split->Stop();
}

void Batch::Wake() {
  const char byte = 1;
  // A full pipe already holds a wake-up; nothing is lost.
  [[maybe_unused]] ssize_t n = ::write(wakeWrite_.get(), &byte, 1);
}

void Batch::Prepare(const std::string& file) {
  preparing_.push_back(std::async(std::launch::async, [this, file] {
    auto split = std::make_unique<SourceSplit>(options_, file, OutputFolder(options_), programDir_);
    Wake();
    return split;
  }));
}

void Batch::CollectPrepared() {
  for (auto it = preparing_.begin(); it != preparing_.end();) {
    if (it->wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
      ++it;
      continue;
    }
    std::unique_ptr<SourceSplit> split = it->get();
    it = preparing_.erase(it);
    // The probe shares the terminal's process group: a Ctrl+C during it
    // ended the probe too, and its "not a video" would be a lie.
    if (InterruptPending()) {
      reporter_.NotBegun(split->source());
      continue;
    }
    Begin(std::move(split));
  }
}

void Batch::Begin(std::unique_ptr<SourceSplit> split) {
  if (split->problem() == SourceProblem::kNone) {
    // Two files of one name into one folder would take each other's names;
    // and no piece may land on a file given to be cut.
    if (!outputKeys_.insert(PlaceKey(split->pieces().front().path)).second) {
      split->Refuse(SourceProblem::kSameOutputAs);
    } else {
      for (const PlannedPiece& p : split->pieces()) {
        struct stat st;
        if (::stat(p.path.c_str(), &st) == 0 && sources_.count({st.st_dev, st.st_ino}))
          split->Refuse(SourceProblem::kOverwritesSource);
      }
    }
  }
  if (split->problem() != SourceProblem::kNone) {
    reporter_.Refused(*split);
    return;
  }
  reporter_.PlanNotes(*split);
  if (options_.dryRun) {
    reporter_.DryRun(*split);
    return;
  }
  if (!split->Start(options_.replace, env_, [this] { Wake(); })) {
    reporter_.Refused(*split);
    return;
  }
  reporter_.Started(*split);
  running_.push_back({std::move(split), 0});
}

void Batch::ReadProgress() {
  progress_.Poll([this](const std::uint8_t* data, std::size_t size) {
    std::int32_t percent;
    if (!ReadProgressPercent(data, size, &percent)) return;
    const pid_t sender = progress_.Sender();
    for (Running& r : running_) {
      int piece = 0, overall = 0;
      if (r.split->ReportProgress(sender, percent, &piece, &overall)) reporter_.Progress(*r.split, piece, overall);
    }
  });
}

void Batch::ReportEnded() {
  for (auto it = running_.begin(); it != running_.end();) {
    // The job's end reaches the model here, on this thread.
    it->split->Drain();
    const bool finished = it->split->Finished();
    const std::vector<PieceResult> results = it->split->EndedResults();
    for (; it->reported < results.size(); ++it->reported)
      reporter_.PieceEnded(*it->split, results[it->reported]);
    if (finished) {
      reporter_.FileEnded(*it->split);
      it = running_.erase(it);
    } else {
      ++it;
    }
  }
}

int Batch::Run() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return kExitFailed;
  wakeRead_.Reset(fds[0]);
  wakeWrite_.Reset(fds[1]);
  // Without the channel the pieces are cut all the same, with no percent.
  std::string error;
  if (!options_.dryRun && progress_.Listen(&error)) env_.push_back(progress_.EnvironmentEntry());

  for (const std::string& file : options_.files) {
    pending_.push_back(file);
    struct stat st;
    if (::stat(file.c_str(), &st) == 0) sources_.insert({st.st_dev, st.st_ino});
  }

  while (true) {
    while (!InterruptPending() && !pending_.empty() &&
           static_cast<int>(running_.size() + preparing_.size()) < options_.jobs) {
      Prepare(pending_.front());
      pending_.pop_front();
    }
    if (running_.empty() && preparing_.empty() && (pending_.empty() || signal_)) break;

    std::vector<pollfd> watch{{interruptFd_, POLLIN, 0}, {wakeRead_.get(), POLLIN, 0}};
    for (int fd : progress_.WatchedFds()) watch.push_back({fd, POLLIN, 0});
    if (::poll(watch.data(), watch.size(), kLoopMs) < 0 && errno != EINTR) break;
    InterruptPending();
    char drain[64];
    while (::read(wakeRead_.get(), drain, sizeof drain) > 0) {
    }
    ReadProgress();
    ReportEnded();
    CollectPrepared();
    reporter_.Tick();
  }
  for (const std::string& file : pending_) reporter_.NotBegun(file);
  reporter_.Summary(signal_ != 0);
  if (signal_) return 128 + signal_;
  return reporter_.failures() ? kExitFailed : kExitOk;
}

}  // namespace

int RunBatch(const Options& options, const std::string& programDir, Reporter& reporter, int interruptFd) {
  Batch batch(options, programDir, reporter, interruptFd);
  return batch.Run();
}

}  // namespace zantrel::cli
