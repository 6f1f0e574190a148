#include "platform/qt/shell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

#include "platform/codepage.h"

namespace win {
namespace {
QString ToQ(const std::string& bytes) { return QString::fromStdString(zantrel::ToUtf8(bytes)); }
std::string FromQ(const QString& s) { return zantrel::FromUtf8(s.toStdString()); }
}  // namespace

void MessageBox(QWidget* owner, const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::NoIcon, ToQ(caption), ToQ(text), QMessageBox::Ok, owner);
  box.exec();
}

std::string QtFilterFromWin(const std::string& winFilter) {
  // Pairs of description and patterns, separated (and ended) by '|'.
  std::string out, field, desc;
  bool haveDesc = false;
  for (char c : winFilter + "|") {
    if (c != '|') {
      field += c;
      continue;
    }
    if (!haveDesc) {
      desc = field;
      haveDesc = !field.empty();
    } else {
      std::string pats = field;
      for (char& p : pats)
        if (p == ';') p = ' ';
      if (!out.empty()) out += ";;";
      // Qt reads the patterns from the last parentheses; keep the
      // description whole and add them once more.
      out += desc + " (" + pats + ")";
      haveDesc = false;
    }
    field.clear();
  }
  return out;
}

std::optional<std::string> BrowseForFile(QWidget* owner, const std::string& winFilter) {
  const QString path = QFileDialog::getOpenFileName(owner, QString(), QString(),
                                                    ToQ(QtFilterFromWin(winFilter)));
  if (path.isEmpty()) return std::nullopt;
  return FromQ(path);
}

std::string BrowseForFolder(QWidget* owner) {
  return FromQ(QFileDialog::getExistingDirectory(owner));
}

bool OpenWithDesktop(const std::string& pathOrUrl) {
  const QString s = ToQ(pathOrUrl);
  const QUrl url = s.startsWith('/') ? QUrl::fromLocalFile(s) : QUrl(s);
  return QDesktopServices::openUrl(url);
}

bool StartDetached(const std::string& program) { return QProcess::startDetached(ToQ(program), {}); }

void PostQuitMessage(int code) { QCoreApplication::exit(code); }

}  // namespace win
