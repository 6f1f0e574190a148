#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "platform/ini.h"
#include "tests/platform/gbk_locale.h"

namespace fs = std::filesystem;

namespace {

class PlatformIni : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zantrel-ini-XXXXXX";
    dir_ = mkdtemp(tmpl);
    file_ = (dir_ / "settings.ini").string();
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }

  void Put(const std::string& bytes) { std::ofstream(file_, std::ios::binary) << bytes; }
  std::string Contents() const {
    std::ifstream in(file_, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Value and return value of a lookup with a roomy buffer.
  std::pair<std::string, unsigned> Get(const char* section, const char* key,
                                       const char* def = "default", std::uint32_t size = 4096) {
    std::string buf(size + 1, '\x7F');
    const unsigned n = GetPrivateProfileStringA(section, key, def, buf.data(), size, file_.c_str());
    return {std::string(buf.c_str()), n};
  }
  std::string GetS(const char* section, const char* key, const char* def = "default") {
    return Get(section, key, def).first;
  }
  unsigned GetI(const char* section, const char* key, int def) {
    return GetPrivateProfileIntA(section, key, def, file_.c_str());
  }
  bool Write(const char* section, const char* key, const char* value) {
    return WritePrivateProfileStringA(section, key, value, file_.c_str());
  }
  std::size_t FilesInDir() const {
    std::size_t n = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir_)) ++n;
    return n;
  }

  fs::path dir_;
  std::string file_;
};

using Result = std::pair<std::string, unsigned>;

}  // namespace

TEST_F(PlatformIni, MissingFileSectionOrKeyGivesDefault) {
  EXPECT_EQ(Get("Setting", "Language"), Result("default", 7));
  EXPECT_FALSE(fs::exists(file_));  // a read creates nothing
  Put("[Setting]\r\nLanguage=English\r\n");
  EXPECT_EQ(Get("Other", "Language"), Result("default", 7));
  EXPECT_EQ(Get("Setting", "Lang"), Result("default", 7));
  EXPECT_EQ(Get("Setting", "Language"), Result("English", 7));
  // Empty file name: the default too.
  char buf[32];
  EXPECT_EQ(GetPrivateProfileStringA("Setting", "Language", "d", buf, sizeof buf, ""), 1u);
  EXPECT_STREQ(buf, "d");
}

TEST_F(PlatformIni, EmptyValuePresentIsNotTheDefault) {
  Put("[S]\r\nk=\r\nblank=   \r\n");
  EXPECT_EQ(Get("S", "k"), Result("", 0));
  EXPECT_EQ(Get("S", "blank"), Result("", 0));
}

TEST_F(PlatformIni, DefaultHandling) {
  EXPECT_EQ(Get("S", "k", nullptr), Result("", 0));
  EXPECT_EQ(Get("S", "k", "default  "), Result("default", 7));
  EXPECT_EQ(Get("S", "k", "   default   "), Result("   default", 10));
  EXPECT_EQ(Get("S", "k", "\tdefault\t"), Result("\tdefault\t", 9));
  EXPECT_EQ(Get("S", "k", "defaultvalue", 5), Result("defa", 4));  // truncated like a value
}

TEST_F(PlatformIni, QuotesAreStrippedAsOnePair) {
  Put("[S]\r\n"
      "a=  \"   v   \"  \r\n"
      "b='v'\r\n"
      "c=\"'v'\"\r\n"
      "d='\"v\"'\r\n"
      "e=  \"   v   '  \r\n"
      "f='\"v'\"\r\n"
      "g=\"abc\r\n"
      "h=\"\"\r\n"
      "i=\"\r\n"
      "j=\"val2\"\r\n");
  EXPECT_EQ(GetS("S", "a"), "   v   ");
  EXPECT_EQ(GetS("S", "b"), "v");
  EXPECT_EQ(GetS("S", "c"), "'v'");
  EXPECT_EQ(GetS("S", "d"), "\"v\"");
  EXPECT_EQ(GetS("S", "e"), "\"   v   '");
  EXPECT_EQ(GetS("S", "f"), "'\"v'\"");
  EXPECT_EQ(GetS("S", "g"), "\"abc");
  EXPECT_EQ(Get("S", "h"), Result("", 0));
  EXPECT_EQ(GetS("S", "i"), "\"");
  EXPECT_EQ(Get("S", "j"), Result("val2", 4));
}

