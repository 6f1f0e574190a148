#include "app/qt/splitter_app.h"

#include <QTimer>
#include <memory>
#include <optional>
#include <string>

#include "app/globals.h"
#include "app/qt/qt_translations.h"
#include "app/source_argument.h"
#include "i18n/language.h"
#include "platform/module.h"
#include "settings/settings_dir.h"
#include "skin/qt/skin_engine.h"
#include "skin/skin_settings.h"
#include "ui/splitter_dlg.h"

bool CSplitterApp::InitInstance() {
  g_strAppDir = zantrel::GetModuleDir();
  // Both settings files live together: beside the program when its folder
  // can be written, else in the user's configuration folder. The choice is
  // made here, once, and every later read and write follows it.
  const std::string settingsDir = zantrel::SettingsDirOf(g_strAppDir);
  g_strLangSetIni = settingsDir + "lang_set.ini";

  // The language comes first: the dialogs and the menu bar translate
  // themselves as they are created.
  SetLanguage(g_strAppDir, "");
  // Qt's choosers and buttons speak the same language as the dialogs.
  m_qtTranslations.Follow(GetCurrentLanguage());

  // Common controls, ActiveX hosting and the registry key have no
  // counterpart here: Qt's widgets need no initialisation and nothing is kept
  // in a registry.

  const SkinSettings skin = ReadSkinSettings(settingsDir + "skin.ini");

  SkinStart("Demo", 0, 0);
  SkinLoadFromResource(skin.name.c_str(), kSkinResourceType);
  SkinSetDialogSkin("Dialog");

  {
    auto dlg = std::make_unique<CSplitterDlg>(skin.number, nullptr);
    // Qt's own texts switch with the window's.
    dlg->SetLanguageFollower([this](const std::string& language) { m_qtTranslations.Follow(language); });
    // A file from the command line is taken once the modal loop runs, as a
    // browse would be: the dialog is up, so its message boxes have an owner.
    if (const std::optional<std::string> source = zantrel::SourceFromArguments(m_args)) {
      CSplitterDlg* d = dlg.get();
      QTimer::singleShot(0, d, [d, path = *source] { d->OpenSourceFromOutside(path); });
    }
    dlg->DoModal();
    // Destroying the dialog saves the skin choice.
  }
  return false;
}

int CSplitterApp::ExitInstance() {
  SkinShutdown();
  return 0;
}
