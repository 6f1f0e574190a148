// The menu bar in the main dialog: layout, painting and its states under
// synthetic pointer and key events, delivered through the window system so
// that an open popup receives them the way it would on a desktop.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "i18n/language.h"
#include "menubar/menu_msg_filter.h"
#include "menubar/menu_wnd.h"
#include "menubar/owner_draw_menu.h"
#include "menubar/popup_menu_wnd.h"
#include "platform/codepage.h"
#include "platform/qt/device_context.h"
#include "platform/qt/gdi_font.h"
#include "tests/ui/skin_test_util.h"
#include "tests/ui/test_dialog.h"

namespace fs = std::filesystem;

namespace {
using Step = std::function<void()>;

// Runs the steps one after another from the event loop, ~40 ms apart. Each
// step schedules the next before acting, so a step that opens a popup (and
// blocks in its run) still lets the next one happen inside that run.
void RunSteps(std::vector<Step> steps) {
  auto all = std::make_shared<std::vector<Step>>(std::move(steps));
  auto next = std::make_shared<std::size_t>(0);
  auto done = std::make_shared<bool>(false);
  auto runner = std::make_shared<std::function<void()>>();
  *runner = [all, next, done, runner] {
    if (*next >= all->size()) {
      *done = true;
      return;
    }
    const Step s = (*all)[(*next)++];
    QTimer::singleShot(40, *runner);
    s();
  };
  QTimer::singleShot(0, *runner);
  ASSERT_TRUE(TestDlg::PumpUntil([&] { return *done && CPopupMenuWnd::OpenCount() == 0; }, 15000));
  *runner = nullptr;  // break the cycle
}

struct Bar {
  TestDlg d;
  CMenuWnd* bar;
  Bar() : bar(nullptr) {
    d.move(100, 100);
    d.show();
    bar = d.menuBar();
    TestDlg::PumpUntil([] { return false; }, 50);
  }
  QPoint InDialog(QPoint barPt) const { return bar->mapTo(&d, barPt); }
  QPoint CellCentre(int i) const { return bar->CellRect(i).center(); }
  void Move(QPoint barPt) { QTest::mouseMove(d.windowHandle(), InDialog(barPt)); }
  void Press(QPoint barPt) {
    QTest::mousePress(d.windowHandle(), Qt::LeftButton, {}, InDialog(barPt));
  }
  void Release(QPoint barPt) {
    QTest::mouseRelease(d.windowHandle(), Qt::LeftButton, {}, InDialog(barPt));
  }
  void Click(QPoint barPt) {
    Press(barPt);
    Release(barPt);
  }
  QPoint Empty() const { return QPoint(bar->CellRect(3).right() + 20, 8); }
  std::vector<int> States() const {
    std::vector<int> s;
    for (int i = 0; i < bar->CellCount(); ++i) s.push_back(bar->Cell(i).nState);
    return s;
  }
};
}  // namespace

TEST(MenuBar, CellsAreLaidOutFromTheDefaultFontWithTheirPrefixes) {
  Bar b;
  EXPECT_EQ(b.bar->geometry(), QRect(13, 0, 300, 20));
  ASSERT_EQ(b.bar->CellCount(), 4);
  CDC fresh;
  int left = 0;
  const char* texts[] = {"文件(&F)", "皮肤(&S)", "语言(&L)", "帮助(&H)"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(b.bar->Cell(i).strText, texts[i]);
    EXPECT_EQ(b.bar->Cell(i).nLeft, left);
    EXPECT_EQ(b.bar->Cell(i).nWidth, fresh.GetTextExtent(texts[i]).cx + 2);
    EXPECT_EQ(b.bar->Cell(i).nHeight, 18);
    left += b.bar->Cell(i).nWidth;
  }
  EXPECT_LE(left, 300);
}