TEST_F(PlatformIni, WhiteSpaceAndLetterCase) {
  Put(" \t[ SectionName ]\r\n \tTestKey\t = \tTestValue\t \r\nk=a=b\r\n");
  EXPECT_EQ(Get("SectionName", "TestKey"), Result("TestValue", 9));
  EXPECT_EQ(GetS("sectionname", "TESTKEY"), "TestValue");  // names ignore case, values keep it
  EXPECT_EQ(GetS("  SectionName  ", "  TestKey "), "TestValue");  // caller's spaces ignored
  EXPECT_EQ(GetS("\tSectionName", "TestKey", "d"), "d");            // ... but not tabs
  EXPECT_EQ(GetS("SectionName", "TestKey\t", "d"), "d");
  EXPECT_EQ(GetS("SectionName", "k"), "a=b");
}

TEST_F(PlatformIni, LineEndings) {
  Put("[S]\nlf=1\n[T]\rcr=2\r[U]\r\ncrlf=3");
  EXPECT_EQ(GetS("S", "lf"), "1");
  EXPECT_EQ(GetS("T", "cr"), "2");
  EXPECT_EQ(GetS("U", "crlf"), "3");
}

TEST_F(PlatformIni, SectionHeaders) {
  Put("k0=before\r\n"
      "[sec]key=v\r\n"
      "[NoClose   \r\nk1=1\r\n"
      "Fake]\r\nk2=2\r\n"
      "[[br]\r\nk3=3\r\n"
      "[a]whoops]\r\nk4=4\r\n"
      "[]\r\nk5=5\r\n");
  EXPECT_EQ(GetS("", "k0", "d"), "d");  // entries before the first section: unreachable
  EXPECT_EQ(GetS("sec", "key", "d"), "d");
  EXPECT_EQ(GetS("NoClose", "k1"), "1");
  EXPECT_EQ(GetS("NoClose", "k2"), "2");  // "Fake]" is no header
  EXPECT_EQ(GetS("[br", "k3"), "3");
  EXPECT_EQ(GetS("a", "k4"), "4");
  EXPECT_EQ(GetS("a]whoops", "k4", "d"), "d");
  EXPECT_EQ(GetS("", "k5"), "5");  // "[]" is the section ""
}

TEST_F(PlatformIni, FirstSectionAndFirstKeyWin) {
  Put("[S]\r\nK=one\r\nK=two\r\n[S]\r\nL=later\r\n");
  EXPECT_EQ(GetS("S", "K"), "one");
  EXPECT_EQ(GetS("S", "L", "d"), "d");
}

TEST_F(PlatformIni, CommentsAndOddEntries) {
  Put("[S]\r\n;key=v\r\n \t;key2=v\r\nk=;nocomment\r\nk2=v ;c\r\nk3=#x\r\n#k=v\r\nname3\r\n"
      "=val_no_key\r\n\"q\"=quoted\r\n");
  EXPECT_EQ(GetS("S", ";key", "d"), "d");
  EXPECT_EQ(GetS("S", "key", "d"), "d");
  EXPECT_EQ(GetS("S", "key2", "d"), "d");
  EXPECT_EQ(GetS("S", "k"), ";nocomment");
  EXPECT_EQ(GetS("S", "k2"), "v ;c");
  EXPECT_EQ(GetS("S", "k3"), "#x");
  EXPECT_EQ(GetS("S", "#k"), "v");
  EXPECT_EQ(GetS("S", "name3", "d"), "d");
  EXPECT_EQ(Get("S", ""), Result("val_no_key", 10));
  EXPECT_EQ(GetS("S", "\"q\""), "quoted");
  EXPECT_EQ(GetS("S", "q", "d"), "d");
}

