// Languages in the running dialogs: start-up translation, switching from the
// language menu, the split-complete dialog, and what translation must leave
// alone. Real language files in a temp program folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "i18n/language.h"
#include "menubar/menu_wnd.h"
#include "menubar/owner_draw_menu.h"
#include "menubar/popup_menu_wnd.h"
#include "platform/codepage.h"
#include "platform/qt/dialog_template.h"
#include "platform/qt/win_helpers.h"
#include "res/dialogs.h"
#include "res/menus.h"
#include "tests/platform/gbk_locale.h"
#include "tests/ui/test_dialog.h"
#include "ui/about_dlg.h"
#include "ui/split_done_dlg.h"

namespace fs = std::filesystem;

namespace {
void WriteAll(const fs::path& p, const std::string& s) {
  fs::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary);
  f << s;
}
std::string ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}
std::string Txt(QWidget* dlg, int id) { return win::GetDlgItemText(dlg, id); }
// An item's text as shown: popup items are owner-drawn, their texts live in
// their records.
std::string ItemText(const zantrel::CMenu& menu, unsigned item, unsigned by) {
  std::string t;
  menu.GetMenuString(item, t, by);
  if (menu.GetMenuState(item, by) & zantrel::MF_OWNERDRAW)
    if (const auto* rec = reinterpret_cast<const MenuItemData*>(menu.GetItemData(item, by)))
      t = rec->strText;
  return t;
}
std::string MenuText(unsigned item, unsigned by = zantrel::MF_BYCOMMAND) {
  return ItemText(g_pMenuWnd->Menu(), item, by);
}

// Opens popup `index` of the bar and hands the open popup to `look` before
// closing it again (unless `look` closed it).
void WithPopupOpen(CMenuWnd* bar, int index, const std::function<void(CPopupMenuWnd*)>& look) {
  QTimer::singleShot(100, [&] {
    CPopupMenuWnd* p = bar->OpenPopup();
    look(p);
    if (bar->OpenPopup()) bar->OpenPopup()->Cancel();
  });
  bar->OpenPopup(index);
}

// The items of popup `index` as they are drawn: each record's text (UTF-8),
// "-" for a separator, "*" after a checked one.
std::vector<std::string> Shown(int index) {
  std::vector<std::string> out;
  const zantrel::CMenu* popup = g_pMenuWnd->Menu().GetSubMenu(index);
  for (int i = 0; i < popup->GetMenuItemCount(); ++i) {
    const auto* rec =
        reinterpret_cast<const MenuItemData*>(popup->GetItemData(i, zantrel::MF_BYPOSITION));
    std::string t = rec->nID == 0 ? "-" : zantrel::ToUtf8(rec->strText);
    if (popup->GetMenuState(i, zantrel::MF_BYPOSITION) & zantrel::MF_CHECKED) t += "*";
    out.push_back(t);
  }
  return out;
}

class LanguageUi : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zantrel-langui-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    prog_ = dir_.string() + "/";
    TestDlg::programDir = prog_;
  }
  void TearDown() override {
    fs::remove_all(dir_);
    TestDlg::programDir.clear();
    g_strLanguageFile.clear();
    g_strLanguage.clear();
  }
  // The shipped list and language files.
  void Ship() {
    const fs::path data = fs::path(ZANTREL_SOURCE_DIR) / "res" / "data";
    fs::copy(data / "Language", dir_ / "Language", fs::copy_options::recursive);
    fs::copy_file(data / "ZantrelLang.lst", dir_ / "ZantrelLang.lst");
  }
  void Start(const std::string& saved) {
    if (!saved.empty()) WriteAll(dir_ / "lang_set.ini", "[Setting]\nLanguage=" + saved + "\n");
    SetLanguage(prog_, "");
  }
  fs::path dir_;
  std::string prog_;
};
}  // namespace

TEST_F(LanguageUi, NoLanguageFolderShowsTheBuiltInTexts) {
  Start("");
  TestDlg d;
  EXPECT_EQ(Txt(&d, 1016), "开始");
  EXPECT_EQ(Txt(&d, -1), "选择分割模式");
  EXPECT_EQ(MenuText(0, zantrel::MF_BYPOSITION), "文件(&F)");
  EXPECT_NE(ReadAll(dir_ / "lang_set.ini").find("Language=Chinese_Simplified"), std::string::npos);
  // No list: the language popup holds "自动选择" and the separator, and
  // choosing it changes nothing.
  EXPECT_EQ(g_pMenuWnd->Menu().GetSubMenu(2)->GetMenuItemCount(), 2);
  d.OnCommand(32784);
  EXPECT_EQ(GetCurrentLanguage(), "Chinese_Simplified");
}

