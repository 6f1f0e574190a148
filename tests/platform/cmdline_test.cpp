#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/cmdline.h"
#include "platform/module.h"

using zantrel::BuildCommandLine;
using zantrel::EscapeForQuotedSlot;
using zantrel::QuoteArgument;
using zantrel::SplitCommandLine;
using Args = std::vector<std::string>;

namespace {
// The arguments after the program name.
Args Rest(const std::string& line) {
  Args a = SplitCommandLine(line);
  a.erase(a.begin());
  return a;
}
}  // namespace

TEST(PlatformCmdline, SeparatorsAndPlainCharacters) {
  EXPECT_EQ(SplitCommandLine("exe arg=1 arg-2 three\tfour\rfour\nfour "),
            Args({"exe", "arg=1", "arg-2", "three", "four\rfour\nfour"}));
  EXPECT_EQ(SplitCommandLine("exe arg\"one\" \"second\"arg thirdarg"),
            Args({"exe", "argone", "secondarg", "thirdarg"}));
  EXPECT_EQ(SplitCommandLine("exe \"one^\" \"arg\"&two three|four"),
            Args({"exe", "one^", "arg&two", "three|four"}));
  EXPECT_EQ(SplitCommandLine("exe 'four five` six\\ $even)"),
            Args({"exe", "'four", "five`", "six\\", "$even)"}));
  EXPECT_EQ(SplitCommandLine("exe %TMPDIR% %2"), Args({"exe", "%TMPDIR%", "%2"}));
  EXPECT_EQ(SplitCommandLine("exe   a  \t b   "), Args({"exe", "a", "b"}));
}

TEST(PlatformCmdline, Backslashes) {
  const Args plain = {"exe", "o\\ne", "t\\\\wo", "t\\\\\\ree", "f\\\\\\\\our"};
  EXPECT_EQ(SplitCommandLine("exe o\\ne t\\\\wo t\\\\\\ree f\\\\\\\\our"), plain);
  EXPECT_EQ(SplitCommandLine("exe \"o\\ne\" \"t\\\\wo\" \"t\\\\\\ree\" \"f\\\\\\\\our\""), plain);
  EXPECT_EQ(SplitCommandLine("exe \\\"one \\\\\"two\" \\\\\\\"three \\\\\\\\\"four\" end"),
            Args({"exe", "\"one", "\\two", "\\\"three", "\\\\four", "end"}));
  EXPECT_EQ(SplitCommandLine(
                "exe \"one\\\" still\" \"two\\\\\" \"three\\\\\\\" still\" \"four\\\\\\\\\" end"),
            Args({"exe", "one\" still", "two\\", "three\\\" still", "four\\\\", "end"}));
  EXPECT_EQ(Rest("x \"C:\\dir\\\" next"), Args({"C:\\dir\" next"}));
}

TEST(PlatformCmdline, UnclosedAndEmptyQuotes) {
  EXPECT_EQ(SplitCommandLine("exe arg1 \"unclosed"), Args({"exe", "arg1", "unclosed"}));
  EXPECT_EQ(SplitCommandLine("exe arg1 \"un closed  "), Args({"exe", "arg1", "un closed  "}));
  EXPECT_EQ(SplitCommandLine("exe arg1 \""), Args({"exe", "arg1", ""}));
  EXPECT_EQ(SplitCommandLine("exe \"\" x"), Args({"exe", "", "x"}));
}

TEST(PlatformCmdline, DocumentedExamples) {
  EXPECT_EQ(Rest("prog \"a b c\" d e"), Args({"a b c", "d", "e"}));
  EXPECT_EQ(Rest("prog \"ab\\\"c\" \"\\\\\" d"), Args({"ab\"c", "\\", "d"}));
  EXPECT_EQ(Rest("prog a\\\\\\b d\"e f\"g h"), Args({"a\\\\\\b", "de fg", "h"}));
  EXPECT_EQ(Rest("prog a\\\\\\\"b c d"), Args({"a\\\"b", "c", "d"}));
  EXPECT_EQ(Rest("prog a\\\\\\\\\"b c\" d e"), Args({"a\\\\b c", "d", "e"}));
}

TEST(PlatformCmdline, ProgramNameRules) {
  EXPECT_EQ(SplitCommandLine("exe\"file\"path arg1"), Args({"exe\"file\"path", "arg1"}));
  EXPECT_EQ(SplitCommandLine("exe\"path\\ arg1"), Args({"exe\"path\\", "arg1"}));
  EXPECT_EQ(SplitCommandLine("\\\"exe \"arg one\""), Args({"\\\"exe", "arg one"}));
  EXPECT_EQ(SplitCommandLine("\"spaced exe\" \"next arg\""), Args({"spaced exe", "next arg"}));
  EXPECT_EQ(SplitCommandLine("\"exe\"arg\" one\" argtwo"), Args({"exe", "arg one", "argtwo"}));
  EXPECT_EQ(SplitCommandLine("\"spaced exe\\\"arg1 arg2"), Args({"spaced exe\\", "arg1", "arg2"}));
  EXPECT_EQ(SplitCommandLine("\"two\"\" arg1 "), Args({"two", " arg1 "}));
  EXPECT_EQ(SplitCommandLine("\"three\"\"\" arg2"), Args({"three", "", "arg2"}));
  EXPECT_EQ(SplitCommandLine("\"four\"\"\"\"arg1"), Args({"four", "\"arg1"}));
  EXPECT_EQ(SplitCommandLine(" \"arg\"one argtwo"), Args({"", "argone", "argtwo"}));
  EXPECT_EQ(SplitCommandLine("\"unclosed exe"), Args({"unclosed exe"}));
  EXPECT_EQ(SplitCommandLine("exe"), Args({"exe"}));
  // An empty line names the running program.
  EXPECT_EQ(SplitCommandLine(""), Args({zantrel::GetModuleFileName()}));
}

