#include "ui/no_preview_card.h"

#include <QEvent>
#include <algorithm>

#include "platform/codepage.h"
#include "ui/messages.h"

namespace {
// The card video's look: light grey on its dark ground, 40 pixels high on a
// 320 × 240 card, centred.
constexpr int kCardHeight = 240;
constexpr int kTextPixels = 40;
}  // namespace

CNoPreviewCard::CNoPreviewCard(QWidget* player) : QLabel(player) {
  setAlignment(Qt::AlignCenter);
  setAttribute(Qt::WA_TransparentForMouseEvents);  // a click still reaches the player
  setStyleSheet(QStringLiteral("background: #101010; color: #d0d0d0;"));
  setWordWrap(true);
  player->installEventFilter(this);
  Fit();
  hide();
  Retranslate();
}

void CNoPreviewCard::Retranslate() {
  setText(QString::fromStdString(zantrel::ToUtf8(zantrel::Say(msg::IDS_NO_PREVIEW))));
}

bool CNoPreviewCard::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parent() && event->type() == QEvent::Resize) Fit();
  return QLabel::eventFilter(watched, event);
}

void CNoPreviewCard::Fit() {
  auto* player = static_cast<QWidget*>(parent());
  setGeometry(player->rect());
  // The card keeps its aspect in the player: the text scales with the
  // height the card is shown at.
  QFont f(QStringLiteral("Noto Sans CJK SC"));
  const int shown = std::min(player->height(), player->width() * 3 / 4);
  f.setPixelSize(std::max(8, shown * kTextPixels / kCardHeight));
  setFont(f);
}