TEST_F(PlatformIni, BufferSizeAndLongValues) {
  Put("[S]\r\nk=val1\r\n");
  EXPECT_EQ(Get("S", "k", "", 5), Result("val1", 4));
  EXPECT_EQ(Get("S", "k", "", 4), Result("val", 3));
  EXPECT_EQ(Get("S", "k", "", 1), Result("", 0));
  char buf[4] = {'x', 'y', 'z', '\0'};
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", buf, 0, file_.c_str()), 0u);
  EXPECT_STREQ(buf, "xyz");  // size 0: untouched

  // A value longer than the program's 1000-byte buffers.
  const std::string longValue(1500, 'x');
  Put("[S]\r\nlong=" + longValue + "\r\nafter=ok\r\n");
  std::string big(1000, '\x7F');
  EXPECT_EQ(GetPrivateProfileStringA("S", "long", "", big.data(), 1000, file_.c_str()), 999u);
  EXPECT_EQ(big.find('\0'), 999u);
  EXPECT_EQ(big.substr(0, 999), longValue.substr(0, 999));
  EXPECT_EQ(Get("S", "long", "", 4096), Result(longValue, 1500));
  EXPECT_EQ(GetS("S", "after"), "ok");
}

TEST_F(PlatformIni, EnumeratesKeysAndSections) {
  Put("[section1]\r\nname1=val1\r\nname2=\"val2\"\r\nname3\r\nname4=a\r\n[section2]\r\nx=1\r\n");
  char buf[260];
  unsigned n = GetPrivateProfileStringA("section1", nullptr, "", buf, 260, file_.c_str());
  EXPECT_EQ(n, 18u);
  EXPECT_EQ(std::string(buf, 19), std::string("name1\0name2\0name4\0\0", 19));
  n = GetPrivateProfileStringA("section1", nullptr, "", buf, 16, file_.c_str());
  EXPECT_EQ(n, 14u);
  EXPECT_EQ(std::string(buf, 16), std::string("name1\0name2\0na\0\0", 16));
  n = GetPrivateProfileStringA(nullptr, nullptr, "", buf, 260, file_.c_str());
  EXPECT_EQ(n, 18u);
  EXPECT_EQ(std::string(buf, 19), std::string("section1\0section2\0\0", 19));
  n = GetPrivateProfileStringA(nullptr, nullptr, "", buf, 16, file_.c_str());
  EXPECT_EQ(n, 14u);
  EXPECT_EQ(std::string(buf, 16), std::string("section1\0secti\0\0", 16));
}

TEST_F(PlatformIni, GetIntParsesAsWindows) {
  Put("[S]\r\na=1\r\nb=+1\r\nc=-1\r\nd=4294967296\r\ne=4294967297\r\nf=-4294967297\r\n"
      "g=42A94967297\r\nh=B4294967297\r\ni=102abc\r\nj=\r\nk=   \r\nl=\"12\"\r\nm= 7 \r\n");
  EXPECT_EQ(GetI("S", "a", 5), 1u);
  EXPECT_EQ(GetI("S", "b", 5), 1u);
  EXPECT_EQ(GetI("S", "c", 5), 4294967295u);
  EXPECT_EQ(GetI("S", "d", 5), 0u);
  EXPECT_EQ(GetI("S", "e", 5), 1u);
  EXPECT_EQ(GetI("S", "f", 5), 4294967295u);
  EXPECT_EQ(GetI("S", "g", 5), 42u);
  EXPECT_EQ(GetI("S", "h", 5), 0u);  // no digits: 0, not the default
  EXPECT_EQ(GetI("S", "i", 5), 102u);
  EXPECT_EQ(GetI("S", "j", 5), 5u);  // empty value: the default
  EXPECT_EQ(GetI("S", "k", 5), 5u);
  EXPECT_EQ(GetI("S", "l", 5), 12u);
  EXPECT_EQ(GetI("S", "m", 5), 7u);
  EXPECT_EQ(GetI("S", "missing", -1), 4294967295u);
  EXPECT_EQ(GetI("T", "a", 1), 1u);
  EXPECT_EQ(GetPrivateProfileIntA("S", "a", 9, (dir_ / "none.ini").c_str()), 9u);
}

TEST_F(PlatformIni, WriteCreatesFileSectionAndKey) {
  EXPECT_TRUE(Write("App", "key", "string"));
  EXPECT_EQ(Contents(), "[App]\r\nkey=string\r\n");
  EXPECT_TRUE(Write("App", "empty", ""));
  EXPECT_EQ(Contents(), "[App]\r\nkey=string\r\nempty=\r\n");
  EXPECT_EQ(Get("App", "empty"), Result("", 0));

  fs::remove(file_);
  EXPECT_TRUE(Write(" sec ", " key ", "  v  "));  // names lose spaces, the value is verbatim
  EXPECT_EQ(Contents(), "[sec]\r\nkey=  v  \r\n");
  EXPECT_EQ(GetS("sec", "key"), "v");
  fs::remove(file_);
  EXPECT_TRUE(Write("\tsec\t", "k", "v"));
  EXPECT_EQ(Contents(), "[\tsec\t]\r\nk=v\r\n");
}

