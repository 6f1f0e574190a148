// The main dialog: progress reports, pause and resume, and the end of a job.
#include <QLabel>
#include <QProgressBar>

#include "platform/progress_channel.h"
#include "platform/qt/win_helpers.h"
#include "ui/splitter_dlg.h"
#include "ui/words.h"

void CSplitterDlg::OnCopyData(const std::uint8_t* data, std::size_t size, pid_t sender) {
  std::int32_t p = 0;
  if (!zantrel::ReadProgressPercent(data, size, &p)) return;  // short blocks carry nothing
  m_model.ReportProgress(sender, p);
}

void CSplitterDlg::OnProgress(int overall) {
  win::ProgressSetPos(m_progress, overall);
  // A paused or stopping job keeps saying so.
  if (m_model.Paused() || m_model.StopRequested()) return;
  SetStatus([overall] { return words::Progress(overall); });
}

void CSplitterDlg::OnPause() {
  if (!JobRunning()) return;
  // A second press resumes; the button keeps its text.
  if (m_model.Paused()) {
    if (m_model.Resume()) {
      const int overall = m_model.Progress();
      SetStatus([overall] { return words::Progress(overall); });
    }
    return;
  }
  if (m_model.Pause()) SetStatus(&words::Paused);
}

void CSplitterDlg::OnJobEnded(const zantrel::JobEnd& end) {
  if (m_bAskingToClose) {
    // The "stop and quit?" question is open and nothing is left to stop: it
    // answers itself and the window closes as asked, with no second modal
    // window over it.
    m_bClosing = true;
    if (m_openQuestion) m_openQuestion->done(QMessageBox::Yes);
    return;
  }
  if (m_bClosing) return;
  ReportJobEnd(end);
}

void CSplitterDlg::ReportJobEnd(const zantrel::JobEnd& end) {
  const zantrel::JobSummary& s = end.summary;
  // The counts go on the bar, which is wide enough for them; the status
  // label keeps its few words.
  SetBarWords([s] { return words::JobCounts(s); });

  if (end.kind == zantrel::JobEndKind::kStopped) {
    m_progress->setTextVisible(true);
    SetStatus(&words::Stopped);
    return;
  }
  if (end.kind == zantrel::JobEndKind::kFailed) {
    // Never "done" when a piece is missing; the pieces that were written stay.
    m_progress->setTextVisible(true);
    SetStatus(&words::Failed);
    std::vector<std::string> lines;
    for (const zantrel::PieceFailure& f : end.failures) lines.push_back(words::PieceFailure(f));
    ShowFailureReport(words::FailureSummary(s), lines);
    return;
  }
  // Every piece with something in it is written: empty pieces lose nothing.
  if (s.empty > 0) m_progress->setTextVisible(true);
  win::ProgressSetPos(m_progress, 100);
  SetStatus(&words::Done);
  if (end.offerCompletion) RunSplitDoneDialog(words::DoneResult(end));
}
