#include "i18n/qt/tool_tips.h"

#include <QAbstractButton>
#include <string>

#include "i18n/language.h"
#include "platform/codepage.h"
#include "platform/qt/dialog_template.h"

void TranslateToolTips(QWidget* dialog, int dialogNumber) {
  for (QObject* o : dialog->children()) {
    auto* button = qobject_cast<QAbstractButton*>(o);
    if (!button || button->isWindow()) continue;
    // Read afresh each time, like the texts: an edited file counts at once.
    std::string tip;
    if (LookUpLanguageText(kToolTipSection, DialogKey(dialogNumber, dlg::ControlId(button)), tip))
      button->setToolTip(QString::fromStdString(zantrel::ToUtf8(tip)));
    else
      button->setToolTip(QString());
  }
}
