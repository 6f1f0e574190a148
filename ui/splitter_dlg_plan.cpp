// The main dialog: split modes and split points, drawn from the model.
#include <QListWidget>

#include "engine/plan.h"
#include "platform/qt/trackbar.h"
#include "platform/qt/win_helpers.h"
#include "preview/mpv_player_widget.h"
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
  // The frame on screen: its time once a pending seek has landed, so that
  // the piece starts on the very frame the user sees.
  if (m_bPreviewLive == 1)
    if (MpvPlayerWidget* player = PreviewPlayer()) {
      const std::int64_t us = player->ShownFrameTimeUs();
      if (us != MpvPlayerWidget::kNoTime) {
        FollowPreview(us);
        m_model.AddPointAtTime(us, zantrel::FormatTimeUs(us));
        return;
      }
    }
  // The placeholder shows nothing of the source: the slider's share of the
  // duration, exactly. A second point at the same position is refused.
  const int pos = m_slider->value();
  m_model.AddPointAtPosition(pos, zantrel::FormatTimeUs(PositionTimeUs(pos)));
}

void CSplitterDlg::OnDeleteSplitPoint() { m_model.RemovePointsNear(m_slider->value()); }

void CSplitterDlg::ShowPoints() {
  // Ticks, bar marks and list lines are three pictures of the model's one
  // list: each is redrawn whole. A tick sits at the slider position nearest
  // to its point (two points may share one); the list shows every point's
  // exact time, in time order.
  m_slider->ClearTics(false);
  std::vector<int> marks;
  m_list->clear();
  for (const zantrel::SplitPoint& p : m_model.Points()) {
    const int pos = p.position >= 0 ? p.position : NearestPosition(p.timeUs);
    m_slider->SetTic(pos);
    marks.push_back(pos);
    win::ListBoxAppend(m_list, zantrel::FormatTimeUs(p.timeUs));
    m_list->item(m_list->count() - 1)->setData(Qt::UserRole, p.order);
  }
  m_slider->update();
  m_pointBar->SetPoints(marks);
  m_pointBar->update();
}
