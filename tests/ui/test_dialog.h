#pragma once
// A main dialog whose desktop seams are answered by the test: file and folder
// choices come from queues, message boxes and completion dialogs are
// recorded instead of shown.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/splitter_dlg.h"

class TestDlg : public CSplitterDlg {
 public:
  TestDlg() : CSplitterDlg(1, nullptr) { Create(); }

  void ShowMessageBox(const std::string& text, const std::string& caption) override {
    messages.push_back(caption + "|" + text);
  }
  std::optional<std::string> PromptSourceFile() override {
    if (files.empty()) return std::nullopt;
    std::string f = files.front();
    files.pop_front();
    return f;
  }
  std::string PromptOutputFolder() override {
    if (folders.empty()) return {};
    std::string f = folders.front();
    folders.pop_front();
    return f;
  }
  void RunSplitDoneDialog() override { ++doneDialogs; }
  void RunAboutDialog() override { ++aboutBoxes; }
  bool OpenWithDesktop(const std::string& what) override {
    opened.push_back(what);
    return true;
  }
  // The program folder as the language code sees it: a test's own folder
  // when one is named, so that nothing is written beside the real program.
  std::string ProgramDir() const override {
    return programDir.empty() ? CSplitterDlg::ProgramDir() : programDir;
  }
  static inline std::string programDir;
  std::string ToolDir() const override { return toolDir.empty() ? CSplitterDlg::ToolDir() : toolDir; }
  void OnTimer(int id) override {
    ++timerTicks[id];
    CSplitterDlg::OnTimer(id);
  }

  // Pumps events until `done` holds or `ms` pass.
  static bool PumpUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
  }

  std::deque<std::string> files, folders;
  std::vector<std::string> messages, opened;
  int doneDialogs = 0, aboutBoxes = 0;
  std::string toolDir;
  std::map<int, int> timerTicks;
};
