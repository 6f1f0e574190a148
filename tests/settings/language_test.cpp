// Language choice, language-file lookup, the language list and menu
// translation, against real files in a temp folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "i18n/language.h"
#include "i18n/language_list.h"
#include "i18n/menu_translate.h"
#include "platform/codepage.h"
#include "platform/menu.h"
#include "tests/platform/gbk_locale.h"

namespace fs = std::filesystem;
using namespace zantrel;

namespace {
void WriteAll(const fs::path& p, const std::string& s) {
  fs::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary);
  f << s;
}

std::string Text(const CMenu& m, unsigned item, unsigned by = MF_BYCOMMAND) {
  std::string t;
  m.GetMenuString(item, t, by);
  return t;
}

class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zantrel-lang-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    prog_ = dir_.string() + "/";
  }
  void TearDown() override {
    fs::remove_all(dir_);
    g_strLanguageFile.clear();
    g_strLanguage.clear();
  }
  void Lang(const std::string& name, const std::string& body) {
    WriteAll(dir_ / "Language" / (name + ".ini"), body);
  }
  std::vector<LanguageEntry> List(const std::string& body, CodePage cp = CodePage::Utf8) {
    WriteAll(dir_ / "ZantrelLang.lst", body);
    return ReadLanguageList(prog_ + "ZantrelLang.lst", cp);
  }
  // Menu 141 as the bar holds it before the language items.
  static std::unique_ptr<CMenu> Menu141() {
    auto bar = std::make_unique<CMenu>();
    auto file = std::make_unique<CMenu>();
    file->AppendMenu(MF_STRING, 32778, "添加文件");
    file->AppendMenu(MF_SEPARATOR);
    file->AppendMenu(MF_STRING, 57665, "退出程序");
    auto skin = std::make_unique<CMenu>();
    skin->AppendMenu(MF_STRING, 32774, "Tesmor经典");
    skin->AppendMenu(MF_STRING, 32771, "灰色金属");
    auto lang = std::make_unique<CMenu>();
    lang->AppendMenu(MF_STRING, 32784, "自动选择");
    lang->AppendMenu(MF_SEPARATOR);
    bar->AppendPopup(std::move(file), "文件(&F)");
    bar->AppendPopup(std::move(skin), "皮肤(&S)");
    bar->AppendPopup(std::move(lang), "语言(&L)");
    return bar;
  }
  fs::path dir_;
  std::string prog_;
};
}  // namespace

TEST_F(LanguageTest, FileLookupStaysInTheLanguageFolderAndIgnoresLetterCase) {
  Lang("English", "[CDialog]\nIDD_102_1016=Start\n");
  // A name in another letter case finds the file; the name itself is kept,
  // so the check mark (byte for byte) goes to no item.
  SetLanguage(prog_, "english");
  EXPECT_EQ(g_strLanguageFile, prog_ + "Language/English.ini");
  EXPECT_EQ(GetCurrentLanguage(), "english");
  std::string text;
  EXPECT_TRUE(LookUpLanguageText("CDialog", DialogKey(102, 1016), text));
  EXPECT_EQ(text, "Start");

  // The exact name wins over a case variant; a missing one keeps its path.
  Lang("ENGLISH", "[CDialog]\nIDD_102_1016=START\n");
  EXPECT_EQ(LanguageFilePath(prog_, "ENGLISH"), prog_ + "Language/ENGLISH.ini");
  EXPECT_EQ(LanguageFilePath(prog_, "Klingon"), prog_ + "Language/Klingon.ini");
  EXPECT_EQ(LanguageFilePath(prog_, ""), prog_ + "Language/.ini");

  // Names that would climb out of the folder reach no file at all, even one
  // that exists there; the choice is still recorded as given.
  WriteAll(dir_ / "secret.ini", "[CDialog]\nIDD_102_1016=leaked\n");
  for (const std::string bad : {"../secret", "..", "a/b", "/etc/passwd", "..\\secret", "x..y"}) {
    EXPECT_FALSE(IsSafeLanguageName(bad)) << bad;
    SetLanguage(prog_, bad);
    EXPECT_EQ(g_strLanguageFile, "") << bad;
    EXPECT_EQ(g_strLanguage, bad);
    EXPECT_FALSE(LookUpLanguageText("CDialog", DialogKey(102, 1016), text)) << bad;
  }
  // A GBK trail byte 0x5C is part of a character, not a backslash.
  EXPECT_TRUE(IsSafeLanguageName("\x81\x5C", CodePage::Gbk));
  EXPECT_FALSE(IsSafeLanguageName("\x81\x5C", CodePage::Utf8));
  EXPECT_FALSE(IsSafeLanguageName("a\\b", CodePage::Gbk));
}

