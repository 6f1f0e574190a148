#pragma once
// The completion dialog, dialog 142: shows the source name and what the job
// wrote where, and offers to open the output folder or to start afresh; both
// end the program, unless the folder cannot be opened (then that is told and
// the program goes on). Escape and the close box return to the main dialog.
// Its caption and texts are in the current language, and it grows to fit
// them. UI thread.
#include <functional>
#include <string>

#include "platform/qt/dialog_base.h"

class CSplitDoneDlg : public CDialogBase {
  Q_OBJECT
 public:
  CSplitDoneDlg(std::string sourceName, std::string outputDir, QWidget* parent);

  // Runs right before the fresh instance is started (the owner saves its
  // settings there, so the new instance reads them).
  void SetBeforeRestart(std::function<void()> f) { m_beforeRestart = std::move(f); }
  // The account of the job under the source name (label 1036); before the
  // dialog is created.
  void SetResult(std::string text) { m_strResult = std::move(text); }

  void OnCommand(int id) override;
  void OnViewOutput();     // 1001
  void OnContinueSplit();  // 1033

 protected:
  bool OnInitDialog() override;
  // Where the dialog meets the desktop; virtual so tests can watch them.
  virtual bool OpenFolder(const std::string& folder);
  virtual bool StartProgram(const std::string& program);
  virtual void Quit();
  virtual void ShowMessageBox(const std::string& text, const std::string& caption);

 private:
  std::string m_strSourceName;
  std::string m_strOutputDir;
  std::string m_strResult;
  std::function<void()> m_beforeRestart;
};
