#include "i18n/qt/translate.h"

#include <QWidget>
#include <algorithm>
#include <string>

#include "i18n/language.h"
#include "platform/qt/dialog_template.h"
#include "platform/qt/win_helpers.h"

void TranslateDialog(QWidget* dialog, int dialogNumber, const std::vector<int>& keep) {
  std::string text;
  for (QObject* o : dialog->children()) {
    auto* child = qobject_cast<QWidget*>(o);
    if (!child || child->isWindow()) continue;
    const int id = dlg::ControlId(child);
    // An edit's text is the user's input (a path, a count), never a label.
    if (dlg::ClassNameOf(child) == "EDIT") continue;
    if (std::find(keep.begin(), keep.end(), id) != keep.end()) continue;
    if (LookUpLanguageText("CDialog", DialogKey(dialogNumber, id), text))
      win::SetWindowText(child, text);
  }
}
