#include "platform/qt/copydata_receiver.h"

#include <QSocketNotifier>
#include <QTimer>
#include <set>

namespace {
constexpr int kBlocksPerTurn = 64;
}

CCopyDataReceiver::CCopyDataReceiver(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {}

CCopyDataReceiver::~CCopyDataReceiver() {
  // Notifiers must go before the server closes their descriptors.
  for (auto& [fd, n] : m_notifiers) delete n;
  m_notifiers.clear();
}

bool CCopyDataReceiver::Listen(std::string* error) {
  m_listening = m_server.Listen(error);
  if (m_listening) SyncNotifiers();
  return m_listening;
}

std::string CCopyDataReceiver::EnvironmentEntry() const {
  return m_listening ? m_server.EnvironmentEntry() : std::string();
}

void CCopyDataReceiver::Drain() {
  m_drainQueued = false;
  const bool more = m_server.Poll(m_handler, kBlocksPerTurn);
  SyncNotifiers();
  if (more && !m_drainQueued) {
    // Let paint and input events run before the next batch.
    m_drainQueued = true;
    QTimer::singleShot(0, this, [this] { Drain(); });
  }
}

void CCopyDataReceiver::SyncNotifiers() {
  const std::vector<int> fds = m_server.WatchedFds();
  const std::set<int> wanted(fds.begin(), fds.end());
  for (auto it = m_notifiers.begin(); it != m_notifiers.end();) {
    if (!wanted.count(it->first)) {
      delete it->second;
      it = m_notifiers.erase(it);
    } else {
      ++it;
    }
  }
  for (int fd : wanted) {
    if (m_notifiers.count(fd)) continue;
    auto* n = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(n, &QSocketNotifier::activated, this, [this] {
      if (!m_drainQueued) Drain();
    });
    m_notifiers[fd] = n;
  }
}