TEST_F(LanguageTest, NoLanguageFolderAndEmptyValuesTranslateNothing) {
  SetLanguage(prog_, "");
  EXPECT_EQ(GetCurrentLanguage(), "Chinese_Simplified");
  std::string text = "kept";
  EXPECT_FALSE(LookUpLanguageText("CDialog", DialogKey(102, 1016), text));
  EXPECT_EQ(text, "kept");

  Lang("Empty", "[CDialog]\nIDD_102_1016=\nIDD_102_-1=模式\n[CMenu]\nIDM_128_0=\n");
  SetLanguage(prog_, "Empty");
  EXPECT_FALSE(LookUpLanguageText("CDialog", "IDD_102_1016", text));
  EXPECT_TRUE(LookUpLanguageText("CDialog", "IDD_102_-1", text));
  EXPECT_EQ(text, "模式");
  auto bar = Menu141();
  TranslateMenu(*bar, 128);
  EXPECT_EQ(Text(*bar, 0, MF_BYPOSITION), "文件(&F)");

  // A value longer than the 1000-byte buffer gives its first 999 bytes.
  Lang("Long", "[CDialog]\nIDD_102_1016=" + std::string(1500, 'x') + "\n");
  SetLanguage(prog_, "Long");
  EXPECT_TRUE(LookUpLanguageText("CDialog", "IDD_102_1016", text));
  EXPECT_EQ(text.size(), 999u);
  EXPECT_EQ(DialogKey(142, -1), "IDD_142_-1");
  EXPECT_EQ(MenuKey(128, 32784), "IDM_128_32784");
}

TEST_F(LanguageTest, MenuTranslationByPositionOnTheBarAndByCommandInside) {
  auto bar = Menu141();
  auto nested = std::make_unique<CMenu>();
  nested->AppendMenu(MF_STRING, 40000, "深处");
  bar->GetSubMenu(1)->AppendPopup(std::move(nested), "更多");
  bar->GetSubMenu(2)->AppendMenu(MF_STRING | MF_CHECKED, 2000, "简体中文");

  // Only the bar's second item: its popup keeps its items and stays a popup.
  Lang("One", "[CMenu]\nIDM_128_1=&Skin\n");
  SetLanguage(prog_, "One");
  TranslateMenu(*bar, 128);
  EXPECT_EQ(Text(*bar, 1, MF_BYPOSITION), "&Skin");
  EXPECT_EQ(Text(*bar, 0, MF_BYPOSITION), "文件(&F)");
  ASSERT_NE(bar->GetSubMenu(1), nullptr);
  EXPECT_EQ(bar->GetSubMenu(1)->GetMenuItemCount(), 3);
  EXPECT_EQ(Text(*bar, 32774), "Tesmor经典");

  // Keys are command IDs inside popups, -1 for a nested popup's own item;
  // position keys do not reach popup items; separators and marks stay.
  Lang("Full", "[CMenu]\nIDM_128_0=&File\nIDM_128_32778=Add file\nIDM_128_-1=More\n"
               "IDM_128_40000=Deep\nIDM_128_2000=Simplified\nIDM_128_2=Not an item\n"
               "IDM_128_0=second\n");
  SetLanguage(prog_, "Full");
  TranslateMenu(*bar, 128);
  EXPECT_EQ(Text(*bar, 0, MF_BYPOSITION), "&File");
  EXPECT_EQ(Text(*bar, 32778), "Add file");
  EXPECT_EQ(Text(*bar->GetSubMenu(0), 1, MF_BYPOSITION), "");
  EXPECT_EQ(bar->GetSubMenu(0)->GetMenuItemID(1), 0u);
  EXPECT_EQ(Text(*bar->GetSubMenu(1), 2, MF_BYPOSITION), "More");
  EXPECT_NE(bar->GetSubMenu(1)->GetSubMenu(2), nullptr);
  EXPECT_EQ(Text(*bar, 40000), "Deep");
  EXPECT_EQ(Text(*bar, 2000), "Simplified");
  EXPECT_EQ(bar->GetMenuState(2000, MF_BYCOMMAND) & MF_CHECKED, unsigned{MF_CHECKED});
  EXPECT_EQ(Text(*bar, 2, MF_BYPOSITION), "Not an item");  // the bar's position 2
  EXPECT_EQ(Text(*bar, 32784), "自动选择");

  // Owner-drawn items become text items again, carrying the new text.
  bar->ModifyMenu(32778, MF_BYCOMMAND | MF_OWNERDRAW, 32778, "", 77);
  TranslateMenu(*bar, 128);
  EXPECT_EQ(Text(*bar, 32778), "Add file");
  EXPECT_EQ(bar->GetMenuItemID(0), kMenuNoId);
}

