#pragma once
// Windows command-line rules, because the program builds its tool command
// lines as single texts and the launcher has to split them as Windows would.
#include <string>
#include <vector>

namespace zantrel {

// Splits a command line the way CommandLineToArgvW does, including its
// special rules for the program name and for runs of quotes.
std::vector<std::string> SplitCommandLine(const std::string& line);

// Quotes one argument so that SplitCommandLine gives it back unchanged:
// quoted when empty or holding a blank, tab or quote; inner quotes as \";
// backslashes doubled only before a quote or the closing quote.
std::string QuoteArgument(const std::string& arg);

// Places a path between the quotes of a "\"%s\"" slot of a command format so
// that it splits back whole: inner quotes escaped, trailing backslashes
// doubled. Returns the text to insert between the format's own quotes.
std::string EscapeForQuotedSlot(const std::string& path);

}  // namespace zantrel
