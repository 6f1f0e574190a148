// The main dialog: progress reports, pause and resume, and the end of a job.
#include <QLabel>
#include <QProgressBar>

#include "engine/progress.h"
#include "platform/progress_channel.h"
#include "platform/qt/win_helpers.h"
#include "ui/splitter_dlg.h"

int g_nProgress = 0;

namespace {
std::string ProgressText(int g) { return "完成 " + std::to_string(g) + "%"; }
}  // namespace

void CSplitterDlg::OnCopyData(const std::uint8_t* data, std::size_t size, pid_t sender) {
  std::int32_t p = 0;
  if (!zantrel::ReadProgressPercent(data, size, &p)) return;  // short blocks carry nothing
  // Only the running job's own runs move the bar; a report from a run that
  // has already ended still counts for its own piece, never the next one.
  if (!m_bJobRunning || !m_pSplitTask || !m_jobProgress) return;
  const int before = m_pSplitTask->PiecesBeforeRun(sender);
  if (before < 0) return;
  g_nProgress = m_jobProgress->Report(before, p);
  if (g_nProgress == 100) return;  // the end of the job shows the full bar
  win::ProgressSetPos(m_progress, g_nProgress);
  // A paused or stopping job keeps saying so.
  if (m_pSplitTask->IsPaused() || m_pSplitTask->StopRequested()) return;
  SetStatus(ProgressText(g_nProgress));
}

void CSplitterDlg::OnPause() {
  if (!m_bJobRunning || !m_pSplitTask) return;
  // A second press resumes; the button keeps its text.
  if (m_pSplitTask->IsPaused()) {
    if (m_pSplitTask->Resume()) SetStatus(ProgressText(g_nProgress));
    return;
  }
  if (m_pSplitTask->Pause()) SetStatus("暂停分割");
}

void CSplitterDlg::OnSplitDone(zantrel::CSplitTask& task) {
  if (&task != m_pSplitTask) return;  // only the current job has controls to give back
  m_bJobRunning = false;
  EnableJobControls(false);
  if (m_bClosing) return;
  ReportJobEnd(task);
}

void CSplitterDlg::ReportJobEnd(zantrel::CSplitTask& task) {
  const zantrel::JobSummary s = task.Summary();
  const std::string written = "已写入 " + std::to_string(s.written) + "/" + std::to_string(s.pieces) + " 段" +
                              (s.empty > 0 ? "，" + std::to_string(s.empty) + " 段为空" : std::string());
  // The counts go on the bar, which is wide enough for them; the status
  // label keeps its few words.
  m_progress->setFormat(QString::fromStdString(written));

  if (task.StopRequested() && (s.stopped > 0 || s.notRun > 0)) {
    m_progress->setTextVisible(true);
    SetStatus("已停止");
    return;
  }
  if (s.failed > 0) {
    // Never "done" when a piece is missing; the pieces that were written stay.
    m_progress->setTextVisible(true);
    SetStatus("分割失败");
    std::vector<std::string> lines;
    for (const auto& run : task.Runs())
      if (run->Failed()) lines.push_back(run->DescribeFailure());
    ShowFailureReport("共 " + std::to_string(s.pieces) + " 段，其中 " + std::to_string(s.failed) +
                          " 段分割失败；已写入的 " + std::to_string(s.written) + " 段已保留。",
                      lines);
    return;
  }

  // Every piece with something in it is written: empty pieces lose nothing.
  if (s.empty > 0) {
    m_progress->setTextVisible(true);
    const auto runs = task.Runs();
    // An empty last piece sends no report of its end; it is done all the same.
    if (s.written > 0 && !runs.empty() && runs.back()->Outcome() == zantrel::PieceOutcome::kEmpty && m_jobProgress)
      g_nProgress = m_jobProgress->Report(s.pieces - 1, 100);
  }
  win::ProgressSetPos(m_progress, 100);
  SetStatus("分割完成");
  if (g_nProgress < 90) return;
  RunSplitDoneDialog();
}
