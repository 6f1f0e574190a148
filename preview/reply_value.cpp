#include "preview/reply_value.h"

std::string ExtractReplyValue(const std::string& reply) {
  constexpr std::size_t kMaxValue = 127;  // the value field's capacity
  std::string value;
  bool collecting = false;
  for (char c : reply) {
    if (!collecting) {
      collecting = c == '>';
      continue;
    }
    if (c == '<' || value.size() == kMaxValue) break;
    value += c;
  }
  return value;
}