TEST_F(LanguageUi, SimplifiedChineseFileEqualsTheBuiltInTexts) {
  Start("");
  std::vector<std::string> builtIn;
  {
    TestDlg d;
    for (QObject* o : d.children())
      if (auto* w = qobject_cast<QWidget*>(o)) builtIn.push_back(win::GetWindowText(w));
  }
  Ship();
  SetLanguage(prog_, "Chinese_Simplified");
  TestDlg d;
  std::vector<std::string> shipped;
  for (QObject* o : d.children())
    if (auto* w = qobject_cast<QWidget*>(o)) shipped.push_back(win::GetWindowText(w));
  EXPECT_EQ(shipped, builtIn);
  // Menu: every item of every popup as menu 141 has it.
  auto builtInMenu = res::LoadMainMenu();
  zantrel::CMenu& menu = g_pMenuWnd->Menu();
  for (int p = 0; p < builtInMenu->GetMenuItemCount(); ++p) {
    EXPECT_EQ(MenuText(p, zantrel::MF_BYPOSITION), [&] {
      std::string t;
      builtInMenu->GetMenuString(p, t, zantrel::MF_BYPOSITION);
      return t;
    }());
    const zantrel::CMenu* popup = builtInMenu->GetSubMenu(p);
    for (int i = 0; i < popup->GetMenuItemCount(); ++i) {
      std::string want;
      popup->GetMenuString(i, want, zantrel::MF_BYPOSITION);
      const std::string got = ItemText(*menu.GetSubMenu(p), i, zantrel::MF_BYPOSITION);
      EXPECT_EQ(got, want) << p << "/" << i;
    }
  }
}

TEST_F(LanguageUi, StartInEnglishThenSwitchKeepsInputsLiveLabelsAndMissingKeys) {
  Ship();
  WriteAll(dir_ / "ZantrelLang.lst", "English|English\nPartial|Partial\n");
  // A file lacking the start button's key, with values for the edits and the
  // live labels that must not land.
  WriteAll(dir_ / "Language" / "Partial.ini",
           "[CDialog]\nIDD_102_1023=Source file:\nIDD_102_1000=x\nIDD_102_1010=x\n"
           "IDD_102_1012=x\nIDD_102_1014=translated-folder\nIDD_102_1003=x\nIDD_102_1006=x\n"
           "IDD_102_1022=x\nIDD_102_1002=slider text\n"
           "[CMenu]\nIDM_128_2001=Partial (current)\nIDM_128_0=F&ile\n");
  Start("English");
  TestDlg d;
  EXPECT_EQ(Txt(&d, 1016), "Start");
  EXPECT_EQ(Txt(&d, -1), "Split mode");
  EXPECT_EQ(Txt(&d, 1022), "Ready");
  EXPECT_EQ(MenuText(0, zantrel::MF_BYPOSITION), "&File");
  EXPECT_EQ(MenuText(2000), "English");  // the list's text until a change

  win::SetDlgItemText(&d, 1000, "/videos/a.flv");
  win::SetDlgItemText(&d, 1010, "7");
  win::SetDlgItemText(&d, 1012, "45");
  win::SetDlgItemText(&d, 1014, "/out/");
  // The live labels' state: a duration, a slider position, no job yet.
  d.Model().SetDuration(83);
  win::EnableWindow(d.slider(), true);
  d.slider()->setValue(50);
  d.OnCommand(2001);
  EXPECT_EQ(GetCurrentLanguage(), "Partial");
  EXPECT_NE(ReadAll(dir_ / "lang_set.ini").find("Language=Partial"), std::string::npos);
  EXPECT_EQ(Txt(&d, 1023), "Source file:");
  EXPECT_EQ(Txt(&d, 1016), "Start");  // no key: the English text stays
  EXPECT_EQ(Txt(&d, 1000), "/videos/a.flv");
  EXPECT_EQ(Txt(&d, 1010), "7");
  EXPECT_EQ(Txt(&d, 1012), "45");
  EXPECT_EQ(Txt(&d, 1014), "/out/");
  // The live labels show their state, not a translation's value for their
  // keys; the status line's state (ready) is said in the new language.
  EXPECT_EQ(Txt(&d, 1003), "0:01:23");
  EXPECT_EQ(Txt(&d, 1006), "0:00:41.500");
  EXPECT_EQ(Txt(&d, 1022), "x");
  EXPECT_EQ(Txt(&d, 1002), "slider text");  // kept, shown nowhere
  EXPECT_EQ(MenuText(0, zantrel::MF_BYPOSITION), "F&ile");
  EXPECT_EQ(MenuText(2001), "Partial (current)");
  EXPECT_EQ(MenuText(32784), "Auto select");  // from English, kept

  // "自动选择" takes the first entry whatever is current.
  d.OnCommand(32784);
  EXPECT_EQ(GetCurrentLanguage(), "English");
  // Commands without an entry choose nothing.
  d.OnCommand(2002);
  d.OnCommand(2200);
  EXPECT_EQ(GetCurrentLanguage(), "English");
}

