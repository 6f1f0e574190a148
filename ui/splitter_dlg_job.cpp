// The main dialog: Start hands the window's inputs to the model, asks what
// the model cannot decide (replace the pieces already there?) and starts the
// job; Stop ends it early; one job runs at a time.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QProgressBar>

#include "platform/qt/copydata_receiver.h"
#include "platform/qt/win_helpers.h"
#include "ui/splitter_dlg.h"
#include "ui/words.h"

void CSplitterDlg::OnStart() {
  // The button is disabled while a job runs; a command that still arrives
  // (a queued click, a test) must not start a second job on the same files.
  if (JobRunning()) return;

  // The inputs as they stand now. A duration still on its way (a timer not
  // yet fired) is unknown to the model, as is the duration of a path typed
  // over the chosen one.
  m_model.SetTypedSource(win::GetDlgItemText(this, 1000));
  m_model.SetOutputFolder(win::GetDlgItemText(this, 1014));
  m_model.SetBesideSource(win::IsDlgButtonChecked(this, 1021));

  zantrel::StartCheck check = m_model.CheckStart();
  if (check.problem != zantrel::StartProblem::kNone) {
    const std::string text = words::StartRefusal(check);
    if (!text.empty()) ShowMessageBox(text, words::MessageCaption());
    return;
  }
  if (!ConfirmReplace(check)) return;

  // The worker's one way back: the end of the job, handled on this thread
  // while the worker waits, as a sent message would be.
  QPointer<CSplitterDlg> self(this);
  auto post = [self](std::function<void()> call) {
    if (!self) return false;
    return QMetaObject::invokeMethod(self.data(), std::move(call), Qt::QueuedConnection);
  };
  std::vector<std::string> env;
  if (m_copyData && !m_copyData->EnvironmentEntry().empty()) env.push_back(m_copyData->EnvironmentEntry());

  // Each job's progress starts from nothing.
  win::ProgressSetPos(m_progress, 0);
  m_progress->setTextVisible(false);
  SetStatus([] { return words::Progress(0); });
  m_model.StartJob(check, ToolDir(), std::move(env), post);
}

bool CSplitterDlg::ConfirmReplace(zantrel::StartCheck& check) {
  if (check.existing.empty()) return true;
  if (!AskYesNo(words::ReplaceQuestion(check.existing), words::MessageCaption())) return false;
  // Nothing is removed: each run renames its new piece over the old one
  // only once it is whole, so a run that fails keeps the old piece.
  check.job.replaceExisting = true;
  return true;
}

void CSplitterDlg::EnableJobControls(bool running) {
  for (int id : {1016, 1001, 1015, 1007, 1008, 1009}) win::EnableWindow(GetDlgItem(id), !running);
  win::EnableWindow(GetDlgItem(1011), !running);
  if (running) {
    for (int id : {1010, 1012, 1013}) win::EnableWindow(GetDlgItem(id), false);
  } else if (m_model.Mode() == zantrel::kSplitAverage) {
    OnAverageMode();
  } else if (m_model.Mode() == zantrel::kSplitEqualTime) {
    OnEqualTimeMode();
  } else {
    OnCustomMode();
  }
  win::EnableWindow(GetDlgItem(1018), running);
  win::EnableWindow(GetDlgItem(1017), running);
}

void CSplitterDlg::OnStop() {
  if (!m_model.Stop()) return;
  // The end follows from the worker; until then nothing more to press.
  win::EnableWindow(GetDlgItem(1017), false);
  win::EnableWindow(GetDlgItem(1018), false);
  SetStatus(&words::Stopping);
}

void CSplitterDlg::OnCancel() {
  if (JobRunning()) {
    m_bAskingToClose = true;
    const bool yes = AskYesNo(words::CloseDuringJobQuestion(), words::MessageCaption());
    m_bAskingToClose = false;
    // A job that ended while the question was open closed it: the window
    // goes, as the user asked.
    if (!yes && !m_bClosing) return;
    m_bClosing = true;
    m_model.Stop();
    // The tool removes its temporary file before the window goes; the wait
    // is bounded by the job's own grace period and kill.
    QElapsedTimer waited;
    waited.start();
    while (JobRunning() && waited.elapsed() < 4 * zantrel::CSplitTask::kStopGraceMs)
      QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  CDialogBase::OnCancel();
}
