#include "ui/split_done_dlg.h"

#include <QLabel>

#include "platform/codepage.h"
#include "ui/words.h"

#include "i18n/qt/translate.h"
#include "platform/module.h"
#include "platform/qt/shell.h"
#include "platform/qt/win_helpers.h"
#include "res/dialogs.h"
#include "ui/fit_texts.h"
#include "ui/messages.h"

CSplitDoneDlg::CSplitDoneDlg(std::string sourceName, std::string outputDir, QWidget* parent)
    : CDialogBase(res::SplitDoneDialog(), parent),
      m_strSourceName(std::move(sourceName)),
      m_strOutputDir(std::move(outputDir)) {}

bool CSplitDoneDlg::OnInitDialog() {
  TranslateDialog(this, res::IDD_SPLIT_DONE);
  win::SetWindowText(this, zantrel::Say(msg::IDS_DONE_CAPTION));
  win::SetDlgItemText(this, 1035, zantrel::Say(msg::IDS_DONE_SOURCE, {m_strSourceName}));
  if (auto* result = qobject_cast<QLabel*>(GetDlgItem(1036))) {
    // A long folder wraps anywhere rather than running off the dialog.
    result->setWordWrap(true);
    result->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QString text = QString::fromStdString(zantrel::ToUtf8(m_strResult));
    text.replace('/', QStringLiteral("/\u200b"));
    result->setText(text);
    result->setToolTip(QString::fromStdString(zantrel::ToUtf8(m_strOutputDir)));
  }
  GrowToFitTexts(this);
  return true;
}

void CSplitDoneDlg::OnCommand(int id) {
  if (id == 1001) OnViewOutput();
  else if (id == 1033) OnContinueSplit();
  else CDialogBase::OnCommand(id);
}

void CSplitDoneDlg::OnViewOutput() {
  if (!OpenFolder(m_strOutputDir)) {
    // Nothing opened: ending the program would leave the user with nothing
    // at all. Say where the pieces are; the main window stays.
    ShowMessageBox(words::NoFileManager(m_strOutputDir), words::MessageCaption());
    OnOK();
    return;
  }
  OnOK();
  Quit();
}

void CSplitDoneDlg::OnContinueSplit() {
  OnOK();
  Quit();
  // A fresh instance starts with a clean state while this one ends; it
  // starts only after this one's settings are on disk.
  if (m_beforeRestart) m_beforeRestart();
  StartProgram(zantrel::GetModuleDir() + "Zantrel");
}

bool CSplitDoneDlg::OpenFolder(const std::string& folder) { return win::OpenWithDesktop(folder); }
bool CSplitDoneDlg::StartProgram(const std::string& program) { return win::StartDetached(program); }
void CSplitDoneDlg::Quit() { win::PostQuitMessage(0); }
void CSplitDoneDlg::ShowMessageBox(const std::string& text, const std::string& caption) {
  win::MessageBox(this, text, caption);
}
