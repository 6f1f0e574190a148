// Qt's own texts in the interface's language, from Debian's Qt translations.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>

#include "app/qt/qt_translations.h"

namespace {
// What Qt itself calls the Open and Yes buttons now.
QString OpenText() {
  QMessageBox box(QMessageBox::Question, "t", "x", QMessageBox::Open | QMessageBox::Yes);
  return box.button(QMessageBox::Open)->text().remove('&');
}
QString YesText() {
  QMessageBox box(QMessageBox::Question, "t", "x", QMessageBox::Yes);
  return box.button(QMessageBox::Yes)->text().remove('&');
}
}  // namespace

TEST(QtTranslations, LanguageNamesChooseQtsCatalogue) {
  EXPECT_EQ(QtLocaleForLanguage(""), "zh_CN");
  EXPECT_EQ(QtLocaleForLanguage("Chinese"), "zh_CN");
  EXPECT_EQ(QtLocaleForLanguage("Chinese_Simplified"), "zh_CN");
  EXPECT_EQ(QtLocaleForLanguage("简体中文"), "zh_CN");
  EXPECT_EQ(QtLocaleForLanguage("Chinese_Traditional"), "zh_TW");
  EXPECT_EQ(QtLocaleForLanguage("繁體中文"), "zh_TW");
  EXPECT_EQ(QtLocaleForLanguage("English"), "");
  EXPECT_EQ(InstallQtTranslations(""), nullptr);
}

TEST(QtTranslations, QtsOwnTextsFollowEachSwitchAtOnce) {
  ASSERT_EQ(OpenText(), "Open");
  QtTranslations qt;
  qt.Follow("Chinese_Simplified");
  ASSERT_EQ(qt.Locale(), "zh_CN") << "qt6-translations-l10n is not installed";
  EXPECT_EQ(OpenText(), QString::fromUtf8("打开"));
  EXPECT_EQ(YesText().left(1), QString::fromUtf8("是"));
  // Traditional Chinese gets Taiwan's catalogue, not the Simplified one.
  qt.Follow("Chinese_Traditional");
  EXPECT_EQ(qt.Locale(), "zh_TW");
  EXPECT_EQ(OpenText(), QString::fromUtf8("開啟"));
  // English removes the catalogue; nothing of the earlier ones is left.
  qt.Follow("English");
  EXPECT_EQ(qt.Locale(), "");
  EXPECT_EQ(OpenText(), "Open");
  EXPECT_EQ(YesText(), "Yes");
  qt.Follow("Chinese_Traditional");
  qt.Follow("Chinese_Traditional");
  EXPECT_EQ(OpenText(), QString::fromUtf8("開啟"));
}
