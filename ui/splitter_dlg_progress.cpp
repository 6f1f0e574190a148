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

void CSplitterDlg::OnCopyData(const std::uint8_t* data, std::size_t size) {
  std::int32_t p = 0;
  if (!zantrel::ReadProgressPercent(data, size, &p)) return;  // short blocks carry nothing
  g_nProgress = zantrel::ApplyProgressReport(g_nProgress, p);
  if (g_nProgress == 100) return;
  win::ProgressSetPos(m_progress, g_nProgress);
  // A paused job keeps saying so until it is resumed.
  if (m_pSplitTask && m_pSplitTask->IsPaused()) return;
  SetStatus(ProgressText(g_nProgress));
}

void CSplitterDlg::OnPause() {
  if (!m_pSplitTask) return;
  // A second press resumes; the button keeps its text.
  if (m_pSplitTask->IsPaused()) {
    if (m_pSplitTask->Resume()) SetStatus(ProgressText(g_nProgress));
    return;
  }
  if (m_pSplitTask->Pause()) SetStatus("暂停分割");
}

void CSplitterDlg::OnSplitDone(zantrel::CSplitTask& task) {
  win::ProgressSetPos(m_progress, 100);

  std::string failures;
  int failed = 0;
  for (const auto& run : task.Runs()) {
    if (!run->Failed()) continue;
    ++failed;
    failures += "\n" + run->DescribeFailure();
  }
  if (failed > 0) {
    // Never "done" when a piece is missing; the pieces that were written stay.
    const int total = static_cast<int>(task.Runs().size());
    SetStatus("分割失败 " + std::to_string(failed) + "/" + std::to_string(total));
    ShowMessageBox("共 " + std::to_string(total) + " 段，其中 " + std::to_string(failed) +
                       " 段分割失败，已完成的片段已保留：" + failures,
                   kMsgCaption);
    return;
  }

  SetStatus("分割完成");
  if (g_nProgress < 90) return;
  RunSplitDoneDialog();
}
