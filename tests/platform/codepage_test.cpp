#include <clocale>
#include <string>

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "tests/platform/gbk_locale.h"

using zantrel::CharLength;
using zantrel::CodePage;
using zantrel::MbsChr;
using zantrel::MbsRChr;

namespace {
constexpr auto npos = std::string::npos;
}

TEST(PlatformCodePage, Utf8CharLengths) {
  EXPECT_EQ(CharLength("a", CodePage::Utf8), 1u);
  EXPECT_EQ(CharLength("\xC3\xA9x", CodePage::Utf8), 2u);          // é
  EXPECT_EQ(CharLength("\xE4\xB8\xAD", CodePage::Utf8), 3u);       // 中
  EXPECT_EQ(CharLength("\xF0\x9F\x98\x80", CodePage::Utf8), 4u);   // emoji
  // Malformed input steps one byte at a time.
  EXPECT_EQ(CharLength("\xC0\x80", CodePage::Utf8), 1u);           // overlong
  EXPECT_EQ(CharLength("\xE4\xB8", CodePage::Utf8), 1u);           // cut short
  EXPECT_EQ(CharLength("\xED\xA0\x80", CodePage::Utf8), 1u);       // surrogate
  EXPECT_EQ(CharLength("\x80", CodePage::Utf8), 1u);
  EXPECT_EQ(CharLength("", CodePage::Utf8), 0u);
}

TEST(PlatformCodePage, GbkCharLengths) {
  EXPECT_EQ(CharLength("\x95\x5C", CodePage::Gbk), 2u);   // trail byte is '\\'
  EXPECT_EQ(CharLength("\x81\x7C", CodePage::Gbk), 2u);   // trail byte is '|'
  EXPECT_EQ(CharLength("\xD6\xD0", CodePage::Gbk), 2u);   // 中
  EXPECT_EQ(CharLength("\x81\x7F", CodePage::Gbk), 1u);   // 0x7F is no trail byte
  EXPECT_EQ(CharLength("\x81\x3F", CodePage::Gbk), 1u);
  EXPECT_EQ(CharLength("\x81", CodePage::Gbk), 1u);       // lead byte at the end
  EXPECT_EQ(CharLength("\x80\x40", CodePage::Gbk), 1u);
  EXPECT_EQ(CharLength("\xFF\x40", CodePage::Gbk), 1u);
  EXPECT_EQ(CharLength("\\", CodePage::Gbk), 1u);
}

TEST(PlatformCodePage, SearchesNeverMatchATrailByte) {
  // "a\" then a GBK character whose trail byte is 0x5C, then "b".
  const std::string s = "a\\\x95\x5C" "b";
  EXPECT_EQ(MbsRChr(s, '\\', CodePage::Gbk), 1u);
  // Byte-wise (UTF-8 treats 0x95 as a stray byte) the trail byte is found.
  EXPECT_EQ(MbsRChr(s, '\\', CodePage::Utf8), 3u);

  const std::string t = "\x95\x5C" "x\\y\\";
  EXPECT_EQ(MbsChr(t, '\\', CodePage::Gbk), 3u);
  EXPECT_EQ(MbsRChr(t, '\\', CodePage::Gbk), 5u);

  const std::string bar = "\x81\x7C|\x81\x7C";
  EXPECT_EQ(MbsChr(bar, '|', CodePage::Gbk), 2u);
  EXPECT_EQ(MbsRChr(bar, '|', CodePage::Gbk), 2u);

  EXPECT_EQ(MbsRChr("\x95\x5C", '\\', CodePage::Gbk), npos);
  EXPECT_EQ(MbsChr("", '\\', CodePage::Gbk), npos);
  // A lead byte can never be searched for as a character of its own.
  EXPECT_EQ(MbsChr("\x95\x5C", '\x95', CodePage::Gbk), npos);
}

TEST(PlatformCodePage, CurrentCodePageFollowsSetlocale) {
  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  EXPECT_EQ(zantrel::CurrentCodePage(), CodePage::Utf8);
  std::setlocale(LC_CTYPE, "C");
  EXPECT_EQ(zantrel::CurrentCodePage(), CodePage::Utf8);
  std::setlocale(LC_CTYPE, saved.c_str());
}

TEST(PlatformCodePage, GbkLocaleSelectsGbkStepping) {
  zantrel_test::GbkLocale gbk;
  if (!gbk.active()) GTEST_SKIP() << "cannot build a GBK locale here";
  EXPECT_EQ(zantrel::CurrentCodePage(), CodePage::Gbk);
  // The default arguments follow the locale.
  EXPECT_EQ(MbsRChr("a\\\x95\x5C", '\\'), 1u);
  EXPECT_EQ(CharLength("\x95\x5C"), 2u);
  EXPECT_EQ(zantrel::ToUtf8("\xD6\xD0"), "\xE4\xB8\xAD");
}

TEST(PlatformCodePage, GbkConversions) {
  const std::string gbk = "\xD6\xD0\xCE\xC4 ok";                    // 中文 ok
  const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87 ok";
  EXPECT_EQ(zantrel::ToUtf8(gbk, CodePage::Gbk), utf8);
  EXPECT_EQ(zantrel::FromUtf8(utf8, CodePage::Gbk), gbk);
  // Bad bytes are replaced, and the rest of the text survives.
  EXPECT_EQ(zantrel::ToUtf8("a\xFF" "b", CodePage::Gbk), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(zantrel::FromUtf8("a\xF0\x9F\x98\x80" "b", CodePage::Gbk), "a?b");
  // UTF-8 is passed through untouched, even when malformed.
  EXPECT_EQ(zantrel::ToUtf8("x\xFFy", CodePage::Utf8), "x\xFFy");
  EXPECT_EQ(zantrel::FromUtf8("x\xFFy", CodePage::Utf8), "x\xFFy");
}