TEST(MenuBar, HotCellIsFramedInDarkBlueOverTheParentsBackground) {
  Bar b;
  b.Move(b.CellCentre(1));
  EXPECT_EQ(b.States(), (std::vector<int>{0, 1, 0, 0}));
  const QImage img = b.bar->grab().toImage();
  const QRect r = b.bar->CellRect(1);
  const QColor frame(0, 0, 200);
  for (int x = r.left(); x <= r.right(); ++x) EXPECT_EQ(img.pixelColor(x, 0), frame) << x;
  // The bottom row, where no descender of the centred text reaches.
  for (int x : {r.left(), r.left() + 5, r.right() - 5, r.right()})
    EXPECT_EQ(img.pixelColor(x, 17), frame) << x;
  EXPECT_EQ(img.pixelColor(r.left(), 9), frame);
  EXPECT_EQ(img.pixelColor(r.right(), 9), frame);
  // Cell 0 is not framed; below the cells lies the dialog's own background.
  EXPECT_NE(img.pixelColor(0, 0), frame);
  EXPECT_EQ(img.pixelColor(r.left(), 19), b.d.grab(QRect(13 + r.left(), 19, 1, 1)).toImage().pixelColor(0, 0));

  b.Move(b.CellCentre(2));
  EXPECT_EQ(b.States(), (std::vector<int>{0, 0, 1, 0}));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(b.bar, &leave);
  EXPECT_EQ(b.States(), (std::vector<int>{0, 0, 0, 0}));
}

TEST(MenuBar, PopupsOpenUnderTheirCellAndSwitchOneAtATime) {
  Bar b;
  b.d.SetSkin(5);
  int maxOpen = 0;
  auto watch = [&] { maxOpen = std::max(maxOpen, CPopupMenuWnd::OpenCount()); };
  RunSteps({
      [&] { b.Move(b.CellCentre(1)); },
      [&] { b.Press(b.CellCentre(1)); },
      [&] {
        watch();
        ASSERT_EQ(b.bar->OpenPopupIndex(), 1);
        const QPoint want = b.bar->mapToGlobal(QPoint(b.bar->Cell(1).nLeft, 18));
        EXPECT_EQ(b.bar->OpenPopup()->pos(), want);
        EXPECT_EQ(CMenuMsgFilter::InstalledCount(), 1);
        // "未来战士" (skin 5) carries the mark, the others do not.
        zantrel::CMenu* skins = b.bar->Menu().GetSubMenu(1);
        EXPECT_TRUE(skins->GetMenuState(32776, 0) & zantrel::MF_CHECKED);
        EXPECT_FALSE(skins->GetMenuState(32774, 0) & zantrel::MF_CHECKED);
        b.Release(b.CellCentre(1));  // the press's own release chooses nothing
      },
      [&] { b.Move(b.CellCentre(2)); },
      [&] {
        watch();
        EXPECT_EQ(b.bar->OpenPopupIndex(), 2);
        EXPECT_EQ(b.States(), (std::vector<int>{0, 0, 2, 0}));
        b.Move(b.CellCentre(3));
      },
      [&] {
        watch();
        EXPECT_EQ(b.bar->OpenPopupIndex(), 3);
        // A press on another cell with no move first (the window system
        // always sends one; the filter may still see a bare press) switches
        // the same way.
        CPopupMenuWnd* p = b.bar->OpenPopup();
        const QPoint g = b.bar->mapToGlobal(b.CellCentre(0));
        QMouseEvent press(QEvent::MouseButtonPress, p->mapFromGlobal(g), g, Qt::LeftButton,
                          Qt::LeftButton, {});
        QApplication::sendEvent(p, &press);
      },
      [&] {
        watch();
        EXPECT_EQ(b.bar->OpenPopupIndex(), 0);
        EXPECT_EQ(b.States(), (std::vector<int>{2, 0, 0, 0}));
        // Pressing the open cell closes its popup and leaves it hot.
        b.Press(b.CellCentre(0));
      },
      [&] {
        EXPECT_EQ(b.bar->OpenPopup(), nullptr);
        EXPECT_FALSE(b.bar->IsTracking());
        EXPECT_EQ(b.States(), (std::vector<int>{1, 0, 0, 0}));
        EXPECT_EQ(CMenuMsgFilter::InstalledCount(), 0);
        b.Release(b.CellCentre(0));
      },
  });
  EXPECT_EQ(maxOpen, 1);
  EXPECT_EQ(b.d.aboutBoxes, 0);
}

