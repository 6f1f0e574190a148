#pragma once
// The main dialog's desktop input, kept apart from its command table:
// - Ctrl+O browses for the source, like button 1001;
// - Space while the preview has the focus plays or pauses it (a focused
//   button keeps Space for itself);
// - a video file dragged from a file manager onto any part of the dialog is
//   chosen as the source when dropped, as a browse would choose it; other
//   drags (text into an edit box) behave as before.
// The slider's own keys already move it, and every move seeks the preview.
//
// Owned by the dialog (Qt parent); UI thread only.
#include <QObject>
#include <string>

class CSplitterDlg;
class QMimeData;

// The first local file among a drag's URLs whose extension, in any case,
// is one the source browse lists (flv, mp4, 3gp, avi); "" when none. The
// path comes back as bytes in the current code page.
std::string DroppedVideoFile(const QMimeData* data);

class CDesktopInput : public QObject {
  Q_OBJECT
 public:
  explicit CDesktopInput(CSplitterDlg* dlg);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CSplitterDlg* m_dlg;
};

// Creates the dialog's CDesktopInput, after its controls and the preview
// exist, and puts the preview in the Tab order right after the source's
// Browse button.
void InstallDesktopInput(CSplitterDlg* dlg);
