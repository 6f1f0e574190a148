#include "app/qt/quit_on_signal.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace {
// The one write end the async-signal handler may touch; set while a
// QuitOnSignal exists.
volatile sig_atomic_t g_signalFd = -1;

void OnSignal(int sig) {
  // The interrupted code may be between a failing call and its look at
  // errno; a full pipe makes write() set it.
  const int savedErrno = errno;
  const int fd = g_signalFd;
  if (fd >= 0) {
    const char c = static_cast<char>(sig);
    [[maybe_unused]] ssize_t n = ::write(fd, &c, 1);
  }
  errno = savedErrno;
}
}  // namespace

QuitOnSignal::QuitOnSignal(QObject* parent) : QObject(parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_fds) != 0) return;
  g_signalFd = m_fds[1];
  struct sigaction sa = {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int k = 0; k < kCount; ++k) {
    if (sigaction(kSignals[k], nullptr, &m_previous[k]) != 0) continue;
    // Started with the signal ignored (nohup, a background job of a
    // script): whoever started us asked for that, so it stays ignored.
    if (!(m_previous[k].sa_flags & SA_SIGINFO) && m_previous[k].sa_handler == SIG_IGN) continue;
    m_installed[k] = sigaction(kSignals[k], &sa, nullptr) == 0;
  }
  m_notifier = new QSocketNotifier(m_fds[0], QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, [this] { OnSignalReadable(); });
}

QuitOnSignal::~QuitOnSignal() {
  for (int k = 0; k < kCount; ++k)
    if (m_installed[k]) sigaction(kSignals[k], &m_previous[k], nullptr);
  g_signalFd = -1;
  for (int& fd : m_fds)
    if (fd >= 0) ::close(fd), fd = -1;
}

void QuitOnSignal::OnSignalReadable() {
  char buf[16];
  while (::read(m_fds[0], buf, sizeof buf) > 0) {
  }
  // Leaves the modal loops (message boxes included), so the main dialog's
  // run returns and its destruction saves the settings.
  QCoreApplication::exit(0);
}
