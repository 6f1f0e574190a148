#include "ui/about_dlg.h"

#include <QLabel>

#include "platform/codepage.h"
#include "platform/qt/win_helpers.h"
#include "res/dialogs.h"
#include "ui/fit_texts.h"
#include "ui/messages.h"

CAboutDlg::CAboutDlg(QWidget* parent) : CDialogBase(res::AboutDialog(), parent) {}

bool CAboutDlg::OnInitDialog() {
  using zantrel::Say;
  win::SetWindowText(this, Say(msg::IDS_ABOUT_CAPTION));
  // The two text lines share ID -1 with the icon, so they are told apart by
  // their order in the template, not by a key of their own.
  const zantrel::Message* lines[] = {&msg::IDS_ABOUT_PRODUCT, &msg::IDS_ABOUT_BLURB};
  std::size_t next = 0;
  for (QObject* o : children()) {
    auto* label = qobject_cast<QLabel*>(o);
    if (!label || !label->pixmap().isNull() || next == std::size(lines)) continue;
    if (dlg::ControlId(label) == -1) win::SetWindowText(label, Say(*lines[next++]));
  }
  win::SetWindowText(GetDlgItem(IDOK), Say(msg::IDS_ABOUT_OK));
  GrowToFitTexts(this);
  return true;
}