TEST(MenuBar, EmptyBarAndBackReopensTheSamePopup) {
  Bar b;
  CPopupMenuWnd* first = nullptr;
  RunSteps({
      [&] { b.Press(b.CellCentre(2)); },
      [&] {
        first = b.bar->OpenPopup();
        ASSERT_NE(first, nullptr);
        b.Move(b.Empty());
      },
      [&] {
        // The frame goes, the popup stays.
        EXPECT_EQ(b.bar->OpenPopup(), first);
        EXPECT_EQ(b.States(), (std::vector<int>{0, 0, 0, 0}));
        b.Move(b.CellCentre(2));
      },
      [&] {
        EXPECT_EQ(b.bar->OpenPopupIndex(), 2);
        EXPECT_EQ(b.States(), (std::vector<int>{0, 0, 2, 0}));
        QTest::keyClick(b.bar->OpenPopup(), Qt::Key_Escape);
      },
  });
  EXPECT_FALSE(b.bar->IsTracking());
}

TEST(MenuBar, KeysWorkInsideThePopupAndAClickAfterwardsOpensItAgain) {
  Bar b;
  RunSteps({
      [&] { b.Move(b.CellCentre(3)); },
      [&] { b.Click(b.CellCentre(3)); },
      [&] {
        CPopupMenuWnd* p = b.bar->OpenPopup();
        ASSERT_NE(p, nullptr);
        QTest::keyClick(p, Qt::Key_Down);
        EXPECT_EQ(p->SelectedIndex(), 0);
        QTest::keyClick(p, Qt::Key_Down);  // over the separator
        EXPECT_EQ(p->SelectedIndex(), 2);
        QTest::keyClick(p, Qt::Key_Escape);
      },
      [&] {
        // Closed from the keyboard with the pointer still on the cell: hot,
        // so the next click opens the popup rather than "closing" it.
        EXPECT_EQ(b.bar->OpenPopup(), nullptr);
        EXPECT_EQ(b.States(), (std::vector<int>{0, 0, 0, 1}));
        b.Click(b.CellCentre(3));
      },
      [&] {
        CPopupMenuWnd* p = b.bar->OpenPopup();
        ASSERT_NE(p, nullptr);
        QTest::keyClick(p, Qt::Key_Up);  // wraps to "关于"
        QTest::keyClick(p, Qt::Key_Return);
      },
  });
  TestDlg::PumpUntil([&] { return b.d.aboutBoxes == 1; }, 2000);
  EXPECT_EQ(b.d.aboutBoxes, 1);  // 57664 reached the dialog's table
}

TEST(MenuBar, AClickOnAnItemSendsItsCommandAndAClickElsewhereClosesQuietly) {
  Bar b;
  RunSteps({
      [&] { b.Click(b.CellCentre(1)); },
      [&] {
        CPopupMenuWnd* p = b.bar->OpenPopup();
        ASSERT_NE(p, nullptr);
        const QPoint item = p->ItemRect(1).center();  // "灰色金属"
        QTest::mouseMove(p->windowHandle(), item);
        EXPECT_EQ(p->SelectedIndex(), 1);
        QTest::mouseClick(p->windowHandle(), Qt::LeftButton, {}, item);
      },
      [&] {
        EXPECT_EQ(b.bar->OpenPopup(), nullptr);
        b.Click(b.CellCentre(0));
      },
      [&] {
        ASSERT_NE(b.bar->OpenPopup(), nullptr);
        // A press on the dialog far from bar and popup.
        QTest::mousePress(b.d.windowHandle(), Qt::LeftButton, {}, QPoint(500, 400));
      },
      [&] {
        EXPECT_EQ(b.bar->OpenPopup(), nullptr);
        EXPECT_EQ(b.States(), (std::vector<int>{0, 0, 0, 0}));
        EXPECT_EQ(CMenuMsgFilter::InstalledCount(), 0);
      },
  });
  TestDlg::PumpUntil([&] { return b.d.Skin() == 2; }, 2000);
  EXPECT_EQ(b.d.Skin(), 2);  // 32771 reached the dialog
}

