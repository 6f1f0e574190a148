#pragma once
// Qt's own texts (the file and folder choosers, the message-box buttons) in
// the interface's language, from the translations Debian ships with Qt
// (qt6-translations-l10n).
#include <QTranslator>
#include <memory>
#include <string>

// The Qt locale name for an interface language name: "zh_TW" for Traditional
// Chinese, "zh_CN" for no name or any other Chinese; "" when Qt's own English
// is right (English) or no Qt translation matches.
std::string QtLocaleForLanguage(const std::string& language);

// Loads qtbase_<locale>.qm from Qt's translations folder and installs it in
// the application. nullptr when the locale is empty or no file loads (Qt then
// speaks English). The caller keeps the translator alive while it is
// installed; destroying it removes it.
std::unique_ptr<QTranslator> InstallQtTranslations(const std::string& qtLocale);

// The one Qt catalogue of the run, following the interface language. Owned
// by the start-up code for the program's life; UI thread.
class QtTranslations {
 public:
  // Installs the catalogue of `language` in place of the current one, so
  // that Qt's texts change at once (widgets get a LanguageChange event).
  // English, or a language Qt has no catalogue for, leaves none installed.
  void Follow(const std::string& language);
  // The locale now installed ("" for none).
  const std::string& Locale() const { return m_locale; }

 private:
  std::unique_ptr<QTranslator> m_translator;
  std::string m_locale;
};
