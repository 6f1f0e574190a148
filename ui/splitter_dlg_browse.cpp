// The main dialog: choosing the source and the output folder, the two
// one-shot timers, and slider moves.
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <sys/stat.h>

#include "engine/plan.h"
#include "platform/codepage.h"
#include "platform/module.h"
#include "platform/path.h"
#include "platform/qt/trackbar.h"
#include "platform/qt/win_helpers.h"
#include "preview/mpv_player_widget.h"
#include "settings/user_folders.h"
#include "ui/splitter_dlg.h"
#include "ui/words.h"

namespace {
bool IsFolder(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

std::string CSplitterDlg::SourceBrowseDir() const {
  // The folder of the current source, browsed or typed, else the last run's;
  // never the program's folder with its own files.
  std::string source = win::GetDlgItemText(const_cast<CSplitterDlg*>(this), 1000);
  if (source.empty()) source = m_model.Source().path;
  const std::string dir = zantrel::DirOfPath(source);
  return zantrel::ChooserFolder(IsFolder(dir) ? dir : m_options.lastSourceDir);
}

std::string CSplitterDlg::OutputBrowseDir() const {
  std::string out = win::GetDlgItemText(const_cast<CSplitterDlg*>(this), 1014);
  if (IsFolder(out)) return out;
  // A folder still to be made (the default one): its parent, when it exists.
  while (!out.empty() && out.back() == zantrel::kPathSep) out.pop_back();
  const std::string parent = zantrel::DirOfPath(out);
  if (!out.empty() && parent != zantrel::kPathSepStr && IsFolder(parent)) return parent;
  return zantrel::ChooserFolder("");
}

void CSplitterDlg::OnBrowseSource() {
  if (JobRunning()) return;  // the menu's "add file" too: the job's source stays
  const std::optional<std::string> chosen = PromptSourceFile(SourceBrowseDir());
  if (!chosen) return;
  SetSource(*chosen);
}

void CSplitterDlg::SetSource(const std::string& path) {
  m_model.SetSource(path);
  zantrel::AddRecentFile(m_options.recent, path);
  ShowRecentFiles();
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
  // The last job's end is not this source's news. (A running job keeps its
  // status; no browse reaches here then.)
  if (!JobRunning()) {
    win::ProgressSetPos(m_progress, 0);
    m_progress->setTextVisible(false);
    SetStatus(LiveWords());
    SetBarWords(LiveWords());
  }
}

void CSplitterDlg::OnBrowseOutput() {
  if (JobRunning()) return;
  // A cancelled dialog empties the box, as a chosen folder replaces it.
  win::SetDlgItemText(this, 1014, PromptOutputFolder(OutputBrowseDir()));
}

void CSplitterDlg::OnTimer(int id) {
  // Every source is probed by the tool, which will cut it: the player only
  // previews, and a file it shows (or cannot show) may still be nothing the
  // tool can cut. Killed first: the probe may run a while and must not tick
  // again.
  if (id != kTimerDuration && id != kTimerProbe) return;
  KillTimer(id);
  if (id == kTimerProbe) {
    m_pPlayer->LoadAndPlayVideo(zantrel::GetModuleDir() + "default.flv");
    m_bPreviewLive = 0;
    ShowNoPreviewCard(true);
  }
  const zantrel::ProbeResult probe = ProbeSource(m_model.Source().path);
  if (probe.verdict != zantrel::SourceVerdict::kVideo && m_bPreviewLive == 1) {
    // Nothing to cut: the card says so rather than a black or half-played
    // picture.
    m_pPlayer->LoadAndPlayVideo(zantrel::GetModuleDir() + "default.flv");
    m_bPreviewLive = 0;
    ShowNoPreviewCard(true);
  }
  m_model.SetProbeResult(probe);
}

void CSplitterDlg::OnDurationChanged() {
  win::SetDlgItemText(this, 1003, zantrel::FormatTime(m_model.Source().durationSeconds));
  // The thumb's label tells the time at the slider's place on this source,
  // and the slider keeps its place: the new preview is sought there, now
  // that the place has a time.
  OnHScroll(true);
}

void CSplitterDlg::OnHScroll() { OnHScroll(true); }

void CSplitterDlg::OnHScroll(bool seek) {
  const int pos = m_slider->value();
  const std::int64_t us = PositionTimeUs(pos);
  // While the thumb is dragged the preview shows the key frame at once; a
  // click, a key or the release asks for the exact frame.
  if (seek && m_bPreviewLive == 1)
    if (MpvPlayerWidget* player = PreviewPlayer())
      player->SeekTo(us, m_slider->isSliderDown() ? MpvPlayerWidget::SeekKind::KeyFrame
                                                  : MpvPlayerWidget::SeekKind::Exact);
  ShowPositionText(us, pos);
}