TEST_F(PlatformIni, WriteFailures) {
  EXPECT_FALSE(WritePrivateProfileStringA("App", "k", "v", (dir_ / "no" / "x.ini").c_str()));
  EXPECT_FALSE(WritePrivateProfileStringA("App", "k", "v", ""));
  EXPECT_FALSE(WritePrivateProfileStringA("App", "k", "v", nullptr));
  EXPECT_FALSE(Write(nullptr, "k", "v"));
  EXPECT_FALSE(fs::exists(file_));
  // A line break would break the file apart; it is refused, the file kept.
  Put("[App]\r\nk=v\r\n");
  EXPECT_FALSE(Write("App", "k", "v\r\n[Evil]\r\nx=1"));
  EXPECT_FALSE(Write("App", "k\n", "v"));
  EXPECT_EQ(Contents(), "[App]\r\nk=v\r\n");
  if (geteuid() != 0) {
    fs::permissions(file_, fs::perms::owner_read);
    EXPECT_FALSE(Write("App", "k", "new"));
    EXPECT_EQ(Contents(), "[App]\r\nk=v\r\n");
    fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(Write("App", "k", "new"));  // read-only folder
    EXPECT_EQ(Contents(), "[App]\r\nk=v\r\n");
    fs::permissions(dir_, fs::perms::owner_all);
  }
}

TEST_F(PlatformIni, NewSectionsAtTheEndNewKeysAfterTheLastEntry) {
  Put("[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n");
  EXPECT_TRUE(Write("App3", "key5", "string5"));
  EXPECT_EQ(Contents(),
            "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n"
            "[App3]\r\nkey5=string5\r\n");

  Put("[s]\r\nb=value\r\na=value\r\n");
  for (const char* k : {"z", "b", "y", "a"}) EXPECT_TRUE(Write("s", k, ""));
  EXPECT_EQ(Contents(), "[s]\r\nb=\r\na=\r\nz=\r\ny=\r\n");

  // An unterminated last line gets its line break before anything follows.
  Put("[s]\r\nk=v");
  EXPECT_TRUE(Write("t", "x", "1"));
  EXPECT_EQ(Contents(), "[s]\r\nk=v\r\n[t]\r\nx=1\r\n");
  Put("[s]\r\nk=v");
  EXPECT_TRUE(Write("s", "x", "1"));
  EXPECT_EQ(Contents(), "[s]\r\nk=v\r\nx=1\r\n");

  // An empty section gets its first key right after the header.
  Put("[a]\r\n[b]\r\nk=v\r\n");
  EXPECT_TRUE(Write("A", "n", "1"));
  EXPECT_EQ(Contents(), "[a]\r\nn=1\r\n[b]\r\nk=v\r\n");
}

TEST_F(PlatformIni, UpdateInPlaceKeepsSpellingAndEverythingElse) {
  Put("[SectionName]\r\nTestKey=TestValue");
  EXPECT_TRUE(Write("SECTIONNAME", "TESTKEY", "TestValue2"));
  EXPECT_EQ(Contents(), "[SectionName]\r\nTestKey=TestValue2\r\n");
  EXPECT_TRUE(Write("sectionname", "testkey", "TESTVALUE2"));  // the new case is stored
  EXPECT_EQ(Contents(), "[SectionName]\r\nTestKey=TESTVALUE2\r\n");

  const std::string head =
      "; settings written by hand\r\n"
      "\r\n"
      "[Skin]\n"
      "  ID = 3   \n"
      "\n"
      ";  the number of skins\r\n"
      "SkinNum=5\r\n"
      "\r\n"
      "[Setting]\r\n";
  Put(head + "Language=English\r\n; trailing comment\r\n");
  EXPECT_TRUE(Write("Skin", "id", "4"));
  EXPECT_TRUE(Write("Setting", "Language", "Chinese"));
  EXPECT_EQ(Contents(),
            "; settings written by hand\r\n\r\n[Skin]\n  ID = 4\r\n\n;  the number of skins\r\n"
            "SkinNum=5\r\n\r\n[Setting]\r\nLanguage=Chinese\r\n; trailing comment\r\n");
  EXPECT_EQ(GetI("Skin", "ID", 0), 4u);

  // A new key lands after the section's last entry, before its comments.
  EXPECT_TRUE(Write("Setting", "Font", "9"));
  EXPECT_EQ(Contents(),
            "; settings written by hand\r\n\r\n[Skin]\n  ID = 4\r\n\n;  the number of skins\r\n"
            "SkinNum=5\r\n\r\n[Setting]\r\nLanguage=Chinese\r\nFont=9\r\n; trailing comment\r\n");
}

