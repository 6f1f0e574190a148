#include "app/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QString>
#include <algorithm>
#include <cctype>

std::string QtLocaleForLanguage(const std::string& language) {
  std::string lower = language;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  // Traditional first: its names hold "chinese" too, and Qt's Simplified
  // catalogue would give it forms a Traditional reader does not use.
  if (lower.find("traditional") != std::string::npos || lower == "cht" || lower == "zh_tw" ||
      lower == "zh-tw" || lower == "zh_hk" || lower == "zh-hk" ||
      language.find("繁體") != std::string::npos || language.find("繁体") != std::string::npos)
    return "zh_TW";
  // The interface is built in Simplified Chinese: no choice means Chinese.
  if (lower.empty() || lower.find("chinese") != std::string::npos || lower == "chs" ||
      lower == "zh_cn" || lower == "zh-cn" || language.find("中文") != std::string::npos)
    return "zh_CN";
  return std::string();
}

std::unique_ptr<QTranslator> InstallQtTranslations(const std::string& qtLocale) {
  if (qtLocale.empty()) return nullptr;
  auto translator = std::make_unique<QTranslator>();
  const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!translator->load(QStringLiteral("qtbase_") + QString::fromStdString(qtLocale), dir))
    return nullptr;
  QCoreApplication::installTranslator(translator.get());
  return translator;
}

void QtTranslations::Follow(const std::string& language) {
  const std::string locale = QtLocaleForLanguage(language);
  if (locale == m_locale && (m_translator || locale.empty())) return;
  // The old catalogue goes first: two installed at once would let the newer
  // one answer only where it has a text, and the older fill the gaps.
  m_translator.reset();
  m_translator = InstallQtTranslations(locale);
  m_locale = m_translator ? locale : std::string();
}
