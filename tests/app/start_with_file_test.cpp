// The whole start-up in this process, with a file on the command line: the
// dialog comes up with that file chosen and its duration shown.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <filesystem>

#include "app/qt/splitter_app.h"
#include "platform/cmdline.h"
#include "platform/launcher.h"
#include "platform/qt/win_helpers.h"
#include "ui/splitter_dlg.h"

#include "tests/common/ffmpeg_util.h"

namespace fs = std::filesystem;

namespace {
using zantrel_test::RunFfmpeg;
}  // namespace

TEST(StartWithFile, TheApplicationChoosesTheFileOnItsCommandLine) {
  char tmpl[] = "/tmp/zantrel-argfile-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  const std::string clip = dir + "/预览 clip.mp4";
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc2=size=160x120:rate=25:duration=20 -c:v libx264 -preset "
                     "ultrafast -g 25 -pix_fmt yuv420p " + zantrel::QuoteArgument(clip)));
  // The whole start-up, in this process: the dialog runs modally, so a timer
  // looks at it from inside its loop and closes it once the duration shows.
  std::string shownPath, shownDuration;
  QTimer watch;
  QElapsedTimer waited;
  waited.start();
  QObject::connect(&watch, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* dlg = qobject_cast<CSplitterDlg*>(w);
      if (!dlg || !dlg->isVisible()) continue;
      if (dlg->Model().Source().durationSeconds == 0 && waited.elapsed() < 15000) return;
      shownPath = win::GetDlgItemText(dlg, 1000);
      shownDuration = win::GetDlgItemText(dlg, 1003);
      dlg->close();  // the close box: OnCancel ends the modal run
    }
  });
  watch.start(50);
  // A relative name, as typed in a terminal.
  const std::string cwd = fs::current_path().string();
  fs::current_path(dir);
  CSplitterApp app({"--some-option", "预览 clip.mp4"});
  app.InitInstance();
  app.ExitInstance();
  fs::current_path(cwd);
  EXPECT_EQ(shownPath, clip);
  EXPECT_EQ(shownDuration, "0:00:20");
  fs::remove_all(dir);
}
