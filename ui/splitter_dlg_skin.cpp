// The main dialog: the skin commands and the saved skin choice.
#include "platform/module.h"
#include "settings/settings_dir.h"
#include "skin/qt/skin_engine.h"
#include "skin/skin_settings.h"
#include "ui/splitter_dlg.h"

namespace {
void LoadSkin(int& nSkin, int number) {
  SkinLoadFromResource(SkinResourceName(number), kSkinResourceType);
  nSkin = number;  // saved only when the dialog goes (or before a restart)
}
}  // namespace

void CSplitterDlg::OnSkinKorvane() { LoadSkin(m_nSkin, 1); }
void CSplitterDlg::OnSkinDevior() { LoadSkin(m_nSkin, 2); }
void CSplitterDlg::OnSkinCorona() { LoadSkin(m_nSkin, 3); }
void CSplitterDlg::OnSkinXpArgent() { LoadSkin(m_nSkin, 4); }
void CSplitterDlg::OnSkinFuture() { LoadSkin(m_nSkin, 5); }

void CSplitterDlg::SaveSkinChoice() {
  // Beside the program, or in the user's folder for an installed copy.
  SaveSkinSettings(zantrel::SettingsDirOf(zantrel::GetModuleDir()) + "skin.ini", m_nSkin);
}
