#include "tool/progress_reporter.h"

#include <algorithm>

namespace zantrel::tool {

ProgressReporter::ProgressReporter(int top)
    : client_(ProgressChannelClient::FromEnvironment()), top_(std::max(top, 1)) {}

ProgressReporter::~ProgressReporter() = default;

void ProgressReporter::Send(int value) {
  last_ = value;
  lastTime_ = std::chrono::steady_clock::now();
  if (client_ && !client_->SendPercent(value)) client_.reset();  // the program is gone
}

void ProgressReporter::Start() { Send(0); }

void ProgressReporter::Finish() { Send(top_); }

void ProgressReporter::Update(std::int64_t done, std::int64_t total) {
  if (total <= 0) return;
  done = std::clamp<std::int64_t>(done, 0, total);
  // top itself is kept for Finish(), sent once the file is in place.
  // done * top can pass 2^63 for a long (or lying) source; the product is
  // taken in 128 bits, and the quotient is at most top.
  const auto scaled = static_cast<std::int64_t>(static_cast<__int128>(done) * top_ / total);
  int value = static_cast<int>(std::min<std::int64_t>(scaled, top_ - 1));
  value = std::max(value, last_);
  const int step = std::max(top_ / 100, 1);
  const auto now = std::chrono::steady_clock::now();
  if (value >= last_ + step || (value > last_ && now - lastTime_ >= std::chrono::milliseconds(200)))
    Send(value);
  else if (now - lastTime_ >= std::chrono::milliseconds(200) && client_)
    Send(value);  // a sign of life while a slow stretch makes no step
}

}  // namespace zantrel::tool
