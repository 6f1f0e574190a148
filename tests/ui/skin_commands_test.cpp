// The skin menu's commands on the main dialog, the skin number they keep,
// what start-up makes of skin.ini, and the save before a restart.
#include <QFile>
#include <filesystem>
#include <fstream>

#include "platform/module.h"
#include "skin/skin_settings.h"
#include "tests/common/test_util.h"
#include "tests/ui/skin_test_util.h"
#include "tests/ui/test_dialog.h"
#include "ui/split_done_dlg.h"

namespace fs = std::filesystem;

namespace {
using zantrel_test::ReadFile;
QBrush WindowBrushOf(const char* name) {
  QFile f(QStringLiteral(":/SKIN/") + QString::fromLatin1(name));
  f.open(QIODevice::ReadOnly);
  return ParseSkin(f.readAll(), FixedLightPalette())->palette.brush(QPalette::Window);
}
std::string SkinIni() { return zantrel::GetModuleDir() + "skin.ini"; }

// Start-up as the application does it, against the given skin.ini: read
// it, load the named skin, make the dialog with the number.
std::unique_ptr<CSplitterDlg> StartWith(const std::string& ini) {
  const SkinSettings s = ReadSkinSettings(ini);
  SkinLoadFromResource(s.name.c_str(), kSkinResourceType);
  auto d = std::make_unique<CSplitterDlg>(s.number, nullptr);
  d->Create();
  return d;
}

// The completion dialog with the desktop replaced: records what skin.ini
// held when the new instance would have started.
class RecordingDoneDlg : public CSplitDoneDlg {
 public:
  using CSplitDoneDlg::CSplitDoneDlg;
  std::string iniAtStart;
  bool started = false;

 protected:
  bool StartProgram(const std::string&) override {
    started = true;
    iniAtStart = ReadFile(SkinIni());
    return true;
  }
  void Quit() override {}
};
}  // namespace

TEST_F(SkinTest, EachCommandLoadsItsSkinAndSetsTheNumber) {
  TestDlg d;
  const struct {
    int command;
    int number;
    const char* name;
  } table[] = {{32774, 1, "KORVANE"}, {32771, 2, "DEVIOR"}, {32772, 3, "CORONA"},
               {32775, 4, "XP_ARGENT"}, {32776, 5, "FUTURE"}};
  for (const auto& row : table) {
    d.OnCommand(row.command);
    EXPECT_EQ(d.Skin(), row.number);
    EXPECT_EQ(QApplication::palette().brush(QPalette::Window), WindowBrushOf(row.name)) << row.name;
  }
}

TEST_F(SkinTest, StartUpFallbacksOfSkinIni) {
  char tmpl[] = "/tmp/zantrel-skin-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const fs::path dir = tmpl;
  const std::string ini = (dir / "skin.ini").string();
  auto write = [&](const std::string& s) { std::ofstream(ini, std::ios::binary) << s; };

  // No file: KORVANE, number 1.
  EXPECT_EQ(StartWith(ini)->Skin(), 1);
  EXPECT_EQ(QApplication::palette().brush(QPalette::Window), WindowBrushOf("KORVANE"));

  // CORONA without a number: CORONA shown, number 1 (the first item is
  // checked and KORVANE saved).
  write("[Skin]\r\nID=CORONA\r\n");
  EXPECT_EQ(StartWith(ini)->Skin(), 1);
  EXPECT_EQ(QApplication::palette().brush(QPalette::Window), WindowBrushOf("CORONA"));

  // A lower-case name loads its skin.
  write("[Skin]\r\nID=future\r\nSkinNum=5\r\n");
  EXPECT_EQ(StartWith(ini)->Skin(), 5);
  EXPECT_EQ(QApplication::palette().brush(QPalette::Window), WindowBrushOf("FUTURE"));

  // An unknown name loads nothing: the look of before stays.
  write("[Skin]\r\nID=NOSUCH\r\nSkinNum=2\r\n");
  EXPECT_EQ(StartWith(ini)->Skin(), 2);
  EXPECT_EQ(QApplication::palette().brush(QPalette::Window), WindowBrushOf("FUTURE"));

  // Numbers outside 1..5 are kept as they are; "abc" reads as 0.
  for (auto [text, number] : {std::pair{"0", 0}, {"9", 9}, {"abc", 0}}) {
    write(std::string("[Skin]\r\nID=DEVIOR\r\nSkinNum=") + text + "\r\n");
    EXPECT_EQ(StartWith(ini)->Skin(), number) << text;
  }
  fs::remove_all(dir);
}

TEST_F(SkinTest, ChosenSkinIsSavedAndComesBackAtTheNextStart) {
  {
    TestDlg d;
    d.OnCommand(32775);  // 银色XP
  }  // closing saves
  EXPECT_EQ(ReadFile(SkinIni()), "[Skin]\r\nID=XP_ARGENT\r\nSkinNum=4\r\n");
  SkinLoadFromResource("KORVANE", "SKIN");
  auto next = StartWith(SkinIni());
  EXPECT_EQ(next->Skin(), 4);
  EXPECT_EQ(QApplication::palette().brush(QPalette::Window), WindowBrushOf("XP_ARGENT"));
}

TEST_F(SkinTest, UnknownNumberLeavesTheFileUntilASkinIsChosen) {
  SaveSkinSettings(SkinIni(), 2);
  {
    CSplitterDlg d(0, nullptr);
    d.Create();
  }
  EXPECT_EQ(ReadFile(SkinIni()), "[Skin]\r\nID=DEVIOR\r\nSkinNum=2\r\n");
  {
    CSplitterDlg d(0, nullptr);
    d.Create();
    d.OnCommand(32776);  // 未来战士
    EXPECT_EQ(d.Skin(), 5);
  }
  EXPECT_EQ(ReadFile(SkinIni()), "[Skin]\r\nID=FUTURE\r\nSkinNum=5\r\n");
}

TEST_F(SkinTest, ContinueSplittingSavesTheSkinBeforeTheNewInstanceStarts) {
  SaveSkinSettings(SkinIni(), 1);
  TestDlg d;
  d.OnCommand(32775);  // 银色XP, not yet saved
  RecordingDoneDlg done("clip.flv", "/tmp", nullptr);
  done.SetBeforeRestart([&] { d.SaveSkinChoice(); });
  done.Create();
  done.OnCommand(1033);  // 继续分割视频
  ASSERT_TRUE(done.started);
  EXPECT_EQ(done.iniAtStart, "[Skin]\r\nID=XP_ARGENT\r\nSkinNum=4\r\n");
}
