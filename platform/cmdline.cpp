#include "platform/cmdline.h"

#include "platform/module.h"

namespace zantrel {

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> args;
  if (line.empty()) {
    args.push_back(GetModuleFileName());
    return args;
  }
  const std::size_t n = line.size();
  std::size_t i = 0;

  // The program name: quotes delimit it but nothing escapes inside it.
  std::string arg0;
  if (line[0] == '"') {
    ++i;
    while (i < n && line[i] != '"') arg0 += line[i++];
    if (i < n) ++i;  // the closing quote
  } else {
    while (i < n && !IsBlank(line[i])) arg0 += line[i++];
  }
  args.push_back(std::move(arg0));

  while (i < n && IsBlank(line[i])) ++i;
  if (i == n) return args;

  std::string cur;
  int quote = 0;           // 0 outside quotes, 1 inside (2 only transiently)
  std::size_t slashes = 0;  // backslashes just copied into cur
  while (i < n) {
    const char c = line[i];
    if (IsBlank(c) && quote == 0) {
      args.push_back(std::move(cur));
      cur.clear();
      slashes = 0;
      while (i < n && IsBlank(line[i])) ++i;
      if (i == n) return args;
      continue;
    }
    if (c == '\\') {
      cur += c;
      ++slashes;
      ++i;
      continue;
    }
    if (c == '"') {
      if (slashes % 2 == 0) {
        // 2n backslashes and a quote: n backslashes, the quote toggles.
        cur.erase(cur.size() - slashes / 2);
        ++quote;
      } else {
        // 2n+1 backslashes and a quote: n backslashes and a literal quote.
        cur.erase(cur.size() - slashes / 2 - 1);
        cur += '"';
      }
      slashes = 0;
      ++i;
      // Further quotes of the same run: every third one is literal and
      // leaves quoting open (the "divide by 3" rule).
      while (i < n && line[i] == '"') {
        if (++quote == 3) {
          cur += '"';
          quote = 0;
        }
        ++i;
      }
      if (quote == 2) quote = 0;
      continue;
    }
    cur += c;
    slashes = 0;
    ++i;
  }
  args.push_back(std::move(cur));
  return args;
}

std::string EscapeForQuotedSlot(const std::string& path) {
  std::string out;
  out.reserve(path.size() + 8);
  std::size_t slashes = 0;
  for (char c : path) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    if (c == '"') {
      // Backslashes before a quote are doubled, then the quote escaped.
      out.append(slashes * 2 + 1, '\\');
      out += '"';
    } else {
      out.append(slashes, '\\');
      out += c;
    }
    slashes = 0;
  }
  // Before the slot's closing quote the backslashes must be doubled too.
  out.append(slashes * 2, '\\');
  return out;
}

std::string QuoteArgument(const std::string& arg) {
  const bool needQuotes = arg.empty() || arg.find_first_of(" \t\"") != std::string::npos;
  if (!needQuotes) return arg;
  return '"' + EscapeForQuotedSlot(arg) + '"';
}

bool BuildCommandLine(const std::vector<std::string>& args, std::string* line) {
  if (args.empty() || args[0].find('"') != std::string::npos) return false;
  std::string out;
  const std::string& prog = args[0];
  if (prog.empty() || prog.find_first_of(" \t") != std::string::npos)
    out = '"' + prog + '"';
  else
    out = prog;
  for (std::size_t k = 1; k < args.size(); ++k) {
    out += ' ';
    out += QuoteArgument(args[k]);
  }
  *line = std::move(out);
  return true;
}

}  // namespace zantrel
