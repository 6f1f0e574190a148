#include "platform/qt/shell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

#include <string_view>
#include <vector>

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

bool AskYesNo(QWidget* owner, const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::Question, ToQ(caption), ToQ(text),
                  QMessageBox::Yes | QMessageBox::No, owner);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

std::string QtFilterFromWin(const std::string& winFilter) {
  // Fields separated by '|' (a trail byte that looks like one is not), read
  // as pairs of description and patterns. As with the NUL-separated list the
  // bars stand for, an empty description ends the list.
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < winFilter.size();) {
    const std::size_t n = zantrel::CharLength(std::string_view(winFilter).substr(i));
    if (n == 1 && winFilter[i] == '|') fields.emplace_back();
    else fields.back().append(winFilter, i, n);
    i += n;
  }
  std::string out;
  for (std::size_t i = 0; i + 1 < fields.size() && !fields[i].empty(); i += 2) {
    std::string pats = fields[i + 1];
    for (char& p : pats)
      if (p == ';') p = ' ';
    if (!out.empty()) out += ";;";
    // Qt reads the patterns from the last parentheses; keep the
    // description whole and add them once more.
    out += fields[i] + " (" + pats + ")";
  }
  return out;
}

std::optional<std::string> BrowseForFile(QWidget* owner, const std::string& winFilter,
                                         const std::string& startDir) {
  const QString path =
      QFileDialog::getOpenFileName(owner, QString(), ToQ(startDir), ToQ(QtFilterFromWin(winFilter)),
                                   nullptr, QFileDialog::DontUseNativeDialog);
  if (path.isEmpty()) return std::nullopt;
  return FromQ(path);
}

std::string BrowseForFolder(QWidget* owner, const std::string& startDir) {
  return FromQ(QFileDialog::getExistingDirectory(
      owner, QString(), ToQ(startDir), QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog));
}

bool OpenWithDesktop(const std::string& pathOrUrl) {
  const QString s = ToQ(pathOrUrl);
  const QUrl url = s.startsWith('/') ? QUrl::fromLocalFile(s) : QUrl(s);
  return QDesktopServices::openUrl(url);
}

bool StartDetached(const std::string& program) { return QProcess::startDetached(ToQ(program), {}); }

void PostQuitMessage(int code) { QCoreApplication::exit(code); }

}  // namespace win
