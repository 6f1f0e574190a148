// zantrel-split's command line and its JSON strings, without running it.
#include <gtest/gtest.h>

#include "cli/options.h"
#include "cli/report.h"

using zantrel::cli::ParseOptions;
using zantrel::cli::ParseTimeUs;

TEST(CliTimes, ExactInMicrosecondsAndStrictAboutForm) {
  std::int64_t us = -1;
  const std::pair<const char*, std::int64_t> good[] = {
      {"0", 0},
      {"90", 90000000},
      {"12.345", 12345000},
      {"0.000001", 1},
      // 0.1 + 0.2 in doubles is not 0.3: no floating point on the way.
      {"0.3", 300000},
      {"2:03", 123000000},
      {"1:02:03.25", 3723250000},
      {"100:00:00", 360000000000},
  };
  for (const auto& [text, want] : good) {
    EXPECT_TRUE(ParseTimeUs(text, &us)) << text;
    EXPECT_EQ(us, want) << text;
  }
  for (const char* bad : {"", "-1", "+1", " 1", "1 ", "1.", ".5", "1.2345678", "1:60", "1:00:60",
                          "1:60:00", "1::2", "1:2:3:4", "1e3", "0x10", "99999999999"})
    EXPECT_FALSE(ParseTimeUs(bad, &us)) << bad;

  EXPECT_EQ(zantrel::cli::SecondsText(12500000), "12.5");
  EXPECT_EQ(zantrel::cli::SecondsText(1), "0.000001");
  EXPECT_EQ(zantrel::cli::ClockText(3723250000), "1:02:03.250");
  EXPECT_EQ(zantrel::cli::ClockText(7000001), "0:00:07.000001");
}

TEST(CliOptions, OneRequestOrOneClearError) {
  zantrel::cli::Options o;
  std::string error;
  ASSERT_TRUE(ParseOptions({"a.mp4", "--at=1,2.5,0:00:03", "--jobs", "3", "--", "--beside"}, &o, &error))
      << error;
  EXPECT_EQ(o.mode, zantrel::cli::CutMode::kAt);
  EXPECT_EQ(o.atUs, (std::vector<std::int64_t>{1000000, 2500000, 3000000}));
  EXPECT_EQ(o.jobs, 3);
  // After "--" a name that looks like an option is a file.
  EXPECT_EQ(o.files, (std::vector<std::string>{"a.mp4", "--beside"}));
  EXPECT_FALSE(o.beside);

  // --help needs nothing else.
  ASSERT_TRUE(ParseOptions({"--help"}, &o, &error));
  EXPECT_TRUE(o.help);

  const std::pair<std::vector<std::string>, const char*> bad[] = {
      {{"a.mp4"}, "say how to cut"},
      {{"--parts", "2", "--every", "5", "a.mp4"}, "one of"},
      {{"--parts", "2"}, "no file"},
      {{"--parts", "0", "a.mp4"}, "--parts"},
      {{"--every", "2.5", "a.mp4"}, "whole seconds"},
      {{"--at", "1,,2", "a.mp4"}, "--at"},
      {{"--parts", "2", "--out", "o", "--beside", "a.mp4"}, "exclude"},
      {{"--parts", "2", "--jobs", "0", "a.mp4"}, "--jobs"},
      {{"--parts", "2", "--jobs"}, "needs a value"},
      {{"--parts", "2", "--quiet=yes", "a.mp4"}, "takes no value"},
      {{"--part", "2", "a.mp4"}, "unknown option '--part'"},
  };
  for (const auto& [args, words] : bad) {
    error.clear();
    EXPECT_FALSE(ParseOptions(args, &o, &error)) << args[0];
    EXPECT_NE(error.find(words), std::string::npos) << error;
  }
}

TEST(CliJson, StringsEscapeControlsAndKeepNonUtf8BytesAsSurrogates) {
  using zantrel::cli::JsonString;
  EXPECT_EQ(JsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
  EXPECT_EQ(JsonString("视频.mp4"), "\"视频.mp4\"");
  // A lone byte, a GBK pair, an overlong '/' and a cut-off sequence.
  EXPECT_EQ(JsonString("\xff"), "\"\\udcff\"");
  EXPECT_EQ(JsonString("\xca\xd3"), "\"\\udcca\\udcd3\"");
  EXPECT_EQ(JsonString("\xc0\xaf"), "\"\\udcc0\\udcaf\"");
  EXPECT_EQ(JsonString("a\xe8\xa7"), "\"a\\udce8\\udca7\"");
}
