#pragma once
// Windows command-line rules, because the program builds its tool command
// lines as single texts and the launcher has to split them as Windows would.
#include <string>
#include <vector>

namespace zantrel {

// Splits a command line the way CommandLineToArgvW does, including its
// special rules for the program name and for runs of quotes. An empty line
// gives one element, the running executable's path, as Windows does.
std::vector<std::string> SplitCommandLine(const std::string& line);

// Quotes one argument so that SplitCommandLine gives it back unchanged:
// quoted when empty or holding a blank, tab or quote; inner quotes as \";
// backslashes doubled only before a quote or the closing quote.
std::string QuoteArgument(const std::string& arg);

// Places a path between the quotes of a "\"%s\"" slot of a command format so
// that it splits back whole: inner quotes escaped, trailing backslashes
// doubled. Returns the text to insert between the format's own quotes.
std::string EscapeForQuotedSlot(const std::string& path);

// Builds a whole command line that SplitCommandLine turns back into `args`.
// The program name follows its own rule (no escapes exist there), so it is
// quoted plainly when it holds a blank or a tab or is empty. Returns false,
// leaving *line untouched, when args is empty or the program name holds a '"'
// (such a name cannot be written).
bool BuildCommandLine(const std::vector<std::string>& args, std::string* line);

}  // namespace zantrel
