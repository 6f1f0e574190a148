// The main dialog: choosing the source and the output folder, the two
// one-shot timers, and slider moves.
#include <QLabel>

#include "engine/plan.h"
#include "platform/codepage.h"
#include "platform/module.h"
#include "platform/path.h"
#include "platform/qt/trackbar.h"
#include "platform/qt/win_helpers.h"
#include "ui/splitter_dlg.h"

void CSplitterDlg::OnBrowseSource() {
  const std::optional<std::string> chosen = PromptSourceFile();
  if (!chosen) return;
  SetSource(*chosen);
}

void CSplitterDlg::SetSource(const std::string& path) {
  m_strSourcePath = path;
  const std::size_t sep = zantrel::MbsRChr(m_strSourcePath, zantrel::kPathSep);
  if (sep != std::string::npos) m_strSourceName = m_strSourcePath.substr(sep + 1);
  win::SetDlgItemText(this, 1000, m_strSourcePath);

  const std::size_t n = m_strSourcePath.size();
  const std::string last3 = n >= 3 ? m_strSourcePath.substr(n - 3) : m_strSourcePath;
  if (last3 == "flv" || last3 == "mp4") {
    m_bPreviewLive = 1;
    m_pPlayer->LoadAndPlayVideo(m_strSourcePath);
    m_pPlayer->PauseVideo();
    SetTimer(kTimerDuration, 500);
  } else {
    SetTimer(kTimerProbe, 100);
  }
  win::EnableWindow(GetDlgItem(1002), true);
}

void CSplitterDlg::OnBrowseOutput() {
  // A cancelled dialog empties the box, as a chosen folder replaces it.
  win::SetDlgItemText(this, 1014, PromptOutputFolder());
}

void CSplitterDlg::OnTimer(int id) {
  if (id == kTimerDuration) {
    // Killed first: the player may wait a moment for the file to load.
    KillTimer(kTimerDuration);
    const std::string value = m_pPlayer->GetTotalTime();
    m_dDuration = win::AtoiText(value);
    win::SetDlgItemText(this, 1003, zantrel::FormatTime(static_cast<int>(m_dDuration)));
  } else if (id == kTimerProbe) {
    // Killed first: the probe may run a while and must not tick again.
    KillTimer(kTimerProbe);
    m_pPlayer->LoadAndPlayVideo(zantrel::GetModuleDir() + "default.flv");
    m_bPreviewLive = 0;
    m_dDuration = ProbeDuration(m_strSourcePath);
    win::SetDlgItemText(this, 1003, zantrel::FormatTime(static_cast<int>(m_dDuration)));
  }
}

void CSplitterDlg::OnHScroll() {
  const int pos = m_slider->value();
  const double seconds = pos * m_dDuration * 0.01;
  if (m_bPreviewLive == 1) m_pPlayer->SetToPar(std::to_string(pos));
  m_strPosText = zantrel::FormatTime(static_cast<int>(seconds));
  UpdateData(false);
  win::MoveWindow(m_posLabel, pos * 290 / 100 + 20, 380, 43, 20);
  win::InvalidateRect(this, QRect(20, 380, 320, 20));  // 20,380 .. 340,400
}