TEST_F(LanguageUi, EmptyListAndEmptyNamesChooseSafely) {
  Ship();
  WriteAll(dir_ / "ZantrelLang.lst", "");
  Start("English");
  {
    TestDlg d;
    d.OnCommand(32784);
    EXPECT_EQ(GetCurrentLanguage(), "English");
    EXPECT_NE(ReadAll(dir_ / "lang_set.ini").find("Language=English"), std::string::npos);
  }
  // A line without '|' passes an empty name: the saved choice stays. A name
  // climbing out of the folder translates nothing.
  WriteAll(dir_ / "ZantrelLang.lst", "no bar\n../Language/English|Sneaky\n");
  WriteAll(dir_ / "lang_set.ini", "[Setting]\nLanguage=\n");
  SetLanguage(prog_, "");
  TestDlg d;
  EXPECT_EQ(Txt(&d, 1016), "开始");  // empty name: "Language/.ini", nothing
  d.OnCommand(2001);
  EXPECT_EQ(GetCurrentLanguage(), "../Language/English");
  EXPECT_EQ(Txt(&d, 1016), "开始");
}

TEST_F(LanguageUi, LanguagePopupShowsItemsAndMarksByteForByte) {
  Ship();
  WriteAll(dir_ / "ZantrelLang.lst",
           "Chinese_Simplified|简体中文\nEnglish|&English\nEnglish|English again\n");
  Start("english");  // found in another case: English texts, no mark
  TestDlg d;
  d.show();
  EXPECT_EQ(Txt(&d, 1016), "Start");
  std::vector<std::string> shown;
  WithPopupOpen(g_pMenuWnd, 2, [&](CPopupMenuWnd* m) {
    ASSERT_NE(m, nullptr);
    shown = Shown(2);
  });
  EXPECT_EQ(shown, (std::vector<std::string>{"Auto select", "-", "简体中文", "&English",
                                             "English again"}));
  d.OnCommand(2002);
  WithPopupOpen(g_pMenuWnd, 2, [&](CPopupMenuWnd*) { shown = Shown(2); });
  EXPECT_EQ(shown, (std::vector<std::string>{"Auto select", "-", "简体中文", "&English*",
                                             "English again*"}));
  // The popups keep their items in every language; choosing from one
  // reaches the dialog.
  WithPopupOpen(g_pMenuWnd, 3, [&](CPopupMenuWnd* m) {
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->ItemCount(), 3);
    QTest::keyClick(m, Qt::Key_Up);  // wraps to the last item
    QTest::keyClick(m, Qt::Key_Return);
  });
  TestDlg::PumpUntil([&] { return d.aboutBoxes == 1; }, 2000);
  EXPECT_EQ(d.aboutBoxes, 1);
}

TEST_F(LanguageUi, GbkListUnderGbkLocaleShowsItsCharacters) {
  zantrel_test::GbkLocale gbk;
  if (!gbk.active()) GTEST_SKIP() << "no GBK locale could be built";
  // "皘" is B0 7C: its trail byte must not end the name.
  WriteAll(dir_ / "ZantrelLang.lst", "\xB0\x7C\xD6\xD0|\xB0\x7C\xD6\xD0 (GBK)\r\n");
  WriteAll(dir_ / "Language" / "\xB0\x7C\xD6\xD0.ini",
           "[CDialog]\nIDD_102_1016=\xBF\xAA\xCA\xBC!\n[CMenu]\nIDM_128_0=\xCE\xC4(&F)\n");
  Start("");
  TestDlg d;
  d.show();
  std::vector<std::string> shown;
  WithPopupOpen(g_pMenuWnd, 2, [&](CPopupMenuWnd* m) {
    ASSERT_NE(m, nullptr);
    shown = Shown(2);
  });
  EXPECT_EQ(shown, (std::vector<std::string>{"自动选择", "-", "皘中 (GBK)"}));
  d.OnCommand(2000);
  EXPECT_EQ(GetCurrentLanguage(), "\xB0\x7C\xD6\xD0");
  EXPECT_EQ(qobject_cast<QAbstractButton*>(d.GetDlgItem(1016))->text().toStdString(), "开始!");
  EXPECT_EQ(MenuText(0, zantrel::MF_BYPOSITION), "\xCE\xC4(&F)");
}