TEST_F(LanguageTest, ListLinesNamesAndTexts) {
  // LF and CR LF give the same entries; a second '|' belongs to the text; a
  // line without '|' is all text; an empty line is an entry; the last line
  // needs no LF.
  const std::string lf = "English|&English\nA|b|c\nno bar\n\nLast|最后";
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (const std::string& body : {lf, crlf}) {
    const auto e = List(body);
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(e[0].name, "English");
    EXPECT_EQ(e[0].text, "&English");
    EXPECT_EQ(e[1].name, "A");
    EXPECT_EQ(e[1].text, "b|c");
    EXPECT_EQ(e[2].name, "");
    EXPECT_EQ(e[2].text, "no bar");
    EXPECT_EQ(e[3].name, "");
    EXPECT_EQ(e[3].text, "");
    EXPECT_EQ(e[4].name, "Last");
    EXPECT_EQ(e[4].text, "最后");
  }
  EXPECT_TRUE(ReadLanguageList(prog_ + "missing.lst").empty());
}

TEST_F(LanguageTest, ListLineLengthLimitCountsNoCr) {
  const std::string l1023 = "N|" + std::string(1021, 'x');
  const std::string l1024 = "N|" + std::string(1022, 'x');
  // 1023 bytes before CR LF fit, whatever follows.
  auto e = List("a|A\r\n" + l1023 + "\r\nb|B\r\n");
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[1].text.size(), 1021u);
  // A 1024-byte third line ends the reading: only the first two give entries.
  e = List("a|A\r\nb|B\r\n" + l1024 + "\r\nc|C\r\n");
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[1].name, "b");
  e = List("a|A\n" + l1024);
  EXPECT_EQ(e.size(), 1u);
  e = List("a|A\n" + std::string(1 << 22, 'x') + "\nb|B\n");
  EXPECT_EQ(e.size(), 1u);
  // A CR that ends no line is part of the text; a NUL ends the entry.
  e = List("a|A\rB\nc|C" + std::string(1, '\0') + "D\n");
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].text, "A\rB");
  EXPECT_EQ(e[1].text, "C");
}

TEST_F(LanguageTest, GbkListTrailByte7CIsNoSeparator) {
  // "皘" is B0 7C in GBK: its trail byte is '|' in ASCII.
  const std::string name = "\xB0\x7C\xD6\xD0";  // 皘中
  const std::string body = name + "|\xB0\x7C text\r\nplain|x\r\n";
  auto e = List(body, CodePage::Gbk);
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].name, name);
  EXPECT_EQ(e[0].text, "\xB0\x7C text");
  EXPECT_EQ(ToUtf8(e[0].text, CodePage::Gbk), "皘 text");

  // Under a GBK locale the default code page does the same.
  zantrel_test::GbkLocale gbk;
  if (!gbk.active()) GTEST_SKIP() << "no GBK locale could be built";
  e = List(body, CurrentCodePage());
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].name, name);
  EXPECT_EQ(ToUtf8(e[0].text), "皘 text");
}

