#pragma once
// Ends the program cleanly on SIGTERM, SIGINT or SIGHUP (logout, Ctrl+C, a
// test harness): every running event loop is left, so the main dialog closes
// and is destroyed as if the user had closed it, and its settings are saved.
// A signal the program was started with ignored (nohup, a background job)
// stays ignored. Construct once on the UI thread after the QApplication;
// the destructor closes the pipe and puts back the handlers found before.
#include <signal.h>

#include <QObject>

class QSocketNotifier;

class QuitOnSignal : public QObject {
  Q_OBJECT
 public:
  explicit QuitOnSignal(QObject* parent = nullptr);
  ~QuitOnSignal() override;

 private:
  static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
  static constexpr int kCount = sizeof kSignals / sizeof kSignals[0];

  void OnSignalReadable();
  int m_fds[2] = {-1, -1};
  QSocketNotifier* m_notifier = nullptr;
  struct sigaction m_previous[kCount] = {};
  bool m_installed[kCount] = {};
};