TEST_F(LanguageUi, SplitDoneDialogTranslatesItsTextsAndCaptionButKeepsItsPicture) {
  Ship();
  Start("English");
  CSplitDoneDlg done("片段.flv", "/srv/out/", nullptr);
  done.Create();
  EXPECT_EQ(Txt(&done, 1033), "Split another");
  EXPECT_EQ(Txt(&done, 1001), "Open folder");
  EXPECT_EQ(Txt(&done, 1035), "片段.flv");
  EXPECT_EQ(done.windowTitle().toStdString(), "Tesmor Video Splitter");
  int pictures = 0, texts = 0;
  for (QObject* o : done.children()) {
    auto* l = qobject_cast<QLabel*>(o);
    if (!l || dlg::ControlId(l) != -1) continue;
    if (!l->pixmap().isNull()) {
      ++pictures;
      EXPECT_TRUE(l->text().isEmpty());
      EXPECT_EQ(win::GetWindowText(l), "Done!");
    } else {
      ++texts;
      EXPECT_EQ(l->text().toStdString(), "Done!");
    }
  }
  EXPECT_EQ(pictures, 1);
  EXPECT_EQ(texts, 1);
}

// The About box in each language: its caption and lines from [CString], the
// built-in ones byte for byte, every text whole in its control and the
// controls within the box.
TEST_F(LanguageUi, AboutBoxSpeaksEachLanguageAndClipsNothing) {
  Ship();
  const struct {
    const char* language;
    std::vector<std::string> texts;  // caption, the two lines, the button
  } cases[] = {
      {"", {"关于 Zantrel", "Tesmor视频分割 Version 1.0", "逐帧精确地分割你的视频。", "确定"}},
      {"English",
       {"About Zantrel", "Tesmor Video Splitter Version 1.0",
        "Splits your videos exactly, frame by frame.", "OK"}},
      {"Chinese_Traditional",
       {"關於 Zantrel", "Tesmor視訊分割 Version 1.0", "逐格精確地分割你的視訊。", "確定"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    SetLanguage(prog_, *c.language ? c.language : "NoSuchLanguage");
    CAboutDlg about(nullptr);
    about.Create();
    std::vector<std::string> shown{win::GetWindowText(&about)};
    for (QObject* o : about.children()) {
      auto* w = qobject_cast<QWidget*>(o);
      if (!w || w->isWindow()) continue;
      auto* l = qobject_cast<QLabel*>(w);
      if (l && !l->pixmap().isNull()) continue;  // the icon
      shown.push_back(win::GetWindowText(w));
      const int needed = l ? l->sizeHint().width()
                           : w->fontMetrics().horizontalAdvance(QString::fromStdString(shown.back()));
      EXPECT_GE(w->width(), needed) << shown.back();
      EXPECT_LE(w->geometry().right(), about.width()) << shown.back();
    }
    EXPECT_EQ(shown, c.texts);
  }
}

// Pictures for people to look at, not checks: every shipped language with
// each popup open, and the split-complete dialog. Run with
//   ZANTREL_SHOTS=<folder> ui_tests --gtest_also_run_disabled_tests --gtest_filter='*LanguageShots*'
TEST_F(LanguageUi, DISABLED_LanguageShots) {
  const char* env = std::getenv("ZANTREL_SHOTS");
  const std::string out = env ? env : "/tmp";
  Ship();
  for (const std::string lang : {"Chinese_Simplified", "English", "Chinese_Traditional"}) {
    Start(lang);
    TestDlg d;
    d.show();
    TestDlg::PumpUntil([] { return false; }, 300);
    for (int i = 0; i < g_pMenuWnd->CellCount(); ++i) {
      QImage shot;
      WithPopupOpen(g_pMenuWnd, i, [&](CPopupMenuWnd* m) {
        const QImage dialog = d.grab().toImage();
        const QImage popup = m->grab().toImage();
        const QPoint at = m->pos() - d.mapToGlobal(QPoint(0, 0));
        shot = QImage(std::max(dialog.width(), at.x() + popup.width()),
                      std::max(dialog.height(), at.y() + popup.height()), QImage::Format_RGB32);
        shot.fill(Qt::white);
        QPainter p(&shot);
        p.drawImage(0, 0, dialog);
        p.drawImage(at, popup);
      });
      shot.save(QString::fromStdString(out + "/lang-" + lang + "-popup" + std::to_string(i) + ".png"));
    }
    CSplitDoneDlg done("片段.flv", "/srv/out/", nullptr);
    done.Create();
    done.show();
    TestDlg::PumpUntil([] { return false; }, 200);
    done.grab().save(QString::fromStdString(out + "/lang-" + lang + "-done.png"));
  }
  // Switched at run time: the bar keeps the cells laid out for the first
  // language.
  Start("Chinese_Simplified");
  TestDlg d;
  d.show();
  d.OnCommand(2001);
  TestDlg::PumpUntil([] { return false; }, 300);
  d.grab().save(QString::fromStdString(out + "/lang-switched-to-English.png"));
}
