// The window remembers the user between runs (options.ini), lists recent
// files in the File menu, and opens the source chooser in a real folder.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "menubar/owner_draw_menu.h"
#include "model/user_options.h"
#include "platform/qt/shell.h"
#include "platform/qt/win_helpers.h"
#include "tests/ui/test_dialog.h"

namespace fs = std::filesystem;

namespace {
struct TempDir {
  std::string path;
  TempDir() {
    char tmpl[] = "/tmp/zantrel-opts-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { fs::remove_all(path); }
};

// The dialogs of one test keep their options in `ini`; none after it.
struct OptionsFile {
  explicit OptionsFile(const std::string& ini) { TestDlg::optionsPath = ini; }
  ~OptionsFile() { TestDlg::optionsPath.clear(); }
};

// The File popup's item texts, as its owner-drawn records hold them.
std::vector<std::string> FileMenu(TestDlg& d) {
  std::vector<std::string> texts;
  zantrel::CMenu* file = d.menuBar()->Menu().GetSubMenu(0);
  for (int i = 0; i < file->GetMenuItemCount(); ++i) {
    const auto* rec =
        reinterpret_cast<const MenuItemData*>(file->GetItemData(i, zantrel::MF_BYPOSITION));
    texts.push_back(file->GetMenuItemID(i) == 0 ? "-" : rec ? rec->strText : "?");
  }
  return texts;
}

bool Checked(TestDlg& d, int id) { return win::IsDlgButtonChecked(&d, id); }
}  // namespace

TEST(Options, ChoicesComeBackAfterTheWindowClosesAndOpensAgain) {
  TempDir dir;
  OptionsFile file(dir.path + "/options.ini");
  const std::string clip = dir.path + "/A&B clip.avi";
  std::ofstream(clip) << "x";
  {
    TestDlg d;
    // As today when nothing is saved yet.
    EXPECT_TRUE(Checked(d, 1007));
    EXPECT_EQ(win::GetDlgItemText(&d, 1010), "2");
    EXPECT_EQ(win::GetDlgItemText(&d, 1012), "120");
    EXPECT_EQ(FileMenu(d), (std::vector<std::string>{"添加文件", "-", "退出程序"}));

    d.show();
    QTest::mouseClick(qobject_cast<QAbstractButton*>(d.GetDlgItem(1009)), Qt::LeftButton);
    win::SetDlgItemText(&d, 1012, "45");
    d.spin()->SetPos(7);
    win::SetDlgItemText(&d, 1014, dir.path + "/out/");
    QTest::mouseClick(qobject_cast<QAbstractButton*>(d.GetDlgItem(1021)), Qt::LeftButton);
    d.files.push_back(clip);
    d.OnCommand(1001);
  }  // closing saves
  TestDlg d;
  EXPECT_TRUE(Checked(d, 1009));
  EXPECT_FALSE(Checked(d, 1007));
  EXPECT_TRUE(d.GetDlgItem(1012)->isEnabled());
  EXPECT_FALSE(d.GetDlgItem(1013)->isEnabled());
  EXPECT_EQ(win::GetDlgItemText(&d, 1012), "45");
  EXPECT_EQ(win::GetDlgItemText(&d, 1010), "7");
  EXPECT_EQ(win::GetDlgItemText(&d, 1014), dir.path + "/out/");
  EXPECT_TRUE(Checked(d, 1021));
  EXPECT_EQ(d.Model().Mode(), zantrel::kSplitEqualTime);
  EXPECT_EQ(d.Model().SecondsPerPart(), 45);
  EXPECT_EQ(d.Model().OutputFolder(), dir.path + "/out/");
  // The recent file above the last item, its "&" kept as a character.
  EXPECT_EQ(FileMenu(d), (std::vector<std::string>{"添加文件", "-", "&1 " + dir.path + "/A&&B clip.avi",
                                                   "-", "退出程序"}));
  // The source chooser opens where the last source was.
  d.OnCommand(1001);
  ASSERT_EQ(d.startDirs.size(), 1u);
  EXPECT_EQ(d.startDirs[0], dir.path + "/");
}

TEST(Options, ARecentFileOpensAsABrowseAndAMissingOneLeavesTheList) {
  TempDir dir;
  const std::string ini = dir.path + "/options.ini";
  OptionsFile file(ini);
  const std::string here = dir.path + "/here.avi", gone = dir.path + "/gone.mp4";
  std::ofstream(here) << "x";
  std::ofstream(ini) << "[Recent]\nFile1=" << gone << "\nFile2=" << here << "\n";
  {
    TestDlg d;
    ASSERT_EQ(d.RecentFiles(), (std::vector<std::string>{gone, here}));
    d.OnCommand(kFirstRecentCommand);  // gone
    ASSERT_EQ(d.messages.size(), 1u);
    EXPECT_NE(d.messages[0].find(gone), std::string::npos);
    EXPECT_EQ(d.RecentFiles(), (std::vector<std::string>{here}));
    EXPECT_EQ(FileMenu(d), (std::vector<std::string>{"添加文件", "-", "&1 " + here, "-", "退出程序"}));
    EXPECT_EQ(win::GetDlgItemText(&d, 1000), "");

    d.OnCommand(kFirstRecentCommand);  // here: chosen as 浏览 would
    EXPECT_EQ(d.messages.size(), 1u);
    EXPECT_EQ(win::GetDlgItemText(&d, 1000), here);
    EXPECT_EQ(d.Model().Source().path, here);
    EXPECT_TRUE(d.GetDlgItem(1002)->isEnabled());
  }
  // The removal is kept.
  EXPECT_EQ(zantrel::ReadUserOptions(ini).recent, (std::vector<std::string>{here}));
}

TEST(Options, WithoutAVideosFolderTheSourceChooserOpensAtHome) {
  TempDir dir;
  const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string keptXdg = oldXdg ? oldXdg : "";
  setenv("HOME", dir.path.c_str(), 1);
  unsetenv("XDG_CONFIG_HOME");
  {
    TestDlg d;
    d.OnCommand(1001);
    d.OnCommand(1015);
    ASSERT_EQ(d.startDirs.size(), 2u);
    EXPECT_EQ(d.startDirs[0], dir.path + "/");
    EXPECT_EQ(d.startDirs[1], dir.path + "/");
  }
  setenv("HOME", oldHome.c_str(), 1);
  if (oldXdg) setenv("XDG_CONFIG_HOME", keptXdg.c_str(), 1);
}

TEST(Options, TheSourceFilterShowsEverySupportedVideoInAnyCase) {
  TempDir dir;
  for (const char* name : {"a.flv", "B.MOV", "c.Mp4", "d.3GP", "e.avi", "notes.txt", "f.mov.part"})
    std::ofstream(dir.path + "/" + name) << "x";
  const QStringList filters =
      QString::fromStdString(win::QtFilterFromWin(words::SourceFilter())).split(";;");
  ASSERT_EQ(filters.size(), 3);
  EXPECT_TRUE(filters[0].startsWith("网络视频文件(*.flv;*.mp4;*.3gp;*.avi)"));

  // What the chooser lists under each entry, read from its own file model.
  QFileDialog chooser(nullptr, QString(), QString::fromStdString(dir.path));
  chooser.setOption(QFileDialog::DontUseNativeDialog);
  chooser.setNameFilters(filters);
  auto* model = chooser.findChild<QFileSystemModel*>();
  ASSERT_NE(model, nullptr);
  auto listed = [&](int entry) {
    chooser.selectNameFilter(filters[entry]);
    const QModelIndex root = model->index(QString::fromStdString(dir.path));
    TestDlg::PumpUntil([&] { return !model->canFetchMore(root) && model->rowCount(root) > 0; }, 3000);
    TestDlg::PumpUntil([] { return false; }, 300);  // the model filters after a short delay
    QStringList names;
    for (int r = 0; r < model->rowCount(root); ++r) names << model->index(r, 0, root).data().toString();
    names.sort();
    return names.join(' ').toStdString();
  };
  EXPECT_EQ(listed(0), "a.flv c.Mp4 d.3GP e.avi");
  EXPECT_EQ(listed(1), "B.MOV a.flv c.Mp4 d.3GP e.avi");
  EXPECT_EQ(listed(2), "B.MOV a.flv c.Mp4 d.3GP e.avi f.mov.part notes.txt");
}
