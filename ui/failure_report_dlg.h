#pragma once
// The report of a job whose pieces failed: one summary line, then a
// scrollable list with one line per failed piece, and an OK button. However
// many pieces failed, the dialog stays within the screen it opens on. Owned
// by the caller (usually on the stack, run with exec()); UI thread.
#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QListWidget;

class CFailureReportDlg : public QDialog {
  Q_OBJECT
 public:
  // Texts are byte strings in the current code page.
  CFailureReportDlg(const std::string& caption, const std::string& summary,
                    const std::vector<std::string>& lines, QWidget* parent);

  QListWidget* List() const { return m_list; }
  QLabel* Summary() const { return m_summary; }

 private:
  QLabel* m_summary;
  QListWidget* m_list;
};
