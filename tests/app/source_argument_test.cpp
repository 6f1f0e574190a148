// The file named on the command line becomes a full path, as a file dialog
// would return it.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/source_argument.h"

namespace fs = std::filesystem;

TEST(SourceArgument, FirstNonOptionMadeAbsolute) {
  using zantrel::SourceFromArguments;
  EXPECT_FALSE(SourceFromArguments({}, "/work"));
  EXPECT_FALSE(SourceFromArguments({"--verbose", "-x", ""}, "/work"));
  EXPECT_EQ(*SourceFromArguments({"/media/clip.flv"}, "/work"), "/media/clip.flv");
  EXPECT_EQ(*SourceFromArguments({"clip.flv"}, "/work"), "/work/clip.flv");
  EXPECT_EQ(*SourceFromArguments({"./a/../b/clip.mp4"}, "/work/"), "/work/b/clip.mp4");
  // Options are passed over; later files are ignored.
  EXPECT_EQ(*SourceFromArguments({"-v", "one.avi", "two.avi"}, "/w"), "/w/one.avi");
  // After "--" a leading dash is part of the name.
  EXPECT_EQ(*SourceFromArguments({"--", "-odd.3gp"}, "/w"), "/w/-odd.3gp");
  EXPECT_EQ(*SourceFromArguments({"--", "--"}, "/w"), "/w/--");
  // Names are bytes, kept as given (GBK "视频" here, and a 0x5C trail byte).
  const std::string gbk = "\xCA\xD3\xC6\xB5\x5C.flv";
  EXPECT_EQ(*SourceFromArguments({gbk}, "/w"), "/w/" + gbk);
}

TEST(SourceArgument, RelativeToTheCurrentFolder) {
  const std::string cwd = fs::current_path().string();
  EXPECT_EQ(*zantrel::SourceFromArguments({"x.flv"}), cwd + "/x.flv");
}
