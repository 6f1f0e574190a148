// The main dialog: choosing the source and the output folder, the two
// one-shot timers, and slider moves.
#include <QDir>
#include <QLabel>
#include <sys/stat.h>

#include "engine/plan.h"
#include "platform/codepage.h"
#include "platform/module.h"
#include "platform/path.h"
#include "platform/qt/trackbar.h"
#include "platform/qt/win_helpers.h"
#include "ui/splitter_dlg.h"

namespace {
bool IsFolder(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

std::string CSplitterDlg::SourceBrowseDir() const {
  // The folder of the current source, browsed or typed; never the program's
  // folder with its own files.
  std::string source = win::GetDlgItemText(const_cast<CSplitterDlg*>(this), 1000);
  if (source.empty()) source = m_model.Source().path;
  const std::string dir = zantrel::DirOfPath(source);
  return IsFolder(dir) ? dir : VideosFolder();
}

std::string CSplitterDlg::OutputBrowseDir() const {
  std::string out = win::GetDlgItemText(const_cast<CSplitterDlg*>(this), 1014);
  if (IsFolder(out)) return out;
  // A folder still to be made (the default one): its parent, when it exists.
  while (!out.empty() && out.back() == zantrel::kPathSep) out.pop_back();
  const std::string parent = zantrel::DirOfPath(out);
  if (!out.empty() && parent != zantrel::kPathSepStr && IsFolder(parent)) return parent;
  return VideosFolder();
}

void CSplitterDlg::OnBrowseSource() {
  if (JobRunning()) return;  // the menu's "add file" too: the job's source stays
  const std::optional<std::string> chosen = PromptSourceFile(SourceBrowseDir());
  if (!chosen) return;
  SetSource(*chosen);
}

void CSplitterDlg::SetSource(const std::string& path) {
  m_model.SetSource(path);
  win::SetDlgItemText(this, 1000, path);
  if (m_model.Source().previewable) {
    m_bPreviewLive = 1;
    ShowNoPreviewCard(false);
    m_pPlayer->LoadAndPlayVideo(path);
    m_pPlayer->PauseVideo();
    SetTimer(kTimerDuration, 500);
  } else {
    SetTimer(kTimerProbe, 100);
  }
  win::EnableWindow(GetDlgItem(1002), true);
}

void CSplitterDlg::OnBrowseOutput() {
  if (JobRunning()) return;
  // A cancelled dialog empties the box, as a chosen folder replaces it.
  win::SetDlgItemText(this, 1014, PromptOutputFolder(OutputBrowseDir()));
}

void CSplitterDlg::OnTimer(int id) {
  if (id == kTimerDuration) {
    // Killed first: the player may wait a moment for the file to load.
    KillTimer(kTimerDuration);
    const std::string value = m_pPlayer->GetTotalTime();
    m_model.SetDuration(win::AtoiText(value));
    win::SetDlgItemText(this, 1003, zantrel::FormatTime(m_model.Source().durationSeconds));
  } else if (id == kTimerProbe) {
    // Killed first: the probe may run a while and must not tick again.
    KillTimer(kTimerProbe);
    m_pPlayer->LoadAndPlayVideo(zantrel::GetModuleDir() + "default.flv");
    m_bPreviewLive = 0;
    ShowNoPreviewCard(true);
    m_model.SetDuration(ProbeDuration(m_model.Source().path));
    win::SetDlgItemText(this, 1003, zantrel::FormatTime(m_model.Source().durationSeconds));
  }
}

void CSplitterDlg::OnHScroll() {
  const int pos = m_slider->value();
  const double seconds = pos * static_cast<double>(m_model.Source().durationSeconds) * 0.01;
  if (m_bPreviewLive == 1) m_pPlayer->SetToPar(std::to_string(pos));
  m_strPosText = zantrel::FormatTime(static_cast<int>(seconds));
  UpdateData(false);
  win::MoveWindow(m_posLabel, pos * 290 / 100 + 20, 380, 43, 20);
  win::InvalidateRect(this, QRect(20, 380, 320, 20));  // 20,380 .. 340,400
}
