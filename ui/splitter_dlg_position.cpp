// The main dialog: the preview's exact positions on the slider, label 1006
// and the split-point list; frame and second steps from the keyboard.
#include <algorithm>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QShortcut>
#include <QSignalBlocker>

#include "engine/plan.h"
#include "platform/qt/trackbar.h"
#include "platform/qt/win_helpers.h"
#include "preview/mpv_player_widget.h"
#include "ui/splitter_dlg.h"

namespace {
constexpr std::int64_t kUsPerPercentSecond = 10000;  // 1 % of one second, in µs

// A key that works with the focus anywhere in the dialog. Text boxes claim
// their own keys first (a comma typed into a box stays a comma), so the
// steps never reach the preview from there.
void AddKey(CSplitterDlg* dlg, const QKeySequence& key, std::function<void()> action) {
  auto* shortcut = new QShortcut(key, dlg);
  shortcut->setContext(Qt::WindowShortcut);
  QObject::connect(shortcut, &QShortcut::activated, dlg, std::move(action));
}
}  // namespace

MpvPlayerWidget* CSplitterDlg::PreviewPlayer() const {
  return qobject_cast<MpvPlayerWidget*>(m_flash.GetWidget());
}

std::int64_t CSplitterDlg::PositionTimeUs(int pos) const {
  // pos % of the whole-second duration, exact in microseconds.
  return static_cast<std::int64_t>(pos) * m_model.Source().durationSeconds * kUsPerPercentSecond;
}

int CSplitterDlg::NearestPosition(std::int64_t us) const {
  const std::int64_t step = static_cast<std::int64_t>(m_model.Source().durationSeconds) * kUsPerPercentSecond;
  if (step <= 0 || us <= 0) return 0;
  const std::int64_t pos = (us + step / 2) / step;
  return pos > 100 ? 100 : static_cast<int>(pos);
}

void CSplitterDlg::ShowPositionText(std::int64_t us, int pos) {
  m_posUs = us;
  m_strPosText = zantrel::FormatTimeUs(us);
  UpdateData(false);
  // Below the slider's focus frame, so the thumb and the frame stay whole;
  // wide enough for the longest time text; moved left only where it would
  // run past the slider's right edge into the output controls.
  constexpr int kPosLabelTop = 393;  // one row below the focus frame (slider at y 356)
  const int w = std::max(43, m_posLabel->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.000")) + 4);
  const int right = m_slider->geometry().right() + 1;
  win::MoveWindow(m_posLabel, std::min(pos * 290 / 100 + 20, right - w), kPosLabelTop, w, 20);
  win::InvalidateRect(this, QRect(20, kPosLabelTop, right - 20, 20));
}

void CSplitterDlg::FollowPreview(std::int64_t us) {
  const int pos = NearestPosition(us);
  {
    // The thumb follows the preview; a seek back would fight playback.
    const QSignalBlocker quiet(m_slider);
    m_slider->setValue(pos);
  }
  ShowPositionText(us, pos);
}

void CSplitterDlg::StepPreviewFrames(int frames) {
  MpvPlayerWidget* player = PreviewPlayer();
  if (m_bPreviewLive != 1 || !player || !player->IsPaused()) return;
  player->StepFrame(frames);
}

void CSplitterDlg::StepPreviewSeconds(int seconds) {
  MpvPlayerWidget* player = PreviewPlayer();
  if (m_bPreviewLive != 1 || !player || !player->IsPaused()) return;
  player->StepSeconds(seconds);
}

void CSplitterDlg::ConnectPreviewPositions() {
  if (MpvPlayerWidget* player = PreviewPlayer()) {
    // Playback moves the thumb and the label. A move of our own that landed
    // names its frame; while the thumb is held the user's hand leads.
    connect(player, &MpvPlayerWidget::playbackPosition, this, [this](std::int64_t us) {
      if (m_bPreviewLive == 1 && !m_slider->isSliderDown() && !m_model.Source().durationPending) FollowPreview(us);
    });
    connect(player, &MpvPlayerWidget::seekSettled, this, [this](std::int64_t us) {
      // Until the new source's duration is known a time has no place.
      if (m_bPreviewLive == 1 && !m_slider->isSliderDown() && !m_model.Source().durationPending) FollowPreview(us);
    });
  }
  // The drag showed key frames; its end shows the exact frame.
  connect(m_slider, &QSlider::sliderReleased, this, [this] {
    if (m_bPreviewLive != 1) return;
    if (MpvPlayerWidget* player = PreviewPlayer())
      player->SeekTo(PositionTimeUs(m_slider->value()), MpvPlayerWidget::SeekKind::Exact);
  });

  AddKey(this, QKeySequence(Qt::Key_Comma), [this] { StepPreviewFrames(-1); });
  AddKey(this, QKeySequence(Qt::Key_Period), [this] { StepPreviewFrames(+1); });
  AddKey(this, QKeySequence(Qt::SHIFT | Qt::Key_Left), [this] { StepPreviewSeconds(-1); });
  AddKey(this, QKeySequence(Qt::SHIFT | Qt::Key_Right), [this] { StepPreviewSeconds(+1); });

  // A list entry takes the preview to its point; Delete removes it.
  connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    const int order = item->data(Qt::UserRole).toInt();
    for (const zantrel::SplitPoint& p : m_model.Points()) {
      if (p.order != order) continue;
      MpvPlayerWidget* player = PreviewPlayer();
      if (m_bPreviewLive == 1 && player) player->SeekTo(p.timeUs, MpvPlayerWidget::SeekKind::Exact);
      FollowPreview(p.timeUs);
      return;
    }
  });
  auto* remove = new QShortcut(QKeySequence(Qt::Key_Delete), m_list);
  remove->setContext(Qt::WidgetShortcut);
  connect(remove, &QShortcut::activated, this, [this] {
    if (QListWidgetItem* item = m_list->currentItem()) m_model.RemovePoint(item->data(Qt::UserRole).toInt());
  });
}
