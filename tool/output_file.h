#pragma once
// The piece is written under a temporary name in the output folder and only
// renamed to its final name once it is complete, so an interrupted run never
// leaves a half-written file under the final name.
#include <string>

namespace zantrel::tool {

// Checks before any work: the output is not the input (same file by device
// and inode, also through links), and an existing output may be replaced
// only when `overwrite`. False with a message otherwise.
bool CheckOutputTarget(const std::string& input, const std::string& output, bool overwrite,
                       std::string* error);

// A temporary file ".<name>.part-XXXXXX" beside the final path. The
// destructor removes it unless Commit() succeeded. While one exists,
// SIGINT, SIGTERM, SIGHUP and SIGQUIT remove it before the process ends
// (the name is kept in a fixed buffer the signal handler can read). Only one
// may exist at a time; main thread only.
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
  // existing file only when `overwrite`. False with a message; the temporary
  // file is then still removed by the destructor.
  bool Commit(bool overwrite, std::string* error);

 private:
  std::string finalPath_;
  std::string tempPath_;
  bool committed_ = false;
};

}  // namespace zantrel::tool