TEST(MenuBar, APressOnTheEmptyBarLeavesItIdle) {
  Bar b;
  b.Press(b.Empty());
  EXPECT_FALSE(b.bar->IsTracking());
  EXPECT_EQ(b.bar->PendingPopup(), -1);
  b.Release(b.Empty());
  // Pointing at a cell then only frames it, and nothing opens later.
  b.Move(b.CellCentre(1));
  EXPECT_EQ(b.States(), (std::vector<int>{0, 1, 0, 0}));
  EXPECT_EQ(b.bar->PendingPopup(), -1);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(b.bar, &leave);
  EXPECT_EQ(b.States(), (std::vector<int>{0, 0, 0, 0}));
  // The next press on a cell opens its popup at once.
  RunSteps({
      [&] { b.Press(b.CellCentre(1)); },
      [&] {
        EXPECT_EQ(b.bar->OpenPopupIndex(), 1);
        QTest::keyClick(b.bar->OpenPopup(), Qt::Key_Escape);
      },
  });
}

// The popup's frame takes the loaded skin's shadow tone, so a skin change
// reaches the popups as well as the dialog.
class MenuBarSkin : public SkinTest {};
TEST_F(MenuBarSkin, PopupFrameFollowsTheLoadedSkin) {
  Bar b;
  for (const auto& [command, shadow] :
       std::vector<std::pair<int, QColor>>{{32771, QColor("#1a1e22")}, {32772, QColor("#0f2b57")}}) {
    b.d.OnCommand(command);
    RunSteps({
        [&] { b.Move(b.CellCentre(0)); },
        [&] { b.Click(b.CellCentre(0)); },
        [&] {
          CPopupMenuWnd* p = b.bar->OpenPopup();
          ASSERT_NE(p, nullptr);
          const QImage img = p->grab().toImage();
          EXPECT_EQ(img.pixelColor(0, 0), shadow);
          EXPECT_EQ(img.pixelColor(img.width() - 1, img.height() / 2), shadow);
          p->Cancel();
        },
    });
  }
}

TEST(MenuBar, UnknownSkinNumberTouchesNoMark) {
  Bar b;
  zantrel::CMenu* skins = b.bar->Menu().GetSubMenu(1);
  skins->CheckMenuItem(32771, zantrel::MF_CHECKED);
  b.d.SetSkin(9);
  RunSteps({
      [&] { b.Press(b.CellCentre(1)); },
      [&] { QTest::keyClick(b.bar->OpenPopup(), Qt::Key_Escape); },
  });
  EXPECT_TRUE(skins->GetMenuState(32771, 0) & zantrel::MF_CHECKED);
  EXPECT_FALSE(skins->GetMenuState(32774, 0) & zantrel::MF_CHECKED);
}

TEST(MenuBar, BarPointerClearsWhenTheBarGoes) {
  {
    Bar b;
    EXPECT_EQ(g_pMenuWnd, b.bar);
  }
  EXPECT_EQ(g_pMenuWnd, nullptr);
}

