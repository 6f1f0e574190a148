// The main dialog: split modes and split points, drawn from the model.
#include <QListWidget>

#include "engine/plan.h"
#include "platform/qt/trackbar.h"
#include "platform/qt/win_helpers.h"
#include "ui/split_point_bar.h"
#include "ui/splitter_dlg.h"

namespace {
void EnableModeControls(CSplitterDlg* d, bool parts, bool seconds, bool list) {
  win::EnableWindow(d->GetDlgItem(1010), parts);
  win::EnableWindow(d->GetDlgItem(1012), seconds);
  win::EnableWindow(d->GetDlgItem(1013), list);
}
}  // namespace

void CSplitterDlg::OnAverageMode() {
  EnableModeControls(this, true, false, false);
  m_model.SetMode(zantrel::kSplitAverage);
}

void CSplitterDlg::OnEqualTimeMode() {
  EnableModeControls(this, false, true, false);
  m_model.SetMode(zantrel::kSplitEqualTime);
}

void CSplitterDlg::OnCustomMode() {
  EnableModeControls(this, false, false, true);
  m_model.SetMode(zantrel::kSplitCustom);
}

void CSplitterDlg::OnAddSplitPoint() {
  // The text of the last slider move, not recomputed: the list shows what
  // the user saw when adding. A second point at the same position is refused.
  m_model.AddPointAtPosition(m_slider->value(), m_strPosText);
}

void CSplitterDlg::OnDeleteSplitPoint() { m_model.RemovePointsNear(m_slider->value()); }

void CSplitterDlg::ShowPoints() {
  // Ticks, bar marks and list lines are three pictures of the model's one
  // list: each is redrawn whole.
  const int seconds = m_model.Source().durationSeconds;
  auto positionOf = [seconds](const zantrel::SplitPoint& p) {
    if (p.position >= 0 || seconds <= 0) return p.position >= 0 ? p.position : 0;
    return static_cast<int>(p.timeUs / (static_cast<std::int64_t>(seconds) * 10000));
  };
  m_slider->ClearTics(false);
  for (const zantrel::SplitPoint& p : m_model.Points()) m_slider->SetTic(positionOf(p));
  m_slider->update();

  std::vector<int> marks;
  m_list->clear();
  for (const zantrel::SplitPoint& p : m_model.PointsInAddOrder()) {
    marks.push_back(positionOf(p));
    win::ListBoxAppend(m_list, p.text);
  }
  m_pointBar->SetPoints(marks);
  m_pointBar->update();
}
