#include "engine/job.h"

#include <dirent.h>
#include <sys/mman.h>
#include <unistd.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <initializer_list>
#include <set>

#include "platform/cmdline.h"
#include "platform/fs.h"
#include "platform/path.h"
#include "platform/tool_args.h"

namespace zantrel {

namespace {

// Position of the '.' that starts the extension of the file name in `path`,
// or npos. Only the last path element counts, so a '.' in a folder name never
// splits. Neither '/' (0x2F) nor '.' (0x2E) can be the trail byte of a
// double-byte character in GBK or UTF-8, so a plain byte search is exact.
std::size_t ExtensionDot(const std::string& path) {
  const std::size_t sep = path.rfind(kPathSep);
  const std::size_t nameStart = sep == std::string::npos ? 0 : sep + 1;
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < nameStart) return std::string::npos;
  return dot;
}

// Fills the "%s" / "%d" slots of a command format in order with `args`;
// "%%" is not used by any format here.
std::string FillFormat(const char* format, std::initializer_list<std::string> args) {
  std::string out;
  auto arg = args.begin();
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && (p[1] == 's' || p[1] == 'd') && arg != args.end()) {
      out += *arg++;
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

// The third trailing number of every cut form is the tool's quality
// (tool_args::kCutQuality); the program always asks for the best.
constexpr int kCutQuality = tool_args::kFullQuality;

}  // namespace

std::string OutputExtension(const std::string& outputBase) {
  const std::size_t dot = ExtensionDot(outputBase);
  return dot == std::string::npos ? std::string() : outputBase.substr(dot + 1);
}

std::string SegmentOutputName(const std::string& outputBase, int k) {
  const std::string tag = "[" + std::to_string(k) + "]";
  const std::size_t dot = ExtensionDot(outputBase);
  if (dot == std::string::npos) return outputBase + tag;
  return outputBase.substr(0, dot) + tag + outputBase.substr(dot);
}

std::string BuildCutCommandLine(const std::string& extension, const std::string& sourcePath,
                                int start, int length, const std::string& outputPath) {
  // The formats are kept character for character, blanks included; the
  // paths go between their quotes escaped, so none can end the quoting early
  // or add an argument.
  const char* format;
  if (extension == "3gp") {
    format = "ZantrelCore.exe -i \"%s\" -ss %s -t %s -y -ar 8000 -ac 1 -ab 12.2k \"%s\"  6 100 %d";
  } else if (extension == "flv") {
    format = "ZantrelCore.exe -i \"%s\" -ar 22050 -ss %s -t %s \"%s\"  6 100 %d ";
  } else {
    format = "ZantrelCore.exe -i \"%s\"  -ss %s -t %s \"%s\"  6 100 %d ";
  }
  return FillFormat(format, {EscapeForQuotedSlot(sourcePath), std::to_string(start),
                             std::to_string(length), EscapeForQuotedSlot(outputPath),
                             std::to_string(kCutQuality)});
}

bool CreateFolderPath(const std::string& path) {
  if (path.empty()) return false;

  std::string p = path;
  const std::string doubled = std::string(2, kPathSep);
  for (std::size_t at; (at = p.find(doubled)) != std::string::npos;) p.erase(at, 1);
  while (!p.empty() && p.back() == kPathSep) p.pop_back();
  if (p.empty()) return IsDirectory(kPathSepStr);  // the root itself

  // Each prefix up to a separator, then the whole path. The empty prefix of
  // an absolute path is the root, which always exists.
  auto ensure = [](const std::string& dir) {
    if (dir.empty()) return true;
    if (IsDirectory(dir)) return true;
    if (::mkdir(dir.c_str(), 0777) == 0) return true;
    // Someone else may have created it in the meantime. Anything else at
    // that name (a regular file) is not a folder: that is a failure, not a
    // folder that "exists".
    return errno == EEXIST && IsDirectory(dir);
  };
  for (std::size_t at = p.find(kPathSep); at != std::string::npos; at = p.find(kPathSep, at + 1)) {
    if (!ensure(p.substr(0, at))) return false;
  }
  return ensure(p);
}

bool CheckFolderWritable(const std::string& folder, int* err) {
  std::string probe = folder;
  if (probe.empty()) probe = ".";
  if (probe.back() != kPathSep) probe += kPathSep;
  probe += ".zantrel-write-check-XXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) {
    if (err) *err = errno;
    return false;
  }
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

std::vector<std::string> JobOutputNames(const SplitJob& job) {
  std::vector<std::string> names;
  for (int k = 1; k < job.count; ++k) names.push_back(SegmentOutputName(job.outputBase, k));
  return names;
}

std::vector<std::string> ExistingOutputNames(const SplitJob& job) {
  std::vector<std::string> existing;
  for (const std::string& name : JobOutputNames(job)) {
    struct stat st;
    if (::lstat(name.c_str(), &st) == 0) existing.push_back(name);
  }
  return existing;
}

bool RemoveFiles(const std::vector<std::string>& paths, std::string* failedPath, int* err) {
  for (const std::string& path : paths) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) continue;
    if (err) *err = errno;
    if (failedPath) *failedPath = path;
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------

PieceOutcome CToolProcess::Outcome() const {
  const bool cleanExit = started && waitStatus != -1 && WIFEXITED(waitStatus) &&
                         WEXITSTATUS(waitStatus) == 0;
  if (cleanExit && outputExists) return PieceOutcome::kWritten;
  // Nothing of the source lies in a segment of no length, whatever the tool
  // made of it.
  if (plannedLength <= 0) return PieceOutcome::kEmpty;
  if (stopped) return PieceOutcome::kStopped;
  return PieceOutcome::kFailed;
}

int CToolProcess::ExitCode() const {
  return started && waitStatus != -1 && WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
}

int CToolProcess::Signal() const {
  return started && waitStatus != -1 && WIFSIGNALED(waitStatus) ? WTERMSIG(waitStatus) : 0;
}

FailureReason CToolProcess::Reason() const {
  if (!Failed()) return FailureReason::kNone;
  if (!started) return sourceChanged ? FailureReason::kSourceChanged : FailureReason::kToolMissing;
  const int code = ExitCode();
  if (code == tool_args::kExitTargetExists) return FailureReason::kAlreadyExists;
  if (code == tool_args::kExitNoSpace) return FailureReason::kDiskFull;
  // What the worker saw of the source and the folder after the run tells
  // more than the tool could: a file it could not open may be the source
  // gone or the folder gone, and a source cut short reads as damaged.
  if (sourceGone) return FailureReason::kSourceMissing;
  if (outputFolderGone) return FailureReason::kFolderMissing;
  if (sourceChanged || code == tool_args::kExitSourceChanged) return FailureReason::kSourceChanged;
  // A killed tool had no chance to say why.
  if (Signal() != 0) return FailureReason::kToolKilled;
  if (code == tool_args::kExitSourceUnreadable || code == tool_args::kExitNotVideo)
    return FailureReason::kUnreadableSource;
  if (code == tool_args::kExitNoPermission) return FailureReason::kPermissionDenied;
  return FailureReason::kOther;
}

// ---------------------------------------------------------------------------

CSplitTask::CSplitTask(SplitJob job, DoneFn onDone, std::string programDir,
                       std::vector<std::string> env)
    : job_(std::move(job)),
      onDone_(std::move(onDone)),
      programDir_(std::move(programDir)),
      env_(std::move(env)) {}

CSplitTask::~CSplitTask() {
  cancelled_ = true;
  stopRequested_ = true;
  // A worker waiting in its DoneFn for the UI must not hold us up.
  ReleaseDone();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pauseRequested_ = false;
    TerminateChildLocked();
  }
  // The worker ends the run as Stop does: the tool's clean-up first, the
  // kill only after the grace period.
  if (worker_.joinable()) worker_.join();
}

