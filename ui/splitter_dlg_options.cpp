// The main dialog: the user's choices kept between runs (options.ini) and
// the recent files in the File menu.
#include <QAbstractButton>
#include <QLineEdit>

#include "menubar/menu_wnd.h"
#include "menubar/owner_draw_menu.h"
#include "platform/fs.h"
#include "platform/module.h"
#include "platform/qt/updown.h"
#include "platform/qt/win_helpers.h"
#include "settings/settings_dir.h"
#include "ui/splitter_dlg.h"
#include "ui/words.h"

namespace {
constexpr int kFilePopup = 0;
}  // namespace

std::string CSplitterDlg::OptionsPath() const {
  // Beside skin.ini and lang_set.ini, wherever those live.
  return zantrel::SettingsDirOf(zantrel::GetModuleDir()) + zantrel::kOptionsFile;
}

void CSplitterDlg::LoadOptions() {
  m_optionsPath = OptionsPath();
  m_options = zantrel::ReadUserOptions(m_optionsPath);
  zantrel::ApplyUserOptions(m_model, m_options);

  // The controls show the model; N and S flow back through their edits.
  m_spin->SetPos(m_model.Parts());
  win::SetDlgItemText(this, 1012, std::to_string(m_model.SecondsPerPart()));
  // Set only when it differs: the box shows a path from its beginning on a
  // change, and a repeated text would leave the cursor at its end.
  if (win::GetDlgItemText(this, 1014) != m_model.OutputFolder())
    win::SetDlgItemText(this, 1014, m_model.OutputFolder());
  win::CheckDlgButton(this, 1021, m_model.BesideSource());
  for (int id : {1007, 1008, 1009}) win::CheckDlgButton(this, id, false);
  switch (m_model.Mode()) {
    case zantrel::kSplitAverage:
      win::CheckDlgButton(this, 1008, true);
      OnAverageMode();
      break;
    case zantrel::kSplitEqualTime:
      win::CheckDlgButton(this, 1009, true);
      OnEqualTimeMode();
      break;
    default:
      win::CheckDlgButton(this, 1007, true);
      OnCustomMode();
      break;
  }

  // The output folder and the check box reach the model as they change, so
  // that what is saved is what the window shows, however it goes.
  if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(1014)))
    connect(edit, &QLineEdit::textChanged, this,
            [this] { m_model.SetOutputFolder(win::GetDlgItemText(this, 1014)); });
  if (auto* box = qobject_cast<QAbstractButton*>(GetDlgItem(1021)))
    connect(box, &QAbstractButton::toggled, this, [this](bool on) { m_model.SetBesideSource(on); });

  ShowRecentFiles();
}

void CSplitterDlg::SaveOptions() {
  if (m_optionsPath.empty()) return;
  m_options = zantrel::UserOptionsOf(m_model, m_options);
  zantrel::WriteUserOptions(m_optionsPath, m_options);
}

void CSplitterDlg::ShowRecentFiles() {
  if (!m_menuBar) return;
  zantrel::CMenu* file = m_menuBar->Menu().GetSubMenu(kFilePopup);
  if (!file) return;
  // Off with the old list and the separator that closed it ...
  for (int id = kFirstRecentCommand; id <= kLastRecentCommand; ++id)
    file->DeleteMenu(static_cast<unsigned>(id), zantrel::MF_BYCOMMAND);
  // Owner-drawn, a separator is known by its command ID of 0.
  auto separatorAt = [file](int pos) { return pos >= 0 && file->GetMenuItemID(pos) == 0; };
  for (int n = file->GetMenuItemCount(); separatorAt(n - 2) && separatorAt(n - 3);
       n = file->GetMenuItemCount())
    file->DeleteMenu(static_cast<unsigned>(n - 2), zantrel::MF_BYPOSITION);
  // ... and the new one above the last item, closed by a separator.
  if (m_options.recent.empty()) return;
  unsigned pos = static_cast<unsigned>(file->GetMenuItemCount() - 1);
  for (std::size_t i = 0; i < m_options.recent.size(); ++i)
    file->InsertMenu(pos++, zantrel::MF_BYPOSITION | zantrel::MF_STRING,
                     static_cast<unsigned>(kFirstRecentCommand) + static_cast<unsigned>(i),
                     zantrel::RecentMenuText(static_cast<int>(i), m_options.recent[i]));
  file->InsertMenu(pos, zantrel::MF_BYPOSITION | zantrel::MF_SEPARATOR);
  ConvertPopupToOwnerDraw(*file);
}

void CSplitterDlg::OnRecentFile(int id) {
  const std::size_t index = static_cast<std::size_t>(id - kFirstRecentCommand);
  if (index >= m_options.recent.size()) return;
  if (JobRunning()) return;  // as the browse: the job's source stays
  const std::string path = m_options.recent[index];
  if (!zantrel::FileExists(path)) {
    zantrel::RemoveRecentFile(m_options.recent, path);
    ShowRecentFiles();
    ShowMessageBox(words::RecentFileMissing(path), words::MessageCaption());
    return;
  }
  SetSource(path);
}
