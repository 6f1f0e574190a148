#pragma once
// The window side of the progress channel (the WM_COPYDATA equivalent): owns
// the listening socket, watches it and its connections on the UI thread and
// hands every data block of at least 12 bytes to one handler, on the UI
// thread. Reads are bounded per event-loop turn so a flood of blocks cannot
// freeze the interface.
#include <QObject>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "platform/progress_channel.h"

class QSocketNotifier;

class CCopyDataReceiver : public QObject {
  Q_OBJECT
 public:
  using Handler = std::function<void(const std::uint8_t* data, std::size_t size)>;

  CCopyDataReceiver(Handler handler, QObject* parent = nullptr);
  ~CCopyDataReceiver() override;

  // False, with a reason, when the socket cannot be created.
  bool Listen(std::string* error);
  // "NAME=path" to hand to child processes; "" before a successful Listen.
  std::string EnvironmentEntry() const;
  // Within the handler: the process id of the block's sender; 0 otherwise.
  pid_t CurrentSender() const { return m_server.Sender(); }

 private:
  void Drain();
  void SyncNotifiers();

  Handler m_handler;
  zantrel::ProgressChannelServer m_server;
  bool m_listening = false;
  bool m_drainQueued = false;
  std::map<int, QSocketNotifier*> m_notifiers;  // children of this object
};
