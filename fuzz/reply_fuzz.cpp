// The player's reply extraction on arbitrary replies: the value is the text
// right after the first '>' up to '<', never longer than 127 bytes.
#include <cstdlib>
#include <string>

#include "preview/reply_value.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  const std::string value = ExtractReplyValue(reply);
  if (value.size() > 127 || value.find('<') != std::string::npos) std::abort();
  const std::size_t gt = reply.find('>');
  if (gt == std::string::npos) {
    if (!value.empty()) std::abort();
  } else if (reply.compare(gt + 1, value.size(), value) != 0) {
    std::abort();
  }
  return 0;
}
