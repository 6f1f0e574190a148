// The main dialog: choosing the source and the output folder, the two
// one-shot timers, and slider moves.
#include <QDir>
#include <QLabel>
#include <algorithm>
#include <sys/stat.h>

#include "engine/plan.h"
#include "platform/codepage.h"
#include "platform/module.h"
#include "platform/path.h"
#include "platform/qt/trackbar.h"
#include "platform/qt/win_helpers.h"
#include "ui/splitter_dlg.h"

namespace {
// Label 1006's top: one row below the slider's focus frame (slider at y 356).
constexpr int kPosLabelTop = 393;

bool IsFolder(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

std::string CSplitterDlg::SourceBrowseDir() const {
  // The folder of the current source, browsed or typed; never the program's
  // folder with its own files.
  std::string source = win::GetDlgItemText(const_cast<CSplitterDlg*>(this), 1000);
  if (source.empty()) source = m_strSourcePath;
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
  if (m_bJobRunning) return;  // the menu's "add file" too: the job's source stays
  const std::optional<std::string> chosen = PromptSourceFile(SourceBrowseDir());
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
  if (m_bJobRunning) return;
  // A cancelled dialog empties the box, as a chosen folder replaces it.
  win::SetDlgItemText(this, 1014, PromptOutputFolder(OutputBrowseDir()));
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
  // Below the slider's focus frame, so the thumb and the frame stay whole;
  // wide enough for the longest time text; moved left only where it would
  // run past the slider's right edge into the output controls.
  const int w = std::max(43, m_posLabel->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.000")) + 4);
  const int right = m_slider->geometry().right() + 1;
  win::MoveWindow(m_posLabel, std::min(pos * 290 / 100 + 20, right - w), kPosLabelTop, w, 20);
  win::InvalidateRect(this, QRect(20, kPosLabelTop, right - 20, 20));
}
