#include "ui/desktop_input.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QShortcut>
#include <QUrl>

#include "platform/codepage.h"
#include "ui/splitter_dlg.h"

namespace {
bool IsSourceExtension(const QString& path) {
  // The browse filter's four patterns; a file manager hands over names in
  // any case, and the dialog decides later what it can preview.
  static const char* const kExts[] = {".flv", ".mp4", ".3gp", ".avi"};
  for (const char* e : kExts)
    if (path.endsWith(QLatin1String(e), Qt::CaseInsensitive)) return true;
  return false;
}
}  // namespace

std::string DroppedVideoFile(const QMimeData* data) {
  if (!data || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const QString path = url.toLocalFile();
    if (IsSourceExtension(path)) return zantrel::FromUtf8(path.toStdString());
  }
  return {};
}

CDesktopInput::CDesktopInput(CSplitterDlg* dlg) : QObject(dlg), m_dlg(dlg) {
  auto* open = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), dlg);
  connect(open, &QShortcut::activated, dlg, [dlg] { dlg->OnBrowseSource(); });

  // Drops may land on any control: the edit boxes accept text drops of their
  // own, so each widget is watched, not only the dialog.
  dlg->setAcceptDrops(true);
  dlg->installEventFilter(this);
  for (QWidget* w : dlg->findChildren<QWidget*>()) w->installEventFilter(this);
}

bool CDesktopInput::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* e = static_cast<QDropEvent*>(event);
      if (DroppedVideoFile(e->mimeData()).empty()) break;
      e->setDropAction(Qt::CopyAction);
      e->accept();
      return true;
    }
    case QEvent::Drop: {
      auto* e = static_cast<QDropEvent*>(event);
      const std::string path = DroppedVideoFile(e->mimeData());
      if (path.empty()) break;
      e->setDropAction(Qt::CopyAction);
      e->accept();
      m_dlg->OpenSourceFromOutside(path);
      return true;
    }
    case QEvent::KeyPress: {
      auto* e = static_cast<QKeyEvent*>(event);
      if (watched == m_dlg->GetDlgItem(kPreviewId) && e->key() == Qt::Key_Space &&
          e->modifiers() == Qt::NoModifier) {
        if (!e->isAutoRepeat()) m_dlg->TogglePreviewPlayback();
        return true;
      }
      break;
    }
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

void InstallDesktopInput(CSplitterDlg* dlg) {
  if (QWidget* preview = dlg->GetDlgItem(kPreviewId)) {
    // The preview takes the focus by Tab or a click, so Space can reach it.
    preview->setFocusPolicy(Qt::StrongFocus);
    if (QWidget* browse = dlg->GetDlgItem(1001)) QWidget::setTabOrder(browse, preview);
  }
  new CDesktopInput(dlg);
}
