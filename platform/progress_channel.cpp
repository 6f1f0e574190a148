#include "platform/progress_channel.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>

namespace zantrel {

namespace {

// Largest block accepted; anything longer is malformed and dropped.
constexpr std::size_t kMaxBlock = 64 * 1024;
// Bounded work per Poll for new connections, like maxBlocks for data.
constexpr int kMaxAcceptsPerPoll = 64;
// How long Send may wait for a full socket buffer before giving up.
constexpr long kSendTimeoutMs = 200;

bool FillAddress(const std::string& path, sockaddr_un* addr) {
  std::memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof addr->sun_path) return false;
  std::memcpy(addr->sun_path, path.data(), path.size());
  return true;
}

// $XDG_RUNTIME_DIR is used only when it is what it should be: an absolute
// folder of ours that nobody else can enter.
bool RuntimeDirUsable(const char* dir) {
  if (dir == nullptr || dir[0] != '/') return false;
  struct stat st;
  return stat(dir, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
         (st.st_mode & 077) == 0 && access(dir, W_OK | X_OK) == 0;
}

}  // namespace

std::vector<std::uint8_t> MakeProgressBlock(std::int32_t percent) {
  std::vector<std::uint8_t> b(kProgressBlockMin, 0);
  const auto u = static_cast<std::uint32_t>(percent);
  for (int i = 0; i < 4; ++i) b[8 + i] = static_cast<std::uint8_t>(u >> (8 * i));
  return b;
}

bool ReadProgressPercent(const std::uint8_t* data, std::size_t size, std::int32_t* percent) {
  if (data == nullptr || size < kProgressBlockMin) return false;
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(data[8 + i]) << (8 * i);
  if (percent != nullptr) *percent = static_cast<std::int32_t>(u);
  return true;
}

// ---------------------------------------------------------------------------

struct ProgressChannelServer::Impl {
  int listenFd = -1;
  std::vector<int> conns;
  std::map<int, pid_t> peers;  // connection -> the process that opened it
  pid_t sender = 0;            // peer of the block being handed over
  std::string privateDir;  // made by us; removed with the socket
  std::vector<std::uint8_t> buf = std::vector<std::uint8_t>(kMaxBlock + 1);
  std::size_t next = 0;  // connection read first by the next Poll (fairness)
};

ProgressChannelServer::ProgressChannelServer() : impl_(std::make_unique<Impl>()) {}

ProgressChannelServer::~ProgressChannelServer() {
  for (int fd : impl_->conns) close(fd);
  if (impl_->listenFd >= 0) close(impl_->listenFd);
  if (!path_.empty()) unlink(path_.c_str());
  if (!impl_->privateDir.empty()) rmdir(impl_->privateDir.c_str());
}

bool ProgressChannelServer::Listen(std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error != nullptr) *error = why;
    if (impl_->listenFd >= 0) close(impl_->listenFd);
    impl_->listenFd = -1;
    if (!path_.empty()) unlink(path_.c_str());
    path_.clear();
    if (!impl_->privateDir.empty()) rmdir(impl_->privateDir.c_str());
    impl_->privateDir.clear();
    return false;
  };
  if (impl_->listenFd >= 0) return true;

  static std::atomic<unsigned> counter{0};
  const std::string name =
      "zantrel-progress-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".sock";
  sockaddr_un addr;
  const char* xdg = getenv("XDG_RUNTIME_DIR");
  std::string candidate;
  if (RuntimeDirUsable(xdg)) {
    candidate = std::string(xdg);
    if (candidate.back() != '/') candidate += '/';
    candidate += name;
  }
  if (candidate.empty() || !FillAddress(candidate, &addr)) {
    char tmpl[] = "/tmp/zantrel-XXXXXX";  // mkdtemp makes it 0700
    if (mkdtemp(tmpl) == nullptr)
      return fail(std::string("cannot create a private folder under /tmp: ") +
                  std::strerror(errno));
    impl_->privateDir = tmpl;
    candidate = impl_->privateDir + "/progress.sock";
    if (!FillAddress(candidate, &addr)) return fail("socket path too long: " + candidate);
  }

  impl_->listenFd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (impl_->listenFd < 0) return fail(std::string("cannot create socket: ") + std::strerror(errno));
  if (bind(impl_->listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
    return fail("cannot bind " + candidate + ": " + std::strerror(errno));
  path_ = candidate;
  // Tighten the mode before listen(): until then nobody can connect anyway.
  if (chmod(path_.c_str(), 0600) != 0)
    return fail("cannot set the mode of " + path_ + ": " + std::strerror(errno));
  if (listen(impl_->listenFd, 16) != 0)
    return fail("cannot listen on " + path_ + ": " + std::strerror(errno));
  return true;
}

pid_t ProgressChannelServer::Sender() const { return impl_->sender; }

std::string ProgressChannelServer::EnvironmentEntry() const {
  return std::string(kProgressEnvVar) + "=" + path_;
}

std::vector<int> ProgressChannelServer::WatchedFds() const {
  std::vector<int> fds;
  if (impl_->listenFd >= 0) fds.push_back(impl_->listenFd);
  fds.insert(fds.end(), impl_->conns.begin(), impl_->conns.end());
  return fds;
}

bool ProgressChannelServer::Poll(const BlockHandler& handler, int maxBlocks) {
  if (impl_->listenFd < 0) return false;
  if (maxBlocks < 1) maxBlocks = 1;
  bool more = false;

  for (int n = 0;; ++n) {
    if (n == kMaxAcceptsPerPoll) {
      more = true;
      break;
    }
    const int fd = accept4(impl_->listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      break;  // EAGAIN, or a resource error that the next Poll may retry
    }
    ucred cred{};
    socklen_t len = sizeof cred;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != getuid()) {
      close(fd);  // another user: never read from it
      continue;
    }
    impl_->conns.push_back(fd);
    impl_->peers[fd] = cred.pid;
  }

  // Read block by block, one connection after another, starting where the
  // previous Poll stopped, so that a flooding client cannot starve others.
  int budget = maxBlocks;
  std::vector<int>& conns = impl_->conns;
  std::size_t i = conns.empty() ? 0 : impl_->next % conns.size();
  std::size_t idleInARow = 0;
  while (!conns.empty() && idleInARow < conns.size()) {
    if (budget == 0) {
      more = true;
      break;
    }
    const int fd = conns[i];
    const ssize_t r = recv(fd, impl_->buf.data(), impl_->buf.size(), MSG_DONTWAIT | MSG_TRUNC);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      ++idleInARow;
      i = (i + 1) % conns.size();
      continue;
    }
    if (r <= 0) {
      // End of the stream (or an error): the client has gone.
      close(fd);
      impl_->peers.erase(fd);
      conns.erase(conns.begin() + static_cast<std::ptrdiff_t>(i));
      if (conns.empty()) break;
      i %= conns.size();
      idleInARow = 0;
      continue;
    }
    --budget;
    idleInARow = 0;
    const auto size = static_cast<std::size_t>(r);
    if (size >= kProgressBlockMin && size <= kMaxBlock) {
      impl_->sender = impl_->peers[fd];
      handler(impl_->buf.data(), size);
      impl_->sender = 0;
    }
    i = (i + 1) % conns.size();
  }
  impl_->next = i;
  return more;
}

