#pragma once
// Qt's own texts (the file and folder choosers, the message-box buttons) in
// the interface's language, from the translations Debian ships with Qt.
#include <QTranslator>
#include <memory>
#include <string>

// The Qt locale name for an interface language name ("" or a Chinese name:
// "zh_CN"); "" when Qt's own English is right (English) or no Qt
// translation matches.
std::string QtLocaleForLanguage(const std::string& language);

// Loads qtbase_<locale>.qm from Qt's translations folder and installs it in
// the application. nullptr when the locale is empty or no file loads (Qt then
// speaks English). The caller keeps the translator alive while it is
// installed; destroying it removes it.
std::unique_ptr<QTranslator> InstallQtTranslations(const std::string& qtLocale);
