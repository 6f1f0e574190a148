#pragma once
// The About box, dialog 100. Its caption and texts come from the current
// language file (section CString), read each time it opens; the box grows
// when a translation is longer than the template's room. It has no handlers
// of its own: OK and Escape end it.
#include "platform/qt/dialog_base.h"

class CAboutDlg : public CDialogBase {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent);

 protected:
  bool OnInitDialog() override;
};