TEST_F(LanguageTest, LanguageItemsStopAtTheRoutedRangeAndMarksFollowTheCurrentName) {
  auto bar = Menu141();
  CMenu& popup = *bar->GetSubMenu(2);
  std::string body;
  for (int i = 0; i < 202; ++i) body += "L" + std::to_string(i) + "|Lang " + std::to_string(i) + "\n";
  const auto names = AppendLanguageItems(popup, List(body));
  // 2000..2200: 201 items after "自动选择" and the separator; 2201 is never made.
  ASSERT_EQ(names.size(), 201u);
  EXPECT_EQ(popup.GetMenuItemCount(), 203);
  EXPECT_EQ(popup.GetMenuItemID(0), 32784u);
  EXPECT_EQ(popup.GetMenuItemID(1), 0u);
  EXPECT_EQ(popup.GetMenuItemID(2), 2000u);
  EXPECT_EQ(popup.GetMenuItemID(202), 2200u);
  EXPECT_EQ(Text(popup, 2200), "Lang 200");
  EXPECT_EQ(names[200], "L200");
  EXPECT_EQ(popup.GetMenuState(2201, MF_BYCOMMAND), kMenuNoId);

  // Two entries with one name are both checked; case matters; "自动选择"
  // never carries a mark; a mark left from before is taken off.
  auto bar2 = Menu141();
  CMenu& p2 = *bar2->GetSubMenu(2);
  const auto n2 = AppendLanguageItems(p2, List("English|English\nChinese_Simplified|简体\nEnglish|Eng 2\n"));
  SetLanguageCheckMarks(p2, n2, "English");
  EXPECT_EQ(p2.GetMenuState(2000, MF_BYCOMMAND) & MF_CHECKED, unsigned{MF_CHECKED});
  EXPECT_EQ(p2.GetMenuState(2001, MF_BYCOMMAND) & MF_CHECKED, 0u);
  EXPECT_EQ(p2.GetMenuState(2002, MF_BYCOMMAND) & MF_CHECKED, unsigned{MF_CHECKED});
  EXPECT_EQ(p2.GetMenuState(32784, MF_BYCOMMAND) & MF_CHECKED, 0u);
  SetLanguageCheckMarks(p2, n2, "english");
  for (unsigned id : {2000u, 2001u, 2002u})
    EXPECT_EQ(p2.GetMenuState(id, MF_BYCOMMAND) & MF_CHECKED, 0u) << id;

  // No list: nothing appended, nothing to mark.
  auto bar3 = Menu141();
  EXPECT_TRUE(AppendLanguageItems(*bar3->GetSubMenu(2), ReadLanguageList(prog_ + "none")).empty());
  EXPECT_EQ(bar3->GetSubMenu(2)->GetMenuItemCount(), 2);
}

TEST_F(LanguageTest, ShippedFilesHaveNoByteOrderMarkAndCoverEveryKey) {
  const fs::path data = fs::path(ZANTREL_SOURCE_DIR) / "res" / "data";
  const auto list = ReadLanguageList((data / "ZantrelLang.lst").string(), CodePage::Utf8);
  ASSERT_GE(list.size(), 3u);
  EXPECT_EQ(list[0].name, "Chinese_Simplified");
  const std::vector<std::string> keys102 = {"1023", "1001", "1031", "1004", "1005", "-1",
                                            "1007", "1008", "1009", "1026", "1027", "1028",
                                            "1029", "1030", "1024", "1015", "1016", "1017",
                                            "1018", "1025", "1021", "1022"};
  const std::vector<std::string> keys142 = {"1033", "1001", "-1"};
  const std::vector<std::string> menuKeys = {"0",     "1",     "2",     "3",     "32778",
                                             "57665", "32774", "32771", "32776", "32772",
                                             "32775", "32784", "32786", "57664"};
  for (const LanguageEntry& e : list) {
    const fs::path file = data / "Language" / (e.name + ".ini");
    ASSERT_TRUE(fs::exists(file)) << file;
    std::ifstream f(file, std::ios::binary);
    char head[3] = {};
    f.read(head, 3);
    EXPECT_NE(std::string(head, 3), "\xEF\xBB\xBF") << file;
    g_strLanguageFile = file.string();
    std::string text;
    for (const auto& k : keys102)
      EXPECT_TRUE(LookUpLanguageText("CDialog", "IDD_102_" + k, text)) << e.name << " " << k;
    for (const auto& k : keys142)
      EXPECT_TRUE(LookUpLanguageText("CDialog", "IDD_142_" + k, text)) << e.name << " " << k;
    for (const auto& k : menuKeys)
      EXPECT_TRUE(LookUpLanguageText("CMenu", "IDM_128_" + k, text)) << e.name << " " << k;
    // The quotes keep the check box's leading blank.
    EXPECT_TRUE(LookUpLanguageText("CDialog", "IDD_102_1021", text));
    EXPECT_EQ(text.substr(0, 1), " ") << e.name;
  }
}
