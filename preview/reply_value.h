#pragma once
// Reading a value out of the player's XML reply. Free of Qt so that it can be
// fuzzed on its own; any thread, no state.
#include <string>

// Text between the first '>' and the next '<' of a reply, at most 127 chars.
// A reply without '>' gives "".
std::string ExtractReplyValue(const std::string& reply);
