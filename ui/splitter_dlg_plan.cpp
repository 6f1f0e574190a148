// The main dialog: split modes and split points.
#include <QListWidget>
#include <cstdlib>

#include "engine/plan.h"
#include "platform/qt/trackbar.h"
#include "platform/qt/win_helpers.h"
#include "ui/split_point_bar.h"
#include "ui/splitter_dlg.h"

namespace {
// Within this many positions of the slider, Delete removes a point.
constexpr int kDeleteReach = 4;

void EnableModeControls(CSplitterDlg* d, bool parts, bool seconds, bool list) {
  win::EnableWindow(d->GetDlgItem(1010), parts);
  win::EnableWindow(d->GetDlgItem(1012), seconds);
  win::EnableWindow(d->GetDlgItem(1013), list);
}
}  // namespace

void CSplitterDlg::OnAverageMode() {
  EnableModeControls(this, true, false, false);
  m_nSplitMode = zantrel::kSplitAverage;
}

void CSplitterDlg::OnEqualTimeMode() {
  EnableModeControls(this, false, true, false);
  m_nSplitMode = zantrel::kSplitEqualTime;
}

void CSplitterDlg::OnCustomMode() {
  EnableModeControls(this, false, false, true);
  m_nSplitMode = zantrel::kSplitCustom;
}

void CSplitterDlg::OnAddSplitPoint() {
  const int p = m_slider->value();
  for (int i = 0;; ++i) {
    const int t = m_slider->GetTic(i);
    if (t == -1) break;
    if (t == p) return;  // one point per position
  }
  m_slider->SetTic(p);
  m_pointBar->AddPoint(p);
  m_pointBar->update();
  // The text of the last slider move, not recomputed: the list shows what
  // the user saw when adding.
  win::ListBoxAppend(m_list, m_strPosText);
}

void CSplitterDlg::OnDeleteSplitPoint() {
  const int p = m_slider->value();
  std::vector<int> kept;
  for (int i = 0;; ++i) {
    const int t = m_slider->GetTic(i);
    if (t == -1) break;
    if (std::abs(t - p) > kDeleteReach) {
      kept.push_back(t);
      continue;
    }
    m_pointBar->RemovePoint(t);
    m_pointBar->update();
    const std::string text = zantrel::FormatTime(zantrel::PositionToSeconds(t, m_dDuration));
    // The line that moves up into a deleted line's place is not examined.
    for (int line = 0; line < win::ListBoxCount(m_list); ++line)
      if (win::ListBoxText(m_list, line) == text) win::ListBoxDelete(m_list, line);
  }
  m_slider->ClearTics(false);
  for (auto it = kept.rbegin(); it != kept.rend(); ++it) m_slider->SetTic(*it);
  m_slider->update();
}

zantrel::SplitPlanInput CSplitterDlg::PlanInputFromControls() {
  zantrel::SplitPlanInput in;
  in.mode = m_nSplitMode;
  in.parts = win::GetDlgItemInt(this, 1010);
  in.secondsPerPart = win::GetDlgItemInt(this, 1012);
  in.duration = m_dDuration;
  for (int i = 0;; ++i) {
    const int t = m_slider->GetTic(i);
    if (t == -1) break;
    in.splitPoints.push_back(t);
  }
  return in;
}
