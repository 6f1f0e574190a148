#pragma once
// The About box, dialog 100. It has no handlers of its own: OK and Escape end it.
#include "platform/qt/dialog_base.h"

class CAboutDlg : public CDialogBase {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent);
};
