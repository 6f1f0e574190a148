#pragma once
// The progress channel from the cutting tool to the program, the equivalent
// of WM_COPYDATA: a local SOCK_SEQPACKET socket in $XDG_RUNTIME_DIR (or, when
// that is unset, in a private 0700 folder under /tmp). Each packet carries one
// data block. Only processes of the same user are accepted (SO_PEERCRED).
//
// The program exports the socket's path to child processes in the
// environment variable named by kProgressEnvVar. A block is at least 12
// bytes; bytes 8 to 11 hold the percentage as a little-endian int32.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zantrel {

inline constexpr const char* kProgressEnvVar = "ZANTREL_PROGRESS_SOCKET";
inline constexpr std::size_t kProgressBlockMin = 12;

// Builds the 12-byte block for a percentage (bytes 0..7 zero).
std::vector<std::uint8_t> MakeProgressBlock(std::int32_t percent);
// Reads bytes 8..11 as a little-endian int32; false for blocks under 12 bytes.
bool ReadProgressPercent(const std::uint8_t* data, std::size_t size, std::int32_t* percent);

// Listening end, owned by the main window. Single-threaded: call Poll() from
// the thread that owns it (the UI thread, driven by a socket notifier on fd()).
class ProgressChannelServer {
 public:
  using BlockHandler = std::function<void(const std::uint8_t* data, std::size_t size)>;

  ProgressChannelServer();
  ~ProgressChannelServer();  // closes every socket, removes the socket file and its folder
  ProgressChannelServer(const ProgressChannelServer&) = delete;
  ProgressChannelServer& operator=(const ProgressChannelServer&) = delete;

  // Creates and binds the socket. False, with a reason, on failure.
  bool Listen(std::string* error);
  const std::string& Address() const { return path_; }
  // "ZANTREL_PROGRESS_SOCKET=<path>" for LaunchOptions::extraEnv.
  std::string EnvironmentEntry() const;

  // Descriptors to watch for readability (the listening socket and every
  // accepted connection). Changes after Poll(); re-query then.
  std::vector<int> WatchedFds() const;

  // Accepts pending connections (dropping other users' ones) and reads at
  // most maxBlocks pending blocks in total, handing each block of at least 12
  // bytes to `handler`; shorter ones are dropped. Never blocks. Returns true
  // when more data may be pending (the caller should poll again soon).
  bool Poll(const BlockHandler& handler, int maxBlocks = 64);
  // While a handler called by Poll runs: the process id of the peer that
  // sent the block (from its credentials at connect time); 0 otherwise. It
  // tells the blocks of one tool run from a late block of the run before.
  pid_t Sender() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string path_;
};

// Sending end, used by the tool.
class ProgressChannelClient {
 public:
  // Connects to the address in $ZANTREL_PROGRESS_SOCKET; nullptr when the
  // variable is unset or the connection fails (the tool then cuts silently).
  static std::unique_ptr<ProgressChannelClient> FromEnvironment();
  static std::unique_ptr<ProgressChannelClient> Connect(const std::string& path);
  ~ProgressChannelClient();
  ProgressChannelClient(const ProgressChannelClient&) = delete;
  ProgressChannelClient& operator=(const ProgressChannelClient&) = delete;

  // Sends one block; false when the peer is gone (never blocks for long,
  // never raises SIGPIPE).
  bool Send(const void* data, std::size_t size);
  bool SendPercent(std::int32_t percent);

 private:
  explicit ProgressChannelClient(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace zantrel
