#pragma once
// The piece is written under a temporary name in the output folder and only
// renamed to its final name once it is complete, so an interrupted run never
// leaves a half-written file under the final name.
#include <signal.h>
#include <sys/types.h>
#include <time.h>

#include <cstddef>
#include <string>

namespace zantrel::tool {

// True when the environment grants leave to replace exactly `output`
// (tool_args::kReplaceEnv holds that path, byte for byte). The two calls
// below count such leave as `overwrite` (-y), so a program can pass it
// without changing its command lines.
bool ReplaceGranted(const std::string& output);

// Checks before any work: the output is not the input (same file by device
// and inode, also through links), and an existing output may be replaced
// only when `overwrite` or ReplaceGranted(output). False with a message
// otherwise.
bool CheckOutputTarget(const std::string& input, const std::string& output, bool overwrite,
                       std::string* error);

// The source's identity, size and modification time when a cut begins. A
// source rewritten or cut short while it is being read gives a piece that
// looks whole but is not what was asked for; one that was only unlinked or
// replaced under its name was read whole through the open file and is fine.
class SourceSnapshot {
 public:
  // False (and nothing to compare later) when `path` cannot be looked at.
  bool Take(const std::string& path);
  // True, with a message, when the file at `path` is still the same file
  // but its size or modification time differs from the snapshot.
  bool ChangedSince(const std::string& path, std::string* error) const;
  // The snapshot in the form of tool_args::kSourceStampEnv ("" when none).
  std::string Stamp() const;

 private:
  bool taken_ = false;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
  off_t size_ = 0;
  struct timespec mtime_ {};
};

// A temporary file ".<name>.part-XXXXXX" beside the final path. The
// destructor removes it unless Commit() succeeded. While one exists,
// SIGINT, SIGTERM, SIGHUP and SIGQUIT remove it before the process ends
// (the name is kept in a fixed buffer the signal handler can read); a signal
// that was ignored stays ignored, and the handlers found before come back
// when the object goes. Only one may exist at a time; main thread only.
class TempOutput {
 public:
  explicit TempOutput(std::string finalPath);
  ~TempOutput();
  TempOutput(const TempOutput&) = delete;
  TempOutput& operator=(const TempOutput&) = delete;

  // Creates the file (mode 0666 less the umask). False with a message.
  bool Create(std::string* error);
  const std::string& path() const { return tempPath_; }

  // Flushes the file to disk and renames it to the final path; replaces an
  // existing file only when `overwrite` or ReplaceGranted(final path). False
  // with a message; the temporary file is then still removed by the
  // destructor.
  //
  // Replacing: the file already under the final name is not touched before
  // this rename, and the rename swaps the name over in one step. So a run
  // that fails (here or before), is ended by a signal or is killed at any
  // point leaves the old file byte for byte as it was; afterwards the name
  // holds the new piece whole. Only the name is replaced: a symbolic link
  // there is replaced, not the file it points to.
  bool Commit(bool overwrite, std::string* error);

 private:
  static constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
  static constexpr std::size_t kSignalCount = sizeof kCleanupSignals / sizeof kCleanupSignals[0];

  void RestoreSignals();

  std::string finalPath_;
  std::string tempPath_;
  bool committed_ = false;
  struct sigaction previous_[kSignalCount] = {};
  bool installed_[kSignalCount] = {};
};

}  // namespace zantrel::tool
