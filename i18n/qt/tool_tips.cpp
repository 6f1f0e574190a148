#include "i18n/qt/tool_tips.h"

#include <QAbstractButton>
#include <string>
#include <vector>

#include "i18n/language.h"
#include "platform/codepage.h"
#include "platform/ini.h"
#include "platform/qt/dialog_template.h"

void TranslateToolTips(QWidget* dialog, int dialogNumber) {
  std::vector<char> buf(1000, '\0');
  for (QObject* o : dialog->children()) {
    auto* button = qobject_cast<QAbstractButton*>(o);
    if (!button || button->isWindow()) continue;
    const std::string key =
        "IDD_" + std::to_string(dialogNumber) + "_" + std::to_string(dlg::ControlId(button));
    // Read afresh each time, like the texts: an edited file counts at once.
    const std::uint32_t n = GetPrivateProfileStringA(kToolTipSection, key.c_str(), "", buf.data(),
                                                     static_cast<std::uint32_t>(buf.size()),
                                                     g_strLanguageFile.c_str());
    button->setToolTip(n ? QString::fromStdString(zantrel::ToUtf8(buf.data())) : QString());
  }
}
