#include "i18n/qt/translate.h"

#include <QWidget>
#include <string>
#include <vector>

#include "i18n/language.h"
#include "platform/ini.h"
#include "platform/qt/dialog_template.h"
#include "platform/qt/win_helpers.h"

void TranslateDialog(QWidget* dialog, int dialogNumber) {
  std::vector<char> buf(1000, '\0');
  for (QObject* o : dialog->children()) {
    auto* child = qobject_cast<QWidget*>(o);
    if (!child || child->isWindow()) continue;
    const std::string key =
        "IDD_" + std::to_string(dialogNumber) + "_" + std::to_string(dlg::ControlId(child));
    // No cache: an edited file takes effect at the next translation.
    if (GetPrivateProfileStringA("CDialog", key.c_str(), "", buf.data(), 1000,
                                 g_strLanguageFile.c_str()) != 0)
      win::SetWindowText(child, buf.data());
  }
}