void CSplitTask::TerminateChildLocked() {
  if (!child_) return;
  if (current_) current_->stopped = true;
  // SIGTERM lets the tool remove its temporary file; a stopped tool only
  // acts on it once it runs again.
  child_->Signal(SIGTERM);
  child_->Signal(SIGCONT);
}

bool CSplitTask::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (finished_) return false;
  stopRequested_ = true;
  pauseRequested_ = false;
  for (const auto& run : runs_) run->paused = 0;
  TerminateChildLocked();
  return true;
}

JobSummary CSplitTask::Summary() const {
  std::lock_guard<std::mutex> lock(mutex_);
  JobSummary s;
  s.pieces = Pieces();
  for (const auto& run : runs_) {
    switch (run->Outcome()) {
      case PieceOutcome::kWritten: ++s.written; break;
      case PieceOutcome::kEmpty: ++s.empty; break;
      case PieceOutcome::kStopped: ++s.stopped; break;
      case PieceOutcome::kFailed: ++s.failed; break;
    }
  }
  s.notRun = s.pieces - static_cast<int>(runs_.size());
  if (s.notRun < 0) s.notRun = 0;
  return s;
}

int CSplitTask::PiecesBeforeRun(pid_t sender) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (sender == 0) {
    int ended = 0;
    for (const auto& run : runs_)
      if (run != current_ || !child_) ++ended;
    return ended;
  }
  for (const auto& run : runs_)
    if (run->pid == sender) return run->segment - 1;
  return -1;
}

