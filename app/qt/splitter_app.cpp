#include "app/qt/splitter_app.h"

#include <memory>
#include <string>

#include "app/globals.h"
#include "i18n/language.h"
#include "platform/module.h"
#include "skin/qt/skin_engine.h"
#include "skin/skin_settings.h"
#include "ui/splitter_dlg.h"

bool CSplitterApp::InitInstance() {
  g_strAppDir = zantrel::GetModuleDir();
  g_strLangSetIni = g_strAppDir + "lang_set.ini";

  // The language comes first: the dialogs and the menu bar translate
  // themselves as they are created.
  SetLanguage(g_strAppDir, "");

  // Common controls, ActiveX hosting and the registry key have no
  // counterpart here: Qt's widgets need no initialisation and nothing is kept
  // outside the program folder.

  const std::string skinIni = g_strAppDir + "skin.ini";
  const SkinSettings skin = ReadSkinSettings(skinIni);

  SkinStart("Demo", 0, 0);
  SkinLoadFromResource(skin.name.c_str(), kSkinResourceType);
  SkinSetDialogSkin("Dialog");

  {
    auto dlg = std::make_unique<CSplitterDlg>(skin.number, nullptr);
    dlg->DoModal();
    // Destroying the dialog saves the skin choice.
  }
  return false;
}

int CSplitterApp::ExitInstance() {
  SkinShutdown();
  return 0;
}
