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

#include <QLabel>
#include <QListWidget>
#include <QProgressBar>

#include "menubar/menu_wnd.h"
#include "platform/qt/trackbar.h"
#include "platform/qt/updown.h"
#include "preview/mpv_player_widget.h"
#include "ui/split_point_bar.h"
#include "ui/splitter_dlg.h"
#include "ui/words.h"

class TestDlg : public CSplitterDlg {
 public:
  TestDlg() : CSplitterDlg(1, nullptr) { Create(); }

  void ShowMessageBox(const std::string& text, const std::string& caption) override {
    messages.push_back(caption + "|" + text);
  }
  bool AskYesNo(const std::string& text, const std::string& caption) override {
    questions.push_back(caption + "|" + text);
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  void ShowFailureReport(const std::string& summary, const std::vector<std::string>& lines) override {
    reports.push_back({summary, lines});
  }
  std::optional<std::string> PromptSourceFile(const std::string& startDir) override {
    startDirs.push_back(startDir);
    if (files.empty()) return std::nullopt;
    std::string f = files.front();
    files.pop_front();
    return f;
  }
  std::string PromptOutputFolder(const std::string& startDir) override {
    startDirs.push_back(startDir);
    if (folders.empty()) return {};
    std::string f = folders.front();
    folders.pop_front();
    return f;
  }
  void RunSplitDoneDialog() override { ++doneDialogs; }
  void RunAboutDialog() override { ++aboutBoxes; }
  bool OpenWithDesktop(const std::string& what) override {
    opened.push_back(what);
    return openWorks;
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

  // The window's controls, found as the user finds them: by their IDs.
  CTrackbar* slider() { return qobject_cast<CTrackbar*>(GetDlgItem(1002)); }
  QLabel* posLabel() { return qobject_cast<QLabel*>(GetDlgItem(1006)); }
  CUpDownCtrl* spin() { return qobject_cast<CUpDownCtrl*>(GetDlgItem(1011)); }
  QListWidget* list() { return qobject_cast<QListWidget*>(GetDlgItem(1013)); }
  QProgressBar* progress() { return qobject_cast<QProgressBar*>(GetDlgItem(1019)); }
  CSplitPointBar* pointBar() { return findChild<CSplitPointBar*>(); }
  CMenuWnd* menuBar() { return findChild<CMenuWnd*>(); }
  QWidget* preview() { return GetDlgItem(kPreviewId); }
  bool previewPaused() {
    auto* player = qobject_cast<MpvPlayerWidget*>(preview());
    return player ? player->IsPaused() : true;
  }

  // Pumps events until `done` holds or `ms` pass.
  static bool PumpUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
  }

  std::deque<std::string> files, folders;
  std::deque<bool> answers;  // to AskYesNo, in order; No when none is left
  std::vector<std::string> messages, opened, questions, startDirs;
  struct Report {
    std::string summary;
    std::vector<std::string> lines;
  };
  std::vector<Report> reports;
  int doneDialogs = 0, aboutBoxes = 0;
  std::string toolDir;
  bool openWorks = true;  // whether the desktop takes what is opened
  std::map<int, int> timerTicks;
};
