// The main dialog: what the tool's probe makes of a chosen source.
#include "engine/probe_run.h"
#include "platform/module.h"
#include "ui/splitter_dlg.h"
#include "ui/words.h"

namespace {
// Long enough for a slow disk; the read ends as soon as the Duration line
// has arrived, so a normal probe takes only as long as the tool needs.
constexpr int kProbeTimeoutMs = 5000;
}

zantrel::ProbeResult CSplitterDlg::ProbeSource(const std::string& path) {
  const zantrel::ProbeResult probe = zantrel::ProbeSource(path, ToolDir(), kProbeTimeoutMs);
  // Told at once, naming the file; Start refuses with the same words.
  if (probe.verdict != zantrel::SourceVerdict::kVideo)
    ShowMessageBox(words::SourceProblem(path, probe.verdict), words::MessageCaption());
  return probe;
}
