// The progress channel's receiving end on arbitrary packets. Input: a list
// of packets, each a length byte (0..255; 255 stands for a 70000-byte
// packet, over the largest block) followed by its bytes. Every packet is
// sent raw over a real connection, as a hostile sender would; the receiver
// must hand on exactly the packets of 12 to 65536 bytes, unchanged and in
// order, keep the connection, and the overall progress must stay in 0..100
// and never go back.
#include <errno.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/progress.h"
#include "fuzz/fuzz_input.h"
#include "platform/progress_channel.h"

namespace {

using Packet = std::vector<std::uint8_t>;

std::unique_ptr<zantrel::ProgressChannelServer> g_server;
int g_fd = -1;
std::vector<Packet> g_got;
int g_overall = 0;

void Drain() {
  g_server->Poll(
      [](const std::uint8_t* d, std::size_t n) {
        g_got.emplace_back(d, d + n);
        std::int32_t percent = 0;
        if (!zantrel::ReadProgressPercent(d, n, &percent)) std::abort();
        const int next = zantrel::ApplyProgressReport(g_overall, percent);
        if (next < g_overall || next > 100 || next < 0) std::abort();
        g_overall = next;
      },
      16);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_server = std::make_unique<zantrel::ProgressChannelServer>();
  std::string error;
  if (!g_server->Listen(&error)) std::abort();
  g_fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, g_server->Address().c_str(), sizeof addr.sun_path - 1);
  if (g_fd < 0 || connect(g_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
    std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zantrel_fuzz::Input in(data, size);
  std::vector<Packet> expected;
  g_got.clear();
  g_overall = 0;
  for (int count = 0; !in.AtEnd() && count < 8; ++count) {
    const std::uint8_t len = in.Byte();
    Packet p(len == 255 ? 70000 : len);
    for (std::size_t i = 0; i < p.size() && i < 254; ++i) p[i] = in.Byte();
    for (int tries = 0;; ++tries) {
      if (send(g_fd, p.data(), p.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
          static_cast<ssize_t>(p.size()))
        break;
      if (errno != EAGAIN || tries == 1000) std::abort();  // the receiver dropped us
      Drain();  // a full buffer: let the receiver catch up
    }
    if (p.size() >= zantrel::kProgressBlockMin && p.size() <= 65536) expected.push_back(p);
  }
  for (int round = 0; round < 100 && g_got.size() < expected.size(); ++round) Drain();
  Drain();  // nothing beyond what was expected may turn up
  if (g_got != expected) std::abort();
  return 0;
}
