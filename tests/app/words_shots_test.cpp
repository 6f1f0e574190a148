// Pictures for people to look at, not checks: every message box, the
// failure report, the completion dialog and the About box in each shipped
// language, with Qt's own catalogue as the program installs it. Run with
//   ZANTREL_SHOTS=<folder> app_tests --gtest_also_run_disabled_tests --gtest_filter='*WordsShots*'
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QPainter>
#include <QTest>
#include <cerrno>
#include <filesystem>
#include <functional>

#include "app/qt/qt_translations.h"
#include "i18n/language.h"
#include "platform/codepage.h"
#include "ui/about_dlg.h"
#include "ui/failure_report_dlg.h"
#include "ui/split_done_dlg.h"
#include "ui/words.h"

namespace fs = std::filesystem;

namespace {
QString Q(const std::string& s) { return QString::fromStdString(zantrel::ToUtf8(s)); }

// Lays the pictures out in rows no wider than `width`.
QImage Sheet(const std::vector<QImage>& shots, int width) {
  int x = 0, y = 0, rowHeight = 0, right = 0;
  std::vector<QPoint> at;
  for (const QImage& s : shots) {
    if (x > 0 && x + s.width() > width) x = 0, y += rowHeight + 12, rowHeight = 0;
    at.emplace_back(x, y);
    x += s.width() + 12;
    right = std::max(right, x);
    rowHeight = std::max(rowHeight, s.height());
  }
  QImage sheet(right, y + rowHeight, QImage::Format_RGB32);
  sheet.fill(QColor(0x80, 0x80, 0x80));
  QPainter p(&sheet);
  for (std::size_t i = 0; i < shots.size(); ++i) p.drawImage(at[i], shots[i]);
  return sheet;
}

QImage Grab(QWidget& w) {
  w.show();
  QTest::qWait(60);
  return w.grab().toImage();
}

// The window grabbed with its caption written above it: the window manager
// draws captions, and offscreen there is none.
QImage Titled(QWidget& w) {
  QImage inner = Grab(w);
  QImage framed(inner.width(), inner.height() + 22, QImage::Format_RGB32);
  framed.fill(QColor(0x30, 0x50, 0x80));
  QPainter p(&framed);
  p.setPen(Qt::white);
  p.drawText(QRect(6, 0, inner.width() - 12, 22), Qt::AlignVCenter, w.windowTitle());
  p.drawImage(0, 22, inner);
  return framed;
}

QImage Box(const std::string& text, bool question = false) {
  // As win::MessageBox and win::AskYesNo build them.
  QMessageBox box(question ? QMessageBox::Question : QMessageBox::NoIcon, Q(words::MessageCaption()),
                  Q(text), question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
  return Titled(box);
}
}  // namespace

TEST(Words, DISABLED_WordsShots) {
  const char* env = std::getenv("ZANTREL_SHOTS");
  const std::string out = env ? env : "/tmp";
  char tmpl[] = "/tmp/zantrel-shots-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const fs::path dir = tmpl;
  fs::copy(fs::path(ZANTREL_SOURCE_DIR) / "res" / "data" / "Language", dir / "Language",
           fs::copy_options::recursive);
  QtTranslations qt;
  for (const std::string lang : {"Chinese_Simplified", "English", "Chinese_Traditional"}) {
    SetLanguage(dir.string() + "/", lang);
    qt.Follow(lang);
    std::vector<QImage> shots;
    zantrel::StartCheck c;
    c.folder = "/home/user/Videos/ZantrelOutput/";
    c.folderCheck.problem = zantrel::FolderProblem::kCannotCreate;
    c.folderCheck.errnoValue = EACCES;
    for (zantrel::StartProblem p :
         {zantrel::StartProblem::kNoSource, zantrel::StartProblem::kNoOutputFolder,
          zantrel::StartProblem::kDurationUnknown, zantrel::StartProblem::kFolderUnusable}) {
      c.problem = p;
      shots.push_back(Box(words::StartRefusal(c)));
    }
    zantrel::SplitPlan plan;
    plan.error = zantrel::PlanError::kTooManyParts, plan.parts = 50, plan.seconds = 12;
    shots.push_back(Box(words::PlanError(plan)));
    plan.error = zantrel::PlanError::kNoSecondsPerPart;
    shots.push_back(Box(words::PlanError(plan)));
    shots.push_back(Box(words::SourceProblem("/srv/video/clip.mp4", zantrel::SourceVerdict::kNotVideo)));
    shots.push_back(Box(words::ReplaceQuestion({"/o/clip[1].mp4", "/o/clip[2].mp4", "/o/clip[3].mp4",
                                                "/o/clip[4].mp4", "/o/clip[5].mp4", "/o/clip[6].mp4"}),
                        true));
    shots.push_back(Box(words::NoFileManager("/srv/video/out/")));
    shots.push_back(Box(words::CloseDuringJobQuestion(), true));
    shots.push_back(Box(words::NoBrowser("/usr/local/lib/zantrel/home.html")));
    Sheet(shots, 1500).save(QString::fromStdString(out + "/words-" + lang + "-messages.png"));

    std::vector<std::string> lines;
    zantrel::PieceFailure f;
    f.signal = 9, f.exitCode = 70;
    int k = 0;
    for (zantrel::FailureReason r :
         {zantrel::FailureReason::kToolMissing, zantrel::FailureReason::kAlreadyExists,
          zantrel::FailureReason::kDiskFull, zantrel::FailureReason::kPermissionDenied,
          zantrel::FailureReason::kUnreadableSource, zantrel::FailureReason::kSourceMissing,
          zantrel::FailureReason::kSourceChanged, zantrel::FailureReason::kFolderMissing,
          zantrel::FailureReason::kToolKilled, zantrel::FailureReason::kOther}) {
      f.segment = ++k, f.reason = r;
      lines.push_back(words::PieceFailure(f));
    }
    f.segment = ++k, f.reason = zantrel::FailureReason::kDiskFull, f.file = zantrel::PieceFile::kOld;
    lines.push_back(words::PieceFailure(f));
    zantrel::JobSummary s;
    s.pieces = 12, s.failed = 11, s.written = 1, s.oldKept = 1;
    CFailureReportDlg report(words::MessageCaption(), words::FailureSummary(s), lines, nullptr);
    CSplitDoneDlg done("旅行 2026-08 海边.mp4", "/tmp", nullptr);
    zantrel::JobEnd end;
    end.summary.pieces = 6, end.summary.written = 5, end.summary.empty = 1;
    end.folder = "/home/user/Videos/旅行/";
    end.emptySegments = {6};
    done.SetResult(words::DoneResult(end));
    done.Create();
    CAboutDlg about(nullptr);
    about.Create();
    Sheet({Titled(report), Titled(done), Titled(about)}, 1500)
        .save(QString::fromStdString(out + "/words-" + lang + "-dialogs.png"));
  }
  fs::remove_all(dir);
}
