#include "ui/about_dlg.h"

#include "res/dialogs.h"

CAboutDlg::CAboutDlg(QWidget* parent) : CDialogBase(res::AboutDialog(), parent) {}