// Every shipped language, started in each and switched to each other: the
// cells keep the widths laid out at start, the texts change, and no text
// drawn in the bar's font is wider than its cell.
TEST(MenuBar, LanguageSwitchKeepsCellWidthsAndClipsNoText) {
  char tmpl[] = "/tmp/zantrel-menubar-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const fs::path dir = tmpl;
  const fs::path data = fs::path(ZANTREL_SOURCE_DIR) / "res" / "data";
  fs::copy(data / "Language", dir / "Language", fs::copy_options::recursive);
  fs::copy_file(data / "ZantrelLang.lst", dir / "ZantrelLang.lst");
  TestDlg::programDir = dir.string() + "/";
  CFont font;
  font.CreateFont(12, 0, 0, 0, 400, 0, 0, 0, 1, 2, 1, 0, 0, "宋体");
  const QFontMetrics fm(font.GetQFont());
  const std::vector<std::string> langs = {"Chinese_Simplified", "English", "Chinese_Traditional"};
  for (const std::string& start : langs) {
    SetLanguage(TestDlg::programDir, start);
    Bar b;
    ASSERT_EQ(b.bar->Languages().size(), langs.size());
    std::vector<int> widths;
    for (int i = 0; i < 4; ++i) widths.push_back(b.bar->Cell(i).nWidth);
    for (std::size_t k = 0; k < langs.size(); ++k) {
      const std::size_t records = g_vecMenuItemData.size();
      b.d.OnCommand(static_cast<int>(2000 + k));
      EXPECT_EQ(GetCurrentLanguage(), langs[k]);
      std::size_t items = 0;
      for (int i = 0; i < 4; ++i) items += b.bar->Menu().GetSubMenu(i)->GetMenuItemCount();
      EXPECT_EQ(g_vecMenuItemData.size(), records + items);  // fresh records, old ones kept
      for (int i = 0; i < 4; ++i) {
        const MenuBarItem& cell = b.bar->Cell(i);
        EXPECT_EQ(cell.nWidth, widths[static_cast<std::size_t>(i)]);
        std::string text;
        b.bar->Menu().GetMenuString(i, text, zantrel::MF_BYPOSITION);
        EXPECT_EQ(cell.strText, text);
        int u = 0;
        const QString shown = CDC::StripPrefixes(QString::fromStdString(zantrel::ToUtf8(text)), &u);
        EXPECT_LE(fm.horizontalAdvance(shown), cell.nWidth)
            << start << " -> " << langs[k] << ": " << text;
      }
    }
  }
  TestDlg::programDir.clear();
  g_strLanguageFile.clear();
  g_strLanguage.clear();
  fs::remove_all(dir);
}

namespace {
std::string ShotDir() {
  const char* d = std::getenv("ZANTREL_SHOTS");
  return d ? d : "/tmp";
}
// The dialog's top-left corner with the open popup drawn where it stands.
QImage WithPopup(Bar& b) {
  QImage img = b.d.grab(QRect(0, 0, 330, 230)).toImage();
  if (CPopupMenuWnd* p = b.bar->OpenPopup()) {
    QPainter painter(&img);
    painter.drawPixmap(p->mapToGlobal(QPoint(0, 0)) - b.d.mapToGlobal(QPoint(0, 0)), p->grab());
  }
  return img;
}
}  // namespace

// Pictures for people, not checks: run with
//   ZANTREL_SHOTS=<folder> ui_tests --gtest_also_run_disabled_tests --gtest_filter='*MenuShots*'
TEST(MenuBar, DISABLED_MenuShots) {
  // The shipped languages, Simplified Chinese current.
  char tmpl[] = "/tmp/zantrel-menushots-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const fs::path dir = tmpl;
  const fs::path data = fs::path(ZANTREL_SOURCE_DIR) / "res" / "data";
  fs::copy(data / "Language", dir / "Language", fs::copy_options::recursive);
  fs::copy_file(data / "ZantrelLang.lst", dir / "ZantrelLang.lst");
  TestDlg::programDir = dir.string() + "/";
  SetLanguage(TestDlg::programDir, "Chinese_Simplified");
  Bar b;
  b.d.OnCommand(32771);  // 灰色金属, skin 2, loaded and ticked
  const char* names[] = {"menu-file.png", "menu-skin.png", "menu-language.png", "menu-help.png"};
  for (int i = 0; i < 4; ++i) {
    RunSteps({
        [&] { b.Move(b.CellCentre(i)); },
        [&] { b.Click(b.CellCentre(i)); },
        [&] {
          CPopupMenuWnd* p = b.bar->OpenPopup();
          ASSERT_NE(p, nullptr);
          QTest::mouseMove(p->windowHandle(), p->ItemRect(p->ItemCount() > 2 ? 2 : 0).center());
        },
        [&] {
          WithPopup(b).save(QString::fromStdString(ShotDir() + "/" + names[i]));
          QTest::keyClick(b.bar->OpenPopup(), Qt::Key_Escape);
        },
    });
  }
  TestDlg::programDir.clear();
  g_strLanguageFile.clear();
  g_strLanguage.clear();
  fs::remove_all(dir);
}