void CSplitTask::Start() {
  if (worker_.joinable() || finished_) return;  // one job, one worker
  worker_ = std::thread([this] { SplitThreadProc(); });
}

bool CSplitTask::Pause() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!anyRunStarted_ || finished_) return false;
  pauseRequested_ = true;
  if (child_) {
    child_->Signal(SIGSTOP);
    if (current_) current_->paused = 1;
  }
  return true;
}

bool CSplitTask::Resume() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!anyRunStarted_) return false;
  pauseRequested_ = false;
  if (child_) child_->Signal(SIGCONT);
  for (const auto& run : runs_) run->paused = 0;
  return true;
}

bool CSplitTask::IsPaused() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pauseRequested_;
}

std::shared_ptr<CToolProcess> CSplitTask::CurrentToolProcess() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return current_;
}

std::vector<std::shared_ptr<CToolProcess>> CSplitTask::Runs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return runs_;
}

void CSplitTask::WaitDoneHandled() {
  std::unique_lock<std::mutex> lock(doneMutex_);
  doneCv_.wait(lock, [this] { return doneReleased_; });
}

void CSplitTask::ReleaseDone() {
  {
    std::lock_guard<std::mutex> lock(doneMutex_);
    doneReleased_ = true;
  }
  doneCv_.notify_all();
}

void CSplitTask::SplitThreadProc() {
  const int n = job_.count;
  // The boundary list 0, the interior cut points, the duration; sized by the
  // job, so any number of segments fits. A job with fewer interior points
  // than its count says takes the missing ones as the end.
  std::vector<std::int32_t> b(n > 0 ? static_cast<std::size_t>(n) : 0);
  if (n >= 1) b[0] = 0;
  if (n >= 2) b[n - 1] = job_.duration;
  for (int i = 1; i < n - 1; ++i) {
    const std::size_t j = static_cast<std::size_t>(i - 1);
    b[i] = j < job_.boundaries.size() ? job_.boundaries[j] : job_.duration;
  }

  // What the source is now, so that a run failing later can tell whether
  // it was moved, deleted or rewritten in the meantime.
  struct stat st;
  if (::stat(job_.sourcePath.c_str(), &st) == 0) {
    source_.known = true;
    source_.dev = st.st_dev;
    source_.ino = st.st_ino;
    source_.size = st.st_size;
    source_.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  }

  const std::string extension = OutputExtension(job_.outputBase);
  for (int k = 1; k < n; ++k) {
    if (cancelled_ || stopRequested_) break;
    const std::string output = SegmentOutputName(job_.outputBase, k);
    const int planned = b[k] - b[k - 1];
    int length = planned;
    // The duration is whole seconds, cut down; the source's last fraction of
    // a second would be in no piece. Asked for one second more, the last run
    // goes on to the source's real end.
    if (k == n - 1) length += 1;
    const std::string line = BuildCutCommandLine(extension, job_.sourcePath, b[k - 1], length, output);
    RunToolAndWait(line, k, planned, output);  // a run that fails is recorded; the next one runs
  }

  finished_ = true;
  // A task being destroyed has no one left to tell.
  if (!cancelled_ && onDone_) onDone_(*this);
}

