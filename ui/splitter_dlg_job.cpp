// The main dialog: Start turns the plan into a job and hands it to a worker;
// Stop ends it early; one job runs at a time.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QProgressBar>

#include "engine/job.h"
#include "engine/plan.h"
#include "platform/codepage.h"
#include "platform/module.h"
#include "platform/path.h"
#include "platform/qt/copydata_receiver.h"
#include "platform/qt/win_helpers.h"
#include "ui/splitter_dlg.h"

namespace {
// The output names listed in the replace question; the rest are counted.
constexpr std::size_t kNamesShown = 5;

std::string BaseName(const std::string& path) {
  const std::size_t sep = zantrel::MbsRChr(path, zantrel::kPathSep);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}
}  // namespace

void CSplitterDlg::OnStart() {
  // The button is disabled while a job runs; a command that still arrives
  // (a queued click, a test) must not start a second job on the same files.
  if (m_bJobRunning) return;

  zantrel::SplitJob job;

  const std::string source = win::GetDlgItemText(this, 1000);
  if (source.empty()) {
    ShowMessageBox("请选择要分割的文件！", kMsgCaption);
    return;
  }
  // Every plan needs the duration. It is unknown before it has arrived, when
  // the player or the probe found none, and for a path typed over the
  // browsed one: a one-second piece reported as done would be a lie.
  const bool durationPending = IsTimerRunning(kTimerDuration) || IsTimerRunning(kTimerProbe);
  const bool typedOver = !m_strSourcePath.empty() && source != m_strSourcePath;
  if (m_dDuration < 1 || durationPending || typedOver) {
    ShowMessageBox("无法得知源文件的时长，请通过“浏览”重新添加文件，等时长显示后再开始分割！",
                   kMsgCaption);
    return;
  }
  const std::string sourceName = BaseName(source);
  job.sourcePath = source;

  // A plan that cannot be built is refused before anything is created.
  const zantrel::SplitPlan plan = zantrel::BuildSplitPlan(PlanInputFromControls());
  if (!plan.valid) {
    ShowMessageBox(plan.error, kMsgCaption);
    return;
  }

  std::string folder;
  if (win::IsDlgButtonChecked(this, 1021)) {
    // Beside the browsed source; a path only typed into the box has its own
    // folder, rather than none (which would write beside the program's
    // working directory).
    folder = zantrel::DirOfPath(m_strSourcePath.empty() ? source : m_strSourcePath);
    if (!CheckOutputFolder(folder, false)) return;
  } else {
    folder = win::GetDlgItemText(this, 1014);
    if (folder.empty()) {
      ShowMessageBox("请选择文件的保存位置！", kMsgCaption);
      return;
    }
    if (folder.back() != zantrel::kPathSep) folder += zantrel::kPathSep;
    if (!CheckOutputFolder(folder, true)) return;
  }

  job.outputBase = folder + sourceName;
  job.duration = static_cast<std::int32_t>(m_dDuration);
  job.count = plan.count;
  job.boundaries.assign(plan.boundaries.begin(), plan.boundaries.end());
  if (!ConfirmReplace(job)) return;
  m_strOutputDir = folder;

  // The worker's one way back: the end of the job, handled on this thread
  // while the worker waits, as a sent message would be.
  QPointer<CSplitterDlg> self(this);
  auto onDone = [self](zantrel::CSplitTask& task) {
    const bool posted = QMetaObject::invokeMethod(
        self.data(),
        [self, &task] {
          if (self) self->OnSplitDone(task);
          task.ReleaseDone();
        },
        Qt::QueuedConnection);
    if (posted) task.WaitDoneHandled();
  };

  std::vector<std::string> env;
  if (m_copyData && !m_copyData->EnvironmentEntry().empty())
    env.push_back(m_copyData->EnvironmentEntry());
  auto task = std::make_unique<zantrel::CSplitTask>(std::move(job), onDone,
                                                    ToolDir(), std::move(env));

  // Each job's progress starts from nothing.
  m_jobProgress.emplace(task->Pieces());
  g_nProgress = 0;
  win::ProgressSetPos(m_progress, 0);
  m_progress->setTextVisible(false);
  SetStatus("完成 0%");

  m_pSplitTask = task.get();
  m_tasks.push_back(std::move(task));
  m_bJobRunning = true;
  EnableJobControls(true);
  m_pSplitTask->Start();
}

bool CSplitterDlg::CheckOutputFolder(const std::string& folder, bool create) {
  const std::string shown = folder.empty() ? std::string(".") : folder;
  if (create && !zantrel::CreateFolderPath(folder)) {
    ShowMessageBox("无法创建输出文件夹：\n" + shown + "\n请选择其他保存位置！", kMsgCaption);
    return false;
  }
  std::string why;
  if (!zantrel::CheckFolderWritable(folder, &why)) {
    ShowMessageBox("无法写入输出文件夹（" + why + "）：\n" + shown + "\n请选择其他保存位置！",
                   kMsgCaption);
    return false;
  }
  return true;
}

bool CSplitterDlg::ConfirmReplace(const zantrel::SplitJob& job) {
  const std::vector<std::string> existing = zantrel::ExistingOutputNames(job);
  if (existing.empty()) return true;
  std::string names;
  for (std::size_t i = 0; i < existing.size() && i < kNamesShown; ++i)
    names += "\n" + BaseName(existing[i]);
  if (existing.size() > kNamesShown)
    names += "\n……（共 " + std::to_string(existing.size()) + " 个）";
  if (!AskYesNo("输出文件夹中已有同名的文件：" + names + "\n\n是否替换这些文件？", kMsgCaption))
    return false;
  // Exactly the job's own names go, before the first run; the tool then
  // writes them afresh with the command lines unchanged.
  std::string why;
  if (!zantrel::RemoveFiles(existing, &why)) {
    ShowMessageBox("无法替换已有的文件：\n" + why, kMsgCaption);
    return false;
  }
  return true;
}

void CSplitterDlg::EnableJobControls(bool running) {
  for (int id : {1016, 1001, 1015, 1007, 1008, 1009})
    win::EnableWindow(GetDlgItem(id), !running);
  win::EnableWindow(GetDlgItem(1011), !running);
  if (running) {
    for (int id : {1010, 1012, 1013}) win::EnableWindow(GetDlgItem(id), false);
  } else if (m_nSplitMode == zantrel::kSplitAverage) {
    OnAverageMode();
  } else if (m_nSplitMode == zantrel::kSplitEqualTime) {
    OnEqualTimeMode();
  } else {
    OnCustomMode();
  }
  win::EnableWindow(GetDlgItem(1018), running);
  win::EnableWindow(GetDlgItem(1017), running);
}

void CSplitterDlg::OnStop() {
  if (!m_bJobRunning || !m_pSplitTask) return;
  if (!m_pSplitTask->Stop()) return;
  // The end follows from the worker; until then nothing more to press.
  win::EnableWindow(GetDlgItem(1017), false);
  win::EnableWindow(GetDlgItem(1018), false);
  SetStatus("正在停止");
}

void CSplitterDlg::OnCancel() {
  if (m_bJobRunning && m_pSplitTask) {
    if (!AskYesNo("正在分割视频。确定要停止分割并退出吗？\n已完成的片段会保留。", kMsgCaption))
      return;
    m_bClosing = true;
    m_pSplitTask->Stop();
    // The tool removes its temporary file before the window goes; the wait
    // is bounded by the job's own grace period and kill.
    QElapsedTimer waited;
    waited.start();
    while (m_bJobRunning && waited.elapsed() < 4 * zantrel::CSplitTask::kStopGraceMs)
      QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  CDialogBase::OnCancel();
}
