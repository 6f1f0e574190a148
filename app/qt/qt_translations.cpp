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
