#include "ui/failure_report_dlg.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/codepage.h"

namespace {
QString ToQ(const std::string& bytes) { return QString::fromStdString(zantrel::ToUtf8(bytes)); }
// Lines shown before the list scrolls.
constexpr int kVisibleLines = 12;
}  // namespace

CFailureReportDlg::CFailureReportDlg(const std::string& caption, const std::string& summary,
                                     const std::vector<std::string>& lines, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(ToQ(caption));
  auto* layout = new QVBoxLayout(this);
  m_summary = new QLabel(ToQ(summary), this);
  m_summary->setWordWrap(true);
  layout->addWidget(m_summary);

  m_list = new QListWidget(this);
  for (const std::string& line : lines) {
    auto* item = new QListWidgetItem(ToQ(line), m_list);
    item->setToolTip(item->text());  // a long tool message stays readable
  }
  m_list->setSelectionMode(QAbstractItemView::NoSelection);
  m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  layout->addWidget(m_list, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);

  // The list asks for room for a few lines; the rest scroll. The whole box
  // is bounded by the screen, so the OK button is always on it.
  const int rowHeight = std::max(m_list->sizeHintForRow(0), fontMetrics().height());
  const int shown = std::min<int>(std::max<int>(static_cast<int>(lines.size()), 1), kVisibleLines);
  m_list->setMinimumHeight(rowHeight * std::min(shown, 4) + 2 * m_list->frameWidth());
  int wanted = 0;
  for (int i = 0; i < m_list->count(); ++i) wanted = std::max(wanted, m_list->sizeHintForColumn(0));
  const QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
  const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
  const int width = std::clamp(wanted + 60, 360, avail.width() * 4 / 5);
  const int listHeight = rowHeight * shown + 2 * m_list->frameWidth();
  const int height = std::min(layout->sizeHint().height() - m_list->sizeHint().height() + listHeight,
                              avail.height() * 4 / 5);
  setMaximumSize(avail.size() * 9 / 10);
  resize(width, height);
}
