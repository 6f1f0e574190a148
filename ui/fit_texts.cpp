#include "ui/fit_texts.h"

#include <QAbstractButton>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

void GrowToFitTexts(QDialog* dialog) {
  int right = dialog->width();
  const int margin = dialog->fontMetrics().averageCharWidth() * 2;
  for (QObject* o : dialog->children()) {
    auto* w = qobject_cast<QWidget*>(o);
    if (!w || w->isWindow()) continue;
    int wanted = 0;
    if (auto* label = qobject_cast<QLabel*>(w)) {
      if (label->text().isEmpty() || label->wordWrap()) continue;
      wanted = label->sizeHint().width();
    } else if (auto* push = qobject_cast<QPushButton*>(w)) {
      // A push button's own size hint has a style minimum wider than many
      // template buttons; only the text's need counts.
      wanted = push->fontMetrics().horizontalAdvance(push->text().remove('&')) +
               push->fontMetrics().averageCharWidth() * 2;
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      wanted = button->sizeHint().width();  // the box or circle and its text
    } else {
      continue;
    }
    if (wanted <= w->width()) continue;  // the template's room is the rule
    w->resize(wanted, w->height());
    right = std::max(right, w->geometry().right() + margin);
  }
  // However long a file name, the dialog stays on the screen.
  const QScreen* screen = dialog->screen() ? dialog->screen() : QGuiApplication::primaryScreen();
  const int most = screen ? screen->availableGeometry().width() * 4 / 5 : 1024;
  if (right > dialog->width()) dialog->setFixedWidth(std::min(right, std::max(most, dialog->width())));
}