namespace {
// Owner of the in-memory file that takes one run's standard output and error.
struct ToolOutput {
  int fd = ::memfd_create("zantrel-tool-output", MFD_CLOEXEC);
  ToolOutput() = default;
  ToolOutput(const ToolOutput&) = delete;
  ToolOutput& operator=(const ToolOutput&) = delete;
  ~ToolOutput() {
    if (fd >= 0) ::close(fd);
  }
  // The last 4 KiB of the output.
  std::string Tail() const {
    if (fd < 0) return {};
    const off_t size = ::lseek(fd, 0, SEEK_END);
    const off_t from = size > 4096 ? size - 4096 : 0;
    std::string text(static_cast<std::size_t>(size - from), '\0');
    const ssize_t n = ::pread(fd, text.data(), text.size(), from);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return text;
  }
  // How the piece was made, from the tool's result line (a line that starts
  // with the tag; the last one counts).
  PieceMaking Making() const {
    const std::string text = Tail();
    const std::size_t at = text.rfind(tool_args::kResultTag);
    if (at == std::string::npos || (at > 0 && text[at - 1] != '\n')) return PieceMaking::kUnknown;
    const std::size_t from = at + std::strlen(tool_args::kResultTag);
    const std::size_t end = text.find('\n', from);
    const std::string word = text.substr(from, end == std::string::npos ? std::string::npos : end - from);
    if (word == tool_args::kResultSmart) return PieceMaking::kSmartCut;
    if (word == tool_args::kResultReencoded) return PieceMaking::kReencoded;
    return PieceMaking::kUnknown;
  }
  // The last non-empty line, at most 300 bytes of it.
  std::string LastLine() const {
    std::string text = Tail();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
      text.pop_back();
    const std::size_t nl = text.find_last_of('\n');
    std::string line = nl == std::string::npos ? text : text.substr(nl + 1);
    if (line.size() > 300) line.resize(300);
    return line;
  }
};
}  // namespace

namespace {
// The tool writes a piece under ".<name>.part-XXXXXX" beside it. A run that
// was killed cannot remove that file itself; the names that were not there
// before the run are its own.
std::string TempPrefix(const std::string& outputPath) {
  const std::size_t sep = outputPath.rfind(kPathSep);
  const std::string name = sep == std::string::npos ? outputPath : outputPath.substr(sep + 1);
  return "." + name + ".part-";
}
std::string DirOf(const std::string& outputPath) {
  const std::size_t sep = outputPath.rfind(kPathSep);
  if (sep == std::string::npos) return ".";
  return sep == 0 ? kPathSepStr : outputPath.substr(0, sep);
}
std::set<std::string> TempFilesOf(const std::string& outputPath) {
  std::set<std::string> names;
  const std::string prefix = TempPrefix(outputPath);
  DIR* d = ::opendir(DirOf(outputPath).c_str());
  if (!d) return names;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name.rfind(prefix, 0) == 0) names.insert(name);
  }
  ::closedir(d);
  return names;
}
void RemoveNewTempFiles(const std::string& outputPath, const std::set<std::string>& before) {
  for (const std::string& name : TempFilesOf(outputPath)) {
    if (before.count(name)) continue;
    ::unlink((DirOf(outputPath) + kPathSepStr + name).c_str());
  }
}
}  // namespace

CSplitTask::SourceState CSplitTask::CheckSource() const {
  SourceState state;
  struct stat st;
  if (::stat(job_.sourcePath.c_str(), &st) != 0) {
    // Gone only if it was there when the job began.
    state.gone = source_.known && (errno == ENOENT || errno == ENOTDIR);
  } else if (source_.known) {
    const std::int64_t mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    state.changed = st.st_dev != source_.dev || st.st_ino != source_.ino || st.st_size != source_.size ||
                    mtimeNs != source_.mtimeNs;
  }
  return state;
}

