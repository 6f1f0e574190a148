#include "ui/split_done_dlg.h"

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
  GrowToFitTexts(this);
  return true;
}

void CSplitDoneDlg::OnCommand(int id) {
  if (id == 1001) OnViewOutput();
  else if (id == 1033) OnContinueSplit();
  else CDialogBase::OnCommand(id);
}

void CSplitDoneDlg::OnViewOutput() {
  OpenFolder(m_strOutputDir);
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