TEST_F(PlatformIni, Deletion) {
  Put("[App3]\r\nkey5=string5\r\n");
  EXPECT_TRUE(Write("App3", "key5", nullptr));
  EXPECT_EQ(Contents(), "[App3]\r\n");
  EXPECT_TRUE(Write("App3", "nokey", nullptr));
  EXPECT_EQ(Contents(), "[App3]\r\n");

  Put(";c0\r\n[A]\r\n;c1\r\nk=v\r\n[B]\r\n;c2\r\n[C]\r\nx=1\r\n");
  EXPECT_TRUE(Write("A", nullptr, "ignored"));
  EXPECT_TRUE(Write("b", nullptr, nullptr));
  EXPECT_EQ(Contents(), ";c0\r\n;c1\r\n;c2\r\n[C]\r\nx=1\r\n");

  Put("[s]\r\n;key=v\r\n");
  EXPECT_TRUE(Write("s", ";key", nullptr));  // a comment is not a key
  EXPECT_EQ(Contents(), "[s]\r\n;key=v\r\n");

  fs::remove(file_);
  EXPECT_TRUE(Write("App", nullptr, "s"));  // on a missing file: an empty file
  EXPECT_TRUE(fs::exists(file_));
  EXPECT_EQ(fs::file_size(file_), 0u);
}

TEST_F(PlatformIni, WritesAreAtomicAndKeepTheMode) {
  Put("[S]\r\nk=v\r\n");
  ASSERT_EQ(chmod(file_.c_str(), 0640), 0);
  EXPECT_TRUE(Write("S", "k", std::string(5000, 'y').c_str()));
  struct stat st;
  ASSERT_EQ(stat(file_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(FilesInDir(), 1u);  // no temporary file left behind
  EXPECT_EQ(Get("S", "k", "", 8000).second, 5000u);

  // A file name near the length limit still gets its temporary file.
  const fs::path longName = dir_ / (std::string(250, 'n') + ".ini");
  EXPECT_TRUE(WritePrivateProfileStringA("S", "k", "v", longName.c_str()));
  EXPECT_EQ(fs::file_size(longName), 10u);  // "[S]\r\nk=v\r\n"
  fs::remove(longName);

  // A settings file reached through a symbolic link: the link stays a link.
  const fs::path link = dir_ / "link.ini";
  fs::create_symlink(file_, link);
  EXPECT_TRUE(WritePrivateProfileStringA("S", "k", "via link", link.c_str()));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(GetS("S", "k"), "via link");
}

TEST_F(PlatformIni, LetterCaseIgnoresGbkTrailBytes) {
  // 0x95 0x41 and 0x95 0x61 are two different GBK characters whose trail
  // bytes happen to be 'A' and 'a'; only real single-byte letters fold.
  Put("[\x95\x41]\r\nKey\x95\x41=upper\r\n[\x95\x61]\r\nKey\x95\x41=lower\r\n");
  zantrel_test::GbkLocale gbk;
  if (!gbk.active()) GTEST_SKIP() << "cannot build a GBK locale here";
  EXPECT_EQ(GetS("\x95\x61", "key\x95\x41"), "lower");
  EXPECT_EQ(GetS("\x95\x41", "KEY\x95\x41"), "upper");
  EXPECT_EQ(GetS("\x95\x41", "Key\x95\x61", "d"), "d");
  EXPECT_TRUE(Write("\x95\x61", "KEY\x95\x41", "new"));
  EXPECT_EQ(Contents(), "[\x95\x41]\r\nKey\x95\x41=upper\r\n[\x95\x61]\r\nKey\x95\x41=new\r\n");
}
