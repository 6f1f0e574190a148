#pragma once
// Ends the program cleanly on SIGTERM, SIGINT or SIGHUP (logout, Ctrl+C, a
// test harness): every running event loop is left, so the main dialog closes
// and is destroyed as if the user had closed it, and its settings are saved.
// Construct once on the UI thread after the QApplication; RAII for the pipe.
#include <QObject>

class QSocketNotifier;

class QuitOnSignal : public QObject {
  Q_OBJECT
 public:
  explicit QuitOnSignal(QObject* parent = nullptr);
  ~QuitOnSignal() override;

 private:
  void OnSignalReadable();
  int m_fds[2] = {-1, -1};
  QSocketNotifier* m_notifier = nullptr;
};