// ---------------------------------------------------------------------------

std::unique_ptr<ProgressChannelClient> ProgressChannelClient::FromEnvironment() {
  const char* path = getenv(kProgressEnvVar);
  if (path == nullptr || *path == '\0') return nullptr;
  return Connect(path);
}

std::unique_ptr<ProgressChannelClient> ProgressChannelClient::Connect(const std::string& path) {
  sockaddr_un addr;
  if (!FillAddress(path, &addr)) return nullptr;
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  // The same timeout bounds connect() when the listener's backlog is full
  // and every send when the program stops reading: the tool must never
  // hang on a stalled window.
  timeval tv{};
  tv.tv_sec = 0;
  tv.tv_usec = kSendTimeoutMs * 1000;
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  for (;;) {
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 || errno == EISCONN)
      break;
    if (errno == EINTR) continue;
    close(fd);
    return nullptr;
  }
  return std::unique_ptr<ProgressChannelClient>(new ProgressChannelClient(fd));
}

ProgressChannelClient::~ProgressChannelClient() {
  if (fd_ >= 0) close(fd_);
}

bool ProgressChannelClient::Send(const void* data, std::size_t size) {
  if (fd_ < 0 || size == 0 || size > kMaxBlock) return false;
  for (;;) {
    const ssize_t r = send(fd_, data, size, MSG_NOSIGNAL);
    if (r >= 0) return static_cast<std::size_t>(r) == size;
    if (errno != EINTR) return false;
  }
}

bool ProgressChannelClient::SendPercent(std::int32_t percent) {
  const auto block = MakeProgressBlock(percent);
  return Send(block.data(), block.size());
}

}  // namespace zantrel
