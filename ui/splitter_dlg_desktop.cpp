// The main dialog on the desktop: sources named from outside (the command
// line, a drop), the preview's play/pause toggle, accessible names and
// tool tips.
#include <sys/stat.h>

#include <QAbstractButton>
#include <QWidget>

#include "i18n/qt/tool_tips.h"
#include "platform/codepage.h"
#include "platform/module.h"
#include "platform/qt/win_helpers.h"
#include "preview/mpv_player_widget.h"
#include "res/dialogs.h"
#include "ui/splitter_dlg.h"
#include "ui/words.h"

namespace {
// A label's text as a name: without the trailing colon (ASCII or full
// width) and the blanks around it.
std::string LabelName(QWidget* dlg, int labelId) {
  QString t = QString::fromStdString(zantrel::ToUtf8(win::GetDlgItemText(dlg, labelId))).trimmed();
  while (t.endsWith(QLatin1Char(':')) || t.endsWith(QChar(0xFF1A))) t = t.chopped(1).trimmed();
  return zantrel::FromUtf8(t.toStdString());
}

void SetAccessibleName(QWidget* w, const std::string& name) {
  if (w) w->setAccessibleName(QString::fromStdString(zantrel::ToUtf8(name)));
}
}  // namespace

bool CSplitterDlg::OpenSourceFromOutside(const std::string& path) {
  // The file dialog lets only existing files through; a name from outside
  // gets the same guard, with a message that names it and says why.
  if (!zantrel::FileExists(path)) {
    struct stat st;
    const bool there = ::stat(path.c_str(), &st) == 0;
    ShowMessageBox(words::SourceProblem(path, there ? zantrel::SourceVerdict::kUnreadable
                                                    : zantrel::SourceVerdict::kMissing),
                   words::MessageCaption());
    return false;
  }
  SetSource(path);
  return true;
}

void CSplitterDlg::TogglePreviewPlayback() {
  if (auto* player = qobject_cast<MpvPlayerWidget*>(m_flash.GetWidget())) player->TogglePlayPause();
}

void CSplitterDlg::ApplyDesktopTexts() {
  // Edit boxes and the list take the name of the label that describes them;
  // the two Browse buttons say which path they browse for. Names follow the
  // labels' current language.
  const std::string source = LabelName(this, 1023);
  const std::string output = LabelName(this, 1024);
  SetAccessibleName(GetDlgItem(1000), source);
  SetAccessibleName(GetDlgItem(1001), source + " " + win::GetDlgItemText(this, 1001));
  SetAccessibleName(GetDlgItem(1014), output);
  SetAccessibleName(GetDlgItem(1015), output + " " + win::GetDlgItemText(this, 1015));
  SetAccessibleName(GetDlgItem(1010), LabelName(this, 1026) + " " + LabelName(this, 1027));
  SetAccessibleName(GetDlgItem(1012), LabelName(this, 1028) + " " + LabelName(this, 1029));
  SetAccessibleName(GetDlgItem(1013), LabelName(this, 1030));
  const std::string preview = LabelName(this, 1031);
  SetAccessibleName(m_flash.GetWidget(), preview);
  // The slider has no label of its own; its value is the playing position.
  SetAccessibleName(GetDlgItem(1002), words::PlayingPosition(preview));

  TranslateToolTips(this, res::IDD_SPLITTER_DIALOG);
}
