// The main dialog: Start turns the plan into a job and hands it to a worker.
#include <QMetaObject>
#include <QPointer>

#include "engine/job.h"
#include "engine/plan.h"
#include "platform/codepage.h"
#include "platform/module.h"
#include "platform/path.h"
#include "platform/qt/copydata_receiver.h"
#include "platform/qt/win_helpers.h"
#include "ui/splitter_dlg.h"

void CSplitterDlg::OnStart() {
  zantrel::SplitJob job;

  const std::string source = win::GetDlgItemText(this, 1000);
  if (source.empty()) {
    ShowMessageBox("请选择要分割的文件！", kMsgCaption);
    return;
  }
  const std::size_t sep = zantrel::MbsRChr(source, zantrel::kPathSep);
  const std::string sourceName = sep == std::string::npos ? source : source.substr(sep + 1);
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
  } else {
    folder = win::GetDlgItemText(this, 1014);
    if (folder.empty()) {
      ShowMessageBox("请选择文件的保存位置！", kMsgCaption);
      return;
    }
    if (folder.back() != zantrel::kPathSep) folder += zantrel::kPathSep;
    // A folder that cannot be made shows up as failed pieces at the end.
    zantrel::CreateFolderPath(folder);
  }

  m_strOutputDir = folder;
  job.outputBase = folder + sourceName;
  job.duration = static_cast<std::int32_t>(m_dDuration);
  job.count = plan.count;
  job.boundaries.assign(plan.boundaries.begin(), plan.boundaries.end());

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
  m_pSplitTask = task.get();
  m_tasks.push_back(std::move(task));
  m_pSplitTask->Start();
}
