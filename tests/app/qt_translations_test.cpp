// Qt's own texts in the interface's language, from Debian's Qt translations.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>

#include "app/qt/qt_translations.h"

TEST(QtTranslations, QtsOwnButtonsSpeakChinese) {
  EXPECT_EQ(QtLocaleForLanguage(""), "zh_CN");
  EXPECT_EQ(QtLocaleForLanguage("Chinese"), "zh_CN");
  EXPECT_EQ(QtLocaleForLanguage("简体中文"), "zh_CN");
  EXPECT_EQ(QtLocaleForLanguage("English"), "");
  EXPECT_EQ(InstallQtTranslations(""), nullptr);
  auto translator = InstallQtTranslations("zh_CN");
  ASSERT_NE(translator, nullptr) << "qt6-translations-l10n is not installed";
  QMessageBox box(QMessageBox::Question, "t", "x", QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove('&').left(1), QString::fromUtf8("是"));
  EXPECT_EQ(box.button(QMessageBox::No)->text().remove('&').left(1), QString::fromUtf8("否"));
  translator.reset();  // uninstalls
  QMessageBox english(QMessageBox::Question, "t", "x", QMessageBox::Yes);
  EXPECT_EQ(english.button(QMessageBox::Yes)->text().remove('&'), "Yes");
}

