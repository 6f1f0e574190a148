#pragma once
// The words of the preview's placeholder card. The card video (default.flv)
// has its words burned in, in one language; this label, a child of the
// player's widget, covers it with the same dark card and says "无法预览" in
// the current language while the card plays. The main dialog shows it when it plays the card and hides it
// when a source plays; Retranslate follows a language switch. UI thread.
#include <QLabel>

class CNoPreviewCard : public QLabel {
  Q_OBJECT
 public:
  // `player`: the preview's widget, which owns the label.
  explicit CNoPreviewCard(QWidget* player);

  void Retranslate();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Fit();  // the player's whole area, the text at the card's scale
};
