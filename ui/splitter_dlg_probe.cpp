// The main dialog: the source duration from the tool's probe form.
#include "engine/probe_run.h"
#include "platform/module.h"
#include "ui/splitter_dlg.h"

namespace {
// Long enough for a slow disk; the read ends as soon as the Duration line
// has arrived, so a normal probe takes only as long as the tool needs.
constexpr int kProbeTimeoutMs = 5000;
}

double CSplitterDlg::ProbeDuration(const std::string& path) {
  const int seconds = zantrel::RunProbe(path, ToolDir(), kProbeTimeoutMs);
  if (seconds == 0) ShowMessageBox("文件读取失败，请重新添加文件!", kMsgCaption);
  return seconds;
}
