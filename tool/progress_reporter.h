#pragma once
// Reports the progress of the current run to the program through the
// progress channel named in the environment; silent without one.
#include <chrono>
#include <cstdint>
#include <memory>

#include "platform/progress_channel.h"

namespace zantrel::tool {

class ProgressReporter {
 public:
  // `top` is the value sent for a finished run (100 for percent).
  explicit ProgressReporter(int top);
  ~ProgressReporter();
  ProgressReporter(const ProgressReporter&) = delete;
  ProgressReporter& operator=(const ProgressReporter&) = delete;

  // Reports done/total, scaled to 0..top, when it has moved by at least one
  // step or 200 ms have passed since the last report. Never goes backwards,
  // never reaches top before Finish().
  void Update(std::int64_t done, std::int64_t total);
  // Sends 0 (the first report of a run).
  void Start();
  // Sends top.
  void Finish();

 private:
  void Send(int value);

  std::unique_ptr<ProgressChannelClient> client_;
  int top_;
  int last_ = -1;
  std::chrono::steady_clock::time_point lastTime_{};
};

}  // namespace zantrel::tool