TEST(PlatformCmdline, RunsOfQuotesDivideByThree) {
  EXPECT_EQ(Rest("exe two\"\"quotes next"), Args({"twoquotes", "next"}));
  EXPECT_EQ(Rest("exe three\"\"\"quotes next"), Args({"three\"quotes", "next"}));
  EXPECT_EQ(Rest("exe four\"\"\"\" quotes\" next"), Args({"four\" quotes", "next"}));
  EXPECT_EQ(Rest("exe six\"\"\"\"\"\"quotes next"), Args({"six\"\"quotes", "next"}));
  EXPECT_EQ(Rest("exe \"two\"\"quotes next"), Args({"two\"quotes", "next"}));
  EXPECT_EQ(Rest("exe \"two\"\" next"), Args({"two\"", "next"}));
  EXPECT_EQ(Rest("exe \"five\"\"\"\"\"quotes next"), Args({"five\"\"quotes", "next"}));
  EXPECT_EQ(Rest("exe \"the crazy \\\\\"\"\"\\\\\" quotes"),
            Args({"the crazy \\\"\\", "quotes"}));
  EXPECT_EQ(Rest("exe a\"b\"\" c d"), Args({"ab\"", "c", "d"}));
}

TEST(PlatformCmdline, TheToolCommandLine) {
  EXPECT_EQ(SplitCommandLine("ZantrelCore.exe -i \"/home/u/My Videos/a.mp4\"  -ss 0 -t 30 "
                             "\"/out/a[1].mp4\"  6 100 100"),
            Args({"ZantrelCore.exe", "-i", "/home/u/My Videos/a.mp4", "-ss", "0", "-t", "30",
                  "/out/a[1].mp4", "6", "100", "100"}));
}

TEST(PlatformCmdline, QuoteArgument) {
  EXPECT_EQ(QuoteArgument("plain"), "plain");
  EXPECT_EQ(QuoteArgument("a\\b\\"), "a\\b\\");  // unquoted: backslashes stay as they are
  EXPECT_EQ(QuoteArgument(""), "\"\"");
  EXPECT_EQ(QuoteArgument("a b"), "\"a b\"");
  EXPECT_EQ(QuoteArgument("a\tb"), "\"a\tb\"");
  EXPECT_EQ(QuoteArgument("say \"hi\""), "\"say \\\"hi\\\"\"");
  EXPECT_EQ(QuoteArgument("dir\\ x\\"), "\"dir\\ x\\\\\"");
  EXPECT_EQ(QuoteArgument("q\\\"x"), "\"q\\\\\\\"x\"");
  EXPECT_EQ(EscapeForQuotedSlot("C:\\out\\"), "C:\\out\\\\");
  EXPECT_EQ(EscapeForQuotedSlot("a\"b"), "a\\\"b");
  EXPECT_EQ(EscapeForQuotedSlot("/plain/path.mp4"), "/plain/path.mp4");
}

TEST(PlatformCmdline, RoundTrips) {
  const std::vector<std::string> awkward = {
      "plain", "with space", "tab\there", "\"", "\"\"", "\"\"\"", "say \"hi\"", "trail\\",
      "trail\\\\", "two words\\", "\\\"", "\\\\\"\\", "", " ", "a[1].mp4", "x&y|z^%PATH%",
      "'single'", "\xE4\xB8\xAD\xE6\x96\x87 \xE8\xA7\x86\xE9\xA2\x91.mp4",
      "\x95\x5C\xD6\xD0\\\x81\x7C",  // GBK bytes with 0x5C and 0x7C trail bytes
      "/home/u/My \"Videos\"/a b\\", "ends with quote\""};
  // Each string as a lone argument, then all of them at once.
  for (const auto& s : awkward) {
    std::string line;
    ASSERT_TRUE(BuildCommandLine({"prog", s}, &line));
    EXPECT_EQ(SplitCommandLine(line), Args({"prog", s})) << "line: " << line;
  }
  Args all = {"/opt/My Apps/ZantrelCore.exe"};
  all.insert(all.end(), awkward.begin(), awkward.end());
  std::string line;
  ASSERT_TRUE(BuildCommandLine(all, &line));
  EXPECT_EQ(SplitCommandLine(line), all);

  // A path put into a "\"%s\"" slot of a command format splits back whole.
  for (const auto& s : awkward) {
    const std::string cmd = "ZantrelCore.exe -i \"" + EscapeForQuotedSlot(s) + "\"  -ss 0 -t 5 \"" +
                            EscapeForQuotedSlot(s) + "\"  6 100 100 ";
    EXPECT_EQ(SplitCommandLine(cmd),
              Args({"ZantrelCore.exe", "-i", s, "-ss", "0", "-t", "5", s, "6", "100", "100"}))
        << "line: " << cmd;
  }
}

TEST(PlatformCmdline, BuildRefusesAnUnwritableProgramName) {
  std::string line = "untouched";
  EXPECT_FALSE(BuildCommandLine({}, &line));
  EXPECT_FALSE(BuildCommandLine({"pro\"g", "x"}, &line));
  EXPECT_EQ(line, "untouched");
  ASSERT_TRUE(BuildCommandLine({"", "x"}, &line));
  EXPECT_EQ(SplitCommandLine(line), Args({"", "x"}));
  ASSERT_TRUE(BuildCommandLine({"back\\slash\\", "x"}, &line));
  EXPECT_EQ(SplitCommandLine(line), Args({"back\\slash\\", "x"}));
}
