#pragma once
// CMenuMsgFilter: while a popup of the bar is open, this filter sits on the
// popup (which holds the pointer) and hands the bar what happens over it,
// the message-filter hook's role:
// - a pointer move over the bar's window goes to g_pMenuWnd->OnMouseMove and
//   still reaches the popup;
// - a left-button press (or double click) over the bar goes to
//   g_pMenuWnd->OnLButtonDown and never reaches the popup;
// - a left-button press elsewhere resets the bar's cells and reaches the
//   popup as usual;
// - Left / Right go to g_pMenuWnd->FilterMenuKey, which switches popups.
// Installed by construction, removed by destruction, so every way out of the
// popup run removes it. Does nothing while g_pMenuWnd is null. UI thread.
#include <QObject>

class CMenuMsgFilter : public QObject {
 public:
  explicit CMenuMsgFilter(QObject* popup);
  ~CMenuMsgFilter() override;
  CMenuMsgFilter(const CMenuMsgFilter&) = delete;
  CMenuMsgFilter& operator=(const CMenuMsgFilter&) = delete;

  bool eventFilter(QObject* watched, QEvent* event) override;

  // How many filters are installed right now.
  static int InstalledCount();

 private:
  QObject* m_popup;
};
