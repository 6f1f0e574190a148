// The main dialog: the source duration from the tool's probe form.
#include "engine/probe_run.h"
#include "platform/module.h"
#include "ui/splitter_dlg.h"
#include "ui/words.h"

namespace {
// Long enough for a slow disk; the read ends as soon as the Duration line
// has arrived, so a normal probe takes only as long as the tool needs.
constexpr int kProbeTimeoutMs = 5000;
}

int CSplitterDlg::ProbeDuration(const std::string& path) {
  const int seconds = zantrel::RunProbe(path, ToolDir(), kProbeTimeoutMs);
  if (seconds == 0) ShowMessageBox(words::SourceUnreadable(), words::MessageCaption());
  return seconds;
}