void CSplitTask::CheckSurroundings(CToolProcess& run) const {
  const SourceState source = CheckSource();
  run.sourceGone = source.gone;
  run.sourceChanged = source.changed;
  // Only a folder that is really gone counts; one that cannot be looked at
  // leaves the tool's own words to explain.
  struct stat st;
  if (::stat(DirOf(run.outputPath).c_str(), &st) != 0)
    run.outputFolderGone = errno == ENOENT || errno == ENOTDIR;
  else
    run.outputFolderGone = !S_ISDIR(st.st_mode);
}

int CSplitTask::RunToolAndWait(const std::string& commandLine, int segment, int plannedLength,
                               const std::string& outputPath) {
  auto run = std::make_shared<CToolProcess>();
  run->segment = segment;
  run->plannedLength = plannedLength;
  run->commandLine = commandLine;
  run->outputPath = outputPath;

  // A source rewritten or cut short since the plan was made would give
  // pieces that look whole but are not what was planned (a piece cut past
  // the new end comes out short): such runs are not started.
  if (CheckSource().changed) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_ || stopRequested_) return 0;
    run->sourceChanged = true;
    runs_.push_back(run);
    return 0;
  }

  ToolOutput output;
  ChildProcess child;
  const std::set<std::string> tempBefore = TempFilesOf(outputPath);
  {
    // Started under the lock, so Pause and the destructor see either no
    // child or a live one, never one half set up.
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_ || stopRequested_) return 0;
    LaunchOptions options;
    options.programDir = programDir_;
    options.quiet = true;
    // The tool's own words on a failure go to a private in-memory file, so
    // the user can be told why a piece failed.
    options.outputFd = output.fd;
    options.extraEnv = env_;
    // The tool refuses the source if it is no longer the file planned on.
    if (source_.known)
      options.extraEnv.push_back(std::string(tool_args::kSourceStampEnv) + "=" +
                                 std::to_string(static_cast<unsigned long long>(source_.dev)) + ":" +
                                 std::to_string(static_cast<unsigned long long>(source_.ino)) + ":" +
                                 std::to_string(static_cast<long long>(source_.size)) + ":" +
                                 std::to_string(static_cast<long long>(source_.mtimeNs)));
    std::string error;
    run->started = child.Start(commandLine, options, &error);
    runs_.push_back(run);
    if (!run->started) {
      run->startError = error;
      return 0;
    }
    run->pid = child.pid();
    child_ = &child;
    current_ = run;
    anyRunStarted_ = true;
    // A pause that came between two runs holds this one too.
    if (pauseRequested_) {
      child.Signal(SIGSTOP);
      run->paused = 1;
    }
  }

  // Wait without reaping: until the lock below, the pid stays ours, so a
  // Pause or Resume racing with the end can never signal a reused pid. A
  // stopped run that outlives its grace period is killed.
  std::chrono::steady_clock::time_point stopSeen{};
  bool killed = false;
  while (!child.WaitExitedNoReapFor(100)) {
    if (!stopRequested_ || killed) continue;
    const auto now = std::chrono::steady_clock::now();
    if (stopSeen == std::chrono::steady_clock::time_point{}) stopSeen = now;
    if (now - stopSeen >= std::chrono::milliseconds(kStopGraceMs)) {
      std::lock_guard<std::mutex> lock(mutex_);
      child.Signal(SIGCONT);
      child.Signal(SIGKILL);
      killed = true;
    }
  }
  const bool outputExists = IsRegularFile(outputPath);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    child_ = nullptr;
    run->waitStatus = child.Wait();
    run->outputExists = outputExists;
    run->toolMessage = output.LastLine();
    run->making = output.Making();
    if (run->Failed()) CheckSurroundings(*run);
  }
  // A tool ended by a signal had no chance to clean up after itself.
  if (run->waitStatus != -1 && WIFSIGNALED(run->waitStatus)) RemoveNewTempFiles(outputPath, tempBefore);
  return 1;
}

}  // namespace zantrel
